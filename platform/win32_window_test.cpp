// The Win32 window side of the platform layer, on real windows (under Wine with a display):
// which messages each pass over the queue takes, sizes, accessible names, and the boxes as a
// user answers them.

#include "platform/win32_dialogs.h"
#include "platform/win32_testing.h"
#include "platform/win32_window.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <future>
#include <string>
#include <vector>

namespace tessivor::platform {
namespace {

using namespace std::chrono_literals;
using testing::childrenOf;
using testing::classOf;
using testing::textOf;

/// A top-level window that records the messages it is sent, in order.
class RecordingWindow {
public:
    RecordingWindow() {
        static const bool registered = [] {
            WNDCLASSW c{};
            c.lpfnWndProc = proc;
            c.hInstance = GetModuleHandleW(nullptr);
            c.lpszClassName = L"Tessivor.Test.Recording";
            return RegisterClassW(&c) != 0;
        }();
        (void)registered;
        window = CreateWindowExW(0, L"Tessivor.Test.Recording", L"recording", WS_OVERLAPPEDWINDOW,
                                 CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr, CreateMenu(),
                                 GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~RecordingWindow() {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }

    HWND window;
    std::vector<std::string> seen;

private:
    static LRESULT CALLBACK proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self) {
            switch (message) {
            case WM_CLOSE: self->seen.push_back("close"); return 0;
            case WM_COMMAND:
                self->seen.push_back("command " + std::to_string(LOWORD(wParam)));
                return 0;
            case WM_KEYDOWN: self->seen.push_back("key"); return 0;
            case WM_USER: self->seen.push_back("user"); return 0;
            case WM_SYSCOMMAND:
                self->seen.push_back("syscommand " + std::to_string(wParam & 0xFFF0));
                return 0; // no move loop, no real closing
            }
        }
        return DefWindowProcW(w, message, wParam, lParam);
    }
};

TEST(Win32Messages, ThePassAtTheSpeedDisplayTakesCloseRequestsAndLeavesCommandsQueued) {
    RecordingWindow w;
    PostMessageW(w.window, WM_COMMAND, 101, 0);
    PostMessageW(w.window, WM_KEYDOWN, 'A', 0);
    PostMessageW(w.window, WM_USER, 0, 0);
    PostMessageW(w.window, WM_SYSCOMMAND, SC_MOVE, 0);
    PostMessageW(w.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(w.window, WM_CLOSE, 0, 0);
    processNonInputMessages();
    EXPECT_EQ(w.seen, (std::vector<std::string>{"user", "syscommand 61536", "close"}));
    // Held, not lost: the next pass that takes commands has them, in their order.
    processNonInputMessages();
    EXPECT_EQ(w.seen.size(), 3u);
    w.seen.clear();
    processPendingMessages();
    EXPECT_EQ(w.seen, (std::vector<std::string>{"command 101", "key", "syscommand 61456"}));
}

TEST(Win32Messages, AQuitIsKeptForTheMessageLoop) {
    RecordingWindow w;
    PostQuitMessage(3);
    processNonInputMessages();
    processPendingMessages();
    EXPECT_EQ(runMessageLoop(), 3);
}

TEST(Win32Window, TheClientAreaIsTheDesignedSizeUnderTheMenuBar) {
    RecordingWindow w;
    HMENU app = CreatePopupMenu();
    AppendMenuW(app, MF_STRING, 1, L"Load and Run Program");
    AppendMenuW(GetMenu(w.window), MF_POPUP, reinterpret_cast<UINT_PTR>(app), L"App");
    DrawMenuBar(w.window);
    for (const SIZE size : {SIZE{304, 19}, SIZE{264, 312}}) {
        setClientSize(w.window, size.cx, size.cy);
        RECT client;
        GetClientRect(w.window, &client);
        const unsigned dpi = dpiOf(w.window);
        EXPECT_EQ(client.right, scaled(size.cx, dpi));
        EXPECT_EQ(client.bottom, scaled(size.cy, dpi));
    }
}

std::wstring accessibleName(HWND control) {
    CoInitialize(nullptr); // once for each thread that asks
    IAccessible* accessible = nullptr;
    const HRESULT hr =
        AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&accessible));
    if (FAILED(hr)) return L"(no accessible object: " + std::to_wstring(hr) + L")";
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring text = SUCCEEDED(accessible->get_accName(self, &name)) && name ? name : L"";
    SysFreeString(name);
    accessible->Release();
    return text;
}

TEST(Win32Window, AnEditBoxIsNamedForScreenReaders) {
    RecordingWindow w;
    HWND first = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, w.window,
                                 nullptr, nullptr, nullptr);
    HWND second = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 30, 50, 20, w.window,
                                  nullptr, nullptr, nullptr);
    nameEditBox(first, L"Program output");
    nameEditBox(second, L"Assembly source");
    EXPECT_EQ(accessibleName(first), L"Program output");
    EXPECT_EQ(accessibleName(second), L"Assembly source");
    // The labels take no room.
    for (HWND child : childrenOf(w.window)) {
        if (classOf(child) != L"Static") continue;
        RECT r;
        GetWindowRect(child, &r);
        EXPECT_EQ(r.right - r.left, 0);
    }
}

