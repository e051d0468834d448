#pragma once
// The table of operations, once: every character of the code string that does something, the
// shape the assembler writes around it, its mnemonic, and which registers and cells it sets,
// writes, reads and tests. The machine's step and fast loop, the error explanations, the debug
// session's undo list, the assembler's mnemonics and the disassembler all read it.
//
// A new operation is one row of TESSIVOR_OPERATIONS plus its handlers: a case in the step
// (runner/machine/step.h) and a kind with its label in the fast loop. A switch over Op that
// misses a row does not compile there (-Werror=switch); the explanations and the undo list
// read the columns and need nothing more.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessivor {

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

/// A register that names a cell.
enum class Reg : std::uint8_t { Cur, Opb, Opc };

/// Registers in the order an operation takes them.
enum class Regs : std::uint8_t { None, Cur, Opb, CurOpb, OpbCur, OpbOpc, OpbOpcCur };

/// The register an operation sets.
enum class Sets : std::uint8_t { Nothing, Cur, Opb, Opc };

/// What an operation writes besides the registers and pc.
enum class Writes : std::uint8_t {
    Nothing,
    Cell,    ///< replaces the text of cell cur
    Append,  ///< appends to the text of cell cur
    Display, ///< replaces the text of the display t1
};

/// How an operation reads the cells of its `reads` registers.
enum class ReadAs : std::uint8_t {
    Nothing,
    Text,    ///< as texts: it cannot fail on what they hold
    Double,  ///< as double-precision numbers
    Single,  ///< as single-precision numbers
    Integer, ///< as signed 32-bit whole numbers (a double, rounded)
};

