#pragma once
// Test support for Win32 windows, in this process or another: finding windows, reading their
// texts and answering dialogs as a user would, by their controls.

#include "platform/win32_text.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tessivor::platform::testing {

/// The text of a window or control; also of one in another process (WM_GETTEXT crosses).
inline std::wstring textOf(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

inline std::wstring classOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

/// The visible top-level windows of the process `processId` (0: any process).
inline std::vector<HWND> topLevelWindows(DWORD processId = 0) {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (IsWindowVisible(window) && (s->processId == 0 || owner == s->processId))
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

/// Every child and grandchild of `window`, in the order of their siblings.
inline std::vector<HWND> childrenOf(HWND window) {
    std::vector<HWND> found;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

/// The first visible top-level window of the process whose caption `matches`, waited for up
/// to `timeout`; null when none came.
inline HWND waitForWindow(DWORD processId, const std::function<bool(const std::wstring&)>& matches,
                          std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    do {
        for (HWND window : topLevelWindows(processId)) {
            if (matches(textOf(window))) return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < until);
    return nullptr;
}

inline HWND waitForWindow(DWORD processId, const std::wstring& caption,
                          std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    return waitForWindow(
        processId, [&](const std::wstring& text) { return text == caption; }, timeout);
}

/// The child of `window` whose class is `className` and, unless empty, whose text is `text`.
inline HWND findChild(HWND window, const std::wstring& className, const std::wstring& text = {}) {
    for (HWND child : childrenOf(window)) {
        if (_wcsicmp(classOf(child).c_str(), className.c_str()) == 0 &&
            (text.empty() || textOf(child) == text))
            return child;
    }
    return nullptr;
}

/// Types `path` as the file name of an Open or Save dialog and presses its OK button.
inline void answerFileDialog(HWND dialog, const std::wstring& path) {
    // The file name box is an edit box, alone or inside a combo box (cmb13, edt1).
    HWND name = GetDlgItem(dialog, 0x47C);
    if (!name) name = GetDlgItem(dialog, 0x480);
    if (name && classOf(name) != L"Edit") {
        if (HWND inner = FindWindowExW(name, nullptr, L"Edit", nullptr)) name = inner;
    }
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

/// Presses the button of `dialog` whose caption is `caption` ("OK", "Cancel").
inline bool pressButton(HWND dialog, const std::wstring& caption) {
    HWND button = findChild(dialog, L"Button", caption);
    if (!button) return false;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return true;
}

/// `path` in double quotes, as a command line names a file.
inline std::wstring quoted(const std::filesystem::path& path) {
    return L"\"" + std::filesystem::absolute(path).wstring() + L"\"";
}

/// A program started with a command line of its own; ended when the test is done with it.
class Process {
public:
    /// Starts `program` with `arguments` after its quoted name (the raw text, blanks and all).
    Process(const std::filesystem::path& program, const std::wstring& arguments) {
        std::wstring line = quoted(program) + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_);
        if (started_) CloseHandle(process_.hThread);
    }
    ~Process() {
        if (!started_) return;
        if (!wait(std::chrono::milliseconds(0))) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return started_; }
    DWORD id() const { return process_.dwProcessId; }

    /// The exit status once the program has ended, waited for up to `timeout`.
    std::optional<DWORD> wait(std::chrono::milliseconds timeout) {
        if (!started_ || WaitForSingleObject(process_.hProcess,
                                             static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
            return std::nullopt;
        DWORD status = 0;
        GetExitCodeProcess(process_.hProcess, &status);
        return status;
    }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

/// The texts of the items of `menu`, with "(grey)" after each one that cannot be chosen.
inline std::vector<std::wstring> menuItems(HMENU menu) {
    std::vector<std::wstring> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        items.push_back(std::wstring(text) +
                        ((state & (MF_GRAYED | MF_DISABLED)) ? L" (grey)" : L""));
    }
    return items;
}

} // namespace tessivor::platform::testing
