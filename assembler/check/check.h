#pragma once
// The checker: everything in a source text that the translation skips, misreads or rejects,
// explained in the language's own terms. It reads; it never changes what `compiletext` makes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor {

enum class Severity { Error, Warning, Note };

/// One finding, on one line of the source.
struct Diagnostic {
    std::size_t line = 1;      ///< 1-based
    std::size_t column = 1;    ///< 1-based, counted in bytes (a tab is one column)
    std::size_t endColumn = 2; ///< 1-based, just past the last column the finding covers
    Severity severity = Severity::Warning;
    std::string code;    ///< short and stable, in kebab case ("operand-digits")
    std::string message; ///< one sentence, saying what the machine will make of the text
    /// The whole line as it should be written, where one fix is clear.
    std::optional<std::string> suggestion;
};

/// One kind of finding, as the checker reports it.
struct DiagnosticKind {
    std::string_view code;
    Severity severity;
    std::string_view summary; ///< a few words, for lists and tooltips
};

/// Every kind of finding the checker reports, in the order the manual lists them.
const std::vector<DiagnosticKind>& diagnosticKinds();

/// "error", "warning" or "note".
const char* severityName(Severity severity);

/// Every finding in `source` (one byte a character, any line ends), in source order.
std::vector<Diagnostic> checkSource(std::string_view source);

} // namespace tessivor
