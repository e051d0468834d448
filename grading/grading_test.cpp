#include "grading/grading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace tessivor::grading {
namespace {

TestFile parse(const std::string& text) {
    TestFile file;
    std::string error;
    EXPECT_TRUE(parseTestFile(text, "t.toml", file, error)) << error;
    return file;
}

std::string parseError(const std::string& text) {
    TestFile file;
    std::string error;
    EXPECT_FALSE(parseTestFile(text, "t.toml", file, error));
    return error;
}

TEST(TestFile, CasesInheritTheDefaultsAndOverrideThem) {
    const TestFile f = parse(R"(
[defaults]
max_steps = 500
seed = 7
clock = "real"

[[case]]
name = "sum"
input = ["2", "3"]
output = ["Sum: 5"]
cells = { "03" = "5", "4" = "" }

[[case]]
seed = 9
clock = "virtual"
output_last = "done"
error = "Type mismatch"
steps = 12
)");
    ASSERT_EQ(f.cases.size(), 2u);
    const TestCase& a = f.cases[0];
    EXPECT_EQ(a.name, "sum");
    EXPECT_EQ(a.line, 7);
    EXPECT_EQ(a.input, (std::vector<std::string>{"2", "3"}));
    EXPECT_EQ(a.output, (std::vector<std::string>{"Sum: 5"}));
    EXPECT_EQ(a.cells, (std::vector<std::pair<int, std::string>>{{3, "5"}, {4, ""}}));
    EXPECT_EQ(a.end, RunEnd::Terminated);
    EXPECT_EQ(a.maxSteps, 500);
    EXPECT_EQ(a.seed, 7u);
    EXPECT_FALSE(a.virtualClock);
    const TestCase& b = f.cases[1];
    EXPECT_EQ(b.name, "case 2");
    EXPECT_EQ(b.end, RunEnd::Error); // "error" alone implies it
    EXPECT_EQ(b.seed, 9u);
    EXPECT_TRUE(b.virtualClock);
    EXPECT_EQ(b.maxSteps, 500);
    EXPECT_EQ(b.steps, 12);

    const TestFile bare = parse("[[case]]\n");
    EXPECT_EQ(bare.cases[0].seed, 1u);
    EXPECT_TRUE(bare.cases[0].virtualClock);
    EXPECT_EQ(bare.cases[0].maxSteps, 10'000'000);
}

TEST(TestFile, MistakesNameTheFileLineAndColumn) {
    EXPECT_EQ(parseError("[[case]]\nname = \"a\"\noutptu = [\"1\"]\n"),
              "t.toml:3:1: unknown key \"outptu\" in a [[case]]; a case may have name, input, "
              "output, output_last, output_contains, output_regex, ignore_case, trim, end, "
              "error, cells, steps, points, hidden, max_steps, max_memory, max_output, seed, "
              "clock");
    EXPECT_EQ(parseError("[[case]]\ninput = [2, 3]\n"),
              "t.toml:2:10: \"input\": item 1 must be a text in double quotes");
    EXPECT_EQ(parseError("[[case]]\nend = \"crashed\"\n"),
              "t.toml:2:7: \"end\" must be \"terminated\", \"error\", \"past-end\" or "
              "\"step-limit\"");
    EXPECT_EQ(parseError("[defaults]\nmax_steps = 0\n[[case]]\n"),
              "t.toml:2:13: \"max_steps\" must be a whole number of at least 1");
    EXPECT_EQ(parseError("[defaults]\ntimeout = 3\n[[case]]\n"),
              "t.toml:2:1: unknown key \"timeout\" in [defaults]; it may have max_steps, "
              "max_memory, max_output, seed, clock, points, ignore_case, trim");
    EXPECT_EQ(parseError("[[case]]\ncells = { \"100\" = \"1\" }\n"),
              "t.toml:2:11: \"cells\": \"100\" is no cell number (00 to 99)");
    EXPECT_EQ(parseError("[[case]]\ncells = { \"01\" = 5 }\n"),
              "t.toml:2:18: \"cells.01\" must be a text in double quotes");
    EXPECT_EQ(parseError("[[case]]\noutput = [\"a\"]\noutput_last = \"a\"\n"),
              "t.toml:3:15: a case has \"output\" or \"output_last\", not both");
    EXPECT_EQ(parseError("[[case]]\nend = \"terminated\"\nerror = \"Overflow\"\n"),
              "t.toml:3:9: \"error\" needs end = \"error\"");
    EXPECT_EQ(parseError("[[case]]\nname = \"a\"\n[[case]]\nname = \"a\"\n"),
              "t.toml:3:1: a case named \"a\" already stands at line 1");
    EXPECT_EQ(parseError("title = \"x\"\n[[case]]\n"),
              "t.toml:1:1: unknown key \"title\"; a test file has [defaults] and [[case]]");
    EXPECT_EQ(parseError("case = 3\n"), "t.toml:1:8: \"case\" must be written as [[case]] tables");
    EXPECT_EQ(parseError("[defaults]\nseed = 1\n"), "t.toml:1:1: no [[case]] in the test file");
    // Syntax errors come from the TOML reader, with its place.
    EXPECT_EQ(parseError("[[case]]\nname = \"open\n").rfind("t.toml:2:", 0), 0u);
}

TEST(TestFile, PastEndIsReadUnderItsOldNameToo) {
    const TestFile f = parse("[[case]]\nend = \"past-end\"\n[[case]]\nend = \"passed-end\"\n");
    EXPECT_EQ(f.cases[0].end, RunEnd::PastEnd);
    EXPECT_EQ(f.cases[1].end, RunEnd::PastEnd);
    // The end no case can expect is no end for a test file.
    EXPECT_EQ(parseError("[[case]]\nend = \"prepare-failed\"\n").substr(0, 22),
              "t.toml:2:7: \"end\" must");
}

TEST(TestFile, TheFirstMistakeInTheTextIsReportedNotTheFirstByName) {
    EXPECT_EQ(parseError("[[case]]\nzzz = 1\naaa = 2\n").substr(0, 12), "t.toml:2:1: ");
}

// ---------------------------------------------------------------------------------------------

constexpr const char* kSum = "set 10, First?;\r\nset 11, Second?;\r\ninp 10, 01\r\ninp 11, 02\r\n"
                             "add 01, 02, 03\r\nset 04, Sum: ;\r\napd 03, 04\r\ndsp 04\r\nend\r\n";

TestCase sumCase() {
    TestCase c;
    c.name = "sum";
    c.input = {"2", "3"};
    c.output = std::vector<std::string>{"Sum: 5"};
    c.maxSteps = 100000;
    return c;
}

CaseResult grade(const std::string& source, const TestCase& c, GradeOptions options = {}) {
    return runCase(makeSubmission("s.tsasm", source, true), c, options);
}

TEST(RunCase, PassesWhenOutputEndCellsAndStepsAgree) {
    TestCase c = sumCase();
    c.cells = {{3, "5"}, {4, "Sum: 5"}};
    const CaseResult r = grade(kSum, c);
    EXPECT_TRUE(r.passed) << r.reason;
    EXPECT_EQ(r.reason, "");
    for (const bool plain : {false, true}) {
        GradeOptions o;
        o.plain = plain;
        o.virtualClock = false; // the fast loop, unless plain
        EXPECT_TRUE(grade(kSum, c, o).passed);
    }
}

TEST(RunCase, TheFirstDifferenceNamesExpectedGotAndTheStep) {
    TestCase c = sumCase();
    c.input = {"2", "4"};
    EXPECT_EQ(grade(kSum, c).reason,
              "output 1: expected \"Sum: 5\", got \"Sum: 6\" at step 44, line 8 (dsp 04)");
    // The fast loop (the real clock) runs a failed case once more, traced, to find the step.
    GradeOptions fast;
    fast.virtualClock = false;
    EXPECT_EQ(grade(kSum, c, fast).reason, grade(kSum, c).reason);
    c.input = {"2", "3"};
    c.output = std::vector<std::string>{};
    EXPECT_EQ(grade(kSum, c).reason,
              "output 1: expected no more output, got \"Sum: 5\" at step 44, line 8 (dsp 04)");
    c.output = std::vector<std::string>{"Sum: 5", "again"};
    EXPECT_EQ(grade(kSum, c).reason,
              "output 2: expected \"again\", but the program ended with \"Program Terminated\" at "
              "step 45, line 9 (end)");
    c.output.reset();
    c.cells = {{3, "6"}};
    EXPECT_EQ(grade(kSum, c).reason, "cell 03: expected \"6\", got \"5\"");
    c.cells.clear();
    c.steps = 60;
    EXPECT_EQ(grade(kSum, c).reason, "expected 60 steps, the program took 45");
    c.steps.reset();
    c.outputLast = "Sum: 6";
    EXPECT_EQ(grade(kSum, c).reason, "last output: expected \"Sum: 6\", got \"Sum: 5\"");
}

TEST(RunCase, InputsRunOutAsCancelAndErrorsAreMatchedByText) {
    TestCase c = sumCase();
    c.input = {"2"}; // the second box is cancelled: an empty cell is no number
    EXPECT_EQ(
        grade(kSum, c).reason,
        "the program stopped with the error \"Type mismatch byte 62 op 100 d\" (cell 02 holds "
        "\"\" (empty), not a number) at step 31, line 5 (add 01, 02, 03), having shown 0 of 1 "
        "outputs; expected \"Program Terminated\"");
    c.output.reset();
    c.end = RunEnd::Error;
    c.error = "Type mismatch";
    EXPECT_TRUE(grade(kSum, c).passed);
    c.error = "Overflow";
    EXPECT_EQ(grade(kSum, c).reason,
              "the error report \"Type mismatch byte 62 op 100 d\" does not contain \"Overflow\"");
}

TEST(RunCase, RunawaysStopAtTheStepLimitOrTheTimeLimit) {
    const std::string loop = "set 90, 1;\r\nlbl 01\r\ngto 90\r\n";
    TestCase c;
    c.maxSteps = 1000;
    EXPECT_EQ(grade(loop, c).reason,
              "the program was stopped at the step limit of 1000 steps; expected \"Program "
              "Terminated\"");
    c.end = RunEnd::StepLimit;
    EXPECT_TRUE(grade(loop, c).passed);

    // A loop that never calls the host: both step loops still give it a chance to stop the
    // run, on either clock.
    c.end = RunEnd::Terminated;
    c.maxSteps = 1'000'000'000'000;
    for (const bool plain : {false, true}) {
        for (const bool virtualClock : {false, true}) {
            GradeOptions o;
            o.timeoutSeconds = 0.2;
            o.plain = plain;
            o.virtualClock = virtualClock;
            const CaseResult r = grade(loop, c, o);
            EXPECT_EQ(r.reason, "took longer than the time limit of 0.2 s")
                << plain << virtualClock;
            EXPECT_LT(r.seconds, 3.0);
        }
    }

    // Steps that copy long texts are slow: the host would hear from a virtual-clock run only
    // after a million of them, hours later. Cell 01 doubles to 16 MB, then is copied for ever.
    const std::string copies = "set 01, " + std::string(64, 'x') +
                               ";\r\nset 03, 0;\r\nset 04, 18;\r\nset 90, 1;\r\nset 91, 2;\r\n"
                               "lbl 01\r\napd 01, 01\r\ninc 03\r\nifl 03, 04\r\ngto 90\r\neif\r\n"
                               "lbl 02\r\nclr 02\r\napd 01, 02\r\ngto 91\r\n";
    GradeOptions quick;
    quick.timeoutSeconds = 0.3;
    const CaseResult slow = grade(copies, c, quick);
    EXPECT_EQ(slow.reason, "took longer than the time limit of 0.3 s");
    EXPECT_LT(slow.seconds, 3.0);

    TestCase past;
    past.end = RunEnd::PastEnd;
    EXPECT_TRUE(grade("idl\r\n", past).passed);
    past.end = RunEnd::Terminated;
    EXPECT_EQ(grade("idl\r\n", past).reason,
              "the program ran past its last position without \"end\" at step 4 (position 4); "
              "expected \"Program Terminated\"");
}

/// A clock that moves only when read: a second a look, ticks from 5000.
class JumpingClock final : public Clock {
public:
    double seconds() override { return ++looks; }
    std::int32_t tickCount() override { return 5000; }
    int looks = 0;
};

TEST(RunCase, TheTimeLimitAndTicCountOnTheCallersClock) {
    // The page has no system clock to read: the grader's time is the clock it is given.
    JumpingClock clock;
    GradeOptions o;
    o.clock = &clock;
    o.timeoutSeconds = 5;
    TestCase c;
    c.maxSteps = 1'000'000'000'000;
    const auto start = std::chrono::steady_clock::now();
    const CaseResult r = grade("set 90, 1;\nlbl 01\ngto 90\n", c, o);
    EXPECT_EQ(r.status, Status::TimeLimit);
    EXPECT_EQ(r.reason, "took longer than the time limit of 5 s");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2);
    EXPECT_GE(r.seconds, 5);