/// Answers the first box of this process titled `title` from another thread, as a user would.
template <class Answer> std::future<void> whenBox(const std::wstring& title, Answer answer) {
    return std::async(std::launch::async, [title, answer] {
        HWND box = testing::waitForWindow(GetCurrentProcessId(), title, 20s);
        ASSERT_TRUE(box) << "no box came";
        answer(box);
    });
}

TEST(Win32Boxes, AMessageBoxHasTheTitleTheTextAndOnlyAnOkButton) {
    Win32Boxes boxes;
    std::vector<std::wstring> texts;
    int icons = 0;
    auto answered = whenBox(L"Tessivor", [&](HWND box) {
        for (HWND child : childrenOf(box)) {
            const auto style = GetWindowLongPtrW(child, GWL_STYLE);
            if (classOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
                icons += SendMessageW(child, STM_GETICON, 0, 0) != 0;
            } else if (IsWindowVisible(child)) {
                texts.push_back(classOf(child) + L":" + textOf(child));
            }
        }
        testing::pressButton(box, L"OK");
    });
    boxes.messageBox("Tessivor", "Program Terminated");
    answered.get();
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Button:OK", L"Static:Program Terminated"}));
    EXPECT_EQ(icons, 0);
}

TEST(Win32Boxes, AnInputBoxTakesAReplyOfAnyLengthAndCancelGivesNothing) {
    Win32Boxes boxes;
    const std::wstring reply(100'000, L'x');
    std::wstring prompt, name;
    auto answered = whenBox(L"Tessivor", [&](HWND box) {
        prompt = textOf(GetDlgItem(box, kInputPrompt));
        name = accessibleName(GetDlgItem(box, kInputReply));
        SendDlgItemMessageW(box, kInputReply, WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(reply.c_str()));
        testing::pressButton(box, L"OK");
    });
    EXPECT_EQ(boxes.inputBox("Tessivor", "Your name, please?"), std::string(100'000, 'x'));
    answered.get();
    EXPECT_EQ(prompt, L"Your name, please?");
    EXPECT_EQ(name, L"Your name, please?");

    auto cancelled = whenBox(L"Tessivor", [](HWND box) {
        SendDlgItemMessageW(box, kInputReply, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed"));
        testing::pressButton(box, L"Cancel");
    });
    EXPECT_EQ(boxes.inputBox("Tessivor", "N?"), "");
    cancelled.get();
}

TEST(Win32Boxes, ALongPromptLeavesTheReplyAndTheButtonsOnTheScreen) {
    Win32Boxes boxes;
    std::string prompt;
    while (prompt.size() < 100'000)
        prompt += "a long prompt, ";
    RECT box{}, work{}, reply{}, ok{};
    auto answered = whenBox(L"Tessivor", [&](HWND dialog) {
        GetWindowRect(dialog, &box);
        GetWindowRect(GetDlgItem(dialog, kInputReply), &reply);
        GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
        work = monitor.rcWork;
        testing::pressButton(dialog, L"OK");
    });
    boxes.inputBox("Tessivor", prompt);
    answered.get();
    EXPECT_GT(box.bottom - box.top, 200); // it grew for the prompt
    for (const RECT& r : {box, reply, ok}) {
        EXPECT_GE(r.top, work.top);
        EXPECT_LE(r.bottom, work.bottom);
    }
    EXPECT_LE(reply.bottom, box.bottom);
}

} // namespace
} // namespace tessivor::platform
