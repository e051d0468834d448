#include "studio/machine_runner.h"

#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <utility>

namespace tessivor::studio {
namespace {

using Clock = std::chrono::steady_clock;

// A full-speed run goes in slices of about this long, so breakpoint changes, Pause and Stop
// are taken between them even when the session's own pause were late.
constexpr auto kSliceTime = std::chrono::milliseconds(20);
// How often a full-speed run reports where it stands.
constexpr auto kReportEvery = std::chrono::milliseconds(100);
// The most display lines and messages that wait for the window at once; a program that shows
// faster than the window can list keeps only its latest ones.
constexpr std::size_t kMaxPendingEvents = 20'000;
// The most messages of a run kept to be shown again after going back over them.
constexpr std::size_t kMaxRunMessages = 100'000;

} // namespace

/// The host of the session: it runs on the machine's thread and collects what the program
/// shows for the window.
class MachineRunner::Display : public Host {
public:
    explicit Display(MachineRunner& runner) : runner_(runner) {}

    /// A move begins. What a step shows is new only past the furthest step anything was kept
    /// for: a session replays steps it ran before (going back, finding a watch after a fast
    /// stretch, jumping forward over known steps), and may or may not show their texts again.
    void beginMove() { sameStep_ = false; }
    /// What comes after `step` is forgotten (an edit changed it, or a new run begins).
    void forgetAfter(std::int64_t step) {
        newAfter_ = step;
        sameStep_ = false;
    }

    void setCaption(std::string_view) override {} // the Registers view shows the speed
    void setDisplay(std::string_view text) override { add(MachineEvent::Kind::Display, text); }
    void setLarpEnabled() override {}
    void messageBox(std::string_view text) override { add(MachineEvent::Kind::Message, text); }
    // Never called: the session stops for input instead, and the window asks.
    std::string inputBox(std::string_view) override { return {}; }
    // The window handles its events on its own thread all the time.
    void processEvents() override {}
    std::int32_t tickCount() override { return platform::tickCount(); }
    float randomSingle() override {
        const float r = random_.next();
        std::lock_guard lock(runner_.recordMutex_);
        if (runner_.record_.draws.size() < kRecordedDraws) runner_.record_.draws.push_back(r);
        return r;
    }
    const std::atomic<std::uint32_t>* tickPulse() override { return platform::tickPulse(); }

private:
    void add(MachineEvent::Kind kind, std::string_view text) {
        MachineEvent event;
        event.kind = kind;
        if (runner_.session_) {
            // The step that shows the text is under way, and already counted. Only a message
            // needs the line (the state copies the texts, too slow for every display).
            event.step = runner_.session_->steps();
            // One step may show two messages (a failure's report and "Program Ended").
            if (event.step < newAfter_ || (event.step == newAfter_ && !sameStep_)) return;
            newAfter_ = event.step;
            sameStep_ = true;
            if (kind == MachineEvent::Kind::Message) event.line = runner_.session_->state().line;
        }
        // A 64 MiB text would stall the window: it gets the start, the log keeps the whole.
        if (kind == MachineEvent::Kind::Display) runner_.output_.append(text, event.step);
        event.text = std::string(text.substr(0, kShownCellLength));
        event.length = text.size();
        std::lock_guard lock(runner_.eventMutex_);
        if (kind == MachineEvent::Kind::Message && runner_.runMessages_.size() < kMaxRunMessages)
            runner_.runMessages_.push_back(event);
        auto& pending = runner_.pendingEvents_;
        if (pending.size() >= kMaxPendingEvents)
            pending.erase(pending.begin(), pending.begin() + kMaxPendingEvents / 2);
        pending.push_back(std::move(event));
    }

    MachineRunner& runner_;
    platform::SingleRandom random_;
    std::int64_t newAfter_ = 0;
    bool sameStep_ = false;
};

MachineRunner::MachineRunner(QObject* context, Listener listener)
    : context_(context), listener_(std::move(listener)), display_(std::make_unique<Display>(*this)),
      thread_([this] { loop(); }) {}

MachineRunner::~MachineRunner() {
    quitting_ = true;
    pause();
    {
        std::lock_guard lock(queueMutex_);
        queue_.clear();
    }
    queueReady_.notify_all();
    wake_.notify_all();
    thread_.join();
}

void MachineRunner::post(std::function<void()> job) {
    {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(job));
    }
    queueReady_.notify_one();
}

