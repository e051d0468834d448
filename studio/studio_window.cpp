#include "studio/studio_window.h"

#include "assembler/check/check.h"
#include "assembler/translate/program.h"
#include "common/ends.h"
#include "platform/files.h"
#include "platform/qt_source_text.h"
#include "platform/qt_text.h"
#include "runner/debug/describe.h"
#include "runner/machine/host.h"
#include "runner/machine/run.h"
#include "studio/accessibility.h"
#include "studio/code_editor.h"
#include "studio/input_queue.h"
#include "studio/instruction_help.h"
#include "studio/quick_fix.h"
#include "studio/timeline.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSaveFile>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>

namespace tessivor::studio {
namespace {

const QString kAppName = QStringLiteral("Tessivor Studio");
constexpr int kMaxRecent = 8;
constexpr int kMaxOutputLines = 10'000;
// The start of a shown text that the Output pane lists.
constexpr std::size_t kShownOutputLength = 1000;
constexpr int kCheckDelayMs = 400;
// A message's step: the run's step that showed it; -1 for one that no step showed.
constexpr int kStepRole = Qt::UserRole + 1;
// True for the message that says how the run ended.
constexpr int kEndRole = Qt::UserRole + 2;
// The pauses between instructions of an animation, slowest first; the slider's first position
// is one instruction at a time and its last full speed.
constexpr int kAnimationDelays[] = {1000, 600, 350, 200, 120, 60, 30, 15, 5};
constexpr int kSpeedPositions = 11;
enum Register { Pc, Cur, Opb, Opc, Steps, Speed, Where };
const char* const kRegisterNames[] = {"pc", "cur", "opb", "opc", "steps", "speed", "at"};
constexpr int kFontStepPoints = 2;
constexpr int kMinFontSteps = -2;
constexpr int kMaxFontSteps = 15;
// A drag of the timeline sends the machine at most one jump this often.
constexpr int kJumpEveryMs = 40;

std::filesystem::path toPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

QString fromBytes(const std::string& text) { return platform::toQString(text); }

/// The text a cell shows in a one-line view: line ends visible, long texts cut.
QString cellText(const std::string& text) {
    QString shown = fromBytes(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\u21b5"));
    shown.replace(QLatin1Char('\n'), QStringLiteral("\u21b5"));
    shown.replace(QLatin1Char('\r'), QStringLiteral("\u21b5"));
    if (text.size() >= kShownCellLength) shown += QStringLiteral("\u2026");
    return shown;
}

/// The text a learner typed in the Cells view as the cell's bytes: each "\u21b5" a line end.
std::string cellBytes(const QString& typed) {
    QString text = typed;
    text.replace(QStringLiteral("\u21b5"), QStringLiteral("\r\n"));
    return platform::fromQString(text);
}

/// The folder of the bundled examples: installed beside the programs, or in the source tree.
QString findExamples() {
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString installed = bin.absoluteFilePath(QStringLiteral("../share/tessivor/examples"));
    if (QDir(installed).exists()) return QDir::cleanPath(installed);
#ifdef TESSIVOR_SOURCE_EXAMPLES
    return QStringLiteral(TESSIVOR_SOURCE_EXAMPLES);
#else
    return {};
#endif
}

/// What a stop says, as the page says it too.
QString stopWords(Stop stop) {
    switch (stop) {
    case Stop::None: return {};
    case Stop::Step: return QStringLiteral("Stepped");
    case Stop::Slice: return QStringLiteral("Running");
    case Stop::Breakpoint: return QStringLiteral("Paused at a breakpoint");
    case Stop::Watch: return QStringLiteral("Paused: a watched cell changed");
    case Stop::Back: return QStringLiteral("Went back");
    case Stop::HistoryEnd: return QStringLiteral("Went back as far as the history reaches");
    case Stop::Paused: return QStringLiteral("Paused");
    case Stop::Input: return QStringLiteral("Waiting for input");
    case Stop::Terminated: return QStringLiteral("Program Terminated");
    case Stop::Error: return QStringLiteral("Program Ended");
    case Stop::PastEnd: return QStringLiteral("Ran past the last instruction");
    case Stop::StepLimit: return QStringLiteral("Stopped at the step limit");
    case Stop::PrepareFailed: return QStringLiteral("The program cannot run");
    }
    return {};
}

/// The Cells view's editor of a cell's text: it takes the text as the view shows it, and hands
/// the edit to the machine instead of the view (whose texts follow the machine).
class CellEditor : public QStyledItemDelegate {
public:
    CellEditor(StudioWindow* window, QObject* parent)
        : QStyledItemDelegate(parent), window_(window) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (!window_->cellsEditable()) return nullptr;
        const std::string& text = window_->machine().cells[static_cast<std::size_t>(index.row())];
        // The view holds only the start of a longer text: an edit would cut the rest off.
        if (text.size() >= kShownCellLength) {
            announce(window_->findChild<QLabel*>(QStringLiteral("announcement")),
                     QStringLiteral("Cell %1 holds more than the Studio shows; it cannot be "
                                    "edited here")
                         .arg(index.row(), 2, 10, QLatin1Char('0')));
            return nullptr;
        }
        auto* editor =
            qobject_cast<QLineEdit*>(QStyledItemDelegate::createEditor(parent, option, index));
        if (editor) {
            editor->setAccessibleName(
                QStringLiteral("Cell %1's text").arg(index.row(), 2, 10, QLatin1Char('0')));
            editor->setAccessibleDescription(
                QStringLiteral("Enter keeps the text from this step "
                               "on, Escape leaves it; \u21b5 is a line end"));
        }
        return editor;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setText(
                cellText(window_->machine().cells[static_cast<std::size_t>(index.row())]));
    }
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) return;
        const std::string& was = window_->machine().cells[static_cast<std::size_t>(index.row())];
        // Left as it was: no edit (a line end the view shows as "\u21b5" stays as it is).
        if (line->text() == cellText(was)) return;
        window_->editCell(index.row(), line->text());
    }

private:
    StudioWindow* window_;
};

} // namespace

StudioWindow::StudioWindow(StudioOptions options) : options_(std::move(options)) {
    if (options_.dialogs) {
        dialogs_ = options_.dialogs;
    } else {
        ownDialogs_ = std::make_unique<QtStudioDialogs>(this);
        dialogs_ = ownDialogs_.get();
    }
    settings_ = options_.settingsFile.isEmpty()
                    ? std::make_unique<QSettings>(QStringLiteral("Tessivor"), kAppName)
                    : std::make_unique<QSettings>(options_.settingsFile, QSettings::IniFormat);
    if (options_.examplesFolder.isEmpty()) options_.examplesFolder = findExamples();

    createEditor();
    createActions();
    createMenus();
    createToolBar();
    createDocks();
    createRunner();
    createChecker();
    createAccessibility();
    updateTitle();
    updateActions();
    restoreLayout();
    editor_->setFocus();
}

