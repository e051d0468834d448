#pragma once
// The lines a run writes beside its output: one a step for a trace, and the line that says why a
// failed run stopped. The command line writes them on stderr; the page's engine returns them, so
// a trace saved from the page reads as `tessivor-cli run --trace` writes it. Where a position
// came from (its instruction and its place in the source) is the caller's to say.

#include "runner/machine/run.h"

#include <string>
#include <string_view>

namespace tessivor {

/// One step's line, with its line end: `12 pc=5 code=105 'i' cur=1 opb=0 opc=0`, then, when
/// `instruction` is not empty, two spaces, the instruction, two spaces and `place`.
std::string traceLine(const TraceStep& step, std::string_view instruction, std::string_view place);

/// The line of a failed run, without a line end: `place: instruction: description: reason`
/// (`guess.tsasm:14:1: ifl 08, 03: Type mismatch: cell 08 holds "" (empty), not a number`),
/// the instruction left out where `instruction` is empty. `code` is the code string that ran.
std::string failureLine(std::string_view place, std::string_view instruction,
                        const std::string& code, const RunResult& result);

} // namespace tessivor
