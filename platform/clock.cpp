#include "platform/clock.h"

#include <chrono>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <time.h>
#else
#include <time.h>
#endif

namespace tessivor::platform {

std::int32_t tickCount() {
#if defined(_WIN32)
    return static_cast<std::int32_t>(GetTickCount());
#else
#if defined(__APPLE__)
    const clockid_t clock = CLOCK_MONOTONIC;
#else
    const clockid_t clock = CLOCK_BOOTTIME;
#endif
    timespec ts{};
    clock_gettime(clock, &ts);
    const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(ts.tv_nsec) / 1'000'000u;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));
#endif
}

const std::atomic<std::uint32_t>* tickPulse() {
    static std::atomic<std::uint32_t> pulse{0};
    static const bool started = [] {
        std::thread([] {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                pulse.fetch_add(1, std::memory_order_relaxed);
            }
        }).detach();
        return true;
    }();
    (void)started;
    return &pulse;
}

SingleRandom::SingleRandom()
    : engine_(
          static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count())) {
}

} // namespace tessivor::platform
