// The runner's Win32 window: in this process on fake dialogs and boxes (its controls as
// designed), and tessivor.exe started as a user starts it, its windows read and answered by
// their controls (under Wine with a display).

#include "runner/window/win32_form1.h"

#include "assembler/translate/compiletext.h"
#include "platform/fake_dialogs.h"
#include "platform/out_of_memory.h"
#include "platform/win32_testing.h"
#include "platform/win32_window.h"
#include "runner/window/start_up.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <regex>

namespace tessivor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::testing::childrenOf;
using platform::testing::classOf;
using platform::testing::menuItems;
using platform::testing::Process;
using platform::testing::quoted;
using platform::testing::textOf;
using platform::testing::waitForWindow;

class RunnerWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tessivor runner " + std::to_string(std::random_device{}())); // a blank inside
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    /// Writes the program file for the source `tsasm`, as the assembler would.
    fs::path program(const fs::path& name, const std::string& tsasm) {
        const Translation translation = compiletext(tsasm);
        EXPECT_TRUE(translation.ok) << tsasm;
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << translation.code << "\r\n";
        return path;
    }

    fs::path dir_;
};

// ---- The window in this process

TEST_F(RunnerWin32Test, TheWindowIsAsDesigned) {
    win32::Form1 form(std::make_unique<platform::testing::FakeFileDialog>(),
                      std::make_unique<platform::testing::FakeBoxes>());
    form.show(SW_SHOWNORMAL);
    HWND window = form.hwnd();
    EXPECT_EQ(textOf(window), L"Tessivor 0.1");
    HMENU bar = GetMenu(window);
    EXPECT_EQ(menuItems(bar), std::vector<std::wstring>{L"App"});
    EXPECT_EQ(menuItems(GetSubMenu(bar, 0)),
              (std::vector<std::wstring>{L"Load and Run Program",
                                         L"Save Memory to File (State Save) (grey)",
                                         L"Load Memory From File (State Load) (grey)", L"Exit"}));
    const unsigned dpi = platform::dpiOf(window);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, platform::scaled(304, dpi));
    EXPECT_EQ(client.bottom, platform::scaled(19, dpi));

    HWND t1 = platform::testing::findChild(window, L"Edit");
    ASSERT_TRUE(t1);
    RECT box;
    GetWindowRect(t1, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, platform::scaled(305, dpi));
    EXPECT_EQ(box.bottom, platform::scaled(19, dpi));
    const auto style = GetWindowLongPtrW(t1, GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_FALSE(style & ES_MULTILINE);
    EXPECT_EQ(textOf(t1), L"");

    // White behind black text, whatever the system's colours.
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(t1)));
    LOGBRUSH colour{};
    GetObjectW(brush, sizeof colour, &colour);
    EXPECT_EQ(colour.lbColor, RGB(255, 255, 255));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    DeleteDC(dc);
}

/// Boxes that note what `t1` shows while each one is open.
struct DisplayBoxes : platform::testing::FakeBoxes {
    HWND t1 = nullptr;
    std::vector<std::wstring> displayed;
    void messageBox(std::string_view title, std::string_view text) override {
        displayed.push_back(textOf(t1));
        FakeBoxes::messageBox(title, text);
    }
    std::string inputBox(std::string_view title, std::string_view prompt) override {
        displayed.push_back(textOf(t1));
        return FakeBoxes::inputBox(title, prompt);
    }
};

