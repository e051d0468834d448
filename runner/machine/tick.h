#pragma once
// Tick arithmetic that survives the 32-bit tick counter's wrap (every 49.7 days, and its turn
// negative after 24.8 days): compare differences, never values.

#include <cstdint>

namespace tessivor {

/// True when `now` is later than `mark` on the wrapping millisecond counter (by less than
/// about 24.8 days, which a refresh once a second always is).
constexpr bool tickPassed(std::int32_t now, std::int32_t mark) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now) -
                                     static_cast<std::uint32_t>(mark)) > 0;
}

/// `now` plus `ms` on the wrapping counter.
constexpr std::int32_t tickAfter(std::int32_t now, std::int32_t ms) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now) +
                                     static_cast<std::uint32_t>(ms));
}

} // namespace tessivor
