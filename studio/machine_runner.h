#pragma once
// Runs a debug session on a thread of its own, so the window never waits for the machine:
// commands go to the thread in order, and what the run shows comes back to the window's
// thread as events.

#include "runner/debug/session.h"
#include "studio/output_log.h"

#include <QObject>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessivor::studio {

/// How Run and Continue go on: one instruction and stop, one instruction at a time with a
/// pause between them, or as fast as the machine runs.
enum class Pace { Single, Animate, Full };

/// The longest part of a cell's text that reaches the window; the Cells view shows no more.
inline constexpr std::size_t kShownCellLength = 4096;

/// Where the session stands, as the window shows it.
struct MachineSnapshot {
    bool alive = false;   ///< a session exists (false after Stop or before the first Run)
    bool running = false; ///< a report from the middle of a run; more follow
    Stop stop = Stop::None;
    DebugState state;
    std::array<std::string, kCells> cells; ///< each at most kShownCellLength bytes
    std::int64_t history = 0;              ///< steps Back can still undo
    std::int64_t oldest = 0;               ///< the earliest step the timeline reaches
    std::int64_t furthest = 0; ///< the furthest step the run reached: the timeline's end
    std::vector<Mark> marks;   ///< the timeline's moments, in step order
    double speed = 0;          ///< million steps a second over the last second of running
};

/// What a run took from outside that a replay of it needs: the replies and the random draws,
/// in the order the run used them (draws only up to kRecordedDraws).
struct RunRecord {
    std::vector<std::string> replies;
    std::vector<float> draws;
};
inline constexpr std::size_t kRecordedDraws = 10'000'000;

/// One thing the program showed: a `dsp` text (with the step that showed it) or a message.
struct MachineEvent {
    enum class Kind { Display, Message } kind = Kind::Display;
    std::int64_t step = 0;
    std::string text;       ///< at most kShownCellLength bytes of it
    std::size_t length = 0; ///< the whole text's length
    std::int32_t line = 0;  ///< for a message: the source line the machine stood at
};

class MachineRunner {
public:
    struct Listener {
        std::function<void(const MachineSnapshot&)> snapshot;
        std::function<void(std::vector<MachineEvent>)> events;
    };

    /// The listener is called on `context`'s thread, and never after `context` is gone.
    MachineRunner(QObject* context, Listener listener);
    /// Stops the run and waits for the thread; returns within a slice of a run.
    ~MachineRunner();
    MachineRunner(const MachineRunner&) = delete;
    MachineRunner& operator=(const MachineRunner&) = delete;

    /// A new session over `program` with breakpoints on `lines`.
    void start(DebugProgram program, std::vector<int> lines);
    void setBreakpoints(std::vector<int> lines);
    /// The cells (0..99) whose change stops a run after the step that changed them.
    void setWatches(std::vector<int> cells);
    /// Goes on at `pace` (Animate: `delayMs` between instructions) until a breakpoint, the end,
    /// an input, Pause or Stop; `untilLine` adds a breakpoint for this run only (0: none).
    void go(Pace pace, int delayMs, int untilLine = 0);
    void stepInstruction();
    void stepMachine();
    /// One source instruction back (or, right after an edit of a cell, the edit alone).
    void backInstruction();
    /// One machine step back.
    void backMachine();
    /// Back to the previous breakpoint or watch hit.
    void reverseContinue();
    /// To step `target` of the run, back or forward.
    void goTo(std::int64_t target);
    /// The learner's text for cell `cell` (0..99) from this step on.
    void setCell(int cell, std::string text);
    /// Answers the input the session stopped for.
    void provideInput(std::string reply);
    /// Stops a running go or step soon (within a slice), from any thread.
    void pause();
    /// Ends the session; the next snapshot has alive == false.
    void stop();
    /// The pause between instructions of an animation, changeable while it runs.
    void setDelay(int delayMs) { delayMs_ = delayMs; }
    /// Every text the current session showed, whole.
    const OutputLog& output() const { return output_; }
    /// The messages the run showed after step `after` up to step `upTo`, in order: those of
    /// steps gone back over and forward again (the session shows them only the first time).
    std::vector<MachineEvent> messagesBetween(std::int64_t after, std::int64_t upTo) const;
    /// The replies and draws of the current session so far.
    RunRecord record() const;

private:
    class Display;

    void post(std::function<void()> job);
    void loop();
    void runGo(Pace pace, int untilLine);
    void syncBreakpoints(int untilLine);
    /// Runs a move of the session; what was shown after the step it ends at waits, in the
    /// log, until the run gets there again.
    Stop move(const std::function<Stop()>& run);
    /// Makes `run` a move of the session on the machine's thread, the window's breakpoints
    /// given to it first, and publishes where it stopped.
    void postMove(std::function<Stop()> run);
    /// Forgets what was shown after `step`, in the log and in what waits for the window.
    void forgetAfter(std::int64_t step);
    void publish(Stop stop, bool running);
    void flushEvents();
    bool interrupted() const { return pauseRequested_ || stopRequested_ || quitting_; }

    QObject* context_; // outlives the thread: its owner destroys the runner first
    Listener listener_;

    std::mutex queueMutex_;
    std::condition_variable queueReady_;
    std::deque<std::function<void()>> queue_;

    // Guards the session pointer for pause(), which comes from the window's thread.
    std::mutex sessionMutex_;
    std::unique_ptr<Display> display_;
    std::unique_ptr<DebugSession> session_;

    mutable std::mutex eventMutex_;
    std::vector<MachineEvent> pendingEvents_;
    std::vector<MachineEvent> runMessages_; // every message of the run, up to its furthest step

    std::mutex breakpointMutex_;
    std::vector<int> breakpointLines_;
    std::vector<int> watchedCells_;
    bool breakpointsDirty_ = true;

    std::atomic<bool> pauseRequested_ = false;
    std::atomic<bool> stopRequested_ = false;
    std::atomic<bool> quitting_ = false;
    std::atomic<int> delayMs_ = 200;
    std::condition_variable_any wake_; // ends an animation's pause early
    std::mutex wakeMutex_;
    double speed_ = 0;

    OutputLog output_;
    mutable std::mutex recordMutex_;
    RunRecord record_;

    std::thread thread_; // last: started once everything above exists
};

} // namespace tessivor::studio