TEST_F(RunnerWin32Test, ARunShowsItsTextsThroughTheWindow) {
    auto boxes = std::make_unique<DisplayBoxes>();
    DisplayBoxes& shown = *boxes;
    boxes->replies = {"caf\xe9"};
    win32::Form1 form(std::make_unique<platform::testing::FakeFileDialog>(), std::move(boxes));
    HWND t1 = platform::testing::findChild(form.hwnd(), L"Edit");
    shown.t1 = t1;
    // Shows "one", asks with the prompt "n?", shows the reply, ends: each box sees the display
    // as the program left it.
    form.runprogram("a01sAoAnAea01wa01sAnA?a01ba02oa02wp\r\n");
    EXPECT_EQ(textOf(t1), L"caf\u00e9");
    EXPECT_EQ(shown.prompts.front().text, "n?");
    EXPECT_EQ(shown.displayed, (std::vector<std::wstring>{L"one", L"caf\u00e9"}));
    // A program that ends without a box leaves its last text shown too; no length cut.
    std::string longText = "a01s";
    for (int i = 0; i < 70'000; ++i)
        longText += "Ax";
    form.runprogram(longText + "a01w");
    EXPECT_EQ(textOf(t1).size(), 70'000u);
    EXPECT_EQ(textOf(form.hwnd()), L"Tessivor 0.1 - 0.00mhz");
}

TEST_F(RunnerWin32Test, TheDisplayHasAnAccessibleName) {
    win32::Form1 form(std::make_unique<platform::testing::FakeFileDialog>(),
                      std::make_unique<platform::testing::FakeBoxes>());
    CoInitialize(nullptr);
    IAccessible* accessible = nullptr;
    ASSERT_HRESULT_SUCCEEDED(AccessibleObjectFromWindow(
        platform::testing::findChild(form.hwnd(), L"Edit"), static_cast<DWORD>(OBJID_CLIENT),
        __uuidof(IAccessible), reinterpret_cast<void**>(&accessible)));
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    ASSERT_HRESULT_SUCCEEDED(accessible->get_accName(self, &name));
    EXPECT_EQ(std::wstring(name ? name : L""), L"Program output");
    SysFreeString(name);
    accessible->Release();
}

/// Boxes that find no memory for their text.
struct OutOfMemoryBoxes : platform::testing::FakeBoxes {
    void messageBox(std::string_view, std::string_view) override { throw std::bad_alloc(); }
};

TEST_F(RunnerWin32Test, RunningOutOfMemoryInACommandEndsWithOneLineAndStatus70) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path hello = program("hello.tsp", "set 01, hi;\r\ndsp 01\r\nend\r\n");
    EXPECT_EXIT(
        {
            platform::reportOutOfMemoryAtExit("tessivor");
            auto dialog = std::make_unique<platform::testing::FakeFileDialog>();
            dialog->answers = {hello.string()};
            win32::Form1 form(std::move(dialog), std::make_unique<OutOfMemoryBoxes>());
            // Through the window procedure, as a click on the menu comes.
            SendMessageW(form.hwnd(), WM_COMMAND, win32::Form1::kLarp, 0);
        },
        ::testing::ExitedWithCode(70), "tessivor: out of memory");
}

// ---- tessivor.exe as a user starts it

std::string utf8(const std::wstring& text) { return platform::utf8FromWide(text); }

/// The message box of the process, once it is open.
HWND messageBox(DWORD process) {
    return waitForWindow(process, [](const std::wstring& title) { return title == L"Tessivor"; });
}

/// The text a message box shows.
std::wstring boxText(HWND box) {
    for (HWND child : childrenOf(box)) {
        if (classOf(child) == L"Static" && !textOf(child).empty()) return textOf(child);
    }
    return {};
}

const fs::path kRunner = TESSIVOR_RUNNER;

TEST_F(RunnerWin32Test, AQuotedPathOnTheCommandLineRunsAtOnce) {
    fs::copy_file(fs::path(TESSIVOR_EXAMPLES_DIR) / "hello.tsp", dir_ / "hello.tsp");
    Process runner(kRunner, L" " + quoted(dir_ / "hello.tsp"));
    ASSERT_TRUE(runner.started());
    HWND box = messageBox(runner.id());
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ(boxText(box), L"Program Terminated");
    HWND form = waitForWindow(runner.id(),
                              [](const std::wstring& t) { return t.starts_with(L"Tessivor 0.1"); });
    ASSERT_TRUE(form);
    EXPECT_EQ(textOf(platform::testing::findChild(form, L"Edit")), L"Hello, world!");
    // Closing while the box is open ends the program at once.
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(runner.wait(5s), 0u);
}

TEST_F(RunnerWin32Test, ARunawayLoopShowsItsSpeedAndAClickOnTheCloseBoxEndsIt) {
    const fs::path loop = program("loop.tsp", "set 90, 1;\r\nlbl 01\r\ngto 90\r\n");
    Process runner(kRunner, L" " + quoted(loop));
    const std::wregex speed(L"Tessivor 0\\.1 - ([0-9]+\\.[0-9][0-9])mhz");
    std::wstring caption;
    HWND form = waitForWindow(runner.id(), [&](const std::wstring& t) {
        std::wsmatch m;
        if (!std::regex_match(t, m, speed) || std::stod(m[1].str()) <= 0) return false;
        caption = t;
        return true;
    });
    ASSERT_TRUE(form) << "no speed in the caption";
    // Where the close box is: at the right of the caption, as the system's sizes say; the
    // window confirms it once the loop lets a question in, at its next speed display.
    RECT frame;
    GetWindowRect(form, &frame);
    const auto hitAt = [form](POINT p) {
        DWORD_PTR hit = 0;
        SendMessageTimeoutW(form, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y), SMTO_NORMAL, 3000, &hit);
        return hit;
    };
    const int edge = GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
    POINT close{frame.right - edge - GetSystemMetrics(SM_CXSIZE) / 2,
                frame.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYSIZE) / 2};
    if (hitAt(close) != HTCLOSE) {
        close.x = -1;
        for (int x = frame.right - 2; x > frame.right - 60 && close.x < 0; x -= 4) {
            if (hitAt({x, close.y}) == HTCLOSE) close.x = x;
        }
    }
    ASSERT_GE(close.x, 0) << "no close box found";
    SetCursorPos(close.x, close.y);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    EXPECT_EQ(runner.wait(5s), 0u) << "still running after the click; caption " << caption.size();
}

