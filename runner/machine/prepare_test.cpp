#include "runner/machine/prepare.h"

#include <gtest/gtest.h>

#include <string>

namespace tessivor {
namespace {

using Table = std::vector<std::int32_t>;

TEST(Prepare, WorkedExampleTables) {
    const Prepared t = prepare("a05ba06ch va07q kp\r\n");
    EXPECT_EQ(t.failedAt, 0);
    EXPECT_EQ(t.codes, (Table{32,  97, 0, 5, 98,  97, 0,   6,   99, 104, 32,
                              118, 97, 0, 7, 113, 32, 107, 112, 13, 10}));
    EXPECT_EQ(t.eifpos, (Table{0,  17, 17, 17, 17, 17, 17, 17, 17, 17, 17,
                               17, 17, 17, 17, 17, 17, 17, 0,  0,  0}));
    EXPECT_EQ(t.addrs, (Table{0, 5, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0}));
    std::array<std::int32_t, kLabels> labels{};
    labels[1] = 11;
    EXPECT_EQ(t.lblpos, labels);
}

TEST(Prepare, EmptyAndShortCodeStrings) {
    const Prepared empty = prepare("");
    EXPECT_EQ(empty.codes, Table{32});
    EXPECT_EQ(empty.eifpos, Table{0});
    EXPECT_EQ(empty.addrs, Table{0});
    EXPECT_EQ(prepare("a1").addrs, (Table{0, 0, 0}));
    EXPECT_EQ(prepare("a12").addrs, (Table{0, 12, 0, 0}));
    EXPECT_EQ(prepare("a1x").addrs[1], 0);
    EXPECT_EQ(prepare("a\t7").addrs[1], 7); // an unrecognised character counts as the digit 0
}

TEST(Prepare, ClassifiesByCodeNotCharacter) {
    const Prepared t = prepare(std::string("5Aa\t\x7f\xe9~ \r\n:/", 12));
    EXPECT_EQ(t.codes, (Table{32, 5, 65, 97, 0, 0, 0, 126, 32, 13, 10, 58, 47}));
}

TEST(Prepare, MarkersNeedASpaceBeforeThem) {
    // "k" at position 1 is a marker; "xk" and " K" are not.
    EXPECT_EQ(prepare("k").eifpos, (Table{0, 1}));
    EXPECT_EQ(prepare("xk K").eifpos, (Table{0, 0, 0, 0, 0}));
    EXPECT_EQ(prepare("v").lblpos[1], 1);
    EXPECT_EQ(prepare("xv v").lblpos[1], 4);
    EXPECT_EQ(prepare("xv v").lblpos[2], 0);
}

TEST(Prepare, NinetyNineLabelsFitAHundredthFails) {
    std::string code;
    for (int i = 0; i < 99; ++i)
        code += " v";
    const Prepared ok = prepare(code);
    EXPECT_EQ(ok.failedAt, 0);
    EXPECT_EQ(ok.lblpos[99], 198);
    code += "a12 v";
    EXPECT_EQ(prepare(code).failedAt, 203);
}

TEST(Prepare, EndIfTableMatchesAForwardSearchEverywhere) {
    // The one-pass table against the search from each position, on a string with markers
    // in odd places.
    const std::string code = "k h k  kk x kp k";
    const Prepared t = prepare(code);
    const std::size_t n = code.size();
    for (std::size_t i = 1; i <= n; ++i) {
        std::int32_t expected = 0;
        for (std::size_t j = i; j <= n; ++j) {
            if (t.codes[j] == 107 && t.codes[j - 1] == 32) {
                expected = static_cast<std::int32_t>(j);
                break;
            }
        }
        EXPECT_EQ(t.eifpos[i], expected) << i;
    }
}

} // namespace
} // namespace tessivor
