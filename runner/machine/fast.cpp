// The fast step loop: one dispatch per table entry (a whole instruction shape where the code
// has one), cells that keep their numbers, and the clock read only when the pulse moved.
// Every event, message, step count and end state is the plain loop's.
//
// Each handler is a label, op_<kind>, and leaves in one of three ways: NEXT_AT(pc) goes on at
// a position, FAIL(failure) ends the run with the error report at the entry's operation, and
// END(how) ends it otherwise. The steps of an entry are taken from the grant (`left`) before
// its handler runs; when an entry does not fit, `refill` settles the step count, the step limit
// and the speed display, and grants the next stretch.

#include "runner/machine/fast_cell.h"
#include "runner/machine/fast_table.h"
#include "runner/machine/interpreters.h"
#include "runner/machine/number.h"
#include "runner/machine/tick.h"
#include "runner/machine/virtual_clock.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

// Direct threading where the compiler has computed goto; a switch that jumps to the same
// labels elsewhere (or with -DTESSIVOR_THREADED=0).
#if !defined(TESSIVOR_THREADED)
#if defined(__GNUC__) || defined(__clang__)
#define TESSIVOR_THREADED 1
#else
#define TESSIVOR_THREADED 0
#endif
#endif
#if TESSIVOR_THREADED
// Labels as values and computed goto are the GNU extension this loop is built on.
#pragma GCC diagnostic ignored "-Wpedantic"
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wgnu-label-as-value"
#endif
#endif

