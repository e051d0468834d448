#include "grading/grading.h"

#include "platform/clock.h" // SingleRandom only: its seeded constructor and next() are inline
#include "runner/events/json.h"
#include "runner/machine/explain.h"
#include "runner/machine/run.h"

#include <toml++/toml.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>
#include <tuple>
#include <unordered_map>

namespace tessivor::grading {
namespace {

// ---------------------------------------------------------------------------------------------
// The test file

constexpr const char* kCaseKeys =
    "name, input, output, output_last, output_contains, output_regex, ignore_case, trim, end, "
    "error, cells, steps, points, hidden, max_steps, max_memory, max_output, seed, clock";
constexpr const char* kDefaultKeys =
    "max_steps, max_memory, max_output, seed, clock, points, ignore_case, trim";

/// The most parts a dotted key or a table header may have: the TOML reader takes each part a
/// level deeper, and tens of thousands of them exhaust its stack.
constexpr int kMaxKeyParts = 64;

/// Finds a dotted key or header of more than kMaxKeyParts parts before the TOML reader sees
/// it; false with "NAME:LINE:COLUMN: reason" when there is one. Strings and comments are
/// skipped; a dot counts where a key is read (at a line's start, in a header, in an inline
/// table before its "=").
bool keysWithinDepth(std::string_view text, const std::string& name, std::string& error) {
    std::vector<char> open; // the brackets of the value being read: '[' or '{'
    bool key = true;
    int parts = 1;
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            lineStart = i + 1;
            if (open.empty()) {
                key = true;
                parts = 1;
            }
        } else if (c == '#') {
            while (i + 1 < text.size() && text[i + 1] != '\n')
                ++i;
        } else if (c == '"' || c == '\'') {
            const bool basic = c == '"';
            const bool multi = text.substr(i, 3) == std::string(3, c);
            std::size_t k = i + (multi ? 3 : 1);
            for (; k < text.size(); ++k) {
                if (basic && text[k] == '\\') {
                    ++k;
                } else if (text[k] == '\n') {
                    if (!multi) break;
                    ++line;
                    lineStart = k + 1;
                } else if (text[k] == c && (!multi || text.substr(k, 3) == std::string(3, c))) {
                    if (multi) k += 2;
                    break;
                }
            }
            i = k < text.size() && text[k] == '\n' ? k - 1 : k;
        } else if (key) {
            if (c == '.' && ++parts > kMaxKeyParts) {
                error = name + ":" + std::to_string(line) + ":" +
                        std::to_string(i - lineStart + 1) + ": a key has more than " +
                        std::to_string(kMaxKeyParts) + " dotted parts";
                return false;
            }
            if (c == '=' || c == ']') {
                parts = 1;
                key = c == ']';
            } else if (c == '}' && !open.empty()) {
                open.pop_back();
                key = false;
            }
        } else if (c == '[' || c == '{') {
            open.push_back(c);
            key = c == '{';
            parts = 1;
        } else if ((c == ']' || c == '}') && !open.empty()) {
            open.pop_back();
        } else if (c == ',' && !open.empty() && open.back() == '{') {
            key = true;
            parts = 1;
        }
    }
    return true;
}

/// Collects the problems of a test file and keeps the one that comes first in the text: a
/// table's keys are visited in name order, not in the order they were written.
class Problems {
public:
    explicit Problems(const std::string& name) : name_(name) {}

    void add(const toml::source_position& at, std::string message) {
        const auto place = std::make_tuple(at.line, at.column);
        if (!message_.empty() && place >= place_) return;
        place_ = place;
        message_ = std::move(message);
    }
    void add(const toml::node& node, std::string message) {
        add(node.source().begin, std::move(message));
    }

    bool any() const { return !message_.empty(); }
    std::string text() const {
        return name_ + ":" + std::to_string(std::get<0>(place_)) + ":" +
               std::to_string(std::get<1>(place_)) + ": " + message_;
    }

private:
    const std::string& name_;
    std::tuple<toml::source_index, toml::source_index> place_{};
    std::string message_;
};

/// What [defaults] and a case may both set.
struct Settings {
    std::optional<std::int64_t> maxSteps;
    std::optional<std::int64_t> seed;
    std::optional<bool> virtualClock;
    std::optional<std::int64_t> maxMemory;
    std::optional<std::int64_t> maxOutput;
    std::optional<std::int64_t> points;
    std::optional<bool> ignoreCase;
    std::optional<bool> trim;
};

std::string keyText(std::string_view key) { return "\"" + std::string(key) + "\""; }

/// A whole number from `least` to `most`, or a problem.
std::optional<std::int64_t> readWhole(std::string_view key, const toml::node& node,
                                      std::int64_t least, std::int64_t most, Problems& problems) {
    const auto* n = node.as_integer();
    if (!n || n->get() < least || n->get() > most) {
        problems.add(node, keyText(key) + " must be a whole number from " + std::to_string(least) +
                               " to " + std::to_string(most));
        return std::nullopt;
    }
    return n->get();
}

std::optional<bool> readBool(std::string_view key, const toml::node& node, Problems& problems) {
    const auto* b = node.as_boolean();
    if (!b) {
        problems.add(node, keyText(key) + " must be true or false");
        return std::nullopt;
    }
    return b->get();
}

/// Reads max_steps, seed, clock, max_memory, max_output, points, ignore_case or trim; false
/// when `key` is none of them.
bool readSetting(std::string_view key, const toml::node& node, Settings& s, Problems& problems) {
    if (key == "max_memory") {
        // From 1 KiB to 1 GiB: the cells of a case, with a copy or two while a text grows.
        s.maxMemory = readWhole(key, node, 1024, std::int64_t{1} << 30, problems);
        return true;
    }
    if (key == "max_output") {
        s.maxOutput = readWhole(key, node, 0, std::int64_t{1} << 30, problems);
        return true;
    }
    if (key == "points") {
        s.points = readWhole(key, node, 0, 1'000'000, problems);
        return true;
    }
    if (key == "ignore_case" || key == "trim") {
        (key == "trim" ? s.trim : s.ignoreCase) = readBool(key, node, problems);
        return true;
    }
    if (key == "max_steps" || key == "seed") {
        const auto* n = node.as_integer();
        const std::int64_t least = key == "seed" ? 0 : 1;
        if (!n || n->get() < least) {
            problems.add(node, keyText(key) + " must be a whole number of at least " +
                                   std::to_string(least));
        } else if (key == "seed") {
            s.seed = n->get();
        } else {
            s.maxSteps = n->get();
        }
        return true;
    }
    if (key == "clock") {
        const auto* v = node.as_string();
        if (!v || (v->get() != "virtual" && v->get() != "real")) {
            problems.add(node, "\"clock\" must be \"virtual\" or \"real\"");
        } else {
            s.virtualClock = v->get() == "virtual";
        }
        return true;
    }
    return false;
}

