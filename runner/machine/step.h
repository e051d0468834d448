#pragma once
// One step of the machine, one case an operation, shared by the plain step loop and the debug
// session; and the speed display both refresh before each step. What the step asks of the
// outside (the clock, the random generator, the input box, the window) goes through `Io`, so
// a debug session can record those answers and replay them.

#include "common/operations.h"
#include "runner/machine/interpreters.h"
#include "runner/machine/number.h"
#include "runner/machine/tick.h"

#include <cmath>
#include <new>
#include <string>

// Every operation has its case in the step: a row of the table without one does not compile,
// also where warnings are no errors (-Wall reports a missing case as -Wswitch first).
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"
#pragma GCC diagnostic error "-Wswitch-enum"
#endif

namespace tessivor {

constexpr bool isCell(std::int32_t n) { return n >= 0 && n < kCells; }

enum class Outcome { Next, Terminated, Failed };

/// The run state and the step. `Io` provides:
///   std::int32_t tick();                       "l": the tick counter
///   float random();                            "y": a number from 0 up to 1
///   std::string input(std::string_view prompt) "o": the input box's reply
///   void events();                             "t": the window's pending events
///   void display(std::string_view text);       "w": the display's new text
template <class Io> struct Machine {
    const Prepared& t;
    Io& io;
    std::array<std::string, kCells>& mem;
    std::int32_t n; // length of the code string
    std::int32_t cur = 0, opb = 0, opc = 0, pc = 1;
    Failure failure = Failure::None;
    bool hostCalled = false; // the host ran ("t", "o"): time may have passed in it
    MemoryLimit memory{0};
    bool overMemory = false; // the failure was memory's limit
    bool longText = false;   // the step moved a long text: time may have passed in it

    /// Cell `cell` may hold `size` bytes: within its own limit and the memory's.
    Outcome fitFail(std::int32_t cell, std::size_t size) {
        if (size > kMaxCellLength) return fail(Failure::OutOfStringSpace);
        if (!memory.allows(cell, size, [this](std::int32_t i) { return mem[i].size(); })) {
            overMemory = true;
            return fail(Failure::OutOfStringSpace);
        }
        return Outcome::Next;
    }

    Outcome fail(Failure f) {
        failure = f;
        return Outcome::Failed;
    }

    // Reads two cells as doubles, opb before opc.
    Failure readOperands(double& b, double& c) {
        if (const Failure f = readDouble(mem[opb], b); f != Failure::None) return f;
        return readDouble(mem[opc], c);
    }

    Outcome store(double value) {
        mem[cur] = numberText(value);
        ++pc;
        return Outcome::Next;
    }

    template <class Result> Outcome arithmetic(Result result) {
        if (!isCell(opb) || !isCell(opc) || !isCell(cur)) return fail(Failure::SubscriptOutOfRange);
        double b = 0, c = 0;
        if (const Failure f = readOperands(b, c); f != Failure::None) return fail(f);
        return store(result(b, c));
    }

    Outcome test(std::int32_t code) {
        if (!isCell(opb) || !isCell(opc)) return fail(Failure::SubscriptOutOfRange);
        bool holds = false;
        if (code == kOpIfEqual) {
            holds = mem[opb] == mem[opc];
        } else {
            float b = 0, c = 0;
            if (const Failure f = readSingle(mem[opb], b); f != Failure::None) return fail(f);
            if (const Failure f = readSingle(mem[opc], c); f != Failure::None) return fail(f);
            holds = code == kOpIfGreater ? b > c : b < c;
        }
        // Tests do not nest: a failed one continues after the first end-if marker after it, or
        // at position 1 when there is none.
        pc = holds ? pc + 1 : t.eifpos[pc] + 1;
        return Outcome::Next;
    }

    /// Runs the operation at pc (1 <= pc <= n). On a failure pc and the cells are unchanged.
    Outcome step() {
        const std::int32_t code = t.codes[pc];
        switch (static_cast<Op>(code)) {
        case kOpAddress:
            cur = t.addrs[pc];
            pc += 3;
            return Outcome::Next;
        case kOpSetB:
            opb = cur;
            ++pc;
            return Outcome::Next;
        case kOpSetC:
            opc = cur;
            ++pc;
            return Outcome::Next;
        case kOpAdd:
            return arithmetic([](double b, double c) { return std::floor(b) + std::floor(c); });
        case kOpSub: return arithmetic([](double b, double c) { return b - c; });
        case kOpMul: return arithmetic([](double b, double c) { return b * c; });
        case kOpDiv: return arithmetic([](double b, double c) { return b / c; });
        case kOpPower: return arithmetic([](double b, double c) { return std::pow(b, c); });
        case kOpIfEqual:
        case kOpIfGreater:
        case kOpIfLess: return test(code);
        case kOpIncrement:
        case kOpDecrement: {
            if (!isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            double v = 0;
            if (const Failure f = readDouble(mem[cur], v); f != Failure::None) return fail(f);
            return store(code == kOpIncrement ? v + 1 : v - 1);
        }
        case kOpGoto: {
            if (!isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            std::int32_t label = 0;
            if (const Failure f = readInteger(mem[cur], label); f != Failure::None) return fail(f);
            if (label < 0 || label >= kLabels) return fail(Failure::SubscriptOutOfRange);
            // Label 0 and labels without a marker have position 0: execution goes on at 1.
            pc = t.lblpos[label] + 1;
            return Outcome::Next;
        }
        case kOpEvents:
            io.events();
            hostCalled = true;
            ++pc;
            return Outcome::Next;
        case kOpTick:
            if (!isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            mem[cur] = std::to_string(io.tick());
            ++pc;
            return Outcome::Next;
        case kOpPointer: {
            if (!isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            double v = 0;
            if (const Failure f = readDouble(mem[cur], v); f != Failure::None) return fail(f);
            std::int32_t cell = 0;
            if (const Failure f = roundToInt32(std::fabs(v), cell); f != Failure::None) {
                return fail(f);
            }
            cur = cell; // tested only when an operation uses it
            ++pc;
            return Outcome::Next;
        }
        case kOpAppend:
            if (!isCell(cur) || !isCell(opb)) return fail(Failure::SubscriptOutOfRange);
            if (fitFail(cur, mem[cur].size() + mem[opb].size()) == Outcome::Failed) {
                return Outcome::Failed;
            }
            longText = mem[opb].size() >= kLongText;
            // A text that cannot grow for want of memory is the machine's own failure.
            try {
                mem[cur].append(mem[opb]);
            } catch (const std::bad_alloc&) {
                return fail(Failure::OutOfStringSpace);
            }
            ++pc;
            return Outcome::Next;
        case kOpRandom: {
            const double r = io.random(); // drawn before the cells are tested
            if (!isCell(opb) || !isCell(opc) || !isCell(cur)) {
                return fail(Failure::SubscriptOutOfRange);
            }
            double lo = 0, hi = 0;
            if (const Failure f = readOperands(lo, hi); f != Failure::None) return fail(f);
            return store(lo + std::floor((hi - lo + 1) * r));
        }
        case kOpCopy:
            if (!isCell(cur) || !isCell(opb)) return fail(Failure::SubscriptOutOfRange);
            if (cur != opb && fitFail(cur, mem[opb].size()) == Outcome::Failed) {
                return Outcome::Failed;
            }
            longText = mem[opb].size() >= kLongText;
            try {
                mem[cur] = mem[opb];
            } catch (const std::bad_alloc&) {
                return fail(Failure::OutOfStringSpace);
            }
            ++pc;
            return Outcome::Next;
        case kOpAppendChar: {
            if (!isCell(cur) || pc + 1 > n) return fail(Failure::SubscriptOutOfRange);
            if (fitFail(cur, mem[cur].size() + 1) == Outcome::Failed) return Outcome::Failed;
            const std::int32_t k = t.codes[pc + 1];
            // The code, not the character: a digit and an unrecognised character (code 0) both
            // append a digit.
            try {
                mem[cur] += static_cast<char>(k <= 9 ? '0' + k : k);
            } catch (const std::bad_alloc&) {
                return fail(Failure::OutOfStringSpace);
            }
            pc += 2;
            return Outcome::Next;
        }
        case kOpSqrt: {
            if (!isCell(opb) || !isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            double v = 0;
            if (const Failure f = readDouble(mem[opb], v); f != Failure::None) return fail(f);
            return store(std::sqrt(v));
        }
        case kOpClear:
            if (!isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            mem[cur].clear();
            ++pc;
            return Outcome::Next;
        case kOpDisplay:
            if (!isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            io.display(mem[cur]);
            ++pc;
            return Outcome::Next;
        case kOpInput: {
            if (!isCell(opb) || !isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            std::string reply = io.input(mem[opb]);
            hostCalled = true;
            if (fitFail(cur, reply.size()) == Outcome::Failed) return Outcome::Failed;
            mem[cur] = std::move(reply);
            ++pc;
            return Outcome::Next;
        }
        case kOpEnd: return Outcome::Terminated;
        case kOpEndIf:
        case kOpLabel:
        case kOpSpace: ++pc; return Outcome::Next;
        }
        // A digit or a character that is no operation: nothing.
        ++pc;
        return Outcome::Next;
    }
};

/// The speed display in the caption: refreshed at the first step, then at the first step at
/// which the clock has passed the mark set a second after the last refresh. Comparing ticks by
/// their difference keeps it going when the 32-bit counter turns negative or wraps.
class SpeedDisplay {
public:
    /// With a pulse (and a real clock) the clock is read only when the pulse moved or the host
    /// ran; between those no millisecond can have passed unseen for long.
    explicit SpeedDisplay(const std::atomic<std::uint32_t>* pulse) : pulse_(pulse) {}

    /// Before each step; `now()` reads the clock.
    template <class Now> void beforeStep(Host& host, Now now) {
        const std::uint32_t pulseNow = pulse_ ? pulse_->load(std::memory_order_relaxed) : 0;
        if (!pulse_ || check_ || pulseNow != seenPulse_) {
            seenPulse_ = pulseNow;
            check_ = false;
            const std::int32_t tick = now();
            if (first_ || tickPassed(tick, nexttick_)) {
                first_ = false;
                nexttick_ = tickAfter(tick, 1000);
                host.setCaption(speedCaption(opcount_));
                opcount_ = 0;
            }
        }
        ++opcount_;
    }

    /// The host ran: the next step reads the clock.
    void hostRan() { check_ = true; }

    /// Where it stands with `steps` steps done, for a fast stretch to go on from.
    SpeedState state(std::int64_t steps) const { return {first_, nexttick_, steps - opcount_}; }
    /// Goes on from where a fast stretch left it, with `steps` steps done.
    void resume(const SpeedState& s, std::int64_t steps) {
        first_ = s.first;
        nexttick_ = s.nexttick;
        opcount_ = steps - s.refreshedAt;
        check_ = true;
    }

private:
    const std::atomic<std::uint32_t>* pulse_;
    std::uint32_t seenPulse_ = 0;
    bool check_ = true;
    bool first_ = true;
    std::int32_t nexttick_ = 0;
    std::int64_t opcount_ = 0;
};

} // namespace tessivor

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
