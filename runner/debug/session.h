#pragma once
// A debug session: a run that stops where asked, shows its state, goes back and goes on. It
// runs against the same Host with the same effects as `runprogram`; only its speed differs.
//
// The session links the machine alone: what it knows of the source (the map, the instruction
// texts) comes from its caller, usually from a Program (assembler/translate/program.h).
//
// Inside, a continue runs in the fast loop between stops: breakpoints are traps in its table,
// and a stretch that wrote a watched cell runs again one step at a time to the step that changed
// it. Stepping runs the machine's own step (runner/machine/step.h). Going back restores the
// nearest checkpoint before the step asked for and replays forward to it, with the answers the
// run read from outside, so every step of a run can be reached again exactly.

#include "common/ends.h"
#include "common/source_map.h"
#include "runner/machine/host.h"
#include "runner/machine/run.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessivor {

/// Why a session call returned.
enum class Stop {
    None,          ///< it did not move: the run had ended, or nothing was asked
    Step,          ///< the asked-for steps or instructions ran
    Slice,         ///< a continue ran its step budget out (a window or a page runs in slices)
    Breakpoint,    ///< pc reached a breakpoint (after at least one step)
    Watch,         ///< a watched cell's text changed in the last step
    Back,          ///< went back as asked
    HistoryEnd,    ///< went back as far as the history reaches, fewer steps than asked
    Paused,        ///< pause() from another thread
    Input,         ///< the next step is "o" and no reply was given (DebugOptions::stopForInput)
    Terminated,    ///< "p" ran: "Program Terminated" was shown
    Error,         ///< an operation failed: the error report and "Program Ended" were shown
    PastEnd,       ///< execution passed the last position
    StepLimit,     ///< DebugOptions::maxSteps steps have run
    PrepareFailed, ///< the code string could not be prepared; nothing can run
};

/// "breakpoint", "watch", "step", "back" ...; an ending stops with its end's name
/// (runEndName: "terminated", "error", "past-end", "step-limit", "prepare-failed").
const char* stopName(Stop stop);

/// The stop of a run that ended with `end`.
Stop stopAt(RunEnd end);

/// What a session runs.
struct DebugProgram {
    /// What runs: a program file's text (a build's code string and its CR LF line end).
    std::string code;
    /// Where each position came from; empty when nothing is known (then every position counts
    /// as the start of an instruction, and breakpoints on lines find none).
    SourceMap map;
    /// The instruction that wrote code position pc as source text ("ifl 08, 03"), "" where
    /// none did; DebugState::instruction shows it. Null: no instruction is named.
    std::function<std::string(std::int32_t pc)> instructionAt;
};

struct DebugOptions {
    std::int64_t maxSteps = 0; ///< the run ends with StepLimit after this many steps; 0: none
    /// "o" stops the session with Stop::Input before it runs, instead of calling the host's
    /// input box; provideInput() then answers it. For hosts that cannot block (a web worker).
    bool stopForInput = false;
    /// The memory the way back may hold, at most: checkpoints of the whole run state now and
    /// then, thinned as the run grows (every other one goes and the rest stand twice as far
    /// apart), and the answers read from outside ("l" on the host's clock, "y", "o"), which a
    /// replay cannot work out again. Past it the oldest checkpoints go, and oldestStep() moves
    /// on; a run that reads few answers reaches back to step 0 however long it is.
    std::size_t historyBytes = std::size_t{64} << 20;
    /// "l" and the speed display read virtualTick(steps) instead of the host's tick counter.
    bool virtualClock = false;
};

/// A moment on a run's timeline (DebugSession::marks).
struct Mark {
    enum class Kind : std::uint8_t { Breakpoint, Watch, Display, Edit };
    std::int64_t step = 0; ///< steps run at the moment: after a "w" or a watched change, the step
                           ///< that made it; at a breakpoint, the steps before it
    Kind kind = Kind::Display;
};
inline constexpr std::size_t kMaxMarks = 100'000;

/// "breakpoint", "watch", "display", "edit".
const char* markName(Mark::Kind kind);

/// The registers and where the run stands.
struct DebugState {
    std::int64_t steps = 0; ///< steps run so far
    std::int32_t pc = 1, cur = 0, opb = 0, opc = 0;
    bool ended = false;              ///< the run has ended; only back() and restart() move
    RunEnd end = RunEnd::Terminated; ///< how it ended, when ended
    Failure failure = Failure::None; ///< when end is Error
    std::string reason;      ///< when end is Error, why: `cell 08 holds "" (empty), not a number`
    std::string display;     ///< the last "w" text ("" before any)
    std::int32_t line = 0;   ///< source line of the instruction at pc; 0 unknown
    std::string instruction; ///< the instruction at pc as source text ("ifl 08, 03")
    std::string inputPrompt; ///< the prompt, while stopped with Stop::Input
};

