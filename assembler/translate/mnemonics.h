#pragma once
// The mnemonics of the assembly language, shared by the translation and the disassembler;
// derived from the table of operations, so the two cannot drift apart.

#include "common/operations.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace tessivor {

/// How a mnemonic reads its operand columns and how far the scan then moves on.
enum class Form {
    ThreeOperand, ///< operands at p+4, p+8, p+12: "a" op1 "b" "a" op2 "c" "a" op3 final; p+15
    Comparison,   ///< operands at p+4, p+8: "a" op1 "b" "a" op2 "c" final; p+11
    TwoOperand,   ///< operands at p+4, p+8: "a" op1 "b" "a" op2 final; p+11
    OneOperand,   ///< operand at p+4: "a" op1 final; p+7
    Marker,       ///< no operand: final; p+4 ("lbl": p+7)
    Text,         ///< "set": "a" op1 "s", then "A" and each character up to the next ";"
};

/// The form a mnemonic of an operation of `shape` is written in.
constexpr Form formOf(Shape shape) {
    switch (shape) {
    case Shape::Three: return Form::ThreeOperand;
    case Shape::Test: return Form::Comparison;
    case Shape::Two: return Form::TwoOperand;
    case Shape::One: return Form::OneOperand;
    case Shape::Part:
    case Shape::Bare:
    case Shape::Marker: return Form::Marker;
    }
    return Form::Marker;
}

/// Cells a mnemonic's form names.
constexpr int formCells(Form form) {
    switch (form) {
    case Form::ThreeOperand: return 3;
    case Form::Comparison:
    case Form::TwoOperand: return 2;
    case Form::OneOperand:
    case Form::Text: return 1;
    case Form::Marker: return 0;
    }
    return 0;
}

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

// Every operation's character after a space: a marker's final text is its two characters
// here, any other final text its character alone. Inline, so the one array is shared by every
// file and by the mnemonics' table that points into it.
inline constexpr auto kSpacedCharacters = [] {
    std::array<char, 2 * kAlphabet.size()> out{};
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        out[2 * i] = ' ';
        out[2 * i + 1] = kAlphabet[i].ch;
    }
    return out;
}();

/// What the mnemonic of row `i` appends after its operands: " k" and " v" for the markers, the
/// operation's character for the rest (" " for "idl").
constexpr std::string_view finalText(std::size_t i) {
    const bool spaced = kAlphabet[i].shape == Shape::Marker && kAlphabet[i].ch != ' ';
    return std::string_view(kSpacedCharacters.data() + 2 * i + (spaced ? 0 : 1), spaced ? 2 : 1);
}

constexpr std::size_t countMnemonics() {
    std::size_t n = 1; // "set"
    for (const Letter& l : kAlphabet)
        n += l.mnemonic.empty() ? 0 : 1;
    return n;
}

// Every row with a mnemonic, in the table's order, with "set" after "clr".
constexpr std::array<Mnemonic, countMnemonics()> makeMnemonics() {
    std::array<Mnemonic, countMnemonics()> out{};
    std::size_t k = 0;
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        const Letter& l = kAlphabet[i];
        if (l.mnemonic.empty()) continue;
        const Form form = formOf(l.shape);
        out[k++] = {l.mnemonic, form, finalText(i), formAdvance(form, l.op), l.op};
        if (l.op == kOpClear) out[k++] = {"set", Form::Text, finalText(i), 0, l.op};
    }
    return out;
}

} // namespace detail

/// The mnemonics; the scan finds them by name, so their order decides nothing.
inline constexpr auto kMnemonics = detail::makeMnemonics();

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
