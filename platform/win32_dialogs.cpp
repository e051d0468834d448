#include "platform/win32_dialogs.h"

#include "platform/win32_text.h"

#include <commdlg.h>

#include <algorithm>
#include <exception>
#include <vector>

namespace tessivor::platform {

// ---- The file dialog

bool Win32FileDialog::ShowOpen() { return show(false); }

bool Win32FileDialog::ShowSave() { return show(true); }

std::filesystem::path Win32FileDialog::path() const {
    if (!FileName.empty() && FileName == chosenAnsi_) return std::filesystem::path(chosen_);
    return pathFromArgument(FileName);
}

bool Win32FileDialog::show(bool save) {
    const std::wstring filter = dialogFilter(Filter);
    // The name offered is the last choice, exactly as the dialog gave it.
    const std::wstring offered =
        !FileName.empty() && FileName == chosenAnsi_ ? chosen_ : wideFromAnsi(FileName);
    // Room for the longest path the system takes.
    std::vector<wchar_t> name(std::max<std::size_t>(offered.size() + 1, 32768), L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    // Any name is taken, and an existing file replaced without a question: the command finds
    // out when it opens the file. The working folder stays where it was.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::fill(name.begin(), name.end(), L'\0');
        if (attempt == 0) std::copy(offered.begin(), offered.end(), name.begin());
        const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
        if (chosen) {
            chosen_.assign(name.data());
            chosenAnsi_ = ansiFromWide(chosen_);
            FileName = chosenAnsi_;
            return true;
        }
        // A name the dialog cannot show (a '?' of a character the code page lacks) keeps it
        // from opening at all; it opens again without one.
        if (CommDlgExtendedError() != FNERR_INVALIDFILENAME || offered.empty()) break;
    }
    return false;
}

// ---- Message boxes

void Win32Boxes::messageBox(std::string_view title, std::string_view text) {
    MessageBoxW(owner_, wideFromAnsi(text).c_str(), wideFromAnsi(title).c_str(), MB_OK);
}

// ---- The input box

namespace {

/// A dialog template in memory: DLGTEMPLATE, then its controls, each DLGITEMTEMPLATE aligned
/// to four bytes, texts as UTF-16 with their NUL.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short width, short height, const wchar_t* font, WORD points) {
        add32(style | DS_SETFONT);
        add32(0);        // extended style
        count_ = size(); // the number of controls, set as they come
        add16(0);
        add16(0); // x
        add16(0); // y
        add16(static_cast<WORD>(width));
        add16(static_cast<WORD>(height));
        add16(0);     // no menu
        add16(0);     // the standard dialog class
        addText(L""); // the title, set when the box opens
        add16(points);
        addText(font);
    }