// The rows. X(name, character, shape, mnemonic, sets, writes, reads as, reads, tests):
//   sets    the register the operation sets (cur, opb, opc) or Nothing;
//   writes  what else it writes;
//   reads   the registers whose cells it reads, and as what;
//   tests   the registers it tests, in that order, to name cells 0..99 before it acts: the first
//           that does not fails the step with "Subscript out of range".
// "cell X" is the text of the cell whose number the register X holds.
// clang-format off
#define TESSIVOR_OPERATIONS(X)                                                                     \
    /* "a" + 2 digits: cur := addrs(pc); always moves on by three */                              \
    X(kOpAddress,    'a', Part,   "",    Cur,     Nothing, Nothing, None,      None)               \
    /* opb := cur */                                                                               \
    X(kOpSetB,       'b', Part,   "",    Opb,     Nothing, Nothing, None,      None)               \
    /* opc := cur */                                                                               \
    X(kOpSetC,       'c', Part,   "",    Opc,     Nothing, Nothing, None,      None)               \
    /* cell cur := floor(cell opb) + floor(cell opc) */                                            \
    X(kOpAdd,        'd', Three,  "add", Nothing, Cell,    Double,  OpbOpc,    OpbOpcCur)          \
    /* cell cur := cell opb - cell opc */                                                          \
    X(kOpSub,        'e', Three,  "sub", Nothing, Cell,    Double,  OpbOpc,    OpbOpcCur)          \
    /* cell cur := cell opb * cell opc */                                                          \
    X(kOpMul,        'f', Three,  "mul", Nothing, Cell,    Double,  OpbOpc,    OpbOpcCur)          \
    /* cell cur := cell opb / cell opc; a zero divisor gives Infinity */                           \
    X(kOpDiv,        'g', Three,  "div", Nothing, Cell,    Double,  OpbOpc,    OpbOpcCur)          \
    /* test: the same texts; a failed test goes on after the next end-if marker (eifpos) */        \
    X(kOpIfEqual,    'h', Test,   "ife", Nothing, Nothing, Text,    OpbOpc,    OpbOpc)             \
    /* test: single(cell opb) > single(cell opc) */                                                \
    X(kOpIfGreater,  'i', Test,   "ifg", Nothing, Nothing, Single,  OpbOpc,    OpbOpc)             \
    /* test: single(cell opb) < single(cell opc) */                                                \
    X(kOpIfLess,     'j', Test,   "ifl", Nothing, Nothing, Single,  OpbOpc,    OpbOpc)             \
    /* after a space: the end-if marker a failed test goes on after; nothing */                    \
    X(kOpEndIf,      'k', Marker, "eif", Nothing, Nothing, Nothing, None,      None)               \
    /* cell cur := the tick counter */                                                             \
    X(kOpTick,       'l', One,    "tic", Nothing, Cell,    Nothing, None,      Cur)                \
    /* cur := |cell cur| rounded, ties to even; tested only when an operation uses it */          \
    X(kOpPointer,    'n', One,    "mpt", Cur,     Nothing, Double,  Cur,       Cur)                \
    /* cell cur := the reply to an input box prompting cell opb */                                 \
    X(kOpInput,      'o', Two,    "inp", Nothing, Cell,    Text,    Opb,       OpbCur)             \
    /* "Program Terminated"; the run ends */                                                       \
    X(kOpEnd,        'p', Bare,   "end", Nothing, Nothing, Nothing, None,      None)               \
    /* cell cur := cell cur + 1 */                                                                 \
    X(kOpIncrement,  'q', One,    "inc", Nothing, Cell,    Double,  Cur,       Cur)                \
    /* cell cur := cell cur - 1 */                                                                 \
    X(kOpDecrement,  'r', One,    "dec", Nothing, Cell,    Double,  Cur,       Cur)                \
    /* cell cur := ""; also the start of "set" */                                                  \
    X(kOpClear,      's', One,    "clr", Nothing, Cell,    Nothing, None,      Cur)                \
    /* the window handles its pending events */                                                    \
    X(kOpEvents,     't', Bare,   "doe", Nothing, Nothing, Nothing, None,      None)               \
    /* go on after the marker of label integer(cell cur), 0..99 (lblpos) */                       \
    X(kOpGoto,       'u', One,    "gto", Nothing, Nothing, Integer, Cur,       Cur)                \
    /* after a space: a label marker, numbered by order; nothing */                                \
    X(kOpLabel,      'v', Marker, "lbl", Nothing, Nothing, Nothing, None,      None)               \
    /* t1 := cell cur */                                                                           \
    X(kOpDisplay,    'w', One,    "dsp", Nothing, Display, Text,    Cur,       Cur)                \
    /* cell cur += cell opb */                                                                     \
    X(kOpAppend,     'x', Two,    "apd", Nothing, Append,  Text,    CurOpb,    CurOpb)             \
    /* cell cur := lo + floor((hi - lo + 1) * r), lo and hi cells opb and opc, r drawn first */    \
    X(kOpRandom,     'y', Three,  "rnd", Nothing, Cell,    Double,  OpbOpc,    OpbOpcCur)          \
    /* cell cur := cell opb; no mnemonic writes it */                                              \
    X(kOpCopy,       'z', Two,    "",    Nothing, Cell,    Text,    Opb,       CurOpb)             \
    /* cell cur += the character of the next position (a digit code 0..9 appends that digit); */   \
    /* consumes it; fails at the last position */                                                  \
    X(kOpAppendChar, 'A', Part,   "",    Nothing, Append,  Text,    Cur,       Cur)                \
    /* cell cur := cell opb ^ cell opc; never fails on the result */                               \
    X(kOpPower,      'B', Three,  "pwr", Nothing, Cell,    Double,  OpbOpc,    OpbOpcCur)          \
    /* cell cur := sqrt(cell opb) */                                                               \
    X(kOpSqrt,       'C', Two,    "sqr", Nothing, Cell,    Double,  Opb,       OpbCur)             \
    /* nothing; before "k" or "v" it makes a marker */                                             \
    X(kOpSpace,      ' ', Marker, "idl", Nothing, Nothing, Nothing, None,      None)
// clang-format on

/// The code the preparation pass gives an operation's character: the character's own code.
#define TESSIVOR_OP_ENUMERATOR(name, ch, ...) name = ch,
enum Op : std::int32_t { TESSIVOR_OPERATIONS(TESSIVOR_OP_ENUMERATOR) };
#undef TESSIVOR_OP_ENUMERATOR

/// One row of the table.
struct Letter {
    char ch;
    Op op;
    Shape shape;
    std::string_view mnemonic; ///< the assembler's name for it, or empty
    Sets sets;
    Writes writes;
    ReadAs readAs;
    Regs reads;
    Regs tests;
};

// clang-format off
#define TESSIVOR_OP_ROW(name, ch, shape, mnemonic, sets, writes, readAs, reads, tests)             \
    Letter{ch, name, Shape::shape, mnemonic, Sets::sets, Writes::writes, ReadAs::readAs,           \
           Regs::reads, Regs::tests},
