#include "runner/debug/session.h"

#include "common/operations.h"
#include "runner/machine/explain.h"
#include "runner/machine/interpreters.h"
#include "runner/machine/prepare.h"
#include "runner/machine/step.h"
#include "runner/machine/virtual_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <optional>

namespace tessivor {

const char* stopName(Stop stop) {
    switch (stop) {
    case Stop::None: return "none";
    case Stop::Step: return "step";
    case Stop::Slice: return "slice";
    case Stop::Breakpoint: return "breakpoint";
    case Stop::Watch: return "watch";
    case Stop::Back: return "back";
    case Stop::HistoryEnd: return "history-end";
    case Stop::Paused: return "paused";
    case Stop::Input: return "input";
    case Stop::Terminated: return runEndName(RunEnd::Terminated);
    case Stop::Error: return runEndName(RunEnd::Error);
    case Stop::PastEnd: return runEndName(RunEnd::PastEnd);
    case Stop::StepLimit: return runEndName(RunEnd::StepLimit);
    case Stop::PrepareFailed: return runEndName(RunEnd::PrepareFailed);
    }
    return "none";
}

Stop stopAt(RunEnd end) {
    switch (end) {
    case RunEnd::Terminated: return Stop::Terminated;
    case RunEnd::Error: return Stop::Error;
    case RunEnd::PastEnd: return Stop::PastEnd;
    case RunEnd::PrepareFailed: return Stop::PrepareFailed;
    case RunEnd::StepLimit: return Stop::StepLimit;
    }
    return Stop::None;
}

namespace {

/// An answer from outside the machine that a step read: "l" on the host's clock, "y", "o".
/// Going forward again over a step that read one replays it instead of asking again.
struct Answer {
    std::int32_t tick = 0;
    float random = 0;
    std::unique_ptr<std::string> reply; ///< "o"'s: seldom, so kept apart
};

/// The heap memory a text holds beyond the string itself.
std::size_t heapBytes(const std::string& text) {
    return text.capacity() > sizeof(std::string) ? text.capacity() : 0;
}

/// The learner's edit of a cell, made with `steps` steps run.
struct Edit {
    std::int64_t step = 0;
    std::int32_t cell = 0;
    std::string text, old;
};

/// The whole run state with `steps` steps run, and where the record stood then.
struct Checkpoint {
    std::int64_t steps = 0;
    std::int32_t pc = 1, cur = 0, opb = 0, opc = 0;
    std::array<std::string, kCells> mem;
    std::string display;
    std::size_t answerAt = 0; ///< the answers read before it (an absolute index)
    std::size_t editAt = 0;   ///< the edits made before it
    std::size_t bytes = 0;
};

/// The fewest steps between two checkpoints at the start; doubles at each thinning.
constexpr std::int64_t kFirstInterval = std::int64_t{1} << 16;
/// More checkpoints than this and every other one goes, the interval doubling.
constexpr std::size_t kMaxCheckpoints = 1024;

bool isInput(std::int32_t code) { return code == kOpInput; }
bool isDisplay(std::int32_t code) { return code == kOpDisplay; }

} // namespace

struct DebugSession::Impl {
    /// The outside world as a step sees it. Answers come from the record while the run goes
    /// over steps it made before; past them they are asked for and recorded. While the session
    /// replays (`quiet`) nothing reaches the host but the caption's clock.
    struct Io {
        Impl& s;

        Answer* recorded() {
            if (s.answerAt >= s.answerBase + s.answers.size()) return nullptr;
            return &s.answers[s.answerAt++ - s.answerBase];
        }
        Answer& record() {
            s.answers.emplace_back();
            ++s.answerAt;
            s.bytes += sizeof(Answer);
            return s.answers.back();
        }
        std::int32_t tick() {
            if (s.options.virtualClock) return virtualTick(s.steps - 1);
            if (const Answer* a = recorded()) return a->tick;
            const std::int32_t now = s.host.programTick();
            record().tick = now;
            return now;
        }
        float random() {
            if (const Answer* a = recorded()) return a->random;
            const float r = s.host.randomSingle();
            record().random = r;
            return r;
        }
        std::string input(std::string_view prompt) {
            if (const Answer* a = recorded()) return a->reply ? *a->reply : std::string();
            std::string reply;
            if (s.reply) {
                reply = std::move(*s.reply);
                s.reply.reset();
            } else {
                reply = s.host.inputBox(prompt);
            }
            Answer& a = record();
            a.reply = std::make_unique<std::string>(reply);
            s.bytes += sizeof(std::string) + heapBytes(*a.reply);
            return reply;
        }
        void events() {
            if (!s.quiet) s.host.processEvents();
        }
        void display(std::string_view text) {
            s.display.assign(text);
            if (s.quiet) return;
            s.host.setDisplay(text);
            s.markDisplay(s.steps);
        }
    };

