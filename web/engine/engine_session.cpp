// The debug session for the page: runs in slices from a web worker, stops for "o" instead of
// blocking, and hands over what the run showed as a list of events.

#include "engine_host.h"

#include "assembler/translate/program.h"
#include "common/ends.h"
#include "runner/debug/describe.h"
#include "runner/debug/session.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>

using emscripten::val;

namespace tessivor::web {
namespace {

/// Collects captions, displays and messages until the page takes them: at most `limit` of them
/// (the oldest give way and are counted), each text cut to `textLimit` characters (0: whole).
class SessionHost : public PageHost {
public:
    SessionHost(double seed, std::size_t limit, std::size_t textLimit)
        : PageHost(seed), limit_(limit), textLimit_(textLimit) {}

    void setCaption(std::string_view caption) override { add("caption", caption); }
    void setDisplay(std::string_view text) override { add("display", text); }
    void messageBox(std::string_view text) override { add("message", text); }

    /// Where add() reads the step that shows a text.
    void countSteps(std::function<std::int64_t()> steps) { steps_ = std::move(steps); }

    /// [{kind, text, step}], with `length` (the whole text's) where the text was cut; `step`
    /// is the step that showed it (0 before the first).
    val take() {
        val list = val::array();
        for (const Event& e : events_) {
            val event = val::object();
            event.set("kind", std::string(e.kind));
            event.set("text", e.text);
            event.set("step", static_cast<double>(e.step));
            if (e.length > e.text.size()) event.set("length", static_cast<double>(e.length));
            list.call<void>("push", event);
        }
        events_.clear();
        return list;
    }

    /// How many events gave way since the last call.
    double takeDropped() { return static_cast<double>(std::exchange(dropped_, 0)); }

private:
    struct Event {
        const char* kind;
        std::string text;
        std::size_t length;
        std::int64_t step;
    };

    void add(const char* kind, std::string_view text) {
        // A run that shows text at full speed would fill the memory if the page never looked,
        // and make the page draw what nobody can read.
        if (events_.size() >= limit_) {
            events_.pop_front();
            ++dropped_;
        }
        events_.push_back(
            {kind, std::string(cut(text, textLimit_)), text.size(), steps_ ? steps_() : 0});
    }

