#pragma once
// `Form1`, the window of Tessivor ASM on the Win32 API: the source editor `t1` and the menu
// `file`, whose commands are those of Form1Logic.

#include "assembler/window/form1_logic.h"
#include "platform/dialogs.h"
#include "platform/win32_window.h"

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

namespace tessivor::assembler::win32 {

class Form1 final : public Form1Logic {
public:
    /// The menu items' command identifiers.
    enum Command : UINT { kNew = 201, kSave = 202, kLoad = 203, kCompile = 204, kExit = 205 };

    /// Creates the window, hidden, with the system's file dialog and boxes.
    Form1();
    /// The window with the given dialog and boxes, which must outlive it (tests answer them).
    Form1(platform::FileDialog& dialog, platform::Boxes& boxes);
    ~Form1() override;

    /// Shows the window as the program was asked to show it (nCmdShow).
    void show(int how);
    HWND hwnd() const { return form_; }

private:
    Form1(platform::FileDialog* dialog, platform::Boxes* boxes);

    static void registerClass();
    friend LRESULT CALLBACK platform::ownedWindowProc<Form1>(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void createMenus();
    void createEditor();
    /// Sizes the window and `t1` and makes the font for the window's DPI.
    void layOut();

    // Form1Logic: the editor box.
    std::string sourceText() const override;
    void setSourceText(std::string_view source) override;
    void setCaret(std::size_t offset) override;

    /// The text of `t1` as the edit box holds it.
    std::wstring editorText() const;

    std::unique_ptr<platform::FileDialog> ownDialog_;
    std::unique_ptr<platform::Boxes> ownBoxes_;

    HWND form_ = nullptr;
    HWND t1 = nullptr;
    HMENU menuBar_ = nullptr;
    HMENU file = nullptr;
    HFONT font_ = nullptr;
};

} // namespace tessivor::assembler::win32