    /// The host a fast stretch sees: the same outside world as Io's.
    struct StretchHost final : Host {
        Impl& s;
        explicit StretchHost(Impl& session) : s(session) {}
        void setCaption(std::string_view caption) override {
            if (!s.quiet) s.host.setCaption(caption);
        }
        void setDisplay(std::string_view text) override { s.io.display(text); }
        void setLarpEnabled() override {
            if (!s.quiet) s.host.setLarpEnabled();
        }
        void messageBox(std::string_view text) override {
            if (!s.quiet) s.host.messageBox(text);
        }
        std::string inputBox(std::string_view prompt) override { return s.io.input(prompt); }
        void processEvents() override { s.io.events(); }
        std::int32_t tickCount() override { return s.host.tickCount(); }
        std::int32_t programTick() override { return s.io.tick(); }
        float randomSingle() override { return s.io.random(); }
        const std::atomic<std::uint32_t>* tickPulse() override { return s.host.tickPulse(); }
    };

    struct Breakpoint {
        int number;
        bool onLine;
        std::int32_t where;
    };
    struct Watch {
        int number;
        std::int32_t cell;
    };

    Impl(DebugProgram p, Host& h, DebugOptions o)
        : code(std::move(p.code)), host(h), map(std::move(p.map)),
          instructionAt(std::move(p.instructionAt)), options(o),
          speed(o.virtualClock ? nullptr : h.tickPulse()) {
        host.setCaption(kCaptionOptimizing);
        if (code.size() > kMaxCodeLength) return;
        tables = prepare(code);
        if (tables.failedAt != 0) return;
        prepared = true;
        m.n = static_cast<std::int32_t>(tables.codes.size() - 1);
        breakAt.assign(tables.codes.size() + 4, 0);
        // Long code strings get no table, as in a run: every step goes one at a time.
        fastOk = m.n <= (1 << 24);
        clearHistory();
        host.setCaption(kCaption);
    }

    std::string code;
    Host& host;
    SourceMap map;
    std::function<std::string(std::int32_t)> instructionAt;
    DebugOptions options;
    Prepared tables;
    bool prepared = false;
    bool fastOk = false;
    std::array<std::string, kCells> mem;
    Io io{*this};
    StretchHost stretchHost{*this};
    Machine<Io> m{tables, io, mem, 0};
    SpeedDisplay speed;

    std::int64_t steps = 0;
    bool ended = false;
    RunEnd end = RunEnd::Terminated;
    std::string display;
    std::string inputPrompt;
    std::optional<std::string> reply;
    std::atomic<bool> pauseAsked{false};
    bool quiet = false; ///< replaying: the host sees nothing

    int nextNumber = 1;
    std::vector<Breakpoint> breakpoints;
    std::vector<std::uint8_t> breakAt; // per position: a breakpoint stands there
    std::vector<Watch> watches;
    std::array<bool, kCells> watched{};

    // The fast loop's table, with traps where a stretch must stop: the breakpoints, the input
    // boxes a stopping session waits at, and with watches every "w", "o" and "t" (a stretch
    // that wrote a watched cell runs again to the step that changed it, so nothing but the
    // speed display may reach the host on the way). Rebuilt when they change.
    std::shared_ptr<fast::Table> table;

    // The way back: checkpoints now and then, the answers read from outside, the learner's
    // edits; any step is a checkpoint and a replay away. `answerBase` is the absolute index of
    // answers[0] (older ones were dropped with the oldest checkpoints).
    std::vector<Checkpoint> checkpoints;
    std::int64_t interval = kFirstInterval;
    std::deque<Answer> answers;
    std::size_t answerBase = 0, answerAt = 0;
    std::vector<Edit> edits;
    std::size_t editAt = 0;
    std::size_t bytes = 0; // answers' and edits'; checkpoints count their own
    std::size_t checkpointBytes = 0;
    std::int64_t furthest = 0;
    std::vector<Mark> marks;

    bool atInstructionStart(std::int32_t p) const {
        if (map.empty()) return true;
        return p >= 0 && static_cast<std::size_t>(p) < map.instructionStart.size() &&
               map.instructionStart[static_cast<std::size_t>(p)] != 0;
    }
    bool atBreakpoint() const {
        return m.pc >= 0 && static_cast<std::size_t>(m.pc) < breakAt.size() &&
               breakAt[static_cast<std::size_t>(m.pc)];
    }

    void rebuildBreakpoints() {
        std::fill(breakAt.begin(), breakAt.end(), 0);
        for (const Breakpoint& b : breakpoints) {
            if (!b.onLine) {
                if (b.where >= 1 && static_cast<std::size_t>(b.where) < breakAt.size())
                    breakAt[static_cast<std::size_t>(b.where)] = 1;
                continue;
            }
            for (std::size_t p = 1; p < map.line.size() && p < breakAt.size(); ++p)
                if (map.line[p] == b.where && map.instructionStart[p]) breakAt[p] = 1;
        }
        table.reset();
    }

    void rebuildWatches() {
        watched.fill(false);
        for (const Watch& w : watches)
            watched[static_cast<std::size_t>(w.cell)] = true;
        table.reset();
    }

