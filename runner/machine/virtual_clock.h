#pragma once
// The virtual clock: a tick counter that advances with the step count instead of the time, so
// that timing programs and the speed display give the same results on every machine.

#include <cstdint>

namespace tessivor {

/// The tick the virtual clock reads before the first step.
inline constexpr std::int32_t kVirtualClockStart = 1000;
/// Steps per virtual millisecond: the virtual machine runs at 1 million steps a second.
inline constexpr std::int64_t kVirtualStepsPerMillisecond = 1000;

/// The virtual tick when `stepsDone` steps have completed (the step reading it not included),
/// wrapping like the 32-bit tick counter it stands for.
constexpr std::int32_t virtualTick(std::int64_t stepsDone) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(kVirtualClockStart) +
        static_cast<std::uint64_t>(stepsDone / kVirtualStepsPerMillisecond)));
}

} // namespace tessivor