void StudioWindow::restoreLayout() {
    // The size of the last session, else 1100 x 720, in either case no larger than the screen
    // (a 1024 x 768 projector takes it whole).
    const QRect screen =
        (this->screen() ? this->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    if (!restoreGeometry(settings_->value(QStringLiteral("geometry")).toByteArray()))
        resize(1100, 720);
    // Room for the frame the window manager adds.
    const QSize most(screen.width() - 16, screen.height() - 48);
    if (width() > most.width() || height() > most.height())
        resize(qMin(width(), most.width()), qMin(height(), most.height()));
    restoreState(settings_->value(QStringLiteral("windowState")).toByteArray());
}

QDockWidget* StudioWindow::dockNamed(const char* name) const {
    return findChild<QDockWidget*>(QString::fromLatin1(name));
}

StudioWindow::~StudioWindow() {
    // The high-contrast palette is the application's; it goes with the window.
    if (highContrast_) QApplication::setPalette(systemPalette_);
}

void StudioWindow::createEditor() {
    editor_ = new CodeEditor(this);
    setCentralWidget(editor_);
    connect(editor_->document(), &QTextDocument::modificationChanged, this,
            &QWidget::setWindowModified);
    connect(editor_, &CodeEditor::breakpointsChanged, this, [this] {
        if (runner_) runner_->setBreakpoints(editor_->breakpointLines());
    });
}

void StudioWindow::createActions() {
    const auto action = [this](const char* name, const QString& text, QKeySequence key,
                               auto handler) {
        auto* act = new QAction(text, this);
        act->setObjectName(QString::fromLatin1(name));
        act->setShortcut(key);
        connect(act, &QAction::triggered, this, handler);
        return act;
    };
    newAct_ = action("new", QStringLiteral("&New"), QKeySequence::New, &StudioWindow::newFile);
    openAct_ = action("open", QStringLiteral("&Open..."), QKeySequence::Open, &StudioWindow::open);
    saveAct_ = action("save", QStringLiteral("&Save"), QKeySequence::Save, &StudioWindow::save);
    saveAsAct_ = action("saveAs", QStringLiteral("Save &As..."), QKeySequence::SaveAs,
                        &StudioWindow::saveAs);
    exitAct_ = action("exit", QStringLiteral("E&xit"), QKeySequence::Quit, &QWidget::close);

    buildAct_ = action("build", QStringLiteral("&Build"), QKeySequence(Qt::CTRL | Qt::Key_B),
                       &StudioWindow::build);
    runAct_ = action("run", QStringLiteral("&Run"), QKeySequence(Qt::Key_F5), &StudioWindow::run);
    pauseAct_ =
        action("pause", QStringLiteral("&Pause"), QKeySequence(Qt::Key_F6), &StudioWindow::pause);
    stopAct_ = action("stop", QStringLiteral("S&top"), QKeySequence(Qt::SHIFT | Qt::Key_F5),
                      &StudioWindow::stop);
    stepAct_ = action("step", QStringLiteral("&Step"), QKeySequence(Qt::Key_F10),
                      &StudioWindow::stepInstruction);
    stepMachineAct_ = action("stepMachine", QStringLiteral("Step &Machine Step"),
                             QKeySequence(Qt::Key_F11), &StudioWindow::stepMachine);
    backAct_ = action("back", QStringLiteral("&Back"), QKeySequence(Qt::SHIFT | Qt::Key_F10),
                      &StudioWindow::back);
    continueAct_ = action("continue", QStringLiteral("&Continue"), QKeySequence(Qt::Key_F8),
                          &StudioWindow::continueRun);
    runToCursorAct_ = action("runToCursor", QStringLiteral("Run to C&ursor"),
                             QKeySequence(Qt::CTRL | Qt::Key_F10), &StudioWindow::runToCursor);
    breakpointAct_ = action("toggleBreakpoint", QStringLiteral("Toggle B&reakpoint"),
                            QKeySequence(Qt::Key_F9), &StudioWindow::toggleBreakpoint);
    stepAct_->setToolTip(QStringLiteral("Step: run one instruction (F10)"));
    stepMachineAct_->setToolTip(QStringLiteral("Run one machine step (F11)"));
    backAct_->setToolTip(QStringLiteral("Go back one instruction (Shift+F10)"));
    backMachineAct_ = action("backMachine", QStringLiteral("Step Back Mac&hine Step"),
                             QKeySequence(Qt::SHIFT | Qt::Key_F11), &StudioWindow::backMachine);
    backMachineAct_->setIconText(QStringLiteral("Back Step"));
    reverseContinueAct_ =
        action("reverseContinue", QStringLiteral("Back to Brea&kpoint"),
               QKeySequence(Qt::SHIFT | Qt::Key_F8), &StudioWindow::reverseContinue);
    goToStepAct_ = action("goToStep", QStringLiteral("&Go to Step..."),
                          QKeySequence(Qt::CTRL | Qt::Key_G), &StudioWindow::goToStep);

    readStateAct_ = action("readState", QStringLiteral("Read the &State"), QKeySequence(Qt::Key_F2),
                           &StudioWindow::readState);
    zoomInAct_ =
        action("zoomIn", QStringLiteral("&Larger Text"), QKeySequence::ZoomIn, [this] { zoom(1); });
    // Ctrl+= is Ctrl+Plus without Shift on most keyboards.
    zoomInAct_->setShortcuts(
        {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    zoomOutAct_ = action("zoomOut", QStringLiteral("&Smaller Text"), QKeySequence::ZoomOut,
                         [this] { zoom(-1); });
    zoomResetAct_ = action("zoomReset", QStringLiteral("&Normal Text Size"),
                           QKeySequence(Qt::CTRL | Qt::Key_0), [this] { zoom(0); });
    highContrastAct_ = action("highContrast", QStringLiteral("&High Contrast"), QKeySequence(),
                              [this] { setHighContrast(highContrastAct_->isChecked()); });
    highContrastAct_->setCheckable(true);
    shortcutsAct_ = action("shortcuts", QStringLiteral("&Keyboard Shortcuts"),
                           QKeySequence(Qt::Key_F1), &StudioWindow::showShortcuts);
    instructionsAct_ = action("instructions", QStringLiteral("&Instructions"),
                              QKeySequence(Qt::SHIFT | Qt::Key_F1), [this] {
                                  if (auto* d = dockNamed("helpDock")) {
                                      d->show();
                                      d->raise();
                                  }
                                  instructions_->setFocus();
                              });
    exportTraceAct_ = action("exportTrace", QStringLiteral("Export &Trace..."), QKeySequence(),
                             &StudioWindow::exportTrace);
    selfTestAct_ = action("selfTest", QStringLiteral("Self-&Test..."), QKeySequence(),
                          &StudioWindow::selfTest);
    exportOutputAct_ = action("exportOutput", QStringLiteral("Export &Output Log..."),
                              QKeySequence(), &StudioWindow::exportOutput);
    applyFixAct_ = action("applyFix", QStringLiteral("Apply &Fix"),
                          QKeySequence(Qt::CTRL | Qt::Key_Period), &StudioWindow::applyFix);
}

void StudioWindow::createMenus() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->addAction(newAct_);
    fileMenu_->addAction(openAct_);
    recentMenu_ = fileMenu_->addMenu(QStringLiteral("Open &Recent"));
    recentMenu_->setObjectName(QStringLiteral("recent"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &StudioWindow::fillRecentMenu);
    examplesMenu_ = fileMenu_->addMenu(QStringLiteral("&Examples"));
    examplesMenu_->setObjectName(QStringLiteral("examples"));
    fillExamplesMenu();
    fileMenu_->addSeparator();
    fileMenu_->addAction(saveAct_);
    fileMenu_->addAction(saveAsAct_);
    fileMenu_->addSeparator();
    fileMenu_->addAction(exportOutputAct_);
    fileMenu_->addAction(exportTraceAct_);
    fileMenu_->addSeparator();
    fileMenu_->addAction(exitAct_);
    fillRecentMenu();

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    const auto editorAction = [this, edit](const QString& text, QKeySequence key,
                                           void (QPlainTextEdit::*slot)()) {
        auto* act = edit->addAction(text);
        act->setStatusTip(QStringLiteral("%1 in the source").arg(QString(text).remove('&')));
        act->setShortcut(key);
        act->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(act, &QAction::triggered, editor_, slot);
    };
    editorAction(QStringLiteral("&Undo"), QKeySequence::Undo, &QPlainTextEdit::undo);
    editorAction(QStringLiteral("&Redo"), QKeySequence::Redo, &QPlainTextEdit::redo);
    edit->addSeparator();
    editorAction(QStringLiteral("Cu&t"), QKeySequence::Cut, &QPlainTextEdit::cut);
    editorAction(QStringLiteral("&Copy"), QKeySequence::Copy, &QPlainTextEdit::copy);
    editorAction(QStringLiteral("&Paste"), QKeySequence::Paste, &QPlainTextEdit::paste);
    editorAction(QStringLiteral("Select &All"), QKeySequence::SelectAll,
                 &QPlainTextEdit::selectAll);
    edit->addSeparator();
    edit->addAction(applyFixAct_);

    runMenu_ = menuBar()->addMenu(QStringLiteral("&Run"));
    runMenu_->addAction(buildAct_);
    runMenu_->addSeparator();
    runMenu_->addAction(runAct_);
    runMenu_->addAction(pauseAct_);
    runMenu_->addAction(continueAct_);
    runMenu_->addAction(stopAct_);
    runMenu_->addSeparator();
    runMenu_->addAction(readStateAct_);
    runMenu_->addSeparator();
    runMenu_->addAction(selfTestAct_);

    // Stepping through the run, forward and back.
    debugMenu_ = menuBar()->addMenu(QStringLiteral("&Debug"));
    debugMenu_->setObjectName(QStringLiteral("debug"));
    debugMenu_->addAction(stepAct_);
    debugMenu_->addAction(stepMachineAct_);
    debugMenu_->addAction(runToCursorAct_);
    debugMenu_->addSeparator();
    debugMenu_->addAction(backAct_);
    debugMenu_->addAction(backMachineAct_);
    debugMenu_->addAction(reverseContinueAct_);
    debugMenu_->addAction(goToStepAct_);
    debugMenu_->addSeparator();
    debugMenu_->addAction(breakpointAct_);

    viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));
    editMenu_ = edit;
}

void StudioWindow::createToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Run"));
    bar->setObjectName(QStringLiteral("runToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addAction(buildAct_);
    bar->addSeparator();
    bar->addAction(runAct_);
    bar->addAction(pauseAct_);
    bar->addAction(continueAct_);
    bar->addAction(stopAct_);
    bar->addSeparator();
    bar->addAction(stepAct_);
    bar->addAction(stepMachineAct_);
    bar->addAction(backAct_);
    bar->addAction(backMachineAct_);
    bar->addAction(reverseContinueAct_);
    bar->addAction(runToCursorAct_);
    bar->addSeparator();
    auto* label = new QLabel(QStringLiteral(" Speed: "), bar);
    label->setObjectName(QStringLiteral("speedCaption"));
    bar->addWidget(label);
    speed_ = new QSlider(Qt::Horizontal, bar);
    speed_->setObjectName(QStringLiteral("speed"));
    speed_->setRange(0, kSpeedPositions - 1);
    speed_->setPageStep(1);
    speed_->setValue(kSpeedPositions - 1);
    speed_->setMaximumWidth(140);
    speed_->setAccessibleName(QStringLiteral("Speed"));
    speed_->setToolTip(QStringLiteral("From one step at a time, through animation, to full speed"));
    label->setBuddy(speed_);
    bar->addWidget(speed_);
    speedLabel_ = new QLabel(bar);
    speedLabel_->setMinimumWidth(
        speedLabel_->fontMetrics().horizontalAdvance(QStringLiteral("One step at a time  ")));
    bar->addWidget(speedLabel_);
    connect(speed_, &QSlider::valueChanged, this, &StudioWindow::speedChanged);
    speedChanged();
}

void StudioWindow::createDocks() {
    const auto dock = [this](const char* name, const QString& title, QWidget* content,
                             Qt::DockWidgetArea area) {
        auto* d = new QDockWidget(title, this);
        d->setObjectName(QString::fromLatin1(name));
        d->setWidget(content);
        addDockWidget(area, d);
        viewMenu_->addAction(d->toggleViewAction());
        return d;
    };

    // Cells: all 100, the empty ones dimmed, the changed ones marked; a filter for the others.
    auto* cellsPane = new QWidget;
    auto* cellsLayout = new QVBoxLayout(cellsPane);
    cellsLayout->setContentsMargins(0, 0, 0, 0);
    nonEmptyOnly_ = new QCheckBox(QStringLiteral("Only non-empty cells"), cellsPane);
    nonEmptyOnly_->setObjectName(QStringLiteral("nonEmptyOnly"));
    cells_ = new QTableWidget(kCells, 2, cellsPane);
    cells_->setObjectName(QStringLiteral("cells"));
    cells_->setHorizontalHeaderLabels({QStringLiteral("Cell"), QStringLiteral("Text")});
    cells_->verticalHeader()->hide();
    cells_->horizontalHeader()->setStretchLastSection(true);
    cells_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    // Editable while a run is paused (updateActions).
    cells_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cells_->setSelectionBehavior(QAbstractItemView::SelectRows);
    cells_->setWordWrap(false);
    for (int i = 0; i < kCells; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        // The number's check box is the cell's watch.
        auto* item = new QTableWidgetItem(number);
        item->setFlags((item->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsEditable);
        item->setCheckState(Qt::Unchecked);
        item->setToolTip(QStringLiteral("Tick to watch cell %1: a run stops after the step that "
                                        "changes it (Enter or a double-click does the same)")
                             .arg(number));
        cells_->setItem(i, 0, item);
        cells_->setItem(i, 1, new QTableWidgetItem);
    }
    cells_->verticalHeader()->setDefaultSectionSize(cells_->fontMetrics().height() + 4);
    cells_->setItemDelegateForColumn(1, new CellEditor(this, cells_));
    cellsLayout->addWidget(nonEmptyOnly_);
    cellsLayout->addWidget(cells_);
    connect(nonEmptyOnly_, &QCheckBox::toggled, this, [this] { showCells(machine_); });
    connect(cells_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 0) setWatch(item->row(), item->checkState() == Qt::Checked);
    });
    connect(cells_, &QTableWidget::itemActivated, this,
            [this](QTableWidgetItem* item) { setWatch(item->row(), !watched(item->row())); });
    auto* cellsDock =
        dock("cellsDock", QStringLiteral("Cells"), cellsPane, Qt::RightDockWidgetArea);

    // Registers.
    auto* registersPane = new QWidget;
    auto* form = new QFormLayout(registersPane);
    const QString names[] = {QStringLiteral("pc"),    QStringLiteral("cur"),
                             QStringLiteral("opb"),   QStringLiteral("opc"),
                             QStringLiteral("steps"), QStringLiteral("speed"),
                             QStringLiteral("at")};
    for (std::size_t i = 0; i < registers_.size(); ++i) {
        registers_[i] = new QLabel(registersPane);
        registers_[i]->setObjectName(QStringLiteral("register_") + names[i]);
        registers_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(names[i], registers_[i]);
    }
    // One line on what the registers mean, beside them.
    auto* registersHelpLabel = new QLabel(registersHelp(), registersPane);
    registersHelpLabel->setObjectName(QStringLiteral("registersHelp"));
    // One line whatever the pane's width: the whole of it in the tooltip.
    registersHelpLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    registersHelpLabel->setToolTip(registersHelp());
    form->addRow(registersHelpLabel);
    auto* registersDock =
        dock("registersDock", QStringLiteral("Registers"), registersPane, Qt::RightDockWidgetArea);

    // The timeline: the run's steps, the handle at the current one.
    installTimelineAccessibility();
    auto* timelinePane = new QWidget;
    auto* timelineLayout = new QHBoxLayout(timelinePane);
    timelineLayout->setContentsMargins(6, 0, 6, 0);
    auto* timelineCaption = new QLabel(QStringLiteral("&Step:"), timelinePane);
    timelineCaption->setObjectName(QStringLiteral("timelineCaption"));
    timeline_ = new Timeline(timelinePane);
    timeline_->setObjectName(QStringLiteral("timeline"));
    timelineCaption->setBuddy(timeline_);
    timeline_->setToolTip(QStringLiteral("Drag or click to go to a step. Above the line: "
                                         "breakpoint stops (red) and watched changes (orange); "
                                         "below it: shown texts (green) and edits of a cell "
                                         "(purple)"));
    timelinePlace_ = new QLabel(timelinePane);
    timelinePlace_->setObjectName(QStringLiteral("timelinePlace"));
    timelinePlace_->setMinimumWidth(timelinePlace_->fontMetrics().horizontalAdvance(
        QStringLiteral("step 000000000 of 000000000")));
    timelineLayout->addWidget(timelineCaption);
    timelineLayout->addWidget(timeline_, 1);
    timelineLayout->addWidget(timelinePlace_);
    auto* timelineDock =
        dock("timelineDock", QStringLiteral("Timeline"), timelinePane, Qt::TopDockWidgetArea);
    timelineDock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                              QDockWidget::DockWidgetFloatable);
    jumpTimer_ = new QTimer(this);
    jumpTimer_->setSingleShot(true);
    jumpTimer_->setInterval(kJumpEveryMs);
    connect(jumpTimer_, &QTimer::timeout, this, &StudioWindow::sendJump);
    connect(timeline_, &Timeline::jumpRequested, this, [this](std::int64_t step) {
        if (!machine_.alive || goRunning_) return;
        jumpTarget_ = step;
        timelinePlace_->setText(timeline_->valueText());
        if (!jumpTimer_->isActive()) jumpTimer_->start();
    });

    // Help: every instruction, as the table of operations has it.
    instructions_ = new QTreeWidget;
    instructions_->setObjectName(QStringLiteral("instructionTable"));
    instructions_->setHeaderLabels(
        {QStringLiteral("Instruction"), QStringLiteral("Code"), QStringLiteral("What it does")});
    instructions_->setRootIsDecorated(false);
    instructions_->setWordWrap(true);
    for (const InstructionHelp& help : instructionTable()) {
        auto* item = new QTreeWidgetItem({help.written, QString(help.code), help.does});
        item->setToolTip(0, help.columns);
        item->setToolTip(2, help.does);
        instructions_->addTopLevelItem(item);
    }
    instructions_->resizeColumnToContents(0);
    instructions_->resizeColumnToContents(1);
    dock("helpDock", QStringLiteral("Instructions"), instructions_, Qt::BottomDockWidgetArea);

    // Output: every `dsp`, in order, with its step.
    output_ = new QTreeWidget;
    output_->setObjectName(QStringLiteral("output"));
    output_->setHeaderLabels({QStringLiteral("Step"), QStringLiteral("Shown")});
    output_->setRootIsDecorated(false);
    output_->setUniformRowHeights(true);
    auto* outputDock =
        dock("outputDock", QStringLiteral("Output"), output_, Qt::BottomDockWidgetArea);

    // Messages: the end of a run and the error reports; a click goes to the line.
    messages_ = new QListWidget;
    messages_->setObjectName(QStringLiteral("messages"));
    connect(messages_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { jumpToItem(item->data(Qt::UserRole).toInt()); });
    connect(messages_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { jumpToItem(item->data(Qt::UserRole).toInt()); });
    auto* messagesDock =
        dock("messagesDock", QStringLiteral("Messages"), messages_, Qt::BottomDockWidgetArea);

    // Problems: the checker's findings; a click goes to the place.
    problems_ = new QTreeWidget;
    problems_->setObjectName(QStringLiteral("problems"));
    problems_->setHeaderLabels({QStringLiteral("Line"), QStringLiteral("Kind"),
                                QStringLiteral("Problem"), QStringLiteral("Fix")});
    problems_->setRootIsDecorated(false);
    const auto problemChosen = [this](QTreeWidgetItem* item) {
        editor_->goToLine(item->data(0, Qt::UserRole).toInt(), item->data(1, Qt::UserRole).toInt());
    };
    connect(problems_, &QTreeWidget::itemActivated, this, problemChosen);
    connect(problems_, &QTreeWidget::itemClicked, this,
            [this, problemChosen](QTreeWidgetItem* item, int column) {
                problemChosen(item);
                if (column == 3 && !item->text(3).isEmpty()) applyFix();
            });
    auto* problemsDock =
        dock("problemsDock", QStringLiteral("Problems"), problems_, Qt::BottomDockWidgetArea);
    // The input queue: replies for the run's input boxes, typed before it.
    inputQueue_ = new InputQueue;
    auto* queueDock = dock("inputQueueDock", QStringLiteral("Input Queue"), inputQueue_,
                           Qt::BottomDockWidgetArea);
    tabifyDockWidget(outputDock, messagesDock);
    tabifyDockWidget(messagesDock, problemsDock);
    tabifyDockWidget(problemsDock, queueDock);
    tabifyDockWidget(queueDock, dockNamed("helpDock"));
    outputDock->raise();
    // The editor and the cells get the room; the registers and the lists what they need.
    const int line = fontMetrics().height();
    resizeDocks({cellsDock, registersDock}, {line * 30, registersPane->sizeHint().height()},
                Qt::Vertical);
    resizeDocks({cellsDock}, {line * 24}, Qt::Horizontal);
    resizeDocks({outputDock}, {line * 9}, Qt::Vertical);
}

