#include "runner/machine/number.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <version>

namespace tessivor {
namespace {

constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Checks the number grammar and estimates the decimal exponent of the value's leading digit,
// which tells an overflow from an underflow when the conversion reports a value out of range.
bool checkGrammar(std::string_view s, long long& magnitude) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t intDigits = 0, leadingZeros = 0, fracZeros = 0;
    bool seenNonZero = false, anyDigit = false;
    for (; i < s.size() && isDigit(s[i]); ++i) {
        anyDigit = true;
        if (s[i] != '0') seenNonZero = true;
        if (seenNonZero)
            ++intDigits;
        else
            ++leadingZeros;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        for (; i < s.size() && isDigit(s[i]); ++i) {
            anyDigit = true;
            if (!seenNonZero && s[i] == '0')
                ++fracZeros;
            else
                seenNonZero = true;
        }
    }
    if (!anyDigit) return false;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
        if (i == s.size() || !isDigit(s[i])) return false;
        for (; i < s.size() && isDigit(s[i]); ++i) {
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (s[i] - '0');
        }
        if (negative) exponent = -exponent;
    }
    if (i != s.size()) return false;
    const long long lead = intDigits > 0 ? static_cast<long long>(intDigits) - 1
                                         : -static_cast<long long>(fracZeros) - 1;
    magnitude = lead + exponent;
    return true;
}

} // namespace

Failure readDouble(std::string_view text, double& out) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    long long magnitude = 0;
    if (!checkGrammar(text, magnitude)) return Failure::TypeMismatch;
    const bool negative = text.front() == '-';
    if (text.front() == '+' || text.front() == '-') text.remove_prefix(1);
    double value = 0;
#if defined(__cpp_lib_to_chars)
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // from_chars says the same for a value too large and one too small for a double.
        if (magnitude >= 0) return Failure::Overflow;
        value = 0;
    } else if (ec != std::errc() || end != text.data() + text.size()) {
        return Failure::TypeMismatch;
    }
#else
    // Without floating-point from_chars (the WebAssembly build's library): strtod rounds
    // exactly there, gives infinity past the range and zero or a subnormal below it, which is
    // what the branch above makes of from_chars. The grammar is checked, so it reads the whole
    // text; its locale is always "C" there.
    (void)magnitude;
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) return Failure::TypeMismatch;
#endif
    if (std::isinf(value)) return Failure::Overflow;
    out = negative ? -value : value;
    return Failure::None;
}

Failure readSingle(std::string_view text, float& out) {
    double value = 0;
    if (const Failure f = readDouble(text, value); f != Failure::None) return f;
    const float single = static_cast<float>(value);
    if (std::isinf(single)) return Failure::Overflow;
    out = single;
    return Failure::None;
}

Failure roundToInt32(double value, std::int32_t& out) {
    const double rounded = std::nearbyint(value); // the default rounding mode: ties to even
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return Failure::Overflow;
    out = static_cast<std::int32_t>(rounded);
    return Failure::None;
}

Failure readInteger(std::string_view text, std::int32_t& out) {
    double value = 0;
    if (const Failure f = readDouble(text, value); f != Failure::None) return f;
    return roundToInt32(value, out);
}

void appendNumberText(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-Infinity" : "Infinity";
        return;
    }
    if (value == 0) {
        out += '0'; // negative zero too
        return;
    }
    std::array<char, 32> buffer;
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        // Whole numbers below 1E+15 have at most 15 digits: "%.15G" writes them as they are.
        const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                          static_cast<long long>(value));
        out.append(buffer.data(), result.ptr);
        return;
    }
#if defined(__cpp_lib_to_chars)
    // to_chars keeps the point a point whatever the locale, unlike printf.
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 15);
    for (char* p = buffer.data(); p != result.ptr; ++p) {
        out += *p == 'e' ? 'E' : *p;
    }
#else
    // to_chars with a precision is defined as printf's "%.15g" in the "C" locale, the only one
    // the WebAssembly build's library has.
    const int length = std::snprintf(buffer.data(), buffer.size(), "%.15G", value);
    out.append(buffer.data(), static_cast<std::size_t>(length));
#endif
}

