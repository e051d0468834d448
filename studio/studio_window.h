#pragma once
// Tessivor Studio's one window: the source editor in the middle; Build, Run and the stepping
// commands on the debug session; the machine's cells, registers, output and messages and the
// checker's problems in docks around it.

#include "assembler/translate/program.h"
#include "studio/machine_runner.h"
#include "studio/source_file.h"
#include "studio/studio_dialogs.h"

#include <QMainWindow>
#include <QPalette>

#include <array>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QDialog;
class QDockWidget;
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
class InputQueue;
class Timeline;

/// The largest source the Studio opens: beyond it the editor, its colours and the checker
/// would keep the window from answering. `tessivor-cli` takes any size.
inline constexpr qint64 kMaxEditedSource = qint64{1} << 20;

/// Where the window finds its examples and keeps its recent files, and who answers its
/// questions. Empty fields take the defaults.
struct StudioOptions {
    StudioDialogs* dialogs = nullptr; ///< must outlive the window; null: Qt's dialogs
    QString settingsFile;             ///< an INI file for the recent files; "": the user's
    QString examplesFolder;           ///< the bundled examples; "": found beside the program
    QString cliProgram; ///< tessivor-cli, which Self-Test runs; "": found beside the program
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
    /// The bytes Build and Run use: the file's own while the text is as read or saved, else
    /// what Save would write.
    std::string sourceBytes() const;
    /// How the document's file ends its lines.
    const SourceFormat& sourceFormat() const { return format_; }
    /// Asks what to do when another program changed or removed the file (done when the window
    /// gets the focus); false when nothing had changed.
    bool checkDiskChange();
    InputQueue* inputQueue() const { return inputQueue_; }
    /// Watches on cells: the run stops after a step that changes one.
    void setWatch(int cell, bool on);
    /// The learner's edit of a cell while the run is paused: from this step on the cell holds
    /// `text` (the Cells view's text, "\u21b5" a line end). False when no paused run takes it.
    bool editCell(int cell, const QString& text);
    /// Whether the Cells view takes edits now: a run is paused, not ended, and nothing runs.
    bool cellsEditable() const;
    Timeline* timeline() const { return timeline_; }
    bool watched(int cell) const { return watched_[static_cast<std::size_t>(cell)]; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

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
    /// Takes `bytes` as the document's text, read from or standing for `path`.
    void takeText(const std::string& bytes);
    void restoreLayout();
    QDockWidget* dockNamed(const char* name) const;

    // Exports.
    void exportOutput();
    /// Runs a teacher's test file's cases on the program with tessivor-cli test.
    void selfTest();
    /// Writes the steps of the current run, replayed with its replies and draws, as text.
    void exportTrace();

    // Build and run.
    void build();
    void run();
    void pause();
    void stop();
    void stepInstruction();
    void stepMachine();
    void back();
    void backMachine();
    void reverseContinue();
    void goToStep();
    /// Sends the timeline's chosen step to the machine, one jump at a time.
    void sendJump();
    void continueRun();
    void runToCursor();
    void toggleBreakpoint();
    /// Starts a session on the editor's text; false (with a message) when it does not translate.
    bool startSession();
    /// Ends a finished run's session so the next command starts afresh.
    void endFinishedRun();
    void answerInput(const MachineSnapshot& snapshot);
    void applyFix();
    /// Starts a session first when there is none, then sends `command`.
    void command(std::function<void()> command);
    /// Sends `command` to the machine and remembers it, to send again after an input.
    void issue(std::function<void()> command);
    Pace pace() const;
    int animationDelay() const;
    void speedChanged();
    /// Steps once at the single-step pace, else goes at the chosen one.
    void goAtPace();

    // What the machine reports.
    void machineStopped(const MachineSnapshot& snapshot);
    void machineShowed(std::vector<MachineEvent> events);
    /// Adds rows to the Output pane, which keeps its latest kMaxOutputLines.
    void appendOutputRows(QList<QTreeWidgetItem*>& lines);
    void showCells(const MachineSnapshot& snapshot);
    void showRegisters(const MachineSnapshot& snapshot);
    void showTimeline(const MachineSnapshot& snapshot);
    /// Adds a message; `important` ones (failures) bring the Messages pane to the front.
    /// `step`: the run's step that showed it, -1 for none; Back takes it away with the step.
    void addMessage(const QString& text, int line, bool important = false, std::int64_t step = -1);
    /// "prog.tsasm:4:1: mul 01, 02, 03: Type mismatch: cell 01 holds ..." for a failed step.
    QString errorReport(const DebugState& state) const;
    void reportBuildError(const Program& program);
    /// Takes away the output and messages of steps after `step`.
    void forgetShownAfter(std::int64_t step);
    /// Lists again the texts before the pane's first row, when going back emptied it.
    void refillOutput();
    /// Lists again the run's messages of steps up to `step` that the pane no longer lists.
    void refillMessages(std::int64_t step);
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
    SourceFormat format_;
    std::optional<std::string> readBytes_; ///< what the file held when read or last saved
    QString readText_;                     ///< the editor's text for readBytes_
    DiskStamp stamp_;                      ///< of filePath_ then
    bool askingAboutDisk_ = false;

    QMenu* fileMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* examplesMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* runMenu_ = nullptr;
    QMenu* debugMenu_ = nullptr;
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
    QAction* backMachineAct_ = nullptr;
    QAction* reverseContinueAct_ = nullptr;
    QAction* goToStepAct_ = nullptr;
    QAction* continueAct_ = nullptr;
    QAction* runToCursorAct_ = nullptr;
    QAction* breakpointAct_ = nullptr;
    QAction* readStateAct_ = nullptr;
    QAction* zoomInAct_ = nullptr;
    QAction* zoomOutAct_ = nullptr;
    QAction* zoomResetAct_ = nullptr;
    QAction* highContrastAct_ = nullptr;
    QAction* shortcutsAct_ = nullptr;
    QAction* instructionsAct_ = nullptr;
    QAction* exportOutputAct_ = nullptr;
    QAction* selfTestAct_ = nullptr;
    QAction* exportTraceAct_ = nullptr;
    QAction* applyFixAct_ = nullptr;
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
    InputQueue* inputQueue_ = nullptr;
    Timeline* timeline_ = nullptr;
    QLabel* timelinePlace_ = nullptr; ///< "step N of M" beside the timeline
    QTimer* jumpTimer_ = nullptr;     ///< lets a drag's jumps go to the machine a few a second
    std::optional<std::int64_t> jumpTarget_; ///< the step the timeline asks for, until reached
    bool goRunning_ = false;                 ///< a Run or Continue goes on
    QTreeWidget* instructions_ = nullptr;    ///< the Help panel's table
    std::shared_ptr<const Program> program_; ///< the one the session runs
    std::array<bool, kCells> watched_{};

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