void StudioWindow::createRunner() {
    MachineRunner::Listener listener;
    listener.snapshot = [this](const MachineSnapshot& s) { machineStopped(s); };
    listener.events = [this](std::vector<MachineEvent> e) { machineShowed(std::move(e)); };
    runner_ = std::make_unique<MachineRunner>(this, std::move(listener));
    showCells(machine_);
    showRegisters(machine_);
    // An edit after the end puts the finished run away: its line, cells and registers no
    // longer stand for the text. Its output and messages stay until the next run.
    connect(editor_->document(), &QTextDocument::contentsChanged, this, [this] {
        if (!machine_.alive || !machine_.state.ended || busy()) return;
        stop();
    });
}

void StudioWindow::setWatch(int cell, bool on) {
    if (cell < 0 || cell >= kCells) return;
    const auto at = static_cast<std::size_t>(cell);
    {
        const QSignalBlocker quiet(cells_);
        cells_->item(cell, 0)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    if (watched_[at] == on) return;
    watched_[at] = on;
    std::vector<int> cells;
    for (int i = 0; i < kCells; ++i)
        if (watched_[static_cast<std::size_t>(i)]) cells.push_back(i);
    runner_->setWatches(std::move(cells));
    const QString number = QStringLiteral("%1").arg(cell, 2, 10, QLatin1Char('0'));
    announce(announcer_, on ? QStringLiteral("Watching cell %1").arg(number)
                            : QStringLiteral("No longer watching cell %1").arg(number));
}

void StudioWindow::applyFix() {
    const EditorMark* mark = nullptr;
    if (problems_->hasFocus() || QApplication::focusWidget() == problems_) {
        if (QTreeWidgetItem* item = problems_->currentItem())
            mark = fixAt(editor_->marks(), item->data(0, Qt::UserRole).toInt(),
                         item->data(1, Qt::UserRole).toInt());
    } else {
        const QTextCursor caret = editor_->textCursor();
        mark = fixAt(editor_->marks(), caret.blockNumber() + 1, caret.positionInBlock() + 1);
    }
    if (!mark) {
        statusBar()->showMessage(QStringLiteral("No fix here: the checker offers one where a "
                                                "problem's line shows \"Write:\""),
                                 4000);
        return;
    }
    const int line = mark->line;
    const QString fix = mark->fix;
    if (!applyLineFix(editor_, line, fix)) return;
    announce(announcer_, QStringLiteral("Line %1 now reads: %2").arg(line).arg(fix));
    checkNow();
    editor_->setFocus();
}

namespace {

// The run again, answered from its record: the same replies and draws in the same order.
class ReplayHost : public QuietHost {
public:
    explicit ReplayHost(RunRecord record) : record_(std::move(record)) {}
    std::string inputBox(std::string_view) override {
        return reply_ < record_.replies.size() ? record_.replies[reply_++] : std::string();
    }
    float randomSingle() override {
        return draw_ < record_.draws.size() ? record_.draws[draw_++] : 0.0f;
    }

private:
    RunRecord record_;
    std::size_t reply_ = 0, draw_ = 0;
};

// The most steps a trace file holds.
constexpr std::int64_t kMaxTraceSteps = 1'000'000;

} // namespace

void StudioWindow::exportTrace() {
    if (!program_ || busy() || !machine_.alive) return;
    const QString base =
        filePath_.isEmpty()
            ? QDir::home().filePath(QFileInfo(documentName()).completeBaseName())
            : QFileInfo(filePath_).dir().filePath(QFileInfo(filePath_).completeBaseName());
    const QString name = dialogs_->exportFileName(QStringLiteral("Export Trace"),
                                                  base + QStringLiteral("-trace.txt"));
    if (name.isEmpty()) return;
    const std::int64_t steps = std::min(machine_.state.steps, kMaxTraceSteps);
    QSaveFile out(name);
    if (!out.open(QIODevice::WriteOnly)) {
        dialogs_->error(QStringLiteral("Could not export the trace to \"%1\": %2")
                            .arg(QDir::toNativeSeparators(name), out.errorString()));
        return;
    }
    const Program& program = *program_;
    RunOptions options;
    options.maxSteps = steps;
    options.plain = true;
    // One line a step, as tessivor-cli run --trace writes it.
    options.trace = [&out, &program](const TraceStep& s) {
        char head[160];
        if (s.code < 0) {
            std::snprintf(head, sizeof head, "%lld pc=%d past the end\n",
                          static_cast<long long>(s.step), s.pc);
            out.write(head);
            return;
        }
        const char shown = s.code >= 32 && s.code < 127 ? static_cast<char>(s.code) : '?';
        std::snprintf(head, sizeof head, "%lld pc=%d code=%d '%c' cur=%d opb=%d opc=%d",
                      static_cast<long long>(s.step), s.pc, s.code, shown, s.cur, s.opb, s.opc);
        std::string line = head;
        const std::string instruction = program.instructionAt(s.pc);
        if (!instruction.empty()) line += "  " + instruction + "  " + program.placeOf(s.pc);
        line += '\n';
        out.write(line.data(), static_cast<qint64>(line.size()));
    };
    ReplayHost host(runner_->record());
    runprogram(program.code, host, options);
    if (machine_.state.steps > steps)
        out.write(QStringLiteral("... the trace stops after %1 steps; the run went on to %2\n")
                      .arg(steps)
                      .arg(machine_.state.steps)
                      .toUtf8());
    if (!out.commit()) {
        dialogs_->error(QStringLiteral("Could not export the trace to \"%1\": %2")
                            .arg(QDir::toNativeSeparators(name), out.errorString()));
        return;
    }
    announce(announcer_, QStringLiteral("Exported the trace of %1 steps to %2")
                             .arg(steps)
                             .arg(QDir::toNativeSeparators(name)));
}

void StudioWindow::selfTest() {
    // The grading lives with the command line, which the Studio does not link: tessivor-cli
    // test itself grades the program, so the verdicts and first differences are its own.
    const QString folder =
        filePath_.isEmpty() ? QDir::homePath() : QFileInfo(filePath_).absolutePath();
    const QString tests = dialogs_->testFileName(folder);
    if (tests.isEmpty()) return;
    QString cli = options_.cliProgram;
    if (cli.isEmpty())
        cli = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessivor-cli"));
    auto* scratch = new QTemporaryDir;
    const QString base = QFileInfo(documentName()).completeBaseName();
    const QString source = scratch->filePath((base.isEmpty() ? QStringLiteral("program") : base) +
                                             QStringLiteral(".tsasm"));
    std::string reason;
    if (!scratch->isValid() ||
        !platform::writeTextFile(toPath(source), sourceBytes(), reason, "")) {
        dialogs_->error(QStringLiteral("Could not test the program: no room for its copy"));
        delete scratch;
        return;
    }
    addMessage(QStringLiteral("Testing with %1 ...").arg(QFileInfo(tests).fileName()), 0);
    auto* process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    connect(process, &QProcess::finished, this, [this, process, scratch, tests] {
        const QString report = QString::fromUtf8(process->readAll()).trimmed();
        for (const QString& line : report.split(u'\n'))
            addMessage(line, 0, process->exitCode() != 0);
        announce(announcer_, report.section(u'\n', -1));
        process->deleteLater();
        delete scratch;
    });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, scratch, cli](QProcess::ProcessError e) {
                if (e != QProcess::FailedToStart) return;
                process->deleteLater();
                delete scratch;
                addMessage(QStringLiteral("Self-Test needs tessivor-cli beside the Studio (%1): %2")
                               .arg(QDir::toNativeSeparators(cli), process->errorString()),
                           0, true);
            });
    process->setWorkingDirectory(scratch->path());
    process->start(cli, {QStringLiteral("test"), tests, QFileInfo(source).fileName()});
}