    std::function<std::int64_t()> steps_;
    std::deque<Event> events_;
    std::size_t dropped_ = 0;
    std::size_t limit_;
    std::size_t textLimit_;
};

double number(const val& options, const char* key, double otherwise) {
    const val v = options[key];
    return v.isNumber() ? v.as<double>() : otherwise;
}

/// Sets `key` to `text` cut to `limit` characters (0: whole), and `key + "Length"` to the whole
/// length where it was cut.
void setCut(val& object, const std::string& key, std::string_view text, std::size_t limit) {
    const std::string_view shown = cut(text, limit);
    object.set(key, std::string(shown));
    if (shown.size() < text.size()) object.set(key + "Length", static_cast<double>(text.size()));
}

/// One debug session over a program that builds.
class PageSession {
public:
    PageSession(Program program, val options)
        : textLimit_(static_cast<std::size_t>(number(options, "textLimit", 0))),
          cellLimit_(static_cast<std::size_t>(number(options, "cellLimit", 0))),
          host_(number(options, "seed", 1),
                static_cast<std::size_t>(number(options, "eventLimit", 10'000)), textLimit_) {
        DebugOptions debug;
        debug.stopForInput = true;
        debug.virtualClock = options["virtualClock"].isTrue();
        debug.maxSteps = static_cast<std::int64_t>(number(options, "maxSteps", 0));
        debug.historyBytes =
            static_cast<std::size_t>(number(options, "historyBytes", 64.0 * 1024 * 1024));
        session_ = std::make_unique<DebugSession>(
            DebugProgram{program.code, program.map, program.instructionTexts()}, host_, debug);
        host_.countSteps([this] { return session_->steps(); });
    }

    std::string stepi(double n) {
        return move([&] { return session_->stepi(count(n)); });
    }
    std::string step(double n) {
        return move([&] { return session_->step(count(n)); });
    }
    std::string cont(double budget) {
        return move([&] { return session_->cont(count(budget)); });
    }
    /// cont(budget) that also returns "slice" once `milliseconds` have passed. The run goes in
    /// pieces at full speed, the clock read between them: a piece grows while it takes little of
    /// the time left and shrinks when it took too much. A step can take milliseconds (one that
    /// copies a long text), so a piece is also kept short while the cells hold long texts, and a
    /// piece sized on quick steps cannot take minutes when the steps turn slow.
    std::string contFor(double budget, double milliseconds) {
        return move([&] {
            const double deadline = emscripten_get_now() + milliseconds;
            std::int64_t left = count(budget); // 0: no budget
            // A slice starts where the last one left off, a little more carefully.
            std::int64_t piece = std::max<std::int64_t>(kSmallestPiece, piece_ / 2);
            for (;;) {
                std::int64_t steps = std::min(piece, longTextBound(deadline));
                if (left != 0) steps = std::min(steps, left);
                const double started = emscripten_get_now();
                // A breakpoint on the last step of a piece stops it as one continue would.
                const Stop stop = session_->cont(steps);
                if (stop != Stop::Slice) return stop;
                if (left != 0 && (left -= steps) == 0) return Stop::Slice;
                const double now = emscripten_get_now();
                if (now >= deadline) return Stop::Slice;
                const double took = now - started;
                if (steps == piece) {
                    if (took * 4 < deadline - now)
                        piece = std::min(piece * 2, kLargestPiece);
                    else if (took > deadline - now)
                        piece = std::max(kSmallestPiece, piece / 4);
                }
                piece_ = piece;
            }
        });
    }
    /// Goes to step `target`, back or forward.
    std::string goTo(double target) {
        return move(
            [&] { return session_->goTo(static_cast<std::int64_t>(std::max(0.0, target))); });
    }
    /// Back to the previous breakpoint or watch hit.
    std::string reverseContinue() {
        return move([&] { return session_->reverseContinue(); });
    }
    /// n source instructions back.
    std::string reverseStep(double n) {
        return move([&] { return session_->reverseStep(count(n)); });
    }
    /// The learner's edit of a cell while paused: false for no cell 0..99 (or nothing to run).
    bool setCell(int cell, const std::string& text) {
        if (outOfMemory_) return false;
        try {
            return session_->setCell(cell, text);
        } catch (const std::bad_alloc&) {
            outOfMemory_ = true;
            return false;
        }
    }
    /// The moments of the run's timeline, in step order: [{step, kind}], kind "breakpoint",
    /// "watch", "display" or "edit".
    val marks() const {
        val list = val::array();
        for (const Mark& mark : session_->marks()) {
            val entry = val::object();
            entry.set("step", static_cast<double>(mark.step));
            entry.set("kind", std::string(markName(mark.kind)));
            list.call<void>("push", entry);
        }
        return list;
    }
    double oldestStep() const { return static_cast<double>(session_->oldestStep()); }
    double furthestStep() const { return static_cast<double>(session_->furthestStep()); }
    std::string back(double n) {
        return move([&] { return session_->back(count(n)); });
    }
    std::string backInstruction() {
        return move([&] { return session_->backInstruction(); });
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
        out.set("reason", s.reason);
        setCut(out, "display", s.display, textLimit_);
        out.set("line", s.line);
        out.set("instruction", s.instruction);
        setCut(out, "inputPrompt", s.inputPrompt, textLimit_);
        out.set("outOfMemory", outOfMemory_);
        out.set("historyDepth", static_cast<double>(session_->historyDepth()));
        out.set("codeLength", static_cast<double>(session_->codeLength()));
        return out;
    }

    val cells() const {
        val list = val::array();
        for (const std::string& cell : session_->cells())
            list.call<void>("push", std::string(cut(cell, cellLimit_)));
        return list;
    }

    /// The cells whose shown text (cut to cellLimit) or length changed since the last call, as
    /// [cell, text, length]: what a page needs to redraw, however long the texts are.
    val changedCells() {
        val list = val::array();
        const auto& cells = session_->cells();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::string_view shown = cut(cells[i], cellLimit_);
            Shown& last = shown_[i];
            if (last.length == cells[i].size() && last.text == shown) continue;
            last.text.assign(shown);
            last.length = cells[i].size();
            val change = val::array();
            change.call<void>("push", static_cast<double>(i));
            change.call<void>("push", last.text);
            change.call<void>("push", static_cast<double>(last.length));
            list.call<void>("push", change);
        }
        return list;
    }

    val takeEvents() { return host_.take(); }
    /// Events that gave way to newer ones (beyond eventLimit) since the last call.
    double eventsDropped() { return host_.takeDropped(); }

    /// Where the session stands, as one sentence to read aloud.
    std::string describe() const { return describeState(session_->state(), session_->cells()); }

private:
    struct Shown {
        std::string text;
        std::size_t length = 0;
    };

    static std::int64_t count(double n) { return n > 0 ? static_cast<std::int64_t>(n) : 0; }

    static constexpr std::int64_t kSmallestPiece = 16;
    static constexpr std::int64_t kLargestPiece = std::int64_t{1} << 28;

    /// The steps a piece may take when each could copy the longest text in the cells (twice
    /// over, at a few hundred megabytes a second, as a slow machine's browser copies), so that
    /// it ends by `deadline` even then: a loop of quick steps that turns to copying long texts
    /// keeps its slices short.
    std::int64_t longTextBound(double deadline) const {
        std::size_t longest = 0;
        for (const std::string& cell : session_->cells())
            longest = std::max(longest, cell.size());
        constexpr std::size_t kShort = 64;
        if (longest <= kShort) return kLargestPiece;
        constexpr double kBytesPerMillisecond = 200'000;
        const double left = std::max(1.0, deadline - emscripten_get_now());
        const double steps = left * kBytesPerMillisecond / static_cast<double>(2 * longest);
        return std::clamp<std::int64_t>(static_cast<std::int64_t>(steps), 1, kLargestPiece);
    }

    /// Runs one move. Memory the browser refuses outside the cells (the history, the events)
    /// ends the session with "out-of-memory" instead of taking the whole module down.
    template <typename Move> std::string move(Move&& run) {
        if (outOfMemory_) return "out-of-memory";
        host_.movePulse();
        try {
            return stopName(run());
        } catch (const std::bad_alloc&) {
            outOfMemory_ = true;
            return "out-of-memory";
        }
    }

    std::size_t textLimit_;
    std::size_t cellLimit_;
    bool outOfMemory_ = false;
    std::int64_t piece_ = kSmallestPiece; // the steps of contFor's last piece
    std::array<Shown, kCells> shown_;
    SessionHost host_;
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
        .function("contFor", &PageSession::contFor)
        .function("back", &PageSession::back)
        .function("backInstruction", &PageSession::backInstruction)
        .function("goTo", &PageSession::goTo)
        .function("reverseContinue", &PageSession::reverseContinue)
        .function("reverseStep", &PageSession::reverseStep)
        .function("setCell", &PageSession::setCell)
        .function("marks", &PageSession::marks)
        .function("oldestStep", &PageSession::oldestStep)
        .function("furthestStep", &PageSession::furthestStep)
        .function("restart", &PageSession::restart)
        .function("provideInput", &PageSession::provideInput)
        .function("breakAtLine", &PageSession::breakAtLine)
        .function("breakAtPosition", &PageSession::breakAtPosition)
        .function("deleteBreakpoint", &PageSession::deleteBreakpoint)
        .function("deleteAllBreakpoints", &PageSession::deleteAllBreakpoints)
        .function("watchCell", &PageSession::watchCell)
        .function("state", &PageSession::state)
        .function("cells", &PageSession::cells)
        .function("changedCells", &PageSession::changedCells)
        .function("takeEvents", &PageSession::takeEvents)
        .function("eventsDropped", &PageSession::eventsDropped)
        .function("describe", &PageSession::describe);
}

} // namespace tessivor::web
