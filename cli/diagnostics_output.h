#pragma once
// The checker's findings as tessivor-cli prints them: compiler-style text with the source line,
// a caret and the suggestion, or one JSON object a line.

#include "assembler/check/check.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor::cli {

/// How many findings of each severity.
struct FindingCounts {
    std::size_t errors = 0;
    std::size_t warnings = 0;
    std::size_t notes = 0;

    void add(const std::vector<Diagnostic>& found);
};

/// Appends each finding as "FILE:LINE:COL: SEVERITY: MESSAGE [CODE]", then its source line
/// with a caret under the place, then the suggestion.
void appendDiagnosticsText(std::string& out, std::string_view file, std::string_view source,
                           const std::vector<Diagnostic>& found);

/// Appends each finding as one JSON object a line: file, line, column, endColumn, severity,
/// code, message and suggestion (null when there is none).
void appendDiagnosticsJson(std::string& out, std::string_view file,
                           const std::vector<Diagnostic>& found);

/// "2 warnings and 1 error in 3 files." or "No problems found in 1 file."
std::string summaryLine(const FindingCounts& counts, std::size_t files);

/// For `build` (and `run`, which builds a source in memory: `command` names it): writes the
/// checker's errors and warnings about `source` to stderr, all but the failed "set" that the
/// build reports itself.
void printBuildWarnings(std::string_view file, std::string_view source,
                        std::string_view command = "build");

} // namespace tessivor::cli
