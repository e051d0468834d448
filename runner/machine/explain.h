#pragma once
// Why an operation failed, in words a learner can act on.

#include "runner/machine/run.h"

#include <array>
#include <string>
#include <string_view>

namespace tessivor {

/// Why the operation at `pc` of `code` failed with `failure`, given the registers and cells as
/// they stood (a failed step changes none of them): `cell 08 holds "" (empty), not a number`,
/// `cur is 150, not a cell number (0 to 99)`. "" when failure is None.
std::string failureReason(std::string_view code, std::int32_t pc, std::int32_t cur,
                          std::int32_t opb, std::int32_t opc,
                          const std::array<std::string, kCells>& mem, Failure failure);

/// A cell's text for a message: quoted, control bytes as \xHH, long texts cut with "...", and
/// " (empty)" after an empty one.
std::string quotedCell(std::string_view text);

} // namespace tessivor
