#pragma once
// The 25 mnemonics of the assembly language, shared by the translation and the disassembler.

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

struct Mnemonic {
    std::string_view name; ///< lower case; matched in any letter case
    Form form;
    std::string_view final; ///< the text appended after the operands
    std::size_t advance;    ///< where the next scan starts, counted from the mnemonic
};

/// The mnemonics in the order the scan tries them.
inline constexpr std::array<Mnemonic, 25> kMnemonics{{
    {"add", Form::ThreeOperand, "d", 15}, {"sub", Form::ThreeOperand, "e", 15},
    {"mul", Form::ThreeOperand, "f", 15}, {"div", Form::ThreeOperand, "g", 15},
    {"ife", Form::Comparison, "h", 11},   {"ifg", Form::Comparison, "i", 11},
    {"ifl", Form::Comparison, "j", 11},   {"eif", Form::Marker, " k", 4},
    {"tic", Form::OneOperand, "l", 7},    {"mpt", Form::OneOperand, "n", 7},
    {"inp", Form::TwoOperand, "o", 11},   {"end", Form::Marker, "p", 4},
    {"inc", Form::OneOperand, "q", 7},    {"dec", Form::OneOperand, "r", 7},
    {"clr", Form::OneOperand, "s", 7},    {"doe", Form::Marker, "t", 4},
    {"gto", Form::OneOperand, "u", 7},    {"dsp", Form::OneOperand, "w", 7},
    {"apd", Form::TwoOperand, "x", 11},   {"rnd", Form::ThreeOperand, "y", 15},
    {"set", Form::Text, "s", 0},          {"pwr", Form::ThreeOperand, "B", 15},
    {"sqr", Form::TwoOperand, "C", 11},   {"lbl", Form::Marker, " v", 7},
    {"idl", Form::Marker, " ", 4},
}};

/// Operand columns, counted from the mnemonic's first character.
inline constexpr std::size_t kOperandColumn[3] = {4, 8, 12};

} // namespace tessivor
