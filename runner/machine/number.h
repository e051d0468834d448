#pragma once
// Cells hold texts; operations read them as numbers and write numbers back as text.

#include "runner/machine/run.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessivor {

/// The bits of `from` as a `To` of the same size, in constant expressions too: std::bit_cast
/// where the standard library has it, else the compiler's own (older libraries, such as the one
/// the WebAssembly engine is built with, lack it).
template <typename To, typename From> constexpr To bitCast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From), "bitCast keeps the size");
#if defined(__cpp_lib_bit_cast)
    return std::bit_cast<To>(from);
#else
    return __builtin_bit_cast(To, from);
#endif
}

/// Reads a cell's text as a double: blanks (spaces, tabs) around an optional sign, digits with an
/// optional point and at least one digit, and an optional exponent. Anything else is a
/// TypeMismatch; beyond the double range an Overflow; too small a magnitude reads as zero.
Failure readDouble(std::string_view text, double& out);

/// Reads a cell's text as a double rounded to single precision; Overflow when that is infinite.
Failure readSingle(std::string_view text, float& out);

/// Rounds to the nearest whole number, ties to even; Overflow outside the signed 32-bit range.
Failure roundToInt32(double value, std::int32_t& out);

/// Reads a cell's text as a signed 32-bit integer (the double, rounded with ties to even).
Failure readInteger(std::string_view text, std::int32_t& out);

/// The text of an arithmetic result: 15 significant digits ("0.333333333333333", "1E+15",
/// "1.5E-07"); "0" for negative zero; "Infinity", "-Infinity" and "NaN" for the rest.
std::string numberText(double value);

/// Appends numberText(value) to `out` without a temporary.
void appendNumberText(std::string& out, double value);

/// The value numberText(value) reads back as, found without writing the text. True, with `out`
/// set, for whole numbers below 1E+15 and for magnitudes from 2^-26 (about 1.5E-08) to 1E+21;
/// then numberText(out) == numberText(value) and reading that text gives `out` again. False
/// elsewhere and at a 15-digit tie: the caller writes the text and reads it.
bool fifteenDigitValue(double value, double& out);

/// fifteenDigitValue for a value that is not a whole number below 1E+15 in size.
inline bool fifteenDigitFraction(double value, double& out);

/// How fifteenDigitsQuick ended.
enum class QuickDigits : unsigned char {
    Declined, ///< nothing found: fifteenDigitValue or the text decides
    Fraction, ///< `out` set; it may still be a whole number (2.9999999999999996 gives 3)
    Whole,    ///< `value` is a whole number below 1E+15 in size, and `out` is value
};

/// fifteenDigitValue's common case, in line: magnitudes from 2^-26 (about 1.5E-08) up to 2^49
/// (about 5.6E+14), where the 15 digits are found with one multiply and one division. A value
/// whose scaled product rounds to a half (one in 8 to 64) also needs the multiply's rounding
/// error, which a call works out (at a tie, from the text); zero and the other magnitudes are
/// Declined.
inline QuickDigits fifteenDigitsQuick(double value, double& out);

/// What fifteenDigitsQuick keeps between the results of one place (a cell): the scale the last
/// of them took. A result of the same decade takes it again without looking its binary exponent
/// up, so that from one result to the next only the multiply, the rounding and the division
/// wait on each other; results of the same place seldom change decade.
struct DigitsHint {
    std::uint8_t power = 0; ///< the scale is 10^power
};

/// fifteenDigitsQuick, taking the scale from `hint` when `value` lies in its decade, and leaving
/// there the scale of any other value it takes. The same results as without a hint.
inline QuickDigits fifteenDigitsQuick(double value, double& out, DigitsHint& hint);

/// fifteenDigitFraction with the quick path's hint.
inline bool fifteenDigitFraction(double value, double& out, DigitsHint& hint);