    fast::Table& fastTable() {
        if (!table) {
            std::vector<std::uint8_t> traps(breakAt);
            for (std::int32_t p = 1; p <= m.n; ++p) {
                const std::int32_t c = tables.codes[static_cast<std::size_t>(p)];
                if ((options.stopForInput && isInput(c)) ||
                    (!watches.empty() && (isInput(c) || isDisplay(c) || c == kOpEvents)))
                    traps[static_cast<std::size_t>(p)] = 1;
            }
            table = stretchTable(tables, traps);
        }
        return *table;
    }

    // --- The timeline ---

    /// A "w" marks the timeline where the run goes for the first time.
    void markDisplay(std::int64_t step) {
        if (step > furthest) mark(step, Mark::Kind::Display);
    }
    void mark(std::int64_t step, Mark::Kind kind) {
        const auto before = [](const Mark& a, const Mark& b) {
            return a.step != b.step ? a.step < b.step : a.kind < b.kind;
        };
        const Mark x{step, kind};
        const auto at = std::lower_bound(marks.begin(), marks.end(), x, before);
        if (at != marks.end() && at->step == step && at->kind == kind) return;
        if (marks.size() >= kMaxMarks && at == marks.end()) return;
        marks.insert(at, x);
        if (marks.size() > kMaxMarks) marks.pop_back();
    }
    void reached() { furthest = std::max(furthest, steps); }

    // --- Checkpoints ---

    Checkpoint snapshot() const {
        Checkpoint c;
        snapshotInto(c);
        return c;
    }

    /// The run state into `c`, reusing the room its texts have.
    void snapshotInto(Checkpoint& c) const {
        c.steps = steps;
        c.pc = m.pc;
        c.cur = m.cur;
        c.opb = m.opb;
        c.opc = m.opc;
        c.mem = mem;
        c.display = display;
        c.answerAt = answerAt;
        c.editAt = editAt;
        c.bytes = sizeof(Checkpoint) + heapBytes(c.display);
        for (const std::string& cell : c.mem)
            c.bytes += heapBytes(cell);
    }

    /// The heap memory the run state's texts hold.
    std::int64_t stateBytes() const {
        std::size_t n = heapBytes(display);
        for (const std::string& cell : mem)
            n += heapBytes(cell);
        return static_cast<std::int64_t>(n);
    }

    void restore(const Checkpoint& c) {
        steps = c.steps;
        m.pc = c.pc;
        m.cur = c.cur;
        m.opb = c.opb;
        m.opc = c.opc;
        m.failure = Failure::None;
        m.hostCalled = false;
        mem = c.mem;
        display = c.display;
        answerAt = c.answerAt;
        editAt = c.editAt;
        ended = false;
        inputPrompt.clear();
        stoppedForInput.reset();
    }

    /// The step at which the next checkpoint is due: `interval` steps after the last, and at
    /// least a step for each byte it held, so that copying the state takes a small share of the
    /// time running to it takes.
    std::int64_t nextCheckpointAt() const {
        const Checkpoint& last = checkpoints.back();
        return last.steps + std::max(interval, static_cast<std::int64_t>(last.bytes));
    }

    /// Takes a checkpoint once the run is past the next one's step, the first time it is.
    void checkpointIfDue() {
        if (ended || steps < nextCheckpointAt()) return;
        checkpoints.push_back(snapshot());
        checkpointBytes += checkpoints.back().bytes;
        trim();
    }

    /// Keeps the way back within kMaxCheckpoints and DebugOptions::historyBytes. Too many
    /// checkpoints, or checkpoints that take the larger share: every other one goes, the rest
    /// standing twice as far apart. Answers that take the larger share: the oldest checkpoint
    /// goes, with the answers only it needed, and the way back starts later.
    void trim() {
        const auto thin = [&] {
            std::vector<Checkpoint> kept;
            kept.reserve(checkpoints.size() / 2 + 2);
            checkpointBytes = 0;
            for (std::size_t i = 0; i < checkpoints.size(); ++i) {
                if (i % 2 == 1 && i + 1 != checkpoints.size()) continue;
                checkpointBytes += checkpoints[i].bytes;
                kept.push_back(std::move(checkpoints[i]));
            }
            checkpoints = std::move(kept);
            interval *= 2;
        };
        while (checkpoints.size() > kMaxCheckpoints)
            thin();
        while (bytes + checkpointBytes > options.historyBytes) {
            if (checkpointBytes > bytes && checkpoints.size() > 2) {
                thin();
            } else if (checkpoints.size() >= 2) {
                checkpointBytes -= checkpoints.front().bytes;
                checkpoints.erase(checkpoints.begin());
                dropAnswersBefore(checkpoints.front().answerAt);
            } else {
                // One checkpoint, and still too much: it is taken again here.
                if (ended || checkpoints.back().steps == steps) break;
                checkpointBytes -= checkpoints.back().bytes;
                checkpoints.back() = snapshot();
                checkpointBytes += checkpoints.back().bytes;
                dropAnswersBefore(checkpoints.front().answerAt);
            }
        }
    }

