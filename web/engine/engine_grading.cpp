// The self-test: a teacher's test file run on the learner's program in the page, with the
// verdicts and first differences `tessivor-cli test --format json` gives. A student runs the
// visible cases only; the hidden ones are counted, neither run nor shown.

#include "grading/grading.h"
#include "runner/events/json.h"

#include <emscripten.h>
#include <emscripten/bind.h>

#include <atomic>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace tessivor::web {
namespace {

/// The browser's clock. Without threads nothing moves a pulse while a case runs: the grader
/// looks at the time every few steps, and each look moves the pulse once 2 ms have passed, as
/// the command line's background thread does.
class PageClock final : public grading::Clock {
public:
    double seconds() override {
        const double now = emscripten_get_now();
        if (now - moved_ >= 2) {
            moved_ = now;
            pulse_.fetch_add(1, std::memory_order_relaxed);
        }
        return now / 1000;
    }
    std::int32_t tickCount() override {
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now())));
    }
    const std::atomic<std::uint32_t>* tickPulse() override { return &pulse_; }

private:
    double moved_ = 0;
    std::atomic<std::uint32_t> pulse_{0};
};

/// {"error": "NAME:LINE:COLUMN: reason"} when the test file cannot be read; otherwise the
/// report of `tessivor-cli test --format json` for the one submission, over the visible cases,
/// with "hidden" (how many cases were left out) and "scored" (the text report shows the score)
/// first. The text is UTF-8, one byte a character.
std::string selfTest(const std::string& testText, const std::string& testName,
                     const std::string& program, const std::string& programName, bool isSource,
                     double timeoutSeconds) {
    grading::TestFile tests;
    std::string error;
    if (!grading::parseTestFile(testText, testName, tests, error)) {
        std::string out = "{\"error\": ";
        appendJsonString(out, error);
        return out + "}\n";
    }
    std::size_t hidden = 0;
    std::vector<grading::TestCase> visible;
    for (grading::TestCase& c : tests.cases) {
        if (c.hidden) {
            ++hidden;
        } else {
            visible.push_back(std::move(c));
        }
    }
    tests.cases = std::move(visible);

    PageClock clock;
    grading::GradeOptions options;
    options.timeoutSeconds = timeoutSeconds;
    options.clock = &clock;
    grading::SubmissionResult result;
    if (program.size() > grading::kMaxSubmissionBytes) {
        result = grading::unreadableSubmission(
            programName, tests,
            "larger than " + std::to_string(grading::kMaxSubmissionBytes >> 20) +
                " MiB, the most a submission may be");
    } else {
        try {
            const grading::Submission submission =
                grading::makeSubmission(programName, program, isSource);
            result = grading::gradeSubmission(submission, tests, options);
        } catch (const std::bad_alloc&) {
            result = grading::unreadableSubmission(programName, tests,
                                                   "out of memory while building it");
        }
    }
    const std::string report = grading::jsonReport({result});
    return "{\"hidden\": " + std::to_string(hidden) +
           (result.scored ? ", \"scored\": true, " : ", \"scored\": false, ") + report.substr(1);
}

} // namespace

void bindGrading() { emscripten::function("selfTest", &selfTest); }

} // namespace tessivor::web