namespace number_detail {

/// 10^k for k = 0..22, every one exact in a double.
inline constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// The binary exponents the quick path takes: from 2^-26, where the scale is 10^22, the last
/// exact power, up to 2^49, below which no magnitude reaches 1E+15.
inline constexpr int kFirstExponent = -26;
inline constexpr int kLastExponent = 48;
inline constexpr std::size_t kExponents = kLastExponent - kFirstExponent + 1;

/// How values in [2^e, 2^(e+1)) are scaled: by 10^j, where 10^(14 - j) is their leading digit's
/// place, so that the 15 significant digits come before the point. That place is 10^d or
/// 10^(d+1), d = floor(e log10 2): row 0 is for values below `first`, the smallest double >=
/// 10^(d+1), row 1 for the others.
struct Scales {
    double first;
    double scale[2];       ///< 10^j, exact; 0 where no value takes the row
    std::uint8_t power[2]; ///< j
};

/// x * y - xy exactly, where xy is x * y rounded (Dekker's product), for the constant tables.
constexpr double exactProductError(double x, double y, double xy) {
    constexpr double kSplit = 0x1p27 + 1;
    const double cx = kSplit * x, cy = kSplit * y;
    const double xh = cx - (cx - x), yh = cy - (cy - y);
    const double xl = x - xh, yl = y - yh;
    return ((xh * yh - xy) + xh * yl + xl * yh) + xl * yl;
}

/// The smallest double >= 10^k.
constexpr double powerOfTenUp(int k) {
    if (k >= 0) return kPowersOfTen[k]; // exact
    const double p = kPowersOfTen[-k];
    double q = 1 / p;
    // q >= 10^k when q * 10^-k >= 1, which the exact product tells.
    const double qp = q * p;
    if (qp < 1 || (qp == 1 && exactProductError(q, p, qp) < 0))
        q = bitCast<double>(bitCast<std::uint64_t>(q) + 1);
    return q;
}

/// The scales of the exponents kFirstExponent..kLastExponent.
inline constexpr auto kScales = [] {
    std::array<Scales, kExponents> table{};
    for (int e = kFirstExponent; e <= kLastExponent; ++e) {
        const int d = (e * 78913) >> 18; // floor(e log10 2): log10 2 ~ 78913 / 2^18, exact here
        Scales& s = table[static_cast<std::size_t>(e - kFirstExponent)];
        s.first = powerOfTenUp(d + 1);
        for (int k = 0; k < 2; ++k) {
            const int j = 14 - d - k;
            if (j < 0) continue; // the digit at 10^15 and beyond: no value takes the row
            s.scale[k] = kPowersOfTen[j];
            s.power[k] = static_cast<std::uint8_t>(j);
        }
    }
    return table;
}();

/// The magnitudes the quick path scales by 10^j, for j = 0..22: those above `below` and up to
/// `upTo`, all of one decade (its first magnitude or so may belong to the one below, as the
/// rows above have it).
struct Decade {
    double below;
    double upTo;
    double scale; ///< 10^j
    /// 10^j's top 26 significant bits and the rest, 26 bits at most (5^j has 52 at most):
    /// each times 27 bits of a value is exact.
    double high, low;
};

/// A value's top 27 significant bits, with its sign and exponent: the low 26 bits cleared.
inline constexpr std::uint64_t kHighBits = ~((std::uint64_t{1} << 26) - 1);

inline constexpr std::size_t kPowers = 23;

/// The decades of the quick path, gathered from the rows of kScales: each row's magnitudes
/// widen its scale's decade to take them in.
inline constexpr auto kDecades = [] {
    constexpr auto before = [](double x) { // the next double down, for x > 0
        return bitCast<double>(bitCast<std::uint64_t>(x) - 1);
    };
    std::array<Decade, kPowers> table{};
    std::array<double, kPowers> lowest{}, highest{};
    for (int e = kFirstExponent; e <= kLastExponent; ++e) {
        const Scales& s = kScales[static_cast<std::size_t>(e - kFirstExponent)];
        const double bottom = bitCast<double>(std::uint64_t(e + 1023) << 52);
        const double top = before(bitCast<double>(std::uint64_t(e + 1024) << 52));
        // Row 0 takes the magnitudes up to `first`, row 1 those above it.
        const double from[2] = {bottom, bitCast<double>(bitCast<std::uint64_t>(s.first) + 1)};
        const double to[2] = {s.first < top ? s.first : top, top};
        for (int k = 0; k < 2; ++k) {
            if (s.scale[k] == 0 || from[k] > to[k]) continue;
            const std::size_t j = s.power[k];
            if (highest[j] == 0 || from[k] < lowest[j]) lowest[j] = from[k];
            if (to[k] > highest[j]) highest[j] = to[k];
        }
    }
    for (std::size_t j = 0; j < kPowers; ++j) {
        table[j].scale = kPowersOfTen[j];
        table[j].high = bitCast<double>(bitCast<std::uint64_t>(kPowersOfTen[j]) & kHighBits << 1);
        table[j].low = kPowersOfTen[j] - table[j].high; // exact
        // A decade no row takes matches no magnitude.
        table[j].below = highest[j] == 0 ? 0 : before(lowest[j]);
        table[j].upTo = highest[j];
    }
    return table;
}();

/// The power of the scale the quick path takes for `value`, or kPowers where it declines it.
inline std::size_t scalePower(double value) {
    const std::uint64_t slot = (bitCast<std::uint64_t>(value) << 1 >> 53) -
                               static_cast<std::uint64_t>(1023 + kFirstExponent);
    if (slot >= kExponents) return kPowers;
    const Scales& scales = kScales[slot];
    return scales.power[std::fabs(value) > scales.first ? 1 : 0];
}

/// The quick path's result where hi = value * scale, rounded, lies half way between m, hi rounded
/// to a whole number, and a neighbour: the product's rounding error decides, and at a tie of
/// the exact product the text's rounding. Nothing of the caller's is needed after it.
double fifteenDigitsNearHalf(double value, double scale, double hi, double m);

/// fifteenDigitFraction where the quick path declined.
bool fifteenDigitsElsewhere(double value, double& out);

} // namespace number_detail