    /// A control of a predefined class (0x80 button, 0x81 edit, 0x82 static).
    void control(WORD classAtom, int id, DWORD style, short x, short y, short width, short height,
                 const wchar_t* text) {
        while (size() % 2 != 0)
            add16(0);
        add32(style | WS_CHILD | WS_VISIBLE);
        add32(0);
        add16(static_cast<WORD>(x));
        add16(static_cast<WORD>(y));
        add16(static_cast<WORD>(width));
        add16(static_cast<WORD>(height));
        add16(static_cast<WORD>(id));
        add16(0xFFFF);
        add16(classAtom);
        addText(text);
        add16(0); // no creation data
        ++words_[count_];
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    std::size_t size() const { return words_.size(); } // in 16-bit words; % 2 for DWORDs
    void add16(WORD w) { words_.push_back(w); }
    void add32(DWORD d) {
        add16(LOWORD(d));
        add16(HIWORD(d));
    }
    void addText(const wchar_t* text) {
        for (; *text; ++text)
            add16(static_cast<WORD>(*text));
        add16(0);
    }

    std::vector<WORD> words_;
    std::size_t count_ = 0;
};

constexpr WORD kButton = 0x80;
constexpr WORD kEdit = 0x81;
constexpr WORD kStatic = 0x82;

// In dialog units: the prompt at the left, OK and Cancel at the right, the reply below.
constexpr short kBoxWidth = 252;
constexpr short kBoxHeight = 80;

struct InputBoxState {
    const std::wstring* title;
    const std::wstring* prompt;
    std::wstring reply;
};

/// Moves a control by `dy` pixels and makes it `grow` pixels taller.
void shift(HWND dialog, int id, int dy, int grow) {
    HWND control = GetDlgItem(dialog, id);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(control, nullptr, r.left, r.top + dy, r.right - r.left, r.bottom - r.top + grow,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

/// Makes the box as tall as its prompt needs, up to two thirds of the screen it is on; a
/// longer prompt is cut there, the reply and the buttons always in view.
void fitPrompt(HWND dialog, const std::wstring& prompt) {
    HWND label = GetDlgItem(dialog, kInputPrompt);
    RECT shown;
    GetClientRect(label, &shown);
    HDC dc = GetDC(label);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT needed = shown;
    DrawTextW(dc, prompt.c_str(), static_cast<int>(std::min<std::size_t>(prompt.size(), 1 << 20)),
              &needed, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    int grow = (needed.bottom - needed.top) - (shown.bottom - shown.top);
    if (grow <= 0) return;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT box;
    GetWindowRect(dialog, &box);
    const int screen = monitor.rcWork.bottom - monitor.rcWork.top;
    grow = std::min<int>(grow, screen * 2 / 3 - (box.bottom - box.top));
    if (grow <= 0) return;
    shift(dialog, kInputPrompt, 0, grow);
    shift(dialog, kInputReply, grow, 0);
    const int height = box.bottom - box.top + grow;
    const int top = std::max<int>(monitor.rcWork.top, box.top - grow / 2);
    SetWindowPos(dialog, nullptr, box.left, top, box.right - box.left, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK inputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
        switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            state = reinterpret_cast<InputBoxState*>(lParam);
            SetWindowTextW(dialog, state->title->c_str());
            SetDlgItemTextW(dialog, kInputPrompt, state->prompt->c_str());
            // A reply may fill a cell: no limit but the edit box's own largest.
            SendDlgItemMessageW(dialog, kInputReply, EM_SETLIMITTEXT, 0, 0);
            fitPrompt(dialog, *state->prompt);
            SetFocus(GetDlgItem(dialog, kInputReply));
            return FALSE; // the focus is set
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                HWND edit = GetDlgItem(dialog, kInputReply);
                std::wstring reply(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
                reply.resize(static_cast<std::size_t>(
                    GetWindowTextW(edit, reply.data(), static_cast<int>(reply.size()))));
                state->reply = std::move(reply);
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        }
        return FALSE;
    } catch (...) {
        std::terminate(); // no exception may cross into the system's dialog code
    }
}

} // namespace

bool showInputBox(HWND owner, const std::wstring& title, const std::wstring& prompt,
                  std::wstring& reply) {
    DialogTemplate box(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, kBoxWidth,
                       kBoxHeight, L"MS Shell Dlg", 8);
    // The prompt comes just before the reply, so screen readers name the reply after it.
    box.control(kStatic, kInputPrompt, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 7, 7, 180, 46, L"");
    box.control(kEdit, kInputReply, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 59, 238, 14, L"");
    box.control(kButton, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 195, 7, 50, 14, L"OK");
    box.control(kButton, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 195, 25, 50, 14, L"Cancel");
    InputBoxState state{&title, &prompt, {}};
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), box.get(), owner,
                                                   inputBoxProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return false;
    reply = std::move(state.reply);
    return true;
}

std::string Win32Boxes::inputBox(std::string_view title, std::string_view prompt) {
    std::wstring reply;
    if (!showInputBox(owner_, wideFromAnsi(title), wideFromAnsi(prompt), reply)) return {};
    return ansiFromWide(reply);
}

} // namespace tessivor::platform
