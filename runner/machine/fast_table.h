#pragma once
// The fast loop's table: for every position, the longest run of steps that can go as one
// dispatch. The assembler's shapes ("aXX b aYY c aZZ op", "aXX op", "aXX s A..") become one
// entry each; a jump that lands inside a shape finds the entry of the rest of it there. The
// common loop tail ("aXX q", then a test, then "aYY u") is fused into one entry.

#include "runner/machine/prepare.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor::fast {

// What an entry does after setting the registers: one operation, or nothing. Every kind here
// needs a handler labelled op_<kind> in the fast loop, or the loop does not compile.
#define TESSIVOR_FAST_KINDS(X)                                                                     \
    X(kNone)      /* only the register steps (a chain cut at kMaxEntrySteps) */                    \
    X(kPastEnd)   /* `at` lies past the last position: the run ends silently */                    \
    X(kAdd)       /* "d" */                                                                        \
    X(kSub)       /* "e" */                                                                        \
    X(kMul)       /* "f" */                                                                        \
    X(kDiv)       /* "g" */                                                                        \
    X(kIfEqual)   /* "h" */                                                                        \
    X(kIfGreater) /* "i" */                                                                        \
    X(kIfLess)    /* "j" */                                                                        \
    X(kTick)      /* "l" */                                                                        \
    X(kPointer)   /* "n" */                                                                        \
    X(kInput)     /* "o" */                                                                        \
    X(kEnd)       /* "p" */                                                                        \
    X(kIncrement) /* "q" */                                                                        \
    X(kDecrement) /* "r" */                                                                        \
    X(kClear)     /* "s" */                                                                        \
    X(kEvents)    /* "t" */                                                                        \
    X(kGoto)      /* "u" */                                                                        \
    X(kDisplay)   /* "w" */                                                                        \
    X(kAppend)    /* "x" */                                                                        \
    X(kRandom)    /* "y" */                                                                        \
    X(kCopy)      /* "z" */                                                                        \
    X(kAppendRun) /* "A ch A ch ...": (next - at) / 2 characters, one step each */                 \
    X(kPower)     /* "B" */                                                                        \
    X(kSqrt)      /* "C" */                                                                        \
    X(kSetText)  /* "s A ch A ch ...": the cell becomes the characters; 1 + (next-at-1)/2 steps */ \
    X(kLoopTail) /* "q" or "r" on a fixed cell, a test on fixed cells, maybe "aXX u": Tail */      \
    X(kTrap)     /* a debug session stops here; no steps: its position's own step runs after */

#define TESSIVOR_FAST_KIND_ENUMERATOR(name) name,
enum Kind : std::uint8_t { TESSIVOR_FAST_KINDS(TESSIVOR_FAST_KIND_ENUMERATOR) };
#undef TESSIVOR_FAST_KIND_ENUMERATOR

/// Register sources besides a fixed cell number 0..99.
inline constexpr std::int8_t kKeep = -1;    ///< the register keeps its value
inline constexpr std::int8_t kFromCur = -2; ///< takes `cur` as it was when the entry began

/// The most steps one entry covers.
inline constexpr int kMaxEntrySteps = 60000;

/// An Entry::aux for none.
inline constexpr std::uint16_t kNoAux = 0xFFFF;

/// Steps from `pc` to `next`: first the address, "b", "c" and no-op steps, whose combined effect
/// on the registers is cur/opb/opc, then the operation `kind` at position `at`. Every step but
/// the last sets registers only, so an operation that fails does so at `at` after all of them.
struct Entry {
    Kind kind = kNone;
    std::int8_t cur = kKeep, opb = kKeep, opc = kKeep; ///< kKeep, kFromCur (not cur) or 0..99
    std::uint16_t steps = 1;
    /// kGoto: the entry's own slot in Table::jumpValues; kLoopTail: its Table::tails index;
    /// else kNoAux.
    std::uint16_t aux = kNoAux;
    std::int32_t at = 0;
    /// Where execution goes on after an operation that continues in line; for kGoto with a
    /// jump cache, the target of the last jump (see Table::jumpValues).
    std::int32_t next = 0;
};

