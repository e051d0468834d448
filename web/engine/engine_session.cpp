// The debug session for the page: runs in slices from a web worker, stops for "o" instead of
// blocking, and hands over what the run showed as a list of events.

#include "engine_host.h"

#include "assembler/translate/program.h"
#include "runner/debug/describe.h"
#include "runner/debug/session.h"
#include "runner/machine/explain.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <memory>
#include <string>
#include <vector>

using emscripten::val;

namespace tessivor::web {
namespace {

/// Collects captions, displays and messages until the page takes them.
class SessionHost : public PageHost {
public:
    using PageHost::PageHost;

    void setCaption(std::string_view caption) override { add("caption", caption); }
    void setDisplay(std::string_view text) override { add("display", text); }
    void messageBox(std::string_view text) override { add("message", text); }

    val take() {
        val list = val::array();
        for (std::size_t i = 0; i < kinds_.size(); ++i) {
            val event = val::object();
            event.set("kind", std::string(kinds_[i]));
            event.set("text", texts_[i]);
            list.call<void>("push", event);
        }
        kinds_.clear();
        texts_.clear();
        return list;
    }

private:
    void add(const char* kind, std::string_view text) {
        // A run that only writes its caption would fill the memory if the page never looked.
        if (kinds_.size() >= 10'000) {
            kinds_.erase(kinds_.begin());
            texts_.erase(texts_.begin());
        }
        kinds_.push_back(kind);
        texts_.emplace_back(text);
    }

    std::vector<const char*> kinds_;
    std::vector<std::string> texts_;
};

double number(const val& options, const char* key, double otherwise) {
    const val v = options[key];
    return v.isNumber() ? v.as<double>() : otherwise;
}

/// One debug session over a program that builds.
class PageSession {
public:
    PageSession(Program program, val options) : host_(number(options, "seed", 1)) {
        DebugOptions debug;
        debug.stopForInput = true;
        debug.virtualClock = options["virtualClock"].isTrue();
        debug.maxSteps = static_cast<std::int64_t>(number(options, "maxSteps", 0));
        debug.historySteps = static_cast<std::size_t>(number(options, "historySteps", 1'000'000));
        debug.historyBytes =
            static_cast<std::size_t>(number(options, "historyBytes", 64.0 * 1024 * 1024));
        code_ = program.code;
        session_ = std::make_unique<DebugSession>(
            DebugProgram{program.code, program.map, program.instructionTexts()}, host_, debug);
    }

    std::string stepi(double n) {
        host_.movePulse();
        return stopName(session_->stepi(count(n)));
    }
    std::string step(double n) {
        host_.movePulse();
        return stopName(session_->step(count(n)));
    }
    std::string cont(double budget) {
        host_.movePulse();
        return stopName(session_->cont(count(budget)));
    }
    std::string back(double n) {
        host_.movePulse();
        return stopName(session_->back(count(n)));
    }
    std::string backInstruction() {
        host_.movePulse();
        return stopName(session_->backInstruction());
    }
    void restart() { session_->restart(); }
    void provideInput(const std::string& reply) { session_->provideInput(reply); }

    int breakAtLine(int line) { return session_->breakAtLine(line); }
    int breakAtPosition(int pc) { return session_->breakAtPosition(pc); }
    bool deleteBreakpoint(int number) { return session_->deleteBreakpoint(number); }
    void deleteAllBreakpoints() { session_->deleteAllBreakpoints(); }
    int watchCell(int cell) { return session_->watchCell(cell); }

    val state() const {
        const DebugState s = session_->state();
        val out = val::object();
        out.set("steps", static_cast<double>(s.steps));
        out.set("pc", s.pc);
        out.set("cur", s.cur);
        out.set("opb", s.opb);
        out.set("opc", s.opc);
        out.set("ended", s.ended);
        out.set("end", std::string(s.ended ? runEndName(s.end) : ""));
        out.set("failure", std::string(failureDescription(s.failure)));
        // Why it failed, in the learner's terms: "cell 08 holds "" (empty), not a number".
        out.set("reason",
                s.ended && s.end == RunEnd::Error
                    ? failureReason(code_, s.pc, s.cur, s.opb, s.opc, session_->cells(), s.failure)
                    : std::string());
        out.set("display", s.display);
        out.set("line", s.line);
        out.set("instruction", s.instruction);
        out.set("inputPrompt", s.inputPrompt);
        out.set("historyDepth", static_cast<double>(session_->historyDepth()));
        out.set("codeLength", static_cast<double>(session_->codeLength()));
        return out;
    }

    val cells() const {
        val list = val::array();
        for (const std::string& cell : session_->cells())
            list.call<void>("push", cell);
        return list;
    }

    val takeEvents() { return host_.take(); }

    /// Where the session stands, as one sentence to read aloud.
    std::string describe() const { return describeState(session_->state(), session_->cells()); }

private:
    static std::int64_t count(double n) { return n > 0 ? static_cast<std::int64_t>(n) : 0; }
    SessionHost host_;
    std::string code_;
    std::unique_ptr<DebugSession> session_;
};

/// `new Session(text, options)`: `text` is assembly source, or with options.program a program
/// file's text (nothing is then known of its positions' lines). A source that does not build
/// is refused with an Error that says why, as `build` would.
PageSession* makeSession(const std::string& text, val options) {
    std::string refusal;
    {
        Program program = options["program"].isTrue() ? Program::fromFile(text, "program", false)
                                                      : Program::fromSource(text, "source");
        if (program.built) return new PageSession(std::move(program), options);
        refusal = "Error Compiling. " + program.buildError();
    }
    // A JavaScript exception passes over the C++ frames without unwinding them: nothing that
    // owns memory may be left on them.
    val error = val::global("Error").new_(refusal);
    std::string().swap(refusal);
    error.throw_();
}

} // namespace

void bindSession() {
    emscripten::class_<PageSession>("Session")
        .constructor(&makeSession, emscripten::allow_raw_pointers())
        .function("stepi", &PageSession::stepi)
        .function("step", &PageSession::step)
        .function("cont", &PageSession::cont)
        .function("back", &PageSession::back)
        .function("backInstruction", &PageSession::backInstruction)
        .function("restart", &PageSession::restart)
        .function("provideInput", &PageSession::provideInput)
        .function("breakAtLine", &PageSession::breakAtLine)
        .function("breakAtPosition", &PageSession::breakAtPosition)
        .function("deleteBreakpoint", &PageSession::deleteBreakpoint)
        .function("deleteAllBreakpoints", &PageSession::deleteAllBreakpoints)
        .function("watchCell", &PageSession::watchCell)
        .function("state", &PageSession::state)
        .function("cells", &PageSession::cells)
        .function("takeEvents", &PageSession::takeEvents)
        .function("describe", &PageSession::describe);
}

} // namespace tessivor::web
