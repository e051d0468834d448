#include "assembler/window/win32_form1.h"

#include "platform/win32_dialogs.h"
#include "platform/win32_text.h"
#include "platform/win32_window.h"

#include <exception>
#include <stdexcept>

namespace tessivor::assembler::win32 {

namespace {
constexpr wchar_t kClass[] = L"Tessivor.ASM.Form1";
constexpr wchar_t kTitle[] = L"Tessivor ASM";
constexpr int kClientWidth = 264;
constexpr int kClientHeight = 312;
// The editor fills the client area.
constexpr int kT1Width = 265;
constexpr int kT1Height = 313;
constexpr int kT1Id = 1;
constexpr double kFontPoints = 8.25;

HINSTANCE instance() { return GetModuleHandleW(nullptr); }

} // namespace

void Form1::registerClass() {
    static const bool registered =
        platform::registerFormClass(kClass, platform::ownedWindowProc<Form1>);
    (void)registered;
}

Form1::Form1() : Form1(nullptr, nullptr) {
    auto dialog = std::make_unique<platform::Win32FileDialog>(form_);
    auto boxes = std::make_unique<platform::Win32Boxes>(form_);
    useDialogs(*dialog, *boxes);
    ownDialog_ = std::move(dialog);
    ownBoxes_ = std::move(boxes);
}

Form1::Form1(platform::FileDialog& dialog, platform::Boxes& boxes) : Form1(&dialog, &boxes) {}

Form1::Form1(platform::FileDialog* dialog, platform::Boxes* boxes) : Form1Logic(dialog, boxes) {
    registerClass();
    createMenus();
    // windowProc() keeps the window in form_ as it is created.
    CreateWindowExW(0, kClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menuBar_, instance(), this);
    if (!form_) throw std::runtime_error("the window could not be created");
    createEditor();
    layOut();
}

Form1::~Form1() { platform::destroyOwnedForm(form_, font_); }

void Form1::createMenus() {
    menuBar_ = CreateMenu();
    file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, kNew, L"New");
    AppendMenuW(file, MF_STRING, kSave, L"Save");
    AppendMenuW(file, MF_STRING, kLoad, L"Load");
    AppendMenuW(file, MF_STRING, kCompile, L"Compile");
    AppendMenuW(file, MF_STRING, kExit, L"Exit");
    AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
}

void Form1::createEditor() {
    // A vertical scroll bar and no horizontal one, so long lines wrap at the right edge.
    t1 = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 0, 0, 0,
        0, form_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kT1Id)), instance(), nullptr);
    // The edit box's own limit (32,767 characters as it starts) would cut a long source.
    SendMessageW(t1, EM_SETLIMITTEXT, 0, 0);
    platform::nameEditBox(t1, L"Assembly source");
}

void Form1::layOut() {
    const unsigned dpi = platform::dpiOf(form_);
    platform::setClientSize(form_, kClientWidth, kClientHeight);
    MoveWindow(t1, 0, 0, platform::scaled(kT1Width, dpi), platform::scaled(kT1Height, dpi), TRUE);
    HDC dc = GetDC(t1);
    HFONT font = platform::createInstalledFont(dc, L"Lucida Console", kFontPoints, dpi);
    if (!font) font = platform::createMonospacedFont(dc, kFontPoints, dpi);
    ReleaseDC(t1, dc);
    platform::replaceFont(t1, font, font_);
}

void Form1::show(int how) { platform::showForm(form_, how); }

LRESULT Form1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (lParam == 0) {
            switch (LOWORD(wParam)) {
            case kNew: new_(); return 0;
            case kSave: save(); return 0;
            case kLoad: load(); return 0;
            case kCompile: compile(); return 0;
            case kExit: exit();
            default: break;
            }
        }
        break;
    case WM_DPICHANGED:
        platform::followDpiChange(form_, lParam);
        layOut();
        return 0;
    case WM_SETFOCUS: SetFocus(t1); return 0;
    // Closing has no handler of its own: the window goes, and with the only one the program.
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(form_, message, wParam, lParam);
}

std::wstring Form1::editorText() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(t1)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(t1, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string Form1::sourceText() const { return platform::ansiFromWide(editorText()); }

void Form1::setSourceText(std::string_view source) {
    SetWindowTextW(t1, platform::wideFromAnsi(source).c_str());
}

void Form1::setCaret(std::size_t offset) {
    const auto position = static_cast<WPARAM>(platform::editPosition(editorText(), offset));
    SendMessageW(t1, EM_SETSEL, position, static_cast<LPARAM>(position));
    SendMessageW(t1, EM_SCROLLCARET, 0, 0);
}

} // namespace tessivor::assembler::win32
