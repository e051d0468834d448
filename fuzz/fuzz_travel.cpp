// A debug session driven by moves drawn from the input, against fresh runs: after every move,
// forward at full speed with breakpoints and watches or back through the checkpoints, the
// session stands where a plain run of as many steps stops.

#include "fuzz/fuzz_host.h"
#include "runner/debug/session.h"
#include "runner/machine/run.h"

#include <new>
#include <optional>
#include <random>
#include <string>

using namespace tessivor;
using fuzz::check;

namespace {

constexpr std::int64_t kMaxSteps = 5000;

/// A plain run of `code` stopped after `steps` steps; nothing when it needs too much memory.
std::optional<RunResult> freshRun(const std::string& code, std::int64_t steps) {
    RunResult r;
    if (steps == 0) { // a limit of 0 is none: the state before the first step
        r.pc = 1;
        return r;
    }
    fuzz::ScriptedHost host(true);
    RunOptions options;
    options.plain = true;
    options.maxSteps = steps;
    r = runprogram(code, host, options);
    if (fuzz::MemoryBudget::exceeded()) return std::nullopt;
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string code(reinterpret_cast<const char*>(data), size);
    // The moves come from the input too, the same for the same input.
    std::seed_seq seeds(data, data + size);
    std::mt19937_64 rng(seeds);
    try {
        fuzz::MemoryBudget budget(std::size_t{256} << 20);
        fuzz::ScriptedHost host(true);
        DebugOptions options;
        options.maxSteps = kMaxSteps;
        // Now and then a way back too small for the whole run: its oldest steps go.
        if (rng() % 4 == 0) options.historyBytes = std::size_t{16} << 10;
        DebugSession s({code, {}, nullptr}, host, options);
        std::optional<RunResult> r;
        for (int move = 0; move < 24; ++move) {
            const auto n = static_cast<std::int64_t>(rng() % 64 + 1);
            switch (rng() % 10) {
            case 0: s.cont(); break;
            case 1: s.cont(n * 8); break;
            case 2: s.stepi(n); break;
            case 3: s.back(n); break;
            case 4:
                s.goTo(static_cast<std::int64_t>(
                    rng() % static_cast<std::uint64_t>(s.furthestStep() + 64)));
                break;
            case 5: s.reverseContinue(); break;
            case 6: s.backInstruction(); break;
            case 7: s.breakAtPosition(static_cast<std::int32_t>(rng() % (size + 3))); break;
            case 8: s.watchCell(static_cast<std::int32_t>(rng() % 12)); break;
            default: s.deleteBreakpoint(static_cast<int>(rng() % 8 + 1)); break;
            }
            if (fuzz::MemoryBudget::exceeded()) return 0;
            const DebugState st = s.state();
            check(st.steps >= s.oldestStep() && st.steps <= s.furthestStep(),
                  "the session stands within its timeline");
            // Moves often end where the last one did (at the end of the run): one fresh run for
            // them all.
            if (!r || r->steps != st.steps || st.steps == 0) r = freshRun(code, st.steps);
            if (!r) return 0;
            if (r->end == RunEnd::PrepareFailed) return 0;
            check(st.steps == 0 || r->steps == st.steps, "a fresh run reaches the same step");
            check(st.pc == r->pc && st.cur == r->cur && st.opb == r->opb && st.opc == r->opc,
                  "the registers of a fresh run");
            check(s.cells() == r->mem, "the cells of a fresh run");
        }
    } catch (const std::bad_alloc&) {
        return 0; // needs more memory than a fuzz run may take
    }
    return 0;
}
