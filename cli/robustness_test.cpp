// Bad inputs given to tessivor-cli, each with the answer it must get: an exit status and a
// message, never a crash, a hang or a machine out of memory. docs/robustness.md lists them.

#include "platform/files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
// after windows.h
#include <psapi.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr std::size_t kCellLimit = 67'108'864;

struct Outcome {
    int status = -1;
    std::string out, err;
    long peakKilobytes = 0; ///< the command's peak resident memory
};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

/// The last line of `text` that has any characters.
std::string lastLine(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && text[end - 1] == '\n')
        --end;
    const std::size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start + 1));
}

#if defined(_WIN32)
constexpr const char* kNoInput = "NUL";

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

/// One argument quoted so that the C runtime's parser gives it back unchanged.
void appendQuoted(std::wstring& line, const std::wstring& arg) {
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

/// Runs `argv` with the three standard handles on the given files; the exit status and the
/// peak memory in kilobytes, or a status of -1 when it could not start.
std::pair<int, long> spawn(const std::vector<std::string>& argv, const fs::path& in,
                           const fs::path& out, const fs::path& err) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto open = [&](const fs::path& p, bool write) {
        return CreateFileW(p.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE handles[3] = {open(in, false), open(out, true), open(err, true)};
    std::wstring line;
    for (const auto& a : argv) {
        if (!line.empty()) line += L' ';
        appendQuoted(line, wide(a));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles[0];
    startup.hStdOutput = handles[1];
    startup.hStdError = handles[2];
    PROCESS_INFORMATION process{};
    std::pair<int, long> result{-1, 0};
    if (handles[0] != INVALID_HANDLE_VALUE && handles[1] != INVALID_HANDLE_VALUE &&
        handles[2] != INVALID_HANDLE_VALUE &&
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        result.first = static_cast<int>(status);
        PROCESS_MEMORY_COUNTERS memory{};
        if (K32GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory))
            result.second = static_cast<long>(memory.PeakWorkingSetSize / 1024);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (HANDLE h : handles)
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return result;
}

int processId() { return static_cast<int>(GetCurrentProcessId()); }
#else
constexpr const char* kNoInput = "/dev/null";

int processId() { return static_cast<int>(getpid()); }
#endif

class Robustness : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tessivor-robustness-" + std::to_string(processId()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path file(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        writeAll(p, bytes);
        return p;
    }

    /// Runs tessivor-cli with `args`, stdin read from `input`; stdout and stderr go to files, so
    /// outputs of any size cannot block the command.
    Outcome cli(std::initializer_list<std::string> args, const fs::path& input = kNoInput) {
        const fs::path outPath = dir_ / "stdout", errPath = dir_ / "stderr";
        std::vector<std::string> argv{TESSIVOR_CLI};
        argv.insert(argv.end(), args);
#if defined(_WIN32)
        Outcome o;
        std::tie(o.status, o.peakKilobytes) = spawn(argv, input, outPath, errPath);
        o.out = readAll(outPath);
        o.err = readAll(errPath);
        return o;
#else
        const pid_t pid = fork();
        if (pid == 0) {
            const int in = open(input.c_str(), O_RDONLY);
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || out < 0 || err < 0) _exit(125);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> raw;
            for (auto& a : argv)
                raw.push_back(a.data());
            raw.push_back(nullptr);
            execv(raw[0], raw.data());
            _exit(126);
        }
        Outcome o;
        int status = 0;
        rusage usage{};
        if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return o;
        o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        o.out = readAll(outPath);
        o.err = readAll(errPath);
        o.peakKilobytes = usage.ru_maxrss;
        return o;
#endif
    }

    /// Builds `source` into a program file, which must succeed.
    fs::path build(const std::string& name, const std::string& source) {
        const fs::path src = file(name + ".tsasm", source);
        const Outcome o = cli({"build", src.string()});
        EXPECT_EQ(o.status, 0) << o.err;
        return dir_ / (name + ".tsp");
    }

    fs::path dir_;
};

TEST_F(Robustness, EmptyProgramRunsPastItsEnd) {
    const fs::path p = file("empty.tsp", "");
    Outcome o = cli({"run", p.string()});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "tessivor-cli run: the program ran past its last position without \"end\"\n");
    o = cli({"run", "--events", p.string()});
    EXPECT_EQ(o.status, 2);
    EXPECT_THAT(lastLine(o.out), StartsWith(R"({"end": "past-end", "steps": 1, "pc": 1, )"));
    EXPECT_EQ(cli({"disasm", p.string()}).out,
              "// this file does not end with the line end a program file closes with //\r\n");
}

