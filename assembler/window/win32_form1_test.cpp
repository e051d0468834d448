// The editor's Win32 window: in this process on fake dialogs and boxes (its controls as
// designed, what it reads and writes), and tessivor-asm.exe started as a user starts it, its
// dialogs answered by their controls and what it compiles held against tessivor-cli.exe.

#include "assembler/window/win32_form1.h"

#include "platform/fake_dialogs.h"
#include "platform/files.h"
#include "platform/out_of_memory.h"
#include "platform/win32_testing.h"
#include "platform/win32_window.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <filesystem>
#include <new>
#include <random>

namespace tessivor::assembler {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::testing::FakeBoxes;
using platform::testing::FakeFileDialog;
using platform::testing::findChild;
using platform::testing::menuItems;
using platform::testing::Process;
using platform::testing::quoted;
using platform::testing::textOf;
using platform::testing::waitForWindow;

std::string bytesOf(const fs::path& path) {
    std::string bytes, reason;
    EXPECT_TRUE(platform::readWholeFile(path, bytes, reason)) << path << ": " << reason;
    return bytes;
}

class EditorWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tessivor editor " + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    /// Chooses the menu item of the window in this process, the dialog answering `answer`.
    void choose(win32::Form1::Command item, std::optional<std::string> answer = std::nullopt) {
        if (answer) dialog.answers = {*answer};
        SendMessageW(form.hwnd(), WM_COMMAND, item, 0);
    }
    HWND t1() const { return findChild(form.hwnd(), L"Edit"); }
    std::pair<DWORD, DWORD> selection() const {
        DWORD start = 0, end = 0;
        SendMessageW(t1(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }

    fs::path dir_;
    FakeFileDialog dialog;
    FakeBoxes boxes;
    win32::Form1 form{dialog, boxes};
};

// ---- The window in this process

TEST_F(EditorWin32Test, TheWindowIsAsDesigned) {
    form.show(SW_SHOWNORMAL);
    HWND window = form.hwnd();
    EXPECT_EQ(textOf(window), L"Tessivor ASM");
    EXPECT_EQ(menuItems(GetMenu(window)), std::vector<std::wstring>{L"File"});
    EXPECT_EQ(menuItems(GetSubMenu(GetMenu(window), 0)),
              (std::vector<std::wstring>{L"New", L"Save", L"Load", L"Compile", L"Exit"}));
    const unsigned dpi = platform::dpiOf(window);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, platform::scaled(264, dpi));
    EXPECT_EQ(client.bottom, platform::scaled(312, dpi));
    RECT box;
    GetWindowRect(t1(), &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, platform::scaled(265, dpi));
    EXPECT_EQ(box.bottom, platform::scaled(313, dpi));
    // A vertical scroll bar, no horizontal one: long lines wrap.
    const auto style = GetWindowLongPtrW(t1(), GWL_STYLE);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_FALSE(style & WS_HSCROLL);
    EXPECT_FALSE(style & ES_AUTOHSCROLL);

    // Lucida Console at 8.25 points, or a monospaced face where it is missing.
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(t1(), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(825, static_cast<int>(dpi), 7200));
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
    HDC dc = GetDC(t1());
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(t1(), WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(t1(), dc);
    EXPECT_FALSE(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) << font.lfFaceName; // set: variable
}

TEST_F(EditorWin32Test, TheEditorBoxHasAnAccessibleName) {
    CoInitialize(nullptr);
    IAccessible* accessible = nullptr;
    ASSERT_HRESULT_SUCCEEDED(AccessibleObjectFromWindow(t1(), static_cast<DWORD>(OBJID_CLIENT),
                                                        __uuidof(IAccessible),
                                                        reinterpret_cast<void**>(&accessible)));
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    ASSERT_HRESULT_SUCCEEDED(accessible->get_accName(self, &name));
    EXPECT_EQ(std::wstring(name ? name : L""), L"Assembly source");
    SysFreeString(name);
    accessible->Release();
}

TEST_F(EditorWin32Test, TextIsSavedAndLoadedInTheAnsiCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    SetWindowTextW(t1(), L"caf\u00e9 \u20ac\r\n\u221e");
    choose(win32::Form1::kSave, (dir_ / "a.tsasm").string());
    EXPECT_EQ(bytesOf(dir_ / "a.tsasm"), "caf\xe9 \x80\r\n?\r\n"); // no look-alike for infinity
    choose(win32::Form1::kNew);
    EXPECT_EQ(textOf(t1()), L"");
    choose(win32::Form1::kLoad, (dir_ / "a.tsasm").string());
    EXPECT_EQ(textOf(t1()), L"caf\u00e9 \u20ac\r\n?");
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(EditorWin32Test, ATenMegabyteSourceLoadsAndSavesWhole) {
    std::string source;
    while (source.size() < 10'000'000)
        source += "set 01, a long line of text that the edit box wraps at its edge;\r\n";
    std::string reason;
    ASSERT_TRUE(platform::writeTextFile(dir_ / "long.tsasm", source, reason));
    choose(win32::Form1::kLoad, (dir_ / "long.tsasm").string());
    // The edit box's own limit would have cut it at 30,000 characters.
    EXPECT_EQ(static_cast<std::size_t>(GetWindowTextLengthW(t1())), source.size());
    choose(win32::Form1::kSave, (dir_ / "again.tsasm").string());
    EXPECT_EQ(bytesOf(dir_ / "again.tsasm"), source + "\r\n");
}

TEST_F(EditorWin32Test, CompileFailuresPutTheCaretAtTheFailingPlace) {
    const struct {
        const wchar_t* text;
        DWORD caret;
    } cases[] = {
        {L"dsp 01\r\nset 02, abc", 17},       // after the "a"
        {L"\U0001F600\r\nset 02, \r\nx", 14}, // between CR and LF: the next line
        {L"set 01", 6},                       // past the end: at the end
    };
    for (const auto& c : cases) {
        SetWindowTextW(t1(), c.text);
        choose(win32::Form1::kCompile);
        EXPECT_EQ(selection(), std::make_pair(c.caret, c.caret)) << c.text;
        EXPECT_EQ(textOf(t1()), c.text);
    }
    EXPECT_EQ(boxes.messages,
              std::vector<FakeBoxes::Shown>(3, {"Tessivor ASM", "Error Compiling."}));
    EXPECT_TRUE(dialog.shown.empty());
}

/// A file dialog that finds no memory for the name.
struct OutOfMemoryDialog : FakeFileDialog {
    bool ShowOpen() override { throw std::bad_alloc(); }
};

TEST(EditorWin32DeathTest, RunningOutOfMemoryInACommandEndsWithOneLineAndStatus70) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::reportOutOfMemoryAtExit("tessivor-asm");
            OutOfMemoryDialog dialog;
            FakeBoxes boxes;
            win32::Form1 form(dialog, boxes);
            SendMessageW(form.hwnd(), WM_COMMAND, win32::Form1::kLoad, 0);
        },
        ::testing::ExitedWithCode(70), "tessivor-asm: out of memory");
}