class Cell;

/// An arithmetic entry ("d", "e", "f", "g", "B") whose three registers are fixed cells, as the
/// loop tail runs it when the entry lies between the tail's jump target and the tail.
struct BodyStep {
    Cell* b = nullptr; ///< the cells opb, opc and cur
    Cell* c = nullptr;
    Cell* cell = nullptr;
    std::int32_t start = 0;  ///< the entry's position
    std::int32_t before = 0; ///< the steps of the body's entries before this one
    Kind kind = kAdd;
    std::int8_t cur = 0, opb = 0, opc = 0;
};

/// The most arithmetic entries a loop body that the tail runs itself may have.
inline constexpr int kMaxBodySteps = 8;

/// A fused loop tail. Its entry holds the "q"/"r" part: cur is the fixed cell, steps cover the
/// increment's and the test's entries, `at` is the increment's position. The pointers are
/// filled by the loop that runs the table, whose cells they point into.
struct Tail {
    std::int32_t testAt = 0;     ///< position of the test
    std::int32_t jump = 0;       ///< position of a fixed-cell "u" entry right after the test, or 0
    std::uint16_t testSteps = 0; ///< steps of the test's entry
    std::uint16_t jumpSteps = 0; ///< steps of the "u" entry
    Kind test = kIfLess;         ///< kIfEqual, kIfGreater or kIfLess
    std::int8_t cur = 0, opb = 0, opc = 0; ///< the registers after the test's entry: fixed
    std::int8_t jumpCur = 0;               ///< the "u" entry's cell
    std::int8_t incCur = 0;                ///< the cell the increment steps
    double delta = 1;                      ///< 1 for "q", -1 for "r"
    Cell* cell = nullptr;                  ///< the cell the increment steps
    Cell* b = nullptr;                     ///< the test's cells
    Cell* c = nullptr;
    Cell* jumpCell = nullptr;          ///< the "u" entry's cell, or null without one
    const double* jumpValue = nullptr; ///< the "u" entry's jump cache: value and target
    const std::int32_t* jumpNext = nullptr;
    /// The loop body: the arithmetic entries from `bodyTarget`, a target of the jump, up to this
    /// tail, found by the loop that runs the table when the jump first goes there (bodyTarget -1
    /// before). `bodySize` 0: the entries from there are no such body.
    std::int32_t bodyTarget = -1;
    std::int32_t bodySize = 0;
    std::int32_t noBodyAt = -1; ///< the last jump target found to start no body
    std::int32_t bodySteps = 0; ///< the steps of the body's entries
    BodyStep body[kMaxBodySteps];
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
    std::vector<Tail> tails;
};

/// The one step at `pc` as an entry (1 <= pc <= n + 3), without a jump cache. Always one step:
/// an "A" alone, never a run.
Entry singleEntry(const Prepared& tables, std::int32_t pc);

/// Builds the table: at each position the longest entry that starts there. Where `traps` (one
/// byte a position, or empty) is set, a kTrap entry stands instead, and no entry runs across it.
Table buildTable(const Prepared& tables, const std::vector<std::uint8_t>& traps = {});

/// Fills the loop body of `tail`, whose entry is at `tailAt`, for the jump target `target`: the
/// chain of arithmetic entries on fixed cells from there that ends at the tail, over `mem`;
/// a tail whose test compares texts has none.
void findLoopBody(const Table& table, Tail& tail, std::int32_t tailAt, std::int32_t target,
                  Cell* mem);

/// The characters `count` "A" steps from position `at` on append.
inline std::string_view appendedText(const Table& table, std::int32_t at, std::int32_t count) {
    return std::string_view(table.literals[at & 1])
        .substr(static_cast<std::size_t>(at >> 1), static_cast<std::size_t>(count));
}

/// Ends the process with a message: an invariant the fast loop relies on does not hold.
[[noreturn]] void invariantBroken(const char* what);

} // namespace tessivor::fast
