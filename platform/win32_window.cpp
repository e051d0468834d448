#include "platform/win32_window.h"

#include <commctrl.h>

#include <cmath>
#include <vector>

namespace tessivor::platform {
namespace {

// Functions of newer systems (Windows 10, 1607 and later), looked up once: on older ones the
// program runs at the system's DPI.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

template <class F> F user32(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

/// What a user does to command the window: keys, clicks, menu commands, and the system
/// commands that open a menu or move or size the window. A request to close is none of these.
bool isCommand(const MSG& m) {
    if (m.message == WM_SYSCOMMAND) {
        switch (m.wParam & 0xFFF0) {
        case SC_CLOSE:
        case SC_MINIMIZE:
        case SC_MAXIMIZE:
        case SC_RESTORE: return false;
        default: return true;
        }
    }
    return m.message == WM_COMMAND || (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) ||
           (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) ||
           (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCXBUTTONDBLCLK);
}

void dispatch(MSG& m) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
}

} // namespace

void initCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

void processPendingMessages() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        dispatch(m);
    }
}

void processNonInputMessages() {
    // Keys and clicks stay in the system's input queue; posted commands (a menu's WM_COMMAND,
    // another program's keys) are taken out and posted again, in their order, once the
    // queue is done.
    std::vector<MSG> held;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0,
                        PM_REMOVE | PM_QS_POSTMESSAGE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (isCommand(m))
            held.push_back(m);
        else
            dispatch(m);
    }
    for (const MSG& h : held)
        PostMessageW(h.hwnd, h.message, h.wParam, h.lParam);
    // A click on a close box and Alt+F4 are input, but they ask to close: let them through
    // when they come first, and the system turns them into a close request.
    if (PeekMessageW(&m, nullptr, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_NOREMOVE) &&
        m.wParam == HTCLOSE) {
        PeekMessageW(&m, m.hwnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE);
        dispatch(m);
    }
    if (PeekMessageW(&m, nullptr, WM_SYSKEYDOWN, WM_SYSKEYDOWN, PM_NOREMOVE) && m.wParam == VK_F4) {
        PeekMessageW(&m, m.hwnd, WM_SYSKEYDOWN, WM_SYSKEYDOWN, PM_REMOVE);
        dispatch(m);
    }
}

int runMessageLoop() {
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0)
        dispatch(m);
    return static_cast<int>(m.wParam);
}

unsigned dpiOf(HWND window) {
    static const auto forWindow = user32<GetDpiForWindowFn>("GetDpiForWindow");
    if (forWindow && window) {
        if (const UINT dpi = forWindow(window)) return dpi;
    }
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? static_cast<unsigned>(dpi) : 96;
}

int scaled(int pixels, unsigned dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

void setClientSize(HWND window, int width, int height) {
    static const auto adjustForDpi = user32<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    const unsigned dpi = dpiOf(window);
    const int w = scaled(width, dpi);
    const int h = scaled(height, dpi);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    const BOOL menu = GetMenu(window) != nullptr;
    RECT frame{0, 0, w, h};
    if (adjustForDpi)
        adjustForDpi(&frame, style, menu, exStyle, dpi);
    else
        AdjustWindowRectEx(&frame, style, menu, exStyle);
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, flags);
    // A menu bar that wraps into two rows takes more than one row's height: make up for it.
    RECT client;
    GetClientRect(window, &client);
    const int missing = h - (client.bottom - client.top);
    if (missing != 0) {
        SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left,
                     frame.bottom - frame.top + missing, flags);
    }
}

HFONT createMessageFont(unsigned dpi) {
    static const auto forDpi = user32<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // At the system's DPI; scaled to this one.
        metrics.lfMessageFont.lfHeight =
            MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                   static_cast<int>(dpiOf(nullptr)));
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

namespace {

int CALLBACK noteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

LOGFONTW fontOf(const wchar_t* face, double points, unsigned dpi) {
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * dpi / 72.0));
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return font;
}

} // namespace

HFONT createInstalledFont(HDC dc, const wchar_t* face, double points, unsigned dpi) {
    LOGFONTW font = fontOf(face, points, dpi);
    bool found = false;
    EnumFontFamiliesExW(dc, &font, noteFace, reinterpret_cast<LPARAM>(&found), 0);
    return found ? CreateFontIndirectW(&font) : nullptr;
}

HFONT createMonospacedFont(HDC dc, double points, unsigned dpi) {
    for (const wchar_t* face : {L"Consolas", L"Courier New", L"DejaVu Sans Mono"}) {
        if (HFONT font = createInstalledFont(dc, face, points, dpi)) return font;
    }
    LOGFONTW font = fontOf(L"", points, dpi);
    return CreateFontIndirectW(&font);
}

void nameEditBox(HWND control, const wchar_t* name) {
    HWND label = CreateWindowExW(
        0, L"STATIC", name, WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 0, 0, 0, 0, GetParent(control),
        nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(control, GWLP_HINSTANCE)), nullptr);
    // Just before the control in the order of the parent's children.
    HWND before = GetWindow(control, GW_HWNDPREV);
    SetWindowPos(label, before ? before : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool registerFormClass(const wchar_t* name, WNDPROC procedure, UINT style) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.style = style;
    form.lpfnWndProc = procedure;
    form.hInstance = instance;
    form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    form.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON),
                                                 GetSystemMetrics(SM_CYSMICON), 0));
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = name;
    return RegisterClassExW(&form) != 0;
}

void showForm(HWND form, int how) {
    ShowWindow(form, how);
    UpdateWindow(form);
}

void followDpiChange(HWND form, LPARAM suggested) {
    const RECT* r = reinterpret_cast<const RECT*>(suggested);
    SetWindowPos(form, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void replaceFont(HWND control, HFONT font, HFONT& held) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (held) DeleteObject(held);
    held = font;
}

void destroyOwnedForm(HWND form, HFONT font) {
    if (form) {
        SetWindowLongPtrW(form, GWLP_USERDATA, 0);
        DestroyWindow(form);
    }
    if (font) DeleteObject(font);
}

} // namespace tessivor::platform
