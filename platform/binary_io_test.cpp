// Files, file names and the tick as the machine sees them on every system: a file's bytes come
// back exactly as written (no line-end or end-of-file translation), a file name in the narrow
// text of the command line opens that file, and the tick counts milliseconds.

#include "platform/clock.h"
#include "platform/cmdline.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tessivor::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class BinaryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tessivor-binary-io-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(BinaryFiles, EveryByteComesBackAsWritten) {
    // Line ends of every kind, a NUL and the byte 26 (Ctrl+Z, which ends a file read as text
    // on Windows), then all the other byte values.
    std::string text = "a\nb\r\nc\rd\0e\x1a"s + "f";
    for (int b = 0; b < 256; ++b)
        text += static_cast<char>(b);
    const fs::path p = dir_ / "all.tsp";
    std::string reason;
    ASSERT_TRUE(writeTextFile(p, text, reason)) << reason;
    EXPECT_EQ(fs::file_size(p), text.size() + 2);
    std::string back;
    ASSERT_TRUE(readWholeFile(p, back, reason)) << reason;
    EXPECT_EQ(back, text + "\r\n");
}

TEST_F(BinaryFiles, WritingReplacesAnExistingFile) {
    // A rename over an existing file fails on Windows unless asked to replace it (the C
    // library's rename does not); writing must replace the file whole all the same.
    const fs::path p = dir_ / "prog.tsp";
    std::string reason, back;
    ASSERT_TRUE(writeTextFile(p, "a much longer old program", reason)) << reason;
    ASSERT_TRUE(writeTextFile(p, "new", reason)) << reason;
    ASSERT_TRUE(readWholeFile(p, back, reason)) << reason;
    EXPECT_EQ(back, "new\r\n");
    // Nothing else is left in the folder (no temporary file).
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(BinaryFiles, ANameFromTheCommandLineOpensThatFile) {
#if defined(_WIN32)
    // "é" is one byte in the ANSI code pages of Western Europe; elsewhere there is no such
    // name to give, and the test has nothing to check.
    const std::wstring wideName = L"caf\u00e9 prog.tsp";
    BOOL lossy = FALSE;
    char bytes[64];
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wideName.c_str(), -1, bytes,
                                      sizeof bytes, nullptr, &lossy);
    if (n <= 0 || lossy)
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " has no \"e\" with an acute accent";
    const std::string name = (dir_.string() + "\\") + bytes;
    { std::ofstream(dir_ / wideName, std::ios::binary) << "p\r\n"; }
#else
    const std::string name = (dir_ / "caf\xc3\xa9 prog.tsp").string();
    { std::ofstream(name, std::ios::binary) << "p\r\n"; }
#endif
    std::string text, reason;
    ASSERT_TRUE(readWholeFile(pathFromArgument(name), text, reason)) << name << ": " << reason;
    EXPECT_EQ(text, "p\r\n");
    EXPECT_TRUE(pathFromArgument("").empty());
}

TEST(Tick, CountsMilliseconds) {
    const std::int32_t before = tickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Unsigned difference: the counter may pass from positive to negative in between.
    const auto passed =
        static_cast<std::uint32_t>(tickCount()) - static_cast<std::uint32_t>(before);
    EXPECT_GE(passed, 150u);
    EXPECT_LT(passed, 5000u);
}

} // namespace
} // namespace tessivor::platform
