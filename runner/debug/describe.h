#pragma once
// Where a debug session stands, as one sentence to read aloud: the line, the instruction, the
// registers and the cells that hold something.

#include "runner/debug/session.h"

#include <array>
#include <string>

namespace tessivor {

/// `Line 7 (inc 01): pc 12, cur 1, opb 0, opc 0 after 42 steps; cell 01 holds "5", cell 02
/// holds "7".` An ended run says how it ended in place of the line; cells are quoted as
/// quotedCell() quotes them; with none filled it ends `every cell is empty.`
std::string describeState(const DebugState& state, const std::array<std::string, kCells>& cells);

} // namespace tessivor
