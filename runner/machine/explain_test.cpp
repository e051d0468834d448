#include "runner/machine/explain.h"

#include "runner/machine/test_host.h"

#include <gtest/gtest.h>

namespace tessivor {
namespace {

/// The reason the run of `code` failed for.
std::string reason(const std::string& code) {
    testing::RecordingHost host;
    RunOptions options;
    options.plain = true;
    options.maxSteps = 1000;
    const RunResult r = runprogram(code, host, options);
    EXPECT_EQ(r.end, RunEnd::Error) << code;
    return failureReason(code, r.pc, r.cur, r.opb, r.opc, r.mem, r.failure);
}

TEST(FailureReason, NamesTheCellAndWhatItHolds) {
    // ifl 08, 03 with cell 08 empty and cell 03 holding 5.
    EXPECT_EQ(reason("a03sA5a08ba03cj"), "cell 08 holds \"\" (empty), not a number");
    EXPECT_EQ(reason("a08sA5a03sAxa08ba03cj"), "cell 03 holds \"x\", not a number");
    EXPECT_EQ(reason("a07q"), "cell 07 holds \"\" (empty), not a number");
    EXPECT_EQ(reason("a01sA1AeA4A0a02sA1a01ba02cj"),
              "cell 01 holds \"1e40\", too large for a single-precision number");
    EXPECT_EQ(reason("a01sA3AeA9a01u"), "cell 01 holds \"3e9\", too large for a 32-bit whole number");
    EXPECT_EQ(reason("a01sA3AeA9a01n"), "cell 01 holds \"3e9\", too large for a cell number");
    EXPECT_EQ(reason("a01sA\x01" "AxAya01q"), "cell 01 holds \"0xy\", not a number");
}

TEST(FailureReason, NamesTheRegisterOutOfRange) {
    EXPECT_EQ(reason("a00sA1A5A0a00nq"), "cur is 150, not a cell number (0 to 99)");
    EXPECT_EQ(reason("a00sA1A5A0a00nba01cd"), "opb is 150, not a cell number (0 to 99)");
    EXPECT_EQ(reason("a01sA1A0A0a01u"), "cell 01 holds \"100\", not a label number (0 to 99)");
    EXPECT_EQ(reason("a01A"), "the character to append would lie past the end of the code");
}

TEST(FailureReason, LongTextsAreCutShort) {
    EXPECT_EQ(quotedCell(std::string(50, 'y')), "\"" + std::string(40, 'y') + "...\"");
    EXPECT_EQ(quotedCell("a\"b"), "\"a\\x22b\"");
    EXPECT_EQ(failureReason("p", 1, 0, 0, 0, {}, Failure::None), "");
}

} // namespace
} // namespace tessivor