TEST_F(Robustness, AllByteValuesAsProgramAndAsSource) {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    const fs::path p = file("all.tsp", bytes);

    // Nothing before "A" (65) acts; "A" appends "B" to cell 00, then "C" takes its square root.
    const Outcome run = cli({"run", p.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Type mismatch byte 68 op 67 C\nProgram Ended\n");

    // Listing arbitrary code and building the listing gives a program file, whatever it held.
    const Outcome listing = cli({"disasm", p.string()});
    ASSERT_EQ(listing.status, 0);
    const fs::path rebuilt = build("listing", listing.out);
    EXPECT_TRUE(fs::exists(rebuilt));

    // As a source the bytes hold no mnemonic at all: the program is its line end only.
    const fs::path src = file("all.tsasm", bytes);
    const Outcome built = cli({"build", "-o", "-", src.string()});
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.out, "\r\n");
}

TEST_F(Robustness, NinetyNineLabelsRunAHundredthIsRefused) {
    std::string labels;
    for (int i = 0; i < 99; ++i)
        labels += " v";
    Outcome o = cli({"run", file("99.tsp", labels + "p").string()});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "Program Terminated\n");

    const fs::path hundred = file("100.tsp", labels + " vp");
    o = cli({"run", hundred.string()});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err,
              "tessivor-cli run: " + hundred.string() + ": more than 99 labels; nothing ran\n");
    o = cli({"run", "--events", hundred.string()});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(lastLine(o.out), R"({"end": "prepare-failed", "steps": 0})");

    // The assembler writes a hundredth label without complaint; the listing marks it.
    std::string source;
    for (int i = 0; i < 100; ++i)
        source += "lbl 01\r\n";
    const fs::path program = build("labels", source + "end\r\n");
    EXPECT_EQ(cli({"run", program.string()}).status, 3);
    EXPECT_THAT(cli({"disasm", program.string()}).out, HasSubstr("label 100: past the last label"));
}

TEST_F(Robustness, AppendWithNothingAfterItIsASubscriptError) {
    const Outcome o = cli({"run", file("lastA.tsp", "a01sA").string()});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "Subscript out of range byte 5 op 65 A\nProgram Ended\n");
}

TEST_F(Robustness, HundredMegabyteProgramRunsInBoundedMemory) {
    // 100 MB of idle operations: prepared, stepped through and run past the end.
    const fs::path p = file("big.tsp", std::string(100'000'000, ' '));
    const Outcome o = cli({"run", "--events", p.string()});
    EXPECT_EQ(o.status, 2) << o.err;
    EXPECT_THAT(lastLine(o.out),
                StartsWith(R"({"end": "past-end", "steps": 100000001, "pc": 100000001, )"));
    // The preparation's tables take 12 bytes a position and the file one; past 16M positions
    // the fast loop keeps no table of its own: about 1.3 GB. Far more would mean a table grows
    // out of proportion.
    EXPECT_LT(o.peakKilobytes, 4'000'000);
}

TEST_F(Robustness, FilesThatCannotBeReadAreNamedWithTheReason) {
    const std::string dir = dir_.string();
    Outcome o = cli({"run", dir});
    EXPECT_EQ(o.status, 66);
    EXPECT_EQ(o.err, "tessivor-cli run: " + dir + ": Is a directory\n");
    o = cli({"build", dir});
    EXPECT_EQ(o.status, 66);
    EXPECT_EQ(o.err, "tessivor-cli build: cannot read " + dir + ": Is a directory\n");
    o = cli({"disasm", dir});
    EXPECT_EQ(o.status, 66);
    EXPECT_EQ(o.err, "tessivor-cli disasm: cannot read " + dir + ": Is a directory\n");

    const std::string missing = (dir_ / "missing.tsp").string();
    o = cli({"run", missing});
    EXPECT_EQ(o.status, 66);
    EXPECT_EQ(o.err, "tessivor-cli run: " + missing + ": No such file or directory\n");

#if !defined(_WIN32)
    // A file that opens but fails to read, even for root. (Windows has no such file; Wine would
    // find Linux's through its drive Z:.)
    if (fs::exists("/proc/self/mem")) {
        o = cli({"run", "/proc/self/mem"});
        EXPECT_EQ(o.status, 66);
        EXPECT_EQ(o.err, "tessivor-cli run: /proc/self/mem: Input/output error\n");
    }
#endif

    const fs::path locked = file("locked.tsp", "p");
    fs::permissions(locked, fs::perms::none);
    o = cli({"run", locked.string()});
#if defined(_WIN32)
    EXPECT_EQ(o.status, 0); // on Windows this makes the file read-only, not unreadable
#else
    if (geteuid() == 0) {
        EXPECT_EQ(o.status, 0); // permission bits do not stop root
    } else {
        EXPECT_EQ(o.status, 66);
        EXPECT_EQ(o.err, "tessivor-cli run: " + locked.string() + ": Permission denied\n");
    }
#endif
    fs::permissions(locked, fs::perms::owner_all); // so that TearDown can remove it
}

