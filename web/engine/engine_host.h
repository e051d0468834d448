#pragma once
// The page as a host: the clock and the random source of the browser; what a run shows is
// collected by the subclasses, never blocked on (a web worker cannot wait for an answer).

#include "platform/clock.h" // SingleRandom only: its seeded constructor and next() are inline
#include "runner/machine/host.h"

#include <emscripten.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessivor::web {

/// The first `limit` characters of `text` (all of it for 0).
inline std::string_view cut(std::string_view text, std::size_t limit) {
    return limit == 0 || text.size() <= limit ? text : text.substr(0, limit);
}

/// Shows nothing itself; the subclasses collect what a run shows.
class PageHost : public QuietHost {
public:
    /// `seed` as the command line's --seed takes it, so seeded runs match it number for number.
    explicit PageHost(double seed) : random_(static_cast<std::uint64_t>(seed)) {}

    /// The page's clock in milliseconds, wrapping like the 32-bit tick counter.
    std::int32_t tickCount() override {
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now())));
    }
    float randomSingle() override { return random_.next(); }
    /// Without threads nothing moves the pulse while a slice runs: the page moves it before
    /// each slice, so the loop reads the clock once a slice (and after host calls), not at
    /// every step, which would cost a call out to JavaScript a step.
    const std::atomic<std::uint32_t>* tickPulse() override { return &pulse_; }
    void movePulse() { pulse_.fetch_add(1, std::memory_order_relaxed); }

private:
    platform::SingleRandom random_;
    std::atomic<std::uint32_t> pulse_{0};
};

} // namespace tessivor::web
