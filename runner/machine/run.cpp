#include "runner/machine/run.h"

#include "runner/machine/interpreters.h"
#include "runner/machine/prepare.h"

#include <limits>

namespace tessivor {

/// Longest code string a run accepts: positions are signed 32-bit, and the tables take twelve
/// bytes a position.
inline constexpr std::size_t kMaxCodeLength = std::size_t{1} << 30;

const char* failureDescription(Failure failure) {
    switch (failure) {
    case Failure::None: return "";
    case Failure::SubscriptOutOfRange: return "Subscript out of range";
    case Failure::TypeMismatch: return "Type mismatch";
    case Failure::Overflow: return "Overflow";
    case Failure::OutOfStringSpace: return "Out of string space";
    }
    return "";
}

std::string speedCaption(std::int64_t steps) {
    const std::int64_t hundredths = (steps + 5000) / 10000; // millions, rounded to two places
    std::string caption = "Tessivor 0.1 - ";
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

RunResult runprogram(const std::string& incode, Host& host, const RunOptions& options) {
    host.setCaption(kCaptionOptimizing);
    RunResult result;
    if (incode.size() > kMaxCodeLength) {
        result.failure = Failure::OutOfStringSpace;
        return result;
    }
    const Prepared tables = prepare(incode);
    if (tables.failedAt != 0) {
        result.failure = Failure::SubscriptOutOfRange;
        return result;
    }
    host.setCaption(kCaption);
    // The virtual clock is read by the plain loop.
    if (options.plain || options.trace || options.virtualClock) return runPlain(tables, host, options);
    return runFast(tables, host, options);
}

} // namespace tessivor