TEST_F(RunnerWin32Test, LoadAndRunProgramRunsTheChosenFileAndACancelRunsNothing) {
    // A name the ANSI code page cannot spell: the dialog's own name is used.
    const fs::path hello = dir_ / L"hello \u03a9.tsp";
    fs::copy_file(fs::path(TESSIVOR_EXAMPLES_DIR) / "hello.tsp", hello);
    Process runner(kRunner, L"");
    HWND form = waitForWindow(runner.id(), L"Tessivor 0.1");
    ASSERT_TRUE(form) << "no idle window";
    HWND t1 = platform::testing::findChild(form, L"Edit");
    EXPECT_EQ(textOf(t1), L"");

    PostMessageW(form, WM_COMMAND, win32::Form1::kLarp, 0);
    HWND open = waitForWindow(runner.id(), L"Open");
    ASSERT_TRUE(open) << "no Open dialog";
    EXPECT_EQ(textOf(GetDlgItem(open, 0x470)), L"Tessivor Program (*.tsp)"); // the file types
    platform::testing::answerFileDialog(open, hello.wstring());
    HWND box = messageBox(runner.id());
    ASSERT_TRUE(box);
    EXPECT_EQ(boxText(box), L"Program Terminated");
    EXPECT_EQ(textOf(t1), L"Hello, world!");
    platform::testing::pressButton(box, L"OK");

    // The dialog offers the file chosen before; cancelled, it runs nothing.
    SetWindowTextW(t1, L"");
    PostMessageW(form, WM_COMMAND, win32::Form1::kLarp, 0);
    open = waitForWindow(runner.id(), L"Open");
    ASSERT_TRUE(open);
    HWND name = GetDlgItem(open, 0x47C); // the file name box
    if (!name) name = GetDlgItem(open, 0x480);
    EXPECT_TRUE(textOf(name).ends_with(L"hello \u03a9.tsp")) << utf8(textOf(name));
    platform::testing::pressButton(open, L"Cancel");
    EXPECT_FALSE(waitForWindow(runner.id(), L"Tessivor", 1500ms));
    EXPECT_EQ(textOf(t1), L"");

    PostMessageW(form, WM_COMMAND, win32::Form1::kExit, 0);
    EXPECT_EQ(runner.wait(5s), 0u);
}

