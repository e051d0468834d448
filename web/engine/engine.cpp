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
//   runEvents(file, inputs, seed, maxSteps, plain, virtualClock)
//                                    -> the event lines `tessivor-cli run --events` writes
//   timeRun(file)                    -> {steps, seconds, end}
//   trace(source, name, inputs, seed, maxSteps, virtualClock)
//                                    -> what `tessivor-cli run --trace --max-steps` writes on
//                                       stderr for a source file called `name`
//   instructions()                   -> [{mnemonic, written, effect, operandColumns, textColumn,
//                                         width}]: the mnemonics as the help panel shows them
//   registers()                      -> [{name, meaning}]
//   new Session(text, options)       -> a debug session over source, or over a program file's
//                                       text with options.program (engine_session.cpp)

#include "engine_host.h"

#include "assembler/translate/compiletext.h"
#include "assembler/translate/instruction_help.h"
#include "assembler/translate/source_map.h"
#include "cli/json.h"
#include "cli/source_places.h"
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
        result.set("file", t.code + "\r\n"); // a program file: the code string and a line end
    } else {
        const SourcePlace setPlace = sourcePlace(source, t.setAt);
        result.set("position", static_cast<double>(t.position));
        result.set("setAt", static_cast<double>(t.setAt));
        result.set("line", static_cast<double>(setPlace.line));
        result.set("column", static_cast<double>(setPlace.column));
    }
    return result;
}

/// The events of a whole run, one JSON object a line, in the command line's format.
class EventsHost : public PageHost {
public:
    EventsHost(std::vector<std::string> inputs, double seed)
        : PageHost(seed), inputs_(std::move(inputs)) {}

    void setCaption(std::string_view caption) override { emit("caption", caption); }
    void setDisplay(std::string_view text) override { emit("display", text); }
    void messageBox(std::string_view text) override { emit("message", text); }
    std::string inputBox(std::string_view prompt) override {
        // Like end of input on a terminal: a missing reply counts as Cancel.
        std::string reply = next_ < inputs_.size() ? inputs_[next_++] : std::string();
        out += "{\"input\": ";
        cli::appendJsonString(out, prompt);
        out += ", \"reply\": ";
        cli::appendJsonString(out, reply);
        out += "}\n";
        return reply;
    }

    std::string out;

private:
    void emit(const char* key, std::string_view text) {
        out += "{\"";
        out += key;
        out += "\": ";
        cli::appendJsonString(out, text);
        out += "}\n";
    }

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
    std::string& line = host.out;
    line += "{\"end\": \"";
    line += runEndName(r.end);
    line += "\", \"steps\": " + std::to_string(r.steps);
    if (r.end != RunEnd::PrepareFailed) {
        if (r.end == RunEnd::Error) {
            line += ", \"failure\": \"";
            line += failureName(r.failure);
            line += '"';
        }
        line += ", \"pc\": " + std::to_string(r.pc) + ", \"cur\": " + std::to_string(r.cur) +
                ", \"opb\": " + std::to_string(r.opb) + ", \"opc\": " + std::to_string(r.opc);
        // The cells of a run that filled the memory do not fit into it a second time as text.
        const std::size_t before = line.size();
        try {
            line += ", \"cells\": [";
            for (int i = 0; i < kCells; ++i) {
                if (i) line += ", ";
                cli::appendJsonString(line, r.mem[static_cast<std::size_t>(i)]);
            }
            line += ']';
        } catch (const std::bad_alloc&) {
            line.resize(before);
            line += ", \"cellsLeftOut\": true";
        }
    }
    line += "}\n";
    return line;
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
    cli::ProgramSource program;
    MappedTranslation built = compileWithMap(source);
    if (!built.translation.ok) return "Error Compiling.\n";
    program.code = built.translation.code + "\r\n";
    program.name = name;
    program.known = true;
    program.map = built.sourceMap();
    program.instructions = std::move(built.instructions);
    program.text = source;

    std::string out;
    EventsHost host(emscripten::vecFromJSArray<std::string>(inputs), seed);
    RunOptions options;
    options.maxSteps = static_cast<std::int64_t>(maxSteps);
    options.virtualClock = virtualClock;
    options.trace = [&](const TraceStep& step) { out += cli::traceLine(program, step); };
    try {
        const RunResult r = runprogram(program.code, host, options);
        if (r.end == RunEnd::Error) {
            out += cli::failureLine(program, r) + "\n";
        } else if (r.end == RunEnd::PassedEnd) {
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

EMSCRIPTEN_BINDINGS(tessivor) {
    emscripten::function("build", &buildSource);
    emscripten::function("runEvents", &runEvents);
    emscripten::function("timeRun", &timeRun);
    emscripten::function("trace", &trace);
    emscripten::function("instructions", &instructions);
    emscripten::function("registers", &registers);
#ifdef TESSIVOR_WEB_CHECK
    bindCheck();
#endif
#ifdef TESSIVOR_WEB_SESSION
    bindSession();
#endif
}

} // namespace tessivor::web
