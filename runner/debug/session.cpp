#include "runner/debug/session.h"

#include "common/operations.h"
#include "runner/machine/explain.h"
#include "runner/machine/prepare.h"
#include "runner/machine/step.h"
#include "runner/machine/virtual_clock.h"

#include <algorithm>
#include <deque>
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

/// An answer from outside the machine ("l", "y", "o"), kept so that going forward again over
/// the step that asked replays it instead of asking again.
struct Recorded {
    std::int64_t step = 0; ///< the step that asked, 1 for the first
    std::int32_t tick = 0;
    float random = 0;
    std::string reply;
};

/// The heap memory a text holds beyond the string itself.
std::size_t heapBytes(const std::string& text) {
    return text.capacity() > sizeof(std::string) ? text.capacity() : 0;
}

/// The texts steps replaced, oldest first, in slots that keep their memory for the next text,
/// so that a step of a long session seldom allocates. `bytes` counts every slot.
class TextRing {
public:
    std::size_t bytes = 0;

    /// A slot for the newest text, holding a copy of `text`.
    std::string& push(const std::string& text) {
        if (count_ == slots_.size()) grow();
        std::string& slot = slots_[index(count_)];
        ++count_;
        bytes -= heapBytes(slot);
        slot.assign(text);
        bytes += heapBytes(slot);
        return slot;
    }
    /// Drops the oldest text; `release` frees its slot's memory.
    void popOldest(bool release) {
        if (release) free(slots_[head_]);
        head_ = index(1);
        --count_;
    }
    /// Swaps the newest text into `target` and drops it.
    void popNewestInto(std::string& target) {
        std::string& slot = slots_[index(count_ - 1)];
        bytes -= heapBytes(slot);
        target.swap(slot);
        bytes += heapBytes(slot);
        if (slot.capacity() > kKeptCapacity) free(slot);
        --count_;
    }
    void clear() {
        slots_.clear();
        slots_.shrink_to_fit();
        head_ = count_ = bytes = 0;
    }

private:
    static constexpr std::size_t kKeptCapacity = 64; // a number's text fits

    void free(std::string& slot) {
        bytes -= heapBytes(slot);
        std::string().swap(slot);
    }
    std::size_t index(std::size_t k) const {
        const std::size_t i = head_ + k;
        return i >= slots_.size() ? i - slots_.size() : i;
    }
    void grow() {
        std::rotate(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(head_),
                    slots_.end());
        head_ = 0;
        const std::size_t n = std::max<std::size_t>(64, slots_.size() * 3 / 2);
        bytes += (n - slots_.size()) * sizeof(std::string);
        slots_.resize(n);
    }

    std::vector<std::string> slots_;
    std::size_t head_ = 0, count_ = 0;
};

/// What undoes one step, in 12 bytes: the code at `pc` tells the rest. The table of
/// operations names the register the step set, whose value before is `old`, and what it wrote:
/// cell cur (which no code that writes a cell changes) or the display. A text the step replaced
/// is kept in the history's list of texts, in step order.
struct Undo {
    std::int32_t pc = 0;
    std::int32_t old = 0;
    std::uint32_t aux = 0; ///< appends: the cell's length before; others: 1 when a text is kept
};

/// What the step of `code` sets and writes; nothing for the codes that are no operation.
struct Effect {
    Sets sets = Sets::Nothing;
    Writes writes = Writes::Nothing;
};

Effect effectOf(std::int32_t code) {
    const Letter* l = letterOfCode(code);
    return l ? Effect{l->sets, l->writes} : Effect{};
}

/// Keeps a copy of the text a step of this kind replaces.
constexpr bool keepsText(Writes w) { return w == Writes::Cell || w == Writes::Display; }

} // namespace

struct DebugSession::Impl {
    /// The outside world as the step sees it: answers are recorded, and replayed when the
    /// session goes forward again over a step it went back over.
    struct Io {
        Impl& s;

