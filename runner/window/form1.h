#pragma once
// `Form1`: the runner's one window on Qt. Its caption, its one-line display `t1` and its menu
// item `larp` are what a running program writes to; the window is the host of every run
// (Form1Logic).

#include "platform/dialogs.h"
#include "runner/window/form1_logic.h"

#include <QMainWindow>

#include <memory>
#include <string_view>

class QAction;
class QLineEdit;
class QMenu;

namespace tessivor {

class Form1 : public QMainWindow, public Form1Logic {
    Q_OBJECT

public:
    /// The window with Qt's file dialog and boxes.
    Form1();
    /// The window with the given file dialog `ComDLG` and boxes (tests answer them).
    Form1(std::unique_ptr<platform::FileDialog> comDlg, std::unique_ptr<platform::Boxes> boxes);
    ~Form1() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createDisplay();

    // Form1Logic: the window's side.
    void showCaption(std::string_view caption) override;
    void showInT1(std::string_view text) override;
    void enableLarp() override;
    void handlePendingEvents() override;
    void handleNonInputEvents() override;

    QLineEdit* t1 = nullptr;
    QMenu* app = nullptr;
    QAction* larp = nullptr;
    QAction* smtofile = nullptr;
    QAction* lmfromfile = nullptr;
    QAction* exit = nullptr;
};

} // namespace tessivor