    static std::size_t bytesOf(const Answer& a) {
        return sizeof(Answer) + (a.reply ? sizeof(std::string) + heapBytes(*a.reply) : 0);
    }

    void dropAnswersBefore(std::size_t index) {
        while (answerBase < index && !answers.empty()) {
            bytes -= bytesOf(answers.front());
            answers.pop_front();
            ++answerBase;
        }
    }

    void clearHistory() {
        checkpoints.clear();
        answers.clear();
        edits.clear();
        marks.clear();
        answerBase = answerAt = editAt = 0;
        bytes = 0;
        interval = kFirstInterval;
        furthest = 0;
        checkpoints.push_back(snapshot());
        checkpointBytes = checkpoints.back().bytes;
    }

    std::int64_t oldest() const { return checkpoints.empty() ? 0 : checkpoints.front().steps; }

    /// Forgets what the run did after this step (the learner changed its course).
    void forgetFuture() {
        while (checkpoints.size() > 1 && checkpoints.back().steps > steps) {
            checkpointBytes -= checkpoints.back().bytes;
            checkpoints.pop_back();
        }
        while (answers.size() + answerBase > answerAt) {
            bytes -= bytesOf(answers.back());
            answers.pop_back();
        }
        while (edits.size() > editAt) {
            bytes -= sizeof(Edit) + heapBytes(edits.back().text) + heapBytes(edits.back().old);
            edits.pop_back();
        }
        marks.erase(std::upper_bound(marks.begin(), marks.end(), steps,
                                     [](std::int64_t s, const Mark& x) { return s < x.step; }),
                    marks.end());
        furthest = steps;
    }

    /// Makes the edits due at this step that are not made yet.
    void applyEdits() {
        while (editAt < edits.size() && edits[editAt].step == steps) {
            const Edit& e = edits[editAt++];
            mem[static_cast<std::size_t>(e.cell)] = e.text;
        }
    }
    std::int64_t nextEditStep() const {
        return editAt < edits.size() ? edits[editAt].step
                                     : std::numeric_limits<std::int64_t>::max();
    }

    // --- Steps ---

    /// Ends the run with `how`; announced unless replaying.
    Stop endRun(RunEnd how) {
        ended = true;
        end = how;
        if (!quiet && (how == RunEnd::Terminated || how == RunEnd::Error))
            announceEnd(host, how, m.failure, m.pc, tables.codes[static_cast<std::size_t>(m.pc)]);
        return stopAt(how);
    }

    std::string watchedBefore; // the text of the watched cell the step writes, as it was

    // Why the run failed, as it was worked out last: at this step, after this many changes of
    // the run's course (an edit, its undo, a new start; a run state is known by the two).
    std::uint64_t courseChanges = 0;
    mutable std::pair<std::int64_t, std::uint64_t> reasonAt{-1, 0};
    mutable std::string reason;

    // With watches: the longest stretch the next one may run, and the state it started from.
    static constexpr std::int64_t kShortestStride = 64;
    static constexpr std::int64_t kLongestStride = std::int64_t{1} << 40;
    std::int64_t watchStride = kLongestStride;
    Checkpoint stretchStart;

    /// Runs one step, the edits due before it first. Returns the stop when the run ended, None
    /// when it goes on; `changedWatch` tells whether a watched cell's text changed.
    Stop stepOnce(bool& changedWatch) {
        if (options.maxSteps > 0 && steps >= options.maxSteps) return endRun(RunEnd::StepLimit);
        applyEdits();
        Writes kind = Writes::Nothing;
        std::int32_t cell = -1;
        if (m.pc <= m.n) {
            if (const Letter* l = letterOfCode(tables.codes[static_cast<std::size_t>(m.pc)]))
                kind = l->writes;
            if ((kind == Writes::Cell || kind == Writes::Append) && isCell(m.cur) &&
                watched[static_cast<std::size_t>(m.cur)]) {
                cell = m.cur;
                watchedBefore = mem[static_cast<std::size_t>(cell)];
            }
        }
        if (!quiet) {
            speed.beforeStep(
                host, [&] { return options.virtualClock ? virtualTick(steps) : host.tickCount(); });
        }
        ++steps;
        Stop result = Stop::None;
        if (m.pc > m.n) {
            result = endRun(RunEnd::PastEnd);
        } else {
            switch (m.step()) {
            case Outcome::Next:
                if (m.hostCalled) {
                    m.hostCalled = false;
                    speed.hostRan();
                }
                if (cell >= 0) changedWatch = mem[static_cast<std::size_t>(cell)] != watchedBefore;
                break;
            case Outcome::Terminated: result = endRun(RunEnd::Terminated); break;
            case Outcome::Failed: result = endRun(RunEnd::Error); break;
            }
        }
        // The step that uses the last allowed one ends the run, as a run ends there.
        if (result == Stop::None && options.maxSteps > 0 && steps >= options.maxSteps)
            result = endRun(RunEnd::StepLimit);
        return result;
    }

