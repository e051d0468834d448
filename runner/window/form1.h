#pragma once
// `Form1`: the runner's one window. Its caption, its one-line display `t1` and its menu item
// `larp` are what a running program writes to; the window is the host of every run.

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "runner/machine/host.h"
#include "runner/machine/run.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QLineEdit;
class QMenu;

namespace tessivor {

class Form1 : public QMainWindow, public Host {
    Q_OBJECT

public:
    /// The window with Qt's file dialog and boxes.
    Form1();
    /// The window with the given file dialog `ComDLG` and boxes (tests answer them).
    Form1(std::unique_ptr<platform::FileDialog> comDlg, std::unique_ptr<platform::Boxes> boxes);
    ~Form1() override;

    /// Prepares `incode` and runs it with this window as its host, until the run ends.
    RunResult runprogram(const std::string& incode);

    /// Replaces the tick counter the runs read (tests start it near the counter's wrap).
    void setTickCount(std::function<std::int32_t()> tickCount);

    // Host: what a running program does to the window.
    void setCaption(std::string_view caption) override;
    void setDisplay(std::string_view text) override;
    void setLarpEnabled() override;
    void messageBox(std::string_view text) override;
    std::string inputBox(std::string_view prompt) override;
    void processEvents() override;
    std::int32_t tickCount() override;
    float randomSingle() override;
    const std::atomic<std::uint32_t>* tickPulse() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createDisplay();

    void larpClick();
    void exitClick();

    std::unique_ptr<platform::FileDialog> ComDLG;
    std::unique_ptr<platform::Boxes> boxes_;
    platform::SingleRandom random_; // seeded from the clock as the window is created
    std::function<std::int32_t()> tickCount_ = platform::tickCount;

    QLineEdit* t1 = nullptr;
    QMenu* app = nullptr;
    QAction* larp = nullptr;
    QAction* smtofile = nullptr;
    QAction* lmfromfile = nullptr;
    QAction* exit = nullptr;
};

} // namespace tessivor
