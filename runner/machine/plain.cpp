// The reference step loop: one step a turn, every operation as one case (step.h).

#include "runner/machine/interpreters.h"
#include "runner/machine/step.h"
#include "runner/machine/virtual_clock.h"

#include <algorithm>
#include <string>

namespace tessivor {
namespace {

/// The host as the step sees it, with the virtual clock in place of the tick counter when asked.
struct PlainIo {
    Host& host;
    bool virtualClock;
    std::int64_t stepsDone = 0;

    /// "l"'s reading.
    std::int32_t tick() { return virtualClock ? virtualTick(stepsDone) : host.programTick(); }
    /// The speed display's.
    std::int32_t clock() { return virtualClock ? virtualTick(stepsDone) : host.tickCount(); }
    float random() { return host.randomSingle(); }
    std::string input(std::string_view prompt) { return host.inputBox(prompt); }
    void events() { host.processEvents(); }
    void display(std::string_view text) { host.setDisplay(text); }
};

} // namespace

RunResult runPlain(const Prepared& tables, Host& host, const RunOptions& options) {
    RunResult result;
    PlainIo io{host, options.virtualClock};
    Machine<PlainIo> m{tables, io, result.mem, static_cast<std::int32_t>(tables.codes.size() - 1)};
    m.memory = MemoryLimit(options.maxMemory);
    // The virtual clock moves with the steps alone, so the pulse has no say in reading it.
    SpeedDisplay speed(options.virtualClock ? nullptr : host.tickPulse());
    std::int64_t steps = 0;

    const auto finish = [&](RunEnd end) {
        result.end = end;
        result.failure = m.failure;
        result.steps = steps;
        result.pc = m.pc;
        result.cur = m.cur;
        result.opb = m.opb;
        result.opc = m.opc;
        result.memoryLimit = m.overMemory;
        return std::move(result);
    };

    const std::int64_t pollSteps = std::max<std::int64_t>(1, options.pollSteps);
    std::int64_t nextPoll = 0;

    for (;;) {
        if (options.maxSteps > 0 && steps == options.maxSteps) return finish(RunEnd::StepLimit);
        if (options.poll && steps == nextPoll) {
            options.poll();
            nextPoll += pollSteps;
        }
        io.stepsDone = steps;
        speed.beforeStep(host, [&] { return io.clock(); });
        ++steps;
        if (m.pc > m.n) {
            if (options.trace) options.trace({steps, m.pc, -1, m.cur, m.opb, m.opc});
            return finish(RunEnd::PastEnd);
        }
        if (options.trace) options.trace({steps, m.pc, tables.codes[m.pc], m.cur, m.opb, m.opc});
        switch (m.step()) {
        case Outcome::Next:
            if (m.hostCalled) {
                m.hostCalled = false;
                speed.hostRan();
            }
            if (m.longText) {
                m.longText = false;
                nextPoll = steps; // a long step: the next one looks at the time
            }
            break;
        case Outcome::Terminated:
            announceEnd(host, RunEnd::Terminated, m.failure, m.pc, tables.codes[m.pc]);
            return finish(RunEnd::Terminated);
        case Outcome::Failed:
            announceEnd(host, RunEnd::Error, m.failure, m.pc, tables.codes[m.pc]);
            return finish(RunEnd::Error);
        }
    }
}

} // namespace tessivor