namespace number_detail {
namespace {

// x * y - xy exactly, where xy is x * y rounded: one fused multiply-add where the processor has
// one, else Dekker's product (the halves of x and y multiply exactly). Both give the exact
// error, so the results never depend on the processor; without FMA hardware the compiler has
// no fused operation to contract the halves' products into.
double productError(double x, double y, double xy) {
#if defined(__FMA__) || defined(__FP_FAST_FMA) || defined(__ARM_FEATURE_FMA)
    return std::fma(x, y, -xy);
#else
    constexpr double kSplit = 0x1p27 + 1;
    const double cx = kSplit * x, cy = kSplit * y;
    const double xh = cx - (cx - x), yh = cy - (cy - y);
    const double xl = x - xh, yl = y - yh;
    return ((xh * yh - xy) + xh * yl + xl * yh) + xl * yl;
#endif
}

// a * 10^j, rounded; |j| <= 22, where 10^|j| is exact in a double.
double scaleByPowerOfTen(double a, int j) {
    return j >= 0 ? a * kPowersOfTen[j] : a / kPowersOfTen[-j];
}

// The rounding error of hi = scaleByPowerOfTen(a, j): exact for a product, within an ulp for
// a quotient (its remainder a - hi * p is exact, the division by p is not).
double scaleError(double a, int j, double hi) {
    if (j >= 0) return productError(a, kPowersOfTen[j], hi);
    const double p = kPowersOfTen[-j];
    const double hp = hi * p;
    // a - hp is exact (the two lie within a factor of two), and so is the remainder.
    return ((a - hp) - productError(hi, p, hp)) / p;
}

} // namespace

double fifteenDigitsNearHalf(double value, double scale, double hi, double m) {
    // hi + lo, the exact product, lies within 1/16 of hi, so m or a neighbour is its rounding.
    // below + lo is rounded, but 0.5 is a double: it is above 0.5 only when the exact sum is,
    // and exactly 0.5 when the exact sum is a tie or too near one to tell.
    const double fraction = (hi - m) + productError(value, scale, hi);
    if (fraction > 0.5) {
        m += 1;
    } else if (fraction < -0.5) {
        m -= 1;
    } else if (!(std::fabs(fraction) < 0.5)) {
        // A tie (or too near one to tell): the text's own rounding decides, and the number is
        // what the text reads as.
        std::string text;
        appendNumberText(text, value);
        double read = 0;
        readDouble(text, read);
        return read;
    }
    return m / scale;
}

bool fifteenDigitsElsewhere(double value, double& out) {
    const double a = std::fabs(value);
    if (!(a >= 1e-7 && a <= 1e21)) return false; // NaN, infinities and far magnitudes too
    // The 15 significant digits are m, a whole number in [1e14, 1e15], with a = m * 10^-j.
    // log10(2) ~ 78913 / 2^18 gives the decimal exponent of the leading digit, or one less.
    const int binaryExponent = static_cast<int>(bitCast<std::uint64_t>(a) >> 52) - 1023;
    int j = 14 - ((binaryExponent * 78913) >> 18);
    double hi = scaleByPowerOfTen(a, j);
    while (hi >= 1e15) {
        if (--j < -22) return false;
        hi = scaleByPowerOfTen(a, j);
    }
    while (hi < 1e14) {
        if (++j > 22) return false;
        hi = scaleByPowerOfTen(a, j);
    }
    constexpr double kRound = 0x1p52;
    double m = (hi + kRound) - kRound;
    const double below = hi - m; // exact
    // hi < 2^50, so its rounding error lo is at most 1/16: when hi lies within 0.3 of m, m is the
    // rounded value whatever lo is, and lo is not worked out.
    if (std::fabs(below) >= 0.3) {
        const double fraction = below + scaleError(a, j, hi);
        // Near a tie the last digit depends on bits hi + lo cannot resolve: leave it to the text.
        if (std::fabs(std::fabs(fraction) - 0.5) < 1e-6) return false;
        if (fraction > 0.5)
            m += 1;
        else if (fraction < -0.5)
            m -= 1;
    }
    // m < 2^53 and 10^|j| are exact, so one operation gives the correctly rounded value, as
    // reading the text would.
    const double rounded = j >= 0 ? m / kPowersOfTen[j] : m * kPowersOfTen[-j];
    out = value < 0 ? -rounded : rounded;
    return true;
}

} // namespace number_detail

bool fifteenDigitValue(double value, double& out) {
    const double a = std::fabs(value);
    // Whole below 1E+15: the conversion to a 64-bit integer is exact and cheaper than trunc.
    if (a < 1e15 && static_cast<double>(static_cast<std::int64_t>(a)) == a) {
        out = value + 0.0; // negative zero is written "0", which reads as +0
        return true;
    }
    return fifteenDigitFraction(value, out);
}

std::string numberText(double value) {
    std::string text;
    appendNumberText(text, value);
    return text;
}

} // namespace tessivor
