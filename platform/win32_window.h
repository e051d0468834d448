#pragma once
// What both Win32 windows need of the system: the message queue as the machine and the menu
// commands reach it, sizes and fonts at the monitor's DPI, accessible names.

#include <windows.h>

#include <exception>

namespace tessivor::platform {

/// Registers the common controls; with the programs' manifest they are version 6.
void initCommonControls();

/// Handles every message waiting for this thread (menu commands, closing, painting) and
/// returns. A WM_QUIT is put back for the message loop.
void processPendingMessages();

/// Handles the waiting messages that are not user input: painting, and the posted and sent
/// ones, among them every request to close a window (the task list, the system shutting
/// down, a window manager). Keys and clicks stay queued for processPendingMessages(), except
/// a click on a close box and Alt+F4 when they come first, which close.
void processNonInputMessages();

/// Runs the message loop until WM_QUIT; returns the WM_QUIT's exit code.
int runMessageLoop();

/// The DPI of the monitor `window` is on (96 at 100 %).
unsigned dpiOf(HWND window);

/// `pixels` at 96 DPI as pixels at `dpi`.
int scaled(int pixels, unsigned dpi);

/// Sizes `window` so that its client area under the menu bar is `width` x `height` pixels at
/// 96 DPI, scaled to the window's DPI; the window keeps its place.
void setClientSize(HWND window, int width, int height);

/// The system's message font at `dpi`: the window's default font.
HFONT createMessageFont(unsigned dpi);

/// The font `face` at `points` and `dpi`, regular weight, or null when no font of that face is
/// installed.
HFONT createInstalledFont(HDC dc, const wchar_t* face, double points, unsigned dpi);

/// A monospaced font at `points` and `dpi`: the first of the usual faces installed, else the
/// one the system maps a fixed pitch to.
HFONT createMonospacedFont(HDC dc, double points, unsigned dpi);

/// Gives the edit box `control` the accessible name `name`, as a dialog names its edit boxes:
/// a static text of no size placed just before it, which screen readers read as its label.
void nameEditBox(HWND control, const wchar_t* name);

/// Registers the window class `name` of a program's main window: the program's icon (resource
/// 1), the arrow cursor and the dialog colour, `procedure` its window procedure.
bool registerFormClass(const wchar_t* name, WNDPROC procedure, UINT style = 0);

/// Shows a form as the program was asked to show it (nCmdShow) and paints it at once.
void showForm(HWND form, int how);

/// Moves and sizes a form to the rectangle WM_DPICHANGED suggests (the message's lParam).
void followDpiChange(HWND form, LPARAM suggested);

/// Gives `control` the font `font`, deleting the one we gave it before, `held`, which then
/// holds `font`.
void replaceFont(HWND control, HFONT font, HFONT& held);

/// Destroys a form of ownedWindowProc's (its owner forgotten first, so that no message reaches
/// an owner being destroyed) and deletes the font `font` its controls used.
void destroyOwnedForm(HWND form, HFONT font);

/// The window procedure of a class whose windows each belong to one object of type T, the
/// parameter CreateWindowExW was given: it learns its window (T::form_) at WM_NCCREATE and
/// handles every message after (T::handle). No exception may cross into the system's code: out
/// of memory ends with its line.
template <class T>
LRESULT CALLBACK ownedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_NCCREATE) {
            auto* created = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            auto* owner = static_cast<T*>(created->lpCreateParams);
            owner->form_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        }
        auto* owner = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!owner) return DefWindowProcW(window, message, wParam, lParam);
        return owner->handle(message, wParam, lParam);
    } catch (...) {
        std::terminate();
    }
}

} // namespace tessivor::platform
