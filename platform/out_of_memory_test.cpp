#include "platform/out_of_memory.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <thread>

namespace tessivor::platform {
namespace {

// A thread's function stands for a window's event handler: no exception may leave either.
void handler(bool memory) {
    std::thread([memory] {
        if (memory) throw std::bad_alloc();
        throw std::runtime_error("other");
    }).join();
}

TEST(OutOfMemoryDeathTest, AnUncaughtFailedAllocationEndsWithOneLineAndStatus70) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            reportOutOfMemoryAtExit("tessivor");
            handler(true);
        },
        ::testing::ExitedWithCode(70), "^tessivor: out of memory\n$");
    // Anything else still aborts.
    EXPECT_DEATH(
        {
            reportOutOfMemoryAtExit("tessivor");
            handler(false);
        },
        "");
}

} // namespace
} // namespace tessivor::platform
