#include "runner/window/win32_form1.h"

#include "platform/win32_dialogs.h"
#include "platform/win32_text.h"
#include "platform/win32_window.h"

#include <exception>
#include <stdexcept>

namespace tessivor::win32 {

namespace {
constexpr wchar_t kClass[] = L"Tessivor.Form1";
// The display fills the client area: one line of text under the menu bar.
constexpr int kClientWidth = 304;
constexpr int kClientHeight = 19;
constexpr int kT1Width = 305;
constexpr int kT1Height = 19;
constexpr int kT1Id = 1;

HINSTANCE instance() { return GetModuleHandleW(nullptr); }

} // namespace

void Form1::registerClass() {
    static const bool registered = platform::registerFormClass(
        kClass, platform::ownedWindowProc<Form1>, CS_HREDRAW | CS_VREDRAW);
    (void)registered;
}

Form1::Form1(std::unique_ptr<platform::FileDialog> dialog, std::unique_ptr<platform::Boxes> boxes)
    : Form1Logic(dialog ? std::move(dialog) : std::make_unique<platform::Win32FileDialog>(),
                 boxes ? std::move(boxes) : std::make_unique<platform::Win32Boxes>()) {
    registerClass();
    createMenus();
    const std::wstring caption = platform::wideFromAnsi(kCaption);
    // windowProc() keeps the window in form_ as it is created.
    CreateWindowExW(0, kClass, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menuBar_, instance(), this);
    if (!form_) throw std::runtime_error("the window could not be created");
    // The dialogs and boxes are modal to the window.
    if (auto* own = dynamic_cast<platform::Win32FileDialog*>(&comDlg())) own->setOwner(form_);
    if (auto* own = dynamic_cast<platform::Win32Boxes*>(&this->boxes())) own->setOwner(form_);
    createDisplay();
    layOut();
}

Form1::~Form1() { platform::destroyOwnedForm(form_, font_); }

void Form1::createMenus() {
    menuBar_ = CreateMenu();
    app = CreatePopupMenu();
    AppendMenuW(app, MF_STRING, kLarp, L"Load and Run Program");
    // Memory state files were planned but never built: shown, never selectable.
    AppendMenuW(app, MF_STRING | MF_GRAYED, kSmtofile, L"Save Memory to File (State Save)");
    AppendMenuW(app, MF_STRING | MF_GRAYED, kLmfromfile, L"Load Memory From File (State Load)");
    AppendMenuW(app, MF_STRING, kExit, L"Exit");
    AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(app), L"App");
}

void Form1::createDisplay() {
    // Read-only: the runner only ever writes it. No length limit: "w" shows the whole cell.
    t1 = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                         WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY, 0, 0, 0, 0, form_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(kT1Id)), instance(), nullptr);
    SendMessageW(t1, EM_SETLIMITTEXT, 0, 0);
    platform::nameEditBox(t1, L"Program output");
}

void Form1::layOut() {
    const unsigned dpi = platform::dpiOf(form_);
    platform::setClientSize(form_, kClientWidth, kClientHeight);
    MoveWindow(t1, 0, 0, platform::scaled(kT1Width, dpi), platform::scaled(kT1Height, dpi), TRUE);
    HFONT font = platform::createMessageFont(dpi);
    platform::replaceFont(t1, font, font_);
}

void Form1::show(int how) { platform::showForm(form_, how); }

LRESULT Form1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (lParam == 0) {
            switch (LOWORD(wParam)) {
            case kLarp: larpClick(); return 0;
            case kExit: exitClick();
            default: break; // smtofile and lmfromfile have no handler
            }
        }
        break;
    // Closing, for any reason, ends the program at once; it is never refused.
    case WM_CLOSE: exitClick();
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
        if (wParam) exitClick();
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        if (reinterpret_cast<HWND>(lParam) == t1) {
            // White and black, whatever the system's colours.
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        break;
    case WM_DPICHANGED:
        platform::followDpiChange(form_, lParam);
        layOut();
        return 0;
    case WM_SETFOCUS: SetFocus(t1); return 0;
    }
    return DefWindowProcW(form_, message, wParam, lParam);
}

void Form1::showCaption(std::string_view caption) {
    SetWindowTextW(form_, platform::wideFromAnsi(caption).c_str());
}

void Form1::showInT1(std::string_view text) {
    pendingT1_.assign(text);
    t1Pending_ = true;
}

void Form1::showPending() {
    if (!t1Pending_) return;
    t1Pending_ = false;
    SetWindowTextW(t1, platform::wideFromAnsi(pendingT1_).c_str());
}

void Form1::enableLarp() { EnableMenuItem(app, kLarp, MF_BYCOMMAND | MF_ENABLED); }

void Form1::handlePendingEvents() {
    showPending();
    platform::processPendingMessages();
}

void Form1::handleNonInputEvents() {
    showPending();
    platform::processNonInputMessages();
}

} // namespace tessivor::win32