    JumpingClock fresh;
    o.clock = &fresh;
    o.timeoutSeconds = 1000;
    TestCase tic;
    tic.virtualClock = false;
    tic.output = std::vector<std::string>{"5000"};
    EXPECT_EQ(grade("tic 01\ndsp 01\nend\n", tic, o).reason, "");
}

TEST(RunCase, AProgramThatCannotBePreparedSaysWhy) {
    std::string labels;
    for (int i = 0; i < 100; ++i)
        labels += "lbl 01\r\n";
    TestCase c;
    EXPECT_EQ(grade(labels + "end\r\n", c).reason,
              "the program has more than 99 labels and cannot run; expected \"Program "
              "Terminated\"");
}

TEST(RunCase, SeedAndVirtualClockMakeRunsReproducible) {
    // Ten dice and the clock, shown; the same seed gives the same texts every time.
    const std::string dice =
        "set 01, 1;\r\nset 02, 6;\r\nclr 04\r\nrnd 01, 02, 03\r\napd 03, 04\r\n"
        "rnd 01, 02, 03\r\napd 03, 04\r\nrnd 01, 02, 03\r\napd 03, 04\r\n"
        "tic 05\r\ndsp 04\r\ndsp 05\r\nend\r\n";
    TestCase c;
    c.seed = 42;
    c.outputLast = "1000";
    const CaseResult first = grade(dice, c);
    EXPECT_TRUE(first.passed) << first.reason;
    c.cells = {{4, ""}};
    const std::string reason = grade(dice, c).reason;
    EXPECT_EQ(grade(dice, c).reason, reason);
    c.seed = 43;
    EXPECT_NE(grade(dice, c).reason, reason);
}

