#pragma once
// The Win32 implementations of the file dialog and the boxes of platform/dialogs.h: the
// system's Open and Save dialogs, MessageBoxW, and an input box of our own built in memory.

#include "platform/dialogs.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace tessivor::platform {

/// The common file dialog on GetOpenFileNameW and GetSaveFileNameW, modal to its owner.
/// FileName holds the chosen name in the ANSI code page; path() gives the name exactly as the
/// dialog chose it, also one that the code page cannot spell. Any name is accepted and an
/// existing file is replaced without a question; the caller finds out when it opens it.
class Win32FileDialog : public FileDialog {
public:
    explicit Win32FileDialog(HWND owner = nullptr) : owner_(owner) {}
    void setOwner(HWND owner) { owner_ = owner; }

    bool ShowOpen() override;
    bool ShowSave() override;
    std::filesystem::path path() const override;

private:
    bool show(bool save);

    HWND owner_;
    std::wstring chosen_;    ///< the last name chosen, as the dialog gave it
    std::string chosenAnsi_; ///< the same as FileName got it
};

/// Message boxes on MessageBoxW and input boxes of our own, modal to the owner. A message box
/// has the title, the text, OK and no icon; an input box the title, the prompt (wrapped, the
/// box as tall as a long prompt needs up to most of the screen), an empty edit box that takes
/// a reply of any length, OK and Cancel. Texts are in the ANSI code page.
class Win32Boxes : public Boxes {
public:
    explicit Win32Boxes(HWND owner = nullptr) : owner_(owner) {}
    void setOwner(HWND owner) { owner_ = owner; }

    void messageBox(std::string_view title, std::string_view text) override;
    std::string inputBox(std::string_view title, std::string_view prompt) override;

private:
    HWND owner_;
};

/// The control identifiers of the input box, for tests that answer it.
enum InputBoxControl : int { kInputPrompt = 100, kInputReply = 101 };

/// Shows the input box with UTF-16 texts: the reply, or nothing on Cancel.
bool showInputBox(HWND owner, const std::wstring& title, const std::wstring& prompt,
                  std::wstring& reply);

} // namespace tessivor::platform