    /// The most steps a fast stretch from here may run: up to the next checkpoint, edit and the
    /// step limit, and `budget` (0: none).
    std::int64_t stretchLimit(std::int64_t budget) const {
        std::int64_t limit = std::numeric_limits<std::int64_t>::max();
        if (budget > 0) limit = budget;
        if (steps >= checkpoints.back().steps) limit = std::min(limit, nextCheckpointAt() - steps);
        limit = std::min(limit, nextEditStep() - steps);
        if (options.maxSteps > 0) limit = std::min(limit, options.maxSteps - steps);
        return limit;
    }

    struct StretchStop {
        std::int64_t ran = 0;
        bool paused = false, wroteWatched = false;
    };

    /// Runs up to `limit` (>= 1) steps in the fast loop from here; `armed`: its traps stop it.
    StretchStop stretch(std::int64_t limit, bool armed) {
        fast::Table& t = fastTable();
        FastStretch st;
        st.mem = &mem;
        st.pc = m.pc;
        st.cur = m.cur;
        st.opb = m.opb;
        st.opc = m.opc;
        st.stepsBefore = steps;
        st.speed = speed.state(steps);
        st.armed = armed;
        st.pause = armed && !quiet ? &pauseAsked : nullptr;
        st.stepNow = &steps;
        RunOptions o;
        o.maxSteps = limit;
        o.virtualClock = options.virtualClock;
        const std::int64_t before = steps;
        const RunResult r = runFastStretch(tables, t, stretchHost, o, st);
        steps = before + r.steps;
        m.pc = st.pc;
        m.cur = st.cur;
        m.opb = st.opb;
        m.opc = st.opc;
        speed.resume(st.speed, steps);
        StretchStop out;
        out.ran = r.steps;
        out.paused = st.paused;
        for (const Watch& w : watches)
            out.wroteWatched |= st.written[static_cast<std::size_t>(w.cell)];
        if (r.end == RunEnd::Terminated || r.end == RunEnd::Error || r.end == RunEnd::PastEnd) {
            m.failure = r.failure;
            ended = true;
            end = r.end;
        } else if (options.maxSteps > 0 && steps >= options.maxSteps) {
            ended = true;
            end = RunEnd::StepLimit;
        }
        return out;
    }

    /// The input box the next step would open and the session must stop for, if any.
    bool waitsForInput() {
        if (!options.stopForInput || reply || m.pc > m.n) return false;
        if (!isInput(tables.codes[static_cast<std::size_t>(m.pc)])) return false;
        if (!isCell(m.opb) || !isCell(m.cur)) return false;       // the step fails without asking
        if (answerAt < answerBase + answers.size()) return false; // its reply is recorded
        inputPrompt = mem[static_cast<std::size_t>(m.opb)];
        return true;
    }

    enum class Mode { Stepi, Step, Continue };

    /// How far a move had come when it stopped for input, for resume().
    struct Progress {
        Mode mode;
        std::int64_t n, moved, done;
    };
    std::optional<Progress> stoppedForInput;

    Stop move(Mode mode, std::int64_t n) {
        stoppedForInput.reset();
        if (!prepared) return Stop::PrepareFailed;
        if (ended) return Stop::None;
        if (mode != Mode::Continue && n <= 0) return Stop::None;
        return goOn({mode, n, 0, 0});
    }

    Stop resume() {
        if (!stoppedForInput) return Stop::None;
        const Progress p = *stoppedForInput;
        stoppedForInput.reset();
        return goOn(p);
    }

    Stop goOn(Progress p) {
        const Stop stop = goOnFrom(p);
        reached();
        if (!quiet) {
            if (stop == Stop::Breakpoint) mark(steps, Mark::Kind::Breakpoint);
            if (stop == Stop::Watch) mark(steps, Mark::Kind::Watch);
        }
        trim();
        return stop;
    }

    /// The loop of a move that has made `p.moved` steps and `p.done` instructions so far.
    Stop goOnFrom(Progress p) {
        const Mode mode = p.mode;
        const std::int64_t n = p.n;
        std::int64_t moved = p.moved, done = p.done;
        inputPrompt.clear();
        for (;;) {
            if (!quiet && pauseAsked.load(std::memory_order_relaxed)) {
                pauseAsked.store(false);
                return Stop::Paused;
            }
            if (moved > 0 && atBreakpoint()) return Stop::Breakpoint;
            if (mode == Mode::Continue && n > 0 && moved == n) return Stop::Slice;
            if (waitsForInput()) {
                stoppedForInput = Progress{mode, n, moved, done};
                return Stop::Input;
            }
            checkpointIfDue();
            if (mode == Mode::Continue && fastOk) {
                applyEdits();
                const std::int64_t limit = stretchLimit(n > 0 ? n - moved : 0);
                if (limit > 0) {
                    if (const std::optional<Stop> s = fastMove(limit, moved)) return *s;
                    continue;
                }
            }
            bool changedWatch = false;
            const Stop ending = stepOnce(changedWatch);
            if (ending != Stop::None) return ending;
            ++moved;
            if (changedWatch) return Stop::Watch;
            if (mode == Mode::Stepi && moved == n) return Stop::Step;
            if (mode == Mode::Step && atInstructionStart(m.pc) && ++done == n) return Stop::Step;
        }
    }

