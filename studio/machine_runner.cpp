#include "studio/machine_runner.h"

#include "platform/clock.h"

#include <chrono>

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

} // namespace

/// The host of the session: it runs on the machine's thread and collects what the program
/// shows for the window.
class MachineRunner::Display : public Host {
public:
    explicit Display(MachineRunner& runner) : runner_(runner) {}

    void setCaption(std::string_view) override {} // the Registers view shows the speed
    void setDisplay(std::string_view text) override { add(MachineEvent::Kind::Display, text); }
    void setLarpEnabled() override {}
    void messageBox(std::string_view text) override { add(MachineEvent::Kind::Message, text); }
    // Never called: the session stops for input instead, and the window asks.
    std::string inputBox(std::string_view) override { return {}; }
    // The window handles its events on its own thread all the time.
    void processEvents() override {}
    std::int32_t tickCount() override { return platform::tickCount(); }
    float randomSingle() override { return random_.next(); }
    const std::atomic<std::uint32_t>* tickPulse() override { return platform::tickPulse(); }

private:
    void add(MachineEvent::Kind kind, std::string_view text) {
        MachineEvent event;
        event.kind = kind;
        if (runner_.session_) {
            const DebugState state = runner_.session_->state();
            // The step that shows the text is under way, and already counted.
            event.step = state.steps;
            event.line = state.line;
        }
        event.text = std::string(text);
        std::lock_guard lock(runner_.eventMutex_);
        auto& pending = runner_.pendingEvents_;
        if (pending.size() >= kMaxPendingEvents)
            pending.erase(pending.begin(), pending.begin() + kMaxPendingEvents / 2);
        pending.push_back(std::move(event));
    }

    MachineRunner& runner_;
    platform::SingleRandom random_;
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
        publish(session_->state().ended ? Stop::PrepareFailed : Stop::None, false);
    });
}

void MachineRunner::setBreakpoints(std::vector<int> lines) {
    std::lock_guard lock(breakpointMutex_);
    breakpointLines_ = std::move(lines);
    breakpointsDirty_ = true;
}

void MachineRunner::syncBreakpoints(int untilLine) {
    std::vector<int> lines;
    {
        std::lock_guard lock(breakpointMutex_);
        if (!breakpointsDirty_ && untilLine == 0) return;
        breakpointsDirty_ = untilLine != 0; // a run-to-line breakpoint is taken away afterwards
        lines = breakpointLines_;
    }
    session_->deleteAllBreakpoints();
    for (const int line : lines)
        session_->breakAtLine(line);
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
    const std::int64_t stepsBefore = session_->state().steps;
    const auto started = Clock::now();
    auto reported = started;
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
        const std::int64_t done = session_->state().steps - stepsBefore;
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        if (pace == Pace::Full && seconds > 0.01) speed_ = done / seconds / 1e6;
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
    publish(stop, false);
}

void MachineRunner::stepInstruction() {
    pauseRequested_ = false;
    post([this] {
        if (!session_) return publish(Stop::None, false);
        syncBreakpoints(0);
        publish(session_->step(1), false);
    });
}

void MachineRunner::stepMachine() {
    pauseRequested_ = false;
    post([this] {
        if (!session_) return publish(Stop::None, false);
        syncBreakpoints(0);
        publish(session_->stepi(1), false);
    });
}

void MachineRunner::backInstruction() {
    pauseRequested_ = false;
    post([this] {
        if (!session_) return publish(Stop::None, false);
        publish(session_->backInstruction(), false);
    });
}

void MachineRunner::provideInput(std::string reply) {
    post([this, reply = std::move(reply)]() mutable {
        if (session_) session_->provideInput(std::move(reply));
    });
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
