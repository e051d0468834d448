// The installer as a user meets it, under Wine: a silent install, what it puts where, a .tsp
// opened through the association, and a silent uninstall that leaves nothing behind. One test,
// its steps in order: each builds on the one before.

#include "platform/win32_testing.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tessivor::platform::testing::childrenOf;
using tessivor::platform::testing::classOf;
using tessivor::platform::testing::findChild;
using tessivor::platform::testing::Process;
using tessivor::platform::testing::textOf;
using tessivor::platform::testing::waitForWindow;

fs::path knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, &path))) return {};
    fs::path folder(path);
    CoTaskMemFree(path);
    return folder;
}

/// The default value of a key under HKLM, in the 64-bit view; nothing when the key is missing.
std::optional<std::wstring> machineValue(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
                     nullptr, value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(value);
}

bool machineKeyExists(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

/// What the shell runs to open a .tsp; nothing when no program is registered.
std::optional<std::wstring> openCommand() {
    wchar_t command[1024] = {};
    DWORD size = 1024;
    if (FAILED(AssocQueryStringW(0, ASSOCSTR_COMMAND, L".tsp", L"open", command, &size)))
        return std::nullopt;
    return std::wstring(command);
}

const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kUninstall =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessivor";

TEST(WindowsInstaller, InstallsOpensProgramFilesAndUninstallsWithoutATrace) {
    const fs::path setup = TESSIVOR_SETUP;
    ASSERT_TRUE(fs::exists(setup))
        << setup << " is missing: build it first (make windows-installer)";
    const fs::path folder = knownFolder(FOLDERID_ProgramFilesX64) / "Tessivor";
    const fs::path menu = knownFolder(FOLDERID_CommonPrograms) / "Tessivor";
    ASSERT_FALSE(fs::exists(folder)) << "an earlier installation is in the way";

    // Silent install.
    {
        Process installer(setup, L" /S");
        ASSERT_TRUE(installer.started());
        EXPECT_EQ(installer.wait(120s), 0u);
    }
    for (const char* file :
         {"tessivor.exe", "tessivor-asm.exe", "tessivor-cli.exe", "Uninstall.exe", "README.md",
          "LICENSE.txt", "docs/language.md", "docs/screenshots/runner.png", "examples/hello.tsasm",
          "examples/hello.tsp", "examples/hello.toml"}) {
        EXPECT_TRUE(fs::is_regular_file(folder / file)) << file;
    }
    for (const char* link : {"Tessivor.lnk", "Tessivor ASM.lnk", "Tessivor Guide.lnk"})
        EXPECT_TRUE(fs::is_regular_file(menu / link)) << link;

    const std::wstring runner = (folder / "tessivor.exe").wstring();
    const std::wstring command = L"\"" + runner + L"\" \"%1\"";
    EXPECT_EQ(machineValue(kClasses + L".tsp"), L"Tessivor.Program");
    EXPECT_EQ(machineValue(kClasses + L"Tessivor.Program\\shell\\open\\command"), command);
    EXPECT_EQ(openCommand(), command);
    EXPECT_EQ(machineValue(kUninstall, L"DisplayName"), L"Tessivor");
    EXPECT_EQ(machineValue(kUninstall, L"DisplayVersion"), L"0.1");
    EXPECT_EQ(machineValue(kUninstall, L"UninstallString"),
              L"\"" + (folder / "Uninstall.exe").wstring() + L"\"");

    // A program file opened as Explorer opens it, from a folder with a blank in its name.
    const fs::path mine = fs::temp_directory_path() / "my programs";
    fs::create_directories(mine);
    fs::copy_file(folder / "examples" / "hello.tsp", mine / "hello.tsp",
                  fs::copy_options::overwrite_existing);
    SHELLEXECUTEINFOW open{};
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_NOCLOSEPROCESS;
    open.lpVerb = L"open";
    const std::wstring opened = (mine / "hello.tsp").wstring();
    open.lpFile = opened.c_str();
    open.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&open)) << GetLastError();
    ASSERT_TRUE(open.hProcess);
    const DWORD id = GetProcessId(open.hProcess);
    HWND box = waitForWindow(id, L"Tessivor");
    ASSERT_TRUE(box) << "no message box";
    EXPECT_TRUE(findChild(box, L"Static", L"Program Terminated"));
    HWND form =
        waitForWindow(id, [](const std::wstring& t) { return t.starts_with(L"Tessivor 0.1"); });
    ASSERT_TRUE(form);
    EXPECT_EQ(textOf(findChild(form, L"Edit")), L"Hello, world!");
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(open.hProcess, 5000), WAIT_OBJECT_0);
    CloseHandle(open.hProcess);
    fs::remove_all(mine);

    // Silent uninstall: it runs on from a copy of itself, so the test waits for its work.
    {
        Process uninstaller(folder / "Uninstall.exe", L" /S");
        ASSERT_TRUE(uninstaller.started());
        EXPECT_EQ(uninstaller.wait(60s), 0u);
    }
    for (int i = 0; i < 300 && (fs::exists(folder) || machineKeyExists(kUninstall)); ++i)
        Sleep(100);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(menu));
    EXPECT_FALSE(machineKeyExists(kClasses + L".tsp"));
    EXPECT_FALSE(machineKeyExists(kClasses + L"Tessivor.Program"));
    EXPECT_FALSE(machineKeyExists(kUninstall));
    EXPECT_EQ(openCommand(), std::nullopt);
}

} // namespace