    /// A continue's stretch of at most `limit` steps; the stop when the move ends there.
    std::optional<Stop> fastMove(std::int64_t limit, std::int64_t& moved) {
        const std::int64_t start = steps;
        const bool wasQuiet = quiet;
        // With watches, a stretch that wrote a watched cell runs again one step at a time from
        // its start. The stretches are about twice as long as the distance to the last change,
        // and the start is kept where copying the state costs less than running to it from the
        // checkpoint (a step a byte, as between checkpoints): a cell that changes every few
        // steps costs a few steps a change, not a replay from the checkpoint and a stretch to
        // the next one.
        bool kept = false;
        if (!watches.empty()) {
            limit = std::min(limit, watchStride);
            const std::int64_t fromCheckpoint = start - checkpointFor(start).steps;
            if (fromCheckpoint > 0 && fromCheckpoint >= stateBytes()) {
                snapshotInto(stretchStart);
                kept = true;
            }
        }
        // The end is announced once the watches had their say.
        const StretchStop st = stretch(limit, true);
        if (!st.wroteWatched && watchStride < kLongestStride) watchStride *= 2;
        if (st.wroteWatched) {
            // Some step wrote a watched cell: the stretch again, one step at a time, to the step
            // that changed its text, if one did.
            const std::int64_t ran = st.ran;
            const bool endedThere = ended;
            if (kept)
                restore(stretchStart);
            else
                jumpTo(start);
            quiet = true;
            for (std::int64_t k = 0; k < ran; ++k) {
                bool changed = false;
                const Stop ending = stepOnce(changed);
                if (changed && ending == Stop::None) {
                    quiet = wasQuiet;
                    moved += k + 1;
                    watchStride = std::max(kShortestStride, 2 * (k + 1));
                    return Stop::Watch;
                }
                if (ending != Stop::None) break;
            }
            quiet = wasQuiet;
            if (endedThere != ended) {
                std::fprintf(stderr, "tessivor: a stretch ended where its replay did not\n");
                std::abort();
            }
        }
        moved += st.ran;
        if (ended) {
            if (!quiet && (end == RunEnd::Terminated || end == RunEnd::Error))
                announceEnd(host, end, m.failure, m.pc,
                            tables.codes[static_cast<std::size_t>(m.pc)]);
            return stopAt(end);
        }
        if (st.paused) {
            pauseAsked.store(false);
            return Stop::Paused;
        }
        return std::nullopt;
    }

    // --- Going back ---

    /// The last checkpoint at or before `target`.
    const Checkpoint& checkpointFor(std::int64_t target) const {
        auto at = std::upper_bound(checkpoints.begin(), checkpoints.end(), target,
                                   [](std::int64_t t, const Checkpoint& c) { return t < c.steps; });
        return *std::prev(at);
    }

    /// Replays from where the run stands to step `target` (no further than the run went), with
    /// the edits due on the way; the host sees nothing.
    void replayTo(std::int64_t target) {
        const bool wasQuiet = quiet;
        quiet = true;
        while (steps < target && !ended) {
            applyEdits();
            const std::int64_t limit = std::min(target - steps, nextEditStep() - steps);
            if (fastOk && limit > 0) {
                stretch(limit, false);
                continue;
            }
            bool changed = false;
            stepOnce(changed);
        }
        applyEdits();
        quiet = wasQuiet;
    }

    /// Goes to step `target` (oldest() <= target <= furthest), exactly as the run was there.
    void jumpTo(std::int64_t target) {
        stoppedForInput.reset();
        if (target < steps || ended)
            restore(checkpointFor(target));
        else if (const Checkpoint& c = checkpointFor(target); c.steps > steps)
            restore(c);
        replayTo(target);
    }

    /// The edit made last, at this step, when nothing came after it.
    bool lastEditHere() const {
        return !edits.empty() && editAt == edits.size() && edits.back().step == steps &&
               furthest == steps;
    }

    Stop goTo(std::int64_t target) {
        if (!prepared) return Stop::PrepareFailed;
        stoppedForInput.reset();
        if (target < oldest()) {
            jumpTo(oldest());
            return Stop::HistoryEnd;
        }
        if (target <= furthest) {
            const bool back = target < steps;
            jumpTo(target);
            return back ? Stop::Back : Stop::Step;
        }
        if (steps < furthest) jumpTo(furthest);
        if (ended) return Stop::None;
        const Stop s = move(Mode::Stepi, target - steps);
        return s == Stop::Step ? Stop::Step : s;
    }

