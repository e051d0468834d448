#include "bench/inputs.h"

namespace tessivor::bench {

std::string codeWithoutEndIf(std::size_t size) {
    // Label markers stop at 99: only the first pieces carry one.
    static const char* const kPieces[] = {"a01ba02ca03d", "a04ba05ch", "a06q", "a07sAhAi",
                                          "a08ba09x",     "a10w",      "\r\n"};
    std::string code;
    code.reserve(size + 16);
    for (std::size_t i = 0; code.size() < size; ++i) {
        if (i < 99 * 7 && i % 7 == 0) code += " v";
        code += kPieces[i % std::size(kPieces)];
    }
    code.resize(size);
    return code;
}

std::string assemblySource(std::size_t size) {
    static const char* const kLines[] = {
        "add 01, 02, 03\r\n", "ife 04, 05\r\n", "inc 06\r\n",
        "set 07, Hello;\r\n", "apd 08, 09\r\n", "// a comment //\r\n",
        "lbl 01\r\n",         "gto 90\r\n",     "eif\r\n",
        "div 10, 11, 12\r\n", "dsp 13\r\n",     "idl\r\n",
    };
    std::string source;
    source.reserve(size + 32);
    for (std::size_t i = 0; source.size() < size; ++i)
        source += kLines[i % std::size(kLines)];
    source.resize(size);
    return source;
}

} // namespace tessivor::bench
