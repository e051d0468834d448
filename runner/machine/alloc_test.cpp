// A cell's text that cannot grow for want of memory ends the run with the machine's own
// "Out of string space" report instead of ending the process. Allocations above a limit fail
// in this test program, as they would on a machine out of memory.

#include "runner/machine/allocation_limit.h"
#include "runner/machine/run.h"
#include "runner/machine/test_host.h"

#include <gtest/gtest.h>

namespace tessivor {
namespace {

/// Cell 01 doubles ("x" onto itself) in a loop until it cannot; cell 02 copies it ("z").
const std::string kDoubling = "a00sA1a01sAa va01ba01xa00u";

RunResult runLimited(const std::string& code, bool plain, testing::RecordingHost& host) {
    RunOptions options;
    options.plain = plain;
    options.maxSteps = 10'000'000;
    const testing::AllocationLimit limit(1 << 20);
    return runprogram(code, host, options);
}

TEST(OutOfMemory, AGrowingTextEndsTheRunWithOutOfStringSpace) {
    testing::RecordingHost host;
    const RunResult r = runLimited(kDoubling, true, host);
    EXPECT_EQ(r.end, RunEnd::Error);
    EXPECT_EQ(r.failure, Failure::OutOfStringSpace);
    EXPECT_LE(r.mem[1].size(), std::size_t{1} << 20);
    EXPECT_GE(r.mem[1].size(), std::size_t{1} << 18);
    EXPECT_EQ(host.shown().at(0), "message:Out of string space byte 22 op 120 x");
    EXPECT_EQ(host.shown().at(1), "message:Program Ended");
}

TEST(OutOfMemory, ACopyThatCannotBeMadeEndsTheRunToo) {
    // Cell 01 grows to 512 KiB (fits), cell 02 gets two copies appended: the second append
    // needs 1 MiB and more.
    testing::RecordingHost host;
    std::string code = "a01sAa";
    for (int k = 0; k < 19; ++k)
        code += "a01ba01x";
    code += "a01ba02za02ba02xp";
    const RunResult r = runLimited(code, true, host);
    EXPECT_EQ(r.failure, Failure::OutOfStringSpace);
    EXPECT_EQ(r.mem[1].size(), std::size_t{1} << 19);
}

} // namespace
} // namespace tessivor
