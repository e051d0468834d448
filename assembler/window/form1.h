#pragma once
// `Form1`, the window of Tessivor ASM on Qt: the source editor `t1` and the menu `file`, whose
// commands are those of Form1Logic.

#include "assembler/window/form1_logic.h"
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
class Form1 : public QMainWindow, public Form1Logic {
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

    // Form1Logic: the editor box.
    std::string sourceText() const override;
    void setSourceText(std::string_view source) override;
    void setCaret(std::size_t offset) override;

    /// The text of `t1`, every character as typed, line breaks as U+2029 or U+2028.
    QString editorText() const;

    std::unique_ptr<platform::FileDialog> ownDialog_;
    std::unique_ptr<platform::Boxes> ownBoxes_;

    QPlainTextEdit* t1 = nullptr;
    QMenu* file = nullptr;
    QAction* newAct = nullptr;
    QAction* saveAct = nullptr;
    QAction* loadAct = nullptr;
    QAction* compileAct = nullptr;
    QAction* exitAct = nullptr;
};

} // namespace tessivor::assembler