        Recorded* replay() {
            if (s.redo.empty() || s.redo.back().step != s.steps) return nullptr;
            s.recorded.push_back(std::move(s.redo.back()));
            s.redo.pop_back();
            s.bytes += heapBytes(s.recorded.back().reply);
            return &s.recorded.back();
        }
        Recorded& record() {
            if (s.options.historySteps == 0) return s.scratchRecord;
            s.recorded.emplace_back();
            s.recorded.back().step = s.steps;
            return s.recorded.back();
        }
        std::int32_t tick() {
            if (const Recorded* r = replay()) return r->tick;
            const std::int32_t now =
                s.options.virtualClock ? virtualTick(s.steps - 1) : s.host.tickCount();
            record().tick = now;
            return now;
        }
        float random() {
            if (const Recorded* r = replay()) return r->random;
            const float r = s.host.randomSingle();
            record().random = r;
            return r;
        }
        std::string input(std::string_view prompt) {
            if (const Recorded* r = replay()) return r->reply;
            std::string reply;
            if (s.reply) {
                reply = std::move(*s.reply);
                s.reply.reset();
            } else {
                reply = s.host.inputBox(prompt);
            }
            Recorded& r = record();
            r.reply = reply;
            if (&r != &s.scratchRecord) s.bytes += heapBytes(r.reply);
            return reply;
        }
        void events() { s.host.processEvents(); }
        void display(std::string_view text) {
            s.host.setDisplay(text);
            s.display.assign(text);
        }
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
        host.setCaption(kCaption);
    }

    std::string code;
    Host& host;
    SourceMap map;
    std::function<std::string(std::int32_t)> instructionAt;
    DebugOptions options;
    Prepared tables;
    bool prepared = false;
    std::array<std::string, kCells> mem;
    Io io{*this};
    Machine<Io> m{tables, io, mem, 0};
    SpeedDisplay speed;

    std::int64_t steps = 0;
    bool ended = false;
    RunEnd end = RunEnd::Terminated;
    std::string display;
    std::string inputPrompt;
    std::optional<std::string> reply;
    std::atomic<bool> pauseAsked{false};

    int nextNumber = 1;
    std::vector<Breakpoint> breakpoints;
    std::vector<std::uint8_t> breakAt; // per position: a breakpoint stands there
    std::vector<Watch> watches;
    std::array<bool, kCells> watched{};

    // The history: a ring of undo entries, oldest at `head`, and the recorded answers of the
    // steps it holds; `redo` holds the answers of steps gone back over, the next on top.
    std::vector<Undo> ring;
    std::size_t ringSize = 0; // ring.size(), kept apart: sizeof(Undo) is no power of two
    std::size_t head = 0, count = 0, bytes = 0;
    TextRing texts;
    std::deque<Recorded> recorded;
    std::vector<Recorded> redo;
    Undo scratch;
    std::string scratchText;
    Recorded scratchRecord;

    /// What the step an entry undoes set and wrote.
    Effect effectAt(std::int32_t pc) const {
        return pc >= 1 && pc <= m.n ? effectOf(tables.codes[static_cast<std::size_t>(pc)])
                                    : Effect{};
    }
    bool keptText(const Undo& u) const { return keepsText(effectAt(u.pc).writes) && u.aux != 0; }

    /// The register `sets` names (opb for Nothing: never asked).
    std::int32_t& reg(Sets sets) {
        switch (sets) {
        case Sets::Cur: return m.cur;
        case Sets::Opc: return m.opc;
        case Sets::Opb:
        case Sets::Nothing: break;
        }
        return m.opb;
    }

    bool atInstructionStart(std::int32_t p) const {
        if (map.empty()) return true;
        return p >= 0 && static_cast<std::size_t>(p) < map.instructionStart.size() &&
               map.instructionStart[static_cast<std::size_t>(p)] != 0;
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
    }

    void rebuildWatches() {
        watched.fill(false);
        for (const Watch& w : watches)
            watched[static_cast<std::size_t>(w.cell)] = true;
    }

    /// The entry that will undo the next step, filled before it runs.
    Undo& pushUndo() {
        if (options.historySteps == 0) return scratch;
        if (count == ringSize) [[unlikely]] {
            if (ringSize < options.historySteps) {
                if (head != 0) {
                    std::rotate(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(head),
                                ring.end());
                    head = 0;
                }
                // Grows by halves, so a short session keeps a short ring.
                ringSize =
                    std::min(options.historySteps, std::max<std::size_t>(1024, ringSize * 3 / 2));
                ring.resize(ringSize);
            } else {
                dropOldest(false); // full: the oldest slot is taken over
            }
        }
        ++count;
        return newest();
    }

    /// The ring's slot `k` places after the oldest.
    std::size_t slot(std::size_t k) const {
        const std::size_t i = head + k;
        return i >= ringSize ? i - ringSize : i;
    }
    Undo& newest() { return ring[slot(count - 1)]; }

    /// Drops the oldest step of the history; `release` frees the memory its text held.
    void dropOldest(bool release) {
        const Undo& u = ring[head];
        bytes -= sizeof(Undo);
        if (keptText(u)) texts.popOldest(release);
        const std::int64_t oldestStep = steps - static_cast<std::int64_t>(count) + 1;
        while (!recorded.empty() && recorded.front().step <= oldestStep) {
            bytes -= heapBytes(recorded.front().reply);
            recorded.pop_front();
        }
        head = slot(1);
        --count;
    }

