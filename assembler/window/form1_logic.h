#pragma once
// The commands of Tessivor ASM's window `Form1`, written once for every platform. The Qt and
// the Win32 windows derive from Form1Logic, give it their editor box `t1` and bind its
// handlers to their menu `file`; the handlers reach the file dialog `ComDLG` and the message
// boxes through the platform layer, so tests can answer them.

#include "platform/dialogs.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tessivor::assembler {

/// The editor's commands. The editor keeps no document state: every command stands alone.
class Form1Logic {
public:
    virtual ~Form1Logic() = default;
    Form1Logic(const Form1Logic&) = delete;
    Form1Logic& operator=(const Form1Logic&) = delete;

    // The commands of the menu `file`, one handler each. `new` is a keyword, hence `new_`.

    /// Empties the editor; touches no file and no dialog setting.
    void new_();
    /// Writes the editor's text and a line end, whole or not at all, to a source file chosen
    /// in the Save dialog. A cancelled dialog writes nothing and says nothing; a failed write
    /// names the file and the reason in a message box.
    void save();
    /// Replaces the editor's text by a source file chosen in the Open dialog, once the whole
    /// file has been read. A cancelled dialog changes nothing and says nothing; a failed read
    /// names the file and the reason.
    void load();
    /// Translates the editor's text and writes the code string to a program file chosen in
    /// the Save dialog; a failure shows "Error Compiling." and puts the caret at the scan
    /// position (past the end of the text when no file was written).
    void compile();
    /// Ends the program at once, unsaved text and all.
    [[noreturn]] void exit();

protected:
    /// The commands on this dialog and these boxes, which must outlive the window; null for
    /// ones given later through useDialogs().
    Form1Logic(platform::FileDialog* comDlg, platform::Boxes* boxes)
        : ComDLG(comDlg), boxes_(boxes) {}
    void useDialogs(platform::FileDialog& comDlg, platform::Boxes& boxes) {
        ComDLG = &comDlg;
        boxes_ = &boxes;
    }

    // The window's editor box `t1`.

    /// The text of `t1` as source bytes: one byte a character, each line end CR LF.
    virtual std::string sourceText() const = 0;
    /// Replaces the whole text of `t1` by `source` (each line end CR LF).
    virtual void setSourceText(std::string_view source) = 0;
    /// Puts the caret of `t1` at `offset`, a 0-based offset into sourceText(), with no text
    /// selected; an offset past the end puts it at the end.
    virtual void setCaret(std::size_t offset) = 0;

private:
    /// The failure path of `compile`: the message, then the caret at `position`.
    void compileFailed(std::size_t position);
    /// A save or load that failed for a reason other than a cancelled dialog.
    void reportFileFailure(const char* verb, const std::string& reason);

    platform::FileDialog* ComDLG;
    platform::Boxes* boxes_;
};

} // namespace tessivor::assembler
