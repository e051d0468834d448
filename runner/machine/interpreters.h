#pragma once
// The two step loops behind `runprogram`. Both give the same events, end state and step counts;
// the plain one is the reference the fast one is tested against.

#include "runner/machine/prepare.h"
#include "runner/machine/run.h"

#include <string>

namespace tessivor {

/// One step a loop turn, exactly as the machine is described; supports tracing.
RunResult runPlain(const Prepared& tables, Host& host, const RunOptions& options);

/// The fast loop; same observable behaviour as runPlain.
RunResult runFast(const Prepared& tables, Host& host, const RunOptions& options);

/// "Tessivor 0.1 - 0.35mhz" for `steps` steps in the last second.
std::string speedCaption(std::int64_t steps);

/// The error report: "Type mismatch byte 15 op 113 q".
std::string errorReport(Failure failure, std::int32_t pc, std::int32_t code);

/// What every loop shows when its run ends: "Program Terminated", or the error report of the
/// step at `pc` (of `code`) and "Program Ended"; either then enables `larp`. The other ends show
/// nothing.
void announceEnd(Host& host, RunEnd end, Failure failure, std::int32_t pc, std::int32_t code);

} // namespace tessivor
