#include "cli/grading.h"

#include <gtest/gtest.h>

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
              "output, output_last, end, error, cells, steps, max_steps, seed, clock");
    EXPECT_EQ(parseError("[[case]]\ninput = [2, 3]\n"),
              "t.toml:2:10: \"input\": item 1 must be a text in double quotes");
    EXPECT_EQ(parseError("[[case]]\nend = \"crashed\"\n"),
              "t.toml:2:7: \"end\" must be \"terminated\", \"error\", \"past-end\" or "
              "\"step-limit\"");
    EXPECT_EQ(parseError("[defaults]\nmax_steps = 0\n[[case]]\n"),
              "t.toml:2:13: \"max_steps\" must be a whole number of at least 1");
    EXPECT_EQ(parseError("[defaults]\ntimeout = 3\n[[case]]\n"),
              "t.toml:2:1: unknown key \"timeout\" in [defaults]; it may have max_steps, seed, "
              "clock");
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
        "the program stopped with the error \"Type mismatch byte 62 op 100 d\" at step 31, "
        "line 5 (add 01, 02, 03), having shown 0 of 1 outputs; expected \"Program Terminated\"");
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

} // namespace
} // namespace tessivor::grading
