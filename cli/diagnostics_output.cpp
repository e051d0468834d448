#include "cli/diagnostics_output.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace tessivor::cli {
namespace {

/// The largest source whose slips `build` reports: checking takes several times the memory of
/// the translation.
constexpr std::size_t kLargestBuildCheck = 16u << 20;

/// The most of a source line shown under a finding.
constexpr std::size_t kShownLine = 160;

/// Finds lines of a text by number, walking forward from the last one found: findings come in
/// line order, so a whole listing reads the text once, also when one line holds them all.
class LineFinder {
public:
    explicit LineFinder(std::string_view source) : source_(source) {}

    /// The `number`-th line (1-based) without its line end; empty past the last line.
    std::string_view line(std::size_t number) {
        if (number < number_) {
            number_ = 1;
            start_ = 0;
            end_ = kUnknown;
        }
        while (number_ < number) {
            const std::size_t feed = end_ != kUnknown ? end_ : source_.find('\n', start_);
            if (feed == std::string_view::npos) return {};
            start_ = feed + 1;
            end_ = kUnknown;
            ++number_;
        }
        if (end_ == kUnknown) end_ = source_.find('\n', start_);
        std::size_t end = end_ == std::string_view::npos ? source_.size() : end_;
        if (end > start_ && source_[end - 1] == '\r') --end;
        return source_.substr(start_, end - start_);
    }

private:
    static constexpr std::size_t kUnknown = std::string_view::npos - 1;

    std::string_view source_;
    std::size_t number_ = 1;
    std::size_t start_ = 0;
    std::size_t end_ = kUnknown; ///< where the line feed after line number_ stands (npos: none)
};

std::string plural(std::size_t count, std::string_view word) {
    return std::to_string(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

/// The length of the well-formed UTF-8 sequence starting at `k`, or 0 when it is none: no
/// overlong form, no surrogate, nothing past U+10FFFF.
std::size_t utf8Length(std::string_view text, std::size_t k) {
    const auto byte = [&](std::size_t j) { return static_cast<unsigned char>(text[k + j]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || k + length > text.size()) return 0;
    // The second byte's range narrows after E0 (overlong), ED (surrogates), F0 (overlong) and
    // F4 (past U+10FFFF).
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t j = 2; j < length; ++j) {
        if ((byte(j) & 0xC0) != 0x80) return 0;
    }
    return length;
}

/// A JSON string: UTF-8 as it stands, any other byte above 127 as the code point of its value.
void appendJson(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t k = 0; k < text.size(); ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        char escape[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t length = utf8Length(text, k)) {
            out += text.substr(k, length);
            k += length - 1;
        } else {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        }
    }
    out += '"';
}

} // namespace

void FindingCounts::add(const std::vector<Diagnostic>& found) {
    for (const Diagnostic& d : found) {
        switch (d.severity) {
        case Severity::Error: ++errors; break;
        case Severity::Warning: ++warnings; break;
        case Severity::Note: ++notes; break;
        }
    }
}

void appendDiagnosticsText(std::string& out, std::string_view file, std::string_view source,
                           const std::vector<Diagnostic>& found) {
    LineFinder lines(source);
    for (const Diagnostic& d : found) {
        out += std::string(file) + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) +
               ": " + severityName(d.severity) + ": " + d.message + " [" + d.code + "]\n";
        std::string_view line = lines.line(d.line);
        std::size_t column = d.column;
        std::size_t endColumn = d.endColumn;
        // A long line is shown as a stretch around the place, marked with "..." where cut.
        std::string before;
        std::string after;
        if (line.size() > kShownLine) {
            const std::size_t from = column > kShownLine / 2 ? column - 1 - kShownLine / 4 : 0;
            if (from > 0) before = "...";
            if (from + kShownLine < line.size()) after = "...";
            line = line.substr(std::min(from, line.size()), kShownLine);
            column = column - from + before.size();
            endColumn = std::min(endColumn - from, line.size() + 1) + before.size();
            if (endColumn <= column) endColumn = column + 1;
        }
        const std::string number = std::to_string(d.line);
        const std::string gutter(std::max<std::size_t>(number.size(), 3), ' ');
        out += gutter.substr(number.size()) + number + " | " + before + std::string(line) + after +
               "\n";
        // The caret line repeats the tabs of the source line, so the caret stands under the
        // place whatever the terminal's tab width.
        out += gutter + " | ";
        const std::string shown = before + std::string(line);
        for (std::size_t k = 1; k < column; ++k) {
            out += k - 1 < shown.size() && shown[k - 1] == '\t' ? '\t' : ' ';
        }
        out += '^';
        for (std::size_t k = column + 1; k < endColumn; ++k)
            out += '~';
        out += '\n';
        if (d.suggestion) out += gutter.substr(3) + "fix | " + *d.suggestion + "\n";
    }
}

void appendDiagnosticsJson(std::string& out, std::string_view file,
                           const std::vector<Diagnostic>& found) {
    for (const Diagnostic& d : found) {
        out += "{\"file\":";
        appendJson(out, file);
        out += ",\"line\":" + std::to_string(d.line) + ",\"column\":" + std::to_string(d.column) +
               ",\"endColumn\":" + std::to_string(d.endColumn) + ",\"severity\":\"" +
               severityName(d.severity) + "\",\"code\":";
        appendJson(out, d.code);
        out += ",\"message\":";
        appendJson(out, d.message);
        out += ",\"suggestion\":";
        if (d.suggestion) {
            appendJson(out, *d.suggestion);
        } else {
            out += "null";
        }
        out += "}\n";
    }
}

std::string summaryLine(const FindingCounts& counts, std::size_t files) {
    std::vector<std::string> parts;
    if (counts.errors) parts.push_back(plural(counts.errors, "error"));
    if (counts.warnings) parts.push_back(plural(counts.warnings, "warning"));
    if (counts.notes) parts.push_back(plural(counts.notes, "note"));
    if (parts.empty()) return "No problems found in " + plural(files, "file") + ".\n";
    std::string line;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k > 0) line += k + 1 == parts.size() ? " and " : ", ";
        line += parts[k];
    }
    return line + " in " + plural(files, "file") + ".\n";
}

void printBuildWarnings(std::string_view file, std::string_view source, std::string_view command) {
    if (source.size() > kLargestBuildCheck) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "tessivor-cli %.*s: %.*s: not checked for slips (larger than 16 MiB); "
                     "tessivor-cli check does that\n",
                     static_cast<int>(command.size()), command.data(),
                     static_cast<int>(file.size()), file.data());
        return;
    }
    std::string text;
    try {
        std::vector<Diagnostic> found = checkSource(source);
        bool reported = false; // the first failed "set" is the build's own error line
        std::erase_if(found, [&](const Diagnostic& d) {
            if (d.code == "missing-semicolon" && !reported) return reported = true;
            return d.severity == Severity::Note;
        });
        appendDiagnosticsText(text, file, source, found);
    } catch (const std::bad_alloc&) {
        // The warnings are a help: a build that has its program goes on without them.
        return;
    }
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
}

} // namespace tessivor::cli
