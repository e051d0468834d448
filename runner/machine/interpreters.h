#pragma once
// The two step loops behind `runprogram`. Both give the same events, end state and step counts;
// the plain one is the reference the fast one is tested against.

#include "runner/machine/prepare.h"
#include "runner/machine/run.h"

#include <memory>
#include <string>
#include <vector>

namespace tessivor {

/// One step a loop turn, exactly as the machine is described; supports tracing.
RunResult runPlain(const Prepared& tables, Host& host, const RunOptions& options);

/// Holds the cells of a run to RunOptions::maxMemory. A cell that grows to a share of the limit
/// or less passes at once; past it, or once the cells hold half the limit, the sizes of all
/// cells are added up. So the loops pay nothing for the limit on short texts: while the cells
/// held half the limit or less at the last count, every cell that grew since holds a share.
class MemoryLimit {
public:
    explicit MemoryLimit(std::size_t maxMemory)
        : max_(maxMemory), quick_(maxMemory == 0 ? ~std::size_t{0} : maxMemory / (2 * kCells)),
          share_(quick_) {}

    /// True when cell `cell` may hold `size` bytes, the others holding `sizeOf(i)` each.
    template <class SizeOf> bool allows(std::int32_t cell, std::size_t size, SizeOf&& sizeOf) {
        if (size <= quick_) [[likely]]
            return true;
        const std::size_t others = othersHold(cell, sizeOf);
        // Near the limit every growth is counted.
        quick_ = others + size > max_ / 2 ? 0 : share_;
        return others <= max_ && size <= max_ - others;
    }

    /// A cell may grow to this many bytes without a count.
    std::size_t quick() const { return quick_; }

    /// The most bytes cell `cell` may hold, the others holding `sizeOf(i)` each.
    template <class SizeOf> std::size_t room(std::int32_t cell, SizeOf&& sizeOf) {
        if (max_ == 0) return ~std::size_t{0};
        const std::size_t others = othersHold(cell, sizeOf);
        return others >= max_ ? 0 : max_ - others;
    }

private:
    template <class SizeOf> static std::size_t othersHold(std::int32_t cell, SizeOf& sizeOf) {
        std::size_t others = 0;
        for (std::int32_t i = 0; i < kCells; ++i) {
            if (i != cell) others += sizeOf(i);
        }
        return others;
    }

    std::size_t max_;
    std::size_t quick_; ///< a cell may grow to this without a count
    std::size_t share_;
};

/// The fast loop; same observable behaviour as runPlain.
RunResult runFast(const Prepared& tables, Host& host, const RunOptions& options);

namespace fast {
struct Table;
}

/// Where the speed display stands between two stretches of a run: the caption was last
/// refreshed with `refreshedAt` steps done, and is next when the tick counter passes `nexttick`.
struct SpeedState {
    bool first = true; ///< no caption yet: the next step shows one
    std::int32_t nexttick = 0;
    std::int64_t refreshedAt = 0;
};

/// A stretch of a debug session's run that the fast loop runs, from where the session stands
/// to the step limit (RunOptions::maxSteps steps, counted from the stretch's start), a trap, or a
/// pause. The run's end is not announced: the session does that.
struct FastStretch {
    std::array<std::string, kCells>* mem = nullptr; ///< the cells: taken, and given back after
    std::int32_t pc = 1, cur = 0, opb = 0, opc = 0; ///< in and out
    std::int64_t stepsBefore = 0; ///< the run's steps before the stretch: its clocks count on
    SpeedState speed;             ///< in and out
    /// A trap stops the stretch before its position's step, unless it is the stretch's first;
    /// false: traps only run their position's step (a replay).
    bool armed = true;
    const std::atomic<bool>* pause = nullptr; ///< set: the stretch stops before long
    /// Kept at the run's step count (the step under way counted) while the host is called.
    std::int64_t* stepNow = nullptr;
    // What stopped it, besides the step limit, the run's end (RunResult::end) and a trap (pc
    // is then its position, its step not run):
    bool paused = false;                ///< by `pause`, between two steps
    std::array<bool, kCells> written{}; ///< cell i was written (perhaps with the text it held)
};

/// The table a session's stretches run over, with traps where `traps` (one byte a position,
/// or empty) is set: a stretch stops before their step.
std::shared_ptr<fast::Table> stretchTable(const Prepared& tables,
                                          const std::vector<std::uint8_t>& traps);

/// Runs a stretch over `table` (built from `tables`, maybe with traps). RunResult::steps are the
/// stretch's; its mem is empty (the cells went back to the stretch's).
RunResult runFastStretch(const Prepared& tables, fast::Table& table, Host& host,
                         const RunOptions& options, FastStretch& stretch);

/// "Tessivor 0.1 - 0.35mhz" for `steps` steps in the last second.
std::string speedCaption(std::int64_t steps);

/// The error report: "Type mismatch byte 15 op 113 q".
std::string errorReport(Failure failure, std::int32_t pc, std::int32_t code);

/// What every loop shows when its run ends: "Program Terminated", or the error report of the
/// step at `pc` (of `code`) and "Program Ended"; either then enables `larp`. The other ends show
/// nothing.
void announceEnd(Host& host, RunEnd end, Failure failure, std::int32_t pc, std::int32_t code);

} // namespace tessivor
