#pragma once
// `Form1`, the window of Tessivor ASM: the source editor `t1` and the menu `file`.

#include "platform/dialogs.h"

#include <QMainWindow>

#include <cstddef>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QPlainTextEdit;

namespace tessivor::assembler {

/// The editor window. It keeps no document state: every command of its menu stands alone.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    /// The window with the platform's own file dialog and message boxes.
    Form1();
    /// The window with the given dialog and boxes, which must outlive it (tests answer them).
    Form1(platform::FileDialog& dialog, platform::Boxes& boxes);
    ~Form1() override;

private:
    Form1(platform::FileDialog* dialog, platform::Boxes* boxes);

    void createEditor();
    void createActions();
    void createMenus();

    // The commands of the menu `file`, one handler each. `new` is a keyword, hence `new_`.
    void new_();
    void save();
    void load();
    void compile();
    void exit();

    /// The text of `t1`, every character as typed, line breaks as U+2029 or U+2028.
    QString editorText() const;
    /// The failure path of `compile`: the message, then the caret at `position`, a 0-based
    /// offset into the source made from the editor's `text`.
    void compileFailed(const QString& text, std::size_t position);
    /// A save or load that failed for a reason other than a cancelled dialog.
    void reportFileFailure(const char* verb, const std::string& reason);

    std::unique_ptr<platform::FileDialog> ownDialog_;
    std::unique_ptr<platform::Boxes> ownBoxes_;
    platform::FileDialog* ComDLG = nullptr;
    platform::Boxes* boxes_ = nullptr;

    QPlainTextEdit* t1 = nullptr;
    QMenu* file = nullptr;
    QAction* newAct = nullptr;
    QAction* saveAct = nullptr;
    QAction* loadAct = nullptr;
    QAction* compileAct = nullptr;
    QAction* exitAct = nullptr;
};

} // namespace tessivor::assembler
