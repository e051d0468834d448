#pragma once
// The 25 mnemonics of the assembly language, shared by the translation and the disassembler;
// derived from the machine's alphabet, so the two cannot drift apart.

#include "runner/machine/alphabet.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace tessivor {

struct Mnemonic {
    std::string_view name; ///< lower case; matched in any letter case
    Form form;
    std::string_view final; ///< the text appended after the operands
    std::size_t advance;    ///< where the next scan starts, counted from the mnemonic
    Op op;                  ///< the operation the final text names
};

/// How far the scan moves on after a mnemonic of `form` ("set" moves past its ";" instead).
constexpr std::size_t formAdvance(Form form, Op op) {
    switch (form) {
    case Form::ThreeOperand: return 15;
    case Form::Comparison:
    case Form::TwoOperand: return 11;
    case Form::OneOperand: return 7;
    case Form::Marker: return op == kOpLabel ? 7 : 4; // "lbl" passes over its two characters
    case Form::Text: return 0;
    }
    return 0;
}

namespace detail {

constexpr std::size_t countMnemonics() {
    std::size_t n = 1; // "set"
    for (const Letter& l : kAlphabet)
        n += l.mnemonic.empty() ? 0 : 1;
    return n;
}

// Every alphabet row with a mnemonic, in the alphabet's order, with "set" after "clr".
constexpr std::array<Mnemonic, countMnemonics()> makeMnemonics() {
    std::array<Mnemonic, countMnemonics()> out{};
    std::size_t k = 0;
    for (const Letter& l : kAlphabet) {
        if (l.mnemonic.empty()) continue;
        out[k++] = {l.mnemonic, l.form, l.written, formAdvance(l.form, l.op), l.op};
        if (l.op == kOpClear) out[k++] = {"set", Form::Text, l.written, 0, l.op};
    }
    return out;
}

} // namespace detail

/// The mnemonics; the scan finds them by name, so their order decides nothing.
inline constexpr auto kMnemonics = detail::makeMnemonics();
static_assert(kMnemonics.size() == 25);

/// Operand columns, counted from the mnemonic's first character.
inline constexpr std::size_t kOperandColumn[3] = {4, 8, 12};

/// The operand columns `m` reads ("set": its cell).
constexpr std::size_t operandColumns(const Mnemonic& m) {
    return static_cast<std::size_t>(formCells(m.form));
}

/// Just past the last character `m` reads, counted from its first letter: its last operand
/// column, "lbl"'s two characters, or its own three letters ("set" reads on to its ";").
constexpr std::size_t readsUpTo(const Mnemonic& m) {
    const std::size_t cells = operandColumns(m);
    if (cells > 0) return kOperandColumn[cells - 1] + 2;
    return m.op == kOpLabel ? kOperandColumn[0] + 2 : 3;
}

} // namespace tessivor