// ---- tessivor-asm.exe as a user starts it

const fs::path kEditor = TESSIVOR_EDITOR;

/// What `tessivor-cli build` writes for `source`.
std::string cliBuild(const fs::path& source, const fs::path& out) {
    Process cli(TESSIVOR_CLI, L" build -o " + quoted(out) + L" " + quoted(source));
    EXPECT_EQ(cli.wait(30s), 0u);
    return bytesOf(out);
}

/// Compiles the editor's text through the Save dialog into `out` and returns the file.
std::string compileInto(DWORD editor, HWND form, const fs::path& out) {
    PostMessageW(form, WM_COMMAND, win32::Form1::kCompile, 0);
    HWND save = waitForWindow(editor, L"Save As");
    EXPECT_TRUE(save) << "no Save dialog";
    if (!save) return {};
    EXPECT_EQ(textOf(GetDlgItem(save, 0x470)), L"Tessivor Program (*.tsp)");
    platform::testing::answerFileDialog(save, out.wstring());
    for (int i = 0; i < 500 && (IsWindow(save) || !fs::exists(out)); ++i)
        Sleep(20);
    return bytesOf(out);
}

TEST_F(EditorWin32Test, TheProgramCompilesTypedAndLoadedSourcesAsTheCommandLineBuilds) {
    // The editor ignores its command line.
    Process editor(kEditor, L" " + quoted(fs::path(TESSIVOR_EXAMPLES_DIR) / "count.tsasm"));
    HWND window = waitForWindow(editor.id(), L"Tessivor ASM");
    ASSERT_TRUE(window) << "no editor window";
    HWND edit = findChild(window, L"Edit");
    EXPECT_EQ(textOf(edit), L"");

    // Typed: the hello example, CR LF line ends as the edit box holds them.
    const std::wstring typed = L"// typed //\r\nset 01, Hello, world!;\r\ndsp 01\r\nend";
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    std::string reason;
    ASSERT_TRUE(
        platform::writeTextFile(dir_ / "typed.tsasm", platform::ansiFromWide(typed), reason));
    EXPECT_EQ(compileInto(editor.id(), window, dir_ / "typed.tsp"),
              cliBuild(dir_ / "typed.tsasm", dir_ / "typed-cli.tsp"));

    // Loaded through the Open dialog.
    const fs::path count = fs::path(TESSIVOR_EXAMPLES_DIR) / "count.tsasm";
    PostMessageW(window, WM_COMMAND, win32::Form1::kLoad, 0);
    HWND open = waitForWindow(editor.id(), L"Open");
    ASSERT_TRUE(open) << "no Open dialog";
    EXPECT_EQ(textOf(GetDlgItem(open, 0x470)), L"Tessivor ASM File (*.tsasm)");
    platform::testing::answerFileDialog(open, fs::absolute(count).wstring());
    for (int i = 0; i < 500 && IsWindow(open); ++i)
        Sleep(20);
    EXPECT_EQ(compileInto(editor.id(), window, dir_ / "count.tsp"),
              cliBuild(count, dir_ / "count-cli.tsp"));

    // A "set" without its ";".
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"set 01, x\r\nend"));
    PostMessageW(window, WM_COMMAND, win32::Form1::kCompile, 0);
    // The message box has the window's title.
    HWND message = nullptr;
    for (int i = 0; i < 500 && !message; ++i) {
        for (HWND w : platform::testing::topLevelWindows(editor.id())) {
            if (w != window && textOf(w) == L"Tessivor ASM") message = w;
        }
        Sleep(20);
    }
    ASSERT_TRUE(message) << "no message box";
    EXPECT_TRUE(findChild(message, L"Static", L"Error Compiling."));
    platform::testing::pressButton(message, L"OK");

    PostMessageW(window, WM_COMMAND, win32::Form1::kExit, 0);
    EXPECT_EQ(editor.wait(5s), 0u);
}

} // namespace
} // namespace tessivor::assembler
