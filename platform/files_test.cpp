#include "platform/files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessivor::platform {
namespace {

namespace fs = std::filesystem;

class WriteTextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tessivor-files-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (mounted_) ::umount(dir_.c_str());
        fs::remove_all(dir_);
    }

    std::string read(const fs::path& path) {
        std::string text, reason;
        EXPECT_TRUE(readWholeFile(path, text, reason)) << path << ": " << reason;
        return text;
    }
    /// The names in the folder: a failed write leaves no temporary file behind.
    std::size_t entries() {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
    bool mounted_ = false;
};

TEST_F(WriteTextFileTest, WritesTheTextAndALineEndAndReplacesAnOldFile) {
    const fs::path file = dir_ / "a.tsp";
    std::string reason;
    ASSERT_TRUE(writeTextFile(file, "a long old program", reason)) << reason;
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(writeTextFile(file, "p", reason)) << reason;
    EXPECT_EQ(read(file), "p\r\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(WriteTextFileTest, ASymbolicLinkStaysAndItsFileIsReplaced) {
    const fs::path file = dir_ / "real.tsasm";
    std::string reason;
    ASSERT_TRUE(writeTextFile(file, "old", reason));
    fs::create_symlink("real.tsasm", dir_ / "link.tsasm");
    ASSERT_TRUE(writeTextFile(dir_ / "link.tsasm", "new", reason)) << reason;
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.tsasm"));
    EXPECT_EQ(read(file), "new\r\n");
}

TEST_F(WriteTextFileTest, FailuresNameTheReasonAndLeaveNothing) {
    std::string reason;
    EXPECT_FALSE(writeTextFile(dir_ / "missing" / "a.tsp", "p", reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_FALSE(writeTextFile(dir_, "p", reason));
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_EQ(entries(), 0u);
}

TEST_F(WriteTextFileTest, ADeviceIsWrittenInPlace) {
    std::string reason;
    EXPECT_TRUE(writeTextFile("/dev/null", "p", reason)) << reason;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

/// Runs `write` with stdout sent to `fd`, then puts stdout back.
template <class Write> void withStdout(int fd, Write write) {
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(fd, STDOUT_FILENO);
    write();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
}

// /dev/stdout, and the file stdout was sent to, get the text after what stdout had before:
// through /proc a pipe's name is "pipe:[N]", and a rename would replace what was written.
TEST_F(WriteTextFileTest, StdoutIsWrittenAfterWhatItHolds) {
    const fs::path out = dir_ / "out.txt";
    const int file = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    bool written = false;
    std::string reason;
    withStdout(file, [&] {
        std::fputs("report\n", stdout); // still in stdio's buffer
        written = writeTextFile("/dev/stdout", "<xml/>", reason);
    });
    ::close(file);
    EXPECT_TRUE(written) << reason;
    EXPECT_EQ(read(out), "report\n<xml/>\r\n");
    // The file itself, by its own name.
    const int again = ::open(out.c_str(), O_WRONLY | O_TRUNC);
    withStdout(again, [&] {
        std::fputs("report\n", stdout);
        written = writeTextFile(out, "<xml/>", reason);
    });
    ::close(again);
    EXPECT_TRUE(written) << reason;
    EXPECT_EQ(read(out), "report\n<xml/>\r\n");

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    withStdout(fds[1], [&] { written = writeTextFile("/dev/stdout", "<xml/>", reason); });
    ::close(fds[1]);
    EXPECT_TRUE(written) << reason;
    char piped[64] = {};
    EXPECT_EQ(::read(fds[0], piped, sizeof piped), 8);
    ::close(fds[0]);
    EXPECT_STREQ(piped, "<xml/>\r\n");
    EXPECT_EQ(entries(), 1u); // no temporary file left anywhere near
}

// A full disk: the old file keeps its text, and no half-written one is left beside it.
TEST_F(WriteTextFileTest, AFullDiskLeavesTheOldFileWhole) {
    if (::mount("tessivor-test", dir_.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    }
    mounted_ = true;
    const fs::path file = dir_ / "prog.tsp";
    std::string reason;
    ASSERT_TRUE(writeTextFile(file, "old program", reason)) << reason;
    EXPECT_FALSE(writeTextFile(file, std::string(1 << 20, 'a'), reason));
    EXPECT_EQ(reason, "No space left on device");
    EXPECT_EQ(read(file), "old program\r\n");
    EXPECT_EQ(entries(), 1u);
}

// A file size limit (RLIMIT_FSIZE), tried in a child so that the limit stays there.
TEST_F(WriteTextFileTest, AFileSizeLimitLeavesTheOldFileWhole) {
    const fs::path file = dir_ / "prog.tsp";
    std::string reason;
    ASSERT_TRUE(writeTextFile(file, "old program", reason)) << reason;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string why;
        const bool written = writeTextFile(file, std::string(100'000, 'a'), why);
        ::_exit(!written && why == "File too large" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(read(file), "old program\r\n");
    EXPECT_EQ(entries(), 1u);
}

} // namespace
} // namespace tessivor::platform
