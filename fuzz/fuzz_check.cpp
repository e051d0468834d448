// The checker on arbitrary bytes: never crashes, and its findings stand in order inside the
// lines of the text.

#include "assembler/check/check.h"
#include "assembler/translate/compiletext.h"
#include "fuzz/fuzz_host.h"

#include <algorithm>
#include <string>

using namespace tessivor;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const Translation t = compiletext(source);

    const std::vector<Diagnostic> found = checkSource(source);
    const std::size_t lines =
        1 + static_cast<std::size_t>(std::count(source.begin(), source.end(), '\n'));
    bool error = false;
    for (std::size_t k = 0; k < found.size(); ++k) {
        const Diagnostic& d = found[k];
        check(d.line >= 1 && d.line <= lines, "a finding lies on a line of the text");
        check(d.column >= 1 && d.column < d.endColumn, "a finding covers a column");
        check(!d.code.empty() && !d.message.empty(), "a finding has a code and a message");
        check(k == 0 || found[k - 1].line < d.line ||
                  (found[k - 1].line == d.line && found[k - 1].column <= d.column),
              "findings come in source order");
        error = error || d.code == "missing-semicolon";
    }
    check(error == !t.ok, "the build error is reported exactly when the build fails");
    return 0;
}
