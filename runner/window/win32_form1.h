#pragma once
// `Form1`, the runner's one window on the Win32 API: the caption, the one-line display `t1`
// and the menu `app`; everything it does is Form1Logic's.

#include "platform/dialogs.h"
#include "platform/win32_window.h"
#include "runner/window/form1_logic.h"

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

namespace tessivor::win32 {

class Form1 final : public Form1Logic {
public:
    /// The menu items' command identifiers.
    enum Command : UINT { kLarp = 101, kSmtofile = 102, kLmfromfile = 103, kExit = 104 };

    /// Creates the window, hidden, with the system's file dialog and boxes unless others are
    /// given.
    explicit Form1(std::unique_ptr<platform::FileDialog> dialog = nullptr,
                   std::unique_ptr<platform::Boxes> boxes = nullptr);
    ~Form1() override;

    /// Shows the window as the program was asked to show it (nCmdShow).
    void show(int how);
    HWND hwnd() const { return form_; }

private:
    static void registerClass();
    friend LRESULT CALLBACK platform::ownedWindowProc<Form1>(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void createMenus();
    void createDisplay();
    /// Sizes the window and `t1` and makes the font for the window's DPI.
    void layOut();

    // Form1Logic: the window's side.
    void showCaption(std::string_view caption) override;
    void showInT1(std::string_view text) override;
    void showPending() override;
    void enableLarp() override;
    void handlePendingEvents() override;
    void handleNonInputEvents() override;

    HWND form_ = nullptr;
    HWND t1 = nullptr;
    HMENU menuBar_ = nullptr;
    HMENU app = nullptr;
    HFONT font_ = nullptr;
    // The text for `t1` not yet given to it: a program that shows a text at every turn of a
    // loop would otherwise spend its time in the edit box, not in the machine.
    std::string pendingT1_;
    bool t1Pending_ = false;
};

} // namespace tessivor::win32