void StudioWindow::exportOutput() {
    const QString suggested =
        (filePath_.isEmpty()
             ? QDir::home().filePath(QFileInfo(documentName()).completeBaseName())
             : QFileInfo(filePath_).dir().filePath(QFileInfo(filePath_).completeBaseName())) +
        QStringLiteral("-output.txt");
    const QString name = dialogs_->exportFileName(QStringLiteral("Export Output Log"), suggested);
    if (name.isEmpty()) return;
    QString reason;
    if (!runner_->output().exportTo(name, reason)) {
        dialogs_->error(QStringLiteral("Could not export the output to \"%1\": %2")
                            .arg(QDir::toNativeSeparators(name), reason));
        return;
    }
    const std::uint64_t dropped = runner_->output().dropped();
    const QString kept =
        dropped == 0 ? QStringLiteral("every line")
                     : QStringLiteral("the first %1 lines; the %2 after them were more than "
                                      "the Studio keeps")
                           .arg(runner_->output().lines() - dropped)
                           .arg(dropped);
    announce(announcer_, QStringLiteral("Exported %1 of the output to %2")
                             .arg(kept, QDir::toNativeSeparators(name)));
}

void StudioWindow::createChecker() {
    checkTimer_ = new QTimer(this);
    checkTimer_->setSingleShot(true);
    checkTimer_->setInterval(kCheckDelayMs);
    connect(checkTimer_, &QTimer::timeout, this, &StudioWindow::check);
    connect(editor_->document(), &QTextDocument::contentsChanged, checkTimer_,
            qOverload<>(&QTimer::start));
}

// ---- Files

QString StudioWindow::documentName() const {
    if (!filePath_.isEmpty()) return QFileInfo(filePath_).fileName();
    if (!exampleName_.isEmpty()) return exampleName_;
    return QStringLiteral("Untitled");
}

void StudioWindow::updateTitle() {
    QString title = documentName() + QStringLiteral("[*]");
    if (!exampleName_.isEmpty()) title += QStringLiteral(" (example, read-only)");
    setWindowTitle(title + QStringLiteral(" - ") + kAppName);
    setWindowModified(editor_->document()->isModified());
}

bool StudioWindow::maybeSave() {
    if (!editor_->document()->isModified()) return true;
    switch (dialogs_->askToSave(documentName())) {
    case StudioDialogs::Unsaved::Save: return save();
    case StudioDialogs::Unsaved::Discard: return true;
    case StudioDialogs::Unsaved::Cancel: return false;
    }
    return false;
}

void StudioWindow::newFile() {
    if (!maybeSave()) return;
    stop();
    editor_->setReadOnly(false);
    editor_->setPlainText(QString());
    editor_->document()->setModified(false);
    filePath_.clear();
    exampleName_.clear();
    format_ = SourceFormat{};
    readBytes_.reset();
    stamp_ = DiskStamp{};
    clearRunViews();
    updateTitle();
    checkNow();
}

void StudioWindow::open() {
    if (!maybeSave()) return;
    const QString folder = filePath_.isEmpty() ? QDir::homePath() : QFileInfo(filePath_).path();
    const QString name = dialogs_->openFileName(folder);
    if (!name.isEmpty()) openFile(name);
}

bool StudioWindow::openFile(const QString& path, bool example) {
    std::string bytes;
    std::string reason;
    // The old text stays until the whole file has been read. A source too large to edit is
    // refused before it is read: the editor would keep the window from answering for minutes.
    const bool tooLarge = !platform::readWholeFile(toPath(path), bytes, reason,
                                                   static_cast<std::size_t>(kMaxEditedSource));
    if (tooLarge && QFileInfo(path).size() > kMaxEditedSource) {
        dialogs_->error(QStringLiteral("Could not open \"%1\": it has %2 bytes, and the Studio "
                                       "edits sources of up to %3 MiB. tessivor-cli builds, "
                                       "checks and runs it (tessivor-cli run %4).")
                            .arg(QDir::toNativeSeparators(path))
                            .arg(QFileInfo(path).size())
                            .arg(kMaxEditedSource >> 20)
                            .arg(QFileInfo(path).fileName()));
        return false;
    }
    if (tooLarge) {
        dialogs_->error(QStringLiteral("Could not open \"%1\": %2")
                            .arg(QDir::toNativeSeparators(path), fromBytes(reason)));
        return false;
    }
    stop();
    editor_->clearBreakpoints();
    takeText(bytes);
    editor_->setReadOnly(example);
    if (example) {
        filePath_.clear();
        exampleName_ = QFileInfo(path).fileName();
        stamp_ = DiskStamp{};
    } else {
        filePath_ = QFileInfo(path).absoluteFilePath();
        exampleName_.clear();
        stamp_ = stampOf(filePath_, bytes);
        addRecent(filePath_);
    }
    clearRunViews();
    if (!decodeSource(bytes).exact)
        addMessage(QStringLiteral("%1 mixes line ends: the editor breaks a line at each, and "
                                  "saving ends every line as the first one ends (%2).")
                       .arg(documentName(), format_.lineEnd == "\r\n" ? QStringLiteral("CR LF")
                                            : format_.lineEnd == "\n" ? QStringLiteral("LF")
                                                                      : QStringLiteral("CR")),
                   0);
    updateTitle();
    updateActions();
    checkNow();
    editor_->setFocus();
    return true;
}

bool StudioWindow::save() {
    if (filePath_.isEmpty()) return saveAs();
    return writeTo(filePath_);
}

bool StudioWindow::saveAs() {
    QString suggested = filePath_;
    if (suggested.isEmpty())
        suggested = QDir::home().filePath(exampleName_.isEmpty() ? QStringLiteral("untitled.tsasm")
                                                                 : exampleName_);
    const QString name = dialogs_->saveFileName(suggested);
    if (name.isEmpty() || !writeTo(name)) return false;
    filePath_ = QFileInfo(name).absoluteFilePath();
    exampleName_.clear();
    editor_->setReadOnly(false);
    addRecent(filePath_);
    updateTitle();
    updateActions();
    return true;
}

void StudioWindow::takeText(const std::string& bytes) {
    LoadedSource loaded = decodeSource(bytes);
    editor_->setPlainText(loaded.text);
    editor_->document()->setModified(false);
    format_ = loaded.format;
    readBytes_ = bytes;
    readText_ = editor_->toPlainText();
}

std::string StudioWindow::sourceBytes() const {
    // Unchanged since it was read (or changed and undone): the file's bytes, even where the
    // editor could not hold them (mixed line ends). The text is compared, not the modified
    // flag, which a text set from outside clears too.
    if (readBytes_ && editor_->toPlainText() == readText_) return *readBytes_;
    return encodeSource(editor_->rawText(), format_).bytes;
}

bool StudioWindow::writeTo(const QString& path) {
    EncodedSource source = encodeSource(editor_->rawText(), format_);
    if (!source.lost.empty()) {
        // Never a '?' in place of a character unasked: the editor shows what the file holds.
        if (!dialogs_->askToSubstitute(documentName(), describeLost(source.lost))) return false;
        QTextCursor all(editor_->document());
        all.beginEditBlock();
        all.select(QTextCursor::Document);
        all.insertText(withPlainSubstitutes(editor_->rawText(), source.lost));
        all.endEditBlock();
        source = encodeSource(editor_->rawText(), format_);
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute == filePath_ && diskState(filePath_, stamp_) == DiskState::Changed &&
        !dialogs_->askToOverwrite(documentName()))
        return false;
    std::string reason;
    // The bytes are written whole: their last line end, if any, is part of them.
    if (!platform::writeTextFile(toPath(path), source.bytes, reason, "")) {
        dialogs_->error(QStringLiteral("Could not save \"%1\": %2")
                            .arg(QDir::toNativeSeparators(path), fromBytes(reason)));
        return false;
    }
    editor_->document()->setModified(false);
    stamp_ = stampOf(absolute, source.bytes);
    readBytes_ = std::move(source.bytes);
    readText_ = editor_->toPlainText();
    statusBar()->showMessage(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path)), 4000);
    return true;
}