/// An array whose items are all texts.
std::optional<std::vector<std::string>> readTexts(std::string_view key, const toml::node& node,
                                                  Problems& problems) {
    const auto* array = node.as_array();
    if (!array) {
        problems.add(node, keyText(key) + " must be a list of texts, as in [\"2\", \"3\"]");
        return std::nullopt;
    }
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < array->size(); ++i) {
        const auto* text = (*array)[i].as_string();
        if (!text) {
            problems.add((*array)[i], keyText(key) + ": item " + std::to_string(i + 1) +
                                          " must be a text in double quotes");
            return std::nullopt;
        }
        texts.push_back(text->get());
    }
    return texts;
}

std::optional<std::string> readText(std::string_view key, const toml::node& node,
                                    Problems& problems) {
    const auto* text = node.as_string();
    if (!text) {
        problems.add(node, keyText(key) + " must be a text in double quotes");
        return std::nullopt;
    }
    return text->get();
}

/// "3", "03" or "99": a cell number; -1 otherwise.
int cellNumber(std::string_view key) {
    if (key.empty() || key.size() > 2) return -1;
    int n = 0;
    for (const char c : key) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

/// An end a case may expect ("passed-end", the old name of "past-end", included).
std::optional<RunEnd> endNamed(std::string_view name) {
    const std::optional<RunEnd> end = runEndNamed(name);
    if (end == RunEnd::PrepareFailed) return std::nullopt;
    return end;
}

void readCase(const toml::table& table, const Settings& defaults, std::size_t number, TestFile& out,
              std::unordered_map<std::string, std::int32_t>& names, Problems& problems) {
    TestCase c;
    c.name = "case " + std::to_string(number);
    c.line = static_cast<std::int32_t>(table.source().begin.line);
    Settings own;
    const toml::node* endNode = nullptr;
    const toml::node* errorNode = nullptr;
    const toml::node* outputNode = nullptr;
    const toml::node* lastNode = nullptr;
    const toml::node* containsNode = nullptr;
    const toml::node* regexNode = nullptr;
    std::optional<bool> hidden;
    for (auto&& [key, node] : table) {
        const std::string_view k = key.str();
        if (readSetting(k, node, own, problems)) continue;
        if (k == "name") {
            if (auto v = readText(k, node, problems)) c.name = *v;
        } else if (k == "input") {
            if (auto v = readTexts(k, node, problems)) c.input = std::move(*v);
        } else if (k == "output") {
            outputNode = &node;
            c.output = readTexts(k, node, problems);
        } else if (k == "output_last") {
            lastNode = &node;
            c.outputLast = readText(k, node, problems);
        } else if (k == "output_contains") {
            containsNode = &node;
            c.outputContains = readTexts(k, node, problems);
        } else if (k == "output_regex") {
            regexNode = &node;
            c.outputRegex = readTexts(k, node, problems);
        } else if (k == "hidden") {
            hidden = readBool(k, node, problems);
        } else if (k == "end") {
            endNode = &node;
            if (auto v = readText(k, node, problems)) {
                if (auto end = endNamed(*v)) {
                    c.end = *end;
                } else {
                    problems.add(node, "\"end\" must be \"terminated\", \"error\", \"past-end\" or "
                                       "\"step-limit\"");
                }
            }
        } else if (k == "error") {
            errorNode = &node;
            c.error = readText(k, node, problems);
        } else if (k == "steps") {
            const auto* n = node.as_integer();
            if (!n || n->get() < 0) {
                problems.add(node, "\"steps\" must be a whole number of at least 0");
            } else {
                c.steps = n->get();
            }
        } else if (k == "cells") {
            const auto* cells = node.as_table();
            if (!cells) {
                problems.add(node, "\"cells\" must be a table of texts, as in { \"03\" = \"5\" }");
                continue;
            }
            for (auto&& [cellKey, cellNode] : *cells) {
                const int cell = cellNumber(cellKey.str());
                if (cell < 0) {
                    problems.add(cellKey.source().begin, "\"cells\": " + keyText(cellKey.str()) +
                                                             " is no cell number (00 to 99)");
                } else if (auto v = readText("cells." + std::string(cellKey.str()), cellNode,
                                             problems)) {
                    c.cells.emplace_back(cell, *v);
                }
            }
        } else {
            problems.add(key.source().begin, "unknown key " + keyText(k) +
                                                 " in a [[case]]; a case may have " + kCaseKeys);
        }
    }
    if (outputNode && lastNode) {
        problems.add(*lastNode, "a case has \"output\" or \"output_last\", not both");
    }
    if ((containsNode || regexNode) && (outputNode != nullptr) + (lastNode != nullptr) +
                                               (containsNode != nullptr) + (regexNode != nullptr) >
                                           1) {
        problems.add(containsNode ? *containsNode : *regexNode,
                     "a case has one of \"output\", \"output_last\", \"output_contains\" and "
                     "\"output_regex\"");
    }
    c.ignoreCase = own.ignoreCase.value_or(defaults.ignoreCase.value_or(false));
    c.trim = own.trim.value_or(defaults.trim.value_or(false));
    if (c.outputRegex && regexNode) {
        auto patterns = std::make_shared<std::vector<std::regex>>();
        const auto* array = regexNode->as_array();
        for (std::size_t i = 0; i < c.outputRegex->size(); ++i) {
            try {
                auto flags = std::regex::ECMAScript;
                if (c.ignoreCase) flags |= std::regex::icase;
                patterns->emplace_back((*c.outputRegex)[i], flags);
            } catch (const std::regex_error& e) {
                problems.add((*array)[i], "\"output_regex\": item " + std::to_string(i + 1) +
                                              " is no pattern: " + e.what());
            }
        }
        c.patterns = std::move(patterns);
    }
    if (errorNode) {
        if (endNode && c.end != RunEnd::Error) {
            problems.add(*errorNode, "\"error\" needs end = \"error\"");
        }
        c.end = RunEnd::Error;
    }
    if (const auto [at, added] = names.try_emplace(c.name, c.line); !added) {
        problems.add(table.source().begin, "a case named " + keyText(c.name) +
                                               " already stands at line " +
                                               std::to_string(at->second));
    }
    c.maxSteps = own.maxSteps.value_or(defaults.maxSteps.value_or(c.maxSteps));
    c.seed = static_cast<std::uint64_t>(own.seed.value_or(defaults.seed.value_or(1)));
    c.virtualClock = own.virtualClock.value_or(defaults.virtualClock.value_or(true));
    c.points = static_cast<int>(own.points.value_or(defaults.points.value_or(1)));
    c.hidden = hidden.value_or(false);
    c.maxMemory = static_cast<std::size_t>(own.maxMemory.value_or(
        defaults.maxMemory.value_or(static_cast<std::int64_t>(c.maxMemory))));
    c.maxOutput = static_cast<std::size_t>(own.maxOutput.value_or(
        defaults.maxOutput.value_or(static_cast<std::int64_t>(c.maxOutput))));
    out.cases.push_back(std::move(c));
}

// ---------------------------------------------------------------------------------------------
// Running a case

/// Thrown by the host when a case has used up its time; the run's state unwinds with it.
struct TimeUp {};
/// Thrown by the host at the first "dsp" that differs from the expected output: the case has
/// failed, and a runaway program must not go on filling the screen.
struct Diverged {};
/// Thrown by the host when the texts shown pass the case's output limit.
struct Flooded {};

/// Appends a byte of a machine text as a report shows it: quotes and backslashes escaped,
/// control characters as \n, \r, \t or \xHH.
void appendShownByte(std::string& out, unsigned char c, bool escapeQuotes) {
    if (escapeQuotes && (c == '"' || c == '\\')) {
        out += '\\';
        out += static_cast<char>(c);
    } else if (c == '\n') {
        out += "\\n";
    } else if (c == '\r') {
        out += "\\r";
    } else if (c == '\t') {
        out += "\\t";
    } else if (c < 32 || c == 127) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += hex;
    } else {
        out += static_cast<char>(c);
    }
}

