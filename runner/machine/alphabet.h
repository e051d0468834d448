#pragma once
// The code string's alphabet, once: for every character that does something, the operation it
// names, the shape the assembler writes around it, how many cells that shape names, and the
// mnemonic that writes it. The machine's Op enum, the fast loop's kinds, the assembler's
// mnemonic table and the disassembler are derived from or checked against this table.

#include "runner/machine/operations.h"

#include <array>
#include <cstddef>
#include <cstdint>
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

/// The sequence that makes the registers hold the right cells when an operation runs.
enum class Shape : std::uint8_t {
    Part,   ///< a piece of the other shapes: "aXX" (cur), "b" (opb), "c" (opc), "A ch"
    Three,  ///< aXX b aYY c aZZ op: opb, opc, and cur for the result
    Test,   ///< aXX b aYY c op: opb and opc
    Two,    ///< aXX b aYY op: opb, and cur for the result
    One,    ///< aXX op: cur
    Bare,   ///< op: no cell
    Marker, ///< " k", " v", " ": no cell; "k" and "v" only directly after a space
};

/// One operation character.
struct Letter {
    char ch;
    Op op; ///< the code the preparation pass gives the character
    Shape shape;
    int cells;                 ///< cells the shape names (0 to 3)
    int width;                 ///< positions one step takes: 3 for "aXX", 2 for "A ch"
    std::string_view mnemonic; ///< the assembler's name for it, or empty
    Form form;                 ///< how the mnemonic is written; meaningless without one
    std::string_view written;  ///< what the mnemonic appends after its operands
};

// What each operation reads and writes; "cell X" is the text of the cell register X names.
inline constexpr std::array<Letter, 29> kAlphabet{{
    // reads addrs(pc); writes cur
    {'a', kOpAddress, Shape::Part, 0, 3, "", Form::Marker, ""},
    // reads cur; writes opb
    {'b', kOpSetB, Shape::Part, 0, 1, "", Form::Marker, ""},
    // reads cur; writes opc
    {'c', kOpSetC, Shape::Part, 0, 1, "", Form::Marker, ""},
    // reads cells opb, opc (whole parts); writes cell cur
    {'d', kOpAdd, Shape::Three, 3, 1, "add", Form::ThreeOperand, "d"},
    // reads cells opb, opc; writes cell cur
    {'e', kOpSub, Shape::Three, 3, 1, "sub", Form::ThreeOperand, "e"},
    {'f', kOpMul, Shape::Three, 3, 1, "mul", Form::ThreeOperand, "f"},
    {'g', kOpDiv, Shape::Three, 3, 1, "div", Form::ThreeOperand, "g"},
    // reads the texts of cells opb, opc, eifpos(pc); writes pc
    {'h', kOpIfEqual, Shape::Test, 2, 1, "ife", Form::Comparison, "h"},
    // reads cells opb, opc as singles, eifpos(pc); writes pc
    {'i', kOpIfGreater, Shape::Test, 2, 1, "ifg", Form::Comparison, "i"},
    {'j', kOpIfLess, Shape::Test, 2, 1, "ifl", Form::Comparison, "j"},
    // after a space: where a failed test continues; nothing
    {'k', kOpEndIf, Shape::Marker, 0, 1, "eif", Form::Marker, " k"},
    // reads the tick counter; writes cell cur
    {'l', kOpTick, Shape::One, 1, 1, "tic", Form::OneOperand, "l"},
    // reads cell cur; writes cur
    {'n', kOpPointer, Shape::One, 1, 1, "mpt", Form::OneOperand, "n"},
    // reads cell opb (the prompt) and the reply; writes cell cur
    {'o', kOpInput, Shape::Two, 2, 1, "inp", Form::TwoOperand, "o"},
    // ends the run
    {'p', kOpEnd, Shape::Bare, 0, 1, "end", Form::Marker, "p"},
    // reads and writes cell cur
    {'q', kOpIncrement, Shape::One, 1, 1, "inc", Form::OneOperand, "q"},
    {'r', kOpDecrement, Shape::One, 1, 1, "dec", Form::OneOperand, "r"},
    // writes cell cur; also the start of "set"
    {'s', kOpClear, Shape::One, 1, 1, "clr", Form::OneOperand, "s"},
    // the window's pending events
    {'t', kOpEvents, Shape::Bare, 0, 1, "doe", Form::Marker, "t"},
    // reads cell cur, lblpos; writes pc
    {'u', kOpGoto, Shape::One, 1, 1, "gto", Form::OneOperand, "u"},
    // after a space: a label, numbered by order; nothing
    {'v', kOpLabel, Shape::Marker, 0, 1, "lbl", Form::Marker, " v"},
    // reads cell cur; writes t1
    {'w', kOpDisplay, Shape::One, 1, 1, "dsp", Form::OneOperand, "w"},
    // reads cells cur, opb; writes cell cur
    {'x', kOpAppend, Shape::Two, 2, 1, "apd", Form::TwoOperand, "x"},
    // reads the random number, cells opb, opc; writes cell cur
    {'y', kOpRandom, Shape::Three, 3, 1, "rnd", Form::ThreeOperand, "y"},
    // reads cell opb; writes cell cur; no mnemonic writes it
    {'z', kOpCopy, Shape::Two, 2, 1, "", Form::TwoOperand, ""},
    // reads codes(pc + 1), cell cur; writes cell cur
    {'A', kOpAppendChar, Shape::Part, 0, 2, "", Form::Marker, ""},
    // reads cells opb, opc; writes cell cur
    {'B', kOpPower, Shape::Three, 3, 1, "pwr", Form::ThreeOperand, "B"},
    // reads cell opb; writes cell cur
    {'C', kOpSqrt, Shape::Two, 2, 1, "sqr", Form::TwoOperand, "C"},
    // nothing; before "k" or "v" it makes a marker
    {' ', kOpSpace, Shape::Marker, 0, 1, "idl", Form::Marker, " "},
}};

/// The row of `op`; every Op has one (checked below).
constexpr const Letter& letterOf(Op op) {
    for (const Letter& l : kAlphabet)
        if (l.op == op) return l;
    throw "no such operation"; // a compile-time error where it is used in a constant
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

namespace alphabet_check {

constexpr bool agrees() {
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        const Letter& l = kAlphabet[i];
        // The code of an operation is its character's code.
        if (static_cast<int>(l.op) != static_cast<unsigned char>(l.ch)) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (kAlphabet[j].ch == l.ch) return false;
        if (l.mnemonic.empty()) continue;
        if (formCells(l.form) != l.cells) return false;
        // A marker is written with its space; every other mnemonic writes its own character.
        const bool marker = l.shape == Shape::Marker;
        if (l.written.size() != (marker && l.ch != ' ' ? 2u : 1u) || l.written.back() != l.ch)
            return false;
        const bool formMatchesShape =
            (l.shape == Shape::Three && l.form == Form::ThreeOperand) ||
            (l.shape == Shape::Test && l.form == Form::Comparison) ||
            (l.shape == Shape::Two && l.form == Form::TwoOperand) ||
            (l.shape == Shape::One && l.form == Form::OneOperand) ||
            ((l.shape == Shape::Bare || marker) && l.form == Form::Marker);
        if (!formMatchesShape) return false;
    }
    return true;
}
static_assert(agrees(), "an alphabet row disagrees with itself");

// One row per Op enumerator: the fast table's switch over Op (no default, -Werror=switch-enum)
// maps every enumerator, and every row is looked up there with letterOf.
static_assert(kAlphabet.size() == 29);

} // namespace alphabet_check

} // namespace tessivor
