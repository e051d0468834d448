// `compiletext` of arbitrary bytes: never crashes, gives what the translation written out the
// long way gives, and its one failure is what it says it is.

#include "assembler/translate/compiletext.h"
#include "assembler/translate/reference_translation.h"
#include "fuzz/fuzz_host.h"

#include <cctype>
#include <string>

using namespace tessivor;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const Translation t = compiletext(source);
    const Translation r = reference::translate(source);
    check(t.ok == r.ok && t.code == r.code && t.position == r.position && t.setAt == r.setAt,
          "the walk translates as the translation written out the long way");
    if (t.ok) {
        // Every mnemonic appends at most "a" + 2 + "b" + "a" + 2 + "c" + "a" + 2 + final for
        // the 4 or more characters it consumes, a "set" two characters a literal character.
        check(t.code.size() <= 4 * size + 16, "the code string grows linearly");
        return 0;
    }
    check(t.code.empty(), "a failed translation gives no code");
    check(t.setAt >= 1 && t.setAt + 2 <= size, "the failure names a \"set\" inside the text");
    std::string name(source.substr(t.setAt - 1, 3));
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    check(name == "set", "the failing mnemonic is \"set\"");
    check(t.position == t.setAt + 8, "the failure position is the literal's first column");
    check(t.position > size || source.find(';', t.position - 1) == std::string_view::npos,
          "no \";\" at or after the failure position");
    const SourcePlace place = sourcePlace(source, t.position);
    check(place.line >= 1 && place.column >= 1 && place.column <= size + 1, "a sane place");
    return 0;
}
