// build, disasm, build: for every code string `compiletext` produces, translating its listing
// gives back the same code string. The input is read both as a source and as a code string:
// a listing of arbitrary code must translate, and only into code it held.

#include "assembler/translate/compiletext.h"
#include "assembler/translate/disasm.h"
#include "fuzz/fuzz_host.h"

#include <string>

using namespace tessivor;
using fuzz::check;

namespace {

/// True when `part` can be had from `whole` by leaving characters out.
bool isSubsequence(std::string_view part, std::string_view whole) {
    std::size_t k = 0;
    for (const char c : whole) {
        if (k < part.size() && part[k] == c) ++k;
    }
    return k == part.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // As a source.
    const Translation first = compiletext(input);
    if (first.ok) {
        const std::string listing = disasm(first.code);
        const Translation second = compiletext(listing);
        check(second.ok, "the listing of a translation translates");
        check(second.code == first.code, "the listing translates back to the same code string");
    }

    // As a code string, and as a program file.
    const Translation back = compiletext(disasm(input));
    check(back.ok, "the listing of any code string translates");
    check(isSubsequence(back.code, input), "a listing only drops code, never invents it");
    check(compiletext(disasmProgramFile(input)).ok, "the listing of any program file translates");
    return 0;
}
