// The fast step loop: one dispatch per table entry (a whole instruction shape where the code
// has one), cells that keep their numbers, and the clock read only when the pulse moved.
// Every event, message, step count and end state is the plain loop's.

#include "runner/machine/fast_cell.h"
#include "runner/machine/fast_table.h"
#include "runner/machine/interpreters.h"
#include "runner/machine/tick.h"
#include "runner/machine/number.h"

#include <cmath>
#include <limits>

namespace tessivor {
namespace {

using fast::Cell;
using fast::Entry;

constexpr bool isCell(std::int32_t n) {
    return static_cast<std::uint32_t>(n) < kCells;
}

/// Tests the cells, then reads cells opb and opc as doubles, in that order.
inline Failure operands(std::array<Cell, kCells>& mem, std::int32_t cur, std::int32_t opb,
                        std::int32_t opc, double& b, double& c) {
    if (!isCell(opb) || !isCell(opc) || !isCell(cur)) return Failure::SubscriptOutOfRange;
    if (const Failure f = mem[static_cast<std::size_t>(opb)].read(b); f != Failure::None) return f;
    return mem[static_cast<std::size_t>(opc)].read(c);
}

/// Tests the cells, then reads cells opb and opc as singles, in that order.
inline Failure singles(std::array<Cell, kCells>& mem, std::int32_t opb, std::int32_t opc, float& sb,
                       float& sc) {
    if (!isCell(opb) || !isCell(opc)) return Failure::SubscriptOutOfRange;
    if (const Failure f = mem[static_cast<std::size_t>(opb)].readSingle(sb); f != Failure::None) {
        return f;
    }
    return mem[static_cast<std::size_t>(opc)].readSingle(sc);
}

/// Steps between two looks at the pulse: a few microseconds.
constexpr std::int64_t kPulseSteps = 4096;

/// Longest code string that gets a table (16 bytes a position on top of the prepared tables);
/// longer ones run a step a dispatch, decoded on the way.
constexpr std::int32_t kMaxTableLength = 1 << 24;

// With `kTabled` the entries come from `table`; without, each is one step decoded at `pc`.
template <bool kTabled>
RunResult loop(const Prepared& tables, fast::Table* table, Host& host, const RunOptions& options) {
    const std::atomic<std::uint32_t>* pulse = host.tickPulse();
    const auto n = static_cast<std::int32_t>(tables.codes.size() - 1);

    std::array<Cell, kCells> mem;
    std::int32_t cur = 0, opb = 0, opc = 0, pc = 1;
    const std::int64_t limit =
        options.maxSteps > 0 ? options.maxSteps : std::numeric_limits<std::int64_t>::max();
    // The loop looks at the step limit and the pulse only when `left`, the steps it was granted
    // at the last look, runs out: one test an entry. `remaining` is the steps left before the
    // limit as of that look.
    std::int64_t remaining = limit;
    std::int64_t granted = 0, left = 0;
    std::int64_t refreshedAt = 0; // steps done when the speed display was last refreshed
    std::int32_t nexttick = 0;
    bool shown = false; // the first step always refreshes the speed display
    // The pulse as last seen; kUnseen, which no pulse equals, has the next step read the clock.
    constexpr std::uint64_t kUnseen = ~std::uint64_t{0};
    std::uint64_t seenPulse = kUnseen;
    Entry* const entries = kTabled ? table->entries.data() : nullptr;
    double* const jumpValues = kTabled ? table->jumpValues.data() : nullptr;
    const std::int32_t* const eifpos = tables.eifpos.data();
    const std::int32_t* const lblpos = tables.lblpos.data();
    Failure failure = Failure::None;
    RunEnd end = RunEnd::StepLimit;
    Entry single;

    for (;;) {
        Entry* e = &single;
        if constexpr (kTabled) {
            e = &entries[pc];
        } else {
            single = fast::singleEntry(tables, pc);
        }
        if (e->steps > left) [[unlikely]] {
            remaining -= granted - left;
            granted = left = 0;
            if (e->steps > remaining) {
                if (remaining == 0) break; // the step limit
                single = fast::singleEntry(tables, pc);
                e = &single;
            }
            // Without a pulse the clock is read at every step: one step a grant. With one, the
            // display is refreshed at most kPulseSteps steps after the pulse moved; host calls
            // end an entry and end the grant, so the step after one always looks.
            granted = left =
                pulse ? std::min(remaining, std::max<std::int64_t>(kPulseSteps, e->steps)) : 1;
            const std::uint64_t pulseNow =
                pulse ? pulse->load(std::memory_order_relaxed) : kUnseen - 1;
            if (pulseNow != seenPulse) {
                seenPulse = pulse ? pulseNow : kUnseen;
                const std::int32_t now = host.tickCount();
                if (!shown || tickPassed(now, nexttick)) {
                    shown = true;
                    nexttick = tickAfter(now, 1000);
                    const std::int64_t done = limit - remaining;
                    host.setCaption(speedCaption(done - refreshedAt));
                    refreshedAt = done;
                }
            }
        }
        // The register steps: "b" and "c" before any address take cur as it was.
        const std::int32_t cur0 = cur;
        if (e->cur != fast::kKeep) cur = e->cur;
        if (e->opb != fast::kKeep) opb = e->opb >= 0 ? e->opb : cur0;
        if (e->opc != fast::kKeep) opc = e->opc >= 0 ? e->opc : cur0;

        // A test that holds goes on in line; a failed one after the next end-if marker, or at 1
        // without one.
        const auto branch = [&](bool holds) {
            left -= e->steps;
            pc = holds ? e->at + 1 : eifpos[e->at] + 1;
        };
        double b = 0, c = 0;
        Failure f = Failure::None;
        switch (e->kind) {
        case fast::kNone: break;
        case fast::kAdd:
            if ((f = operands(mem, cur, opb, opc, b, c)) == Failure::None)
                mem[cur].storeNumber(std::floor(b) + std::floor(c));
            break;
        case fast::kSub:
            if ((f = operands(mem, cur, opb, opc, b, c)) == Failure::None)
                mem[cur].storeNumber(b - c);
            break;
        case fast::kMul:
            if ((f = operands(mem, cur, opb, opc, b, c)) == Failure::None)
                mem[cur].storeNumber(b * c);
            break;
        case fast::kDiv:
            if ((f = operands(mem, cur, opb, opc, b, c)) == Failure::None)
                mem[cur].storeNumber(b / c);
            break;
        case fast::kPower:
            if ((f = operands(mem, cur, opb, opc, b, c)) == Failure::None)
                mem[cur].storeNumber(std::pow(b, c));
            break;
        case fast::kIfEqual:
            if (!isCell(opb) || !isCell(opc)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            branch(Cell::sameText(mem[opb], mem[opc]));
            continue;
        case fast::kIfGreater: {
            float sb = 0, sc = 0;
            if ((f = singles(mem, opb, opc, sb, sc)) != Failure::None) break;
            branch(sb > sc);
            continue;
        }
        case fast::kIfLess: {
            float sb = 0, sc = 0;
            if ((f = singles(mem, opb, opc, sb, sc)) != Failure::None) break;
            branch(sb < sc);
            continue;
        }
        case fast::kIncrement:
            if (!isCell(cur)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            if ((f = mem[cur].read(b)) != Failure::None) break;
            mem[cur].step(b, 1.0);
            break;
        case fast::kDecrement:
            if (!isCell(cur)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            if ((f = mem[cur].read(b)) != Failure::None) break;
            mem[cur].step(b, -1.0);
            break;
        case fast::kGoto: {
            if (!isCell(cur)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            const bool cached = kTabled && e->jumpCache != fast::kNoJumpCache;
            if (cached && mem[cur].holdsWhole(jumpValues[e->jumpCache])) {
                // The cell still holds the number of this entry's last jump: the same target,
                // without the chain of loads from the cell to the label's position.
                left -= e->steps;
                pc = e->next;
                continue;
            }
            std::int32_t label = 0;
            const bool whole = mem[cur].wholeInt32(label);
            if (!whole) {
                if ((f = mem[cur].read(b)) != Failure::None) break;
                if ((f = roundToInt32(b, label)) != Failure::None) break;
            }
            if (label < 0 || label >= kLabels) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            left -= e->steps;
            pc = lblpos[label] + 1;
            if (cached && whole) {
                jumpValues[e->jumpCache] = mem[cur].whole();
                e->next = pc;
            }
            continue;
        }
        case fast::kEvents:
            host.processEvents();
            left -= e->steps;
            pc = e->next;
            // After "t" and an input box the next step reads the clock, as in the plain loop.
            remaining -= granted - left;
            granted = left = 0;
            seenPulse = kUnseen;
            continue;
        case fast::kTick:
            if (!isCell(cur)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            mem[cur].storeNumber(host.tickCount());
            left -= e->steps;
            pc = e->next;
            // The next step looks at the pulse, which may have moved in the host.
            remaining -= granted - left;
            granted = left = 0;
            continue;
        case fast::kPointer: {
            if (!isCell(cur)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            std::int32_t cell = 0;
            if (mem[cur].wholeInt32(cell) && cell != std::numeric_limits<std::int32_t>::min()) {
                cell = cell < 0 ? -cell : cell;
            } else {
                if ((f = mem[cur].read(b)) != Failure::None) break;
                if ((f = roundToInt32(std::fabs(b), cell)) != Failure::None) break;
            }
            cur = cell; // tested only when an operation uses it
            break;
        }
        case fast::kAppend: {
            if (!isCell(cur) || !isCell(opb)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            const std::string& tail = mem[opb].text();
            if (mem[cur].text().size() + tail.size() > kMaxCellLength) {
                f = Failure::OutOfStringSpace;
                break;
            }
            // Appending a cell to itself: std::string::append copes with its own text.
            mem[cur].editText([&](std::string& s) { s.append(tail); });
            break;
        }
        case fast::kRandom: {
            const double r = host.randomSingle(); // drawn before the cells are tested
            if ((f = operands(mem, cur, opb, opc, b, c)) != Failure::None) break;
            mem[cur].storeNumber(b + std::floor((c - b + 1) * r));
            left -= e->steps;
            pc = e->next;
            // The next step looks at the pulse, which may have moved in the host.
            remaining -= granted - left;
            granted = left = 0;
            continue;
        }
        case fast::kCopy:
            if (!isCell(cur) || !isCell(opb)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            if (cur != opb) mem[cur] = mem[opb];
            break;
        case fast::kAppendRun: {
            const std::int32_t count = (e->next - e->at) / 2;
            const std::int32_t before = e->steps - count; // register steps ahead of the run
            // The "A" at the last position has no character to append.
            if (!isCell(cur) || e->at + 1 > n) {
                left -= before + 1;
                pc = e->at;
                failure = Failure::SubscriptOutOfRange;
                end = RunEnd::Error;
                break;
            }
            const std::size_t length = mem[cur].text().size();
            char one = 0;
            std::string_view text(&one, 1);
            if (count == 1) {
                // The code, not the character: a digit and an unrecognised character (code 0)
                // both append a digit.
                const std::int32_t k = tables.codes[static_cast<std::size_t>(e->at) + 1];
                one = static_cast<char>(k <= 9 ? '0' + k : k);
            } else if constexpr (kTabled) {
                text = fast::appendedText(*table, e->at, count);
            }
            if (length + static_cast<std::size_t>(count) > kMaxCellLength) {
                // The first "A" that would pass the limit fails; those before it append.
                const auto fit =
                    static_cast<std::int32_t>(kMaxCellLength - std::min(length, kMaxCellLength));
                mem[cur].editText([&](std::string& s) {
                    s.append(text.substr(0, static_cast<std::size_t>(fit)));
                });
                left -= before + fit + 1;
                pc = e->at + 2 * fit;
                failure = Failure::OutOfStringSpace;
                end = RunEnd::Error;
                break;
            }
            mem[cur].editText([&](std::string& s) { s.append(text); });
            left -= e->steps;
            pc = e->next;
            continue;
        }
        case fast::kSetText: {
            const std::int32_t count = (e->next - e->at - 1) / 2;
            if (!isCell(cur)) {
                // The "s" fails; the "A" steps after it never run.
                left -= e->steps - count;
                pc = e->at;
                failure = Failure::SubscriptOutOfRange;
                end = RunEnd::Error;
                break;
            }
            // Within kMaxEntrySteps characters: never beyond a cell's limit.
            if constexpr (kTabled) {
                mem[cur].editText([&](std::string& s) {
                    s.assign(fast::appendedText(*table, e->at + 1, count));
                });
            }
            left -= e->steps;
            pc = e->next;
            continue;
        }
        case fast::kSqrt:
            if (!isCell(opb) || !isCell(cur)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            if ((f = mem[opb].read(b)) == Failure::None) mem[cur].storeNumber(std::sqrt(b));
            break;
        case fast::kClear:
            if (!isCell(cur)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            mem[cur].clear();
            break;
        case fast::kDisplay:
            if (!isCell(cur)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            host.setDisplay(mem[cur].text());
            left -= e->steps;
            pc = e->next;
            // The next step looks at the pulse, which may have moved in the host.
            remaining -= granted - left;
            granted = left = 0;
            continue;
        case fast::kInput: {
            if (!isCell(opb) || !isCell(cur)) {
                f = Failure::SubscriptOutOfRange;
                break;
            }
            std::string reply = host.inputBox(mem[opb].text());
            if (reply.size() > kMaxCellLength) {
                f = Failure::OutOfStringSpace;
                break;
            }
            mem[cur].editText([&](std::string& s) { s = std::move(reply); });
            left -= e->steps;
            pc = e->next;
            // After "t" and an input box the next step reads the clock, as in the plain loop.
            remaining -= granted - left;
            granted = left = 0;
            seenPulse = kUnseen;
            continue;
        }
        case fast::kEnd:
            left -= e->steps;
            pc = e->at;
            end = RunEnd::Terminated;
            break;
        case fast::kPassedEnd:
            left -= e->steps;
            pc = e->at;
            end = RunEnd::PassedEnd;
            break;
#if defined(__GNUC__)
        default: __builtin_unreachable(); // every Kind has its case; spares the range test
#endif
        }
        if (end != RunEnd::StepLimit) break; // "p", past the end, or a failed "A" run
        if (f != Failure::None) [[unlikely]] {
            left -= e->steps;
            pc = e->at;
            failure = f;
            end = RunEnd::Error;
            break;
        }
        left -= e->steps;
        pc = e->next;
    }

    if (end == RunEnd::Terminated) {
        host.messageBox("Program Terminated");
        host.setLarpEnabled();
    } else if (end == RunEnd::Error) {
        host.messageBox(errorReport(failure, pc, tables.codes[static_cast<std::size_t>(pc)]));
        host.messageBox("Program Ended");
        host.setLarpEnabled();
    }
    remaining -= granted - left;
    RunResult result;
    result.end = end;
    result.failure = failure;
    result.steps = limit - remaining;
    result.pc = pc;
    result.cur = cur;
    result.opb = opb;
    result.opc = opc;
    for (int i = 0; i < kCells; ++i)
        result.mem[static_cast<std::size_t>(i)] = mem[static_cast<std::size_t>(i)].take();
    return result;
}

} // namespace

RunResult runFast(const Prepared& tables, Host& host, const RunOptions& options) {
    // Without a pulse the clock is read at every step, so every entry must be one step.
    if (host.tickPulse() == nullptr || tables.codes.size() - 1 > kMaxTableLength) {
        return loop<false>(tables, nullptr, host, options);
    }
    fast::Table table = fast::buildTable(tables);
    return loop<true>(tables, &table, host, options);
}

} // namespace tessivor
