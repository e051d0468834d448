#include "runner/machine/tick.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tessivor {
namespace {

/// The tick counter after `ms` milliseconds of uptime: the low 32 bits, read as signed.
constexpr std::int32_t tickAt(std::int64_t ms) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms)));
}

// A refresh a second apart passes at every uptime: below and across 2^31 ms (24.8 days, where
// the counter turns negative) and 2^32 ms (49.7 days, where it turns back to 0).
TEST(Tick, ASecondLaterHasPassedAtEveryUptime) {
    constexpr std::int64_t k31 = std::int64_t{1} << 31, k32 = std::int64_t{1} << 32;
    for (const std::int64_t start : {std::int64_t{0}, k31 - 1500, k31 - 1, k31, k31 + 1000,
                                     k32 - 1500, k32 - 1, k32, k32 + k31 - 200}) {
        const std::int32_t now = tickAt(start);
        const std::int32_t next = tickAfter(now, 1000);
        EXPECT_EQ(next, tickAt(start + 1000)) << start;
        EXPECT_FALSE(tickPassed(now, next)) << start;
        EXPECT_FALSE(tickPassed(tickAt(start + 999), next)) << start;
        EXPECT_FALSE(tickPassed(tickAt(start + 1000), next)) << start;
        EXPECT_TRUE(tickPassed(tickAt(start + 1001), next)) << start;
        EXPECT_TRUE(tickPassed(tickAt(start + 60'000), next)) << start;
    }
}

} // namespace
} // namespace tessivor