TEST(RunCase, ASubmissionThatDoesNotBuildFailsEveryCase) {
    const Submission s = makeSubmission("bad.tsasm", "set 01, no end\r\ndsp 01\r\n", true);
    EXPECT_FALSE(s.built);
    TestFile tests;
    tests.cases = {sumCase(), sumCase()};
    const SubmissionResult r = gradeSubmission(s, tests, {});
    EXPECT_EQ(r.passed(), 0);
    EXPECT_EQ(r.failed(), 2);
    EXPECT_EQ(r.cases[1].reason,
              "does not build: bad.tsasm:1:9: the text of the \"set\" at 1:1 has no closing \";\"");
    // A program file is run as it stands; with no source, a place is a position in it.
    TestCase ends;
    EXPECT_TRUE(runCase(makeSubmission("p.tsp", "p\r\n", false), ends, {}).passed);
    ends.output = std::vector<std::string>{"Ho"};
    EXPECT_EQ(runCase(makeSubmission("p.tsp", "a01sAHAia01wp\r\n", false), ends, {}).reason,
              "output 1: expected \"Ho\", got \"Hi\" at step 6 (position 12)");
}

TEST(Reports, TextJsonAndJunitAgreeOnTheCounts) {
    SubmissionResult a{
        "a.tsasm", {{"one", true, "", 0.5}, {"two", false, "got \"<x>\"", 0.25}}, ""};
    SubmissionResult b{"b\xe9.tsasm", {{"one", false, "does not build", 0}}, "does not build"};
    const std::vector<SubmissionResult> results{a, b};
    EXPECT_EQ(textReport(results), "a.tsasm: 1 of 2 cases passed\n"
                                   "  failed \"two\": got \"<x>\"\n"
                                   "b\xe9.tsasm: 0 of 1 cases passed\n"
                                   "  does not build: does not build\n"
                                   "1 of 3 cases passed; 0 of 2 submissions passed every case\n");
    const std::string json = jsonReport(results);
    EXPECT_EQ(json.substr(0, 47), "{\"passed\": 1, \"failed\": 2, \"submissions\": [\n  {");
    EXPECT_NE(json.find("\"reason\": \"got \\\"<x>\\\"\""), std::string::npos);
    const std::string xml = junitReport(results, "sum");
    EXPECT_NE(xml.find("<testsuites name=\"sum\" tests=\"3\" failures=\"2\""), std::string::npos);
    EXPECT_NE(xml.find("message=\"got &quot;&lt;x&gt;&quot;\""), std::string::npos);
    EXPECT_NE(xml.find("name=\"b\xc3\xa9.tsasm\""), std::string::npos); // a byte, in UTF-8
}

