// tessivor-cli run: runs a program file with the terminal in place of the runner window.

#include "cli/commands.h"
#include "cli/diagnostics_output.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/source_places.h"
#include "cli/stream_io.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "runner/events/events.h"
#include "runner/machine/run.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tessivor::cli {
namespace {

constexpr const char* kRunUsage =
    "usage: tessivor-cli run [OPTIONS] FILE\n"
    "\n"
    "Runs a program as the runner window would, in the terminal. FILE is a program\n"
    "file (.tsp) or a source (.tsasm), which is built in memory first and whose\n"
    "checker's warnings then go to stderr, as with build. FILE may be - for a\n"
    "program file on stdin. \"dsp\" writes a line to stdout, message boxes go to\n"
    "stderr, and input boxes prompt on stderr and read a line of stdin (end of\n"
    "input counts as Cancel).\n"
    "\n"
    "Options:\n"
    "  --events              write every event as one JSON object a line on stdout\n"
    "  --max-steps N         stop once N steps have run\n"
    "  --seed N              seed the random generator (default: the clock)\n"
    "  --clock real|virtual  what \"tic\" and the speed display read: the computer's\n"
    "                        clock (default), or one that advances 1 ms every 1000\n"
    "                        steps from 1000 (with --seed, every run is the same)\n"
    "  --source SRC          the source FILE was built from, for places in messages\n"
    "  --trace               write one line a step to stderr: the step, the registers\n"
    "                        before it, the instruction and its place\n"
    "  --stats               write the steps, the seconds and the million steps a\n"
    "                        second to stderr\n"
    "  --plain               use the straightforward interpreter\n"
    "  --quiet               do not print the checker's warnings about a source\n"
    "  -h, --help            show this text\n"
    "\n"
    "When the source is known, a failed run also names its place, the instruction\n"
    "and why: guess.tsasm:22:1: ifl 08, 03: Type mismatch: cell 08 holds \"\"\n"
    "(empty), not a number.\n"
    "\n"
    "Exit status: 0 terminated, 1 error report or failed build, 2 ran past the end,\n"
    "3 preparation failed, 4 step limit, 64 bad usage, 65 SRC does not build to\n"
    "FILE, 66 file unreadable, 73 stdout unwritable, 130 and 143 stopped by Ctrl-C\n"
    "(SIGINT) and SIGTERM.\n";

/// Reads one line of stdin without its "\n" (and a "\r" before it); nullopt at end of input.
/// Stops two bytes past the longest text a cell holds (room for a "\r" before the "\n"); the run
/// refuses a longer reply with "Out of string space", and a line without end (stdin from
/// /dev/zero) must not fill the memory first.
std::optional<std::string> readLine(const RunOutput& output) {
    std::string line;
    int c = 0;
    bool any = false;
    while (line.size() <= kMaxCellLength + 1 && (c = std::getchar()) != EOF) {
        any = true;
        if (c == '\n') break;
        line += static_cast<char>(c);
    }
    output.checkSignal(); // Ctrl-C while waiting for a reply ends the run, not just the reply
    if (!any) return std::nullopt;
    if (c == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool stdinIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stdin));
#else
    return isatty(STDIN_FILENO);
#endif
}

/// The terminal as a host: plain text, or one JSON object a line with --events.
class TerminalHost : public Host {
public:
    TerminalHost(RunOutput& output, EventWriter* events, platform::SingleRandom random)
        : output_(output), events_(events), random_(std::move(random)) {}

    void setCaption(std::string_view caption) override {
        if (events_) events_->caption(caption);
    }
    void setDisplay(std::string_view text) override {
        if (events_) return events_->display(text);
        std::string line(text);
        line += '\n';
        output_.out(line);
    }
    void setLarpEnabled() override {}
    void messageBox(std::string_view text) override {
        if (events_) return events_->message(text);
        std::string line(text);
        line += '\n';
        output_.err(line);
    }
    std::string inputBox(std::string_view prompt) override {
        // On a terminal the reply ends the prompt's line; otherwise the prompt ends it itself,
        // so that what comes next does not run on after it.
        if (!events_) {
            output_.err(std::string(prompt) + (stdinIsTerminal() || prompt.empty() ? "" : "\n"));
        }
        std::string reply = readLine(output_).value_or(std::string());
        if (events_) events_->input(prompt, reply);
        return reply;
    }
    void processEvents() override { output_.checkSignal(); }
    // The step loop reads the clock every few milliseconds, also in a program that shows
    // nothing: the moment to notice Ctrl-C.
    std::int32_t tickCount() override {
        output_.checkSignal();
        return platform::tickCount();
    }
    float randomSingle() override { return random_.next(); }
    const std::atomic<std::uint32_t>* tickPulse() override { return platform::tickPulse(); }

private:
    RunOutput& output_;
    EventWriter* events_; ///< null without --events
    platform::SingleRandom random_;
};

