#include "cli/grading.h"

#include "platform/clock.h"
#include "runner/events/json.h"
#include "runner/machine/run.h"

#include <toml++/toml.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <tuple>

namespace tessivor::grading {
namespace {

// ---------------------------------------------------------------------------------------------
// The test file

constexpr const char* kCaseKeys =
    "name, input, output, output_last, end, error, cells, steps, max_steps, seed, clock";

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
};

std::string quoted(std::string_view key) { return "\"" + std::string(key) + "\""; }

/// Reads max_steps, seed or clock; false when `key` is none of them.
bool readSetting(std::string_view key, const toml::node& node, Settings& s, Problems& problems) {
    if (key == "max_steps" || key == "seed") {
        const auto* n = node.as_integer();
        const std::int64_t least = key == "seed" ? 0 : 1;
        if (!n || n->get() < least) {
            problems.add(node, quoted(key) + " must be a whole number of at least " +
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
        problems.add(node, quoted(key) + " must be a list of texts, as in [\"2\", \"3\"]");
        return std::nullopt;
    }
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < array->size(); ++i) {
        const auto* text = (*array)[i].as_string();
        if (!text) {
            problems.add((*array)[i], quoted(key) + ": item " + std::to_string(i + 1) +
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
        problems.add(node, quoted(key) + " must be a text in double quotes");
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
              Problems& problems) {
    TestCase c;
    c.name = "case " + std::to_string(number);
    c.line = static_cast<std::int32_t>(table.source().begin.line);
    Settings own;
    const toml::node* endNode = nullptr;
    const toml::node* errorNode = nullptr;
    const toml::node* outputNode = nullptr;
    const toml::node* lastNode = nullptr;
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
                    problems.add(cellKey.source().begin, "\"cells\": " + quoted(cellKey.str()) +
                                                             " is no cell number (00 to 99)");
                } else if (auto v = readText("cells." + std::string(cellKey.str()), cellNode,
                                             problems)) {
                    c.cells.emplace_back(cell, *v);
                }
            }
        } else {
            problems.add(key.source().begin, "unknown key " + quoted(k) +
                                                 " in a [[case]]; a case may have " + kCaseKeys);
        }
    }
    if (outputNode && lastNode) {
        problems.add(*lastNode, "a case has \"output\" or \"output_last\", not both");
    }
    if (errorNode) {
        if (endNode && c.end != RunEnd::Error) {
            problems.add(*errorNode, "\"error\" needs end = \"error\"");
        }
        c.end = RunEnd::Error;
    }
    for (const TestCase& other : out.cases) {
        if (other.name == c.name) {
            problems.add(table.source().begin, "a case named " + quoted(c.name) +
                                                   " already stands at line " +
                                                   std::to_string(other.line));
        }
    }
    c.maxSteps = own.maxSteps.value_or(defaults.maxSteps.value_or(c.maxSteps));
    c.seed = static_cast<std::uint64_t>(own.seed.value_or(defaults.seed.value_or(1)));
    c.virtualClock = own.virtualClock.value_or(defaults.virtualClock.value_or(true));
    out.cases.push_back(std::move(c));
}

// ---------------------------------------------------------------------------------------------
// Running a case

/// Thrown by the host when a case has used up its time; the run's state unwinds with it.
struct TimeUp {};
/// Thrown by the host at the first "dsp" that differs from the expected output: the case has
/// failed, and a runaway program must not go on filling the screen.
struct Diverged {};

/// Shows a machine text in a report: quoted, control characters escaped, long texts cut.
std::string shown(std::string_view text) {
    constexpr std::size_t kLongest = 120;
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == kLongest) {
            out += "...\" (" + std::to_string(text.size()) + " characters)";
            return out;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
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
    return out + "\"";
}

/// "step 57, line 8 (dsp 04)": where a step stands in the source; the position in the code
/// string for a program file.
std::string where(const Submission& submission, std::int64_t step, std::int32_t pc) {
    std::string text = "step " + std::to_string(step);
    if (const std::int32_t line = submission.lineAt(pc); line > 0) {
        text += ", line " + std::to_string(line);
        const std::string instruction = submission.instructionAt(pc);
        if (!instruction.empty()) text += " (" + instruction + ")";
        return text;
    }
    return text + " (position " + std::to_string(pc) + ")";
}

class GradingHost final : public Host {
public:
    GradingHost(const TestCase& test, std::chrono::steady_clock::time_point deadline)
        : test_(test), deadline_(deadline), random_(test.seed) {}

