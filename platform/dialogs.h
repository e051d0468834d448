#pragma once
// The modal dialogs and boxes the windows use, behind interfaces so tests can answer them.
// Texts are bytes, one byte a character, shown as Latin-1. No Qt here: the Qt implementations
// live in platform/qt_dialogs.h.

#include "platform/cmdline.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tessivor::platform {

/// The common file dialog `ComDLG`: a filter, the chosen file name, the modal Open and Save
/// dialogs. Filter texts are written as the windows give them: "Tessivor Program (*.tsp) | *.tsp".
class FileDialog {
public:
    virtual ~FileDialog() = default;

    std::string Filter;
    /// The chosen file, offered as the initial name the next time a dialog opens; "" for none.
    std::string FileName;

    /// Shows the modal Open dialog. On OK sets FileName and returns true; on Cancel returns
    /// false and leaves FileName as it was.
    virtual bool ShowOpen() = 0;
    /// Shows the modal Save dialog, with the same contract as ShowOpen().
    virtual bool ShowSave() = 0;

    /// The file FileName names. FileName is in the system's narrow file-name text (on Windows
    /// the ANSI code page); a dialog that knows the name more exactly than that says so here.
    virtual std::filesystem::path path() const { return pathFromArgument(FileName); }
    /// FileName as a box shows it: one byte a character.
    virtual std::string displayName() const { return FileName; }
};

/// Modal message and input boxes with a given title.
class Boxes {
public:
    virtual ~Boxes() = default;

    /// A message box: the title, the text, one OK button, no icon. Returns when it is closed.
    virtual void messageBox(std::string_view title, std::string_view text) = 0;
    /// An input box: the title, the prompt, an empty default, OK and Cancel. Cancel gives "".
    virtual std::string inputBox(std::string_view title, std::string_view prompt) = 0;
};

} // namespace tessivor::platform