int exitStatus(RunEnd end) {
    switch (end) {
    case RunEnd::Terminated: return 0;
    case RunEnd::Error: return 1;
    case RunEnd::PastEnd: return 2;
    case RunEnd::PrepareFailed: return 3;
    case RunEnd::StepLimit: return 4;
    }
    return 1;
}

} // namespace

int runCommand(std::span<const std::string_view> args) {
    bool events = false, trace = false, stats = false, plain = false, quiet = false;
    std::optional<std::int64_t> maxSteps;
    std::optional<std::uint64_t> seed;
    std::string fileName;
    Options commandLine("run", kRunUsage);
    commandLine.flag("--events", events);
    commandLine.number("--max-steps", maxSteps, 1, "a whole number above 0");
    commandLine.number("--seed", seed, "a whole number");
    commandLine.flag("--trace", trace);
    commandLine.flag("--stats", stats);
    commandLine.flag("--plain", plain);
    commandLine.flag("--quiet", quiet);
    std::optional<std::string> clock;
    commandLine.text("--clock", clock, "real or virtual");
    std::optional<std::string> source;
    commandLine.text("--source", source, "source file");
    commandLine.file(fileName, "program file");
    if (const auto status = commandLine.parse(args)) return *status;
    if (clock && *clock != "real" && *clock != "virtual") {
        return usageError("run", "--clock needs real or virtual");
    }
    RunOptions options;
    options.plain = plain;
    options.maxSteps = maxSteps.value_or(0);
    options.virtualClock = clock == "virtual";
    const std::optional<std::string> file = fileName;

    std::string incode, reason;
    if (!readInput(*file, incode, reason)) {
        std::fflush(stdout);
        std::fprintf(stderr, "tessivor-cli run: %s: %s\n", file->c_str(), reason.c_str());
        return kExitNoInput;
    }
    // A source built here gets the checker's warnings, as build gives them: after a failed
    // build's own error, and before anything the run shows. The program keeps the source's text.
    const bool built = isSourceFile(*file) && !source && !quiet;
    Program program;
    if (const int status = loadProgram("run", *file, std::move(incode), source, program, trace)) {
        if (built && status == 1) printBuildWarnings(*file, program.text, "run");
        return status;
    }
    if (built) printBuildWarnings(*file, program.text, "run");
    if (trace) {
        // Each line follows the "dsp" lines before it, also when both streams go to one file.
        options.trace = [placed = placedTrace(program)](const TraceStep& step) {
            std::fflush(stdout);
            placed(step);
        };
    }

    RunOutput output;
    EventWriter eventWriter([&output](std::string_view text) { output.out(text); });
    try {
        TerminalHost host(output, events ? &eventWriter : nullptr,
                          seed ? platform::SingleRandom(*seed) : platform::SingleRandom());
        const auto start = std::chrono::steady_clock::now();
        const RunResult result = runprogram(program.code, host, options);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        // With a known source a failure also names its place and its reason.
        const bool placed = result.end == RunEnd::Error && program.sourceKnown();
        const std::string place = placed ? failureLine(program, result) : "";
        if (events) {
            eventWriter.end(result, place);
        } else if (placed) {
            output.err(place + "\n");
        } else if (result.end == RunEnd::PrepareFailed) {
            output.err("tessivor-cli run: " + *file +
                       (result.prepareFailure == PrepareFailure::TooManyLabels
                            ? ": more than 99 labels; nothing ran\n"
                            : ": the program is too long to run; nothing ran\n"));
        } else if (result.end == RunEnd::PastEnd) {
            output.err(
                "tessivor-cli run: the program ran past its last position without \"end\"\n");
        } else if (result.end == RunEnd::StepLimit) {
            output.err("tessivor-cli run: stopped after " + std::to_string(result.steps) +
                       " steps\n");
        }
        if (stats) {
            char line[160];
            std::snprintf(line, sizeof line,
                          "steps: %lld\nseconds: %.6f\nmillion steps a second: %.2f\n",
                          static_cast<long long>(result.steps), seconds,
                          seconds > 0 ? static_cast<double>(result.steps) / seconds / 1e6 : 0.0);
            output.err(line);
        }
        output.flush();
        return exitStatus(result.end);
    } catch (const RunStopped& stop) {
        return output.finish(stop, [&] {
            if (events) eventWriter.interrupted(signalName(stop.code));
        });
    }
}

} // namespace tessivor::cli
