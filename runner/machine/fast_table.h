#pragma once
// The fast loop's table: for every position, the longest run of steps that can go as one
// dispatch. The assembler's shapes ("aXX b aYY c aZZ op", "aXX op", "aXX s A..") become one
// entry each; a jump that lands inside a shape finds the entry of the rest of it there.

#include "runner/machine/prepare.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor::fast {

/// What an entry does after setting the registers: one operation, or nothing.
enum Kind : std::uint8_t {
    kNone,      ///< only the register steps (a chain cut at kMaxEntrySteps)
    kPassedEnd, ///< `at` lies past the last position: the run ends silently
    kAdd,       ///< "d"
    kSub,       ///< "e"
    kMul,       ///< "f"
    kDiv,       ///< "g"
    kIfEqual,   ///< "h"
    kIfGreater, ///< "i"
    kIfLess,    ///< "j"
    kTick,      ///< "l"
    kPointer,   ///< "n"
    kInput,     ///< "o"
    kEnd,       ///< "p"
    kIncrement, ///< "q"
    kDecrement, ///< "r"
    kClear,     ///< "s"
    kEvents,    ///< "t"
    kGoto,      ///< "u"
    kDisplay,   ///< "w"
    kAppend,    ///< "x"
    kRandom,    ///< "y"
    kCopy,      ///< "z"
    kAppendRun, ///< "A ch A ch ...": (next - at) / 2 characters, one step each
    kPower,     ///< "B"
    kSqrt,      ///< "C"
    kSetText,   ///< "s A ch A ch ...": the cell becomes the characters; 1 + (next - at - 1) / 2
                ///< steps
};

/// Register sources besides a fixed cell number 0..99.
inline constexpr std::int8_t kKeep = -1;    ///< the register keeps its value
inline constexpr std::int8_t kFromCur = -2; ///< takes `cur` as it was when the entry began

/// The most steps one entry covers.
inline constexpr int kMaxEntrySteps = 60000;

/// An Entry::jumpCache for none.
inline constexpr std::uint16_t kNoJumpCache = 0xFFFF;

/// Steps from `pc` to `next`: first the address, "b", "c" and no-op steps, whose combined effect
/// on the registers is cur/opb/opc, then the operation `kind` at position `at`. Every step but
/// the last sets registers only, so an operation that fails does so at `at` after all of them.
struct Entry {
    Kind kind = kNone;
    std::int8_t cur = kKeep, opb = kKeep, opc = kKeep; ///< kKeep, kFromCur (not cur) or 0..99
    std::uint16_t steps = 1;
    /// For kGoto: the entry's own slot in Table::jumpValues, or kNoJumpCache.
    std::uint16_t jumpCache = kNoJumpCache;
    std::int32_t at = 0;
    /// Where execution goes on after an operation that continues in line; for kGoto with a
    /// jump cache, the target of the last jump (see Table::jumpValues).
    std::int32_t next = 0;
};

struct Table {
    std::int32_t n = 0;         ///< length of the code string
    std::vector<Entry> entries; ///< positions 0..n+3; the three past n end the run
    /// The character each "A" at position q appends, at [q % 2][q / 2], so that a run of them
    /// starting at q is one contiguous text.
    std::string literals[2];
    /// The whole number the cell of a "u" entry held at its last jump, which then went to the
    /// entry's `next`; NaN before the first. Label positions are fixed for a run, so the pair
    /// stays true.
    std::vector<double> jumpValues;
};

/// The one step at `pc` as an entry (1 <= pc <= n + 3), without a jump cache.
Entry singleEntry(const Prepared& tables, std::int32_t pc);

/// Builds the table: at each position the longest entry that starts there.
Table buildTable(const Prepared& tables);

/// The characters `count` "A" steps from position `at` on append.
inline std::string_view appendedText(const Table& table, std::int32_t at, std::int32_t count) {
    return std::string_view(table.literals[at & 1])
        .substr(static_cast<std::size_t>(at >> 1), static_cast<std::size_t>(count));
}

} // namespace tessivor::fast
