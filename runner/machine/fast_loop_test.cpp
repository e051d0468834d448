// The step loops at the edges of their world: a tick counter that wraps, memory that runs out
// while a cell's text grows, and the virtual clock. Large allocations fail on demand here
// (allocation_limit.h).

#include "assembler/translate/compiletext.h"
#include "common/operations.h"
#include "runner/machine/allocation_limit.h"
#include "runner/machine/fast_table.h"
#include "runner/machine/interpreters.h"
#include "runner/machine/run.h"
#include "runner/machine/test_host.h"
#include "runner/machine/tick.h"
#include "runner/machine/virtual_clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <optional>
#include <random>
#include <string>

namespace tessivor {
namespace {

using testing::RecordingHost;

using testing::AllocationLimit;

RunResult runWith(const std::string& code, Host& host, bool plain, std::int64_t maxSteps = 0,
                  bool virtualClock = false) {
    RunOptions options;
    options.plain = plain;
    options.maxSteps = maxSteps;
    options.virtualClock = virtualClock;
    return runprogram(code, host, options);
}

// ---------------------------------------------------------------------------------------------
// The speed display on a tick counter that wraps.

class PulsedHost : public RecordingHost {
public:
    std::atomic<std::uint32_t> pulse{0};
    bool withPulse = false;
    const std::atomic<std::uint32_t>* tickPulse() override { return withPulse ? &pulse : nullptr; }
};

int captions(const RecordingHost& host) {
    int count = 0;
    for (const auto& e : host.events)
        count += e.rfind("caption:Tessivor 0.1 - 0", 0) == 0 ? 1 : 0;
    return count;
}

TEST(SpeedDisplay, RefreshesAcrossTheTickCounterTurningNegativeAndWrapping) {
    // Every "t" moves the clock on by 700 ms: the display is refreshed at the first step and
    // after the 2nd, 4th and 6th "t", wherever the counter stands.
    const std::uint32_t starts[] = {1000,        0x7FFFFFFFu - 1500, 0x7FFFFFFFu - 300,
                                    0x80000000u, 0xFFFFFFFFu - 1500, 0xFFFFFFFFu - 100,
                                    0xFFFFFFFFu};
    for (const std::uint32_t start : starts) {
        for (const bool plain : {true, false}) {
            for (const bool withPulse : {true, false}) {
                PulsedHost host;
                host.withPulse = withPulse;
                host.clock = static_cast<std::int32_t>(start);
                host.onEvents = [&] {
                    host.clock = tickAfter(host.clock, 700);
                    host.pulse.fetch_add(1);
                };
                runWith("tttttt  p", host, plain);
                EXPECT_EQ(captions(host), 4)
                    << "start " << start << " plain " << plain << " pulse " << withPulse;
            }
        }
    }
    static_assert(tickPassed(std::int32_t{-2147483647 - 1}, 2147483000));
    static_assert(!tickPassed(2147483000, std::int32_t{-2147483647 - 1}));
    static_assert(tickAfter(2147483647, 1) == -2147483647 - 1);
}

// ---------------------------------------------------------------------------------------------
// Memory that runs out where a cell's text grows.

TEST(OutOfMemory, AnAppendThatCannotGrowItsCellFailsWithOutOfStringSpace) {
    // Cell 01 doubles with every "apd 01, 01" until its text no longer fits an allocation.
    std::string code = "a01sAx";
    for (int i = 0; i < 30; ++i)
        code += "a01ba01x";
    code += "p";
    RecordingHost host;
    RunResult r;
    {
        const AllocationLimit limit(std::size_t{1} << 20);
        r = runWith(code, host, false);
    }
    ASSERT_EQ(r.end, RunEnd::Error);
    EXPECT_EQ(r.failure, Failure::OutOfStringSpace);
    // The failing "x" is the one that would have doubled the text past the limit; the text is
    // what the "x" before it left.
    ASSERT_EQ(code[static_cast<std::size_t>(r.pc) - 1], 'x');
    const int appended = (r.pc - 6) / 8 - 1; // "x" steps that ran before the failing one
    EXPECT_GE(appended, 18);
    EXPECT_EQ(r.mem[1].size(), std::size_t{1} << appended);
    EXPECT_EQ(r.steps, 3 + 4 * (appended + 1));
    EXPECT_EQ(host.shown(), (std::vector<std::string>{"message:Out of string space byte " +
                                                          std::to_string(r.pc) + " op 120 x",
                                                      "message:Program Ended", "larp"}));
}

TEST(OutOfMemory, ASetTextFailsAtTheFirstCharacterThatCannotBeAppended) {
    // "t" limits allocations to 5000 bytes once the code is prepared.
    const std::string text(20000, 'k');
    std::string code = "t";
    code += compiletext("set 05, " + text + ";\r\nend\r\n").code;
    RecordingHost host;
    std::optional<AllocationLimit> limit;
    host.onEvents = [&limit] { limit.emplace(5000); };
    const RunResult r = runWith(code, host, false);
    limit.reset();
    ASSERT_EQ(r.end, RunEnd::Error);
    EXPECT_EQ(r.failure, Failure::OutOfStringSpace);
    ASSERT_EQ(code[static_cast<std::size_t>(r.pc) - 1], 'A');
    const auto kept = static_cast<std::size_t>(r.pc - 6) / 2; // "A" steps before the failing one
    EXPECT_EQ(r.mem[5], std::string(kept, 'k'));
    EXPECT_GT(kept, 1000u);
    EXPECT_LT(kept, 5000u);
    EXPECT_EQ(r.steps, 3 + static_cast<std::int64_t>(kept) + 1);
}

TEST(OutOfMemory, ACopyAndAnAppendRunFailWithOutOfStringSpace) {
    // Cell 01 gets 4000 characters; then "t" limits allocations to 3000 bytes, and the copy of
    // cell 01 to cell 02 ("z"), or a run of 4000 "A" steps on cell 03, cannot grow its cell.
    const std::string fill = compiletext("set 01, " + std::string(4000, 'a') + ";").code + "t";
    const auto run = [&](const std::string& code) {
        RecordingHost host;
        std::optional<AllocationLimit> limit;
        host.onEvents = [&limit] { limit.emplace(3000); };
        return runWith(code, host, false);
    };
    const RunResult copy = run(fill + "a01ba02zp");
    EXPECT_EQ(copy.failure, Failure::OutOfStringSpace);
    EXPECT_EQ(copy.pc, static_cast<std::int32_t>(fill.size()) + 8);
    EXPECT_EQ(copy.mem[2], "");

    std::string appendRun = fill + "a03";
    const auto runStart = static_cast<std::int32_t>(appendRun.size()) + 1;
    for (int i = 0; i < 4000; ++i)
        appendRun += "Ay";
    const RunResult r = run(appendRun + "p");
    EXPECT_EQ(r.failure, Failure::OutOfStringSpace);
    ASSERT_EQ(appendRun[static_cast<std::size_t>(r.pc) - 1], 'A');
    const auto kept = static_cast<std::size_t>(r.pc - runStart) / 2;
    EXPECT_EQ(r.mem[3], std::string(kept, 'y'));
    EXPECT_GT(kept, 1000u);
    EXPECT_LT(kept, 3000u);
}

// ---------------------------------------------------------------------------------------------
// The virtual clock.

/// A host whose clock is the virtual one of a plain run it follows through the trace: the
/// reference the fast loop's own virtual clock is compared with.
class TracedClockHost : public RecordingHost {
public:
    std::int64_t begun = 0; ///< steps begun, from the trace
    bool tickStep = false;  ///< the step begun is an "l", which reads the clock next
    std::int32_t tickCount() override {
        if (tickStep) {
            tickStep = false;
            return virtualTick(begun - 1); // "l" reads the steps done before it
        }
        return virtualTick(begun); // the speed display reads before the step begins
    }
};

struct VirtualRun {
    RunResult result;
    std::vector<std::string> events;
};

VirtualRun virtualRun(const std::string& code, bool fast, std::int64_t maxSteps) {
    if (fast) {
        PulsedHost host;
        host.withPulse = true; // ignored: the virtual clock needs no pulse
        VirtualRun out{runWith(code, host, false, maxSteps, true), {}};
        out.events = host.events;
        return out;
    }
    TracedClockHost host;
    RunOptions options;
    options.maxSteps = maxSteps;
    options.trace = [&](const TraceStep& s) {
        host.begun = s.step;
        host.tickStep = s.code == kOpTick;
    };
    VirtualRun out{runprogram(code, host, options), {}};
    out.events = host.events;
    return out;
}

void expectSameVirtualRun(const std::string& code, std::int64_t maxSteps) {
    const VirtualRun a = virtualRun(code, false, maxSteps);
    const VirtualRun b = virtualRun(code, true, maxSteps);
    ASSERT_EQ(a.events, b.events) << code;
    EXPECT_EQ(a.result.end, b.result.end) << code;
    EXPECT_EQ(a.result.steps, b.result.steps) << code;
    EXPECT_EQ(a.result.pc, b.result.pc) << code;
    EXPECT_EQ(a.result.mem, b.result.mem) << code;
}

TEST(VirtualClock, TicksAndCaptionsFollowTheStepCountExactly) {
    // Counts to 700000 (nine steps a turn), reading the clock every turn into cell 03: the
    // display is refreshed at the first step and at exactly 1001000, 2002000 ... steps done.
    const std::string code =
        compiletext("set 01, 0;\r\nset 02, 700000;\r\nset 90, 1;\r\nlbl 01\r\n"
                    "tic 03\r\ninc 01\r\nifl 01, 02\r\ngto 90\r\neif\r\nend\r\n")
            .code;
    expectSameVirtualRun(code, 0);
    const VirtualRun fast = virtualRun(code, true, 0);
    // Captions: the first (0.00), then one a virtual second: 1.00 million steps each.
    ASSERT_GE(fast.events.size(), 5u);
    EXPECT_EQ(fast.events[2], "caption:Tessivor 0.1 - 0.00mhz");
    EXPECT_EQ(fast.events[3], "caption:Tessivor 0.1 - 1.00mhz");
    EXPECT_EQ(fast.result.mem[3], std::to_string(virtualTick(fast.result.steps - 10)));
    // Step limits inside loop tails and across refreshes stop where the plain loop does.
    for (const std::int64_t limit : {1, 17, 1000999, 1001000, 1001001, 2002005}) {
        expectSameVirtualRun(code, limit);
    }
}

TEST(VirtualClock, MatchesThePlainLoopOnAssembledPrograms) {
    std::mt19937_64 rng(42);
    static const char* const kLines[] = {
        "tic 01", "inc 02", "dec 03", "ifl 02, 04",     "ifg 01, 04", "eif",    "lbl",
        "gto 05", "doe",    "dsp 01", "add 01, 02, 03", "ife 02, 03", "mpt 06", "end"};
    for (int i = 0; i < 300; ++i) {
        std::string source = "set 02, 0;\r\nset 03, 5;\r\nset 04, 30000;\r\nset 05, 1;\r\n"
                             "set 06, 2;\r\n";
        const std::size_t lines = 3 + rng() % 12;
        for (std::size_t k = 0; k < lines; ++k)
            source += std::string(kLines[rng() % std::size(kLines)]) + "\r\n";
        source += "gto 05\r\n";
        expectSameVirtualRun(compiletext(source).code,
                             1 + static_cast<std::int64_t>(rng() % 3'000'000));
    }
}

// ---------------------------------------------------------------------------------------------
// What the fast loop relies on.

TEST(FastInvariants, DecodedStepsAreOneStepAndAddressesFitTheirRegisters) {
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200; ++i) {
        std::string code;
        for (int k = 0; k < 40; ++k)
            code += "a0123456789AsbcqjuBC \r\n"[rng() % 22];
        const Prepared p = prepare(code);
        const fast::Table t = fast::buildTable(p);
        for (std::int32_t pc = 1; pc <= static_cast<std::int32_t>(code.size()) + 3; ++pc) {
            const fast::Entry e = fast::singleEntry(p, pc);
            ASSERT_EQ(e.steps, 1);
            ASSERT_LE(e.next - e.at, 3);
            const fast::Entry& tabled = t.entries[static_cast<std::size_t>(pc)];
            ASSERT_TRUE(tabled.cur == fast::kKeep || (tabled.cur >= 0 && tabled.cur < kCells));
        }
    }
}

TEST(FastTable, TheCommonLoopTailIsOneEntry) {
    const std::string code = compiletext("set 01, 0;\r\nset 02, 10;\r\nset 90, 1;\r\nlbl 01\r\n"
                                         "inc 01\r\nifl 01, 02\r\ngto 90\r\neif\r\nend\r\n")
                                 .code;
    const Prepared p = prepare(code);
    const fast::Table t = fast::buildTable(p);
    const std::size_t inc = code.find("a01q") + 1;
    const fast::Entry& e = t.entries[inc];
    ASSERT_EQ(e.kind, fast::kLoopTail);
    EXPECT_EQ(e.steps, 2 + 5);
    const fast::Tail& tail = t.tails[e.aux];
    EXPECT_EQ(tail.test, fast::kIfLess);
    EXPECT_EQ(tail.opb, 1);
    EXPECT_EQ(tail.opc, 2);
    EXPECT_EQ(static_cast<std::size_t>(tail.jump), code.find("a90u") + 1);
}

TEST(FastLoop, LoopTailsEndWhereThePlainLoopDoes) {
    // The increment fails (cell 01 is text), the test fails (cell 02 is text), the jump fails
    // (cell 90 is 100), the jump changes target, and every step limit inside a few turns.
    const char* const kSources[] = {
        "set 01, x;\r\nset 02, 3;\r\nset 90, 1;\r\nlbl 01\r\ninc 01\r\nifl 01, 02\r\ngto 90\r\n",
        "set 01, 0;\r\nset 02, y;\r\nset 90, 1;\r\nlbl 01\r\ndec 01\r\nifg 01, 02\r\ngto 90\r\n",
        "set 01, 0;\r\nset 02, 3;\r\nset 90, 100;\r\nlbl 01\r\ninc 01\r\nife 01, 02\r\ngto 90\r\n",
        "set 01, 0;\r\nset 02, 5;\r\nset 90, 1;\r\nlbl 01\r\ninc 01\r\nifl 01, 02\r\ngto 90\r\n"
        "eif\r\nset 90, 2;\r\nset 01, 0;\r\ngto 90\r\nlbl 02\r\nend\r\n",
        "set 01, 16777215;\r\nset 02, 16777218;\r\nset 90, 1;\r\nlbl 01\r\ninc 01\r\n"
        "ifl 01, 02\r\ngto 90\r\neif\r\nend\r\n",
        // Counting down; the jump's own cell counted; a test that compares texts.
        "set 01, 30;\r\nset 02, 0;\r\nset 90, 1;\r\nlbl 01\r\ndec 01\r\nifg 01, 02\r\n"
        "gto 90\r\neif\r\nend\r\n",
        "set 90, 0;\r\nset 02, 9;\r\nlbl 01\r\ninc 90\r\nifl 90, 02\r\ngto 90\r\neif\r\n"
        "lbl 02\r\nset 03, x;\r\nlbl 03\r\nend\r\n",
        "set 01, 0;\r\nset 02, 0;\r\nset 90, 1;\r\nlbl 01\r\ninc 01\r\nife 01, 02\r\n"
        "gto 90\r\neif\r\nend\r\n",
        // The count passes 1E+15, where its text stops being a plain whole number.
        "set 01, 999999999999990;\r\nset 02, 1e16;\r\nset 90, 1;\r\nlbl 01\r\ninc 01\r\n"
        "ifl 01, 02\r\ngto 90\r\neif\r\nend\r\n",
    };
    for (const char* source : kSources) {
        const std::string code = compiletext(source).code + "\r\n";
        for (std::int64_t limit = 1; limit <= 200; ++limit) {
            RecordingHost a, b;
            const RunResult x = runWith(code, a, true, limit);
            PulsedHost pulsed;
            pulsed.withPulse = true;
            const RunResult y = runWith(code, pulsed, false, limit);
            ASSERT_EQ(x.end, y.end) << source << limit;
            ASSERT_EQ(x.steps, y.steps) << source << limit;
            ASSERT_EQ(x.pc, y.pc) << source << limit;
            ASSERT_EQ(x.cur, y.cur) << source << limit;
            ASSERT_EQ(x.opb, y.opb) << source << limit;
            ASSERT_EQ(x.mem, y.mem) << source << limit;
            ASSERT_EQ(a.shown(), pulsed.shown()) << source << limit;
        }
    }
}

} // namespace
} // namespace tessivor
