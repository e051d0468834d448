#pragma once
// The code string's alphabet: what each code does when execution reaches it. Cell X means the
// text of the cell whose number the register X holds.

#include <cstdint>

namespace tessivor {

enum Op : std::int32_t {
    kOpAppendChar = 65, ///< "A": cell cur += the character of the next position (a digit code
                        ///< 0..9 appends that digit); consumes it; fails at the last position
    kOpPower = 66,      ///< "B": cell cur := cell opb ^ cell opc; never fails on the result
    kOpSqrt = 67,       ///< "C": cell cur := sqrt(cell opb)
    kOpSpace = 32,      ///< " ": nothing; before "k" or "v" it makes a marker
    kOpAddress = 97,    ///< "a" + 2 digits: cur := addrs(pc); always moves on by three
    kOpSetB = 98,       ///< "b": opb := cur
    kOpSetC = 99,       ///< "c": opc := cur
    kOpAdd = 100,       ///< "d": cell cur := floor(cell opb) + floor(cell opc)
    kOpSub = 101,       ///< "e": cell cur := cell opb - cell opc
    kOpMul = 102,       ///< "f": cell cur := cell opb * cell opc
    kOpDiv = 103,       ///< "g": cell cur := cell opb / cell opc; zero divisor gives Infinity
    kOpIfEqual = 104,   ///< "h": test: same texts; a failed test goes past the next end-if
    kOpIfGreater = 105, ///< "i": test: single(opb) > single(opc)
    kOpIfLess = 106,    ///< "j": test: single(opb) < single(opc)
    kOpEndIf = 107,     ///< "k": after a space, the end-if marker a failed test continues after
    kOpTick = 108,      ///< "l": cell cur := the tick counter
    kOpPointer = 110,   ///< "n": cur := |cell cur| rounded, ties to even
    kOpInput = 111,     ///< "o": cell cur := the reply to an input box prompting cell opb
    kOpEnd = 112,       ///< "p": "Program Terminated"; the run ends
    kOpIncrement = 113, ///< "q": cell cur := cell cur + 1
    kOpDecrement = 114, ///< "r": cell cur := cell cur - 1
    kOpClear = 115,     ///< "s": cell cur := ""
    kOpEvents = 116,    ///< "t": the window handles its pending events
    kOpGoto = 117,      ///< "u": continue after label integer(cell cur); 0..99
    kOpLabel = 118,     ///< "v": after a space, a label marker, numbered by order
    kOpDisplay = 119,   ///< "w": t1 := cell cur
    kOpAppend = 120,    ///< "x": cell cur += cell opb
    kOpRandom = 121,    ///< "y": cell cur := lo + floor((hi - lo + 1) * r), lo/hi cells opb/opc
    kOpCopy = 122,      ///< "z": cell cur := cell opb
};

} // namespace tessivor