TEST_F(Robustness, FoldersOfSubmissionsKeepTheirNonAsciiNames) {
    // "grüß" and "é" in the system's narrow text, as the command line has them: UTF-8 here, the
    // ANSI code page on Windows.
#if defined(_WIN32)
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    const std::string gruss = "gr\xfc\xdf", e = "\xe9";
#else
    const std::string gruss = "gr\xc3\xbc\xc3\x9f", e = "\xc3\xa9";
#endif
    const auto named = [](const std::string& narrow) {
#if defined(_WIN32)
        return fs::path(wide(narrow));
#else
        return fs::path(narrow);
#endif
    };
    const fs::path spec = file("spec.toml", "[[case]]\nname = \"hello\"\noutput = [\"Hello\"]\n");
    const std::string hello = "set 01, Hello;\ndsp 01\nend\n";
    const std::string ascii = (dir_ / "asciidir").string();
    const std::string accented = (dir_ / "nonascii_").string() + e;
    fs::create_directories(named(ascii));
    fs::create_directories(named(accented));
    writeAll(named(ascii) / named(gruss + ".tsasm"), hello);
    writeAll(named(accented) / "a.tsasm", hello);
    for (const auto& [folder, name] :
         {std::pair{ascii, gruss + ".tsasm"}, std::pair{accented, std::string("a.tsasm")}}) {
        const Outcome o = cli({"test", spec.string(), folder});
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_THAT(o.out, HasSubstr(name + ": 1 of 1 cases passed")) << o.out;
    }
}

TEST_F(Robustness, InputsWithoutEndAreRefusedBeforeTheyFillTheMemory) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no device that never ends, like /dev/zero";
#endif
    // A program file, a source and a reply from a device that never ends.
    Outcome o = cli({"run", "/dev/zero"});
    EXPECT_EQ(o.status, 66);
    EXPECT_EQ(o.err, "tessivor-cli run: /dev/zero: File too large\n");
    o = cli({"build", "-"}, "/dev/zero");
    EXPECT_EQ(o.status, 66);
    EXPECT_EQ(o.err, "tessivor-cli build: cannot read -: File too large\n");

    const fs::path ask = build("ask", "inp 01, 02\r\nend\r\n");
    o = cli({"run", ask.string()}, "/dev/zero");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "Out of string space byte 8 op 111 o\nProgram Ended\n");
}