/// Shows a machine text in a report: quoted, control characters escaped, long texts cut.
std::string shown(std::string_view text) {
    constexpr std::size_t kLongest = 120;
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == kLongest) {
            out += "...\" (" + std::to_string(text.size()) + " characters)";
            return out;
        }
        appendShownByte(out, static_cast<unsigned char>(text[i]), true);
    }
    return out + "\"";
}

/// "expected X, got Y": for long texts, the stretch around the first difference of each, with
/// the character it is at.
std::string expectedGot(std::string_view want, std::string_view got) {
    constexpr std::size_t kShort = 120, kBefore = 20, kStretch = 80;
    if (want.size() <= kShort && got.size() <= kShort) {
        return "expected " + shown(want) + ", got " + shown(got);
    }
    std::size_t d = 0;
    while (d < want.size() && d < got.size() && want[d] == got[d])
        ++d;
    const std::size_t from = d > kBefore ? d - kBefore : 0;
    const auto stretch = [&](std::string_view text) {
        std::string out = from > 0 ? "..." : "";
        out += shown(text.substr(std::min(from, text.size()), kStretch));
        return out + " (" + std::to_string(text.size()) + " characters)";
    };
    return "expected " + stretch(want) + ", got " + stretch(got) +
           ", first different at character " + std::to_string(d + 1);
}

