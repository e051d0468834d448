// The runner's argument text as Windows gives it: the raw command line after the program's
// name, quotes and blanks kept, in the ANSI code page. Each case starts argument_echo with a
// command line of its own and reads back what it took as its argument text.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <windows.h>

namespace {

namespace fs = std::filesystem;

/// The argument text argument_echo finds in `arguments`, the part of its command line after
/// its own quoted name.
std::string echoed(const std::wstring& arguments) {
    const fs::path out =
        fs::temp_directory_path() / ("tessivor-argument-" + std::to_string(GetCurrentProcessId()));
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE file = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(no output file)";
    std::wstring line = L"\"" + fs::path(TESSIVOR_ARGUMENT_ECHO).wstring() + L"\"" + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = file;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(file);
    if (!started) return "(did not start)";
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ifstream in(out, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    in.close();
    fs::remove(out);
    return text;
}

TEST(WindowsArgumentText, IsTheRawTextAfterTheProgramName) {
    EXPECT_EQ(echoed(L""), "");
    EXPECT_EQ(echoed(L" \"C:\\My Programs\\hello.tsp\""), "\"C:\\My Programs\\hello.tsp\"");
    // Without quotes the start-up drops two characters of the name itself; nothing here mends
    // that, and blanks inside and after are kept.
    EXPECT_EQ(echoed(L"   hello.tsp "), "hello.tsp ");
    EXPECT_EQ(echoed(L" \"a b\"  \"c\""), "\"a b\"  \"c\"");
    EXPECT_EQ(echoed(L" \"x\""), "\"x\"");
}

TEST(WindowsArgumentText, IsInTheAnsiCodePage) {
    BOOL lossy = FALSE;
    char bytes[8] = {};
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\u00e9", -1, bytes, sizeof bytes, nullptr,
                        &lossy);
    if (lossy)
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " has no \"e\" with an acute accent";
    EXPECT_EQ(echoed(L" \"caf\u00e9.tsp\""), "\"caf" + std::string(bytes) + ".tsp\"");
}

} // namespace
