#include "runner/machine/interpreters.h"
#include "runner/machine/run.h"
#include "runner/machine/test_host.h"
#include "runner/machine/virtual_clock.h"

#include <gtest/gtest.h>

#include <string>

namespace tessivor {
namespace {

using testing::RecordingHost;
using Events = std::vector<std::string>;

/// The code that empties cell `nn` and fills it with `text`, as a "set" does.
std::string set(const char* nn, std::string_view text) {
    std::string code = std::string("a") + nn + "s";
    for (char c : text) {
        code += 'A';
        code += c;
    }
    return code;
}

/// Runs with the plain interpreter unless told otherwise.
RunResult run(const std::string& code, RecordingHost& host, RunOptions options = {}) {
    options.plain = true;
    if (options.maxSteps == 0) options.maxSteps = 10'000'000; // a faulty test ends, not hangs
    return runprogram(code, host, options);
}

RunResult run(const std::string& code) {
    RecordingHost host;
    return run(code, host);
}

TEST(Run, WorkedExampleEndsWithTheTypeMismatchReport) {
    RecordingHost host;
    const RunResult r = run("a05ba06ch va07q kp\r\n", host);
    EXPECT_EQ(host.events,
              (Events{"caption:Tessivor 0.1 - Optimizing...", "caption:Tessivor 0.1",
                      "caption:Tessivor 0.1 - 0.00mhz", "message:Type mismatch byte 15 op 113 q",
                      "message:Program Ended", "larp"}));
    EXPECT_EQ(r.end, RunEnd::Error);
    EXPECT_EQ(r.failure, Failure::TypeMismatch);
    EXPECT_EQ(r.steps, 9);
    EXPECT_EQ(r.pc, 15);
    EXPECT_EQ(r.cur, 7);
    EXPECT_EQ(r.opb, 5);
    EXPECT_EQ(r.opc, 6);
}

TEST(Run, FailedTestContinuesAfterTheFirstEndIf) {
    RecordingHost host;
    const RunResult r = run(set("05", "x") + "a05ba06ch va07q k kp", host);
    EXPECT_EQ(r.end, RunEnd::Terminated);
    EXPECT_EQ(host.shown(), (Events{"message:Program Terminated", "larp"}));
}

TEST(Run, FailedTestWithoutEndIfRestartsAtOneKeepingState) {
    // Cell 01 grows by "a" each pass; the first pass fails the test and, with no end-if after
    // it, starts again at position 1 with the cells as they are; the second pass ends.
    const RunResult r = run(set("02", "aa") + set("03", "a") + "a03ba01x" + "a01ba02ch" + "p");
    EXPECT_EQ(r.end, RunEnd::Terminated);
    EXPECT_EQ(r.mem[1], "aa");
}

TEST(Run, PassingTheEndShowsNothing) {
    RecordingHost host;
    const RunResult empty = run("", host);
    EXPECT_EQ(empty.end, RunEnd::PastEnd);
    EXPECT_EQ(empty.steps, 1);
    EXPECT_EQ(host.shown(), Events{});
    const RunResult crlf = run("a01q\r\n" + std::string());
    EXPECT_EQ(crlf.end, RunEnd::Error); // inc on an empty cell
    const RunResult noEnd = run(set("01", "1") + "a01q\r\n");
    EXPECT_EQ(noEnd.end, RunEnd::PastEnd);
    EXPECT_EQ(noEnd.mem[1], "2");
    EXPECT_EQ(noEnd.steps, 8); // three for the set, two for inc, CR, LF, the step past the end
}

TEST(Run, AppendCharAtTheLastPositionIsASubscriptError) {
    RecordingHost host;
    const RunResult r = run("a01A", host);
    EXPECT_EQ(r.failure, Failure::SubscriptOutOfRange);
    EXPECT_EQ(host.shown(), (Events{"message:Subscript out of range byte 4 op 65 A",
                                    "message:Program Ended", "larp"}));
}

TEST(Run, AddressPrefixesAndAppendedCharacters) {
    // "a7b" sets cur to 0 and swallows the "b"; A appends the digit of a code 0..9, "0" for a
    // tab, CR and LF as themselves.
    const RunResult r = run("a7bA5a01sA5AxA\tA\rA\na02sAka02ba03zp");
    EXPECT_EQ(r.mem[0], "5");
    EXPECT_EQ(r.mem[1], "5x0\r\n");
    EXPECT_EQ(r.mem[3], "k");
    EXPECT_EQ(r.opb, 2);
}

struct Arithmetic {
    const char* op;
    const char* b;
    const char* c;
    const char* result;
};

TEST(Run, ArithmeticStoresFifteenDigitTexts) {
    const Arithmetic cases[] = {
        {"d", "2.7", "1.5", "3"},
        {"e", "2.7", "1.5", "1.2"},
        {"d", "-2.5", "0", "-3"},
        {"g", "1", "3", "0.333333333333333"},
        {"f", "0.333333333333333", "3", "0.999999999999999"},
        {"g", "1", "0", "Infinity"},
        {"g", "0", "0", "NaN"},
        {"g", "1", "-0", "-Infinity"},
        {"f", "1e200", "1e200", "Infinity"},
        {"B", "2", "10", "1024"},
        {"B", "10", "400", "Infinity"},
        {"B", "-8", "0.5", "NaN"},
        {"B", "2", "-1", "0.5"},
        {"d", " 4 ", "\t5", "9"},
    };
    for (const auto& [op, b, c, result] : cases) {
        const RunResult r = run(set("01", b) + set("02", c) + "a01ba02ca03" + op + "p");
        EXPECT_EQ(r.end, RunEnd::Terminated) << op << ' ' << b << ' ' << c;
        EXPECT_EQ(r.mem[3], result) << op << ' ' << b << ' ' << c;
    }
    EXPECT_EQ(run(set("01", "-1") + "a01ba02Cp").mem[2], "NaN");
    EXPECT_EQ(run(set("01", "16") + "a01ba02Cp").mem[2], "4");
}

TEST(Run, FailuresChangeNothing) {
    // opb reads fine, opc is no number: the result cell keeps its text.
    const RunResult r = run(set("01", "1") + set("02", "x") + set("03", "keep") + "a01ba02ca03dp");
    EXPECT_EQ(r.failure, Failure::TypeMismatch);
    EXPECT_EQ(r.mem[3], "keep");
    EXPECT_EQ(run(set("01", "1e999") + "a01q").failure, Failure::Overflow);
}

TEST(Run, ComparisonsUseSingleTextsAndStrictOrder) {
    const auto holds = [](const char* op, const char* b, const char* c) {
        const RunResult r = run(set("01", b) + set("02", c) + "a01ba02c" + op + "a03sA1 kp");
        EXPECT_EQ(r.end, RunEnd::Terminated);
        return r.mem[3] == "1";
    };
    EXPECT_FALSE(holds("h", "5", "5.0"));
    EXPECT_TRUE(holds("h", "", ""));
    EXPECT_TRUE(holds("i", "10", "9"));
    EXPECT_FALSE(holds("i", "16777217", "16777216"));
    EXPECT_FALSE(holds("j", "16777217", "16777216"));
    EXPECT_FALSE(holds("j", "2", "2"));
    EXPECT_TRUE(holds("j", "-1", "0"));
    EXPECT_EQ(run(set("01", "abc") + set("02", "1") + "a01ba02ci").failure, Failure::TypeMismatch);
}

TEST(Run, JumpsGoAfterTheLabelOrToPositionOne) {
    // Label 2 skips the "inc" of the empty cell 02 that label 1 runs into; 2.5 rounds to 2.
    EXPECT_EQ(run(set("01", "1") + "a01u va02q vp").failure, Failure::TypeMismatch);
    EXPECT_EQ(run(set("01", "2") + "a01u va02q vp").end, RunEnd::Terminated);
    EXPECT_EQ(run(set("01", "2.5") + "a01u va02q vp").end, RunEnd::Terminated);
    // Label 0, and a label without a marker, continue at position 1: the second pass finds
    // cell 03 grown to "xx" and ends.
    for (const char* label : {"0", "7"}) {
        const std::string again = set("04", "x") + "a04ba03x" + set("05", "xx") + "a03ba05ch" +
                                  "p k" + set("01", label) + "a01u";
        EXPECT_EQ(run(again).mem[3], "xx") << label;
    }
    EXPECT_EQ(run(set("01", "100") + "a01u").failure, Failure::SubscriptOutOfRange);
    EXPECT_EQ(run(set("01", "-1") + "a01u").failure, Failure::SubscriptOutOfRange);
    EXPECT_EQ(run(set("01", "") + "a01u").failure, Failure::TypeMismatch);
}

TEST(Run, PointerMakesACellTheCurrentOne) {
    EXPECT_EQ(run(set("01", "-7.5") + "a01np").cur, 8);
    EXPECT_EQ(run(set("01", "2.5") + "a01np").cur, 2);
    const RunResult far = run(set("01", "150") + "a01nq");
    EXPECT_EQ(far.failure, Failure::SubscriptOutOfRange);
    EXPECT_EQ(run(set("01", "3e9") + "a01n").failure, Failure::Overflow);
    // Indirect store: cell 01 holds 5, so the "q" increments cell 05.
    EXPECT_EQ(run(set("05", "41") + set("01", "5") + "a01nqp").mem[5], "42");
}

TEST(Run, RandomTicksInputAndDisplay) {
    RecordingHost host;
    host.random = 0.99999994f;
    host.clock = -5;
    host.replies = {"Ada"};
    const RunResult r = run(set("01", "1") + set("02", "6") + "a01ba02ca03y" + "a04l" +
                                set("05", "Name?") + "a05ba06o" + "a06w" + "a07ba08o" + "p",
                            host);
    EXPECT_EQ(r.mem[3], "6");
    EXPECT_EQ(r.mem[4], "-5");
    EXPECT_EQ(r.mem[6], "Ada");
    EXPECT_EQ(r.mem[8], ""); // Cancel
    EXPECT_EQ(host.shown(), (Events{"input:Name?", "display:Ada", "input:",
                                    "message:Program "
                                    "Terminated",
                                    "larp"}));
    host.random = 0;
    EXPECT_EQ(run(set("01", "1") + set("02", "6") + "a01ba02ca03yp", host).mem[3], "1");
}

TEST(Run, TicReadsTheProgramsClockInBothLoops) {
    // A host that keeps what a run read apart from the speed display's clock: "l" gets the
    // former in either loop, the caption the latter.
    class TwoClocks : public RecordingHost {
    public:
        std::int32_t programTick() override { return 777; }
    };
    for (const bool plain : {true, false}) {
        TwoClocks host;
        host.clock = 5;
        RunOptions options;
        options.plain = plain;
        EXPECT_EQ(runprogram("a04lp", host, options).mem[4], "777") << plain;
    }
}

TEST(Run, SetTextsReadAsNumbers) {
    EXPECT_EQ(run(set("01", "12") + "a01qp").mem[1], "13");
    EXPECT_EQ(run(set("01", "1\t") + "a01qp").mem[1], "11"); // the tab became a 0
}

TEST(Run, TextsLongerThanTheLimitAreOutOfStringSpace) {
    // Cell 01 doubles until the next doubling would pass 64 MiB.
    RecordingHost host;
    const RunResult r = run(set("00", "1") + set("01", "a") + " va01ba01xa00u", host);
    EXPECT_EQ(r.failure, Failure::OutOfStringSpace);
    EXPECT_EQ(r.mem[1].size(), kMaxCellLength);
    EXPECT_EQ(host.shown()[0], "message:Out of string space byte 22 op 120 x");
}

TEST(Run, StepLimitStopsBeforeTheNextStep) {
    RecordingHost host;
    RunOptions options;
    options.maxSteps = 2;
    const RunResult r = run("a01ss", host, options);
    EXPECT_EQ(r.end, RunEnd::StepLimit);
    EXPECT_EQ(r.steps, 2);
    EXPECT_EQ(r.pc, 5);
}

TEST(Run, HundredthLabelFailsThePreparation) {
    std::string code;
    for (int i = 0; i < 100; ++i)
        code += " v";
    RecordingHost host;
    const RunResult r = run(code + "p", host);
    EXPECT_EQ(r.end, RunEnd::PrepareFailed);
    EXPECT_EQ(r.prepareFailure, PrepareFailure::TooManyLabels);
    EXPECT_EQ(r.failure, Failure::None); // no operation failed
    EXPECT_EQ(r.steps, 0);
    EXPECT_EQ(host.events, Events{"caption:Tessivor 0.1 - Optimizing..."});
}

TEST(Run, SpeedDisplayCountsTheStepsOfTheLastSecond) {
    // Three blanks after the first step, then "t" moves the clock on: the next step refreshes
    // with the four steps before it.
    RecordingHost host;
    host.onEvents = [&] { host.clock = 2000; };
    run("   t  p", host);
    EXPECT_EQ(host.events[2], "caption:Tessivor 0.1 - 0.00mhz");
    EXPECT_EQ(host.events[4], "caption:Tessivor 0.1 - 0.00mhz");
    EXPECT_EQ(speedCaption(350000), "Tessivor 0.1 - 0.35mhz");
    EXPECT_EQ(speedCaption(4999), "Tessivor 0.1 - 0.00mhz");
    EXPECT_EQ(speedCaption(5000), "Tessivor 0.1 - 0.01mhz");
    EXPECT_EQ(speedCaption(123456789), "Tessivor 0.1 - 123.46mhz");
}

class PulseHost : public RecordingHost {
public:
    std::atomic<std::uint32_t> pulse{0};
    int reads = 0;
    const std::atomic<std::uint32_t>* tickPulse() override { return &pulse; }
    std::int32_t tickCount() override {
        ++reads;
        return RecordingHost::tickCount();
    }
};

TEST(Run, WithAPulseTheClockIsReadOnlyWhenItMovedOrTheHostRan) {
    PulseHost host;
    run(std::string(1000, ' ') + "t" + std::string(1000, ' ') + "p", host);
    EXPECT_EQ(host.reads, 2); // the first step, the step after "t"
    host.reads = 0;
    host.onEvents = [&] { host.pulse.fetch_add(1); };
    host.clock = 5000;
    run("t t p", host);
    EXPECT_EQ(host.reads, 1 + 1 + 1);
}

TEST(Run, VirtualClockAdvancesWithTheStepsAndNeverReadsTheHost) {
    PulseHost host;
    RunOptions options;
    options.virtualClock = true;
    // "l" at step 2 has one step done; the second "l" runs at step 1001, with 1000 done.
    RunResult r = runprogram("a01l" + std::string(997, ' ') + "a02lp", host, options);
    EXPECT_EQ(r.mem[1], "1000");
    EXPECT_EQ(r.mem[2], "1001");
    EXPECT_EQ(host.reads, 0);

    // The caption: at the first step, then once a virtual second (a million steps).
    host.events.clear();
    runprogram(std::string(2'500'000, ' ') + "p", host, options);
    Events captions;
    for (const auto& e : host.events) {
        if (e.rfind("caption:", 0) == 0) captions.push_back(e);
    }
    EXPECT_EQ(captions, (Events{"caption:Tessivor 0.1 - Optimizing...", "caption:Tessivor 0.1",
                                "caption:Tessivor 0.1 - 0.00mhz", "caption:Tessivor 0.1 - 1.00mhz",
                                "caption:Tessivor 0.1 - 1.00mhz"}));
    EXPECT_EQ(host.reads, 0);

    // The same program on another machine, or later, gives the same texts.
    PulseHost later;
    later.clock = -123456;
    options.plain = true;
    EXPECT_EQ(runprogram("a01l" + std::string(997, ' ') + "a02lp", later, options).mem[2], "1001");
}

/// How many times the speed display refreshes in `steps` blank steps, the clock starting at
/// `start` and moving on by 100 ms a step.
int refreshes(std::int32_t start, int steps, bool plain) {
    RecordingHost host;
    host.clock = start;
    host.clockStep = 100;
    RunOptions options;
    options.plain = plain;
    runprogram(std::string(static_cast<std::size_t>(steps), ' ') + "p", host, options);
    int count = 0;
    for (const auto& e : host.events)
        count += e.rfind("caption:Tessivor 0.1 - ", 0) == 0 && e.find("Optimizing") == e.npos;
    return count;
}

TEST(Run, SpeedDisplayRefreshesOnceASecondAtAnyUptime) {
    // 200 steps of 100 ms: 20 seconds, so the first step and then every 11th step (the first
    // at which more than 1000 ms have passed) refresh, whether the counter is positive, about
    // to turn negative (2^31 ms, 24.8 days) or about to wrap to 0 (2^32 ms, 49.7 days).
    constexpr std::int32_t kMax = 2147483647;
    for (const bool plain : {true, false}) {
        EXPECT_EQ(refreshes(5000, 200, plain), 19) << plain;
        EXPECT_EQ(refreshes(kMax - 20, 200, plain), 19) << plain;   // below and across 2^31
        EXPECT_EQ(refreshes(kMax - 5000, 200, plain), 19) << plain; // a refresh mark past 2^31
        EXPECT_EQ(refreshes(-5000, 200, plain), 19) << plain;       // across 2^32 (to 0)
        EXPECT_EQ(refreshes(-20, 200, plain), 19) << plain;
        EXPECT_EQ(refreshes(0, 200, plain), 19) << plain; // the first step refreshes at tick 0
    }
}

TEST(Run, VirtualClockMovesWithTheSteps) {
    RecordingHost host;
    host.clock = -77;
    RunOptions options;
    options.virtualClock = true;
    // "l" at the first step reads the start; after 3000 blank steps 3 ms later.
    const RunResult r = run("a01l" + std::string(2999, ' ') + "a02lp", host, options);
    EXPECT_EQ(r.mem[1], std::to_string(virtualTick(0)));
    EXPECT_EQ(r.mem[2], std::to_string(virtualTick(3001)));
    EXPECT_EQ(r.mem[2], "1003");
}

TEST(Run, NestedRunHasItsOwnStateAndTheOuterOneContinues) {
    RecordingHost host;
    bool nested = false;
    RunResult inner;
    host.onEvents = [&] {
        if (nested) return;
        nested = true;
        inner = run(set("01", "inner") + "a01wp", host);
    };
    const RunResult outer = run(set("01", "outer") + "ta01wp", host);
    EXPECT_EQ(inner.mem[1], "inner");
    EXPECT_EQ(outer.mem[1], "outer");
    EXPECT_EQ(host.shown(), (Events{"events", "display:inner", "message:Program Terminated", "larp",
                                    "display:outer", "message:Program Terminated", "larp"}));
}

TEST(Run, TraceSeesEveryStepBeforeItRuns) {
    RecordingHost host;
    std::vector<TraceStep> steps;
    RunOptions options;
    options.trace = [&](const TraceStep& s) { steps.push_back(s); };
    runprogram("a05b", host, options);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[1].pc, 4);
    EXPECT_EQ(steps[1].code, 98);
    EXPECT_EQ(steps[1].cur, 5);
    EXPECT_EQ(steps[2].code, -1); // past the end
}

TEST(Run, PollIsCalledEveryFewStepsByBothLoopsAndMayEndTheRun) {
    // A loop of three steps a turn that never ends: "a01", "u" on cell 01 (label 0, so back
    // to position 1).
    const std::string code = set("01", "0") + " va01u";
    for (const bool plain : {true, false}) {
        for (const bool virtualClock : {true, false}) {
            RecordingHost host;
            host.clockStep = 1;
            RunOptions options;
            options.plain = plain;
            options.virtualClock = virtualClock;
            options.maxSteps = 1000;
            options.pollSteps = 64;
            std::size_t calls = 0;
            options.poll = [&calls] { ++calls; };
            const RunResult r = runprogram(code, host, options);
            EXPECT_EQ(r.end, RunEnd::StepLimit);
            EXPECT_EQ(r.steps, 1000);
            EXPECT_EQ(calls, 16u) << plain << virtualClock; // before steps 1, 65, ..., 961

            int seen = 0;
            options.poll = [&seen] {
                if (++seen == 3) throw std::string("time is up");
            };
            RecordingHost again;
            EXPECT_THROW(runprogram(code, again, options), std::string);
            EXPECT_EQ(seen, 3);
        }
    }
}

} // namespace
} // namespace tessivor
