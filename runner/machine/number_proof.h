#pragma once
// The rounding of arithmetic results against the text: every value a cell may be given is
// written as its text and read back, and every shortcut must give that number exactly. Used by
// the machine's tests (a million values) and by tessivor_rounding_proof (bench/, as many as asked).

#include "runner/machine/fast_cell.h"
#include "runner/machine/number.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace tessivor::proof {

/// The kinds of values drawn, each kCount-th value of one kind.
enum Kind : int {
    kAnyBits,       ///< any 64 bits: every magnitude, subnormals, infinities, NaN
    kQuickRange,    ///< random bits at the binary exponents the quick path takes, and around
    kNearTies,      ///< a 15-digit value plus half a unit in its last digit, a few ulps off
    kNearPowers,    ///< powers of ten and of two, a few ulps off
    kArithmetic,    ///< sums, differences, products and quotients of 15-digit values
    kWholeNumbers,  ///< whole numbers up to 2^53 in size, and near 1E+15
    kHarmonicTerms, ///< -1 / k and running sums of them
    kCount
};

/// Draws the `i`-th value: kind i % kCount.
inline double sample(std::mt19937_64& rng, std::uint64_t i) {
    const auto bits = [&](int exponent) {
        const std::uint64_t mantissa = rng() & ((std::uint64_t{1} << 52) - 1);
        const std::uint64_t sign = rng() & (std::uint64_t{1} << 63);
        return bitCast<double>(sign | (std::uint64_t(exponent + 1023) << 52) | mantissa);
    };
    const auto nudge = [&](double v) {
        // Up to four ulps either way.
        const auto raw = static_cast<std::int64_t>(bitCast<std::uint64_t>(v));
        return bitCast<double>(static_cast<std::uint64_t>(raw + std::int64_t(rng() % 9) - 4));
    };
    const auto fifteenDigits = [&] {
        // A random 15-digit text read as a double, at a random decimal exponent.
        const std::uint64_t m = 100'000'000'000'000 + rng() % 900'000'000'000'000;
        const int exponent = static_cast<int>(rng() % 61) - 30;
        double v = 0;
        readDouble(std::to_string(m) + "E" + std::to_string(exponent - 14), v);
        return rng() % 2 ? -v : v;
    };
    switch (static_cast<Kind>(i % kCount)) {
    case kAnyBits: return bitCast<double>(rng());
    case kQuickRange: return bits(static_cast<int>(rng() % 90) - 32);
    case kNearTies: {
        const std::uint64_t m = 100'000'000'000'000 + rng() % 900'000'000'000'000;
        const int exponent = static_cast<int>(rng() % 61) - 30;
        double v = 0;
        readDouble(std::to_string(m) + "5E" + std::to_string(exponent - 15), v);
        return nudge(rng() % 2 ? -v : v);
    }
    case kNearPowers: {
        const int k = static_cast<int>(rng() % 71) - 35;
        const double v = rng() % 2 ? std::pow(10.0, k) : std::ldexp(1.0, k * 3);
        return nudge(rng() % 2 ? -v : v);
    }
    case kArithmetic: {
        const double x = fifteenDigits(), y = fifteenDigits();
        switch (rng() % 4) {
        case 0: return x + y * std::pow(10.0, static_cast<int>(rng() % 7) - 3);
        case 1: return x - y;
        case 2: return x * y;
        default: return x / y;
        }
    }
    case kWholeNumbers: {
        const std::uint64_t top = rng() % 3 == 0 ? std::uint64_t{1} << 53 : 2'000'000'000'000'000;
        const double v = static_cast<double>(rng() % top);
        return rng() % 2 ? -v : v;
    }
    case kHarmonicTerms:
    case kCount: break;
    }
    const double k = static_cast<double>(rng() % 5'000'000 + 1);
    return rng() % 2 ? -1 / k : std::log(k) + 0.5772156649015329 + 1 / (2 * k);
}

/// What the checks of a run of values found.
struct Counts {
    std::uint64_t values = 0;
    std::uint64_t quickFractions = 0; ///< fifteenDigitsQuick gave the digits
    std::uint64_t quickWhole = 0;     ///< fifteenDigitsQuick found a whole number
    std::uint64_t declined = 0;       ///< fifteenDigitValue left the value to the text
    std::uint64_t failures = 0;
    std::string firstFailure;
    /// Every result found, folded in order: two builds (with and without FMA instructions,
    /// say) that find the same digits for the same values show the same digest.
    std::uint64_t digest = 0;

