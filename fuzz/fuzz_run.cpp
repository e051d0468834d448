// The preparation pass and a bounded run of arbitrary bytes as a code string. Beyond "no crash,
// no sanitizer report", checks the tables against their definitions and the run's result
// against the promises of RunResult.

#include "fuzz/fuzz_host.h"
#include "runner/machine/prepare.h"
#include "runner/machine/run.h"

#include <new>
#include <string>

using namespace tessivor;
using fuzz::check;

namespace {

constexpr std::int64_t kMaxSteps = 20'000;

// The tables by their definitions, position by position, searching forward as the machine's
// description does. Quadratic, so only for short code strings.
void checkTables(const std::string& code, const Prepared& t) {
    const std::size_t n = code.size();
    check(t.codes.size() == n + 1 && t.eifpos.size() == n + 1 && t.addrs.size() == n + 1,
          "every table has entries 0..N");
    check(t.codes[0] == 32, "codes(0) is a space");
    int labels = 0;
    for (std::size_t i = 1; i <= n; ++i) {
        check(t.codes[i] == classify(static_cast<unsigned char>(code[i - 1])), "classification");
        std::int32_t eif = 0;
        for (std::size_t j = i; j <= n && eif == 0; ++j) {
            if (t.codes[j] == 107 && t.codes[j - 1] == 32) eif = static_cast<std::int32_t>(j);
        }
        check(t.eifpos[i] == eif, "eifpos is the nearest end-if marker at or after a position");
        if (t.codes[i] == 118 && t.codes[i - 1] == 32) {
            ++labels;
            if (labels == 100) {
                check(t.failedAt == static_cast<std::int32_t>(i), "the 100th label fails");
                return;
            }
            check(t.lblpos[labels] == static_cast<std::int32_t>(i), "lblpos");
        }
        if (i + 2 <= n && t.codes[i] == 97 && t.codes[i + 1] <= 9 && t.codes[i + 2] <= 9) {
            check(t.addrs[i] == 10 * t.codes[i + 1] + t.codes[i + 2], "addrs at a prefix");
        } else {
            check(t.addrs[i] == 0, "addrs elsewhere");
        }
    }
    check(t.failedAt == 0, "fewer than 100 labels prepare");
    for (int k = labels + 1; k < kLabels; ++k)
        check(t.lblpos[k] == 0, "unused labels are 0");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string code(reinterpret_cast<const char*>(data), size);
    if (size <= 2048) checkTables(code, prepare(code));

    fuzz::ScriptedHost host(size > 0 && data[0] % 2 == 0);
    RunOptions options;
    options.maxSteps = kMaxSteps;
    RunResult r;
    try {
        fuzz::MemoryBudget budget(std::size_t{256} << 20);
        r = runprogram(code, host, options);
    } catch (const std::bad_alloc&) {
        return 0; // needs more memory than a fuzz run may take
    }

    check(r.steps >= 0 && r.steps <= kMaxSteps, "steps within the limit");
    if (r.end == RunEnd::StepLimit) check(r.steps == kMaxSteps, "the step limit ends a run at it");
    if (r.end == RunEnd::Error) check(r.failure != Failure::None, "an error report has a failure");
    if (r.end == RunEnd::Terminated || r.end == RunEnd::PastEnd || r.end == RunEnd::StepLimit) {
        check(r.failure == Failure::None, "only failures carry a failure");
    }
    for (const std::string& cell : r.mem)
        check(cell.size() <= kMaxCellLength, "cell length");
    if (r.end == RunEnd::PastEnd) {
        check(r.pc > static_cast<std::int32_t>(size), "passing the end is past the last position");
    }
    if (r.end == RunEnd::PrepareFailed) {
        check(r.steps == 0 && host.events.size() == 1, "a failed preparation runs nothing");
    }
    if (r.end == RunEnd::Terminated || r.end == RunEnd::Error) {
        check(!host.events.empty() && host.events.back() == "L", "a run that ends enables larp");
    }
    return 0;
}
