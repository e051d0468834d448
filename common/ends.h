#pragma once
// How a run ends and why an operation failed: the one vocabulary of endings, with the names the
// events format, the debugger, test files and the page use for them.

#include <optional>
#include <string_view>

namespace tessivor {

/// Why an operation failed.
enum class Failure { None, SubscriptOutOfRange, TypeMismatch, Overflow, OutOfStringSpace };

/// The description an error report starts with ("Type mismatch"); "" for None.
constexpr const char* failureDescription(Failure failure) {
    switch (failure) {
    case Failure::None: return "";
    case Failure::SubscriptOutOfRange: return "Subscript out of range";
    case Failure::TypeMismatch: return "Type mismatch";
    case Failure::Overflow: return "Overflow";
    case Failure::OutOfStringSpace: return "Out of string space";
    }
    return "";
}

/// The failure's name in the events format ("type mismatch"); "" for None.
constexpr const char* failureName(Failure failure) {
    switch (failure) {
    case Failure::None: return "";
    case Failure::SubscriptOutOfRange: return "subscript out of range";
    case Failure::TypeMismatch: return "type mismatch";
    case Failure::Overflow: return "overflow";
    case Failure::OutOfStringSpace: return "out of string space";
    }
    return "";
}

/// How a run ended.
enum class RunEnd {
    Terminated,    ///< "p": "Program Terminated" was shown
    Error,         ///< a failed operation: the error report and "Program Ended" were shown
    PastEnd,       ///< execution passed the last position; nothing was shown
    PrepareFailed, ///< the preparation pass refused the code string; nothing ran
    StepLimit,     ///< the run was given so many steps and has run them
};

/// The end's name: "terminated", "error", "past-end", "prepare-failed", "step-limit".
constexpr const char* runEndName(RunEnd end) {
    switch (end) {
    case RunEnd::Terminated: return "terminated";
    case RunEnd::Error: return "error";
    case RunEnd::PastEnd: return "past-end";
    case RunEnd::PrepareFailed: return "prepare-failed";
    case RunEnd::StepLimit: return "step-limit";
    }
    return "";
}

/// The end called `name`, or nullopt. "passed-end", the name `run --events` gave a run past its
/// last position before it was called "past-end" everywhere, is read as "past-end".
constexpr std::optional<RunEnd> runEndNamed(std::string_view name) {
    for (const RunEnd end : {RunEnd::Terminated, RunEnd::Error, RunEnd::PastEnd,
                             RunEnd::PrepareFailed, RunEnd::StepLimit}) {
        if (name == runEndName(end)) return end;
    }
    if (name == "passed-end") return RunEnd::PastEnd;
    return std::nullopt;
}

} // namespace tessivor
