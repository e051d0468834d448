#pragma once
// The preparation pass: turns a code string into integer codes and look-up tables.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tessivor {

inline constexpr int kLabels = 100; ///< lblpos has entries 0..99; label numbers run 1..99

/// The tables the step loop works on. Per-position tables have entries 0..N.
struct Prepared {
    std::vector<std::int32_t> codes;  ///< code of each position; codes[0] = 32
    std::vector<std::int32_t> eifpos; ///< position of the "k" of the next end-if marker, or 0
    std::vector<std::int32_t> addrs;  ///< cell number of an address prefix starting here, or 0
    std::array<std::int32_t, kLabels> lblpos{}; ///< label number -> position of its "v", or 0
    /// 0 when the pass completed; otherwise the position of the 100th label marker.
    std::int32_t failedAt = 0;
};

/// The code of one character: a digit its value, printable characters, CR and LF their code,
/// everything else 0.
constexpr std::int32_t classify(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c >= 32 && c <= 126) || c == 13 || c == 10) return c;
    return 0;
}

/// Builds the tables for `incode` in one pass over each of them.
Prepared prepare(std::string_view incode);

} // namespace tessivor