void StudioWindow::addRecent(const QString& path) {
    QStringList recent = settings_->value(QStringLiteral("recentFiles")).toStringList();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > kMaxRecent)
        recent.removeLast();
    settings_->setValue(QStringLiteral("recentFiles"), recent);
    // A disabled menu never opens to fill itself.
    fillRecentMenu();
}

void StudioWindow::fillRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = settings_->value(QStringLiteral("recentFiles")).toStringList();
    int number = 1;
    for (const QString& path : recent) {
        QAction* act = recentMenu_->addAction(
            QStringLiteral("&%1 %2").arg(number++).arg(QDir::toNativeSeparators(path)));
        act->setStatusTip(QStringLiteral("Open %1").arg(QDir::toNativeSeparators(path)));
        connect(act, &QAction::triggered, this, [this, path] {
            if (maybeSave()) openFile(path);
        });
    }
    recentMenu_->setEnabled(!recent.isEmpty());
}

void StudioWindow::fillExamplesMenu() {
    examplesMenu_->clear();
    const QDir folder(options_.examplesFolder);
    const QStringList names =
        options_.examplesFolder.isEmpty()
            ? QStringList()
            : folder.entryList({QStringLiteral("*.tsasm")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QAction* act = examplesMenu_->addAction(name);
        act->setObjectName(QStringLiteral("example_") + QFileInfo(name).completeBaseName());
        act->setStatusTip(QStringLiteral("Open the example %1, read-only until saved under a "
                                         "name of your own")
                              .arg(name));
        const QString path = folder.absoluteFilePath(name);
        connect(act, &QAction::triggered, this, [this, path] {
            if (maybeSave()) openFile(path, true);
        });
    }
    examplesMenu_->setEnabled(!names.isEmpty());
}

void StudioWindow::closeEvent(QCloseEvent* event) {
    if (!maybeSave()) {
        event->ignore();
        return;
    }
    settings_->setValue(QStringLiteral("geometry"), saveGeometry());
    settings_->setValue(QStringLiteral("windowState"), saveState());
    runner_->pause();
    event->accept();
}

void StudioWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Coming back from another program is when a change it made to the file shows.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        QTimer::singleShot(0, this, &StudioWindow::checkDiskChange);
}

bool StudioWindow::checkDiskChange() {
    if (filePath_.isEmpty() || askingAboutDisk_) return false;
    const DiskState state = diskState(filePath_, stamp_);
    if (state == DiskState::Same) return false;
    askingAboutDisk_ = true;
    const bool unsaved = editor_->document()->isModified();
    if (state == DiskState::Missing) {
        dialogs_->notice(QStringLiteral("\"%1\" is no longer on disk (moved or deleted). Your "
                                        "text stays here; Save writes it again.")
                             .arg(QDir::toNativeSeparators(filePath_)));
        // Marked unsaved, so closing asks before the text is gone too.
        editor_->document()->setModified(true);
        stamp_.exists = false;
        askingAboutDisk_ = false;
        return true;
    }
    std::string bytes, reason;
    const bool readable = platform::readWholeFile(toPath(filePath_), bytes, reason,
                                                  static_cast<std::size_t>(kMaxEditedSource));
    if (dialogs_->askChangedOnDisk(documentName(), unsaved) == StudioDialogs::Changed::Reload &&
        readable) {
        stop();
        takeText(bytes);
        stamp_ = stampOf(filePath_, bytes);
        clearRunViews();
        updateTitle();
        checkNow();
    } else {
        // Keep Mine: the editor's text is the one to save; the next Save does not ask again
        // about this change, only about a later one.
        stamp_ = readable ? stampOf(filePath_, bytes) : DiskStamp{};
        editor_->document()->setModified(true);
        if (!readable)
            dialogs_->error(QStringLiteral("Could not read \"%1\": %2")
                                .arg(QDir::toNativeSeparators(filePath_), fromBytes(reason)));
    }
    askingAboutDisk_ = false;
    return true;
}

// ---- Build and run

void StudioWindow::build() {
    const Program program =
        Program::fromSource(sourceBytes(), platform::fromQString(documentName()));
    if (!program.built) {
        reportBuildError(program);
        return;
    }
    if (filePath_.isEmpty() && !saveAs()) return;
    const QString target =
        QFileInfo(filePath_).dir().filePath(QFileInfo(filePath_).completeBaseName() + ".tsp");
    std::string reason;
    if (!platform::writeTextFile(toPath(target), program.codeString(), reason)) {
        addMessage(QStringLiteral("Could not write \"%1\": %2")
                       .arg(QDir::toNativeSeparators(target), fromBytes(reason)),
                   0, true);
        return;
    }
    addMessage(QStringLiteral("Built %1").arg(QDir::toNativeSeparators(target)), 0);
}

void StudioWindow::reportBuildError(const Program& program) {
    // "Error Compiling." as the machine's own translation says it, then where and why.
    const int line = static_cast<int>(program.failedSetPlace().line);
    addMessage(QStringLiteral("Error Compiling."), line, true);
    addMessage(fromBytes(program.buildError()), line, true);
}

bool StudioWindow::startSession() {
    auto program = std::make_shared<Program>(
        Program::fromSource(sourceBytes(), platform::fromQString(documentName())));
    if (!program->built) {
        reportBuildError(*program);
        return false;
    }
    clearRunViews();
    inputQueue_->restart();
    // The program runs as the runner would run its file: the code and the line end after it.
    runner_->start({program->code, program->map, program->instructionTexts()},
                   editor_->breakpointLines());
    program_ = std::move(program);
    ++pending_;
    machine_.alive = true;
    machine_.state = DebugState{};
    return true;
}

void StudioWindow::command(std::function<void()> send) {
    if (busy()) return;
    // A finished run is not gone on from: the command starts a fresh one.
    endFinishedRun();
    if (!machine_.alive && !startSession()) return;
    issue(std::move(send));
}

void StudioWindow::endFinishedRun() {
    if (!machine_.alive || !machine_.state.ended || busy()) return;
    runner_->stop();
    ++pending_;
    machine_.alive = false;
    lastCommand_ = nullptr;
}

void StudioWindow::issue(std::function<void()> send) {
    lastCommand_ = send;
    ++pending_;
    send();
    updateActions();
}

Pace StudioWindow::pace() const {
    if (speed_->value() == 0) return Pace::Single;
    return speed_->value() == kSpeedPositions - 1 ? Pace::Full : Pace::Animate;
}

int StudioWindow::animationDelay() const {
    const int position = qBound(1, speed_->value(), kSpeedPositions - 2);
    return kAnimationDelays[position - 1];
}

void StudioWindow::speedChanged() {
    switch (pace()) {
    case Pace::Single: speedLabel_->setText(QStringLiteral("One step at a time")); break;
    case Pace::Animate:
        speedLabel_->setText(QStringLiteral("Animation (%1 ms)").arg(animationDelay()));
        break;
    case Pace::Full: speedLabel_->setText(QStringLiteral("Full speed")); break;
    }
    if (runner_) runner_->setDelay(animationDelay());
}

void StudioWindow::run() {
    if (busy()) return;
    if (machine_.alive) {
        runner_->stop();
        ++pending_;
    }
    machine_.alive = false;
    if (!startSession()) return;
    issue([this] { goAtPace(); });
}

void StudioWindow::continueRun() {
    command([this] { goAtPace(); });
}

void StudioWindow::goAtPace() {
    if (pace() == Pace::Single) {
        runner_->stepInstruction();
    } else {
        goRunning_ = true;
        runner_->go(pace(), animationDelay());
    }
}

void StudioWindow::runToCursor() {
    const int line = editor_->caretLine();
    command([this, line] {
        goRunning_ = true;
        runner_->go(pace() == Pace::Animate ? Pace::Animate : Pace::Full, animationDelay(), line);
    });
}

void StudioWindow::pause() {
    if (busy()) runner_->pause();
}

void StudioWindow::stop() {
    if (!runner_ || !machine_.alive) return;
    runner_->stop();
    ++pending_;
    lastCommand_ = nullptr;
    updateActions();
}

void StudioWindow::stepInstruction() {
    command([this] { runner_->stepInstruction(); });
}

void StudioWindow::stepMachine() {
    command([this] { runner_->stepMachine(); });
}

void StudioWindow::back() {
    if (!machine_.alive || busy()) return;
    issue([this] { runner_->backInstruction(); });
}

void StudioWindow::backMachine() {
    if (!machine_.alive || busy()) return;
    issue([this] { runner_->backMachine(); });
}

void StudioWindow::reverseContinue() {
    if (!machine_.alive || busy()) return;
    issue([this] { runner_->reverseContinue(); });
}

void StudioWindow::goToStep() {
    if (!machine_.alive || busy()) return;
    const std::int64_t last = machine_.furthest;
    const std::optional<QString> typed =
        dialogs_->input(QStringLiteral("Go to Step"),
                        QStringLiteral("The step to go to (%1 to %2; the run is at %3):")
                            .arg(machine_.oldest)
                            .arg(last)
                            .arg(machine_.state.steps));
    if (!typed || typed->trimmed().isEmpty() || !machine_.alive || busy()) return;
    bool number = false;
    const qlonglong target = typed->trimmed().toLongLong(&number);
    if (!number || target < 0) {
        announce(announcer_,
                 QStringLiteral("Go to Step takes a step number, not \"%1\"").arg(*typed));
        return;
    }
    issue([this, target] { runner_->goTo(target); });
}

void StudioWindow::sendJump() {
    if (!jumpTarget_ || !machine_.alive || goRunning_) {
        jumpTarget_.reset();
        return;
    }
    // One jump at a time: the next goes when this one has answered.
    if (busy()) {
        jumpTimer_->start();
        return;
    }
    const std::int64_t target = *jumpTarget_;
    if (target == machine_.state.steps) {
        jumpTarget_.reset();
        return;
    }
    issue([this, target] { runner_->goTo(target); });
}

bool StudioWindow::cellsEditable() const {
    return machine_.alive && !machine_.state.ended && !busy() && !goRunning_;
}

bool StudioWindow::editCell(int cell, const QString& text) {
    if (cell < 0 || cell >= kCells || !cellsEditable()) return false;
    const std::string bytes = cellBytes(text);
    issue([this, cell, bytes] { runner_->setCell(cell, bytes); });
    announce(announcer_,
             QStringLiteral("Cell %1 now holds \"%2\" from step %3 on; Back takes it away")
                 .arg(cell, 2, 10, QLatin1Char('0'))
                 .arg(text)
                 .arg(machine_.state.steps));
    return true;
}

void StudioWindow::toggleBreakpoint() { editor_->toggleBreakpoint(editor_->caretLine()); }

// ---- What the machine reports

