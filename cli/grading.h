#pragma once
// Grading: a test file of cases (TOML), submissions built in memory, each case run in a fresh
// machine, and the reports `tessivor-cli test` writes (text, JSON, JUnit XML).

#include "assembler/translate/program.h"
#include "common/ends.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessivor::grading {

/// One case, with the defaults of its test file filled in.
struct TestCase {
    std::string name;
    std::int32_t line = 0;          ///< where its [[case]] stands in the test file
    std::vector<std::string> input; ///< one reply per input box; Cancel ("") once they run out
    std::optional<std::vector<std::string>> output; ///< every "dsp" text, in order
    std::optional<std::string> outputLast;          ///< the last "dsp" text only
    RunEnd end = RunEnd::Terminated;                ///< never PrepareFailed
    std::optional<std::string> error;               ///< a text the error report contains
    std::vector<std::pair<int, std::string>> cells; ///< cell number and its text at the end
    std::optional<std::int64_t> steps;              ///< the exact number of steps
    std::int64_t maxSteps = 10'000'000;
    std::uint64_t seed = 1;
    bool virtualClock = true;
};

struct TestFile {
    std::vector<TestCase> cases;
};

/// Reads a test file's text. On failure returns false with "NAME:LINE:COLUMN: reason" (the
/// first problem found) in `error`.
bool parseTestFile(std::string_view text, const std::string& name, TestFile& out,
                   std::string& error);

/// A submission ready to run, named as the user named its file; when it does not build,
/// buildError() says why ("sum.tsasm:2:9: the text of the "set" at 2:1 has no closing ";"").
using Submission = Program;

/// A .tsasm text is translated in memory; any other text is taken as a program file (without
/// a listing: places in it are positions).
Submission makeSubmission(std::string file, std::string_view text, bool isSource);

struct GradeOptions {
    double timeoutSeconds = 10;       ///< wall-clock limit of one case
    std::optional<bool> virtualClock; ///< overrides every case's clock when set
    bool plain = false;               ///< the straightforward step loop
};

struct CaseResult {
    std::string name;
    bool passed = false;
    std::string reason; ///< the first difference, "" when passed
    double seconds = 0;
};

struct SubmissionResult {
    std::string file;
    std::vector<CaseResult> cases;
    std::string buildError; ///< set when it did not build (every case then fails with it)
    int passed() const;
    int failed() const { return static_cast<int>(cases.size()) - passed(); }
};

/// Runs one case in a fresh machine and compares what it did with what the case expects.
CaseResult runCase(const Submission& submission, const TestCase& test, const GradeOptions& options);

/// Every case of `tests` against one submission.
SubmissionResult gradeSubmission(const Submission& submission, const TestFile& tests,
                                 const GradeOptions& options);

/// A line a submission, with the first difference of each failed case, and a summary line.
std::string textReport(const std::vector<SubmissionResult>& results);

/// {"passed": N, "failed": M, "submissions": [{"file", "passed", "failed", "cases":
/// [{"name", "passed", "reason"}]}]}, with a line end.
std::string jsonReport(const std::vector<SubmissionResult>& results);

/// JUnit XML: one testsuite a submission, one testcase a case, a failure element when failed.
std::string junitReport(const std::vector<SubmissionResult>& results, std::string_view name);

} // namespace tessivor::grading
