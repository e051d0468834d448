#pragma once
// For tests and fuzzers only: the translation written out the long way, one position at a
// time, the 25 mnemonics compared in turn and every column and width counted by hand. It shares
// nothing with the walk but the mnemonic table's names, forms and final texts, so holding the
// two equal catches a fault in either.

#include "assembler/translate/compiletext.h"
#include "assembler/translate/mnemonics.h"

#include <string>
#include <string_view>

namespace tessivor::reference {

/// `compiletext`'s result for `source`, found without the walk.
inline Translation translate(std::string_view source) {
    Translation out;
    const std::size_t n = source.size();
    const auto operand = [&](std::size_t at) {
        out.code += 'a';
        if (at < n) out.code += source.substr(at, 2);
    };
    std::size_t p = 0;
    while (p < n) {
        std::string three(source.substr(p, 3));
        for (char& c : three)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        const Mnemonic* found = nullptr;
        for (const Mnemonic& m : kMnemonics)
            if (m.name == three) found = &m;
        if (found == nullptr && source.substr(p, 2) == "//") {
            const std::size_t q = source.find("//", p + 1);
            p = q == std::string_view::npos ? p + 2 : q + 2;
            continue;
        }
        if (found == nullptr) {
            ++p;
            continue;
        }
        switch (found->form) {
        case Form::ThreeOperand:
            operand(p + 4);
            out.code += 'b';
            operand(p + 8);
            out.code += 'c';
            operand(p + 12);
            out.code += found->final;
            p += 15;
            break;
        case Form::Comparison:
            operand(p + 4);
            out.code += 'b';
            operand(p + 8);
            out.code += 'c';
            out.code += found->final;
            p += 11;
            break;
        case Form::TwoOperand:
            operand(p + 4);
            out.code += 'b';
            operand(p + 8);
            out.code += found->final;
            p += 11;
            break;
        case Form::OneOperand:
            operand(p + 4);
            out.code += found->final;
            p += 7;
            break;
        case Form::Marker:
            out.code += found->final;
            p += found->name == "lbl" ? 7 : 4;
            break;
        case Form::Text: {
            const std::size_t semicolon = p + 8 < n ? source.find(';', p + 8) : std::string::npos;
            if (semicolon == std::string::npos) {
                Translation failed;
                failed.ok = false;
                failed.position = p + 9;
                failed.setAt = p + 1;
                return failed;
            }
            operand(p + 4);
            out.code += 's';
            for (std::size_t k = p + 8; k < semicolon; ++k)
                out.code += std::string("A") + source[k];
            p = semicolon + 1;
            break;
        }
        }
    }
    return out;
}

} // namespace tessivor::reference
