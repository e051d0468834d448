#pragma once
// Grading: a test file of cases (TOML), submissions built in memory, each case run in a fresh
// machine, and the reports `tessivor-cli test` writes (text, JSON, JUnit XML). It reads no file
// and starts no thread, and the clock it reads is the caller's: the command line and the page
// grade alike.

#include "assembler/translate/program.h"
#include "common/ends.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <regex>
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
    /// Each text must be shown, in this order; other texts may stand between them.
    std::optional<std::vector<std::string>> outputContains;
    /// Every "dsp" text, in order, each matching its pattern as a whole (ECMAScript syntax).
    std::optional<std::vector<std::string>> outputRegex;
    std::shared_ptr<const std::vector<std::regex>> patterns; ///< outputRegex, compiled
    bool ignoreCase = false; ///< texts compare with A to Z the same as a to z
    bool trim = false;       ///< blanks (spaces, tabs) at the end of a text do not count
    int points = 1;          ///< what passing the case adds to the score
    bool hidden = false;     ///< students see its name and whether it passed, no more
    std::size_t maxMemory = std::size_t{64} << 20; ///< bytes all the cells may hold together
    std::size_t maxOutput = std::size_t{1} << 20;  ///< bytes all "dsp" texts may hold together
};

struct TestFile {
    std::vector<TestCase> cases;
    bool allOrNothing = false;           ///< the full score only when every case passes, else 0
    std::optional<std::int64_t> maxSize; ///< a check: at most this many instructions
    std::optional<std::int64_t> maxStepsScore; ///< a check: every case within this many steps
    /// What each check adds to the score when passed, as a bonus beyond the full score; with 0
    /// (the default) a failed check fails the submission as a failed case does.
    int challengePoints = 0;
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

/// The longest submission file graded: 16 MiB, as the longest source `build` checks.
inline constexpr std::size_t kMaxSubmissionBytes = std::size_t{16} << 20;

/// A text for a line of the text report: control characters and DEL shown as \n, \x1b and
/// the like, so a name cannot start a line of its own or drive a terminal.
std::string visible(std::string_view text);

/// The clock a grader reads, given by whoever runs it: the system's on a terminal, the
/// browser's in the page.
class Clock {
public:
    virtual ~Clock() = default;
    /// Seconds from a fixed moment, never going back: the time limit and a case's seconds.
    virtual double seconds() = 0;
    /// The tick counter a program on the real clock reads (milliseconds, 32 bits).
    virtual std::int32_t tickCount() = 0;
    /// A counter that moves on every few milliseconds, or null (Host::tickPulse).
    virtual const std::atomic<std::uint32_t>* tickPulse() { return nullptr; }
};

/// The standard library's steady clock, without a pulse (the step loop then reads it at every
/// step): for tests, and where no other clock is given.
class SteadyClock final : public Clock {
public:
    double seconds() override;
    std::int32_t tickCount() override;
};

struct GradeOptions {
    double timeoutSeconds = 10;       ///< wall-clock limit of one case
    Clock* clock = nullptr;           ///< a SteadyClock when null
    std::optional<bool> virtualClock; ///< overrides every case's clock when set
    bool plain = false;               ///< the straightforward step loop
};

/// How a case ended, for reports that machines read.
enum class Status {
    Passed,
    WrongOutput,  ///< it ran, and what it did differs from the case
    Error,        ///< it stopped with an error report, or ran past its end, unexpectedly
    StepLimit,    ///< it was stopped at the step limit, unexpectedly
    TimeLimit,    ///< it took longer than the time limit
    MemoryLimit,  ///< its cells passed the memory limit
    OutputLimit,  ///< it showed more than the output limit
    DoesNotBuild, ///< the source does not build, or the program cannot be prepared
    Empty,        ///< the submission has no instructions
    Unreadable,   ///< the file cannot be read (no regular file, too large, gone)
};

/// "passed", "wrong_output", "error", "step_limit", "time_limit", "memory_limit",
/// "output_limit", "does_not_build", "empty", "unreadable".
std::string_view statusName(Status status);

struct CaseResult {
    std::string name;
    bool passed = false;
    std::string reason; ///< the first difference, "" when passed
    double seconds = 0;
    Status status = Status::Passed;
    int points = 1;         ///< what the case is worth
    bool hidden = false;    ///< students see only its name and whether it passed
    bool bonus = false;     ///< a challenge whose points come on top of the full score
    std::int64_t steps = 0; ///< steps the run took (0 when nothing ran)
    std::optional<std::string> expected{}; ///< the text expected where one differs
    std::optional<std::string> got{};      ///< what the program gave there
    std::optional<std::int64_t> step{};    ///< the step where it went wrong, when known
    std::int32_t line = 0;                 ///< that step's source line, 0 when none
    bool outOfMemory = false; ///< the grader's own memory ran out: worth a second run alone
};

struct SubmissionResult {
    std::string file;
    std::vector<CaseResult> cases;
    std::string buildError; ///< set when it did not build (every case then fails with it)
    std::int64_t size = 0;  ///< instructions (positions of the code for a bare program file)
    bool allOrNothing = false;
    bool scored = false; ///< points, all_or_nothing or challenges: reports show the score
    int passed() const;
    int failed() const;                ///< cases failed, bonus challenges not counted
    int score() const;                 ///< points of the passed cases (bonus included)
    int maxScore() const;              ///< points of every case, bonus not included
    std::int64_t longestSteps() const; ///< steps of the longest case
};

/// Every case failed with `reason` for a submission that could not be read.
SubmissionResult unreadableSubmission(std::string file, const TestFile& tests,
                                      const std::string& reason);

/// Runs one case in a fresh machine and compares what it did with what the case expects.
CaseResult runCase(const Submission& submission, const TestCase& test, const GradeOptions& options);

/// Every case of `tests` against one submission.
SubmissionResult gradeSubmission(const Submission& submission, const TestFile& tests,
                                 const GradeOptions& options);

/// Who reads a report: a student sees of a hidden case only its name and whether it passed.
struct ReportOptions {
    bool teacher = false;
};

/// A line a submission, with the first difference of each failed case, and a summary line.
std::string textReport(const std::vector<SubmissionResult>& results,
                       const ReportOptions& options = {});

/// {"passed": N, "failed": M, "submissions": [{"file", "passed", "failed", "score",
/// "max_score", "size", "cases": [{"name", "passed", "reason", "status", "points", "hidden",
/// "steps", ...}]}], "score", "max_score"}, with a line end (docs/test-report.schema.json).
std::string jsonReport(const std::vector<SubmissionResult>& results,
                       const ReportOptions& options = {});

/// JUnit XML: one testsuite a submission, one testcase a case, a failure element when failed
/// (an error element when the submission did not build or could not be read).
std::string junitReport(const std::vector<SubmissionResult>& results, std::string_view name,
                        const ReportOptions& options = {});

/// Gradescope's results.json: "score", "execution_time" and one test a case (named "FILE:
/// CASE" when there are several submissions), hidden cases "after_due_date".
std::string gradescopeReport(const std::vector<SubmissionResult>& results);

/// A class summary: a header, then one row a submission (file, score, max_score, passed,
/// failed, longest_steps, size).
std::string csvReport(const std::vector<SubmissionResult>& results);

} // namespace tessivor::grading
