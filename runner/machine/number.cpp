#include "runner/machine/number.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

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
        if (seenNonZero) ++intDigits; else ++leadingZeros;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        for (; i < s.size() && isDigit(s[i]); ++i) {
            anyDigit = true;
            if (!seenNonZero && s[i] == '0') ++fracZeros;
            else seenNonZero = true;
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
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    long long magnitude = 0;
    if (!checkGrammar(text, magnitude)) return Failure::TypeMismatch;
    const bool negative = text.front() == '-';
    if (text.front() == '+' || text.front() == '-') text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // from_chars says the same for a value too large and one too small for a double.
        if (magnitude >= 0) return Failure::Overflow;
        value = 0;
    } else if (ec != std::errc() || end != text.data() + text.size()) {
        return Failure::TypeMismatch;
    }
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
    // to_chars keeps the point a point whatever the locale, unlike printf.
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 15);
    for (char* p = buffer.data(); p != result.ptr; ++p) {
        out += *p == 'e' ? 'E' : *p;
    }
}

std::string numberText(double value) {
    std::string text;
    appendNumberText(text, value);
    return text;
}

} // namespace tessivor