    /// Where the last step began, when the run is traced.
    std::int64_t step = 0;
    std::int32_t pc = 0;

    std::size_t displays = 0;
    std::optional<std::string> lastDisplay;
    std::string divergence; ///< the first output difference, when Diverged was thrown
    std::vector<std::string> messages;

    void setCaption(std::string_view) override { checkTime(); }
    void setDisplay(std::string_view text) override {
        checkTime();
        if (test_.output) {
            const auto& want = *test_.output;
            const std::string place = "output " + std::to_string(displays + 1) + ": ";
            if (displays == want.size()) {
                divergence = place + "expected no more output, got " + shown(text);
                throw Diverged{};
            }
            if (text != want[displays]) {
                divergence = place + "expected " + shown(want[displays]) + ", got " + shown(text);
                throw Diverged{};
            }
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
        return platform::tickCount();
    }
    float randomSingle() override { return random_.next(); }
    const std::atomic<std::uint32_t>* tickPulse() override { return platform::tickPulse(); }

    /// Ends the run with TimeUp once the case's time is over. The fast loop calls the host
    /// whenever the clock pulse moved (every few milliseconds, or 4096 steps at the most).
    void checkTime() {
        if (std::chrono::steady_clock::now() >= deadline_) throw TimeUp{};
    }

private:
    const TestCase& test_;
    std::chrono::steady_clock::time_point deadline_;
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

/// How the run ended, as a sentence that goes on "the program ...".
std::string endedHow(const RunResult& r, const GradingHost& host, const TestCase& test,
                     const Submission& submission) {
    const std::string at = " at " + where(submission, r.steps, r.pc);
    switch (r.end) {
    case RunEnd::Terminated: return "ended with \"Program Terminated\"" + at;
    case RunEnd::Error:
        return "stopped with the error " +
               shown(host.messages.empty() ? failureDescription(r.failure) : host.messages[0]) + at;
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

/// The first way the finished run differs from the case; "" when it does not.
std::string firstDifference(const RunResult& r, const GradingHost& host, const TestCase& test,
                            const Submission& submission) {
    const bool endOk = r.end == test.end;
    if (!endOk) {
        std::string reason = "the program " + endedHow(r, host, test, submission);
        if (test.output && host.displays < test.output->size()) {
            reason += ", having shown " + std::to_string(host.displays) + " of " +
                      std::to_string(test.output->size()) + " outputs";
        }
        return reason + "; expected " + expectation(test.end);
    }
    if (test.output && host.displays < test.output->size()) {
        return "output " + std::to_string(host.displays + 1) + ": expected " +
               shown((*test.output)[host.displays]) + ", but the program " +
               endedHow(r, host, test, submission);
    }
    if (test.error) {
        const std::string report = host.messages.empty() ? "" : host.messages[0];
        if (report.find(*test.error) == std::string::npos) {
            return "the error report " + shown(report) + " does not contain " + shown(*test.error);
        }
    }
    if (test.outputLast) {
        if (!host.lastDisplay)
            return "last output: expected " + shown(*test.outputLast) +
                   ", but the program showed nothing";
        if (*host.lastDisplay != *test.outputLast) {
            return "last output: expected " + shown(*test.outputLast) + ", got " +
                   shown(*host.lastDisplay);
        }
    }
    for (const auto& [cell, text] : test.cells) {
        const std::string& got = r.mem[static_cast<std::size_t>(cell)];
        if (got != text) {
            return "cell " + cellName(cell) + ": expected " + shown(text) + ", got " + shown(got);
        }
    }
    if (test.steps && r.steps != *test.steps) {
        return "expected " + std::to_string(*test.steps) + " steps, the program took " +
               std::to_string(r.steps);
    }
    return {};
}

enum class Verdict { Passed, Failed, Diverged, TimeUp };

/// How often a run looks at the time besides its calls into the host: rarely enough to cost
/// nothing against a step, often enough that steps on the longest texts overrun the limit by
/// little.
constexpr int kStepsBetweenTimeLooks = 64;

/// One run of a case, in the fast loop unless asked for the plain one; with `traced` (which
/// means the plain loop), the output difference names the step it happened at.
Verdict attempt(const Submission& submission, const TestCase& test, const GradeOptions& options,
                bool traced, std::string& reason) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(options.timeoutSeconds));
    GradingHost host(test, deadline);
    RunOptions run;
    run.maxSteps = test.maxSteps;
    run.plain = options.plain;
    run.virtualClock = options.virtualClock.value_or(test.virtualClock);
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
    try {
        const RunResult r = runprogram(submission.code, host, run);
        reason = firstDifference(r, host, test, submission);
        return reason.empty() ? Verdict::Passed : Verdict::Failed;
    } catch (const Diverged&) {
        reason = host.divergence;
        if (traced) {
            reason += " at " + where(submission, host.step, host.pc);
        }
        return Verdict::Diverged;
    } catch (const TimeUp&) {
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", options.timeoutSeconds);
        reason = "took longer than the time limit of " + std::string(limit) + " s";
        return Verdict::TimeUp;
    } catch (const std::bad_alloc&) {
        // One submission that exhausts the memory fails its case; the others are still graded.
        reason = "the run ran out of memory";
        return Verdict::TimeUp; // no second run
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
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
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
                    problems.add(key.source().begin,
                                 "unknown key " + quoted(key.str()) +
                                     " in [defaults]; it may have max_steps, seed, clock");
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
        for (std::size_t i = 0; i < array->size(); ++i) {
            readCase(*(*array)[i].as_table(), defaults, i + 1, file, problems);
        }
    }
    for (auto&& [key, value] : root) {
        if (key.str() != "defaults" && key.str() != "case") {
            problems.add(key.source().begin, "unknown key " + quoted(key.str()) +
                                                 "; a test file has [defaults] and [[case]]");
        }
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

CaseResult runCase(const Submission& submission, const TestCase& test,
                   const GradeOptions& options) {
    CaseResult result;
    result.name = test.name;
    if (!submission.built) {
        result.reason = "does not build: " + submission.buildError();
        return result;
    }
    const auto start = std::chrono::steady_clock::now();
    // Runs in the plain loop are traced anyway: they name their steps at once.
    const bool traced = options.plain;
    Verdict verdict = attempt(submission, test, options, traced, result.reason);
    if (verdict == Verdict::Diverged && !traced) {
        // Once more, step by step, to name the step where the output went wrong (every other
        // difference knows its step from the end of the run). A run with the virtual clock
        // does the same again; one with the real clock may not, and then the first answer
        // stands.
        std::string again;
        if (attempt(submission, test, options, true, again) == Verdict::Diverged) {
            result.reason = std::move(again);
        }
    }
    result.passed = verdict == Verdict::Passed;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

int SubmissionResult::passed() const {
    return static_cast<int>(
        std::count_if(cases.begin(), cases.end(), [](const CaseResult& c) { return c.passed; }));
}

SubmissionResult gradeSubmission(const Submission& submission, const TestFile& tests,
                                 const GradeOptions& options) {
    SubmissionResult result;
    result.file = submission.name;
    if (!submission.built) result.buildError = submission.buildError();
    for (const TestCase& test : tests.cases) {
        result.cases.push_back(runCase(submission, test, options));
    }
    return result;
}

std::string textReport(const std::vector<SubmissionResult>& results) {
    std::string out;
    int passed = 0, cases = 0, allPassed = 0;
    for (const SubmissionResult& s : results) {
        const int n = static_cast<int>(s.cases.size());
        passed += s.passed();
        cases += n;
        if (s.passed() == n) ++allPassed;
        out += s.file + ": " + std::to_string(s.passed()) + " of " + std::to_string(n) +
               " cases passed\n";
        if (!s.buildError.empty()) {
            out += "  does not build: " + s.buildError + "\n";
            continue;
        }
        for (const CaseResult& c : s.cases) {
            if (!c.passed) out += "  failed \"" + c.name + "\": " + c.reason + "\n";
        }
    }
    out += std::to_string(passed) + " of " + std::to_string(cases) + " cases passed; " +
           std::to_string(allPassed) + " of " + std::to_string(results.size()) +
           " submissions passed every case\n";
    return out;
}

std::string jsonReport(const std::vector<SubmissionResult>& results) {
    int passed = 0, failed = 0;
    for (const SubmissionResult& s : results) {
        passed += s.passed();
        failed += s.failed();
    }
    std::string out = "{\"passed\": " + std::to_string(passed) +
                      ", \"failed\": " + std::to_string(failed) + ", \"submissions\": [";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const SubmissionResult& s = results[i];
        out += i ? ",\n  {\"file\": " : "\n  {\"file\": ";
        appendJsonText(out, s.file);
        out += ", \"passed\": " + std::to_string(s.passed()) +
               ", \"failed\": " + std::to_string(s.failed()) + ", \"cases\": [";
        for (std::size_t k = 0; k < s.cases.size(); ++k) {
            const CaseResult& c = s.cases[k];
            out += k ? ",\n    {\"name\": " : "\n    {\"name\": ";
            appendJsonText(out, c.name);
            out += c.passed ? ", \"passed\": true" : ", \"passed\": false";
            out += ", \"reason\": ";
            appendJsonText(out, c.reason);
            out += "}";
        }
        out += "]}";
    }
    out += "]}\n";
    return out;
}

std::string junitReport(const std::vector<SubmissionResult>& results, std::string_view name) {
    int cases = 0, failed = 0;
    double total = 0;
    for (const SubmissionResult& s : results) {
        cases += static_cast<int>(s.cases.size());
        failed += s.failed();
        for (const CaseResult& c : s.cases)
            total += c.seconds;
    }
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<testsuites name=\"" + escapeXml(name) + "\" tests=\"" + std::to_string(cases) +
           "\" failures=\"" + std::to_string(failed) + "\" errors=\"0\" time=\"" + seconds(total) +
           "\">\n";
    for (const SubmissionResult& s : results) {
        double time = 0;
        for (const CaseResult& c : s.cases)
            time += c.seconds;
        out += "  <testsuite name=\"" + escapeXml(s.file) + "\" tests=\"" +
               std::to_string(s.cases.size()) + "\" failures=\"" + std::to_string(s.failed()) +
               "\" errors=\"0\" skipped=\"0\" time=\"" + seconds(time) + "\">\n";
        for (const CaseResult& c : s.cases) {
            out += "    <testcase classname=\"" + escapeXml(s.file) + "\" name=\"" +
                   escapeXml(c.name) + "\" time=\"" + seconds(c.seconds) + "\"";
            if (c.passed) {
                out += "/>\n";
            } else {
                out += ">\n      <failure message=\"" + escapeXml(c.reason) + "\">" +
                       escapeXml(c.reason) + "</failure>\n    </testcase>\n";
            }
        }
        out += "  </testsuite>\n";
    }
    out += "</testsuites>";
    return out;
}

} // namespace tessivor::grading