void StudioWindow::machineStopped(const MachineSnapshot& snapshot) {
    machine_ = snapshot;
    if (!snapshot.running && pending_ > 0) --pending_;
    showRegisters(snapshot);
    showCells(snapshot);
    const bool showLine =
        snapshot.alive && !snapshot.state.ended && !(snapshot.running && pace() == Pace::Full);
    editor_->setExecutionLine(showLine ? snapshot.state.line : 0);
    showTimeline(snapshot);
    if (!snapshot.running) {
        goRunning_ = false;
        if (jumpTarget_ && *jumpTarget_ == snapshot.state.steps) jumpTarget_.reset();
        cellsAtLastStop_ = snapshot.cells;
        // After any stop or move the run stands at its step: what later steps showed goes
        // (a watch found after a fast stretch ran on a little, a move back, a jump).
        if (snapshot.alive) forgetShownAfter(snapshot.state.steps);
        if (snapshot.alive && !busy()) {
            refillOutput();
            refillMessages(snapshot.state.steps);
        }
        // How the run ended, also when a jump along the timeline lands on its end again; said
        // once for that step.
        const Stop end =
            snapshot.alive && snapshot.state.ended ? stopAt(snapshot.state.end) : snapshot.stop;
        const bool endSaid =
            messages_->count() > 0 &&
            messages_->item(messages_->count() - 1)->data(kEndRole).toBool() &&
            messages_->item(messages_->count() - 1)->data(kStepRole).toLongLong() ==
                snapshot.state.steps;
        switch (endSaid ? Stop::None : end) {
        case Stop::PastEnd:
            addMessage(QStringLiteral("The program ran past its last instruction."), 0, true,
                       snapshot.state.steps);
            messages_->item(messages_->count() - 1)->setData(kEndRole, true);
            break;
        case Stop::PrepareFailed:
            if (snapshot.stop != Stop::PrepareFailed) break;
            addMessage(QStringLiteral("The program cannot start: it has more than 99 labels."), 0,
                       true);
            break;
        case Stop::Error:
            // The place, the instruction and why it failed, in the words of tessivor-cli run.
            addMessage(errorReport(snapshot.state), snapshot.state.line, true,
                       snapshot.state.steps);
            messages_->item(messages_->count() - 1)->setData(kEndRole, true);
            break;
        default: break;
        }
        announceStop(snapshot);
        if (snapshot.alive && snapshot.stop != Stop::None)
            statusBar()->showMessage(
                QStringLiteral("Stopped: %1").arg(QString::fromLatin1(stopName(snapshot.stop))));
        else
            statusBar()->clearMessage();
    }
    updateActions();
    if (snapshot.stop == Stop::Input && !snapshot.running && lastCommand_) answerInput(snapshot);
}

QString StudioWindow::errorReport(const DebugState& state) const {
    std::string line = program_ ? program_->placeOf(state.pc) : std::string();
    if (!line.empty()) line += ": ";
    if (!state.instruction.empty()) line += state.instruction + ": ";
    line += failureDescription(state.failure);
    if (!state.reason.empty()) line += ": " + state.reason;
    return fromBytes(line);
}

void StudioWindow::forgetShownAfter(std::int64_t step) {
    // Gone back: what the run showed after this step is shown again when it gets there.
    while (output_->topLevelItemCount() > 0 &&
           output_->topLevelItem(output_->topLevelItemCount() - 1)->text(0).toLongLong() > step)
        delete output_->takeTopLevelItem(output_->topLevelItemCount() - 1);
    while (messages_->count() > 0 &&
           messages_->item(messages_->count() - 1)->data(kStepRole).toLongLong() > step)
        delete messages_->takeItem(messages_->count() - 1);
    updateActions();
}

void StudioWindow::answerInput(const MachineSnapshot& snapshot) {
    // The queue's next reply, else the box.
    std::optional<QString> reply = inputQueue_->take();
    if (reply) {
        announce(announcer_, QStringLiteral("Reply %1 from the input queue: %2")
                                 .arg(inputQueue_->used())
                                 .arg(*reply));
    } else {
        const QString title = QFileInfo(documentName()).completeBaseName().isEmpty()
                                  ? kAppName
                                  : QFileInfo(documentName()).completeBaseName();
        reply = dialogs_->input(title, fromBytes(snapshot.state.inputPrompt));
        // The window may have been stopped while the question was open.
        if (!machine_.alive || busy()) return;
    }
    runner_->provideInput(reply ? platform::fromQString(*reply) : std::string());
    ++pending_;
    lastCommand_();
    updateActions();
}

namespace {

/// A row of the Output pane: the step and the start of the text.
QTreeWidgetItem* outputRow(std::int64_t step, const std::string& text, std::size_t length) {
    // The start of a long text only; Export Output Log writes it whole.
    QString shown = cellText(text.substr(0, kShownOutputLength));
    if (length > kShownOutputLength)
        shown = QStringLiteral("%1\u2026 (%2 characters in all)")
                    .arg(shown.left(kShownOutputLength))
                    .arg(length);
    auto* item = new QTreeWidgetItem({QString::number(step), shown});
    item->setToolTip(1, length > kShownOutputLength
                            ? shown + QStringLiteral("\nFile \u2192 Export Output Log "
                                                     "writes the whole text.")
                            : shown);
    return item;
}

} // namespace

void StudioWindow::refillOutput() {
    // The pane lists the latest kMaxOutputLines texts up to the current step. Gone forward
    // over steps it had gone back over, their texts come from the log (the session shows
    // them only the first time); gone back past the pane's rows, so do the earlier ones.
    const OutputLog& log = runner_->output();
    const auto wanted =
        static_cast<int>(std::min<std::uint64_t>(log.lines() - log.dropped(), kMaxOutputLines));
    const auto lastRowStep = [this]() -> std::int64_t {
        const int rows = output_->topLevelItemCount();
        return rows == 0 ? -1 : output_->topLevelItem(rows - 1)->text(0).toLongLong();
    };
    if (output_->topLevelItemCount() >= wanted) return;
    QList<QTreeWidgetItem*> lines;
    for (const OutputLog::Line& line :
         log.latest(kMaxOutputLines, kShownOutputLength, lastRowStep()))
        lines.append(outputRow(line.step, line.start, line.length));
    appendOutputRows(lines);
    if (output_->topLevelItemCount() < wanted) {
        // The rows were not the start of what the log holds (a run went on past steps the
        // pane lacked): all of them again.
        output_->clear();
        lines.clear();
        for (const OutputLog::Line& line : log.latest(kMaxOutputLines, kShownOutputLength))
            lines.append(outputRow(line.step, line.start, line.length));
        output_->addTopLevelItems(lines);
    }
    if (output_->topLevelItemCount() > 0)
        output_->scrollToItem(output_->topLevelItem(output_->topLevelItemCount() - 1));
}

void StudioWindow::refillMessages(std::int64_t step) {
    // The messages of steps gone forward over again, which the session shows only once.
    std::int64_t last = -1;
    for (int i = messages_->count() - 1; i >= 0 && last < 0; --i)
        last = messages_->item(i)->data(kStepRole).toLongLong();
    for (const MachineEvent& event : runner_->messagesBetween(last, step))
        addMessage(fromBytes(event.text), event.line, false, event.step);
}

void StudioWindow::machineShowed(std::vector<MachineEvent> events) {
    QList<QTreeWidgetItem*> lines;
    for (MachineEvent& event : events) {
        if (event.kind == MachineEvent::Kind::Display) {
            lines.append(outputRow(event.step, event.text, event.length));
        } else {
            addMessage(fromBytes(event.text), event.line, false, event.step);
        }
    }
    appendOutputRows(lines);
    if (!lines.isEmpty()) output_->scrollToItem(lines.back());
    updateActions();
}

void StudioWindow::appendOutputRows(QList<QTreeWidgetItem*>& lines) {
    // A program that shows text at full speed sends thousands of lines at once: only the
    // latest kMaxOutputLines are listed, and the older rows go in one removal, not row by row.
    if (lines.size() > kMaxOutputLines) {
        const auto excess = lines.size() - kMaxOutputLines;
        qDeleteAll(lines.begin(), lines.begin() + excess);
        lines.erase(lines.begin(), lines.begin() + excess);
    }
    const int overflow =
        output_->topLevelItemCount() + static_cast<int>(lines.size()) - kMaxOutputLines;
    if (overflow > 0 && !output_->model()->removeRows(0, overflow)) {
        for (int i = 0; i < overflow; ++i)
            delete output_->takeTopLevelItem(0);
    }
    output_->addTopLevelItems(lines);
}

void StudioWindow::addMessage(const QString& text, int line, bool important, std::int64_t step) {
    auto* item =
        new QListWidgetItem(line > 0 ? QStringLiteral("%1  (line %2)").arg(text).arg(line) : text);
    item->setData(Qt::UserRole, line);
    item->setData(kStepRole, QVariant::fromValue<qlonglong>(step));
    messages_->addItem(item);
    messages_->scrollToItem(item);
    // Only a failure takes the place of the Output, which an ordinary end leaves in front.
    if (important) {
        if (auto* dock = dockNamed("messagesDock")) dock->raise();
    }
}

void StudioWindow::clearRunViews() {
    output_->clear();
    messages_->clear();
    machine_ = MachineSnapshot{};
    cellsAtLastStop_ = {};
    editor_->setExecutionLine(0);
    jumpTarget_.reset();
    showCells(machine_);
    showRegisters(machine_);
    showTimeline(machine_);
    if (auto* dock = findChild<QDockWidget*>(QStringLiteral("outputDock"))) dock->raise();
}

void StudioWindow::showCells(const MachineSnapshot& snapshot) {
    const QPalette colours = cells_->palette();
    const QColor changed =
        blend(colours.color(QPalette::Highlight), 0.30, colours.color(QPalette::Base));
    for (int i = 0; i < kCells; ++i) {
        const std::string& text = snapshot.cells[i];
        QTableWidgetItem* number = cells_->item(i, 0);
        QTableWidgetItem* value = cells_->item(i, 1);
        value->setText(cellText(text));
        value->setToolTip(text.empty() ? QString() : fromBytes(text));
        const bool empty = text.empty();
        number->setForeground(empty ? dimmedText(colours) : colours.color(QPalette::Text));
        const bool isChanged = snapshot.alive && text != cellsAtLastStop_[i];
        const QBrush background = isChanged ? QBrush(changed) : QBrush();
        number->setBackground(background);
        value->setBackground(background);
        QFont font = cells_->font(); // the pane's size, which Larger Text changes
        font.setBold(isChanged);
        value->setFont(font);
        number->setFont(font);
        number->setData(Qt::UserRole, isChanged);
        cells_->setRowHidden(i, nonEmptyOnly_->isChecked() && empty);
    }
}