TEST_F(Robustness, FilesAreReadUpToTheLimitExactly) {
    const fs::path p = file("four.tsp", "abcd");
    std::string text = "kept", reason;
    EXPECT_TRUE(tessivor::platform::readWholeFile(p, text, reason, 4));
    EXPECT_EQ(text, "abcd");
    text = "kept";
    EXPECT_FALSE(tessivor::platform::readWholeFile(p, text, reason, 3));
    EXPECT_EQ(reason, "File too large");
    EXPECT_EQ(text, "kept");
    // Past the first read's buffer, too.
    const fs::path big = file("big.tsp", std::string(200'000, 'p'));
    EXPECT_TRUE(tessivor::platform::readWholeFile(big, text, reason, 200'000));
    EXPECT_EQ(text.size(), 200'000u);
    EXPECT_FALSE(tessivor::platform::readWholeFile(big, text, reason, 199'999));
}

TEST_F(Robustness, RepliesUpToTheCellLimitAreTaken) {
    const fs::path ask = build("ask", "inp 01, 02\r\nend\r\n");
    const std::string longest(kCellLimit, 'x');
    Outcome o = cli({"run", ask.string()}, file("fits.txt", longest + "\r\n"));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "Program Terminated\n");
    o = cli({"run", ask.string()}, file("too-long.txt", longest + "x\n"));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "Out of string space byte 8 op 111 o\nProgram Ended\n");
}

TEST_F(Robustness, TextThatDoublesRunsOutOfStringSpace) {
    const fs::path p = build("double", "set 00, 1;\r\nset 01, a;\r\nlbl 01\r\n"
                                       "apd 01, 01\r\ngto 00\r\n");
    const Outcome o = cli({"run", "--events", p.string()});
    EXPECT_EQ(o.status, 1);
    const std::string end = lastLine(o.out);
    // 26 doublings of six steps each, and four steps of the 27th.
    EXPECT_THAT(end,
                StartsWith(R"({"end": "error", "steps": 168, "failure": "out of string space", )"));
    // Cell 01 is left as it was before the failing step: exactly at the limit.
    EXPECT_GT(end.size(), kCellLimit);
    EXPECT_LT(end.size(), kCellLimit + 1000);
    EXPECT_THAT(o.out, HasSubstr(R"({"message": "Out of string space byte 22 op 120 x"})"));
}

TEST_F(Robustness, SourcesOfOneWord) {
    // A comment mark alone hides itself: the program is its line end.
    const fs::path comment = build("comment", "//");
    EXPECT_EQ(readAll(comment), "\r\n");
    EXPECT_EQ(cli({"run", comment.string()}).status, 2);

    // "set" with no text and no ";": the failure names the place after the last character.
    const fs::path set = file("set.tsasm", "set");
    const Outcome o = cli({"build", set.string()});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "Error Compiling.\n" + set.string() +
                         ":1:4: the text of the \"set\" at 1:1 has no closing \";\"\n");
    EXPECT_FALSE(fs::exists(dir_ / "set.tsp"));
}

TEST_F(Robustness, NulBytesPassThroughAsBytes) {
    using namespace std::string_literals;
    // Not "nul": on Windows that name, with any extension, is the null device.
    const fs::path p = build("nul-byte", "set 01, a\0b;\r\ndsp 01\r\nend\r\n"s);
    EXPECT_EQ(readAll(p), "a01sAaA\0Aba01wp\r\n"s);
    // The machine reads an unrecognised character as the digit 0.
    const Outcome o = cli({"run", "--events", p.string()});
    EXPECT_EQ(o.status, 0);
    EXPECT_THAT(o.out, HasSubstr(R"({"display": "a0b"})"));
    // The listing keeps the byte, and building it gives the same program.
    const Outcome listing = cli({"disasm", p.string()});
    EXPECT_EQ(listing.out, "set 01, a\0b;\r\ndsp 01\r\nend\r\n"s);
    // The debugger shows a reply that holds one whole, in the text as in JSON.
    const fs::path ask = build("ask", "inp 10, 01\r\ndsp 01\r\nend\r\n");
    const fs::path reply = file("reply.txt", "a\0b\n"s);
    const fs::path script = file("script.txt", "continue\nprint 01\n");
    const Outcome text =
        cli({"debug", "--input", reply.string(), "-x", script.string(), ask.string()});
    EXPECT_THAT(text.out, HasSubstr("display: a\0b\n"s));
    EXPECT_THAT(text.out, HasSubstr("01 = \"a\0b\"\n"s));
    const Outcome json =
        cli({"debug", "--json", "--input", reply.string(), "-x", script.string(), ask.string()});
    EXPECT_THAT(json.out, HasSubstr(R"("print": {"01": "a\u0000b"})"));
}

// Inputs the fuzzers found, kept in fuzz/regressions/: each must run alike in the plain and
// the fast interpreter. On the virtual clock "l" reads alike in both; captions are left out.
TEST_F(Robustness, FuzzFindingsRunAlikeInBothInterpreters) {
    const auto withoutCaptions = [](const std::string& events) {
        std::string kept;
        std::size_t start = 0;
        while (start < events.size()) {
            const std::size_t end = events.find('\n', start);
            const std::string line = events.substr(start, end - start);
            if (line.rfind(R"({"caption": )", 0) != 0) kept += line + "\n";
            start = end == std::string::npos ? events.size() : end + 1;
        }
        return kept;
    };
    int programs = 0;
    for (const auto& entry : fs::directory_iterator(TESSIVOR_FUZZ_REGRESSIONS)) {
        if (entry.path().extension() != ".tsp") continue;
        ++programs;
        const std::string p = entry.path().string();
        const Outcome plain = cli({"run", "--events", "--plain", "--seed", "1", "--clock",
                                   "virtual", "--max-steps", "20000", p});
        const Outcome fast = cli(
            {"run", "--events", "--seed", "1", "--clock", "virtual", "--max-steps", "20000", p});
        EXPECT_EQ(withoutCaptions(plain.out), withoutCaptions(fast.out)) << p;
        EXPECT_EQ(plain.status, fast.status) << p;
    }
    EXPECT_GT(programs, 0);
}

} // namespace
