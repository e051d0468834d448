#include "assembler/translate/compiletext.h"

#include "assembler/translate/mnemonics.h"

#include <array>
#include <cstdint>

namespace tessivor {
namespace {

constexpr std::size_t kLetters = 26;

constexpr int letterIndex(char c) {
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= 'A' && c <= 'Z') return c - 'A';
    return -1;
}

// Every three-letter combination maps to 1 + its mnemonic's index, or 0: one look-up a position
// instead of 25 comparisons.
constexpr auto kMnemonicByLetters = [] {
    std::array<std::uint8_t, kLetters * kLetters * kLetters> table{};
    for (std::size_t m = 0; m < kMnemonics.size(); ++m) {
        const std::string_view n = kMnemonics[m].name;
        const std::size_t key =
            (letterIndex(n[0]) * kLetters + letterIndex(n[1])) * kLetters + letterIndex(n[2]);
        table[key] = static_cast<std::uint8_t>(m + 1);
    }
    return table;
}();

/// The mnemonic spelt at `i`, in any letter case, or null.
const Mnemonic* mnemonicAt(std::string_view source, std::size_t i) {
    if (source.size() - i < 3) return nullptr;
    const int a = letterIndex(source[i]);
    const int b = letterIndex(source[i + 1]);
    const int c = letterIndex(source[i + 2]);
    if (a < 0 || b < 0 || c < 0) return nullptr;
    const std::uint8_t m = kMnemonicByLetters[(a * kLetters + b) * kLetters + c];
    return m == 0 ? nullptr : &kMnemonics[m - 1];
}

/// Appends "a" and the operand column at `column` (two characters, fewer at the end of the text).
void appendOperand(std::string& code, std::string_view source, std::size_t column) {
    code += 'a';
    if (column < source.size()) code += source.substr(column, 2);
}

} // namespace

Translation compiletext(std::string_view source) {
    Translation result;
    std::string& code = result.code;
    code.reserve(source.size() + source.size() / 4);
    const std::size_t n = source.size();
    std::size_t i = 0; // the scan position p, counted from 0

    while (i < n) {
        if (const Mnemonic* m = mnemonicAt(source, i)) {
            switch (m->form) {
            case Form::ThreeOperand:
                appendOperand(code, source, i + kOperandColumn[0]);
                code += 'b';
                appendOperand(code, source, i + kOperandColumn[1]);
                code += 'c';
                appendOperand(code, source, i + kOperandColumn[2]);
                break;
            case Form::Comparison:
                appendOperand(code, source, i + kOperandColumn[0]);
                code += 'b';
                appendOperand(code, source, i + kOperandColumn[1]);
                code += 'c';
                break;
            case Form::TwoOperand:
                appendOperand(code, source, i + kOperandColumn[0]);
                code += 'b';
                appendOperand(code, source, i + kOperandColumn[1]);
                break;
            case Form::OneOperand: appendOperand(code, source, i + kOperandColumn[0]); break;
            case Form::Marker: break;
            case Form::Text: {
                const std::size_t literal = i + 8;
                const std::size_t semicolon =
                    literal < n ? source.find(';', literal) : std::string_view::npos;
                if (semicolon == std::string_view::npos) {
                    result.ok = false;
                    result.code.clear();
                    result.position = literal + 1;
                    result.setAt = i + 1;
                    return result;
                }
                appendOperand(code, source, i + kOperandColumn[0]);
                code += 's';
                for (std::size_t k = literal; k < semicolon; ++k) {
                    code += 'A';
                    code += source[k];
                }
                i = semicolon + 1;
                continue;
            }
            }
            code += m->final;
            i += m->advance;
            continue;
        }
        if (source[i] == '/' && i + 1 < n && source[i + 1] == '/') {
            // The closer is searched from the second "/", so "///" is a whole comment; without
            // a closer only the opening "//" is passed over. Each search ends where the scan
            // resumes, and an unclosed "//" proves there is no later one, so no text is searched
            // twice.
            const std::size_t q = source.find("//", i + 1);
            i = q == std::string_view::npos ? i + 2 : q + 2;
            continue;
        }
        ++i;
    }
    return result;
}

} // namespace tessivor