void StudioWindow::showTimeline(const MachineSnapshot& snapshot) {
    if (!snapshot.alive) {
        timeline_->clearRun();
        timelinePlace_->setText(QStringLiteral("no run"));
        return;
    }
    // While a drag's jump is on its way, the handle stays where it was asked to go.
    const std::int64_t at = jumpTarget_ && !snapshot.running ? *jumpTarget_ : snapshot.state.steps;
    timeline_->showRun(at, snapshot.oldest, std::max(snapshot.furthest, snapshot.state.steps),
                       snapshot.marks);
    timelinePlace_->setText(timeline_->valueText());
    timeline_->setAccessibleDescription(
        QStringLiteral("The run's steps: drag, click or use the arrows, Page Up, Page Down, Home "
                       "and End to go to a step; %1 marked moments")
            .arg(snapshot.marks.size()));
}

void StudioWindow::showRegisters(const MachineSnapshot& snapshot) {
    const DebugState& s = snapshot.state;
    const bool alive = snapshot.alive;
    const auto number = [alive](std::int64_t value) {
        return alive ? QString::number(value) : QStringLiteral("-");
    };
    registers_[Pc]->setText(number(s.pc));
    registers_[Cur]->setText(number(s.cur));
    registers_[Opb]->setText(number(s.opb));
    registers_[Opc]->setText(number(s.opc));
    registers_[Steps]->setText(number(s.steps));
    registers_[Speed]->setText(alive ? QStringLiteral("%1 M steps/s").arg(snapshot.speed, 0, 'f', 2)
                                     : QStringLiteral("-"));
    QString where = QStringLiteral("-");
    if (alive && s.ended)
        where = QStringLiteral("ended");
    else if (alive && s.line > 0)
        where = QStringLiteral("line %1: %2").arg(s.line).arg(fromBytes(s.instruction));
    registers_[Where]->setText(where);
    // A screen reader names each register with its value: "pc: 12".
    for (std::size_t i = 0; i < registers_.size(); ++i)
        registers_[i]->setAccessibleName(QStringLiteral("%1: %2").arg(
            QString::fromLatin1(kRegisterNames[i]), registers_[i]->text()));
}

void StudioWindow::updateActions() {
    const bool alive = machine_.alive;
    const bool ended = alive && machine_.state.ended;
    runAct_->setEnabled(!busy());
    buildAct_->setEnabled(!busy());
    pauseAct_->setEnabled(busy() && alive);
    stopAct_->setEnabled(alive);
    // After the end these start afresh.
    stepAct_->setEnabled(!busy());
    stepMachineAct_->setEnabled(!busy());
    continueAct_->setEnabled(!busy() && !ended);
    runToCursorAct_->setEnabled(!busy());
    backAct_->setEnabled(!busy() && alive && machine_.history > 0);
    backMachineAct_->setEnabled(!busy() && alive && machine_.history > 0);
    reverseContinueAct_->setEnabled(!busy() && alive && machine_.history > 0);
    goToStepAct_->setEnabled(!busy() && alive);
    timeline_->setEnabled(alive && !goRunning_);
    cells_->setEditTriggers(cellsEditable() ? QAbstractItemView::DoubleClicked |
                                                  QAbstractItemView::EditKeyPressed |
                                                  QAbstractItemView::AnyKeyPressed
                                            : QAbstractItemView::NoEditTriggers);
    exportOutputAct_->setEnabled(output_ && output_->topLevelItemCount() > 0);
    exportTraceAct_->setEnabled(!busy() && alive && program_ && machine_.state.steps > 0);
}

// ---- Problems

void StudioWindow::checkNow() {
    checkTimer_->stop();
    check();
}

void StudioWindow::check() {
    const std::string source = sourceBytes();
    std::vector<EditorMark> marks;
    for (const Diagnostic& d : checkSource(source)) {
        EditorMark mark;
        mark.line = static_cast<int>(d.line);
        mark.column = static_cast<int>(d.column);
        mark.endColumn = static_cast<int>(qMax(d.endColumn, d.column + 1));
        mark.error = d.severity == Severity::Error;
        mark.kind = QString::fromLatin1(severityName(d.severity));
        mark.message = fromBytes(d.message);
        if (d.suggestion) {
            mark.fix = fromBytes(*d.suggestion);
            mark.message +=
                QStringLiteral("\nWrite: ") + mark.fix + QStringLiteral("  (Ctrl+. writes it)");
        }
        marks.push_back(mark);
    }
    // What the editor holds but a source cannot: found now, not first when saving.
    const EncodedSource encoded = encodeSource(editor_->rawText(), format_);
    for (const LostCharacter& lost : encoded.lost) {
        const QTextBlock block = editor_->document()->findBlock(lost.position);
        EditorMark mark;
        mark.line = block.blockNumber() + 1;
        mark.column = lost.position - block.position() + 1;
        mark.endColumn = mark.column + lost.length;
        mark.kind = QStringLiteral("warning");
        mark.message =
            QStringLiteral("\"%1\" has no byte in a source file: saving asks to "
                           "write \"%2\" for it")
                .arg(QString::fromUcs4(&lost.character, 1), plainSubstitute(lost.character));
        marks.push_back(mark);
        if (marks.size() > 1000) break;
    }
    problems_->clear();
    const QColor link = readableOn(problems_->palette().color(QPalette::Link),
                                   problems_->palette().color(QPalette::Base));
    for (const EditorMark& mark : marks) {
        auto* item = new QTreeWidgetItem(
            {QString::number(mark.line), mark.kind, mark.message.section(QLatin1Char('\n'), 0, 0),
             mark.fix.isEmpty() ? QString() : QStringLiteral("Write: ") + mark.fix});
        item->setData(0, Qt::UserRole, mark.line);
        item->setData(1, Qt::UserRole, mark.column);
        item->setToolTip(2, mark.message);
        if (!mark.fix.isEmpty()) {
            // A click on the fix writes it.
            QFont font = item->font(3);
            font.setUnderline(true);
            item->setFont(3, font);
            item->setForeground(3, link);
            item->setToolTip(3, QStringLiteral("Click, or Ctrl+., to write line %1 as: %2")
                                    .arg(mark.line)
                                    .arg(mark.fix));
        }
        problems_->addTopLevelItem(item);
    }
    editor_->setMarks(std::move(marks));
}

void StudioWindow::jumpToItem(int line) {
    if (line > 0) editor_->goToLine(line);
}

// ---- Reading and seeing: names for screen readers, keyboard paths, text size, contrast

namespace {

/// The panes the keyboard goes to with Ctrl+1 to Ctrl+6, and their docks ("" for the editor).
struct Pane {
    const char* name;
    const char* dock;
    const char* action;
};
constexpr Pane kPanes[] = {
    {"Editor", "", "goToEditor"},
    {"Cells", "cellsDock", "goToCells"},
    {"Registers", "registersDock", "goToRegisters"},
    {"Output", "outputDock", "goToOutput"},
    {"Messages", "messagesDock", "goToMessages"},
    {"Problems", "problemsDock", "goToProblems"},
    {"Input Queue", "inputQueueDock", "goToInputQueue"},
    {"Timeline", "timelineDock", "goToTimeline"},
};

} // namespace

void StudioWindow::createAccessibility() {
    viewMenu_->addSeparator();
    for (int i = 0; i < static_cast<int>(std::size(kPanes)); ++i) {
        auto* act = viewMenu_->addAction(QStringLiteral("Go to %1").arg(kPanes[i].name));
        act->setObjectName(QString::fromLatin1(kPanes[i].action));
        act->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)));
        act->setStatusTip(QStringLiteral("Put the keyboard in the %1 pane").arg(kPanes[i].name));
        connect(act, &QAction::triggered, this, [this, i] { focusPane(i); });
    }
    viewMenu_->addSeparator();
    viewMenu_->addAction(zoomInAct_);
    viewMenu_->addAction(zoomOutAct_);
    viewMenu_->addAction(zoomResetAct_);
    viewMenu_->addAction(highContrastAct_);

    helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu_->setObjectName(QStringLiteral("help"));
    helpMenu_->addAction(instructionsAct_);
    helpMenu_->addAction(shortcutsAct_);

    // What a stop or "Read the State" says stays readable in the status bar.
    announcer_ = new QLabel(QStringLiteral("Ready"), statusBar());
    announcer_->setObjectName(QStringLiteral("announcement"));
    announcer_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    announcer_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addPermanentWidget(announcer_, 1);

    describeActions();
    describeWidgets();
    fontSteps_ = qBound(kMinFontSteps, settings_->value(QStringLiteral("fontSteps"), 0).toInt(),
                        kMaxFontSteps);
    applyFontSize();
    const bool contrast = settings_->value(QStringLiteral("highContrast"), false).toBool();
    highContrastAct_->setChecked(contrast);
    setHighContrast(contrast);
}

void StudioWindow::describeActions() {
    const std::pair<QAction*, const char*> described[] = {
        {newAct_, "Start an empty program"},
        {openAct_, "Open a source file (.tsasm)"},
        {saveAct_, "Save the source in its file"},
        {saveAsAct_, "Save the source under a new name"},
        {exitAct_, "Close Tessivor Studio"},
        {buildAct_, "Write the program file (.tsp) beside the source"},
        {runAct_, "Run the program from the start"},
        {pauseAct_, "Pause the running program"},
        {stopAct_, "End the run"},
        {stepAct_, "Run one instruction"},
        {stepMachineAct_, "Run one machine step"},
        {backAct_, "Go back one instruction, cells and all (right after an edit of a cell, the "
                   "edit alone)"},
        {backMachineAct_, "Go back one machine step, cells and all"},
        {reverseContinueAct_, "Go back to the last breakpoint or watched change before this step"},
        {goToStepAct_, "Go to any step of the run so far, back or forward"},
        {continueAct_, "Go on from where the run stands"},
        {runToCursorAct_, "Run until the caret's line"},
        {breakpointAct_, "Set or clear the breakpoint on the caret's line"},
        {readStateAct_, "Say where the run stands: the line, the instruction, the registers and "
                        "the cells that hold something"},
        {zoomInAct_, "Make the text of every pane larger"},
        {zoomOutAct_, "Make the text of every pane smaller"},
        {zoomResetAct_, "The system's text size in every pane"},
        {highContrastAct_, "White on black with yellow highlights, in place of the system's "
                           "colours"},
        {shortcutsAct_, "List every command and its keys"},
        {instructionsAct_, "Show every instruction and what it does"},
        {exportTraceAct_, "Save each step of the run so far (pc, code, registers, instruction, "
                          "line) in a text file"},
        {selfTestAct_, "Run the cases of a teacher's test file on this program, with the "
                       "verdicts of tessivor-cli test"},
        {exportOutputAct_, "Save every line the run showed, whole, in a text file"},
        {applyFixAct_, "Write the line as the checker's fix for the finding at the caret says "
                       "(in the Problems pane: the chosen finding)"},
    };
    for (const auto& [act, text] : described) {
        act->setStatusTip(QString::fromLatin1(text));
        if (act->toolTip() == QString(act->text()).remove('&')) {
            const QString keys = act->shortcut().toString(QKeySequence::NativeText);
            act->setToolTip(keys.isEmpty() ? QString::fromLatin1(text)
                                           : QStringLiteral("%1 (%2)").arg(text, keys));
        }
    }
    for (auto* dock : findChildren<QDockWidget*>()) {
        dock->toggleViewAction()->setStatusTip(
            QStringLiteral("Show or hide the %1 pane").arg(dock->windowTitle()));
    }
}