    void fold(std::uint64_t bits) { digest = (digest ^ bits) * 0x100000001b3 + 1; }

    void add(const Counts& other) {
        fold(other.digest);
        values += other.values;
        quickFractions += other.quickFractions;
        quickWhole += other.quickWhole;
        declined += other.declined;
        failures += other.failures;
        if (firstFailure.empty()) firstFailure = other.firstFailure;
    }
};

/// Checks one value: fifteenDigitsQuick, fifteenDigitValue and a fast loop cell given it by
/// storeNumber and by storeFraction all give what its text reads as, and the cell's text is
/// the text.
inline void check(double value, Counts& counts) {
    ++counts.values;
    const auto fail = [&](const char* what) {
        if (counts.failures++ == 0) {
            counts.firstFailure = std::string(what) + " for the value with bits " +
                                  std::to_string(bitCast<std::uint64_t>(value));
        }
    };
    const std::string text = numberText(value);
    double read = std::numeric_limits<double>::quiet_NaN();
    const bool readable = readDouble(text, read) == Failure::None;
    const auto same = [&](double x) {
        return readable && bitCast<std::uint64_t>(x) == bitCast<std::uint64_t>(read);
    };
    double out = 0;
    const QuickDigits quick = fifteenDigitsQuick(value, out);
    counts.fold(static_cast<std::uint64_t>(quick));
    if (quick != QuickDigits::Declined) counts.fold(bitCast<std::uint64_t>(out));
    switch (quick) {
    case QuickDigits::Fraction:
        ++counts.quickFractions;
        if (!same(out)) fail("fifteenDigitsQuick");
        break;
    case QuickDigits::Whole:
        ++counts.quickWhole;
        if (!same(out) || !(std::fabs(value) < 1e15) || value != std::trunc(value))
            fail("fifteenDigitsQuick (whole)");
        break;
    case QuickDigits::Declined: break;
    }
    // The same with a hint of every decade: the one the value lies in takes its scale without
    // the lookup, every other looks it up, and all must give the same. The hint left is the
    // value's own decade.
    for (std::size_t power = 0; power < number_detail::kPowers; ++power) {
        DigitsHint hint{static_cast<std::uint8_t>(power)};
        double hinted = 0;
        const QuickDigits kind = fifteenDigitsQuick(value, hinted, hint);
        if (kind != quick || (quick != QuickDigits::Declined &&
                              bitCast<std::uint64_t>(hinted) != bitCast<std::uint64_t>(out)))
            fail("fifteenDigitsQuick with a hint");
        if (kind != QuickDigits::Declined && hint.power != number_detail::scalePower(value))
            fail("fifteenDigitsQuick's hint");
        if (kind == QuickDigits::Declined && hint.power != power)
            fail("fifteenDigitsQuick's hint of a declined value");
    }
    if (fifteenDigitValue(value, out)) {
        counts.fold(bitCast<std::uint64_t>(out));
        if (!same(out)) fail("fifteenDigitValue");
    } else {
        ++counts.declined;
    }
    for (int store = 0; store < 2; ++store) {
        fast::Cell cell;
        if (store == 0)
            cell.storeNumber(value);
        else
            cell.storeFraction(value);
        double number = 0;
        const Failure f = cell.read(number);
        counts.fold(f == Failure::None ? bitCast<std::uint64_t>(number) : 1);
        if (readable ? (f != Failure::None || !same(number)) : f == Failure::None)
            fail(store == 0 ? "Cell::storeNumber's number" : "Cell::storeFraction's number");
        if (cell.text() != text)
            fail(store == 0 ? "Cell::storeNumber's text" : "Cell::storeFraction's text");
    }
}

/// Checks `count` values drawn from `seed`.
inline Counts run(std::uint64_t seed, std::uint64_t count) {
    std::mt19937_64 rng(seed);
    Counts counts;
    for (std::uint64_t i = 0; i < count; ++i)
        check(sample(rng, i), counts);
    return counts;
}

} // namespace tessivor::proof
