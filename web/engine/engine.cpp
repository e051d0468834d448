// The machine, the translation, the checker and the debug session for the page, as one
// WebAssembly module.
//
// Texts cross as JavaScript strings with one character a byte (U+0000..U+00FF), built with
// EMBIND_STD_STRING_IS_UTF8=0, so program files and cell texts keep their exact bytes.
//
// JavaScript-facing API (web/README.md describes it in full):
//   build(source)                    -> {ok, code, file} or {ok: false, position, setAt, line,
//                                       column}
//   check(source)                    -> [{line, column, endColumn, severity, code, message,
//                                         suggestion}]
//   roles(source)                    -> [{from, to, role}]: runs of bytes that play one part
//                                       when the source is translated (the editor's colours)
//   runEvents(file, inputs, seed, maxSteps, plain, virtualClock)
//                                    -> the event lines `tessivor-cli run --events` writes
//   timeRun(file)                    -> {steps, seconds, end}
//   trace(source, name, inputs, seed, maxSteps, virtualClock)
//                                    -> what `tessivor-cli run --trace --max-steps` writes on
//                                       stderr for a source file called `name`
//   instructions()                   -> [{mnemonic, written, effect, operandColumns, textColumn,
//                                         width}]: the mnemonics as the help panel shows them
//   registers()                      -> [{name, meaning}]
//   selfTest(toml, tomlName, program, programName, isSource, timeoutSeconds)
//                                    -> the JSON report `tessivor-cli test --format json` writes,
//                                       over the visible cases, with "hidden" counted, or
//                                       {"error"} (engine_grading.cpp)
//   new Session(text, options)       -> a debug session over source, or over a program file's
//                                       text with options.program (engine_session.cpp)

#include "engine_host.h"

#include "assembler/translate/compiletext.h"
#include "assembler/translate/instruction_help.h"
#include "assembler/translate/program.h"
#include "assembler/translate/source_roles.h"
#include "runner/events/events.h"
#include "runner/events/trace_line.h"
#include "runner/machine/run.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <new>
#include <string>
#include <vector>

using emscripten::val;

namespace tessivor::web {
namespace {

val buildSource(const std::string& source) {
    const Translation t = compiletext(source);
    val result = val::object();
    result.set("ok", t.ok);
    if (t.ok) {
        result.set("code", t.code);
        result.set("file", programFileText(t.code));
    } else {
        const SourcePlace setPlace = sourcePlace(source, t.setAt);
        result.set("position", static_cast<double>(t.position));
        result.set("setAt", static_cast<double>(t.setAt));
        result.set("line", static_cast<double>(setPlace.line));
        result.set("column", static_cast<double>(setPlace.column));
    }
    return result;
}

/// The roles of the source's bytes as runs of one role each, in order, covering the source.
val sourceRoleRuns(const std::string& source) {
    const std::vector<SourceRole> roles = sourceRoles(source);
    val runs = val::array();
    for (std::size_t from = 0; from < roles.size();) {
        std::size_t to = from + 1;
        while (to < roles.size() && roles[to] == roles[from])
            ++to;
        val run = val::object();
        run.set("from", static_cast<double>(from));
        run.set("to", static_cast<double>(to));
        run.set("role", std::string(sourceRoleName(roles[from])));
        runs.call<void>("push", run);
        from = to;
    }
    return runs;
}

/// The events of a whole run, one JSON object a line, in the command line's format.
class EventsHost : public PageHost {
public:
    EventsHost(std::vector<std::string> inputs, double seed)
        : PageHost(seed), inputs_(std::move(inputs)) {}

    void setCaption(std::string_view caption) override { events.caption(caption); }
    void setDisplay(std::string_view text) override { events.display(text); }
    void messageBox(std::string_view text) override { events.message(text); }
    std::string inputBox(std::string_view prompt) override {
        // Like end of input on a terminal: a missing reply counts as Cancel.
        std::string reply = next_ < inputs_.size() ? inputs_[next_++] : std::string();
        events.input(prompt, reply);
        return reply;
    }