void StudioWindow::describeWidgets() {
    const auto describe = [](QWidget* widget, const QString& name, const QString& description) {
        if (!name.isEmpty()) widget->setAccessibleName(name);
        widget->setAccessibleDescription(description);
    };
    const auto dock = [this](const char* name) {
        return findChild<QDockWidget*>(QString::fromLatin1(name));
    };
    describe(dock("cellsDock"), {}, QStringLiteral("The machine's 100 cells (Ctrl+2)"));
    describe(dock("registersDock"), {},
             QStringLiteral("pc, cur, opb, opc, the steps and the "
                            "speed (Ctrl+3)"));
    describe(dock("outputDock"), {}, QStringLiteral("What the program showed (Ctrl+4)"));
    describe(dock("messagesDock"), {}, QStringLiteral("How each run ended (Ctrl+5)"));
    describe(dock("problemsDock"), {}, QStringLiteral("The checker's findings (Ctrl+6)"));
    describe(dock("helpDock"), {},
             QStringLiteral("Every instruction, its code character and what it does (Shift+F1)"));
    describe(instructions_, QStringLiteral("Instructions"),
             QStringLiteral("Every instruction, how it is written and what it does"));
    describe(findChild<QLabel*>(QStringLiteral("registersHelp")), QStringLiteral("Registers help"),
             registersHelp());
    describe(dock("timelineDock"), {},
             QStringLiteral("The run's steps, with its stops, shown texts and edits (Ctrl+8)"));
    describe(timeline_->parentWidget(), QStringLiteral("Timeline pane"),
             QStringLiteral("The timeline and the step it stands at"));
    describe(timeline_, QStringLiteral("Timeline"),
             QStringLiteral("The run's steps: drag, click or use the arrows, Page Up, Page Down, "
                            "Home and End to go to a step"));
    describe(timelinePlace_, QStringLiteral("Timeline step"),
             QStringLiteral("The step the timeline stands at, of the furthest the run reached"));
    describe(findChild<QLabel*>(QStringLiteral("timelineCaption")), {},
             QStringLiteral("The timeline's caption"));
    describe(dock("inputQueueDock"), {},
             QStringLiteral("Replies typed before the run, used in order by inp (Ctrl+7)"));
    describe(cells_->parentWidget(), QStringLiteral("Cells pane"),
             QStringLiteral("The cells and the filter for the empty ones"));
    describe(registers_[Pc]->parentWidget(), QStringLiteral("Registers pane"),
             QStringLiteral("Each register with its value"));
    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        describe(menu, QString(menu->title()).remove('&'),
                 QStringLiteral("The %1 menu").arg(QString(menu->title()).remove('&')));
    }
    describe(cells_, QStringLiteral("Cells"),
             QStringLiteral("Each cell's number and text; the cells changed since the last stop "
                            "are bold and marked"));
    describe(nonEmptyOnly_, {}, QStringLiteral("Hide the empty cells"));
    describe(output_, QStringLiteral("Output"),
             QStringLiteral("Every dsp line, with the step that showed it"));
    describe(messages_, QStringLiteral("Messages"),
             QStringLiteral("The end of each run and the error reports; Enter goes to the line"));
    describe(problems_, QStringLiteral("Problems"),
             QStringLiteral("The checker's findings; Enter goes to the place"));
    describe(speed_, {},
             QStringLiteral("From one step at a time, through animation, to full speed"));
    describe(speedLabel_, QStringLiteral("Speed chosen"),
             QStringLiteral("The pace the slider sets"));
    if (auto* caption = qobject_cast<QLabel*>(
            speedLabel_->parentWidget()->findChild<QLabel*>(QStringLiteral("speedCaption"))))
        describe(caption, {}, QStringLiteral("The speed slider's caption"));
    describe(announcer_, {},
             QStringLiteral("What the Studio last said: each stop, and Read the State (F2)"));
    describe(statusBar(), QStringLiteral("Status"),
             QStringLiteral("Where the run stands and what the Studio last did"));
    if (auto* bar = findChild<QToolBar*>(QStringLiteral("runToolBar"))) {
        describe(bar, QStringLiteral("Run"),
                 QStringLiteral("Build, run and step through the program"));
        bar->toggleViewAction()->setStatusTip(QStringLiteral("Show or hide the Run tool bar"));
    }
    menuBar()->setAccessibleName(QStringLiteral("Menus"));
    menuBar()->setAccessibleDescription(QStringLiteral("File, Edit, Run, Debug, View and Help"));
    const char* const meanings[] = {
        "The position in the code string of the next operation",
        "The cell the last address chose",
        "An operand cell, copied from cur",
        "Another operand cell, copied from cur",
        "Steps run so far",
        "Million steps a second over the last run",
        "The source line and instruction at pc",
    };
    for (std::size_t i = 0; i < registers_.size(); ++i) {
        // Reachable with Tab from Ctrl+3, and read with its value.
        registers_[i]->setFocusPolicy(Qt::StrongFocus);
        registers_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                               Qt::TextSelectableByKeyboard);
        describe(registers_[i], {}, QString::fromLatin1(meanings[i]));
        registers_[i]->setToolTip(QString::fromLatin1(meanings[i]));
    }
    showRegisters(machine_);
}

QString StudioWindow::lastAnnouncement() const { return announcer_->text(); }

void StudioWindow::readState() {
    announce(announcer_,
             machine_.alive
                 ? fromBytes(describeState(machine_.state, machine_.cells))
                 : QStringLiteral("No program is running. F5 runs it, F10 steps through it."));
}

void StudioWindow::announceStop(const MachineSnapshot& snapshot) {
    QString words = stopWords(snapshot.stop);
    if (words.isEmpty() || !snapshot.alive) return;
    const DebugState& s = snapshot.state;
    if (!s.ended && s.line > 0)
        words += QStringLiteral(", line %1: %2").arg(s.line).arg(fromBytes(s.instruction));
    announce(announcer_, words);
}

void StudioWindow::focusPane(int pane) {
    QWidget* targets[] = {editor_,   cells_,    registers_[Pc],        output_,
                          messages_, problems_, inputQueue_->editor(), timeline_};
    if (auto* dock = findChild<QDockWidget*>(QString::fromLatin1(kPanes[pane].dock))) {
        dock->show();
        dock->raise();
    }
    targets[pane]->setFocus(Qt::ShortcutFocusReason);
}

void StudioWindow::zoom(int steps) {
    fontSteps_ = steps == 0 ? 0 : qBound(kMinFontSteps, fontSteps_ + steps, kMaxFontSteps);
    settings_->setValue(QStringLiteral("fontSteps"), fontSteps_);
    applyFontSize();
}

void StudioWindow::applyFontSize() {
    const auto sized = [this](QFont font) {
        font.setPointSizeF(qMax(6.0, font.pointSizeF() + fontSteps_ * kFontStepPoints));
        return font;
    };
    const QFont panes = sized(QApplication::font());
    // Step 0 follows the system's font again instead of holding a copy of it.
    setFont(fontSteps_ == 0 ? QFont() : panes);
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        menu->setFont(fontSteps_ == 0 ? QFont() : panes);
    if (shortcuts_) shortcuts_->setFont(fontSteps_ == 0 ? QFont() : panes);
    editor_->setFont(sized(QFontDatabase::systemFont(QFontDatabase::FixedFont)));
    // Headers may carry a font of their own class; they grow with the panes.
    for (QHeaderView* header : findChildren<QHeaderView*>())
        header->setFont(fontSteps_ == 0 ? QFont() : panes);
    cells_->verticalHeader()->setDefaultSectionSize(QFontMetrics(panes).height() + 4);
    showCells(machine_);
}

void StudioWindow::setHighContrast(bool on) {
    settings_->setValue(QStringLiteral("highContrast"), on);
    if (on == highContrast_) return;
    if (on) {
        systemPalette_ = QApplication::palette();
        QApplication::setPalette(highContrastPalette());
    } else {
        QApplication::setPalette(systemPalette_);
    }
    // The style draws a check box's edge in a shade of the window colour, which is black
    // itself on black: the box gets a white edge of its own.
    setStyleSheet(on ? QStringLiteral("QCheckBox::indicator { width: 0.8em; height: 0.8em; "
                                      "border: 2px solid white; background: black; }"
                                      "QCheckBox::indicator:checked { background: yellow; }")
                     : QString());
    highContrast_ = on;
    showCells(machine_);
}

void StudioWindow::showShortcuts() {
    if (!shortcuts_) {
        shortcuts_ = new QDialog(this);
        shortcuts_->setObjectName(QStringLiteral("shortcutsDialog"));
        shortcuts_->setWindowTitle(QStringLiteral("Keyboard Shortcuts - ") + kAppName);
        shortcuts_->setAccessibleDescription(QStringLiteral("Every command and its keys"));
        auto* layout = new QVBoxLayout(shortcuts_);
        auto* list = new QTreeWidget(shortcuts_);
        list->setObjectName(QStringLiteral("shortcuts"));
        list->setAccessibleName(QStringLiteral("Shortcuts"));
        list->setAccessibleDescription(QStringLiteral("Each command with its keys"));
        list->setHeaderLabels({QStringLiteral("Command"), QStringLiteral("Keys")});
        list->setRootIsDecorated(false);
        QList<QTreeWidgetItem*> rows;
        for (QMenu* menu : {fileMenu_, editMenu_, runMenu_, debugMenu_, viewMenu_, helpMenu_}) {
            for (QAction* act : menu->actions()) {
                if (act->shortcut().isEmpty()) continue;
                QStringList keys;
                for (const QKeySequence& key : act->shortcuts())
                    keys << key.toString(QKeySequence::NativeText);
                rows << new QTreeWidgetItem(
                    {QString(act->text()).remove('&'), keys.join(QStringLiteral(", "))});
            }
        }
        const char* const moves[][2] = {
            {"Leave the editor (Tab types a tab)", "Ctrl+Tab, Ctrl+Shift+Tab"},
            {"Move between the other controls", "Tab, Shift+Tab"},
            {"Go to the line of a message or a problem", "Enter"},
            {"Open a menu", "Alt+F, Alt+E, Alt+R, Alt+D, Alt+V, Alt+H"},
            {"Move along the timeline", "Left, Right, Page Up, Page Down, Home, End"},
        };
        for (const auto& move : moves)
            rows << new QTreeWidgetItem(
                {QString::fromLatin1(move[0]), QString::fromLatin1(move[1])});
        list->addTopLevelItems(rows);
        list->resizeColumnToContents(0);
        layout->addWidget(list);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, shortcuts_);
        connect(buttons, &QDialogButtonBox::rejected, shortcuts_, &QDialog::close);
        layout->addWidget(buttons);
        shortcuts_->resize(560, 520);
        applyFontSize();
    }
    shortcuts_->show();
    shortcuts_->raise();
    shortcuts_->activateWindow();
}

} // namespace tessivor::studio
