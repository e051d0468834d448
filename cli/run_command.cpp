// tessivor-cli run: runs a program file with the terminal in place of the runner window.

#include "cli/commands.h"
#include "cli/json.h"
#include "cli/source_places.h"
#include "cli/stream_io.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "runner/machine/run.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

namespace tessivor::cli {
namespace {

constexpr const char* kRunUsage =
    "usage: tessivor-cli run [OPTIONS] FILE.tsp|FILE.tsasm\n"
    "\n"
    "Runs a program file as the runner window would, in the terminal: \"dsp\" writes to\n"
    "stdout, message boxes go to stderr, input boxes prompt on stderr and read a line of stdin\n"
    "(end of input counts as Cancel). FILE may be - for stdin. A source file (.tsasm) is\n"
    "built in memory first. When the source is known, a failed run also names its place:\n"
    "  guess.tsasm:14:1: ifl 08, 03: Type mismatch: cell 08 holds \"\" (empty), not a number\n"
    "\n"
    "Options:\n"
    "  --events        write every event as one JSON object a line on stdout\n"
    "  --max-steps N   stop once N steps have run\n"
    "  --seed N        seed the random generator (default: the clock)\n"
    "  --source SRC    the source FILE.tsp was built from, for places in messages\n"
    "  --trace         write one line a step to stderr, with the instruction and its place\n"
    "  --stats         write steps, seconds and million steps a second to stderr\n"
    "  --plain         use the straightforward interpreter\n"
    "  --help          show this text\n"
    "\n"
    "Exit status: 0 terminated, 1 error report or failed build, 2 ran past the end,\n"
    "3 preparation failed, 65 SRC does not build to FILE,\n"
    "4 step limit, 64 bad usage, 66 file unreadable.\n";

void writeOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void writeErr(std::string_view text) {
    std::fflush(stdout); // keep stdout and stderr in order on a terminal
    std::fwrite(text.data(), 1, text.size(), stderr);
}

/// Reads one line of stdin without its "\n" (and a "\r" before it); nullopt at end of input.
/// Stops two bytes past the longest text a cell holds (room for a "\r" before the "\n"); the run
/// refuses a longer reply with "Out of string space", and a line without end (stdin from
/// /dev/zero) must not fill the memory first.
std::optional<std::string> readLine() {
    std::string line;
    int c = 0;
    bool any = false;
    while (line.size() <= kMaxCellLength + 1 && (c = std::getchar()) != EOF) {
        any = true;
        if (c == '\n') break;
        line += static_cast<char>(c);
    }
    if (!any) return std::nullopt;
    if (c == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

/// The terminal as a host: plain text, or one JSON object a line with --events.
class TerminalHost : public Host {
public:
    TerminalHost(bool events, platform::SingleRandom random)
        : events_(events), random_(std::move(random)) {}

    void setCaption(std::string_view caption) override {
        if (events_) emit("caption", caption);
    }
    void setDisplay(std::string_view text) override {
        if (events_) return emit("display", text);
        std::string line(text);
        line += '\n';
        writeOut(line);
    }
    void setLarpEnabled() override {}
    void messageBox(std::string_view text) override {
        if (events_) return emit("message", text);
        std::string line(text);
        line += '\n';
        writeErr(line);
    }
    std::string inputBox(std::string_view prompt) override {
        if (!events_) writeErr(prompt);
        std::string reply = readLine().value_or(std::string());
        if (events_) {
            std::string line = "{\"input\": ";
            appendJsonString(line, prompt);
            line += ", \"reply\": ";
            appendJsonString(line, reply);
            line += "}\n";
            writeOut(line);
        }
        return reply;
    }
    void processEvents() override {}
    std::int32_t tickCount() override { return platform::tickCount(); }
    float randomSingle() override { return random_.next(); }
    const std::atomic<std::uint32_t>* tickPulse() override { return platform::tickPulse(); }

private:
    void emit(const char* key, std::string_view text) {
        std::string line = "{\"";
        line += key;
        line += "\": ";
        appendJsonString(line, text);
        line += "}\n";
        writeOut(line);
    }

    bool events_;
    platform::SingleRandom random_;
};

const char* endName(RunEnd end) {
    switch (end) {
    case RunEnd::Terminated: return "terminated";
    case RunEnd::Error: return "error";
    case RunEnd::PassedEnd: return "passed-end";
    case RunEnd::PrepareFailed: return "prepare-failed";
    case RunEnd::StepLimit: return "step-limit";
    }
    return "";
}

const char* failureName(Failure failure) {
    switch (failure) {
    case Failure::None: return "";
    case Failure::SubscriptOutOfRange: return "subscript out of range";
    case Failure::TypeMismatch: return "type mismatch";
    case Failure::Overflow: return "overflow";
    case Failure::OutOfStringSpace: return "out of string space";
    }
    return "";
}

int exitStatus(RunEnd end) {
    switch (end) {
    case RunEnd::Terminated: return 0;
    case RunEnd::Error: return 1;
    case RunEnd::PassedEnd: return 2;
    case RunEnd::PrepareFailed: return 3;
    case RunEnd::StepLimit: return 4;
    }
    return 1;
}

std::string endObject(const RunResult& r, const std::string& place) {
    std::string line = "{\"end\": \"";
    line += endName(r.end);
    line += "\", \"steps\": " + std::to_string(r.steps);
    if (r.end != RunEnd::PrepareFailed) {
        if (r.end == RunEnd::Error) {
            line += ", \"failure\": \"";
            line += failureName(r.failure);
            line += '"';
            if (!place.empty()) {
                line += ", \"place\": ";
                appendJsonString(line, place);
            }
        }
        line += ", \"pc\": " + std::to_string(r.pc) + ", \"cur\": " + std::to_string(r.cur) +
                ", \"opb\": " + std::to_string(r.opb) + ", \"opc\": " + std::to_string(r.opc) +
                ", \"cells\": [";
        for (int i = 0; i < kCells; ++i) {
            if (i) line += ", ";
            appendJsonString(line, r.mem[static_cast<std::size_t>(i)]);
        }
        line += ']';
    }
    line += "}\n";
    return line;
}

template <typename T> bool parseNumber(std::string_view text, T& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

int runCommand(std::span<const std::string_view> args) {
    bool events = false, trace = false, stats = false;
    RunOptions options;
    std::optional<std::uint64_t> seed;
    std::optional<std::string> file, source;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kRunUsage, stdout);
            return 0;
        } else if (arg == "--events") {
            events = true;
        } else if (arg == "--trace") {
            trace = true;
        } else if (arg == "--stats") {
            stats = true;
        } else if (arg == "--plain") {
            options.plain = true;
        } else if (arg == "--max-steps") {
            const auto v = value();
            std::int64_t n = 0;
            if (!v || !parseNumber(*v, n) || n <= 0) {
                return usageError("run", "--max-steps needs a whole number above 0");
            }
            options.maxSteps = n;
        } else if (arg == "--source") {
            const auto v = value();
            if (!v || v->empty()) return usageError("run", "--source needs a source file");
            source = std::string(*v);
        } else if (arg == "--seed") {
            const auto v = value();
            std::uint64_t n = 0;
            if (!v || !parseNumber(*v, n)) return usageError("run", "--seed needs a whole number");
            seed = n;
        } else if (arg.size() > 1 && arg.front() == '-') {
            return usageError("run", "unknown option '" + std::string(arg) + "'");
        } else if (file) {
            return usageError("run", "one program file at a time");
        } else {
            file = std::string(arg);
        }
    }
    if (!file) return usageError("run", "no program file given");

    std::string incode, reason;
    if (!readInput(*file, incode, reason)) {
        writeErr("tessivor-cli run: " + *file + ": " + reason + "\n");
        return kExitNoInput;
    }
    ProgramSource program;
    if (const int status = loadProgram("run", *file, std::move(incode), source, program, trace)) {
        return status;
    }
    if (trace) options.trace = placedTrace(program);

    TerminalHost host(events, seed ? platform::SingleRandom(*seed) : platform::SingleRandom());
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = runprogram(program.code, host, options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // With a known source a failure also names its place and its reason.
    const bool placed = result.end == RunEnd::Error && program.known;
    const std::string place = placed ? failureLine(program, result) : "";
    if (events) {
        writeOut(endObject(result, place));
    } else if (placed) {
        writeErr(place + "\n");
    } else if (result.end == RunEnd::PrepareFailed) {
        writeErr("tessivor-cli run: " + *file +
                 (result.failure == Failure::SubscriptOutOfRange
                      ? ": more than 99 labels; nothing ran\n"
                      : ": the program is too long to run; nothing ran\n"));
    } else if (result.end == RunEnd::PassedEnd) {
        writeErr("tessivor-cli run: the program ran past its last position without \"end\"\n");
    } else if (result.end == RunEnd::StepLimit) {
        writeErr("tessivor-cli run: stopped after " + std::to_string(result.steps) + " steps\n");
    }
    if (stats) {
        char line[160];
        std::snprintf(line, sizeof line, "steps: %lld\nseconds: %.6f\nmillion steps a second: %.2f\n",
                      static_cast<long long>(result.steps), seconds,
                      seconds > 0 ? static_cast<double>(result.steps) / seconds / 1e6 : 0.0);
        writeErr(line);
    }
    std::fflush(stdout);
    return exitStatus(result.end);
}

} // namespace tessivor::cli