    /// Keeps the history within its bound in memory once a step has run.
    void trimHistory() {
        while (count > 0 && bytes + texts.bytes > options.historyBytes)
            dropOldest(true);
    }

    void clearHistory() {
        ring.clear();
        ring.shrink_to_fit();
        ringSize = 0;
        head = count = bytes = 0;
        texts.clear();
        recorded.clear();
        redo.clear();
    }

    /// Runs one step, recording how to undo it. Returns the stop when the run ended, None
    /// when it goes on; `changedWatch` tells whether a watched cell's text changed.
    [[gnu::flatten]] Stop stepOnce(bool& changedWatch) {
        if (options.maxSteps > 0 && steps >= options.maxSteps) {
            ended = true;
            end = RunEnd::StepLimit;
            return Stop::StepLimit;
        }
        Undo& u = pushUndo();
        u.pc = m.pc;
        u.aux = 0;
        std::string* kept = nullptr; // the text the step may replace, as it was
        Writes kind = Writes::Nothing;
        if (m.pc <= m.n) {
            const Effect effect = effectOf(tables.codes[static_cast<std::size_t>(m.pc)]);
            if (effect.sets != Sets::Nothing) u.old = reg(effect.sets);
            kind = effect.writes;
            if (kind == Writes::Display || (kind != Writes::Nothing && isCell(m.cur))) {
                const std::string& before =
                    kind == Writes::Display ? display : mem[static_cast<std::size_t>(m.cur)];
                if (kind == Writes::Append) {
                    u.aux = static_cast<std::uint32_t>(before.size());
                } else {
                    u.aux = 1;
                    if (options.historySteps == 0) {
                        kept = &scratchText;
                        scratchText.assign(before);
                    } else {
                        kept = &texts.push(before);
                    }
                }
            }
        }

        speed.beforeStep(
            host, [&] { return options.virtualClock ? virtualTick(steps) : host.tickCount(); });
        ++steps;
        Stop result = Stop::None;
        if (m.pc > m.n) {
            ended = true;
            end = RunEnd::PastEnd;
            result = Stop::PastEnd;
        } else {
            const Outcome outcome = m.step();
            switch (outcome) {
            case Outcome::Next:
                if (m.hostCalled) {
                    m.hostCalled = false;
                    speed.hostRan();
                }
                if ((kind == Writes::Cell || kind == Writes::Append) &&
                    watched[static_cast<std::size_t>(m.cur)]) {
                    const std::string& now = mem[static_cast<std::size_t>(m.cur)];
                    changedWatch = kind == Writes::Append ? now.size() != u.aux : now != *kept;
                }
                break;
            case Outcome::Terminated:
            case Outcome::Failed:
                ended = true;
                end = outcome == Outcome::Terminated ? RunEnd::Terminated : RunEnd::Error;
                announceEnd(host, end, m.failure, m.pc,
                            tables.codes[static_cast<std::size_t>(m.pc)]);
                result = stopAt(end);
                break;
            }
        }
        if (options.historySteps != 0) {
            bytes += sizeof(Undo);
            trimHistory();
        }
        // The step that uses the last allowed one ends the run, as a run ends there.
        if (result == Stop::None && options.maxSteps > 0 && steps >= options.maxSteps) {
            ended = true;
            end = RunEnd::StepLimit;
            result = Stop::StepLimit;
        }
        return result;
    }

    /// Undoes the newest step; false when the history holds none.
    bool undo() {
        stoppedForInput.reset();
        if (count == 0) return false;
        const Undo& u = newest();
        m.pc = u.pc;
        m.failure = Failure::None;
        const Effect effect = effectAt(u.pc);
        if (effect.sets != Sets::Nothing) reg(effect.sets) = u.old;
        bytes -= sizeof(Undo);
        switch (effect.writes) {
        case Writes::Append:
            if (isCell(m.cur)) mem[static_cast<std::size_t>(m.cur)].resize(u.aux);
            break;
        case Writes::Cell:
        case Writes::Display:
            if (u.aux == 0) break;
            texts.popNewestInto(
                effect.writes == Writes::Display ? display : mem[static_cast<std::size_t>(m.cur)]);
            break;
        case Writes::Nothing: break;
        }
        --count;
        while (!recorded.empty() && recorded.back().step == steps) {
            bytes -= heapBytes(recorded.back().reply);
            redo.push_back(std::move(recorded.back()));
            recorded.pop_back();
        }
        --steps;
        ended = false;
        inputPrompt.clear();
        return true;
    }