TEST_F(RunnerWin32Test, LoadAndRunProgramDuringDoeRunsANestedProgramFirst) {
    // Shows "ou", then lets events in for four seconds, then shows "after".
    const fs::path outer = program("outer.tsp", "set 01, ou;\r\ndsp 01\r\nset 03, 4000;\r\n"
                                                "set 90, 1;\r\ntic 02\r\nlbl 01\r\ndoe\r\n"
                                                "tic 04\r\nsub 04, 02, 05\r\nifl 05, 03\r\n"
                                                "gto 90\r\neif\r\nset 01, after;\r\ndsp 01\r\n"
                                                "end\r\n");
    const fs::path inner = program("inner.tsp", "set 01, inner;\r\ndsp 01\r\nend\r\n");
    Process runner(kRunner, L" " + quoted(outer));
    HWND form = waitForWindow(runner.id(),
                              [](const std::wstring& t) { return t.starts_with(L"Tessivor 0.1"); });
    ASSERT_TRUE(form);
    HWND t1 = platform::testing::findChild(form, L"Edit");
    PostMessageW(form, WM_COMMAND, win32::Form1::kLarp, 0);
    HWND open = waitForWindow(runner.id(), L"Open");
    ASSERT_TRUE(open) << "the menu command waited for no doe";
    EXPECT_EQ(textOf(t1), L"ou");
    platform::testing::answerFileDialog(open, inner.wstring());
    for (const wchar_t* shown : {L"inner", L"after"}) {
        HWND box = messageBox(runner.id());
        ASSERT_TRUE(box);
        EXPECT_EQ(boxText(box), L"Program Terminated");
        EXPECT_EQ(textOf(t1), shown);
        platform::testing::pressButton(box, L"OK");
        // The next box may only come once this one has gone.
        for (int i = 0; i < 100 && IsWindow(box); ++i)
            Sleep(20);
    }
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(runner.wait(5s), 0u);
}

// ---- The programs' resources

/// The text of the resource `name` of type `type` in `exe`.
std::string resourceText(const fs::path& exe, LPCWSTR name, LPCWSTR type) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return "(cannot open)";
    std::string text;
    if (HRSRC found = FindResourceW(module, name, type)) {
        const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
        text.assign(bytes, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

std::wstring versionString(const fs::path& exe, const wchar_t* field) {
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    if (info.empty() ||
        !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()))
        return L"(no version)";
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + field;
    if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
        return L"(none)";
    return value;
}

TEST(WindowsPrograms, CarryTheirIconVersionAndManifest) {
    for (const fs::path& exe : {fs::path(TESSIVOR_RUNNER), fs::path(TESSIVOR_EDITOR)}) {
        SCOPED_TRACE(exe.string());
        const std::string manifest = resourceText(exe, MAKEINTRESOURCEW(1), RT_MANIFEST);
        EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
                  std::string::npos);
        EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor<"), std::string::npos);
        EXPECT_NE(manifest.find(">true/pm<"), std::string::npos);
        EXPECT_FALSE(resourceText(exe, MAKEINTRESOURCEW(1), RT_GROUP_ICON).empty());
        EXPECT_EQ(versionString(exe, L"FileVersion"), L"0.1");
        EXPECT_EQ(versionString(exe, L"ProductVersion"), L"0.1");
        EXPECT_EQ(versionString(exe, L"OriginalFilename"), exe.filename().wstring());
    }
}

} // namespace
} // namespace tessivor