    Stop back(std::int64_t n) {
        if (!prepared) return Stop::PrepareFailed;
        if (n <= 0) return Stop::None;
        if (lastEditHere()) {
            // An edit is a move of its own: Back undoes it alone.
            Edit& e = edits.back();
            mem[static_cast<std::size_t>(e.cell)] = e.old;
            ++courseChanges;
            bytes -= sizeof(Edit) + heapBytes(e.text) + heapBytes(e.old);
            edits.pop_back();
            --editAt;
            const auto x = std::find_if(marks.rbegin(), marks.rend(), [&](const Mark& k) {
                return k.step == steps && k.kind == Mark::Kind::Edit;
            });
            if (x != marks.rend() && std::none_of(edits.begin(), edits.end(),
                                                  [&](const Edit& k) { return k.step == steps; }))
                marks.erase(std::next(x).base());
            return Stop::Back;
        }
        if (steps == oldest()) return Stop::HistoryEnd;
        return goTo(steps - n) == Stop::HistoryEnd ? Stop::HistoryEnd : Stop::Back;
    }

    Stop backInstruction() {
        if (!prepared) return Stop::PrepareFailed;
        if (lastEditHere()) return back(1);
        const std::int64_t here = steps;
        if (here == oldest()) return Stop::HistoryEnd;
        // The start of an instruction lies a few steps back, seldom more: the run replays at full
        // speed to a little before here and goes on one step at a time, a window that widens
        // until it holds one.
        const bool wasQuiet = quiet;
        quiet = true;
        std::int64_t found = -1;
        for (std::int64_t window = 64;; window *= 64) {
            const std::int64_t from = std::max(oldest(), here - window);
            jumpTo(from);
            while (steps < here && !ended) {
                if (atInstructionStart(m.pc)) found = steps;
                bool changed = false;
                stepOnce(changed);
            }
            if (found >= 0 || from == oldest()) break;
        }
        quiet = wasQuiet;
        return landAt(found, Stop::Back);
    }

    Stop reverseContinue() {
        if (!prepared) return Stop::PrepareFailed;
        const std::int64_t here = steps;
        const bool wasQuiet = quiet;
        quiet = true;
        // The stretches between checkpoints, the latest first: each replayed from its checkpoint
        // as a continue goes, noting every stop on the way before `here`, the last one kept.
        Stop kind = Stop::HistoryEnd;
        std::int64_t found = -1;
        for (std::int64_t end = here; found < 0 && end > oldest();) {
            const Checkpoint& c = checkpointFor(end - 1);
            const std::int64_t from = c.steps; // the scan may take checkpoints past the last
            restore(c);
            while (steps < end && !ended) {
                const Stop s = goOnFrom({Mode::Continue, end - steps, 0, 0});
                // A stop at the stretch's end counts unless it is where the run stood.
                if ((s == Stop::Breakpoint || s == Stop::Watch) &&
                    (steps < end || (end < here && steps == end))) {
                    found = steps;
                    kind = s;
                }
                if (s != Stop::Breakpoint && s != Stop::Watch && s != Stop::Slice) break;
            }
            end = from;
        }
        quiet = wasQuiet;
        return landAt(found, kind);
    }

    /// Goes to the step a scan back found, returning `stop`; to the oldest step, returning
    /// HistoryEnd, when it found none (-1).
    Stop landAt(std::int64_t found, Stop stop) {
        jumpTo(found < 0 ? oldest() : found);
        return found < 0 ? Stop::HistoryEnd : stop;
    }

    bool setCell(std::int32_t cell, std::string text) {
        if (!prepared || !isCell(cell)) return false;
        stoppedForInput.reset();
        forgetFuture();
        Edit e;
        e.step = steps;
        e.cell = cell;
        e.old = mem[static_cast<std::size_t>(cell)];
        e.text = std::move(text);
        mem[static_cast<std::size_t>(cell)] = e.text;
        ++courseChanges;
        bytes += sizeof(Edit) + heapBytes(e.text) + heapBytes(e.old);
        edits.push_back(std::move(e));
        editAt = edits.size();
        mark(steps, Mark::Kind::Edit);
        trim();
        return true;
    }