namespace tessivor {
namespace {

using fast::Cell;
using fast::Entry;

constexpr bool isCell(std::int32_t n) { return static_cast<std::uint32_t>(n) < kCells; }

using Memory = std::array<Cell, kCells>;

/// Tests the cells, then reads cells opb and opc as doubles, in that order.
inline Failure operands(Memory& mem, std::int32_t cur, std::int32_t opb, std::int32_t opc,
                        double& b, double& c) {
    if (!isCell(opb) || !isCell(opc) || !isCell(cur)) return Failure::SubscriptOutOfRange;
    if (const Failure f = mem[static_cast<std::size_t>(opb)].read(b); f != Failure::None) return f;
    return mem[static_cast<std::size_t>(opc)].read(c);
}

/// Tests the cells, then reads cells opb and opc as singles, in that order.
inline Failure singles(Memory& mem, std::int32_t opb, std::int32_t opc, float& sb, float& sc) {
    if (!isCell(opb) || !isCell(opc)) return Failure::SubscriptOutOfRange;
    if (const Failure f = mem[static_cast<std::size_t>(opb)].readSingle(sb); f != Failure::None) {
        return f;
    }
    return mem[static_cast<std::size_t>(opc)].readSingle(sc);
}

/// Runs a test on cells opb and opc: holds or not, or a failure.
inline Failure test(fast::Kind kind, Memory& mem, std::int32_t opb, std::int32_t opc, bool& holds) {
    if (kind == fast::kIfEqual) {
        if (!isCell(opb) || !isCell(opc)) return Failure::SubscriptOutOfRange;
        holds =
            Cell::sameText(mem[static_cast<std::size_t>(opb)], mem[static_cast<std::size_t>(opc)]);
        return Failure::None;
    }
    float sb = 0, sc = 0;
    if (const Failure f = singles(mem, opb, opc, sb, sc); f != Failure::None) return f;
    holds = kind == fast::kIfLess ? sb < sc : sb > sc;
    return Failure::None;
}

/// The result of a loop body's arithmetic entry ("d", "e", "f", "g" or "B") on x and y, as its
/// handler works it out.
inline double bodyResult(fast::Kind kind, double x, double y) {
    if (kind == fast::kDiv) return x / y;
    if (kind == fast::kSub) return x - y;
    if (kind == fast::kMul) return x * y;
    if (kind == fast::kAdd) return std::floor(x) + std::floor(y);
    return std::pow(x, y);
}

/// Where the turns of a loop body stopped: the position to go on at, and the registers as the
/// steps before it left them.
struct BodyStop {
    std::int32_t at = 0;
    std::int32_t cur = 0, opb = 0, opc = 0;
    std::int64_t left = 0; ///< the grant's steps still left
};

/// Runs whole turns of the loop body of `tail`, whose entry is at `tailAt` and takes
/// `tailSteps` steps, entered at the body's start with the registers as a turn leaves them (cur
/// the jump's cell, opb and opc the test's). Goes round while `left` covers a turn, the operands
/// hold numbers already read and the tail's cells hold whole numbers; anything else stops at the
/// entry concerned, before it, with the steps that ran taken from `left`. A function of its
/// own, so that its cells stay in registers.
[[gnu::noinline]] BodyStop runLoopBody(const fast::Tail& tail, std::int32_t tailAt,
                                       std::int64_t tailSteps, const std::int32_t* eifpos,
                                       std::int64_t left) {
    const std::int64_t turn = tail.bodySteps + tailSteps + tail.jumpSteps;
    const fast::BodyStep* const body = tail.body;
    const fast::BodyStep* const bodyEnd = body + tail.bodySize;
    const double jumpValue = *tail.jumpValue;
    const bool wantLess = tail.test == fast::kIfLess;
    // The tail's cells are read through `tail` each turn: kept in variables, they would be
    // saved and restored around the body's steps, which may call out.
    // A turn's steps are taken at its start, and the ones it did not run given back.
    const auto stop = [&](std::int32_t at, std::int64_t notRun, std::int32_t cur, std::int32_t opb,
                          std::int32_t opc) {
        return BodyStop{at, cur, opb, opc, left + notRun};
    };
    while (left >= turn) {
        left -= turn;
        for (const fast::BodyStep* s = body; s != bodyEnd; ++s) {
            const Cell& x = *s->b;
            const Cell& y = *s->c;
            if (!Cell::bothKnown(x, y)) [[unlikely]] {
                if (s == body) return stop(s->start, turn, tail.jumpCur, tail.opb, tail.opc);
                return stop(s->start, turn - s->before, s[-1].cur, s[-1].opb, s[-1].opc);
            }
            const double r = bodyResult(s->kind, x.knownNumber(), y.knownNumber());
            // Sums, and differences and products of whole numbers, are whole.
            if (s->kind == fast::kAdd ||
                (Cell::bothWhole(x, y) && (s->kind == fast::kSub || s->kind == fast::kMul))) {
                s->cell->storeNumber(r);
            } else {
                s->cell->storeFraction(r);
            }
        }
        const fast::BodyStep& last = bodyEnd[-1];
        const Cell& b = *tail.b;
        const Cell& c = *tail.c;
        if (!Cell::bothWhole(b, c) || !tail.cell->stepWhole(tail.delta)) [[unlikely]] {
            return stop(tailAt, turn - tail.bodySteps, last.cur, last.opb, last.opc);
        }
        bool less = false, greater = false;
        Cell::compareWhole(b, c, less, greater);
        if (!(wantLess ? less : greater)) {
            return stop(eifpos[tail.testAt] + 1, tail.jumpSteps, tail.cur, tail.opb, tail.opc);
        }
        if (!tail.jumpCell->holdsWhole(jumpValue)) {
            return stop(tail.testAt + 1, tail.jumpSteps, tail.cur, tail.opb, tail.opc);
        }
    }
    return stop(tail.bodyTarget, 0, tail.jumpCur, tail.opb, tail.opc);
}

/// How the turns of a loop that is nothing but its tail stopped, and the grant's steps left.
struct TailStop {
    enum How { kGoesOn, kTestFailed, kJumpMoved } how = kGoesOn;
    std::int64_t left = 0;
};

/// Runs whole turns of a loop that is nothing but its tail (entry of `tailSteps` steps, then
/// the jump back to it), entered after one turn's test held and its jump was taken: while
/// `left` covers a turn and its cells hold whole numbers. kGoesOn: at the jump's target, as a
/// turn leaves it; else the increment and test of the last turn ran, and the test failed or the
/// jump's cell no longer holds its number. A function of its own, so that its cells and tests
/// stay in registers; runLoopBody with an empty body would do the same work, at twice the
/// instructions a turn.
[[gnu::noinline]] TailStop runTailAlone(const fast::Tail& tail, std::int64_t tailSteps,
                                        std::int64_t left) {
    const std::int64_t turn = tailSteps + tail.jumpSteps;
    Cell& cell = *tail.cell;
    const Cell& b = *tail.b;
    const Cell& c = *tail.c;
    const Cell& jumpCell = *tail.jumpCell;
    const double jumpValue = *tail.jumpValue;
    const double delta = tail.delta;
    const bool wantLess = tail.test == fast::kIfLess;
    while (left >= turn && Cell::bothWhole(b, c) && cell.stepWhole(delta)) {
        bool less = false, greater = false;
        Cell::compareWhole(b, c, less, greater);
        if (!(wantLess ? less : greater)) return {TailStop::kTestFailed, left - tailSteps};
        if (!jumpCell.holdsWhole(jumpValue)) return {TailStop::kJumpMoved, left - tailSteps};
        left -= turn;
    }
    return {TailStop::kGoesOn, left};
}

/// The memory limit's state, kept out of the loop's registers: the handlers that grow texts
/// reach it past a share of the limit only.
struct Guard {
    explicit Guard(std::size_t maxMemory) : memory(maxMemory) {}
    MemoryLimit memory;
    bool overMemory = false; ///< the failure was the memory limit
    bool longText = false;   ///< a step moved a long text: the next one looks at the time
};

[[gnu::noinline]] bool allowsCounted(Guard& guard, Memory& mem, std::int32_t cur,
                                     std::size_t size) {
    return guard.memory.allows(cur, size, [&mem](std::int32_t i) {
        return mem[static_cast<std::size_t>(i)].text().size();
    });
}

/// Cell `cur` may hold `size` bytes under the memory limit.
inline bool allows(Guard& guard, Memory& mem, std::int32_t cur, std::size_t size) {
    return size <= guard.memory.quick() || allowsCounted(guard, mem, cur, size);
}

[[gnu::noinline]] std::size_t roomFor(Guard& guard, Memory& mem, std::int32_t cur) {
    return guard.memory.room(
        cur, [&mem](std::int32_t i) { return mem[static_cast<std::size_t>(i)].text().size(); });
}

/// Sets the registers as the entry's register steps leave them: "b" and "c" before any address
/// take cur as it was.
inline void applyRegisters(const Entry& e, std::int32_t& cur, std::int32_t& opb,
                           std::int32_t& opc) {
    const std::int32_t cur0 = cur;
    if (e.cur != fast::kKeep) cur = e.cur;
    if (e.opb != fast::kKeep) opb = e.opb >= 0 ? e.opb : cur0;
    if (e.opc != fast::kKeep) opc = e.opc >= 0 ? e.opc : cur0;
}

/// Steps between two looks at the pulse: a few microseconds.
constexpr std::int64_t kPulseSteps = 4096;

/// Longest code string that gets a table (16 bytes a position on top of the prepared tables);
/// longer ones run a step a dispatch, decoded on the way.
constexpr std::int32_t kMaxTableLength = 1 << 24;

/// With the virtual clock: the steps done at which the display is next refreshed, after a
/// refresh with `stepsDone` steps done set nexttick to virtualTick(stepsDone) + 1000.
constexpr std::int64_t nextVirtualRefresh(std::int64_t stepsDone) {
    return (stepsDone / kVirtualStepsPerMillisecond + 1001) * kVirtualStepsPerMillisecond;
}

// With `kTabled` the entries come from `table`; without, each is one step decoded at `pc`.
// With `kStretch`, a debug session's stretch: it starts and ends where the session stands
// (`stretch`). A run's loop is built without it, so that none of it costs a run anything.
template <bool kTabled, bool kStretch = false>
RunResult loop(const Prepared& tables, fast::Table* table, Host& host, const RunOptions& options,
               FastStretch* stretch = nullptr) {
    FastStretch* const from = kStretch ? stretch : nullptr;
    const bool virtualClock = options.virtualClock;
    const std::atomic<std::uint32_t>* pulse = virtualClock ? nullptr : host.tickPulse();
    const auto n = static_cast<std::int32_t>(tables.codes.size() - 1);

    Memory mem;
    std::int32_t cur = 0, opb = 0, opc = 0, pc = 1;
    // A stretch's clocks and speed display count the run's steps before it.
    const std::int64_t base = from ? from->stepsBefore : 0;
    if (from) {
        for (std::size_t i = 0; i < mem.size(); ++i)
            mem[i].adopt(std::move((*from->mem)[i]));
        cur = from->cur;
        opb = from->opb;
        opc = from->opc;
    }
    const std::int64_t limit =
        options.maxSteps > 0 ? options.maxSteps : std::numeric_limits<std::int64_t>::max();
    // The loop looks at the step limit and the clock only when `left`, the steps it was granted
    // at the last look, runs out: one test an entry. `remaining` is the steps left before the
    // limit as of that look.
    std::int64_t remaining = limit;
    std::int64_t granted = 0, left = 0;
    std::int64_t refreshedAt = 0; // steps done (the run's) when the speed display last refreshed
    const std::int64_t pollSteps = std::max<std::int64_t>(1, options.pollSteps);
    std::int64_t nextPoll = 0;         // steps done at which options.poll is called next
    std::int64_t virtualRefreshAt = 0; // with the virtual clock: steps done at the next refresh
    bool firstStep = true;
    std::int32_t nexttick = 0;
    if (from) {
        firstStep = from->speed.first;
        nexttick = from->speed.nexttick;
        refreshedAt = from->speed.refreshedAt;
        if (!firstStep) virtualRefreshAt = nextVirtualRefresh(refreshedAt);
    }
    // The pulse as last seen; kUnseen, which no pulse equals, has the next look read the clock.
    constexpr std::uint64_t kUnseen = ~std::uint64_t{0};
    std::uint64_t seenPulse = kUnseen;
    Entry* const entries = kTabled ? table->entries.data() : nullptr;
    double* const jumpValues = kTabled ? table->jumpValues.data() : nullptr;
    fast::Tail* const tails = kTabled ? table->tails.data() : nullptr;
    if constexpr (kTabled) {
        // The tails' cells are this run's; so are the bodies found from them.
        for (fast::Tail& tail : table->tails) {
            tail.bodyTarget = tail.noBodyAt = -1;
            tail.bodySize = 0;
            tail.cell = &mem[static_cast<std::size_t>(tail.incCur)];
            tail.b = &mem[static_cast<std::size_t>(tail.opb)];
            tail.c = &mem[static_cast<std::size_t>(tail.opc)];
            if (tail.jump == 0) continue;
            const Entry& jump = entries[tail.jump];
            tail.jumpCell = &mem[static_cast<std::size_t>(tail.jumpCur)];
            tail.jumpValue = &jumpValues[jump.aux];
            tail.jumpNext = &jump.next;
        }
    }
    const std::int32_t* const eifpos = tables.eifpos.data();
    const std::int32_t* const lblpos = tables.lblpos.data();
    Failure failure = Failure::None;
    RunEnd end = RunEnd::StepLimit;
    Guard guard(options.maxMemory);
    Entry single;
    Entry* e = nullptr;

    // Steps done before the last step of the current entry (the one that reads the clock).
    const auto stepsBeforeLast = [&] { return (limit - remaining) + (granted - left) - 1; };
    // A stretch's session reads the run's step count in the host's calls.
    const auto atHost = [&] {
        if (from && from->stepNow) *from->stepNow = base + stepsBeforeLast() + 1;
    };
    // A host call may have moved the pulse: the next entry looks at it.
    const auto endGrant = [&] {
        remaining -= granted - left;
        granted = left = 0;
    };

#if TESSIVOR_THREADED
#define TESSIVOR_FAST_LABEL(name) &&op_##name,
    static const void* const kHandlers[] = {TESSIVOR_FAST_KINDS(TESSIVOR_FAST_LABEL)};
#undef TESSIVOR_FAST_LABEL
#define DISPATCH() goto* kHandlers[e->kind]
#else
// One switch that every handler goes back to, as a plain loop would have it.
#define DISPATCH() goto dispatch
#endif
#define NEXT_AT(position)                                                                          \
    do {                                                                                           \
        pc = (position);                                                                           \
        if constexpr (kTabled) {                                                                   \
            e = &entries[pc];                                                                      \
        } else {                                                                                   \
            single = fast::singleEntry(tables, pc);                                                \
            e = &single;                                                                           \
        }                                                                                          \
        if (e->steps > left) [[unlikely]]                                                          \
            goto refill;                                                                           \
        left -= e->steps;                                                                          \
        applyRegisters(*e, cur, opb, opc);                                                         \
        DISPATCH();                                                                                \
    } while (0)
#define FAIL(why)                                                                                  \
    do {                                                                                           \
        failure = (why);                                                                           \
        pc = e->at;                                                                                \
        end = RunEnd::Error;                                                                       \
        goto finish;                                                                               \
    } while (0)
#define FAIL_MEMORY()                                                                              \
    do {                                                                                           \
        guard.overMemory = true;                                                                   \
        FAIL(Failure::OutOfStringSpace);                                                           \
    } while (0)
#define END(how)                                                                                   \
    do {                                                                                           \
        pc = e->at;                                                                                \
        end = (how);                                                                               \
        goto finish;                                                                               \
    } while (0)

    NEXT_AT(from ? from->pc : 1);

#if !TESSIVOR_THREADED
#define TESSIVOR_FAST_CASE(name)                                                                   \
    case fast::name: goto op_##name;
dispatch:
    switch (e->kind) { TESSIVOR_FAST_KINDS(TESSIVOR_FAST_CASE) }
#undef TESSIVOR_FAST_CASE
#endif

refill : {
    remaining -= granted - left;
    granted = left = 0;
    if (remaining == 0) goto finish; // the step limit
    if (from && from->pause && from->pause->load(std::memory_order_relaxed)) {
        from->paused = true;
        goto finish;
    }
    const std::int64_t done = base + (limit - remaining); // the run's, with a stretch's before
    std::int64_t grant = 1;
    if (virtualClock) {
        // The display is refreshed at a step count: entries never run across it.
        if (firstStep || done >= virtualRefreshAt) {
            nexttick = tickAfter(virtualTick(done), 1000);
            virtualRefreshAt = nextVirtualRefresh(done);
            host.setCaption(speedCaption(done - refreshedAt));
            refreshedAt = done;
        }
        grant = std::min(remaining, virtualRefreshAt - done);
    } else {
        // Without a pulse the clock is read at every step: one step a grant. With one, the
        // display is refreshed at most kPulseSteps steps after the pulse moved; host calls end
        // the grant, so the step after one always looks.
        if (pulse) grant = std::min(remaining, std::max<std::int64_t>(kPulseSteps, e->steps));
        const std::uint64_t pulseNow = pulse ? pulse->load(std::memory_order_relaxed) : kUnseen;
        if (!pulse || pulseNow != seenPulse) {
            seenPulse = pulseNow;
            const std::int32_t now = host.tickCount();
            if (firstStep || tickPassed(now, nexttick)) {
                nexttick = tickAfter(now, 1000);
                host.setCaption(speedCaption(done - refreshedAt));
                refreshedAt = done;
            }
        }
    }
    firstStep = false;
    // A stretch that can be paused looks at the pause now and then.
    if (from && from->pause) grant = std::min<std::int64_t>(grant, std::int64_t{1} << 16);
    if (guard.longText) {
        guard.longText = false;
        nextPoll = done; // a step moved a long text: this one looks at the time
    }
    if (options.poll) {
        // The grant ends where the next call is due.
        if (done >= nextPoll) {
            options.poll();
            nextPoll = done + pollSteps;
        }
        grant = std::min(grant, nextPoll - done);
    }
    if (e->steps > grant) {
        single = fast::singleEntry(tables, pc);
        e = &single;
    }
    // The entry's steps come out of the new grant, as NEXT_AT takes them.
    granted = grant;
    left = grant - e->steps;
    applyRegisters(*e, cur, opb, opc);
    DISPATCH();
}

op_kNone:
    NEXT_AT(e->next);

// The arithmetic: tests the three cells, reads opb and opc, stores the result in cell cur
// (`store` is the Cell's storeNumber, or storeFraction for results seldom whole).
#define ARITHMETIC(store, result)                                                                  \
    do {                                                                                           \
        double b = 0, c = 0;                                                                       \
        if (const Failure f = operands(mem, cur, opb, opc, b, c); f != Failure::None) FAIL(f);     \
        mem[static_cast<std::size_t>(cur)].store(result);                                          \
        NEXT_AT(e->next);                                                                          \
    } while (0)
op_kAdd:
    ARITHMETIC(storeNumber, std::floor(b) + std::floor(c));
op_kSub:
    ARITHMETIC(storeNumber, b - c);
op_kMul:
    ARITHMETIC(storeNumber, b * c);
op_kDiv:
    ARITHMETIC(storeFraction, b / c);
op_kPower:
    ARITHMETIC(storeFraction, std::pow(b, c));
#undef ARITHMETIC

// A test that holds goes on in line; a failed one after the next end-if marker, or at 1
// without one.
op_kIfEqual:
    if (!isCell(opb) || !isCell(opc)) FAIL(Failure::SubscriptOutOfRange);
    NEXT_AT(Cell::sameText(mem[static_cast<std::size_t>(opb)], mem[static_cast<std::size_t>(opc)])
                ? e->at + 1
                : eifpos[e->at] + 1);
op_kIfGreater:
op_kIfLess : {
    float sb = 0, sc = 0;
    if (const Failure f = singles(mem, opb, opc, sb, sc); f != Failure::None) FAIL(f);
    const bool holds = e->kind == fast::kIfLess ? sb < sc : sb > sc;
    NEXT_AT(holds ? e->at + 1 : eifpos[e->at] + 1);
}

op_kIncrement:
op_kDecrement : {
    if (!isCell(cur)) FAIL(Failure::SubscriptOutOfRange);
    Cell& cell = mem[static_cast<std::size_t>(cur)];
    double v = 0;
    if (const Failure f = cell.read(v); f != Failure::None) FAIL(f);
    cell.step(v, e->kind == fast::kIncrement ? 1.0 : -1.0);
    NEXT_AT(e->next);
}

op_kLoopTail : {
    // The increment on its fixed cell: cur is that cell, set by the entry.
    fast::Tail& tail = tails[e->aux];
    if (!tail.cell->stepWhole(tail.delta)) [[unlikely]] {
        double v = 0;
        if (const Failure f = tail.cell->read(v); f != Failure::None) {
            left += tail.testSteps; // the test's steps never ran
            FAIL(f);
        }
        tail.cell->step(v, tail.delta);
    }
    // The test, on fixed cells.
    cur = tail.cur;
    opb = tail.opb;
    opc = tail.opc;
    bool holds = false, less = false, greater = false;
    if (tail.test != fast::kIfEqual && Cell::compareWhole(*tail.b, *tail.c, less, greater))
        [[likely]] {
        holds = tail.test == fast::kIfLess ? less : greater;
    } else if (const Failure f = test(tail.test, mem, opb, opc, holds); f != Failure::None) {
        failure = f;
        pc = tail.testAt;
        end = RunEnd::Error;
        goto finish;
    }
    if (!holds) NEXT_AT(eifpos[tail.testAt] + 1);
    // The jump after it, when its cell still holds the number of its last jump.
    if (tail.jumpCell && tail.jumpSteps <= left && tail.jumpCell->holdsWhole(*tail.jumpValue)) {
        left -= tail.jumpSteps;
        cur = tail.jumpCur;
        // A loop that is nothing but its tail goes round here, while the grant lasts and its
        // cells hold whole numbers. The registers stay as one turn leaves them: cur the jump's
        // cell, opb and opc the test's.
        if (*tail.jumpNext == pc && tail.test != fast::kIfEqual) {
            const TailStop stop = runTailAlone(tail, e->steps, left);
            left = stop.left;
            if (stop.how != TailStop::kGoesOn) {
                cur = tail.cur;
                NEXT_AT(stop.how == TailStop::kTestFailed ? eifpos[tail.testAt] + 1
                                                          : tail.testAt + 1);
            }
        } else if constexpr (kTabled) {
            // A loop whose body is arithmetic on fixed cells goes round here too, while the
            // grant lasts, the operands hold numbers already read and the tail's cells hold
            // whole numbers. Anything else goes on at the entry concerned, with the registers
            // as the entry before it left them.
            const std::int32_t target = *tail.jumpNext;
            if (target != tail.noBodyAt) {
                if (target != tail.bodyTarget) {
                    fast::findLoopBody(*table, tail, pc, target, mem.data());
                }
                if (tail.bodySize > 0) {
                    const BodyStop stop = runLoopBody(tail, pc, e->steps, eifpos, left);
                    cur = stop.cur;
                    opb = stop.opb;
                    opc = stop.opc;
                    left = stop.left;
                    NEXT_AT(stop.at);
                }
            }
        }
        NEXT_AT(*tail.jumpNext);
    }
    NEXT_AT(tail.testAt + 1);
}

op_kGoto : {
    if (!isCell(cur)) FAIL(Failure::SubscriptOutOfRange);
    Cell& cell = mem[static_cast<std::size_t>(cur)];
    const bool cached = kTabled && e->aux != fast::kNoAux;
    // The cell still holds the number of this entry's last jump: the same target, without the
    // chain of loads from the cell to the label's position.
    if (cached && cell.holdsWhole(jumpValues[e->aux])) NEXT_AT(e->next);
    std::int32_t label = 0;
    const bool whole = cell.wholeInt32(label);
    if (!whole) {
        double b = 0;
        if (const Failure f = cell.read(b); f != Failure::None) FAIL(f);
        if (const Failure f = roundToInt32(b, label); f != Failure::None) FAIL(f);
    }
    if (label < 0 || label >= kLabels) FAIL(Failure::SubscriptOutOfRange);
    const std::int32_t target = lblpos[label] + 1;
    if (cached && whole) {
        jumpValues[e->aux] = cell.whole();
        e->next = target;
    }
    NEXT_AT(target);
}

op_kEvents:
    atHost();
    host.processEvents();
    // After "t" and an input box the next step reads the clock, as in the plain loop.
    endGrant();
    seenPulse = kUnseen;
    NEXT_AT(e->next);

op_kTick : {
    if (!isCell(cur)) FAIL(Failure::SubscriptOutOfRange);
    atHost();
    const std::int32_t now =
        virtualClock ? virtualTick(base + stepsBeforeLast()) : host.programTick();
    mem[static_cast<std::size_t>(cur)].storeNumber(now);
    // The next step looks at the pulse, which may have moved in the host.
    if (!virtualClock) endGrant();
    NEXT_AT(e->next);
}

op_kPointer : {
    if (!isCell(cur)) FAIL(Failure::SubscriptOutOfRange);
    Cell& cell = mem[static_cast<std::size_t>(cur)];
    std::int32_t target = 0;
    if (cell.wholeInt32(target) && target != std::numeric_limits<std::int32_t>::min()) {
        target = target < 0 ? -target : target;
    } else {
        double b = 0;
        if (const Failure f = cell.read(b); f != Failure::None) FAIL(f);
        if (const Failure f = roundToInt32(std::fabs(b), target); f != Failure::None) FAIL(f);
    }
    cur = target; // tested only when an operation uses it
    NEXT_AT(e->next);
}

op_kAppend : {
    if (!isCell(cur) || !isCell(opb)) FAIL(Failure::SubscriptOutOfRange);
    Cell& cell = mem[static_cast<std::size_t>(cur)];
    try {
        const std::string& tail = mem[static_cast<std::size_t>(opb)].text();
        const std::size_t size = cell.text().size() + tail.size();
        if (size > kMaxCellLength) FAIL(Failure::OutOfStringSpace);
        if (!allows(guard, mem, cur, size)) FAIL_MEMORY();
        if (tail.size() >= kLongText) [[unlikely]] {
            guard.longText = true;
            endGrant();
        }
        // Appending a cell to itself: std::string::append copes with its own text, and leaves
        // the text as it was when it cannot grow.
        cell.editText([&](std::string& s) { s.append(tail); });
    } catch (const std::bad_alloc&) {
        FAIL(Failure::OutOfStringSpace);
    }
    NEXT_AT(e->next);
}

op_kRandom : {
    atHost();
    const double r = host.randomSingle(); // drawn before the cells are tested
    double b = 0, c = 0;
    if (const Failure f = operands(mem, cur, opb, opc, b, c); f != Failure::None) FAIL(f);
    mem[static_cast<std::size_t>(cur)].storeNumber(b + std::floor((c - b + 1) * r));
    // The next step looks at the pulse, which may have moved in the host.
    endGrant();
    NEXT_AT(e->next);
}

op_kCopy:
    if (!isCell(cur) || !isCell(opb)) FAIL(Failure::SubscriptOutOfRange);
    if (cur != opb) {
        const std::size_t size = mem[static_cast<std::size_t>(opb)].text().size();
        if (!allows(guard, mem, cur, size)) FAIL_MEMORY();
        if (size >= kLongText) [[unlikely]] {
            guard.longText = true;
            endGrant();
        }
        try {
            Cell copy = mem[static_cast<std::size_t>(opb)];
            mem[static_cast<std::size_t>(cur)] = std::move(copy);
            mem[static_cast<std::size_t>(cur)].markWritten();
        } catch (const std::bad_alloc&) {
            FAIL(Failure::OutOfStringSpace);
        }
    }
    NEXT_AT(e->next);

op_kAppendRun : {
    const std::int32_t count = (e->next - e->at) / 2;
    // Only the table makes runs of more than one "A"; decoded one step at a time, an "A" is one.
    if (!kTabled && count != 1) fast::invariantBroken("an append run without the table");
    // The "A" at the last position has no character to append.
    if (!isCell(cur) || e->at + 1 > n) {
        left += count - 1; // the "A" steps after the failing one never ran
        FAIL(Failure::SubscriptOutOfRange);
    }
    Cell& cell = mem[static_cast<std::size_t>(cur)];
    char one = 0;
    std::string_view text(&one, 1);
    if (count == 1) {
        // The code, not the character: a digit and an unrecognised character (code 0) both
        // append a digit.
        const std::int32_t k = tables.codes[static_cast<std::size_t>(e->at) + 1];
        one = static_cast<char>(k <= 9 ? '0' + k : k);
    } else if constexpr (kTabled) {
        text = fast::appendedText(*table, e->at, count);
    }
    // The first "A" that would pass the limit, or that finds no memory to grow the text into,
    // fails; those before it append.
    std::size_t fit = text.size();
    Failure f = Failure::None;
    try {
        const std::size_t length = cell.text().size();
        // The cells' memory may allow less than a cell's own limit.
        const std::size_t room = allows(guard, mem, cur, length + text.size())
                                     ? kMaxCellLength
                                     : std::min(kMaxCellLength, roomFor(guard, mem, cur));
        if (length + text.size() > room) {
            fit = room - std::min(length, room);
            f = Failure::OutOfStringSpace;
            guard.overMemory = room < kMaxCellLength;
        }
        cell.editText([&](std::string& s) {
            try {
                s.append(text.substr(0, fit));
            } catch (const std::bad_alloc&) {
                // One "A" at a time, as the steps would grow it, up to the one that cannot.
                for (std::size_t i = 0; i < fit; ++i) {
                    try {
                        s.push_back(text[i]);
                    } catch (const std::bad_alloc&) {
                        fit = i;
                        f = Failure::OutOfStringSpace;
                        break;
                    }
                }
            }
        });
    } catch (const std::bad_alloc&) {
        fit = 0; // the cell's number could not even be written as text
        f = Failure::OutOfStringSpace;
    }
    if (f != Failure::None) {
        left += count - static_cast<std::int32_t>(fit) - 1;
        failure = f;
        pc = e->at + 2 * static_cast<std::int32_t>(fit);
        end = RunEnd::Error;
        goto finish;
    }
    NEXT_AT(e->next);
}

op_kSetText : {
    const std::int32_t count = (e->next - e->at - 1) / 2;
    if (!kTabled) fast::invariantBroken("a set text without the table");
    if (!isCell(cur)) {
        // The "s" fails; the "A" steps after it never run.
        left += count;
        FAIL(Failure::SubscriptOutOfRange);
    }
    // Within kMaxEntrySteps characters: never beyond a cell's limit.
    if constexpr (kTabled) {
        Cell& cell = mem[static_cast<std::size_t>(cur)];
        const std::string_view text = fast::appendedText(*table, e->at + 1, count);
        std::int32_t fit = count;
        cell.clear();
        const bool roomy = allows(guard, mem, cur, text.size());
        // Past the cells' memory the "A" that would pass it fails.
        const std::string_view kept =
            roomy ? text : text.substr(0, std::min(text.size(), roomFor(guard, mem, cur)));
        const auto keptCount = static_cast<std::int32_t>(kept.size());
        fit = keptCount;
        cell.editText([&](std::string& s) {
            try {
                s.assign(kept);
            } catch (const std::bad_alloc&) {
                // One "A" at a time, as the steps would grow it, up to the one that cannot.
                for (fit = 0; fit < keptCount; ++fit) {
                    try {
                        s.push_back(text[static_cast<std::size_t>(fit)]);
                    } catch (const std::bad_alloc&) {
                        break;
                    }
                }
            }
        });
        if (fit < count) {
            guard.overMemory = fit == keptCount;
            left += count - fit - 1;
            failure = Failure::OutOfStringSpace;
            pc = e->at + 1 + 2 * fit;
            end = RunEnd::Error;
            goto finish;
        }
    }
    NEXT_AT(e->next);
}

op_kSqrt : {
    if (!isCell(opb) || !isCell(cur)) FAIL(Failure::SubscriptOutOfRange);
    double b = 0;
    if (const Failure f = mem[static_cast<std::size_t>(opb)].read(b); f != Failure::None) FAIL(f);
    mem[static_cast<std::size_t>(cur)].storeFraction(std::sqrt(b));
    NEXT_AT(e->next);
}

op_kClear:
    if (!isCell(cur)) FAIL(Failure::SubscriptOutOfRange);
    mem[static_cast<std::size_t>(cur)].clear();
    NEXT_AT(e->next);

op_kDisplay:
    if (!isCell(cur)) FAIL(Failure::SubscriptOutOfRange);
    atHost();
    host.setDisplay(mem[static_cast<std::size_t>(cur)].text());
    // The next step looks at the pulse, which may have moved in the host.
    endGrant();
    NEXT_AT(e->next);

op_kInput:
    if (!isCell(opb) || !isCell(cur)) FAIL(Failure::SubscriptOutOfRange);
    {
        // The reply's scope closes before the dispatch: a computed goto runs no destructor.
        atHost();
        std::string reply = host.inputBox(mem[static_cast<std::size_t>(opb)].text());
        endGrant();
        seenPulse = kUnseen; // after an input box the next step reads the clock
        if (reply.size() > kMaxCellLength) FAIL(Failure::OutOfStringSpace);
        if (!allows(guard, mem, cur, reply.size())) FAIL_MEMORY();
        mem[static_cast<std::size_t>(cur)].editText([&](std::string& s) { s = std::move(reply); });
    }
    NEXT_AT(e->next);

op_kTrap:
    // Only a stretch's table has traps. An armed one stops a stretch that has made a step;
    // else its position's own step runs, decoded, from a new grant.
    if constexpr (!kStretch) fast::invariantBroken("a trap in a run's table");
    pc = e->at;
    if (from->armed && (limit - remaining) + (granted - left) > 0) goto finish;
    single = fast::singleEntry(tables, pc);
    e = &single;
    goto refill;

op_kEnd:
    END(RunEnd::Terminated);

op_kPastEnd:
    END(RunEnd::PastEnd);

#undef DISPATCH
#undef NEXT_AT
#undef FAIL
#undef FAIL_MEMORY
#undef END
finish:
    if (!from && (end == RunEnd::Terminated || end == RunEnd::Error))
        announceEnd(host, end, failure, pc, tables.codes[static_cast<std::size_t>(pc)]);
    remaining -= granted - left;
    RunResult result;
    result.end = end;
    result.failure = failure;
    result.memoryLimit = guard.overMemory;
    result.steps = limit - remaining;
    result.pc = pc;
    result.cur = cur;
    result.opb = opb;
    result.opc = opc;
    if (from) {
        from->pc = pc;
        from->cur = cur;
        from->opb = opb;
        from->opc = opc;
        from->speed = {firstStep, nexttick, refreshedAt};
        for (std::size_t i = 0; i < mem.size(); ++i) {
            from->written[i] = mem[i].written();
            (*from->mem)[i] = mem[i].take();
        }
        return result;
    }
    for (int i = 0; i < kCells; ++i)
        result.mem[static_cast<std::size_t>(i)] = mem[static_cast<std::size_t>(i)].take();
    return result;
}

} // namespace

RunResult runFast(const Prepared& tables, Host& host, const RunOptions& options) {
    // Without a pulse the real clock is read at every step, so every entry must be one step;
    // the virtual clock is read at step counts the loop knows in advance.
    const bool stepwise = host.tickPulse() == nullptr && !options.virtualClock;
    if (stepwise || tables.codes.size() - 1 > kMaxTableLength) {
        return loop<false>(tables, nullptr, host, options);
    }
    fast::Table table = fast::buildTable(tables);
    return loop<true>(tables, &table, host, options);
}

std::shared_ptr<fast::Table> stretchTable(const Prepared& tables,
                                          const std::vector<std::uint8_t>& traps) {
    return std::make_shared<fast::Table>(fast::buildTable(tables, traps));
}

RunResult runFastStretch(const Prepared& tables, fast::Table& table, Host& host,
                         const RunOptions& options, FastStretch& stretch) {
    stretch.paused = false;
    return loop<true, true>(tables, &table, host, options, &stretch);
}

} // namespace tessivor
