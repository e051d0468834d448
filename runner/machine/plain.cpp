// The reference step loop: one step a turn, every operation as one case.

#include "runner/machine/interpreters.h"
#include "runner/machine/number.h"
#include "runner/machine/operations.h"
#include "runner/machine/tick.h"

#include <cmath>
#include <string>

namespace tessivor {
namespace {

constexpr bool isCell(std::int32_t n) { return n >= 0 && n < kCells; }

enum class Outcome { Next, Terminated, Failed };

struct PlainMachine {
    const Prepared& t;
    Host& host;
    std::array<std::string, kCells>& mem;
    std::int32_t n; // length of the code string
    std::int32_t cur = 0, opb = 0, opc = 0, pc = 1;
    Failure failure = Failure::None;
    bool hostCalled = false; // the next step reads the clock: time may have passed in the host

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

    Outcome arithmetic(std::int32_t code) {
        if (!isCell(opb) || !isCell(opc) || !isCell(cur)) return fail(Failure::SubscriptOutOfRange);
        double b = 0, c = 0;
        if (const Failure f = readOperands(b, c); f != Failure::None) return fail(f);
        switch (code) {
        case kOpAdd: return store(std::floor(b) + std::floor(c));
        case kOpSub: return store(b - c);
        case kOpMul: return store(b * c);
        case kOpDiv: return store(b / c);
        default: return store(std::pow(b, c));
        }
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

    Outcome step() {
        const std::int32_t code = t.codes[pc];
        switch (code) {
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
        case kOpSub:
        case kOpMul:
        case kOpDiv:
        case kOpPower: return arithmetic(code);
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
            host.processEvents();
            hostCalled = true;
            ++pc;
            return Outcome::Next;
        case kOpTick:
            if (!isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            mem[cur] = std::to_string(host.tickCount());
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
            if (mem[cur].size() + mem[opb].size() > kMaxCellLength) {
                return fail(Failure::OutOfStringSpace);
            }
            mem[cur].append(mem[opb]);
            ++pc;
            return Outcome::Next;
        case kOpRandom: {
            const double r = host.randomSingle(); // drawn before the cells are tested
            if (!isCell(opb) || !isCell(opc) || !isCell(cur)) {
                return fail(Failure::SubscriptOutOfRange);
            }
            double lo = 0, hi = 0;
            if (const Failure f = readOperands(lo, hi); f != Failure::None) return fail(f);
            return store(lo + std::floor((hi - lo + 1) * r));
        }
        case kOpCopy:
            if (!isCell(cur) || !isCell(opb)) return fail(Failure::SubscriptOutOfRange);
            mem[cur] = mem[opb];
            ++pc;
            return Outcome::Next;
        case kOpAppendChar: {
            if (!isCell(cur) || pc + 1 > n) return fail(Failure::SubscriptOutOfRange);
            if (mem[cur].size() + 1 > kMaxCellLength) return fail(Failure::OutOfStringSpace);
            const std::int32_t k = t.codes[pc + 1];
            // The code, not the character: a digit and an unrecognised character (code 0) both
            // append a digit.
            mem[cur] += static_cast<char>(k <= 9 ? '0' + k : k);
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
            host.setDisplay(mem[cur]);
            ++pc;
            return Outcome::Next;
        case kOpInput: {
            if (!isCell(opb) || !isCell(cur)) return fail(Failure::SubscriptOutOfRange);
            std::string reply = host.inputBox(mem[opb]);
            hostCalled = true;
            if (reply.size() > kMaxCellLength) return fail(Failure::OutOfStringSpace);
            mem[cur] = std::move(reply);
            ++pc;
            return Outcome::Next;
        }
        case kOpEnd: return Outcome::Terminated;
        default: ++pc; return Outcome::Next;
        }
    }
};

} // namespace

RunResult runPlain(const Prepared& tables, Host& host, const RunOptions& options) {
    RunResult result;
    PlainMachine m{tables, host, result.mem, static_cast<std::int32_t>(tables.codes.size() - 1)};
    const std::atomic<std::uint32_t>* pulse = host.tickPulse();
    std::uint32_t seenPulse = 0;
    bool checkClock = true;
    std::int32_t nexttick = 0;
    std::int64_t opcount = 0;
    std::int64_t steps = 0;

    const auto finish = [&](RunEnd end) {
        result.end = end;
        result.failure = m.failure;
        result.steps = steps;
        result.pc = m.pc;
        result.cur = m.cur;
        result.opb = m.opb;
        result.opc = m.opc;
        return std::move(result);
    };

    for (;;) {
        if (options.maxSteps > 0 && steps == options.maxSteps) return finish(RunEnd::StepLimit);
        // The speed display. With a pulse, the clock is read only when the pulse moved or the
        // host ran: between those no millisecond can have passed unseen for long.
        const std::uint32_t pulseNow = pulse ? pulse->load(std::memory_order_relaxed) : 0;
        if (!pulse || checkClock || pulseNow != seenPulse) {
            seenPulse = pulseNow;
            checkClock = false;
            // The first step always refreshes; the tick comparison survives the counter's wrap.
            const std::int32_t now = host.tickCount();
            if (steps == 0 || tickPassed(now, nexttick)) {
                nexttick = tickAfter(now, 1000);
                host.setCaption(speedCaption(opcount));
                opcount = 0;
            }
        }
        ++opcount;
        ++steps;
        if (m.pc > m.n) {
            if (options.trace) options.trace({steps, m.pc, -1, m.cur, m.opb, m.opc});
            return finish(RunEnd::PassedEnd);
        }
        if (options.trace) options.trace({steps, m.pc, tables.codes[m.pc], m.cur, m.opb, m.opc});
        switch (m.step()) {
        case Outcome::Next:
            if (m.hostCalled) {
                m.hostCalled = false;
                checkClock = true;
            }
            break;
        case Outcome::Terminated:
            host.messageBox("Program Terminated");
            host.setLarpEnabled();
            return finish(RunEnd::Terminated);
        case Outcome::Failed:
            host.messageBox(errorReport(m.failure, m.pc, tables.codes[m.pc]));
            host.messageBox("Program Ended");
            host.setLarpEnabled();
            return finish(RunEnd::Error);
        }
    }
}

} // namespace tessivor