/// `text` with the case's comparison applied: trailing blanks dropped, A to Z as a to z.
std::string compared(std::string_view text, const TestCase& test) {
    if (test.trim) {
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
    }
    std::string out(text);
    if (test.ignoreCase) {
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool sameText(std::string_view got, std::string_view want, const TestCase& test) {
    if (!test.trim && !test.ignoreCase) return got == want;
    return compared(got, test) == compared(want, test);
}

/// The longest text a pattern is matched against: the regular-expression engine recurses a
/// level a character or so, and a longer text could exhaust the stack.
constexpr std::size_t kLongestMatched = 4096;

/// "step 57, line 8 (dsp 04)": where a step stands in the source; the position in the code
/// string for a program file.
std::string where(const Submission& submission, std::int64_t step, std::int32_t pc) {
    std::string text = "step " + std::to_string(step);
    if (const std::int32_t line = submission.lineAt(pc); line > 0) {
        text += ", line " + std::to_string(line);
        const std::string instruction = submission.instructionAt(pc);
        if (!instruction.empty()) text += " (" + visible(instruction) + ")";
        return text;
    }
    return text + " (position " + std::to_string(pc) + ")";
}

std::string bytesText(std::size_t bytes) {
    if (bytes >= (std::size_t{1} << 20) && bytes % (std::size_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

class GradingHost final : public Host {
public:
    GradingHost(const TestCase& test, Clock& clock, double deadline)
        : test_(test), clock_(clock), deadline_(deadline), random_(test.seed) {}

    /// Where the last step began, when the run is traced.
    std::int64_t step = 0;
    std::int32_t pc = 0;

    std::size_t displays = 0;
    std::size_t shownBytes = 0;
    std::size_t containsFound = 0; ///< items of output_contains shown so far
    std::optional<std::string> lastDisplay;
    std::string divergence; ///< the first output difference, when Diverged was thrown
    std::optional<std::string> expected, got;
    std::vector<std::string> messages;

    void setCaption(std::string_view) override { checkTime(); }
    void setDisplay(std::string_view text) override {
        checkTime();
        shownBytes += text.size();
        if (shownBytes > test_.maxOutput) throw Flooded{};
        const std::string place = "output " + std::to_string(displays + 1) + ": ";
        const std::vector<std::string>* want = test_.output        ? &*test_.output
                                               : test_.outputRegex ? &*test_.outputRegex
                                                                   : nullptr;
        if (want && displays == want->size()) {
            divergence = place + "expected no more output, got " + shown(text);
            got = std::string(text.substr(0, kLongestMatched));
            throw Diverged{};
        }
        if (test_.output && !sameText(text, (*want)[displays], test_)) {
            divergence = place + expectedGot((*want)[displays], text);
            expected = (*want)[displays];
            got = std::string(text.substr(0, kLongestMatched));
            throw Diverged{};
        }
        if (test_.outputRegex) {
            const std::string& pattern = (*want)[displays];
            const std::string subject = compared(text, test_);
            bool matches = false;
            if (text.size() > kLongestMatched) {
                divergence = place + shown(text) + " is too long to match a pattern (at most " +
                             std::to_string(kLongestMatched) + " characters)";
            } else {
                try {
                    matches = std::regex_match(subject, (*test_.patterns)[displays]);
                } catch (const std::regex_error&) {
                    // Too complex to match: counted as no match.
                }
                if (!matches) {
                    divergence = place + shown(text) + " does not match " + shown(pattern);
                }
            }
            if (!matches) {
                expected = pattern;
                got = std::string(text.substr(0, kLongestMatched));
                throw Diverged{};
            }
        }
        if (test_.outputContains && containsFound < test_.outputContains->size() &&
            sameText(text, (*test_.outputContains)[containsFound], test_)) {
            ++containsFound;
        }
        ++displays;
        if (test_.outputLast) lastDisplay = std::string(text);
    }
    void setLarpEnabled() override {}
    void messageBox(std::string_view text) override {
        if (messages.size() < 2) messages.emplace_back(text);
    }
    std::string inputBox(std::string_view) override {
        checkTime();
        if (nextInput_ == test_.input.size()) return {};
        return test_.input[nextInput_++];
    }
    void processEvents() override { checkTime(); }
    std::int32_t tickCount() override {
        checkTime();
        return clock_.tickCount();
    }
    float randomSingle() override { return random_.next(); }
    const std::atomic<std::uint32_t>* tickPulse() override { return clock_.tickPulse(); }

    /// Ends the run with TimeUp once the case's time is over. The fast loop calls the host
    /// whenever the clock pulse moved (every few milliseconds, or 4096 steps at the most).
    void checkTime() {
        if (clock_.seconds() >= deadline_) throw TimeUp{};
    }

private:
    const TestCase& test_;
    Clock& clock_;
    double deadline_;
    platform::SingleRandom random_;
    std::size_t nextInput_ = 0;
};

const char* expectation(RunEnd end) {
    switch (end) {
    case RunEnd::Terminated: return "\"Program Terminated\"";
    case RunEnd::Error: return "an error report";
    case RunEnd::PastEnd: return "a run past the last position";
    case RunEnd::StepLimit: return "a stop at the step limit";
    case RunEnd::PrepareFailed: break; // no case expects it
    }
    return "";
}

std::string cellName(int cell) {
    return cell < 10 ? "0" + std::to_string(cell) : std::to_string(cell);
}

/// The run's end as the report names it: the error's reason in the learner's words.
std::string errorReason(const RunResult& r, const Submission& submission) {
    return failureReason(submission.code, r.pc, r.cur, r.opb, r.opc, r.mem, r.failure);
}

/// How the run ended, as a sentence that goes on "the program ...".
std::string endedHow(const RunResult& r, const GradingHost& host, const TestCase& test,
                     const Submission& submission) {
    const std::string at = " at " + where(submission, r.steps, r.pc);
    switch (r.end) {
    case RunEnd::Terminated: return "ended with \"Program Terminated\"" + at;
    case RunEnd::Error: {
        std::string text =
            "stopped with the error " +
            shown(host.messages.empty() ? failureDescription(r.failure) : host.messages[0]);
        if (const std::string why = errorReason(r, submission); !why.empty()) {
            text += " (" + visible(why) + ")";
        }
        return text + at;
    }
    case RunEnd::PastEnd: return "ran past its last position without \"end\"" + at;
    case RunEnd::StepLimit:
        return "was stopped at the step limit of " + std::to_string(test.maxSteps) + " steps";
    case RunEnd::PrepareFailed:
        return r.prepareFailure == PrepareFailure::TooManyLabels
                   ? "has more than 99 labels and cannot run"
                   : "is too long to run";
    }
    return "";
}

/// The first way the finished run differs from the case; "" when it does not. Sets the
/// result's status, expected and got.
std::string firstDifference(const RunResult& r, const GradingHost& host, const TestCase& test,
                            const Submission& submission, CaseResult& result) {
    const bool endOk = r.end == test.end;
    result.status = Status::WrongOutput;
    if (!endOk) {
        result.status = r.end == RunEnd::StepLimit       ? Status::StepLimit
                        : r.end == RunEnd::PrepareFailed ? Status::DoesNotBuild
                        : r.end == RunEnd::Terminated    ? Status::WrongOutput
                                                         : Status::Error;
        std::string reason = "the program " + endedHow(r, host, test, submission);
        const auto* want = test.output        ? &*test.output
                           : test.outputRegex ? &*test.outputRegex
                                              : nullptr;
        if (want && host.displays < want->size()) {
            reason += ", having shown " + std::to_string(host.displays) + " of " +
                      std::to_string(want->size()) + " outputs";
        }
        return reason + "; expected " + expectation(test.end);
    }
    if (const auto* want = test.output        ? &*test.output
                           : test.outputRegex ? &*test.outputRegex
                                              : nullptr;
        want && host.displays < want->size()) {
        result.expected = (*want)[host.displays];
        return "output " + std::to_string(host.displays + 1) + ": expected " +
               shown((*want)[host.displays]) + ", but the program " +
               endedHow(r, host, test, submission);
    }
    if (test.outputContains && host.containsFound < test.outputContains->size()) {
        const std::string& missing = (*test.outputContains)[host.containsFound];
        result.expected = missing;
        std::string reason = "expected the output " + shown(missing);
        if (host.containsFound > 0) {
            reason += " after " + shown((*test.outputContains)[host.containsFound - 1]);
        }
        return reason + ", but the program showed it nowhere in its " +
               std::to_string(host.displays) + " outputs";
    }
    if (test.error) {
        const std::string report = host.messages.empty() ? "" : host.messages[0];
        if (report.find(*test.error) == std::string::npos) {
            result.expected = *test.error;
            result.got = report;
            return "the error report " + shown(report) + " does not contain " + shown(*test.error);
        }
    }
    if (test.outputLast) {
        result.expected = *test.outputLast;
        if (!host.lastDisplay)
            return "last output: expected " + shown(*test.outputLast) +
                   ", but the program showed nothing";
        if (!sameText(*host.lastDisplay, *test.outputLast, test)) {
            result.got = host.lastDisplay->substr(0, kLongestMatched);
            return "last output: " + expectedGot(*test.outputLast, *host.lastDisplay);
        }
        result.expected.reset();
    }
    for (const auto& [cell, text] : test.cells) {
        const std::string& got = r.mem[static_cast<std::size_t>(cell)];
        if (got != text) {
            result.expected = text;
            result.got = got.substr(0, kLongestMatched);
            return "cell " + cellName(cell) + ": " + expectedGot(text, got);
        }
    }
    if (test.steps && r.steps != *test.steps) {
        result.expected = std::to_string(*test.steps);
        result.got = std::to_string(r.steps);
        return "expected " + std::to_string(*test.steps) + " steps, the program took " +
               std::to_string(r.steps);
    }
    result.status = Status::Passed;
    return {};
}

enum class Verdict { Passed, Failed, Diverged, Flooded, TimeUp, OutOfMemory };

/// How often a run looks at the time besides its calls into the host: rarely enough to cost
/// nothing against a step, often enough that steps on the longest texts overrun the limit by
/// little (a step that moves a long text has the next one look anyway).
constexpr int kStepsBetweenTimeLooks = 64;

/// One run of a case, in the fast loop unless asked for the plain one; with `traced` (which
/// means the plain loop), the output difference names the step it happened at.
Verdict attempt(const Submission& submission, const TestCase& test, const GradeOptions& options,
                Clock& clock, bool traced, CaseResult& result) {
    GradingHost host(test, clock, clock.seconds() + options.timeoutSeconds);
    RunOptions run;
    run.maxSteps = test.maxSteps;
    run.plain = options.plain;
    run.virtualClock = options.virtualClock.value_or(test.virtualClock);
    run.maxMemory = test.maxMemory;
    // With the virtual clock the host hears from the run only once a virtual second (a million
    // steps), and steps that copy long texts can make that hours: the run looks at the time
    // every few steps instead.
    run.poll = [&host] { host.checkTime(); };
    run.pollSteps = kStepsBetweenTimeLooks;
    if (traced) {
        run.trace = [&host](const TraceStep& s) {
            host.step = s.step;
            host.pc = s.pc;
        };
    }
    const auto placed = [&](std::int64_t step, std::int32_t pc) {
        result.step = step;
        result.line = submission.lineAt(pc);
        return " at " + where(submission, step, pc);
    };
    result.expected.reset();
    result.got.reset();
    result.step.reset();
    result.line = 0;
    try {
        const RunResult r = runprogram(submission.code, host, run);
        result.steps = r.steps;
        if (r.end == RunEnd::Error && r.memoryLimit) {
            result.status = Status::MemoryLimit;
            result.reason = "the program passed the memory limit of " + bytesText(test.maxMemory) +
                            " for its cells" + placed(r.steps, r.pc);
            return Verdict::Failed;
        }
        if (r.end == RunEnd::Error && r.failure == Failure::OutOfStringSpace &&
            errorReason(r, submission).rfind("memory ran out", 0) == 0) {
            // Not the program's fault: the grader's memory ran out (other cases may hold it).
            result.status = Status::Error;
            result.reason = "the grader ran out of memory for this case" + placed(r.steps, r.pc);
            result.outOfMemory = true;
            return Verdict::OutOfMemory;
        }
        result.reason = firstDifference(r, host, test, submission, result);
        if (r.end != RunEnd::StepLimit && r.end != RunEnd::PrepareFailed &&
            !result.reason.empty()) {
            result.step = r.steps;
            result.line = submission.lineAt(r.pc);
        }
        if (result.reason.empty()) result.status = Status::Passed;
        return result.reason.empty() ? Verdict::Passed : Verdict::Failed;
    } catch (const Diverged&) {
        result.status = Status::WrongOutput;
        result.reason = host.divergence;
        result.expected = host.expected;
        result.got = host.got;
        if (traced) result.reason += placed(host.step, host.pc);
        return Verdict::Diverged;
    } catch (const Flooded&) {
        result.status = Status::OutputLimit;
        result.reason =
            "the program showed more than the output limit of " + bytesText(test.maxOutput);
        if (traced) result.reason += placed(host.step, host.pc);
        return Verdict::Flooded;
    } catch (const TimeUp&) {
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", options.timeoutSeconds);
        result.status = Status::TimeLimit;
        result.reason = "took longer than the time limit of " + std::string(limit) + " s";
        return Verdict::TimeUp;
    } catch (const std::bad_alloc&) {
        // One submission that exhausts the memory fails its case; the others are still graded.
        result.status = Status::Error;
        result.reason = "the grader ran out of memory for this case";
        result.outOfMemory = true;
        return Verdict::OutOfMemory; // no second run
    }
}

// ---------------------------------------------------------------------------------------------
// Reports

/// True when `text` is well-formed UTF-8: names from the test file and from the file system
/// usually are, and are then written as they are, not byte by byte.
bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t extra = c < 0x80                ? 0
                                  : c >= 0xC2 && c < 0xE0 ? 1
                                  : c >= 0xE0 && c < 0xF0 ? 2
                                  : c >= 0xF0 && c < 0xF5 ? 3
                                                          : 4;
        if (extra == 4 || i + extra >= text.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        // Overlong forms and surrogates.
        const auto next = extra ? static_cast<unsigned char>(text[i + 1]) : 0;
        if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0) ||
            (c == 0xF0 && next < 0x90) || (c == 0xF4 && next >= 0x90)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

/// A JSON string: UTF-8 text as it is, any other text a byte a character (U+0000 to U+00FF).
void appendJsonText(std::string& out, std::string_view text) {
    if (!isUtf8(text)) return appendJsonString(out, text);
    std::string ascii;
    out += '"';
    for (const char ch : text) {
        if (static_cast<unsigned char>(ch) >= 0x80) {
            out += ch;
            continue;
        }
        ascii.assign(1, ch);
        std::string quoted;
        appendJsonString(quoted, ascii);
        out.append(quoted, 1, quoted.size() - 2);
    }
    out += '"';
}

std::string escapeXml(std::string_view text) {
    const bool utf8 = isUtf8(text);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const auto c = static_cast<unsigned char>(ch);
        // U+FFFE and U+FFFF are no characters in XML 1.0 either.
        if (utf8 && c == 0xEF && text.substr(i + 1, 1) == "\xBF" && i + 2 < text.size() &&
            (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
            out += '?';
            i += 2;
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += "&#9;"; break;
        default:
            if (c < 32) {
                out += '?'; // not allowed in XML 1.0 at all
            } else if (c < 128 || utf8) {
                out += ch;
            } else { // a byte is a character: U+0080 to U+00FF in UTF-8
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    }
    return out;
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

} // namespace

bool parseTestFile(std::string_view text, const std::string& name, TestFile& out,
                   std::string& error) {
    if (!keysWithinDepth(text, name, error)) return false;
    toml::table root;
    try {
        root = toml::parse(text, name);
    } catch (const toml::parse_error& e) {
        error = name + ":" + std::to_string(e.source().begin.line) + ":" +
                std::to_string(e.source().begin.column) + ": " + std::string(e.description());
        return false;
    }
    Problems problems(name);
    Settings defaults;
    if (const toml::node* node = root.get("defaults")) {
        if (const auto* table = node->as_table()) {
            for (auto&& [key, value] : *table) {
                if (!readSetting(key.str(), value, defaults, problems)) {
                    problems.add(key.source().begin, "unknown key " + keyText(key.str()) +
                                                         " in [defaults]; it may have " +
                                                         kDefaultKeys);
                }
            }
        } else {
            problems.add(*node, "\"defaults\" must be a table: [defaults]");
        }
    }
    TestFile file;
    const toml::node* cases = root.get("case");
    const toml::array* array = cases ? cases->as_array() : nullptr;
    if (cases && (!array || !array->is_array_of_tables())) {
        problems.add(*cases, "\"case\" must be written as [[case]] tables");
    } else if (array) {
        std::unordered_map<std::string, std::int32_t> names;
        for (std::size_t i = 0; i < array->size(); ++i) {
            readCase(*(*array)[i].as_table(), defaults, i + 1, file, names, problems);
        }
    }
    bool challenges = false;
    for (auto&& [key, value] : root) {
        const std::string_view k = key.str();
        if (k == "all_or_nothing") {
            file.allOrNothing = readBool(k, value, problems).value_or(false);
        } else if (k == "max_size") {
            file.maxSize = readWhole(k, value, 1, 100'000'000, problems);
        } else if (k == "max_steps_score") {
            file.maxStepsScore = readWhole(k, value, 1, std::int64_t{1} << 50, problems);
        } else if (k == "challenge_points") {
            challenges = true;
            file.challengePoints =
                static_cast<int>(readWhole(k, value, 0, 1'000'000, problems).value_or(0));
        } else if (k != "defaults" && k != "case") {
            problems.add(key.source().begin,
                         "unknown key " + keyText(k) + "; a test file has [defaults] and [[case]]");
        }
    }
    if (challenges && !file.maxSize && !file.maxStepsScore) {
        problems.add(*root.get("challenge_points"),
                     "\"challenge_points\" needs \"max_size\" or \"max_steps_score\"");
    }
    if (!problems.any() && file.cases.empty()) {
        error = name + ":1:1: no [[case]] in the test file";
        return false;
    }
    if (problems.any()) {
        error = problems.text();
        return false;
    }
    out = std::move(file);
    return true;
}

Submission makeSubmission(std::string file, std::string_view text, bool isSource) {
    if (isSource) return Program::fromSource(text, std::move(file));
    return Program::fromFile(std::string(text), std::move(file), false);
}

std::string visible(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        appendShownByte(out, static_cast<unsigned char>(c), false);
    return out;
}

double SteadyClock::seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int32_t SteadyClock::tickCount() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms.count()));
}

std::string_view statusName(Status status) {
    switch (status) {
    case Status::Passed: return "passed";
    case Status::WrongOutput: return "wrong_output";
    case Status::Error: return "error";
    case Status::StepLimit: return "step_limit";
    case Status::TimeLimit: return "time_limit";
    case Status::MemoryLimit: return "memory_limit";
    case Status::OutputLimit: return "output_limit";
    case Status::DoesNotBuild: return "does_not_build";
    case Status::Empty: return "empty";
    case Status::Unreadable: return "unreadable";
    }
    return "";
}

namespace {

/// A submission without a single instruction: a source of comments and blanks, or an empty
/// program file.
bool isEmpty(const Submission& submission) {
    if (submission.sourceKnown()) return submission.instructions.empty();
    return submission.codeString().empty();
}

std::int64_t sizeOf(const Submission& submission) {
    if (submission.sourceKnown()) return static_cast<std::int64_t>(submission.instructions.size());
    return static_cast<std::int64_t>(submission.codeString().size());
}

CaseResult failedAlike(const TestCase& test, Status status, std::string reason) {
    CaseResult result;
    result.name = test.name;
    result.points = test.points;
    result.hidden = test.hidden;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

/// The challenges of the test file, as checks after the cases.
void addChallenges(SubmissionResult& result, const TestFile& tests, bool ran) {
    const auto check = [&](std::string name, bool passed, std::string reason) {
        CaseResult c;
        c.name = std::move(name);
        c.points = tests.challengePoints;
        c.bonus = tests.challengePoints > 0;
        c.passed = passed;
        c.status = passed ? Status::Passed : Status::WrongOutput;
        if (!passed) c.reason = std::move(reason);
        result.cases.push_back(std::move(c));
    };
    // A challenge counts for a program that passes every case.
    const bool allPassed = std::all_of(result.cases.begin(), result.cases.end(),
                                       [](const CaseResult& c) { return c.passed; });
    if (tests.maxSize) {
        const std::string most = std::to_string(*tests.maxSize);
        check("size: at most " + most + " instructions",
              ran && allPassed && result.size <= *tests.maxSize,
              !ran         ? "nothing ran"
              : !allPassed ? "counts only when every case passes"
                           : "the program has " + std::to_string(result.size) +
                                 " instructions, more than " + most);
    }
    if (tests.maxStepsScore) {
        const std::string most = std::to_string(*tests.maxStepsScore);
        const std::int64_t longest = result.longestSteps();
        check("steps: at most " + most + " in every case",
              ran && allPassed && longest <= *tests.maxStepsScore,
              !ran         ? "nothing ran"
              : !allPassed ? "counts only when every case passes"
                           : "the longest case took " + std::to_string(longest) +
                                 " steps, more than " + most);
    }
}

void scoreWith(SubmissionResult& result, const TestFile& tests) {
    result.allOrNothing = tests.allOrNothing;
    result.scored = tests.allOrNothing || tests.maxSize || tests.maxStepsScore ||
                    std::any_of(tests.cases.begin(), tests.cases.end(),
                                [](const TestCase& c) { return c.points != 1; });
}

} // namespace

SubmissionResult unreadableSubmission(std::string file, const TestFile& tests,
                                      const std::string& reason) {
    SubmissionResult result;
    result.file = std::move(file);
    result.buildError = "cannot be read: " + reason;
    for (const TestCase& test : tests.cases)
        result.cases.push_back(failedAlike(test, Status::Unreadable, result.buildError));
    scoreWith(result, tests);
    addChallenges(result, tests, false);
    return result;
}

CaseResult runCase(const Submission& submission, const TestCase& test,
                   const GradeOptions& options) {
    if (!submission.built) {
        return failedAlike(test, Status::DoesNotBuild,
                           "does not build: " + submission.buildError());
    }
    if (isEmpty(submission)) {
        return failedAlike(test, Status::Empty, "the program is empty: it has no instructions");
    }
    CaseResult result = failedAlike(test, Status::Passed, "");
    SteadyClock steady;
    Clock& clock = options.clock ? *options.clock : steady;
    const double start = clock.seconds();
    try {
        // Runs in the plain loop are traced anyway: they name their steps at once.
        const bool traced = options.plain;
        const Verdict verdict = attempt(submission, test, options, clock, traced, result);
        if ((verdict == Verdict::Diverged || verdict == Verdict::Flooded) && !traced) {
            // Once more, step by step, to name the step where the output went wrong (every
            // other difference knows its step from the end of the run). A run with the virtual
            // clock does the same again; one with the real clock may not, and then the first
            // answer stands.
            CaseResult again = result;
            if (attempt(submission, test, options, clock, true, again) == verdict) result = again;
        }
        result.passed = verdict == Verdict::Passed;
    } catch (const std::exception& e) {
        // The engine failed on this case: it fails alone, and the others are still graded.
        result.passed = false;
        result.status = Status::Error;
        result.reason = std::string("the grader failed on this case: ") + e.what();
    }
    result.seconds = clock.seconds() - start;
    return result;
}

int SubmissionResult::passed() const {
    return static_cast<int>(std::count_if(
        cases.begin(), cases.end(), [](const CaseResult& c) { return c.passed && !c.bonus; }));
}

int SubmissionResult::failed() const {
    return static_cast<int>(std::count_if(
        cases.begin(), cases.end(), [](const CaseResult& c) { return !c.passed && !c.bonus; }));
}

int SubmissionResult::score() const {
    int points = 0;
    bool all = true;
    for (const CaseResult& c : cases) {
        if (c.passed) points += c.points;
        if (!c.passed && !c.bonus) all = false;
    }
    return allOrNothing && !all ? 0 : points;
}

int SubmissionResult::maxScore() const {
    int points = 0;
    for (const CaseResult& c : cases) {
        if (!c.bonus) points += c.points;
    }
    return points;
}

std::int64_t SubmissionResult::longestSteps() const {
    std::int64_t longest = 0;
    for (const CaseResult& c : cases)
        longest = std::max(longest, c.steps);
    return longest;
}

SubmissionResult gradeSubmission(const Submission& submission, const TestFile& tests,
                                 const GradeOptions& options) {
    SubmissionResult result;
    result.file = submission.name;
    if (!submission.built) result.buildError = submission.buildError();
    result.size = submission.built ? sizeOf(submission) : 0;
    for (const TestCase& test : tests.cases) {
        result.cases.push_back(runCase(submission, test, options));
    }
    scoreWith(result, tests);
    addChallenges(result, tests, submission.built && !isEmpty(submission));
    return result;
}

namespace {

/// What a student may read of a case: of a hidden one only whether it passed.
bool showsDetails(const CaseResult& c, const ReportOptions& options) {
    return options.teacher || !c.hidden;
}

std::string scoreText(const SubmissionResult& s) {
    return "score " + std::to_string(s.score()) + " of " + std::to_string(s.maxScore());
}

} // namespace

std::string textReport(const std::vector<SubmissionResult>& results, const ReportOptions& options) {
    std::string out;
    int passed = 0, cases = 0, allPassed = 0;
    for (const SubmissionResult& s : results) {
        const int n = s.passed() + s.failed();
        passed += s.passed();
        cases += n;
        if (s.passed() == n) ++allPassed;
        out += visible(s.file) + ": " + std::to_string(s.passed()) + " of " + std::to_string(n) +
               " cases passed";
        if (s.scored) out += ", " + scoreText(s);
        out += "\n";
        if (!s.buildError.empty()) {
            out += (s.buildError.rfind("cannot be read: ", 0) == 0 ? "  " : "  does not build: ") +
                   visible(s.buildError) + "\n";
            continue;
        }
        for (const CaseResult& c : s.cases) {
            if (c.passed) continue;
            out += std::string(c.bonus ? "  missed \"" : "  failed \"") + visible(c.name) + "\"";
            out += showsDetails(c, options) ? ": " + visible(c.reason) : " (a hidden case)";
            out += "\n";
        }
    }
    out += std::to_string(passed) + " of " + std::to_string(cases) + " cases passed; " +
           std::to_string(allPassed) + " of " + std::to_string(results.size()) +
           " submissions passed every case\n";
    return out;
}

std::string jsonReport(const std::vector<SubmissionResult>& results, const ReportOptions& options) {
    int passed = 0, failed = 0, score = 0, maxScore = 0;
    for (const SubmissionResult& s : results) {
        passed += s.passed();
        failed += s.failed();
        score += s.score();
        maxScore += s.maxScore();
    }
    std::string out = "{\"passed\": " + std::to_string(passed) +
                      ", \"failed\": " + std::to_string(failed) + ", \"submissions\": [";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const SubmissionResult& s = results[i];
        out += i ? ",\n  {\"file\": " : "\n  {\"file\": ";
        appendJsonText(out, s.file);
        out += ", \"passed\": " + std::to_string(s.passed()) +
               ", \"failed\": " + std::to_string(s.failed()) +
               ", \"score\": " + std::to_string(s.score()) +
               ", \"max_score\": " + std::to_string(s.maxScore()) +
               ", \"size\": " + std::to_string(s.size) + ", \"cases\": [";
        for (std::size_t k = 0; k < s.cases.size(); ++k) {
            const CaseResult& c = s.cases[k];
            const bool details = showsDetails(c, options);
            out += k ? ",\n    {\"name\": " : "\n    {\"name\": ";
            appendJsonText(out, c.name);
            out += c.passed ? ", \"passed\": true" : ", \"passed\": false";
            out += ", \"reason\": ";
            appendJsonText(out, details ? c.reason : std::string());
            out += ", \"status\": \"" + std::string(statusName(c.status)) + "\"";
            out += ", \"points\": " + std::to_string(c.passed ? c.points : 0) +
                   ", \"max_points\": " + std::to_string(c.bonus ? 0 : c.points);
            out += c.hidden ? ", \"hidden\": true" : ", \"hidden\": false";
            out += ", \"steps\": " + std::to_string(c.steps);
            if (details) {
                if (c.expected) {
                    out += ", \"expected\": ";
                    appendJsonText(out, *c.expected);
                }
                if (c.got) {
                    out += ", \"got\": ";
                    appendJsonText(out, *c.got);
                }
                if (c.step) out += ", \"step\": " + std::to_string(*c.step);
                if (c.line > 0) out += ", \"line\": " + std::to_string(c.line);
            }
            out += "}";
        }
        out += "]}";
    }
    out += "], \"score\": " + std::to_string(score) +
           ", \"max_score\": " + std::to_string(maxScore) + "}\n";
    return out;
}

std::string junitReport(const std::vector<SubmissionResult>& results, std::string_view name,
                        const ReportOptions& options) {
    const auto isError = [](const CaseResult& c) {
        return c.status == Status::DoesNotBuild || c.status == Status::Unreadable;
    };
    int cases = 0, failed = 0, errors = 0;
    double total = 0;
    for (const SubmissionResult& s : results) {
        for (const CaseResult& c : s.cases) {
            if (c.bonus) continue;
            ++cases;
            total += c.seconds;
            if (!c.passed) ++(isError(c) ? errors : failed);
        }
    }
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<testsuites name=\"" + escapeXml(name) + "\" tests=\"" + std::to_string(cases) +
           "\" failures=\"" + std::to_string(failed) + "\" errors=\"" + std::to_string(errors) +
           "\" time=\"" + seconds(total) + "\">\n";
    for (const SubmissionResult& s : results) {
        double time = 0;
        int suiteCases = 0, suiteFailed = 0, suiteErrors = 0;
        for (const CaseResult& c : s.cases) {
            if (c.bonus) continue;
            ++suiteCases;
            time += c.seconds;
            if (!c.passed) ++(isError(c) ? suiteErrors : suiteFailed);
        }
        out += "  <testsuite name=\"" + escapeXml(s.file) + "\" tests=\"" +
               std::to_string(suiteCases) + "\" failures=\"" + std::to_string(suiteFailed) +
               "\" errors=\"" + std::to_string(suiteErrors) + "\" skipped=\"0\" time=\"" +
               seconds(time) + "\">\n";
        for (const CaseResult& c : s.cases) {
            if (c.bonus) continue;
            out += "    <testcase classname=\"" + escapeXml(s.file) + "\" name=\"" +
                   escapeXml(c.name) + "\" time=\"" + seconds(c.seconds) + "\"";
            if (c.passed) {
                out += "/>\n";
                continue;
            }
            const std::string reason = showsDetails(c, options) ? c.reason : "a hidden case failed";
            const char* element = isError(c) ? "error" : "failure";
            out += ">\n      <" + std::string(element) + " message=\"" + escapeXml(reason) +
                   "\" type=\"" + std::string(statusName(c.status)) + "\">" + escapeXml(reason) +
                   "</" + element + ">\n    </testcase>\n";
        }
        out += "  </testsuite>\n";
    }
    out += "</testsuites>";
    return out;
}

std::string gradescopeReport(const std::vector<SubmissionResult>& results) {
    double time = 0;
    int score = 0;
    for (const SubmissionResult& s : results) {
        score += s.score();
        for (const CaseResult& c : s.cases)
            time += c.seconds;
    }
    std::string out = "{\"score\": " + std::to_string(score) +
                      ", \"execution_time\": " + seconds(time) + ", \"tests\": [";
    bool first = true;
    for (const SubmissionResult& s : results) {
        // With all_or_nothing a failed case takes the points of the others.
        const bool zeroed = s.allOrNothing && s.score() == 0;
        for (const CaseResult& c : s.cases) {
            out += first ? "\n  {\"name\": " : ",\n  {\"name\": ";
            first = false;
            appendJsonText(out, results.size() > 1 ? s.file + ": " + c.name : c.name);
            out += ", \"score\": " + std::to_string(c.passed && !zeroed ? c.points : 0);
            out += ", \"max_score\": " + std::to_string(c.bonus ? 0 : c.points);
            out += c.passed ? ", \"status\": \"passed\"" : ", \"status\": \"failed\"";
            out += ", \"output\": ";
            appendJsonText(out, c.passed ? std::string("passed") : c.reason);
            out += c.hidden ? ", \"visibility\": \"after_due_date\"}"
                            : ", \"visibility\": \"visible\"}";
        }
    }
    out += "]}\n";
    return out;
}

std::string csvReport(const std::vector<SubmissionResult>& results) {
    // A field in quotes when it holds a comma, a quote or a line end; one a spreadsheet would
    // take for a formula gets a quote mark first.
    const auto field = [](std::string_view text) {
        std::string value = visible(text);
        if (!value.empty() && std::string_view("=+-@").find(value[0]) != std::string_view::npos)
            value.insert(0, "'");
        if (value.find_first_of(",\"") == std::string::npos) return value;
        std::string out = "\"";
        for (const char c : value) {
            if (c == '"') out += '"';
            out += c;
        }
        return out + "\"";
    };
    std::string out = "file,score,max_score,passed,failed,longest_steps,size\n";
    for (const SubmissionResult& s : results) {
        out += field(s.file) + "," + std::to_string(s.score()) + "," +
               std::to_string(s.maxScore()) + "," + std::to_string(s.passed()) + "," +
               std::to_string(s.failed()) + "," + std::to_string(s.longestSteps()) + "," +
               std::to_string(s.size) + "\n";
    }
    return out;
}

} // namespace tessivor::grading
