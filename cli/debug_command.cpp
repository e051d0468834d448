// tessivor-cli debug: steps through a program, forward and back, with breakpoints on source
// lines, watches on cells and a view of the registers and the cells.

#include "cli/commands.h"
#include "cli/source_places.h"
#include "cli/stream_io.h"
#include "platform/clock.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "runner/debug/session.h"
#include "runner/events/json.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifdef TESSIVOR_HAVE_LIBEDIT
#include <editline/readline.h>
#endif
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <pthread.h>
#include <unistd.h>
#endif

namespace tessivor::cli {
namespace {

constexpr const char* kDebugUsage =
    "usage: tessivor-cli debug [OPTIONS] FILE\n"
    "\n"
    "Steps through a program, forward and back, with breakpoints on source lines\n"
    "and watches on cells. FILE is a source (.tsasm, built in memory) or a program\n"
    "file (.tsp, listed as its source).\n"
    "\n"
    "Options:\n"
    "  -x SCRIPT             run the commands in SCRIPT, one a line, then quit\n"
    "  --json                answer each command with one JSON object a line\n"
    "  --input FILE          answer input boxes with the lines of FILE (at its end:\n"
    "                        Cancel)\n"
    "  --seed N              seed the random generator (default: the clock)\n"
    "  --clock real|virtual  what \"tic\" reads: the computer's clock (default), or\n"
    "                        one that advances 1 ms every 1000 steps\n"
    "  --max-steps N         end the run after N steps\n"
    "  --source SRC          the source FILE was built from\n"
    "  -h, --help            show this text\n"
    "\n";

constexpr const char* kDebugExitStatus =
    "\n"
    "Exit status: 0 done, 1 the build failed, 64 bad usage, 65 the source does not\n"
    "build to FILE or a command line is longer than 65536 bytes, 66 a file\n"
    "unreadable, 130 Ctrl-C between the commands of a SCRIPT.\n";

constexpr const char* kDebugHelp =
    "Commands (a unique beginning of a name will do):\n"
    "  break LINE (b)        stop before the instructions of source line LINE\n"
    "  break *POS            stop before code position POS\n"
    "  watch CELL            stop after a step that changes the text of cell CELL\n"
    "  delete [N] (d)        delete breakpoint or watch N, or all of them\n"
    "  continue (c)          run until a breakpoint, a watch or the end\n"
    "  step [N] (s, next)    run N source instructions (default 1)\n"
    "  stepi [N] (si)        run N machine steps (default 1)\n"
    "  back [N]              go N machine steps back (default 1)\n"
    "  backstep              go back to the start of the previous instruction\n"
    "  reverse-continue (rc) go back to the last breakpoint or watch stop before now\n"
    "  reverse-step [N] (rs) go N source instructions back (default 1)\n"
    "  reverse-stepi [N] (rsi)\n"
    "                        go N machine steps back, as back does\n"
    "  goto N                go to step N of the run, back or forward\n"
    "  print CELL|FROM-TO|regs (p)\n"
    "                        show cells or the registers\n"
    "  cells                 show every cell that is not empty\n"
    "  list (l)              show the source around the current line\n"
    "  run (r)               start again from the beginning and continue\n"
    "  restart               start again from the beginning\n"
    "  quit (q)              leave the debugger\n"
    "  help (h)              show this text\n";

/// The longest command line read: no command needs a hundredth of it, and a file of something
/// else given as commands ends the session at its first long line instead of filling the memory.
constexpr std::size_t kMaxCommandLine = 65536;

volatile std::sig_atomic_t gInterrupted = 0; // Ctrl-C came since the last look
volatile std::sig_atomic_t gPauseSent = 0;   // ... and asked the moving session to pause
std::atomic<DebugSession*> gMoving{nullptr}; // the session whose move Ctrl-C pauses

extern "C" void onInterrupt(int signal) {
#if defined(_WIN32)
    std::signal(signal, onInterrupt); // Windows puts the default back before each call
#else
    (void)signal;
#endif
    gInterrupted = 1;
    if (DebugSession* session = gMoving.load()) {
        gPauseSent = 1;
        session->pause();
    }
}

/// Writes `text` to stdout as it stands, NUL bytes and all.
void put(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

/// How a line read ended.
enum class Read { Line, End, Interrupted, TooLong };

/// Reads one line of at most `limit` bytes from `in`, without its line end (LF or CR LF). A
/// longer line is TooLong, with at most `limit` + 2 of its bytes in `line` and the rest left
/// unread. Ctrl-C while it waits is Interrupted, the part read so far dropped.
Read readLine(std::FILE* in, std::size_t limit, std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        errno = 0;
        const int c = std::getc(in);
        if (c == EOF) {
            if (std::ferror(in) && (errno == EINTR || gInterrupted)) {
                std::clearerr(in);
                line.clear();
                return Read::Interrupted;
            }
            if (!any) return Read::End;
            break;
        }
        any = true;
        if (c == '\n') break;
        line += static_cast<char>(c);
        if (line.size() > limit + 1) return Read::TooLong; // one more for a CR before the LF
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line.size() > limit ? Read::TooLong : Read::Line;
}

/// The debugger's view of the window: the display and the messages are shown after each
/// command. Input boxes stop the session; the debugger asks reply() for the answer.
class DebugHost : public Host {
public:
    DebugHost(platform::SingleRandom random, bool json, std::FILE* input)
        : random_(std::move(random)), json_(json), input_(input) {}

    std::vector<std::string> messages;

    void setCaption(std::string_view) override {}
    void setDisplay(std::string_view text) override {
        if (!json_) put("display: " + std::string(text) + "\n");
    }
    void setLarpEnabled() override {}
    void messageBox(std::string_view text) override {
        messages.emplace_back(text);
        if (!json_) put(std::string(text) + "\n");
    }
    /// Never called: the session stops for input instead (DebugOptions::stopForInput).
    std::string inputBox(std::string_view) override { return {}; }
    /// The reply to an input box, from --input or stdin: one line, its end Cancel (""). A line
    /// longer than a cell can hold is given as it is, and the machine refuses it. nullopt when
    /// Ctrl-C came while it waited.
    std::optional<std::string> reply(std::string_view prompt) {
        if (input_ == stdin) {
            std::fflush(stdout);
            std::fprintf(stderr, "%.*s\n", static_cast<int>(prompt.size()), prompt.data());
        }
        std::string line;
        const Read got = readLine(input_, kMaxCellLength, line);
        if (got == Read::Interrupted) return std::nullopt;
        return got == Read::End ? std::string() : line;
    }
    void processEvents() override {}
    std::int32_t tickCount() override { return platform::tickCount(); }
    float randomSingle() override { return random_.next(); }
    const std::atomic<std::uint32_t>* tickPulse() override { return platform::tickPulse(); }

private:
    platform::SingleRandom random_;
    bool json_;
    std::FILE* input_;
};

template <typename T> bool parseNumber(std::string_view text, T& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::string cellName(std::int32_t cell) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", cell);
    return text;
}

/// The words of a command line.
std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

/// The full name of a command given by an abbreviation or a unique beginning; "" if none, and
/// then `candidates` holds the names it begins, when it begins several.
std::string commandName(const std::string& given, std::vector<std::string>& candidates) {
    static const std::pair<const char*, const char*> kAliases[] = {
        {"b", "break"},
        {"c", "continue"},
        {"s", "step"},
        {"si", "stepi"},
        {"p", "print"},
        {"q", "quit"},
        {"d", "delete"},
        {"l", "list"},
        {"r", "run"},
        {"h", "help"},
        {"n", "step"},
        {"next", "step"},
        {"rc", "reverse-continue"},
        {"rs", "reverse-step"},
        {"rsi", "reverse-stepi"}}; // no calls to step over: next is step
    static const char* const kNames[] = {"break",
                                         "watch",
                                         "delete",
                                         "continue",
                                         "step",
                                         "stepi",
                                         "back",
                                         "backstep",
                                         "reverse-step",
                                         "reverse-stepi",
                                         "reverse-continue",
                                         "goto",
                                         "print",
                                         "cells",
                                         "list",
                                         "run",
                                         "restart",
                                         "quit",
                                         "help"};
    candidates.clear();
    for (const auto& [alias, name] : kAliases)
        if (given == alias) return name;
    for (const char* name : kNames) {
        const std::string_view n(name);
        if (n == given) return name;
        if (n.rfind(given, 0) == 0) candidates.emplace_back(name);
    }
    if (candidates.size() == 1) return candidates.front();
    return {};
}

class Debugger {
public:
    Debugger(Program& program, DebugSession& session, DebugHost& host, bool json)
        : program_(program), session_(session), host_(host), json_(json) {
        std::istringstream in(program.text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines_.push_back(line);
        }
    }

    /// Runs one command line; false once it was "quit".
    bool execute(const std::string& line) {
        const std::vector<std::string> w = words(line);
        if (w.empty()) return true;
        host_.messages.clear();
        out_.clear();
        extra_.clear();
        error_.clear();
        std::vector<std::string> candidates;
        const std::string name = commandName(w[0], candidates);
        std::optional<Stop> stop;
        bool quit = false;
        if (name.empty() && candidates.size() > 1) {
            error_ = "ambiguous command '" + w[0] + "': ";
            for (std::size_t k = 0; k < candidates.size(); ++k)
                error_ += (k > 0 ? ", " : "") + candidates[k];
            error_ += "; try help";
        } else if (name.empty()) {
            error_ = "unknown command '" + w[0] + "'; try help";
        } else if (name == "quit") {
            quit = true;
        } else if (name == "help") {
            out_ = kDebugHelp;
        } else if (name == "break") {
            breakCommand(w);
        } else if (name == "watch") {
            watchCommand(w);
        } else if (name == "delete") {
            deleteCommand(w);
        } else if (name == "print") {
            printCommand(w);
        } else if (name == "cells") {
            cellsCommand();
        } else if (name == "list") {
            listCommand();
        } else if (name == "reverse-continue") {
            if (w.size() > 1)
                error_ = name + " takes no count";
            else
                stop = session_.reverseContinue();
        } else if (name == "goto") {
            std::int64_t n = 0;
            if (w.size() != 2 || !parseNumber(w[1], n) || n < 0)
                error_ = "goto takes a step number, 0 or above";
            else
                stop = move([&] { return session_.goTo(n); });
        } else if (name == "restart" || name == "run") {
            session_.restart();
            pausePending_ = false; // a fresh run forgets a pause asked of the old one
            if (name == "run") stop = move([&] { return session_.cont(); });
        } else {
            std::int64_t n = 1;
            if (w.size() > 2 || (w.size() == 2 && (!parseNumber(w[1], n) || n <= 0))) {
                error_ = name + " takes one count above 0";
            } else if (name == "continue") {
                stop = move([&] { return session_.cont(); });
            } else if (name == "step") {
                stop = move([&] { return session_.step(n); });
            } else if (name == "stepi") {
                stop = move([&] { return session_.stepi(n); });
            } else if (name == "back" || name == "reverse-stepi") {
                stop = session_.back(n);
            } else if (name == "reverse-step") {
                stop = session_.reverseStep(n);
            } else if (name == "backstep") {
                stop = session_.backInstruction();
            }
        }
        report(line, stop);
        return !quit;
    }

private:
    /// Runs a move with Ctrl-C pausing it. An input box on the way is answered here and the
    /// move goes on; Ctrl-C while it waits pauses the run before the "inp".
    template <class Move> Stop move(Move m) {
        settlePause();
        gInterrupted = 0;
        Stop stop = moving(m);
        while (stop == Stop::Input) {
            std::optional<std::string> reply;
            if (!gInterrupted) reply = host_.reply(session_.state().inputPrompt);
            if (!reply) {
                stop = Stop::Paused;
                break;
            }
            session_.provideInput(std::move(*reply));
            stop = moving([&] { return session_.resume(); });
        }
        if (stop == Stop::Paused) gInterrupted = 0; // the pause was the Ctrl-C's answer
        return stop;
    }

    template <class Call> Stop moving(Call call) {
        gPauseSent = 0;
        gMoving.store(&session_);
        const Stop stop = call();
        gMoving.store(nullptr);
        // A Ctrl-C that came as the move ended left its pause in the session for the next move.
        if (gPauseSent && stop != Stop::Paused) pausePending_ = true;
        return stop;
    }

    /// Takes back a pause left for this move: a step with a pause waiting returns Paused
    /// without moving. (An ended run keeps it until it moves again.)
    void settlePause() {
        if (!pausePending_ || session_.state().ended) return;
        session_.stepi(1);
        pausePending_ = false;
    }

    void breakCommand(const std::vector<std::string>& w) {
        std::int32_t where = 0;
        if (w.size() != 2) {
            error_ = "break takes a source line, or *POSITION";
        } else if (w[1][0] == '*') {
            if (!parseNumber(std::string_view(w[1]).substr(1), where) || where < 1 ||
                static_cast<std::size_t>(where) > session_.codeLength()) {
                error_ = "no code position " + w[1].substr(1) + " (1 to " +
                         std::to_string(session_.codeLength()) + ")";
                return;
            }
            extra_ = "\"breakpoint\": " + std::to_string(session_.breakAtPosition(where));
            out_ = "Breakpoint at position " + std::to_string(where);
        } else if (!parseNumber(w[1], where) || !lineHasInstruction(where)) {
            error_ = "no instruction starts on line " + w[1];
        } else {
            const int number = session_.breakAtLine(where);
            extra_ = "\"breakpoint\": " + std::to_string(number);
            out_ = "Breakpoint " + std::to_string(number) + " at " + program_.name + ":" +
                   std::to_string(where);
        }
    }

    bool lineHasInstruction(std::int32_t line) const {
        const SourceMap& map = session_.sourceMap();
        for (std::size_t p = 1; p < map.line.size(); ++p)
            if (map.line[p] == line && map.instructionStart[p]) return true;
        return false;
    }

    void watchCommand(const std::vector<std::string>& w) {
        std::int32_t cell = -1;
        if (w.size() != 2 || !parseNumber(w[1], cell) || cell < 0 || cell >= kCells) {
            error_ = "watch takes a cell number, 0 to 99";
            return;
        }
        const int number = session_.watchCell(cell);
        extra_ = "\"watch\": " + std::to_string(number);
        out_ = "Watch " + std::to_string(number) + " on cell " + cellName(cell);
    }

    void deleteCommand(const std::vector<std::string>& w) {
        int number = 0;
        if (w.size() == 1) {
            session_.deleteAllBreakpoints();
        } else if (w.size() != 2 || !parseNumber(w[1], number) ||
                   !session_.deleteBreakpoint(number)) {
            error_ = "no breakpoint or watch " + (w.size() > 1 ? w[1] : std::string());
        }
    }

    void printCommand(const std::vector<std::string>& w) {
        if (w.size() != 2) {
            error_ = "print takes CELL, FROM-TO or regs";
            return;
        }
        const DebugState st = session_.state();
        if (w[1] == "regs") {
            char text[128];
            std::snprintf(text, sizeof text, "pc=%d cur=%d opb=%d opc=%d steps=%lld", st.pc, st.cur,
                          st.opb, st.opc, static_cast<long long>(st.steps));
            out_ = text;
            return;
        }
        const std::size_t dash = w[1].find('-', 1);
        std::int32_t from = 0, to = 0;
        const bool ok = dash == std::string::npos
                            ? parseNumber(w[1], from) && (to = from, true)
                            : parseNumber(std::string_view(w[1]).substr(0, dash), from) &&
                                  parseNumber(std::string_view(w[1]).substr(dash + 1), to);
        if (!ok || from < 0 || to >= kCells || from > to) {
            error_ = "print takes CELL, FROM-TO (0 to 99) or regs";
            return;
        }
        extra_ = "\"print\": {";
        for (std::int32_t c = from; c <= to; ++c) {
            const std::string& text = session_.cells()[static_cast<std::size_t>(c)];
            if (c > from) extra_ += ", ";
            extra_ += '"' + cellName(c) + "\": ";
            appendJsonString(extra_, text);
            out_ += cellName(c) + " = \"" + text + "\"\n";
        }
        extra_ += '}';
        if (!out_.empty()) out_.pop_back();
    }

    void cellsCommand() {
        extra_ = "\"cells\": [";
        for (std::int32_t c = 0; c < kCells; ++c) {
            const std::string& text = session_.cells()[static_cast<std::size_t>(c)];
            if (c > 0) extra_ += ", ";
            appendJsonString(extra_, text);
            if (!text.empty()) out_ += cellName(c) + " = \"" + text + "\"\n";
        }
        extra_ += ']';
        if (out_.empty()) out_ = "every cell is empty";
        if (out_.back() == '\n') out_.pop_back();
    }

    void listCommand() {
        const std::int32_t line = session_.state().line;
        const std::int32_t around = line > 0 ? line : 1;
        const std::int32_t first = std::max(1, around - 5);
        const auto last = std::min(static_cast<std::int32_t>(lines_.size()), around + 5);
        extra_ = "\"lines\": [";
        for (std::int32_t l = first; l <= last; ++l) {
            const std::string& text = lines_[static_cast<std::size_t>(l - 1)];
            if (l > first) extra_ += ", ";
            appendJsonString(extra_, text);
            char head[32];
            std::snprintf(head, sizeof head, "%s%5d  ", l == line ? "=>" : "  ", l);
            out_ += head + text + "\n";
        }
        extra_ += "], \"first\": " + std::to_string(first);
        if (!out_.empty()) out_.pop_back();
    }

    /// Writes the answer to one command: a JSON object, or lines for a person.
    void report(const std::string& command, std::optional<Stop> stop) {
        if (json_) {
            std::string o = "{\"command\": ";
            appendJsonString(o, command);
            if (!error_.empty()) {
                o += ", \"error\": ";
                appendJsonString(o, error_);
                o += "}\n";
                std::fputs(o.c_str(), stdout);
                return;
            }
            const DebugState st = session_.state();
            o += ", \"stop\": ";
            if (stop && *stop != Stop::None) {
                o += '"';
                o += stopName(*stop);
                o += '"';
            } else {
                o += "null";
            }
            o += ", \"steps\": " + std::to_string(st.steps) + ", \"pc\": " + std::to_string(st.pc) +
                 ", \"cur\": " + std::to_string(st.cur) + ", \"opb\": " + std::to_string(st.opb) +
                 ", \"opc\": " + std::to_string(st.opc) +
                 ", \"line\": " + (st.line > 0 ? std::to_string(st.line) : "null") +
                 ", \"instruction\": ";
            appendJsonString(o, st.instruction);
            o += ", \"display\": ";
            appendJsonString(o, st.display);
            if (!host_.messages.empty()) {
                o += ", \"messages\": [";
                for (std::size_t i = 0; i < host_.messages.size(); ++i) {
                    if (i) o += ", ";
                    appendJsonString(o, host_.messages[i]);
                }
                o += ']';
            }
            if (stop && *stop == Stop::Error) {
                o += ", \"report\": ";
                appendJsonString(o, errorLine(st));
            }
            if (!extra_.empty()) o += ", " + extra_;
            o += "}\n";
            std::fputs(o.c_str(), stdout);
            return;
        }
        if (!error_.empty()) {
            put("error: " + error_ + "\n");
            return;
        }
        if (!out_.empty()) put(out_ + "\n");
        if (stop) describe(*stop);
    }

    std::string errorLine(const DebugState& st) const {
        RunResult r;
        r.end = RunEnd::Error;
        r.failure = st.failure;
        r.pc = st.pc;
        r.cur = st.cur;
        r.opb = st.opb;
        r.opc = st.opc;
        r.mem = session_.cells();
        return failureLine(program_, r);
    }

    void describe(Stop stop) {
        const DebugState st = session_.state();
        switch (stop) {
        case Stop::None:
            if (st.ended) std::puts("The program has ended; restart, or go back.");
            return;
        case Stop::Error: put(errorLine(st) + "\n"); return;
        case Stop::Terminated: return;
        case Stop::PastEnd: std::puts("The program ran past its last position."); return;
        case Stop::StepLimit:
            std::printf("Stopped at the step limit, %lld steps.\n",
                        static_cast<long long>(st.steps));
            return;
        case Stop::HistoryEnd: std::puts("The history reaches no further back."); break;
        case Stop::PrepareFailed:
            std::puts("The program cannot be prepared: more than 99 labels.");
            return;
        case Stop::Breakpoint: std::fputs("Breakpoint, ", stdout); break;
        case Stop::Watch: std::fputs("Watch, ", stdout); break;
        case Stop::Paused: std::fputs("Paused, ", stdout); break;
        default: break;
        }
        char registers[128];
        std::snprintf(registers, sizeof registers, "  [pc=%d cur=%d opb=%d opc=%d steps=%lld]\n",
                      st.pc, st.cur, st.opb, st.opc, static_cast<long long>(st.steps));
        put(program_.placeOf(st.pc) + "  " + st.instruction + registers);
    }

    Program& program_;
    DebugSession& session_;
    DebugHost& host_;
    bool json_;
    std::vector<std::string> lines_;
    std::string out_, extra_, error_;
    bool pausePending_ = false;
};

/// Reads one command line: with line editing and history on a terminal where libedit is there.
Read readCommand(bool edit, std::string& line) {
#ifdef TESSIVOR_HAVE_LIBEDIT
    if (edit) {
        errno = 0;
        char* got = readline("(tessivor) ");
        if (!got) return errno == EINTR || gInterrupted ? Read::Interrupted : Read::End;
        line = got;
        std::free(got);
        if (line.size() > kMaxCommandLine) return Read::TooLong;
        if (!line.empty()) add_history(line.c_str());
        return Read::Line;
    }
#endif
    if (edit) {
        std::fputs("(tessivor) ", stdout);
        std::fflush(stdout);
    }
    return readLine(stdin, kMaxCommandLine, line);
}

/// Ctrl-C pauses a move and leaves the debugger itself alone, from the first command to the
/// last; what the signal did before comes back at the end.
class InterruptHandler {
public:
    InterruptHandler() {
#if defined(_WIN32)
        previous_ = std::signal(SIGINT, onInterrupt);
        if (previous_ == SIG_IGN) std::signal(SIGINT, SIG_IGN);
#else
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: a read that waits for a line returns at once
        sigaction(SIGINT, &action, &previous_);
        // A Ctrl-C the shell ignored for us (a background job) stays ignored.
        if (previous_.sa_handler == SIG_IGN) sigaction(SIGINT, &previous_, nullptr);
#endif
    }
    ~InterruptHandler() {
#if defined(_WIN32)
        std::signal(SIGINT, previous_);
#else
        sigaction(SIGINT, &previous_, nullptr);
#endif
    }
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

private:
#if defined(_WIN32)
    void (*previous_)(int);
#else
    struct sigaction previous_ {};
#endif
};

/// Starts the speed display's clock thread with Ctrl-C blocked in it, so that the signal
/// reaches the thread that reads commands and replies and its read returns.
void startClockWithoutInterrupts() {
#if !defined(_WIN32)
    sigset_t blocked, old;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    pthread_sigmask(SIG_BLOCK, &blocked, &old);
    platform::tickPulse();
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
#else
    platform::tickPulse();
#endif
}

/// Closes a file of commands or replies that the debugger opened.
struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openForReading(const std::string& name) {
#if defined(_WIN32)
    return File(_wfopen(platform::pathFromArgument(name).c_str(), L"rb"));
#else
    return File(std::fopen(name.c_str(), "rb"));
#endif
}

} // namespace

int debugCommand(std::span<const std::string_view> args) {
    CLI::App app{"", "tessivor-cli debug"};
    app.allow_windows_style_options(false); // a /path is a file name on every system
    std::string file, script, inputFile, clock = "real", source;
    bool json = false;
    std::optional<std::uint64_t> seed;
    std::int64_t maxSteps = 0;
    app.add_option("FILE", file, "the program: FILE.tsasm or FILE.tsp")->required();
    app.add_option("-x", script, "run the commands in SCRIPT, one a line, then quit")
        ->option_text("SCRIPT");
    app.add_flag("--json", json, "answer each command with one JSON object a line");
    app.add_option("--input", inputFile, "answer input boxes with the lines of FILE (end: Cancel)")
        ->option_text("FILE");
    app.add_option("--seed", seed, "seed the random generator")->option_text("N");
    app.add_option("--clock", clock,
                   "\"tic\" reads the real clock or a virtual one (1 ms per 1000 steps)")
        ->check(CLI::IsMember({"real", "virtual"}))
        ->option_text("real|virtual");
    app.add_option("--max-steps", maxSteps, "end the run after N steps")
        ->check(CLI::PositiveNumber)
        ->option_text("N");
    app.add_option("--source", source, "the source FILE.tsp was built from")->option_text("SRC");
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fputs((std::string(kDebugUsage) + kDebugHelp + kDebugExitStatus).c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        return usageError("debug", e.what());
    }

    std::string text, reason;
    if (!readInput(file, text, reason)) {
        std::fprintf(stderr, "tessivor-cli debug: %s: %s\n", file.c_str(), reason.c_str());
        return kExitNoInput;
    }
    Program program;
    const std::optional<std::string> sourceFile =
        source.empty() ? std::nullopt : std::optional<std::string>(source);
    if (const int status = loadProgram("debug", file, std::move(text), sourceFile, program))
        return status;

    File input;
    if (!inputFile.empty()) {
        input = openForReading(inputFile);
        if (!input) {
            std::fprintf(stderr, "tessivor-cli debug: %s: cannot be read\n", inputFile.c_str());
            return kExitNoInput;
        }
    }
    File commands;
    if (!script.empty()) {
        commands = openForReading(script);
        if (!commands) {
            std::fprintf(stderr, "tessivor-cli debug: %s: cannot be read\n", script.c_str());
            return kExitNoInput;
        }
    }

    if (clock == "real") startClockWithoutInterrupts();
    DebugHost host(seed ? platform::SingleRandom(*seed) : platform::SingleRandom(), json,
                   input ? input.get() : stdin);
    DebugOptions options;
    options.maxSteps = maxSteps;
    options.virtualClock = clock == "virtual";
    options.stopForInput = true;
    DebugSession session({program.code, program.map, program.instructionTexts()}, host, options);
    Debugger debugger(program, session, host, json);
    const InterruptHandler interrupts;

    const auto tooLong = [](const std::string& from, std::size_t number) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "tessivor-cli debug: %s:%zu: a command line longer than %zu bytes; the "
                     "session ends here\n",
                     from.c_str(), number, kMaxCommandLine);
        return kExitData;
    };
    std::string line;
    std::size_t number = 0;
    if (!script.empty()) {
        // Ctrl-C pauses the move under way, and the script goes on; between moves it ends the
        // script.
        for (Read got; (got = readLine(commands.get(), kMaxCommandLine, line)) != Read::End;) {
            ++number;
            if (got == Read::TooLong) return tooLong(script, number);
            if (got == Read::Line && !line.empty() && line[0] != '#') {
                if (!json) put("(tessivor) " + line + "\n");
                if (!debugger.execute(line)) break;
            }
            if (gInterrupted) {
                std::fflush(stdout);
                std::fputs("tessivor-cli debug: stopped by SIGINT\n", stderr);
                return 128 + SIGINT;
            }
        }
        std::fflush(stdout);
        return 0;
    }
    const bool edit = !json && isatty(0) != 0;
    for (Read got; (got = readCommand(edit, line)) != Read::End;) {
        if (got == Read::Interrupted) {
            // Ctrl-C at the prompt drops the line and asks again, as a shell does.
            if (edit) put("\n");
            gInterrupted = 0;
            continue;
        }
        ++number;
        if (got == Read::TooLong) return tooLong("<stdin>", number);
        if (!debugger.execute(line)) break;
        std::fflush(stdout);
    }
    std::fflush(stdout);
    return 0;
}

} // namespace tessivor::cli