    void restart() {
        ++courseChanges; // the steps count from 0 again
        for (std::string& cell : mem)
            std::string().swap(cell);
        m.cur = m.opb = m.opc = 0;
        m.pc = 1;
        m.failure = Failure::None;
        m.hostCalled = false;
        steps = 0;
        ended = false;
        display.clear();
        inputPrompt.clear();
        reply.reset();
        stoppedForInput.reset();
        pauseAsked.store(false);
        speed = SpeedDisplay(options.virtualClock ? nullptr : host.tickPulse());
        if (!prepared) return;
        clearHistory();
        host.setCaption(kCaption);
    }
};

DebugSession::DebugSession(DebugProgram program, Host& host, DebugOptions options)
    : impl_(std::make_unique<Impl>(std::move(program), host, options)) {}

DebugSession::~DebugSession() = default;

Stop DebugSession::stepi(std::int64_t n) { return impl_->move(Impl::Mode::Stepi, n); }

Stop DebugSession::step(std::int64_t n) { return impl_->move(Impl::Mode::Step, n); }

Stop DebugSession::cont(std::int64_t budget) {
    return impl_->move(Impl::Mode::Continue, budget < 0 ? 0 : budget);
}

Stop DebugSession::back(std::int64_t n) { return impl_->back(n); }

Stop DebugSession::backInstruction() { return impl_->backInstruction(); }

Stop DebugSession::reverseStep(std::int64_t n) {
    if (!impl_->prepared) return Stop::PrepareFailed;
    if (n <= 0) return Stop::None;
    for (std::int64_t k = 0; k < n; ++k)
        if (const Stop s = impl_->backInstruction(); s != Stop::Back) return s;
    return Stop::Back;
}

Stop DebugSession::reverseContinue() { return impl_->reverseContinue(); }

Stop DebugSession::goTo(std::int64_t target) { return impl_->goTo(target); }

bool DebugSession::setCell(std::int32_t cell, std::string text) {
    return impl_->setCell(cell, std::move(text));
}

std::int64_t DebugSession::oldestStep() const { return impl_->oldest(); }

std::int64_t DebugSession::furthestStep() const { return std::max(impl_->furthest, impl_->steps); }

std::vector<Mark> DebugSession::marks() const { return impl_->marks; }

const char* markName(Mark::Kind kind) {
    switch (kind) {
    case Mark::Kind::Breakpoint: return "breakpoint";
    case Mark::Kind::Watch: return "watch";
    case Mark::Kind::Display: return "display";
    case Mark::Kind::Edit: return "edit";
    }
    return "display";
}

void DebugSession::restart() { impl_->restart(); }

void DebugSession::pause() { impl_->pauseAsked.store(true); }

void DebugSession::provideInput(std::string reply) { impl_->reply = std::move(reply); }

Stop DebugSession::resume() { return impl_->resume(); }

int DebugSession::breakAtLine(std::int32_t line) {
    impl_->breakpoints.push_back({impl_->nextNumber, true, line});
    impl_->rebuildBreakpoints();
    return impl_->nextNumber++;
}

int DebugSession::breakAtPosition(std::int32_t pc) {
    impl_->breakpoints.push_back({impl_->nextNumber, false, pc});
    impl_->rebuildBreakpoints();
    return impl_->nextNumber++;
}

bool DebugSession::deleteBreakpoint(int number) {
    auto& bs = impl_->breakpoints;
    auto& ws = impl_->watches;
    const auto b =
        std::find_if(bs.begin(), bs.end(), [&](const auto& x) { return x.number == number; });
    if (b != bs.end()) {
        bs.erase(b);
        impl_->rebuildBreakpoints();
        return true;
    }
    const auto w =
        std::find_if(ws.begin(), ws.end(), [&](const auto& x) { return x.number == number; });
    if (w != ws.end()) {
        ws.erase(w);
        impl_->rebuildWatches();
        return true;
    }
    return false;
}

void DebugSession::deleteAllBreakpoints() {
    impl_->breakpoints.clear();
    impl_->watches.clear();
    impl_->rebuildBreakpoints();
    impl_->rebuildWatches();
}

int DebugSession::watchCell(std::int32_t cell) {
    if (!isCell(cell)) return 0;
    impl_->watches.push_back({impl_->nextNumber, cell});
    impl_->rebuildWatches();
    return impl_->nextNumber++;
}

DebugState DebugSession::state() const {
    const Impl& s = *impl_;
    DebugState st;
    st.steps = s.steps;
    st.pc = s.m.pc;
    st.cur = s.m.cur;
    st.opb = s.m.opb;
    st.opc = s.m.opc;
    st.ended = s.ended || !s.prepared;
    st.end = s.prepared ? s.end : RunEnd::PrepareFailed;
    st.failure = s.ended && s.end == RunEnd::Error ? s.m.failure : Failure::None;
    st.display = s.display;
    if (st.failure != Failure::None) {
        // Working out the reason reads the cells again, which takes long for long texts; a
        // window asks for the state at every refresh.
        if (s.reasonAt != std::pair(s.steps, s.courseChanges)) {
            s.reason = failureReason(s.code, s.m.pc, s.m.cur, s.m.opb, s.m.opc, s.mem, st.failure);
            s.reasonAt = {s.steps, s.courseChanges};
        }
        st.reason = s.reason;
    }
    if (s.m.pc >= 0 && static_cast<std::size_t>(s.m.pc) < s.map.line.size())
        st.line = s.map.line[static_cast<std::size_t>(s.m.pc)];
    if (s.instructionAt) st.instruction = s.instructionAt(s.m.pc);
    st.inputPrompt = s.inputPrompt;
    return st;
}

const std::array<std::string, kCells>& DebugSession::cells() const { return impl_->mem; }

const SourceMap& DebugSession::sourceMap() const { return impl_->map; }

std::size_t DebugSession::codeLength() const { return impl_->code.size(); }

std::int64_t DebugSession::historyDepth() const { return impl_->steps - impl_->oldest(); }

std::int64_t DebugSession::steps() const { return impl_->steps; }

} // namespace tessivor