// ---------------------------------------------------------------------------------------------
// Hostile test files and submissions

TEST(TestFile, KeysOfTooManyPartsAreRefusedBeforeTheReaderRecursesIntoThem) {
    std::string dotted = "a";
    for (int i = 0; i < 40000; ++i)
        dotted += ".a";
    EXPECT_EQ(parseError("[[case]]\nname = \"d\"\n" + dotted + " = 1\n"),
              "t.toml:3:128: a key has more than 64 dotted parts");
    EXPECT_EQ(parseError("[" + dotted + "]\n[[case]]\n"),
              "t.toml:1:129: a key has more than 64 dotted parts");
    EXPECT_EQ(parseError("x = { " + dotted + " = 1 }\n").substr(0, 12), "t.toml:1:134");
    // Dots in texts, comments and numbers are no key's parts.
    const std::string dots(300, '.');
    const TestFile f = parse("# " + dots + "\n[[case]]\nname = \"" + dots + "\"\ninput = ['" +
                             dots + "', \"\"\"\n" + dots + "\"\"\"]\n");
    EXPECT_EQ(f.cases[0].name, dots);
    EXPECT_EQ(parseError("[[case]]\nmax_steps = 1.5\n").substr(0, 24),
              "t.toml:2:13: \"max_steps\"");
}

