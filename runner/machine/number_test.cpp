#include "runner/machine/number.h"
#include "runner/machine/number_proof.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace tessivor {
namespace {

TEST(ReadDouble, AcceptsTheNumberGrammarWithBlanksAround) {
    const std::pair<const char*, double> cases[] = {
        {"5", 5},       {"-2.5", -2.5}, {"+3", 3},
        {" \t7\t ", 7}, {"5.", 5},      {".5", 0.5},
        {"1e3", 1000},  {"1E+3", 1000}, {"2.5e-1", 0.25},
        {"007", 7},     {"-0.0", -0.0}, {"1.7976931348623157E308", 1.7976931348623157e308},
    };
    for (const auto& [text, expected] : cases) {
        double value = -1;
        EXPECT_EQ(readDouble(text, value), Failure::None) << text;
        EXPECT_EQ(value, expected) << text;
    }
}

TEST(ReadDouble, EverythingElseIsATypeMismatch) {
    for (const char* text : {"", " ", ".", "1e", "1e+", "inf", "nan", "Infinity", "&H10", "1,000",
                             "1d5", "--1", "+-1", "1.2.3", "e5", "5 5", "0x10", "1\n", "abc"}) {
        double value = 0;
        EXPECT_EQ(readDouble(text, value), Failure::TypeMismatch) << '"' << text << '"';
    }
}

TEST(ReadDouble, TooLargeOverflowsTooSmallIsZero) {
    double value = 1;
    EXPECT_EQ(readDouble("1e309", value), Failure::Overflow);
    EXPECT_EQ(readDouble("-1.8e308", value), Failure::Overflow);
    EXPECT_EQ(readDouble("1e-400", value), Failure::None);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(readDouble("-1e-400", value), Failure::None);
    EXPECT_TRUE(value == 0 && std::signbit(value));
    EXPECT_EQ(readDouble("4.9406564584124654E-324", value), Failure::None);
    EXPECT_GT(value, 0); // the smallest subnormal survives
    EXPECT_EQ(readDouble("0.000000000000000000001e-310", value), Failure::None);
    EXPECT_EQ(value, 0);
}

TEST(ReadSingle, RoundsToFloatAndOverflowsPastItsRange) {
    float a = 0, b = 0;
    ASSERT_EQ(readSingle("16777217", a), Failure::None);
    ASSERT_EQ(readSingle("16777216", b), Failure::None);
    EXPECT_EQ(a, b);
    EXPECT_EQ(readSingle("3.5e38", a), Failure::Overflow);
    EXPECT_EQ(readSingle("3.4e38", a), Failure::None);
}

TEST(ReadInteger, RoundsTiesToEvenWithinThe32BitRange) {
    std::int32_t v = 0;
    const std::pair<const char*, std::int32_t> cases[] = {
        {"2.5", 2},
        {"3.5", 4},
        {"-2.5", -2},
        {"0.5", 0},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483647.4", 2147483647},
    };
    for (const auto& [text, expected] : cases) {
        ASSERT_EQ(readInteger(text, v), Failure::None) << text;
        EXPECT_EQ(v, expected) << text;
    }
    EXPECT_EQ(readInteger("2147483647.5", v), Failure::Overflow);
    EXPECT_EQ(readInteger("-2147483649", v), Failure::Overflow);
    EXPECT_EQ(readInteger("x", v), Failure::TypeMismatch);
}

TEST(NumberText, FifteenSignificantDigits) {
    const std::pair<double, const char*> cases[] = {
        {3, "3"},
        {1.0 / 3, "0.333333333333333"},
        {0.999999999999999, "0.999999999999999"},
        {1e15, "1E+15"},
        {999999999999999, "999999999999999"},
        {1.5e-7, "1.5E-07"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {-2.5, "-2.5"},
        {1.2, "1.2"},
        {2.7 - 1.5, "1.2"},
        {123456789012345678.0, "1.23456789012346E+17"},
        {-0.0, "0"},
        {1e300 * 1e10, "Infinity"},
        {-1e300 * 1e10, "-Infinity"},
        {std::nan(""), "NaN"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(numberText(value), text) << value;
}

// ---------------------------------------------------------------------------------------------
// The digits of an arithmetic result, found without the text, against the text read back.

TEST(FifteenDigits, AMillionValuesOfEveryKindReadAsTheirTexts) {
    const proof::Counts counts = proof::run(2026, 1'000'000);
    EXPECT_EQ(counts.failures, 0u) << counts.firstFailure;
    // The quick path takes most values but the far magnitudes, and some are left to the text.
    EXPECT_GT(counts.quickFractions, 350'000u);
    EXPECT_GT(counts.quickWhole, 25'000u);
    EXPECT_GT(counts.declined, 100'000u);
}

TEST(FifteenDigits, EveryExponentsEdgesAndScaleBoundaries) {
    // Both ends of every binary exponent the quick path takes and a few beyond, and the
    // neighbours of every power of ten there, where the scale changes.
    proof::Counts counts;
    const auto around = [&](double v) {
        for (int step = -3; step <= 3; ++step) {
            const auto raw = static_cast<std::int64_t>(bitCast<std::uint64_t>(v)) + step;
            const double x = bitCast<double>(static_cast<std::uint64_t>(raw));
            proof::check(x, counts);
            proof::check(-x, counts);
        }
    };
    for (int e = -30; e <= 52; ++e)
        around(std::ldexp(1.0, e));
    for (int k = -10; k <= 16; ++k) {
        double power = 0;
        ASSERT_EQ(readDouble("1E" + std::to_string(k), power), Failure::None);
        around(power);
        around(power * 0.5);
    }
    EXPECT_EQ(counts.failures, 0u) << counts.firstFailure;
    EXPECT_GT(counts.quickFractions + counts.quickWhole, counts.values / 2);
}

TEST(FifteenDigits, TheHintsDecadesFollowEachOtherWithoutGapOrOverlap) {
    // From 2^-26 up to 2^49 every magnitude lies in exactly one decade, 10^22's the lowest;
    // each decade's edges are about its power of ten.
    using number_detail::kDecades;
    EXPECT_EQ(kDecades[22].below, std::nextafter(0x1p-26, 0.0));
    EXPECT_EQ(kDecades[0].upTo, std::nextafter(0x1p49, 0.0));
    for (std::size_t j = 0; j < number_detail::kPowers; ++j) {
        EXPECT_EQ(kDecades[j].scale, std::pow(10.0, static_cast<double>(j)));
        EXPECT_LT(kDecades[j].below, kDecades[j].upTo) << j;
        if (j == 0) continue;
        EXPECT_EQ(kDecades[j].upTo, kDecades[j - 1].below) << j;
        if (j < 22) {
            EXPECT_NEAR(kDecades[j].below * kDecades[j].scale, 1e14, 1) << j;
        }
    }
}

TEST(FifteenDigits, ACellsHintFollowsItsResultsFromDecadeToDecade) {
    // -1 / k and the running sum, as the harmonic loop leaves them, and a value declined (zero)
    // between, which leaves the hint as it was.
    DigitsHint sum, term;
    double s = 0;
    for (double k = 1; k <= 100000; k += 7) {
        double t = 0, expected = 0;
        ASSERT_NE(fifteenDigitsQuick(-1 / k, t, term), QuickDigits::Declined);
        ASSERT_TRUE(fifteenDigitValue(-1 / k, expected));
        ASSERT_EQ(t, expected) << k;
        EXPECT_EQ(term.power, number_detail::scalePower(-1 / k));
        double next = 0;
        ASSERT_NE(fifteenDigitsQuick(s - t, next, sum), QuickDigits::Declined);
        ASSERT_TRUE(fifteenDigitValue(s - t, expected));
        ASSERT_EQ(next, expected) << k;
        s = next;
        const DigitsHint before = sum;
        EXPECT_EQ(fifteenDigitsQuick(0.0, next, sum), QuickDigits::Declined);
        EXPECT_EQ(sum.power, before.power);
    }
    EXPECT_EQ(numberText(s), "2.41871293690478");
}

TEST(FifteenDigits, AScaledProductAtAHalfGoesTheWayItsExactProductDoes) {
    // Values a few ulps either side of a 15-digit number and a half in its last digit, at every
    // scale: many scale to a product that rounds to exactly a half, with the exact product
    // above it or below; each must read as its text.
    std::mt19937_64 rng(7);
    int above = 0, under = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t m = 100'000'000'000'000 + rng() % 900'000'000'000'000;
        const int exponent = static_cast<int>(rng() % 23) - 8;
        double v = 0;
        ASSERT_EQ(readDouble(std::to_string(m) + "5E" + std::to_string(exponent - 15), v),
                  Failure::None);
        const auto raw = static_cast<std::int64_t>(bitCast<std::uint64_t>(v));
        v = bitCast<double>(static_cast<std::uint64_t>(raw + std::int64_t(rng() % 9) - 4));
        if (rng() % 2) v = -v;
        DigitsHint hint;
        double out = 0, read = 0;
        if (fifteenDigitsQuick(v, out, hint) == QuickDigits::Declined) continue;
        ASSERT_EQ(readDouble(numberText(v), read), Failure::None);
        ASSERT_EQ(bitCast<std::uint64_t>(out), bitCast<std::uint64_t>(read)) << v;
        const double scale = number_detail::kPowersOfTen[hint.power];
        const double hi = v * scale;
        if (std::fabs(hi - std::nearbyint(hi)) != 0.5) continue;
        const double lo = std::fma(v, scale, -hi); // exact, whatever the processor
        (lo * hi > 0 ? above : under) += lo != 0;
    }
    EXPECT_GT(above, 1000);
    EXPECT_GT(under, 1000);
}

TEST(FifteenDigits, ExactTiesRoundAsTheTextDoesToEven) {
    // 123456789012345.5 lies exactly between two 15-digit numbers: the text rounds to the even
    // one, and so does every way a cell is given it.
    const std::pair<double, const char*> cases[] = {
        {123456789012345.5, "123456789012346"},   {123456789012344.5, "123456789012344"},
        {-100000000000000.5, "-100000000000000"}, {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},           {2.0 / 3, "0.666666666666667"},
    };
    for (const auto& [value, text] : cases) {
        ASSERT_EQ(numberText(value), text);
        proof::Counts counts;
        proof::check(value, counts);
        EXPECT_EQ(counts.failures, 0u) << counts.firstFailure;
        double out = 0;
        if (fifteenDigitsQuick(value, out) != QuickDigits::Declined) {
            EXPECT_EQ(numberText(out), text);
        }
    }
}

TEST(FifteenDigits, WholeNumbersAreFoundWholeAndTheRestNot) {
    double out = 0;
    EXPECT_EQ(fifteenDigitsQuick(12345, out), QuickDigits::Whole);
    EXPECT_EQ(out, 12345);
    EXPECT_EQ(fifteenDigitsQuick(-999999999999.0, out), QuickDigits::Whole);
    EXPECT_EQ(fifteenDigitsQuick(0.5, out), QuickDigits::Fraction);
    EXPECT_EQ(out, 0.5);
    EXPECT_EQ(fifteenDigitsQuick(2.9999999999999996, out), QuickDigits::Fraction);
    EXPECT_EQ(out, 3);
    // Zero, 1E+15 and beyond, the far magnitudes and the non-finite are left to the rest.
    for (double v : {0.0, -0.0, 1e15, 6e14, 1e-9, 1e300, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(fifteenDigitsQuick(v, out), QuickDigits::Declined) << v;
    }
}

} // namespace
} // namespace tessivor
