#pragma once
// The tick counter, the pulse that tells the step loop when to read it, and the random source.

#include <atomic>
#include <cstdint>
#include <random>

namespace tessivor::platform {

/// Milliseconds since the system started, truncated to a signed 32-bit integer.
std::int32_t tickCount();

/// A counter that a background thread moves on every 2 ms, started at the first call.
const std::atomic<std::uint32_t>* tickPulse();

/// Single-precision numbers r with 0 <= r < 1 strictly.
class SingleRandom {
public:
    /// Seeded from the clock.
    SingleRandom();
    explicit SingleRandom(std::uint64_t seed) : engine_(seed) {}

    float next() {
        // 24 random bits make every float multiple of 2^-24 below 1 equally likely; 1 itself
        // can never come out, as it can from std::generate_canonical<float>.
        return static_cast<float>(engine_() >> 40) * 0x1p-24f;
    }

private:
    std::mt19937_64 engine_;
};

} // namespace tessivor::platform