TEST(TestFile, ManyCasesAreReadInLinearTime) {
    std::string text;
    for (int i = 0; i < 60000; ++i)
        text += "[[case]]\nname = \"c" + std::to_string(i) + "\"\n";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(parse(text).cases.size(), 60000u);
    // Comparing each name with every earlier one took half a minute here.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 8);
    EXPECT_EQ(parseError(text + "[[case]]\nname = \"c7\"\n"),
              "t.toml:120001:1: a case named \"c7\" already stands at line 15");
}

TEST(TestFile, PointsVisibilityComparisonsLimitsAndChallenges) {
    const TestFile f = parse(R"(
all_or_nothing = true
max_size = 12
max_steps_score = 50
challenge_points = 2
[defaults]
points = 3
trim = true
max_memory = 4096
[[case]]
hidden = true
output_contains = ["a", "b"]
ignore_case = true
max_output = 10
[[case]]
points = 0
output_regex = ["Sum: -?[0-9]+"]
)");
    EXPECT_TRUE(f.allOrNothing);
    EXPECT_EQ(f.maxSize, 12);
    EXPECT_EQ(f.maxStepsScore, 50);
    EXPECT_EQ(f.challengePoints, 2);
    const TestCase& a = f.cases[0];
    EXPECT_EQ(a.points, 3);
    EXPECT_TRUE(a.hidden && a.trim && a.ignoreCase);
    EXPECT_EQ(a.outputContains, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(a.maxMemory, 4096u);
    EXPECT_EQ(a.maxOutput, 10u);
    EXPECT_EQ(f.cases[1].points, 0);
    EXPECT_FALSE(f.cases[1].hidden);
    EXPECT_EQ(f.cases[1].maxOutput, std::size_t{1} << 20);
    EXPECT_EQ(parse("[[case]]\n").cases[0].maxMemory, std::size_t{64} << 20);

    EXPECT_EQ(parseError("[[case]]\noutput_regex = [\"(\"]\n").substr(0, 49),
              "t.toml:2:17: \"output_regex\": item 1 is no pattern");
    EXPECT_EQ(parseError("[[case]]\noutput = [\"a\"]\noutput_contains = [\"a\"]\n"),
              "t.toml:3:19: a case has one of \"output\", \"output_last\", \"output_contains\" "
              "and \"output_regex\"");
    EXPECT_EQ(parseError("[[case]]\nhidden = 1\n"),
              "t.toml:2:10: \"hidden\" must be true or false");
    EXPECT_EQ(parseError("[[case]]\nmax_memory = 10\n"),
              "t.toml:2:14: \"max_memory\" must be a whole number from 1024 to 1073741824");
    EXPECT_EQ(parseError("challenge_points = 1\n[[case]]\n"),
              "t.toml:1:20: \"challenge_points\" needs \"max_size\" or \"max_steps_score\"");
}

TEST(RunCase, LimitsFailTheCaseWithTheirNameAndTheStep) {
    // Doubling a text: past 1 MiB in all at the 17th doubling of 16 characters.
    const std::string bomb = "set 01, 0123456789abcdef;\r\nset 90, 1;\r\nlbl 01\r\napd 01, 01\r\n"
                             "gto 90\r\n";
    TestCase c;
    c.maxMemory = std::size_t{1} << 20;
    for (const bool plain : {false, true}) {
        GradeOptions o;
        o.plain = plain;
        const CaseResult r = grade(bomb, c, o);
        EXPECT_EQ(r.status, Status::MemoryLimit);
        EXPECT_EQ(r.reason, "the program passed the memory limit of 1 MiB for its cells at step "
                            "117, line 4 (apd 01, 01)");
        EXPECT_EQ(r.step, 117);
        EXPECT_EQ(r.line, 4);
    }
    // A flood of output stops at the output limit, with the step that passed it.
    const std::string flood = "set 01, 0123456789;\r\nset 90, 1;\r\nlbl 01\r\ndsp 01\r\ngto 90\r\n";
    c.maxOutput = 1000;
    const CaseResult f = grade(flood, c);
    EXPECT_EQ(f.status, Status::OutputLimit);
    EXPECT_EQ(f.reason, "the program showed more than the output limit of 1000 bytes at step 419, "
                        "line 4 (dsp 01)");
    // Under the default limit of 64 MiB, one cell cannot grow to a cell's own limit of 64 MiB
    // while another holds a character; past it, the longest text is the program's own failure.
    c.maxOutput = std::size_t{1} << 20;
    EXPECT_EQ(grade(bomb, TestCase{}).status, Status::MemoryLimit);
    c.maxMemory = std::size_t{128} << 20;
    c.end = RunEnd::Error;
    c.error = "Out of string space";
    EXPECT_TRUE(grade(bomb, c).passed) << grade(bomb, c).reason;
}

TEST(RunCase, TheRealClockLimitHoldsForStepsOnLongTexts) {
    // 26 doublings to 64 MiB, then a loop that copies it: each step takes milliseconds.
    std::string slow = "set 01, x;\r\n";
    for (int i = 0; i < 26; ++i)
        slow += "apd 01, 01\r\n";
    slow += "set 90, 1;\r\nlbl 01\r\nclr 02\r\napd 01, 02\r\ngto 90\r\n";
    TestCase c;
    c.maxMemory = std::size_t{256} << 20;
    GradeOptions o;
    o.timeoutSeconds = 0.1;
    o.virtualClock = false;
    const CaseResult r = grade(slow, c, o);
    EXPECT_EQ(r.status, Status::TimeLimit);
    EXPECT_LT(r.seconds, 0.1 + 0.25);
}

TEST(RunCase, StatusesNameHowACaseEnded) {
    TestCase c = sumCase();
    EXPECT_EQ(grade(kSum, c).status, Status::Passed);
    c.input = {"2", "4"};
    const CaseResult wrong = grade(kSum, c);
    EXPECT_EQ(wrong.status, Status::WrongOutput);
    EXPECT_EQ(wrong.expected, "Sum: 5");
    EXPECT_EQ(wrong.got, "Sum: 6");
    EXPECT_EQ(wrong.step, 44);
    EXPECT_EQ(wrong.line, 8);
    c.input = {"2"};
    const CaseResult error = grade(kSum, c);
    EXPECT_EQ(error.status, Status::Error);
    EXPECT_EQ(error.line, 5);
    c.input = {"2", "3"};
    c.maxSteps = 10;
    EXPECT_EQ(grade(kSum, c).status, Status::StepLimit);
    EXPECT_EQ(grade("set 01, no end\r\n", c).status, Status::DoesNotBuild);
    // A source of comments alone has nothing to run.
    const CaseResult empty = grade("// nothing yet //\r\n", c);
    EXPECT_EQ(empty.status, Status::Empty);
    EXPECT_EQ(empty.reason, "the program is empty: it has no instructions");
    EXPECT_EQ(runCase(makeSubmission("p.tsp", "\r\n", false), c, {}).status, Status::Empty);
    EXPECT_EQ(statusName(Status::WrongOutput), "wrong_output");
}

TEST(RunCase, ControlCharactersInAnInstructionAreShownVisibly) {
    // An operand at a line end takes the line break into the instruction's text.
    TestCase c;
    const std::string reason = grade("set 01, 2;\nmul 01,02, 03\nend\n", c).reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    EXPECT_NE(reason.find("(cell 00 holds \"\" (empty), not a number) at step 9, line 2 (mul 01, "
                          "2,, 3\\n)"),
              std::string::npos)
        << reason;
}

TEST(RunCase, ComparisonsBeyondExactText) {
    const std::string three = "set 01, Hello  ;\r\nset 02, x;\r\nset 03, Sum: 42;\r\n"
                              "dsp 01\r\ndsp 02\r\ndsp 03\r\nend\r\n";
    TestCase c;
    c.output = std::vector<std::string>{"hello", "X", "sum: 42"};
    EXPECT_FALSE(grade(three, c).passed);
    c.ignoreCase = true;
    EXPECT_EQ(grade(three, c).reason, "output 1: expected \"hello\", got \"Hello  \" at step 23, "
                                      "line 4 (dsp 01)");
    c.trim = true;
    EXPECT_TRUE(grade(three, c).passed) << grade(three, c).reason;

    TestCase contains;
    contains.outputContains = std::vector<std::string>{"Hello  ", "Sum: 42"};
    EXPECT_TRUE(grade(three, contains).passed);
    contains.outputContains = std::vector<std::string>{"Sum: 42", "x"};
    EXPECT_EQ(grade(three, contains).reason, "expected the output \"x\" after \"Sum: 42\", but "
                                             "the program showed it nowhere in its 3 outputs");

    const TestFile regex = parse("[[case]]\noutput_regex = [\"H.*\", \"[a-z]\", \"Sum: "
                                 "[0-9]+\"]\n[[case]]\noutput_regex = [\"H.*\", \"[0-9]\"]\n");
    EXPECT_TRUE(grade(three, regex.cases[0]).passed) << grade(three, regex.cases[0]).reason;
    EXPECT_EQ(grade(three, regex.cases[1]).reason,
              "output 2: \"x\" does not match \"[0-9]\" at step 25, line 5 (dsp 02)");

    // Long texts: the stretch around the first difference, and where it is.
    TestCase last;
    last.outputLast = std::string(500, 'a') + "b" + std::string(100, 'a');
    const std::string longText = "set 01, " + std::string(600, 'a') + ";\r\ndsp 01\r\nend\r\n";
    EXPECT_EQ(grade(longText, last).reason,
              "last output: expected ...\"" + std::string(20, 'a') + "b" + std::string(59, 'a') +
                  "\" (601 characters), got ...\"" + std::string(80, 'a') +
                  "\" (600 characters), first different at character 501");
}

TEST(Grading, PointsAllOrNothingAndChallenges) {
    const TestFile f = parse("max_size = 9\nmax_steps_score = 50\nchallenge_points = 1\n"
                             "[[case]]\nname = \"sum\"\npoints = 2\ninput = [\"2\", \"3\"]\n"
                             "output = [\"Sum: 5\"]\n[[case]]\nname = \"more\"\npoints = 3\n"
                             "input = [\"2\", \"4\"]\noutput = [\"Sum: 5\"]\n");
    SubmissionResult r = gradeSubmission(makeSubmission("s.tsasm", kSum, true), f, {});
    ASSERT_EQ(r.cases.size(), 4u);
    EXPECT_EQ(r.size, 9);
    EXPECT_EQ(r.passed(), 1);
    EXPECT_EQ(r.failed(), 1); // the challenges are a bonus: not failures
    EXPECT_EQ(r.maxScore(), 5);
    EXPECT_EQ(r.score(), 2); // 2 for "sum"; the size counts only when every case passes
    EXPECT_EQ(r.cases[3].reason, "counts only when every case passes");
    EXPECT_EQ(r.longestSteps(), 45);
    EXPECT_EQ(textReport({r}), "s.tsasm: 1 of 2 cases passed, score 2 of 5\n"
                               "  failed \"more\": output 1: expected \"Sum: 5\", got \"Sum: 6\" "
                               "at step 44, line 8 (dsp 04)\n"
                               "  missed \"size: at most 9 instructions\": counts only when "
                               "every case passes\n"
                               "  missed \"steps: at most 50 in every case\": counts only when "
                               "every case passes\n"
                               "1 of 2 cases passed; 0 of 1 submissions passed every case\n");
    r.allOrNothing = true;
    EXPECT_EQ(r.score(), 0);
    const TestFile small = parse("max_size = 9\nchallenge_points = 4\n[[case]]\n"
                                 "input = [\"2\", \"3\"]\n");
    const SubmissionResult t = gradeSubmission(makeSubmission("s.tsasm", kSum, true), small, {});
    EXPECT_EQ(t.score(), 5); // 1 for the case, a bonus of 4 for the size
    EXPECT_EQ(t.maxScore(), 1);
    // Without bonus points a challenge is a condition the submission fails.
    const TestFile strict = parse("max_size = 8\n[[case]]\ninput = [\"2\", \"3\"]\n"
                                  "output = [\"Sum: 5\"]\n");
    const SubmissionResult s = gradeSubmission(makeSubmission("s.tsasm", kSum, true), strict, {});
    EXPECT_EQ(s.failed(), 1);
    EXPECT_EQ(s.cases[1].reason, "the program has 9 instructions, more than 8");
}

TEST(Reports, HiddenCasesShowOnlyTheirNameToStudents) {
    CaseResult open{"open", false, "output 1: expected \"1\", got \"2\"", 0.5};
    open.status = Status::WrongOutput;
    open.expected = "1";
    open.got = "2";
    open.points = 2;
    CaseResult secret = open;
    secret.name = "secret";
    secret.hidden = true;
    CaseResult build{"built", false, "does not build: x", 0};
    build.status = Status::DoesNotBuild;
    SubmissionResult a{"a.tsasm", {open, secret}, ""};
    a.scored = true;
    SubmissionResult b{"b.tsasm", {build}, ""};
    const std::vector<SubmissionResult> results{a, b};
    const std::string student = textReport(results);
    EXPECT_NE(student.find("  failed \"secret\" (a hidden case)\n"), std::string::npos) << student;
    EXPECT_EQ(student.find("got \"2\"", student.find("secret")), std::string::npos);
    ReportOptions teacher;
    teacher.teacher = true;
    EXPECT_NE(textReport(results, teacher).find("  failed \"secret\": output 1"),
              std::string::npos);
    const std::string json = jsonReport(results);
    EXPECT_NE(json.find("{\"name\": \"secret\", \"passed\": false, \"reason\": \"\", \"status\": "
                        "\"wrong_output\", \"points\": 0, \"max_points\": 2, \"hidden\": true, "
                        "\"steps\": 0}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"expected\": \"1\", \"got\": \"2\""), std::string::npos);
    EXPECT_NE(jsonReport(results, teacher).find("\"hidden\": true, \"steps\": 0, \"expected\""),
              std::string::npos);
    const std::string xml = junitReport(results, "t");
    EXPECT_NE(xml.find("<failure message=\"a hidden case failed\""), std::string::npos);
    EXPECT_NE(xml.find("<error message=\"does not build: x\" type=\"does_not_build\">"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("tests=\"3\" failures=\"2\" errors=\"1\""), std::string::npos);

    const std::string gradescope = gradescopeReport(results);
    EXPECT_EQ(gradescope.substr(0, 48), "{\"score\": 0, \"execution_time\": 1.000, \"tests\": [");
    EXPECT_NE(gradescope.find("{\"name\": \"a.tsasm: secret\", \"score\": 0, \"max_score\": 2, "
                              "\"status\": \"failed\", \"output\": \"output 1: expected \\\"1\\\", "
                              "got \\\"2\\\"\", \"visibility\": \"after_due_date\"}"),
              std::string::npos)
        << gradescope;
    EXPECT_EQ(csvReport(results), "file,score,max_score,passed,failed,longest_steps,size\n"
                                  "a.tsasm,0,4,0,2,0,0\nb.tsasm,0,1,0,1,0,0\n");
}

TEST(Reports, NamesCannotForgeLinesOrBreakTheFormats) {
    CaseResult c{"case\x1b[31m red\n", true, "", 0};
    SubmissionResult a{"m.tsasm: 1 of 1 cases passed\n\n.tsasm", {c}, ""};
    SubmissionResult b{"u\xef\xbf\xbf.tsasm", {c}, ""};
    SubmissionResult d{"=HYPERLINK(\"x\"),1.tsasm", {c}, ""};
    const std::vector<SubmissionResult> results{a, b, d};
    const std::string text = textReport(results);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "m.tsasm: 1 of 1 cases passed\\n\\n.tsasm: 1 of 1 cases passed");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    // XML 1.0 has no U+FFFE and U+FFFF.
    const std::string xml = junitReport(results, "\xef\xbf\xbe");
    EXPECT_EQ(xml.find("\xef\xbf\xbf"), std::string::npos);
    EXPECT_EQ(xml.find("\xef\xbf\xbe"), std::string::npos);
    EXPECT_NE(xml.find("name=\"u?.tsasm\""), std::string::npos);
    EXPECT_NE(xml.find("name=\"case?[31m red&#10;\""), std::string::npos) << xml;
    // A spreadsheet takes no formula from a file name.
    EXPECT_NE(csvReport(results).find("\n\"'=HYPERLINK(\"\"x\"\"),1.tsasm\",1,1,1,0,0,0\n"),
              std::string::npos)
        << csvReport(results);
}

} // namespace
} // namespace tessivor::grading
