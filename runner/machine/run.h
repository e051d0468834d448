#pragma once
// `runprogram`: prepares a code string and runs it against a host until it ends.

#include "common/ends.h"
#include "runner/machine/host.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tessivor {

inline constexpr int kCells = 100;
/// The longest text a cell may hold; a longer result fails with "Out of string space".
inline constexpr std::size_t kMaxCellLength = 67'108'864;

/// The caption between runs: "Tessivor 0.1", the version set by the project in CMake.
inline constexpr const char* kCaption = "Tessivor " TESSIVOR_CAPTION_VERSION;
inline constexpr const char* kCaptionOptimizing =
    "Tessivor " TESSIVOR_CAPTION_VERSION " - Optimizing...";

/// Why the preparation pass refused a code string.
enum class PrepareFailure {
    None,
    TooManyLabels, ///< a 100th label marker
    TooLong,       ///< longer than a run takes (kMaxCodeLength)
};

/// The longest code string a run accepts: positions are signed 32-bit, and the tables take
/// twelve bytes a position.
inline constexpr std::size_t kMaxCodeLength = std::size_t{1} << 30;

/// One step as the trace sees it, before the step runs.
struct TraceStep {
    std::int64_t step; ///< 1 for the first step
    std::int32_t pc;
    std::int32_t code;
    std::int32_t cur, opb, opc;
};

struct RunOptions {
    /// Stop once exactly this many steps have run; 0 for no limit.
    std::int64_t maxSteps = 0;
    /// Use the straightforward interpreter (one step a loop turn) instead of the fast one.
    bool plain = false;
    /// Called before every step; forces the plain interpreter.
    std::function<void(const TraceStep&)> trace;
    /// Called before a step once every pollSteps steps at the least (from the first on), by
    /// either loop: a grader's time limit, which may end the run by throwing as a Host may.
    std::function<void()> poll;
    std::int64_t pollSteps = 64;
    /// "l" and the speed display read virtualTick(steps done) instead of the host's tick
    /// counter, so a run gives the same results on every machine.
    bool virtualClock = false;
};

/// The state a run ended in. With PrepareFailed only `end`, `prepareFailure` and `steps` (0)
/// mean anything.
struct RunResult {
    RunEnd end = RunEnd::PrepareFailed;
    Failure failure = Failure::None;                      ///< set when end is Error
    PrepareFailure prepareFailure = PrepareFailure::None; ///< set when end is PrepareFailed
    std::int64_t steps = 0; ///< every step begun, the failing or passing one included
    std::int32_t pc = 1;    ///< position of the failing step, or of the next one
    std::int32_t cur = 0, opb = 0, opc = 0;
    std::array<std::string, kCells> mem;
};

/// Prepares `incode` and runs it to its end, showing what it shows through `host`. The run
/// state belongs to this call, so `host` may start another run from inside processEvents().
RunResult runprogram(const std::string& incode, Host& host, const RunOptions& options = {});

} // namespace tessivor
