#include "runner/machine/run.h"

#include "runner/machine/interpreters.h"
#include "runner/machine/prepare.h"

#include <limits>

namespace tessivor {

std::string speedCaption(std::int64_t steps) {
    const std::int64_t hundredths = (steps + 5000) / 10000; // millions, rounded to two places
    std::string caption = kCaption;
    caption += " - ";
    caption += std::to_string(hundredths / 100);
    caption += '.';
    caption += static_cast<char>('0' + hundredths % 100 / 10);
    caption += static_cast<char>('0' + hundredths % 10);
    caption += "mhz";
    return caption;
}

std::string errorReport(Failure failure, std::int32_t pc, std::int32_t code) {
    std::string report = failureDescription(failure);
    report += " byte ";
    report += std::to_string(pc);
    report += " op ";
    report += std::to_string(code);
    report += ' ';
    report += static_cast<char>(code);
    return report;
}

void announceEnd(Host& host, RunEnd end, Failure failure, std::int32_t pc, std::int32_t code) {
    switch (end) {
    case RunEnd::Terminated: host.messageBox("Program Terminated"); break;
    case RunEnd::Error:
        host.messageBox(errorReport(failure, pc, code));
        host.messageBox("Program Ended");
        break;
    case RunEnd::PastEnd:
    case RunEnd::PrepareFailed:
    case RunEnd::StepLimit: return;
    }
    host.setLarpEnabled();
}

RunResult runprogram(const std::string& incode, Host& host, const RunOptions& options) {
    host.setCaption(kCaptionOptimizing);
    RunResult result;
    if (incode.size() > kMaxCodeLength) {
        result.prepareFailure = PrepareFailure::TooLong;
        return result;
    }
    const Prepared tables = prepare(incode);
    if (tables.failedAt != 0) {
        result.prepareFailure = PrepareFailure::TooManyLabels;
        return result;
    }
    host.setCaption(kCaption);
    // A trace sees every step before it runs, which only the plain loop takes one at a time.
    if (options.plain || options.trace) return runPlain(tables, host, options);
    return runFast(tables, host, options);
}

} // namespace tessivor