/// One debug session over one code string. Not thread-safe, except pause().
///
/// Going back or to a step shows the host nothing: state().display is what the display showed
/// at that step.
///
/// Every move (stepi, step, cont) stops early at a breakpoint (after at least one step of that
/// move), after a step that changed a watched cell, at pause(), before an "o" that waits for
/// its reply, and when the run ends; the step that uses up DebugOptions::maxSteps ends it with
/// StepLimit. A move on an ended run returns Stop::None.
class DebugSession {
public:
    /// Prepares the program's code (shows "Optimizing..." and "Tessivor 0.1" as a run does).
    DebugSession(DebugProgram program, Host& host, DebugOptions options = {});
    ~DebugSession();
    DebugSession(const DebugSession&) = delete;
    DebugSession& operator=(const DebugSession&) = delete;

    Stop stepi(std::int64_t n = 1); ///< n machine steps
    Stop step(std::int64_t n = 1);  ///< n source instructions: until pc starts another one
    /// Runs until a breakpoint, a watch, the end, pause(), or `budget` steps (0: no budget).
    Stop cont(std::int64_t budget = 0);
    Stop back(std::int64_t n = 1); ///< n steps back (reverse-stepi)
    Stop backInstruction();        ///< back to the start of the previous source instruction
    /// n source instructions back (reverse-step): backInstruction() n times.
    Stop reverseStep(std::int64_t n = 1);
    /// Back to the last moment before this one at which a move forward stops at a breakpoint or
    /// a watch (as breakpoints and watches stand now): Stop::Breakpoint or Stop::Watch there;
    /// Stop::HistoryEnd at oldestStep() when there is none.
    Stop reverseContinue();
    /// Goes to step `target`: back when it lies before steps(), forward otherwise (forward of
    /// furthestStep() the run goes on as stepi does, without stopping at breakpoints and
    /// watches, and stops early where stepi would). Stop::Back or Stop::Step when it got there;
    /// Stop::HistoryEnd at oldestStep() for a target before it.
    Stop goTo(std::int64_t target);
    void restart(); ///< a fresh run of the same code, breakpoints kept

    /// Asks a running stepi/step/cont on another thread to return Stop::Paused soon (before its
    /// next step); asked while none runs, the next move returns Paused without moving.
    void pause();
    /// The reply to the input box the session stopped for (Stop::Input); the next move uses it.
    void provideInput(std::string reply);
    /// Goes on with the move that stopped for input (after provideInput), as if it had never
    /// stopped: a `step 5` counts the instructions it ran before the input box. Stop::None when
    /// the last move did not stop for input, or another move or restart() came after it.
    Stop resume();

    /// Breakpoints on source lines (before the first step of an instruction starting on that
    /// line) or on code positions; each gets a number from 1 up.
    int breakAtLine(std::int32_t line);
    int breakAtPosition(std::int32_t pc);
    bool deleteBreakpoint(int number); ///< false when there is no such breakpoint
    void deleteAllBreakpoints();
    /// Stops after a step that changed the text of `cell` (0..99); returns its number.
    int watchCell(std::int32_t cell);

    /// The learner's edit of a cell while no move runs: cell `cell` (0..99) holds `text` from
    /// this step on. The edit is a move of its own in the history: the next back() undoes it
    /// alone, and going back over its step and forward again makes it again. What the run did
    /// after this step before it went back is forgotten (furthestStep() becomes steps()).
    /// False for no cell 0..99 or a program that could not be prepared.
    bool setCell(std::int32_t cell, std::string text);

    DebugState state() const;
    const std::array<std::string, kCells>& cells() const;
    const SourceMap& sourceMap() const;
    std::size_t codeLength() const; ///< N
    /// The number of steps back() can still undo: steps() - oldestStep().
    std::int64_t historyDepth() const;
    /// The earliest step back() and goTo() reach: 0, unless the run's record of answers from
    /// outside outgrew DebugOptions::historyBytes.
    std::int64_t oldestStep() const;
    /// The furthest step this run has reached: steps() until it goes back; the end of the
    /// timeline.
    std::int64_t furthestStep() const;
    /// Moments on the run's timeline, in step order, up to furthestStep(): the breakpoint and
    /// watch stops the run made, each "w" that showed a text, each edit of a cell. At most
    /// kMaxMarks are kept (the first ones).
    std::vector<Mark> marks() const;
    /// Steps run so far, as state().steps, without copying the state's texts; while a step
    /// runs (in the host's calls), that step counted.
    std::int64_t steps() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tessivor