    /// The input box the next step would open and the session must stop for, if any.
    bool waitsForInput() {
        if (!options.stopForInput || reply || m.pc > m.n) return false;
        if (tables.codes[static_cast<std::size_t>(m.pc)] != kOpInput) return false;
        if (!isCell(m.opb) || !isCell(m.cur)) return false; // the step fails without asking
        if (!redo.empty() && redo.back().step == steps + 1) return false;
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

    /// The loop of a move that has made `p.moved` steps and `p.done` instructions so far.
    Stop goOn(Progress p) {
        const Mode mode = p.mode;
        const std::int64_t n = p.n;
        std::int64_t moved = p.moved, done = p.done;
        inputPrompt.clear();
        for (;;) {
            if (pauseAsked.load(std::memory_order_relaxed)) {
                pauseAsked.store(false);
                return Stop::Paused;
            }
            if (moved > 0 && m.pc >= 0 && static_cast<std::size_t>(m.pc) < breakAt.size() &&
                breakAt[static_cast<std::size_t>(m.pc)]) {
                return Stop::Breakpoint;
            }
            if (mode == Mode::Continue && n > 0 && moved == n) return Stop::Slice;
            if (waitsForInput()) {
                stoppedForInput = Progress{mode, n, moved, done};
                return Stop::Input;
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

    void restart() {
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
        clearHistory();
        speed = SpeedDisplay(options.virtualClock ? nullptr : host.tickPulse());
        if (!prepared) return;
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

Stop DebugSession::back(std::int64_t n) {
    if (!impl_->prepared) return Stop::PrepareFailed;
    if (n <= 0) return Stop::None;
    for (std::int64_t k = 0; k < n; ++k)
        if (!impl_->undo()) return Stop::HistoryEnd;
    return Stop::Back;
}

Stop DebugSession::backInstruction() {
    if (!impl_->prepared) return Stop::PrepareFailed;
    if (!impl_->undo()) return Stop::HistoryEnd;
    while (!impl_->atInstructionStart(impl_->m.pc))
        if (!impl_->undo()) return Stop::HistoryEnd;
    return Stop::Back;
}

Stop DebugSession::reverseStep(std::int64_t n) {
    if (!impl_->prepared) return Stop::PrepareFailed;
    if (n <= 0) return Stop::None;
    for (std::int64_t k = 0; k < n; ++k)
        if (const Stop s = backInstruction(); s != Stop::Back) return s;
    return Stop::Back;
}

Stop DebugSession::reverseContinue() {
    Impl& s = *impl_;
    if (!s.prepared) return Stop::PrepareFailed;
    while (s.undo()) {
        if (s.m.pc >= 0 && static_cast<std::size_t>(s.m.pc) < s.breakAt.size() &&
            s.breakAt[static_cast<std::size_t>(s.m.pc)] && s.steps > 0)
            return Stop::Breakpoint;
    }
    return Stop::HistoryEnd;
}

Stop DebugSession::goTo(std::int64_t target) {
    if (!impl_->prepared) return Stop::PrepareFailed;
    const std::int64_t now = impl_->steps;
    if (target < now) return back(now - target);
    if (target == now) return Stop::Step;
    return stepi(target - now);
}

bool DebugSession::setCell(std::int32_t cell, std::string text) {
    if (!impl_->prepared || !isCell(cell)) return false;
    impl_->mem[static_cast<std::size_t>(cell)] = std::move(text);
    return true;
}

std::int64_t DebugSession::oldestStep() const { return impl_->steps - historyDepth(); }

std::int64_t DebugSession::furthestStep() const { return impl_->steps; }

std::vector<Mark> DebugSession::marks() const { return {}; }

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
    if (st.failure != Failure::None)
        st.reason = failureReason(s.code, s.m.pc, s.m.cur, s.m.opb, s.m.opc, s.mem, st.failure);
    if (s.m.pc >= 0 && static_cast<std::size_t>(s.m.pc) < s.map.line.size())
        st.line = s.map.line[static_cast<std::size_t>(s.m.pc)];
    if (s.instructionAt) st.instruction = s.instructionAt(s.m.pc);
    st.inputPrompt = s.inputPrompt;
    return st;
}

const std::array<std::string, kCells>& DebugSession::cells() const { return impl_->mem; }

const SourceMap& DebugSession::sourceMap() const { return impl_->map; }

std::size_t DebugSession::codeLength() const { return impl_->code.size(); }

std::int64_t DebugSession::historyDepth() const { return static_cast<std::int64_t>(impl_->count); }

std::int64_t DebugSession::steps() const { return impl_->steps; }

} // namespace tessivor