// clang-format on
#define TESSIVOR_OP_COUNT(...) +1
inline constexpr std::array<Letter, 0 TESSIVOR_OPERATIONS(TESSIVOR_OP_COUNT)> kAlphabet{
    {TESSIVOR_OPERATIONS(TESSIVOR_OP_ROW)}};
#undef TESSIVOR_OP_COUNT
#undef TESSIVOR_OP_ROW

/// The row of `op`; every Op has one.
constexpr const Letter& letterOf(Op op) {
    for (const Letter& l : kAlphabet)
        if (l.op == op) return l;
    throw "no such operation"; // a compile-time error where it is used in a constant
}

namespace detail {

// The row of every code 0..127, or -1.
inline constexpr auto kRowOfCode = [] {
    std::array<std::int8_t, 128> rows{};
    rows.fill(-1);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i)
        rows[static_cast<unsigned char>(kAlphabet[i].ch)] = static_cast<std::int8_t>(i);
    return rows;
}();

} // namespace detail

/// The row of a prepared code, or null for codes that are no operation (digits, other
/// characters): they do nothing.
constexpr const Letter* letterOfCode(std::int32_t code) {
    if (code < 0 || code >= 128) return nullptr;
    const int row = detail::kRowOfCode[static_cast<std::size_t>(code)];
    return row < 0 ? nullptr : &kAlphabet[static_cast<std::size_t>(row)];
}

/// Cells a shape names (0 to 3): one address prefix each.
constexpr int cellsOf(Shape shape) {
    switch (shape) {
    case Shape::Three: return 3;
    case Shape::Test:
    case Shape::Two: return 2;
    case Shape::One: return 1;
    case Shape::Part:
    case Shape::Bare:
    case Shape::Marker: return 0;
    }
    return 0;
}

/// The registers of `regs`, in order; unused places hold Reg::Cur and are beyond `count`.
struct RegList {
    std::array<Reg, 3> at{};
    int count = 0;

    constexpr const Reg* begin() const { return at.data(); }
    constexpr const Reg* end() const { return at.data() + count; }
};

constexpr RegList regList(Regs regs) {
    switch (regs) {
    case Regs::None: return {};
    case Regs::Cur: return {{Reg::Cur}, 1};
    case Regs::Opb: return {{Reg::Opb}, 1};
    case Regs::CurOpb: return {{Reg::Cur, Reg::Opb}, 2};
    case Regs::OpbCur: return {{Reg::Opb, Reg::Cur}, 2};
    case Regs::OpbOpc: return {{Reg::Opb, Reg::Opc}, 2};
    case Regs::OpbOpcCur: return {{Reg::Opb, Reg::Opc, Reg::Cur}, 3};
    }
    return {};
}

/// The register's name as messages show it ("cur").
constexpr const char* regName(Reg reg) {
    switch (reg) {
    case Reg::Cur: return "cur";
    case Reg::Opb: return "opb";
    case Reg::Opc: return "opc";
    }
    return "";
}

namespace operations_check {

constexpr bool contains(RegList list, Reg reg) {
    for (const Reg r : list)
        if (r == reg) return true;
    return false;
}

constexpr bool agrees() {
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        const Letter& l = kAlphabet[i];
        // The code of an operation is its character's code, and each character has one row.
        if (static_cast<int>(l.op) != static_cast<unsigned char>(l.ch)) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (kAlphabet[j].ch == l.ch) return false;
        // Markers and register steps (but "A") name no cell of their own.
        const bool cellFree = l.shape == Shape::Marker || l.shape == Shape::Bare ||
                              (l.shape == Shape::Part && l.op != kOpAppendChar);
        if (cellFree &&
            (l.tests != Regs::None || l.reads != Regs::None || l.writes != Writes::Nothing)) {
            return false;
        }
        // What is read as a number or written to a cell is tested first.
        const RegList tested = regList(l.tests);
        for (const Reg r : regList(l.reads))
            if (!contains(tested, r)) return false;
        if ((l.writes == Writes::Cell || l.writes == Writes::Append) && !contains(tested, Reg::Cur))
            return false;
        if ((l.readAs == ReadAs::Nothing) != (l.reads == Regs::None)) return false;
        // An operation with a mnemonic tests as many cells as its shape names ("tic", "clr" and
        // "gto" on cur included); only the shapeless "A" tests a cell of its own.
        if (!l.mnemonic.empty() && tested.count != cellsOf(l.shape)) return false;
    }
    return true;
}
static_assert(agrees(), "a row of the table of operations disagrees with itself");

} // namespace operations_check

} // namespace tessivor