void MachineRunner::loop() {
    while (true) {
        std::function<void()> job;
        {
            std::unique_lock lock(queueMutex_);
            queueReady_.wait(lock, [this] { return quitting_ || !queue_.empty(); });
            if (quitting_) break;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        job();
    }
    std::lock_guard lock(sessionMutex_);
    session_.reset();
}

void MachineRunner::start(DebugProgram program, std::vector<int> lines) {
    stopRequested_ = false;
    setBreakpoints(std::move(lines));
    post([this, program = std::move(program)]() mutable {
        DebugOptions options;
        options.stopForInput = true;
        {
            std::lock_guard lock(sessionMutex_);
            session_.reset();
        }
        auto session = std::make_unique<DebugSession>(std::move(program), *display_, options);
        {
            std::lock_guard lock(sessionMutex_);
            session_ = std::move(session);
        }
        {
            std::lock_guard lock(breakpointMutex_);
            breakpointsDirty_ = true;
        }
        speed_ = 0;
        output_.clear();
        display_->forgetAfter(0);
        {
            std::lock_guard lock(eventMutex_);
            runMessages_.clear();
        }
        {
            std::lock_guard lock(recordMutex_);
            record_ = {};
        }
        publish(session_->state().ended ? Stop::PrepareFailed : Stop::None, false);
    });
}

void MachineRunner::setBreakpoints(std::vector<int> lines) {
    std::lock_guard lock(breakpointMutex_);
    breakpointLines_ = std::move(lines);
    breakpointsDirty_ = true;
}

void MachineRunner::setWatches(std::vector<int> cells) {
    std::lock_guard lock(breakpointMutex_);
    watchedCells_ = std::move(cells);
    breakpointsDirty_ = true;
}

void MachineRunner::syncBreakpoints(int untilLine) {
    std::vector<int> lines, cells;
    {
        std::lock_guard lock(breakpointMutex_);
        if (!breakpointsDirty_ && untilLine == 0) return;
        breakpointsDirty_ = untilLine != 0; // a run-to-line breakpoint is taken away afterwards
        lines = breakpointLines_;
        cells = watchedCells_;
    }
    session_->deleteAllBreakpoints(); // and the watches
    for (const int line : lines)
        session_->breakAtLine(line);
    for (const int cell : cells)
        session_->watchCell(cell);
    if (untilLine > 0) session_->breakAtLine(untilLine);
}

void MachineRunner::go(Pace pace, int delayMs, int untilLine) {
    pauseRequested_ = false;
    delayMs_ = delayMs;
    post([this, pace, untilLine] { runGo(pace, untilLine); });
}

void MachineRunner::runGo(Pace pace, int untilLine) {
    if (!session_) return publish(Stop::None, false);
    syncBreakpoints(untilLine);
    display_->beginMove();
    // The speed over the last second of running: where the run stood then and now.
    std::deque<std::pair<Clock::time_point, std::int64_t>> recent{
        {Clock::now(), session_->steps()}};
    auto reported = Clock::now();
    std::int64_t budget = 100'000;
    Stop stop = Stop::None;
    while (true) {
        if (interrupted()) {
            stop = Stop::Paused;
            break;
        }
        syncBreakpoints(untilLine);
        if (pace == Pace::Full) {
            const auto sliceStart = Clock::now();
            stop = session_->cont(budget);
            // Aims each slice at kSliceTime, whatever the program's speed.
            const auto took = Clock::now() - sliceStart;
            if (stop == Stop::Slice) {
                if (took < kSliceTime / 2 && budget < (std::int64_t{1} << 40))
                    budget *= 2;
                else if (took > kSliceTime * 2 && budget > 1000)
                    budget /= 2;
            }
        } else {
            stop = session_->step(1);
        }
        const auto now = Clock::now();
        recent.emplace_back(now, session_->steps());
        while (recent.size() > 2 && now - recent[1].first >= std::chrono::seconds(1))
            recent.pop_front();
        const double seconds = std::chrono::duration<double>(now - recent.front().first).count();
        if (pace == Pace::Full && seconds > 0.01)
            speed_ =
                static_cast<double>(recent.back().second - recent.front().second) / seconds / 1e6;
        const bool goesOn = (pace == Pace::Full && stop == Stop::Slice) ||
                            (pace == Pace::Animate && stop == Stop::Step);
        if (!goesOn) break;
        if (pace == Pace::Animate) {
            publish(stop, true);
            std::unique_lock lock(wakeMutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(delayMs_.load()),
                           [this] { return interrupted(); });
        } else if (Clock::now() - reported >= kReportEvery) {
            reported = Clock::now();
            publish(stop, true);
        }
    }
    if (untilLine > 0) {
        std::lock_guard lock(breakpointMutex_);
        breakpointsDirty_ = true;
    }
    if (stop == Stop::Slice || stop == Stop::Step) stop = Stop::Paused;
    forgetAfter(session_->steps());
    publish(stop, false);
}

Stop MachineRunner::move(const std::function<Stop()>& run) {
    display_->beginMove();
    const Stop stop = run();
    forgetAfter(session_->steps());
    return stop;
}

void MachineRunner::forgetAfter(std::int64_t step) {
    // What was shown after the step the run stands at is kept, and shown again when the run
    // gets there.
    output_.showUpTo(step);
    std::lock_guard lock(eventMutex_);
    std::erase_if(pendingEvents_, [step](const MachineEvent& e) { return e.step > step; });
}

std::vector<MachineEvent> MachineRunner::messagesBetween(std::int64_t after,
                                                         std::int64_t upTo) const {
    std::lock_guard lock(eventMutex_);
    std::vector<MachineEvent> found;
    for (const MachineEvent& event : runMessages_)
        if (event.step > after && event.step <= upTo) found.push_back(event);
    return found;
}

void MachineRunner::postMove(std::function<Stop()> run) {
    pauseRequested_ = false;
    post([this, run = std::move(run)] {
        if (!session_) return publish(Stop::None, false);
        syncBreakpoints(0);
        publish(move(run), false);
    });
}

void MachineRunner::stepInstruction() {
    postMove([this] { return session_->step(1); });
}

void MachineRunner::stepMachine() {
    postMove([this] { return session_->stepi(1); });
}

void MachineRunner::backInstruction() {
    // Right after an edit the session takes the edit away and nothing else.
    postMove([this] { return session_->reverseStep(1); });
}

void MachineRunner::backMachine() {
    postMove([this] { return session_->back(1); });
}

void MachineRunner::reverseContinue() {
    postMove([this] { return session_->reverseContinue(); });
}

void MachineRunner::goTo(std::int64_t target) {
    postMove([this, target] { return session_->goTo(target); });
}

void MachineRunner::setCell(int cell, std::string text) {
    post([this, cell, text = std::move(text)]() mutable {
        if (!session_) return publish(Stop::None, false);
        const bool done = session_->setCell(cell, std::move(text));
        if (done) {
            // What the run did after this step is forgotten: the timeline ends here, and what
            // later steps showed is shown no more.
            const std::int64_t now = session_->steps();
            display_->forgetAfter(now);
            output_.rewindTo(now);
            std::lock_guard lock(eventMutex_);
            std::erase_if(runMessages_, [now](const MachineEvent& e) { return e.step > now; });
        }
        publish(Stop::None, false);
    });
}

void MachineRunner::provideInput(std::string reply) {
    post([this, reply = std::move(reply)]() mutable {
        if (!session_) return;
        {
            std::lock_guard lock(recordMutex_);
            record_.replies.push_back(reply);
        }
        session_->provideInput(std::move(reply));
    });
}

RunRecord MachineRunner::record() const {
    std::lock_guard lock(recordMutex_);
    return record_;
}

void MachineRunner::pause() {
    pauseRequested_ = true;
    {
        std::lock_guard lock(sessionMutex_);
        if (session_) session_->pause();
    }
    {
        // Taken so an animation that is about to wait sees the request, or is woken from it.
        std::lock_guard lock(wakeMutex_);
    }
    wake_.notify_all();
}

void MachineRunner::stop() {
    stopRequested_ = true;
    pause();
    post([this] {
        std::unique_ptr<DebugSession> ended;
        {
            std::lock_guard lock(sessionMutex_);
            ended = std::move(session_);
        }
        stopRequested_ = false;
        // The window hears of the stop first: freeing a long history takes a while.
        publish(Stop::None, false);
    });
}

void MachineRunner::publish(Stop stop, bool running) {
    MachineSnapshot snapshot;
    snapshot.stop = stop;
    snapshot.running = running;
    snapshot.speed = speed_;
    if (session_) {
        snapshot.alive = true;
        snapshot.state = session_->state();
        snapshot.history = session_->historyDepth();
        snapshot.oldest = session_->oldestStep();
        snapshot.furthest = session_->furthestStep();
        snapshot.marks = session_->marks();
        const auto& cells = session_->cells();
        for (int i = 0; i < kCells; ++i)
            snapshot.cells[i] = cells[i].substr(0, kShownCellLength);
    }
    flushEvents();
    QMetaObject::invokeMethod(
        context_,
        [listener = listener_.snapshot, snapshot = std::move(snapshot)] { listener(snapshot); },
        Qt::QueuedConnection);
}

void MachineRunner::flushEvents() {
    std::vector<MachineEvent> events;
    {
        std::lock_guard lock(eventMutex_);
        events.swap(pendingEvents_);
    }
    if (events.empty()) return;
    QMetaObject::invokeMethod(
        context_,
        [listener = listener_.events, events = std::move(events)]() mutable {
            listener(std::move(events));
        },
        Qt::QueuedConnection);
}

} // namespace tessivor::studio