    std::string out;
    EventWriter events{[this](std::string_view text) { out += text; }};

private:
    std::vector<std::string> inputs_;
    std::size_t next_ = 0;
};

std::string runEvents(const std::string& code, val inputs, double seed, double maxSteps, bool plain,
                      bool virtualClock) {
    EventsHost host(emscripten::vecFromJSArray<std::string>(inputs), seed);
    RunOptions options;
    options.maxSteps = static_cast<std::int64_t>(maxSteps);
    options.plain = plain;
    options.virtualClock = virtualClock;
    const RunResult r = runprogram(code, host, options);
    // The page knows no source here: an error's end object has no "place". The cells of a run
    // that filled the memory may not fit into it a second time as text: the end then leaves
    // them out and says so.
    const std::size_t before = host.out.size();
    try {
        host.events.end(r);
    } catch (const std::bad_alloc&) {
        host.out.resize(before);
        host.out.shrink_to_fit();
        std::string line = "{\"end\": \"";
        line += runEndName(r.end);
        line += "\", \"steps\": " + std::to_string(r.steps);
        if (r.end == RunEnd::Error) {
            line += ", \"failure\": \"";
            line += failureName(r.failure);
            line += '"';
        }
        line += ", \"pc\": " + std::to_string(r.pc) + ", \"cur\": " + std::to_string(r.cur) +
                ", \"opb\": " + std::to_string(r.opb) + ", \"opc\": " + std::to_string(r.opc) +
                ", \"cellsLeftOut\": true}\n";
        host.out += line;
    }
    return std::move(host.out);
}

/// Runs `code` in the fast loop and times it (the speed comparison with the native loop).
val timeRun(const std::string& code) {
    PageHost host(1);
    const double start = emscripten_get_now();
    const RunResult r = runprogram(code, host);
    const double ms = emscripten_get_now() - start;
    val result = val::object();
    result.set("steps", static_cast<double>(r.steps));
    result.set("seconds", ms / 1000);
    result.set("end", std::string(runEndName(r.end)));
    return result;
}

/// A run's trace: one line a step, then the line that says why it stopped, as the command line
/// writes them for the source file `name`, answered with `inputs` (then Cancel).
std::string trace(const std::string& source, const std::string& name, val inputs, double seed,
                  double maxSteps, bool virtualClock) {
    const Program program = Program::fromSource(source, name);
    if (!program.built) return "Error Compiling.\n";

    std::string out;
    EventsHost host(emscripten::vecFromJSArray<std::string>(inputs), seed);
    RunOptions options;
    options.maxSteps = static_cast<std::int64_t>(maxSteps);
    options.virtualClock = virtualClock;
    options.trace = [&](const TraceStep& step) {
        const std::string instruction = program.instructionAt(step.pc);
        out += traceLine(step, instruction, instruction.empty() ? "" : program.placeOf(step.pc));
    };
    try {
        const RunResult r = runprogram(program.code, host, options);
        if (r.end == RunEnd::Error) {
            out += failureLine(program.placeOf(r.pc), program.instructionAt(r.pc), program.code, r);
            out += '\n';
        } else if (r.end == RunEnd::PastEnd) {
            out += "tessivor-cli run: the program ran past its last position without \"end\"\n";
        } else if (r.end == RunEnd::StepLimit) {
            out += "tessivor-cli run: stopped after " + std::to_string(r.steps) + " steps\n";
        }
    } catch (const std::bad_alloc&) {
        // The trace itself filled the memory: what it holds so far, and why it ends there.
        out += "(the trace ends here: no more memory)\n";
    }
    return out;
}

val instructions() {
    val list = val::array();
    for (const InstructionHelp& h : instructionHelp()) {
        val item = val::object();
        item.set("mnemonic", std::string(h.mnemonic));
        item.set("written", h.written);
        item.set("effect", std::string(h.effect));
        val columns = val::array();
        for (const std::size_t c : h.operandColumns)
            columns.call<void>("push", static_cast<double>(c));
        item.set("operandColumns", columns);
        item.set("textColumn", static_cast<double>(h.textColumn));
        item.set("width", static_cast<double>(h.width));
        list.call<void>("push", item);
    }
    return list;
}

val registers() {
    val list = val::array();
    for (const RegisterHelp& r : registerHelp()) {
        val item = val::object();
        item.set("name", std::string(r.name));
        item.set("meaning", std::string(r.meaning));
        list.call<void>("push", item);
    }
    return list;
}

} // namespace

void bindSession(); // engine_session.cpp
void bindCheck();   // engine_check.cpp
void bindGrading(); // engine_grading.cpp

EMSCRIPTEN_BINDINGS(tessivor) {
    emscripten::function("build", &buildSource);
    emscripten::function("roles", &sourceRoleRuns);
    emscripten::function("runEvents", &runEvents);
    emscripten::function("timeRun", &timeRun);
    emscripten::function("trace", &trace);
    emscripten::function("instructions", &instructions);
    emscripten::function("registers", &registers);
    bindCheck();
    bindGrading();
    bindSession();
}

} // namespace tessivor::web
