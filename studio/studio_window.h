#pragma once
// Tessivor Studio's one window: the source editor in the middle; Build, Run and the stepping
// commands on the debug session; the machine's cells, registers, output and messages and the
// checker's problems in docks around it.

#include "studio/machine_runner.h"
#include "studio/studio_dialogs.h"

#include <QMainWindow>
#include <QPalette>

#include <array>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QDialog;
class QLabel;
class QListWidget;
class QMenu;
class QSettings;
class QSlider;
class QTableWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QListWidgetItem;

namespace tessivor::studio {

class CodeEditor;

/// Where the window finds its examples and keeps its recent files, and who answers its
/// questions. Empty fields take the defaults.
struct StudioOptions {
    StudioDialogs* dialogs = nullptr; ///< must outlive the window; null: Qt's dialogs
    QString settingsFile;             ///< an INI file for the recent files; "": the user's
    QString examplesFolder;           ///< the bundled examples; "": found beside the program
};

class StudioWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit StudioWindow(StudioOptions options = {});
    ~StudioWindow() override;

    /// Opens a source file as the document; an example opens read-only until saved as. False
    /// (after telling the user) when it cannot be read.
    bool openFile(const QString& path, bool example = false);
    /// The file the document is saved in; "" for a new document or an example.
    QString filePath() const { return filePath_; }
    CodeEditor* editor() const { return editor_; }
    /// True while a command runs on the machine.
    bool busy() const { return pending_ > 0; }
    /// The last state the machine reported.
    const MachineSnapshot& machine() const { return machine_; }
    /// Runs the checker now instead of a moment after the last change.
    void checkNow();
    /// The sentence "Read the State" last said (or the last stop said).
    QString lastAnnouncement() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createEditor();
    void createActions();
    void createMenus();
    void createToolBar();
    void createDocks();
    void createRunner();
    void createChecker();
    void createAccessibility();
    void describeActions();
    void describeWidgets();

    // Files.
    void newFile();
    void open();
    bool save();
    bool saveAs();
    bool writeTo(const QString& path);
    bool maybeSave();
    void fillRecentMenu();
    void fillExamplesMenu();
    void addRecent(const QString& path);
    void updateTitle();
    QString documentName() const;

    // Build and run.
    void build();
    void run();
    void pause();
    void stop();
    void stepInstruction();
    void stepMachine();
    void back();
    void continueRun();
    void runToCursor();
    void toggleBreakpoint();
    /// Starts a session on the editor's text; false (with a message) when it does not translate.
    bool startSession();
    /// Starts a session first when there is none, then sends `command`.
    void command(std::function<void()> command);
    /// Sends `command` to the machine and remembers it, to send again after an input.
    void issue(std::function<void()> command);
    Pace pace() const;
    int animationDelay() const;
    void speedChanged();

    // What the machine reports.
    void machineStopped(const MachineSnapshot& snapshot);
    void machineShowed(std::vector<MachineEvent> events);
    void showCells(const MachineSnapshot& snapshot);
    void showRegisters(const MachineSnapshot& snapshot);
    void addMessage(const QString& text, int line);
    void clearRunViews();
    void updateActions();

    void check();
    void jumpToItem(int line);

    // Reading and seeing.
    void readState();
    void announceStop(const MachineSnapshot& snapshot);
    void focusPane(int pane);
    void zoom(int steps);
    void applyFontSize();
    void setHighContrast(bool on);
    void showShortcuts();

    StudioOptions options_;
    std::unique_ptr<StudioDialogs> ownDialogs_;
    StudioDialogs* dialogs_ = nullptr;
    std::unique_ptr<QSettings> settings_;

    CodeEditor* editor_ = nullptr;
    QString filePath_;
    QString exampleName_; ///< the example shown read-only; "" otherwise

    QMenu* fileMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* examplesMenu_ = nullptr;
    QMenu* runMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QAction* newAct_ = nullptr;
    QAction* openAct_ = nullptr;
    QAction* saveAct_ = nullptr;
    QAction* saveAsAct_ = nullptr;
    QAction* exitAct_ = nullptr;
    QAction* buildAct_ = nullptr;
    QAction* runAct_ = nullptr;
    QAction* pauseAct_ = nullptr;
    QAction* stopAct_ = nullptr;
    QAction* stepAct_ = nullptr;
    QAction* stepMachineAct_ = nullptr;
    QAction* backAct_ = nullptr;
    QAction* continueAct_ = nullptr;
    QAction* runToCursorAct_ = nullptr;
    QAction* breakpointAct_ = nullptr;
    QAction* readStateAct_ = nullptr;
    QAction* zoomInAct_ = nullptr;
    QAction* zoomOutAct_ = nullptr;
    QAction* zoomResetAct_ = nullptr;
    QAction* highContrastAct_ = nullptr;
    QAction* shortcutsAct_ = nullptr;
    QSlider* speed_ = nullptr;
    QLabel* speedLabel_ = nullptr;

    QTableWidget* cells_ = nullptr;
    QCheckBox* nonEmptyOnly_ = nullptr;
    std::array<QLabel*, 7> registers_{};
    QTreeWidget* output_ = nullptr;
    QListWidget* messages_ = nullptr;
    QTreeWidget* problems_ = nullptr;
    QTimer* checkTimer_ = nullptr;
    QLabel* announcer_ = nullptr; ///< the status bar's label that stops and "Read the State" say
    QDialog* shortcuts_ = nullptr;

    int fontSteps_ = 0; ///< two points a step above (or below) the system's font sizes
    bool highContrast_ = false;
    QPalette systemPalette_; ///< the application's palette before the high-contrast one

    MachineSnapshot machine_;
    std::array<std::string, kCells> cellsAtLastStop_;
    int pending_ = 0; ///< commands sent to the machine that have not reported their end
    std::function<void()> lastCommand_; ///< sent again after an input is answered

    std::unique_ptr<MachineRunner> runner_; // last: its thread ends before anything above goes
};

} // namespace tessivor::studio