namespace number_detail {

/// fifteenDigitsQuick once the decade is known: value * 10^j has the 15 significant digits
/// before the point.
inline QuickDigits digitsAtScale(double value, const Decade& decade, double& out) {
    const double scale = decade.scale;
    // hi = value * 10^j: 1e14 <= |hi| <= 1e15 (1e15 when a product just short of it rounds up,
    // which is then its rounding too). The product is rounded: its error is at most half an
    // ulp of hi, an ulp being 1/8 or less.
    const double hi = value * scale;
    // |hi| < 2^51: adding and taking away 1.5 * 2^52 rounds it to a whole number, ties to even,
    // as nearbyint would without its call.
    constexpr double kRound = 0x1.8p52;
    const double m = (hi + kRound) - kRound;
    const double below = hi - m; // exact
    double digits = m;
    if (std::fabs(below) == 0.5) [[unlikely]] {
        // hi is a tie, and the exact product may lie on either side of it. Anywhere else hi
        // lies at least an ulp of its own nearer m than the half (below is a whole number of
        // those ulps), and the error, half an ulp at most, cannot carry it past. The error lo
        // tells (Dekker's product: value's top 27 bits and its other 26 times the scale's
        // halves are four exact products, summed less hi exactly); worked out in line, as
        // one product in 8 to 64 needs it.
        const double vh = bitCast<double>(bitCast<std::uint64_t>(value) & kHighBits);
        const double vl = value - vh; // exact
        const double lo =
            ((vh * decade.high - hi) + vh * decade.low + vl * decade.high) + vl * decade.low;
        if (lo == 0) [[unlikely]] {
            // The exact product is a tie: the text's rounding decides.
            out = fifteenDigitsNearHalf(value, scale, hi, m);
            return QuickDigits::Fraction;
        }
        // Past the half, away from m, when lo goes the way below does: then the digits are
        // m's other neighbour, hi + hi - m, exactly. Chosen without a branch, which would be
        // mispredicted half the time.
        digits += static_cast<double>(lo * below > 0) * (below + below);
    }
    // The digits < 2^53 and the scale are exact, so the one division is correctly rounded, as
    // reading the text of m * 10^-j is.
    out = digits / scale;
    // A whole number's product is exact, and so is the quotient: value itself. Tested on
    // value, rounded to a whole number as hi is (|value| < 2^49), and not on hi being whole,
    // which one fraction's in 8 to 64 is too: a branch on that would be mispredicted as often.
    return (value + kRound) - kRound == value ? QuickDigits::Whole : QuickDigits::Fraction;
}

} // namespace number_detail

inline QuickDigits fifteenDigitsQuick(double value, double& out) {
    using namespace number_detail;
    // The slot of |value|'s binary exponent; zero, subnormals, far magnitudes, infinities and
    // NaN all fall outside.
    const std::uint64_t slot = (bitCast<std::uint64_t>(value) << 1 >> 53) -
                               static_cast<std::uint64_t>(1023 + kFirstExponent);
    if (slot >= kExponents) [[unlikely]]
        return QuickDigits::Declined;
    const Scales& scales = kScales[slot];
    const std::size_t row = std::fabs(value) > scales.first ? 1 : 0;
    return digitsAtScale(value, kDecades[scales.power[row]], out);
}

inline QuickDigits fifteenDigitsQuick(double value, double& out, DigitsHint& hint) {
    using namespace number_detail;
    // The hint's decade is known before value is: the test of value against it is a branch
    // the processor predicts, and the scale does not wait on value's bits.
    const Decade* decade = &kDecades[hint.power];
    const double a = std::fabs(value);
    if (!(a > decade->below && a <= decade->upTo)) [[unlikely]] {
        const std::size_t power = scalePower(value);
        if (power >= kPowers) return QuickDigits::Declined;
        hint.power = static_cast<std::uint8_t>(power);
        decade = &kDecades[power];
    }
    return digitsAtScale(value, *decade, out);
}

inline bool fifteenDigitFraction(double value, double& out) {
    if (fifteenDigitsQuick(value, out) != QuickDigits::Declined) return true;
    return number_detail::fifteenDigitsElsewhere(value, out);
}

inline bool fifteenDigitFraction(double value, double& out, DigitsHint& hint) {
    if (fifteenDigitsQuick(value, out, hint) != QuickDigits::Declined) return true;
    return number_detail::fifteenDigitsElsewhere(value, out);
}

} // namespace tessivor
