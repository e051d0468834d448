#include "runner/debug/session.h"

#include "assembler/translate/program.h"
#include "runner/machine/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

namespace tessivor {
namespace {

using testing::RecordingHost;

/// A host whose random numbers and replies follow from a seed, in the order they are asked.
class ScriptedHost : public RecordingHost {
public:
    explicit ScriptedHost(std::uint64_t seed) : rng_(seed) { clockStep = 37; }
    float randomSingle() override { return static_cast<float>(rng_() >> 40) * 0x1p-24f; }
    std::string inputBox(std::string_view prompt) override {
        static const char* const kReplies[] = {"", "7", "2.5", "-1", "abc", "3", "150", " 3 "};
        replies.push_back(kReplies[rng_() % std::size(kReplies)]);
        return RecordingHost::inputBox(prompt);
    }

private:
    std::mt19937_64 rng_;
};

/// Where two event lists part: the index and a few events from there on each side.
std::string whereTheyPart(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    std::string out = "from event " + std::to_string(i) + ":";
    for (const auto* list : {&a, &b}) {
        out += "\n ";
        for (std::size_t k = i; k < list->size() && k < i + 4; ++k)
            out += " [" + (*list)[k] + "]";
    }
    return out;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// A program: its code string as a file holds it and the map a debugger would use.
struct TestProgram {
    std::string code;
    SourceMap map;

    DebugProgram debug() const {
        return {code, map, [this](std::int32_t pc) { return instructionText(code, pc, map); }};
    }
};

TestProgram fromSource(std::string_view source) {
    const Program p = Program::fromSource(source);
    return {p.code, p.map};
}

/// Random programs: half translated from random sources of whole instructions, half random
/// code strings with the listing as their source.
TestProgram randomProgram(std::mt19937_64& rng) {
    if (rng() % 2) {
        static const char* const kLines[] = {"set 01, 1;",
                                             "set 02, 5;",
                                             "set 03, abc;",
                                             "set 04, 2.5;",
                                             "inc 01",
                                             "dec 02",
                                             "add 01, 02, 05",
                                             "sub 02, 01, 06",
                                             "mul 01, 04, 07",
                                             "div 01, 02, 08",
                                             "ife 01, 02",
                                             "ifg 01, 02",
                                             "ifl 01, 02",
                                             "eif",
                                             "lbl 01",
                                             "lbl 02",
                                             "gto 09",
                                             "set 09, 1;",
                                             "set 09, 2;",
                                             "dsp 01",
                                             "apd 03, 01",
                                             "rnd 01, 02, 10",
                                             "tic 11",
                                             "inp 03, 12",
                                             "mpt 04",
                                             "sqr 02, 13",
                                             "pwr 04, 02, 14",
                                             "clr 05",
                                             "doe",
                                             "idl",
                                             "end",
                                             "inc 12",
                                             "ifl 11, 02"};
        std::string source;
        for (int k = static_cast<int>(rng() % 40); k > 0; --k) {
            source += kLines[rng() % std::size(kLines)];
            source += "\r\n";
        }
        return fromSource(source);
    }
    static const std::string kPieces[] = {"a01", "a02", "a0", "a99", "b", "c", "d",    "e",   "f",
                                          "g",   "h",   "i",  "j",   "l", "n", "o",    "q",   "r",
                                          "s",   "t",   "u",  "w",   "x", "y", "z",    "B",   "C",
                                          " k",  " v",  "A1", "A.",  "p", "7", "\r\n", "\x80"};
    std::string code;
    for (int k = static_cast<int>(rng() % 50); k > 0; --k)
        code += kPieces[rng() % std::size(kPieces)];
    return {code, listProgram(code).map};
}

struct Ended {
    DebugState state;
    std::array<std::string, kCells> cells;
};

/// Moves the session on with random commands until it ends: steps, instruction steps and
/// continues in slices, with breakpoints and watches set and deleted on the way.
void randomMoves(DebugSession& s, std::mt19937_64& rng, const TestProgram& p, int moves = 100000) {
    for (int guard = 0; guard < moves && !s.state().ended; ++guard) {
        switch (rng() % 8) {
        case 0: s.stepi(static_cast<std::int64_t>(rng() % 20 + 1)); break;
        case 1: s.step(static_cast<std::int64_t>(rng() % 4 + 1)); break;
        case 2: s.breakAtPosition(static_cast<std::int32_t>(rng() % (p.code.size() + 2))); break;
        case 3: s.breakAtLine(static_cast<std::int32_t>(rng() % 40 + 1)); break;
        case 4: s.watchCell(static_cast<std::int32_t>(rng() % 15)); break;
        case 5: s.deleteBreakpoint(static_cast<int>(rng() % 6 + 1)); break;
        default: s.cont(static_cast<std::int64_t>(rng() % 200)); break;
        }
    }
}

TEST(DebugSession, ContinuingGivesTheSameEventsAndEndAsARun) {
    std::mt19937_64 rng(31);
    std::map<Stop, int> stops;
    for (int k = 0; k < 3000; ++k) {
        const TestProgram p = randomProgram(rng);
        const std::uint64_t seed = rng();
        // A continue without watches runs as the runner does, reading the host's clock as
        // often. With watches its stretches may run a little past the step that stops it
        // (reading the clock for the speed display ahead) and it shows the captions as they
        // were: the virtual clock then, and every event but the captions the same.
        const bool plainContinue = k % 3 == 0;
        ScriptedHost runHost(seed);
        RunOptions runOptions;
        runOptions.plain = true;
        runOptions.maxSteps = 3000;
        runOptions.virtualClock = !plainContinue;
        const RunResult r = runprogram(p.code, runHost, runOptions);

        ScriptedHost host(seed);
        DebugOptions options;
        options.maxSteps = 3000;
        options.virtualClock = !plainContinue;
        DebugSession s(p.debug(), host, options);
        std::mt19937_64 moves(seed);
        if (plainContinue) {
            ++stops[s.cont()];
        } else {
            randomMoves(s, moves, p);
        }
        const DebugState st = s.state();
        const auto shown = [&](const std::vector<std::string>& events) {
            if (plainContinue) return events;
            std::vector<std::string> kept;
            for (const std::string& e : events)
                if (e.rfind("caption:", 0) != 0) kept.push_back(e);
            return kept;
        };
        ASSERT_TRUE(shown(host.events) == shown(runHost.events))
            << p.code << "\n"
            << whereTheyPart(shown(host.events), shown(runHost.events));
        ASSERT_TRUE(st.ended);
        ASSERT_EQ(st.end, r.end) << p.code;
        ASSERT_EQ(st.failure, r.failure);
        ASSERT_EQ(st.steps, r.steps) << p.code;
        ASSERT_EQ(st.pc, r.pc);
        ASSERT_EQ(st.cur, r.cur);
        ASSERT_EQ(st.opb, r.opb);
        ASSERT_EQ(st.opc, r.opc);
        ASSERT_EQ(s.cells(), r.mem) << p.code;
    }
    // The generator reaches every kind of end.
    EXPECT_GT(stops[Stop::Terminated], 20);
    EXPECT_GT(stops[Stop::Error], 20);
    EXPECT_GT(stops[Stop::PastEnd], 20);
    EXPECT_GT(stops[Stop::StepLimit], 5);
}

TEST(DebugSession, BackThenForwardGivesTheSameStateAndTheRunsEnd) {
    std::mt19937_64 rng(32);
    int backs = 0;
    for (int k = 0; k < 2000; ++k) {
        const TestProgram p = randomProgram(rng);
        const std::uint64_t seed = rng();
        // The virtual clock: going back and forth reads the clock more often than a run does.
        ScriptedHost runHost(seed);
        RunOptions runOptions;
        runOptions.plain = true;
        runOptions.maxSteps = 2000;
        runOptions.virtualClock = true;
        const RunResult r = runprogram(p.code, runHost, runOptions);

        ScriptedHost host(seed);
        DebugOptions options;
        options.maxSteps = 2000;
        options.virtualClock = true;
        // Now and then a way back too small for the whole run: its oldest step moves on.
        if (rng() % 4 == 0) options.historyBytes = std::size_t{8} << (10 + rng() % 4);
        DebugSession s(p.debug(), host, options);
        std::mt19937_64 moves(seed);
        for (int guard = 0; guard < 1000 && !s.state().ended; ++guard) {
            randomMoves(s, moves, p, static_cast<int>(moves() % 4)); // sometimes to the end
            const DebugState before = s.state();
            const auto cells = s.cells();
            const std::int64_t depth = s.historyDepth();
            const auto n = static_cast<std::int64_t>(moves() % 40 + 1);
            const Stop back = s.back(n);
            const std::int64_t gone = before.steps - s.state().steps;
            ASSERT_EQ(gone, std::min(n, depth));
            ASSERT_EQ(back, n <= depth ? Stop::Back : Stop::HistoryEnd);
            for (std::int64_t j = 0; j < gone; ++j)
                s.stepi(1);
            const DebugState after = s.state();
            ASSERT_EQ(after.steps, before.steps) << p.code;
            ASSERT_EQ(after.pc, before.pc);
            ASSERT_EQ(after.cur, before.cur);
            ASSERT_EQ(after.opb, before.opb);
            ASSERT_EQ(after.opc, before.opc);
            ASSERT_EQ(after.display, before.display);
            ASSERT_EQ(after.ended, before.ended);
            ASSERT_EQ(s.cells(), cells) << p.code;
            ++backs;
            // Going back into the middle and on from there ends as the run did.
            s.back(static_cast<std::int64_t>(moves() % 10));
        }
        randomMoves(s, moves, p);
        const DebugState st = s.state();
        ASSERT_EQ(st.end, r.end) << p.code;
        ASSERT_EQ(st.steps, r.steps) << p.code;
        ASSERT_EQ(st.pc, r.pc);
        ASSERT_EQ(s.cells(), r.mem) << p.code;
    }
    EXPECT_GT(backs, 5000);
}

const std::string kCount = readFile(std::filesystem::path(TESSIVOR_EXAMPLES) / "count.tsasm");

TEST(DebugSession, BreakpointsStopBeforeTheirLineAfterAtLeastOneStep) {
    const TestProgram p = fromSource(kCount);
    RecordingHost host;
    DebugSession s(p.debug(), host);
    EXPECT_EQ(s.breakAtLine(9), 1); // dsp 01
    EXPECT_EQ(s.cont(), Stop::Breakpoint);
    DebugState st = s.state();
    EXPECT_EQ(st.line, 9);
    EXPECT_EQ(st.instruction, "dsp 01");
    EXPECT_EQ(st.display, "");
    EXPECT_EQ(s.cells()[1], "1");
    // Continuing from the breakpoint moves first, then stops there again.
    EXPECT_EQ(s.cont(), Stop::Breakpoint);
    EXPECT_EQ(s.state().display, "1");
    EXPECT_EQ(s.cells()[1], "2");
    EXPECT_TRUE(s.deleteBreakpoint(1));
    EXPECT_FALSE(s.deleteBreakpoint(1));
    EXPECT_EQ(s.cont(), Stop::Terminated);
    st = s.state();
    EXPECT_TRUE(st.ended);
    EXPECT_EQ(st.display, "10");
    EXPECT_EQ(st.instruction, "end");
    EXPECT_EQ(s.cont(), Stop::None); // an ended run does not move
    EXPECT_EQ(s.stepi(), Stop::None);
    // A line with no instruction never stops.
    s.restart();
    s.breakAtLine(2);
    s.breakAtPosition(5); // inside "set 01, 1;": a position breakpoint stops anywhere
    EXPECT_EQ(s.cont(), Stop::Breakpoint);
    EXPECT_EQ(s.state().pc, 5);
    EXPECT_EQ(s.state().instruction, "set 01, 1;");
}

TEST(DebugSession, StepRunsOneSourceInstruction) {
    const TestProgram p = fromSource(kCount);
    RecordingHost host;
    DebugSession s(p.debug(), host);
    EXPECT_EQ(s.state().instruction, "set 01, 1;");
    EXPECT_EQ(s.state().line, 5);
    EXPECT_EQ(s.step(), Stop::Step);
    EXPECT_EQ(s.state().steps, 3); // "a01", "s", "A1"
    EXPECT_EQ(s.state().line, 6);
    EXPECT_EQ(s.step(3), Stop::Step);
    EXPECT_EQ(s.state().instruction, "dsp 01");
    EXPECT_EQ(s.stepi(), Stop::Step);
    EXPECT_EQ(s.state().instruction, "dsp 01"); // pc inside the instruction
    EXPECT_EQ(s.backInstruction(), Stop::Back);
    EXPECT_EQ(s.state().instruction, "dsp 01");
    EXPECT_EQ(s.backInstruction(), Stop::Back);
    EXPECT_EQ(s.state().instruction, "lbl 01");
    EXPECT_EQ(s.back(100), Stop::HistoryEnd);
    EXPECT_EQ(s.state().steps, 0);
    EXPECT_EQ(s.state().pc, 1);
}

TEST(DebugSession, WatchesStopAfterTheStepThatChangedTheCell) {
    const TestProgram p = fromSource(kCount);
    RecordingHost host;
    DebugSession s(p.debug(), host);
    s.watchCell(2);
    EXPECT_EQ(s.watchCell(100), 0);
    EXPECT_EQ(s.cont(), Stop::Watch); // "set 02, 10;" clears it (no change), then appends "1"
    EXPECT_EQ(s.cells()[2], "1");
    EXPECT_EQ(s.cont(), Stop::Watch);
    EXPECT_EQ(s.cells()[2], "10");
    EXPECT_EQ(s.cont(), Stop::Terminated); // cell 02 never changes again
}

TEST(DebugSession, AFailedRunNamesItsInstruction) {
    const TestProgram p = fromSource("set 08, ;\r\nset 03, 5;\r\nifl 08, 03\r\neif\r\nend\r\n");
    RecordingHost host;
    DebugSession s(p.debug(), host);
    EXPECT_EQ(s.cont(), Stop::Error);
    const DebugState st = s.state();
    EXPECT_EQ(st.failure, Failure::TypeMismatch);
    EXPECT_EQ(st.end, RunEnd::Error);
    EXPECT_EQ(st.line, 3);
    EXPECT_EQ(st.instruction, "ifl 08, 03");
    EXPECT_EQ(st.reason, "cell 08 holds \"\" (empty), not a number");
    EXPECT_EQ(host.shown(), (std::vector<std::string>{"message:Type mismatch byte 19 op 106 j",
                                                      "message:Program Ended", "larp"}));
    // Going back from the end and on again fails in the same way.
    EXPECT_EQ(s.back(), Stop::Back);
    EXPECT_FALSE(s.state().ended);
    EXPECT_EQ(s.stepi(), Stop::Error);
}

TEST(DebugSession, InputStopsTheSessionWhenAskedAndIsReplayedGoingForwardAgain) {
    const TestProgram p = fromSource("set 01, Name?;\r\ninp 01, 02\r\nrnd 03, 04, 05\r\nend\r\n");
    RecordingHost host;
    host.random = 0.25f;
    DebugOptions options;
    options.stopForInput = true;
    DebugSession s(p.debug(), host, options);
    EXPECT_EQ(s.cont(), Stop::Input);
    EXPECT_EQ(s.state().inputPrompt, "Name?");
    EXPECT_EQ(s.cont(), Stop::Input); // still waiting
    s.provideInput("Ada");
    EXPECT_EQ(s.cont(), Stop::Error); // rnd on empty cells
    EXPECT_EQ(s.cells()[2], "Ada");
    host.random = 0.75f;
    s.back(8); // to before "a02" of the "inp"
    EXPECT_EQ(s.cells()[2], "");
    EXPECT_EQ(s.cont(), Stop::Error); // no second stop: the reply is replayed
    EXPECT_EQ(s.cells()[2], "Ada");
    for (const std::string& e : host.events)
        EXPECT_EQ(e.rfind("input:", 0), std::string::npos) << e;
}

// A move that stops for its input box goes on, once answered, as the same move would have gone
// with a host that blocks: the same place, the same steps, the same stop.
TEST(DebugSession, AMoveStoppedForInputResumesWithTheStepsItHadMade) {
    const TestProgram p = fromSource("set 01, Name?;\r\nset 03, x;\r\ninp 01, 02\r\ndsp 02\r\n"
                                     "set 04, y;\r\nset 05, z;\r\nend\r\n");
    struct Move {
        const char* name;
        std::function<Stop(DebugSession&)> go;
    };
    const std::vector<Move> moves = {
        {"step 4", [](DebugSession& s) { return s.step(4); }},
        {"stepi 20", [](DebugSession& s) { return s.stepi(20); }},
        {"continue", [](DebugSession& s) { return s.cont(); }},
    };
    for (const Move& move : moves) {
        RecordingHost blocking;
        blocking.replies = {"Ada"};
        DebugSession expected(p.debug(), blocking);
        const Stop wanted = move.go(expected);

        RecordingHost host;
        DebugOptions options;
        options.stopForInput = true;
        DebugSession s(p.debug(), host, options);
        EXPECT_EQ(s.resume(), Stop::None) << move.name; // nothing stopped for input yet
        ASSERT_EQ(move.go(s), Stop::Input) << move.name;
        s.provideInput("Ada");
        EXPECT_EQ(s.resume(), wanted) << move.name;
        EXPECT_EQ(s.state().pc, expected.state().pc) << move.name;
        EXPECT_EQ(s.state().steps, expected.state().steps) << move.name;
        EXPECT_EQ(s.cells(), expected.cells()) << move.name;
        EXPECT_EQ(s.resume(), Stop::None) << move.name; // once only
    }
    // A move or a restart in between ends what was stopped.
    RecordingHost host;
    DebugOptions options;
    options.stopForInput = true;
    DebugSession s(p.debug(), host, options);
    ASSERT_EQ(s.step(4), Stop::Input);
    s.restart();
    EXPECT_EQ(s.resume(), Stop::None);
    ASSERT_EQ(s.step(4), Stop::Input);
    EXPECT_EQ(s.back(), Stop::Back);
    EXPECT_EQ(s.resume(), Stop::None);
}

TEST(DebugSession, RandomTicksAndRepliesAreReplayedNotAskedAgain) {
    const TestProgram p = fromSource(
        "set 01, 1;\r\nset 02, 100;\r\nrnd 01, 02, 03\r\ntic 04\r\ninp 01, 05\r\nend\r\n");
    RecordingHost host;
    host.random = 0.5f;
    host.clock = 100;
    host.clockStep = 1;
    host.replies = {"first"};
    DebugSession s(p.debug(), host);
    EXPECT_EQ(s.cont(), Stop::Terminated);
    const auto cells = s.cells();
    host.random = 0.75f;
    host.replies = {"second"};
    s.back(s.historyDepth());
    EXPECT_EQ(s.cells()[3], "");
    EXPECT_EQ(s.cont(), Stop::Terminated);
    EXPECT_EQ(s.cells(), cells);
    // A restart asks afresh.
    s.restart();
    EXPECT_EQ(s.cont(), Stop::Terminated);
    EXPECT_EQ(s.cells()[3], "76");
    EXPECT_EQ(s.cells()[5], "second");
}

TEST(DebugSession, TheWayBackReachesEveryStepWithinItsMemory) {
    // An endless loop that appends 60 bytes to cell 02 a turn.
    const TestProgram p =
        fromSource("set 09, 1;\r\nset 01, "
                   "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx;\r\n"
                   "lbl 01\r\napd 01, 02\r\ngto 09\r\n");
    RecordingHost host;
    DebugOptions options;
    options.virtualClock = true;
    options.historyBytes = 1 << 20;
    DebugSession s(p.debug(), host, options);
    EXPECT_EQ(s.cont(3'000'000), Stop::Slice);
    ASSERT_GT(s.cells()[2].size(), 10'000'000u);
    // Far more than the way back may hold in checkpoints: the older ones went.
    EXPECT_GT(s.oldestStep(), 0);
    EXPECT_EQ(s.historyDepth(), 3'000'000 - s.oldestStep());
    const std::int64_t oldest = s.oldestStep();
    EXPECT_EQ(s.back(3'000'000), Stop::HistoryEnd);
    EXPECT_EQ(s.state().steps, oldest);
    EXPECT_EQ(s.back(1), Stop::HistoryEnd);

    // A loop of short texts keeps every step within reach, however long it runs.
    const TestProgram counting = fromSource(kCount);
    DebugSession c(counting.debug(), host, options);
    c.cont(5'000'000);
    EXPECT_EQ(c.oldestStep(), 0);
    EXPECT_EQ(c.goTo(1), Stop::Back);
    EXPECT_EQ(c.state().steps, 1);
    EXPECT_EQ(c.back(5), Stop::HistoryEnd);
    EXPECT_EQ(c.state().steps, 0);
}

TEST(DebugSession, PauseFromAnotherThreadStopsAContinue) {
    const TestProgram p = fromSource("set 09, 1;\r\nlbl 01\r\nidl\r\ngto 09\r\n");
    RecordingHost host;
    DebugSession s(p.debug(), host);
    std::thread pauser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        s.pause();
    });
    EXPECT_EQ(s.cont(), Stop::Paused);
    pauser.join();
    EXPECT_GT(s.state().steps, 0);
    EXPECT_EQ(s.cont(100), Stop::Slice);
}

/// Where a run stops at breakpoints (the steps done at each stop) when its continues are cut
/// into slices of `slice` steps (0: one call).
std::vector<std::int64_t> breakpointStops(const TestProgram& p, std::int32_t line,
                                          std::int64_t slice) {
    RecordingHost host;
    DebugSession s(p.debug(), host);
    s.breakAtLine(line);
    std::vector<std::int64_t> stops;
    for (int guard = 0; guard < 100000; ++guard) {
        const Stop stop = s.cont(slice);
        if (stop == Stop::Breakpoint) {
            stops.push_back(s.state().steps);
        } else if (stop != Stop::Slice) {
            break;
        }
    }
    return stops;
}

TEST(DebugSession, AContinueCutIntoSlicesStopsAtTheSameBreakpoints) {
    const TestProgram p = fromSource("set 01, 0;\nset 02, 6;\nset 90, 1;\nlbl 01\ninc 01\n"
                                     "ifl 01, 02\ngto 90\neif\nend\n");
    const std::vector<std::int64_t> whole = breakpointStops(p, 5, 0);
    ASSERT_EQ(whole.size(), 6u);
    // Some slices end exactly on the breakpoint: they stop there as one continue does, so a
    // page may cut a run into slices of any length.
    for (std::int64_t slice = 1; slice <= 13; ++slice)
        EXPECT_EQ(breakpointStops(p, 5, slice), whole) << "slices of " << slice;
}

TEST(DebugSession, ACodeStringThatCannotBePreparedDoesNotMove) {
    std::string code;
    for (int i = 0; i < 100; ++i)
        code += " v";
    RecordingHost host;
    DebugSession s({code, {}, {}}, host);
    EXPECT_EQ(s.cont(), Stop::PrepareFailed);
    EXPECT_EQ(s.back(), Stop::PrepareFailed);
    EXPECT_TRUE(s.state().ended);
    EXPECT_EQ(s.state().end, RunEnd::PrepareFailed);
    EXPECT_EQ(host.events, std::vector<std::string>{"caption:Tessivor 0.1 - Optimizing..."});
}

/// A fresh run of `p` stopped after `steps` steps, with the answers a ScriptedHost(seed) gives
/// and the virtual clock; `display` is the last text it showed.
struct FreshRun {
    RunResult result;
    std::string display;
};

FreshRun freshRun(const TestProgram& p, std::uint64_t seed, std::int64_t steps, bool plain) {
    FreshRun out;
    if (steps == 0) { // a step limit of 0 means none: the state before the first step
        out.result.pc = 1;
        return out;
    }
    ScriptedHost host(seed);
    RunOptions options;
    options.plain = plain;
    options.virtualClock = true;
    options.maxSteps = steps;
    out.result = runprogram(p.code, host, options);
    for (const std::string& e : host.events)
        if (e.rfind("display:", 0) == 0) out.display = e.substr(8);
    return out;
}

/// The session stands where a fresh run stopped after as many steps stands.
::testing::AssertionResult standsAsAFreshRun(const DebugSession& s, const TestProgram& p,
                                             std::uint64_t seed, bool plain) {
    const DebugState st = s.state();
    const FreshRun run = freshRun(p, seed, st.steps, plain);
    const RunResult& r = run.result;
    if (st.steps != 0 && r.steps != st.steps)
        return ::testing::AssertionFailure()
               << "the run made " << r.steps << " steps, not " << st.steps;
    if (st.pc != r.pc || st.cur != r.cur || st.opb != r.opb || st.opc != r.opc)
        return ::testing::AssertionFailure()
               << "at step " << st.steps << " the registers are " << st.pc << " " << st.cur << " "
               << st.opb << " " << st.opc << ", the run's " << r.pc << " " << r.cur << " " << r.opb
               << " " << r.opc;
    if (s.cells() != r.mem)
        return ::testing::AssertionFailure() << "at step " << st.steps << " the cells differ";
    if (st.display != run.display)
        return ::testing::AssertionFailure() << "at step " << st.steps << " the display shows \""
                                             << st.display << "\", not \"" << run.display << "\"";
    if (st.ended && st.end != RunEnd::StepLimit && (r.end != st.end || r.failure != st.failure))
        return ::testing::AssertionFailure() << "the run ends otherwise at step " << st.steps;
    return ::testing::AssertionSuccess();
}

TEST(TimeTravel, EveryMoveForwardOrBackStandsWhereAFreshRunStops) {
    std::mt19937_64 rng(41);
    std::map<Stop, int> seen;
    for (int k = 0; k < 1500; ++k) {
        const TestProgram p = randomProgram(rng);
        const std::uint64_t seed = rng();
        ScriptedHost host(seed);
        DebugOptions options;
        options.maxSteps = 3000;
        options.virtualClock = true;
        // Now and then a way back of a few checkpoints only, thinned early.
        if (rng() % 4 == 0) options.historyBytes = std::size_t{16} << (10 + rng() % 4);
        DebugSession s(p.debug(), host, options);
        std::set<std::int32_t> positions, lines;
        for (int move = 0; move < 30; ++move) {
            const std::int64_t before = s.steps();
            Stop stop = Stop::None;
            switch (rng() % 12) {
            case 0: stop = s.cont(); break;
            case 1: stop = s.cont(static_cast<std::int64_t>(rng() % 300)); break;
            case 2: stop = s.step(static_cast<std::int64_t>(rng() % 4 + 1)); break;
            case 3: stop = s.stepi(static_cast<std::int64_t>(rng() % 30 + 1)); break;
            case 4: stop = s.back(static_cast<std::int64_t>(rng() % 50 + 1)); break;
            case 5:
                stop = s.goTo(static_cast<std::int64_t>(
                    rng() % static_cast<std::uint64_t>(s.furthestStep() + 40)));
                break;
            case 6: stop = s.reverseStep(static_cast<std::int64_t>(rng() % 3 + 1)); break;
            case 7: {
                stop = s.reverseContinue();
                const DebugState st = s.state();
                if (stop == Stop::Breakpoint) {
                    const bool onLine = !p.map.empty() &&
                                        static_cast<std::size_t>(st.pc) < p.map.line.size() &&
                                        p.map.instructionStart[static_cast<std::size_t>(st.pc)] &&
                                        lines.count(p.map.line[static_cast<std::size_t>(st.pc)]);
                    ASSERT_TRUE(positions.count(st.pc) || onLine) << p.code;
                }
                if (stop == Stop::Breakpoint || stop == Stop::Watch) {
                    ASSERT_LT(st.steps, before);
                    ASSERT_TRUE(standsAsAFreshRun(s, p, seed, true)) << p.code;
                    // No stop lies between there and where it came from.
                    const Stop next = s.cont();
                    ASSERT_TRUE(s.steps() >= before || s.state().ended)
                        << p.code << " " << stopName(next);
                }
                break;
            }
            case 8: {
                const auto at = static_cast<std::int32_t>(rng() % (p.code.size() + 2));
                positions.insert(at);
                s.breakAtPosition(at);
                break;
            }
            case 9: {
                const auto line = static_cast<std::int32_t>(rng() % 40 + 1);
                lines.insert(line);
                s.breakAtLine(line);
                break;
            }
            case 10: s.watchCell(static_cast<std::int32_t>(rng() % 15)); break;
            default: stop = s.backInstruction(); break;
            }
            ++seen[stop];
            ASSERT_TRUE(standsAsAFreshRun(s, p, seed, move % 2 == 0))
                << p.code << "\nafter " << stopName(stop);
            ASSERT_LE(s.steps(), s.furthestStep());
            ASSERT_GE(s.steps(), s.oldestStep());
        }
    }
    EXPECT_GT(seen[Stop::Back], 1000);
    EXPECT_GT(seen[Stop::Breakpoint], 100);
    EXPECT_GT(seen[Stop::Watch], 100);
    EXPECT_GT(seen[Stop::HistoryEnd], 100);
}

TEST(TimeTravel, ALongRunGoesBackToAnyStep) {
    // Counting far: the checkpoints thin out many times on the way.
    const TestProgram p =
        fromSource("set 09, 1;\r\nset 01, 0;\r\nset 03, 1000000000;\r\nlbl 01\r\ninc 01\r\n"
                   "ifl 01, 03\r\neif\r\ndsp 01\r\ngto 09\r\n");
    RecordingHost host;
    DebugOptions options;
    options.virtualClock = true;
    DebugSession s(p.debug(), host, options);
    EXPECT_EQ(s.cont(20'000'000), Stop::Slice);
    for (const std::int64_t at :
         {std::int64_t{10'000'001}, std::int64_t{1}, std::int64_t{19'999'999}, std::int64_t{0},
          std::int64_t{123'457}}) {
        EXPECT_EQ(s.goTo(at), at < s.steps() ? Stop::Back : Stop::Step);
        EXPECT_TRUE(standsAsAFreshRun(s, p, 0, false)) << at;
    }
    EXPECT_EQ(s.goTo(20'000'000), Stop::Step);
    EXPECT_EQ(s.historyDepth(), 20'000'000);
    // Each "dsp" is on the timeline.
    const std::vector<Mark> marks = s.marks();
    ASSERT_EQ(marks.size(), kMaxMarks);
    EXPECT_EQ(marks[0].kind, Mark::Kind::Display);
    EXPECT_EQ(marks[2].step - marks[1].step, marks[1].step - marks[0].step);
}

TEST(TimeTravel, AWatchOnACellThatChangesEveryTurnStopsAtEachChangeBothWays) {
    const TestProgram p = fromSource(
        "set 09, 1;\r\nset 01, 0;\r\nset 03, 1000000000;\r\nlbl 01\r\ninc 01\r\ngto 09\r\n");
    RecordingHost host;
    DebugOptions options;
    options.virtualClock = true;
    DebugSession s(p.debug(), host, options);
    // Past the first checkpoints, so that the stops lie between two.
    EXPECT_EQ(s.cont(150'000), Stop::Slice);
    s.watchCell(1);
    std::vector<std::int64_t> stops;
    for (int k = 0; k < 40; ++k) {
        ASSERT_EQ(s.cont(), Stop::Watch);
        stops.push_back(s.steps());
        ASSERT_TRUE(standsAsAFreshRun(s, p, 0, false)) << k;
    }
    for (std::size_t k = 2; k < stops.size(); ++k)
        ASSERT_EQ(stops[k] - stops[k - 1], stops[1] - stops[0]) << k;
    for (std::size_t k = stops.size() - 1; k-- > 0;) {
        ASSERT_EQ(s.reverseContinue(), Stop::Watch);
        ASSERT_EQ(s.steps(), stops[k]);
    }
    ASSERT_TRUE(standsAsAFreshRun(s, p, 0, true));
}

TEST(TimeTravel, TheReasonOfAFailureFollowsAnEditOfTheCellItNames) {
    const TestProgram p = fromSource("set 02, 5;\r\nmul 01, 02, 03\r\nend\r\n");
    RecordingHost host;
    DebugSession s(p.debug(), host);
    ASSERT_EQ(s.cont(), Stop::Error);
    EXPECT_EQ(s.state().reason, "cell 01 holds \"\" (empty), not a number");
    ASSERT_TRUE(s.setCell(1, "x"));
    EXPECT_EQ(s.state().reason, "cell 01 holds \"x\", not a number");
    EXPECT_EQ(s.back(), Stop::Back);
    EXPECT_EQ(s.state().reason, "cell 01 holds \"\" (empty), not a number");
}

TEST(TimeTravel, AnEditIsAMoveOfItsOwnThatBackUndoes) {
    // Counts cell 01 up to cell 02 (5), then ends.
    const TestProgram p =
        fromSource("set 01, 0;\r\nset 02, 5;\r\nset 09, 1;\r\nlbl 01\r\ninc 01\r\n"
                   "ifl 01, 02\r\ngto 09\r\neif\r\nend\r\n");
    RecordingHost host;
    DebugSession s(p.debug(), host);
    EXPECT_EQ(s.stepi(40), Stop::Step);
    const std::int64_t at = s.steps();
    const std::string before = s.cells()[1];
    ASSERT_TRUE(s.setCell(1, "100")); // past cell 02: the loop ends at its test
    EXPECT_EQ(s.furthestStep(), at);
    EXPECT_EQ(s.back(), Stop::Back); // the edit alone
    EXPECT_EQ(s.steps(), at);
    EXPECT_EQ(s.cells()[1], before);
    ASSERT_TRUE(s.setCell(1, "100"));
    const Stop end = s.cont();
    EXPECT_EQ(end, Stop::Terminated);
    const std::int64_t endedAt = s.steps();
    // Going back over the edit and forward again makes it again: the run ends as early.
    EXPECT_LT(endedAt, at + 20);
    EXPECT_EQ(s.goTo(at - 1), Stop::Back);
    EXPECT_NE(s.cells()[1], "100");
    EXPECT_EQ(s.goTo(at), Stop::Step);
    EXPECT_EQ(s.cells()[1], "100");
    EXPECT_EQ(s.goTo(0), Stop::Back);
    EXPECT_EQ(s.cont(), Stop::Terminated);
    EXPECT_EQ(s.steps(), endedAt);
    const std::vector<Mark> marks = s.marks();
    EXPECT_TRUE(std::any_of(marks.begin(), marks.end(), [&](const Mark& m) {
        return m.kind == Mark::Kind::Edit && m.step == at;
    }));
    EXPECT_FALSE(s.setCell(100, "x"));
}

TEST(TimeTravel, InputsDrawsAndTicksAreReplayedNotAskedAgain) {
    const TestProgram p =
        fromSource("set 05, 1;\r\nset 06, 6;\r\ninp 01, 02\r\nrnd 05, 06, 03\r\ntic 04\r\n"
                   "dsp 02\r\nend\r\n");
    ScriptedHost host(7);
    DebugSession s(p.debug(), host);
    EXPECT_EQ(s.cont(), Stop::Terminated);
    const auto cells = s.cells();
    const std::size_t asked = host.replies.size();
    EXPECT_EQ(s.goTo(0), Stop::Back);
    EXPECT_EQ(s.cont(), Stop::Terminated);
    EXPECT_EQ(host.replies.size(), asked);
    EXPECT_EQ(s.cells(), cells);
}

} // namespace
} // namespace tessivor
