#include "studio/studio_window.h"

#include "assembler/check/check.h"
#include "assembler/translate/program.h"
#include "platform/files.h"
#include "platform/qt_source_text.h"
#include "platform/qt_text.h"
#include "runner/debug/describe.h"
#include "studio/accessibility.h"
#include "studio/code_editor.h"

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
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>
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
constexpr int kCheckDelayMs = 400;
// The pauses between instructions of an animation, slowest first; the slider's first position
// is one instruction at a time and its last full speed.
constexpr int kAnimationDelays[] = {1000, 600, 350, 200, 120, 60, 30, 15, 5};
constexpr int kSpeedPositions = 11;
enum Register { Pc, Cur, Opb, Opc, Steps, Speed, Where };
const char* const kRegisterNames[] = {"pc", "cur", "opb", "opc", "steps", "speed", "at"};
constexpr int kFontStepPoints = 2;
constexpr int kMinFontSteps = -2;
constexpr int kMaxFontSteps = 15;

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
    resize(1100, 720);
    editor_->setFocus();
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

    runMenu_ = menuBar()->addMenu(QStringLiteral("&Run"));
    runMenu_->addAction(buildAct_);
    runMenu_->addSeparator();
    runMenu_->addAction(runAct_);
    runMenu_->addAction(pauseAct_);
    runMenu_->addAction(continueAct_);
    runMenu_->addAction(stopAct_);
    runMenu_->addSeparator();
    runMenu_->addAction(stepAct_);
    runMenu_->addAction(stepMachineAct_);
    runMenu_->addAction(backAct_);
    runMenu_->addAction(runToCursorAct_);
    runMenu_->addSeparator();
    runMenu_->addAction(breakpointAct_);
    runMenu_->addSeparator();
    runMenu_->addAction(readStateAct_);

    viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));
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
    cells_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cells_->setSelectionBehavior(QAbstractItemView::SelectRows);
    cells_->setWordWrap(false);
    for (int i = 0; i < kCells; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        cells_->setItem(i, 0, new QTableWidgetItem(number));
        cells_->setItem(i, 1, new QTableWidgetItem);
    }
    cells_->verticalHeader()->setDefaultSectionSize(cells_->fontMetrics().height() + 4);
    cellsLayout->addWidget(nonEmptyOnly_);
    cellsLayout->addWidget(cells_);
    connect(nonEmptyOnly_, &QCheckBox::toggled, this, [this] { showCells(machine_); });
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
    auto* registersDock =
        dock("registersDock", QStringLiteral("Registers"), registersPane, Qt::RightDockWidgetArea);

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
    problems_->setHeaderLabels(
        {QStringLiteral("Line"), QStringLiteral("Kind"), QStringLiteral("Problem")});
    problems_->setRootIsDecorated(false);
    const auto problemChosen = [this](QTreeWidgetItem* item) {
        editor_->goToLine(item->data(0, Qt::UserRole).toInt(), item->data(1, Qt::UserRole).toInt());
    };
    connect(problems_, &QTreeWidget::itemActivated, this, problemChosen);
    connect(problems_, &QTreeWidget::itemClicked, this, problemChosen);
    auto* problemsDock =
        dock("problemsDock", QStringLiteral("Problems"), problems_, Qt::BottomDockWidgetArea);
    tabifyDockWidget(outputDock, messagesDock);
    tabifyDockWidget(messagesDock, problemsDock);
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
    // The old text stays until the whole file has been read.
    if (!platform::readWholeFile(toPath(path), bytes, reason)) {
        dialogs_->error(QStringLiteral("Could not open \"%1\": %2")
                            .arg(QDir::toNativeSeparators(path), fromBytes(reason)));
        return false;
    }
    stop();
    editor_->clearBreakpoints();
    editor_->setPlainText(platform::editorTextFromFile(bytes));
    editor_->document()->setModified(false);
    editor_->setReadOnly(example);
    if (example) {
        filePath_.clear();
        exampleName_ = QFileInfo(path).fileName();
    } else {
        filePath_ = QFileInfo(path).absoluteFilePath();
        exampleName_.clear();
        addRecent(filePath_);
    }
    clearRunViews();
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

bool StudioWindow::writeTo(const QString& path) {
    std::string reason;
    const std::string source = platform::sourceFromEditor(editor_->rawText());
    if (!platform::writeTextFile(toPath(path), source, reason)) {
        dialogs_->error(QStringLiteral("Could not save \"%1\": %2")
                            .arg(QDir::toNativeSeparators(path), fromBytes(reason)));
        return false;
    }
    editor_->document()->setModified(false);
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
    runner_->pause();
    event->accept();
}

// ---- Build and run

void StudioWindow::build() {
    const Program program = Program::fromSource(platform::sourceFromEditor(editor_->rawText()));
    if (!program.built) {
        addMessage(QStringLiteral("Error Compiling."),
                   static_cast<int>(program.failedSetPlace().line));
        return;
    }
    if (filePath_.isEmpty() && !saveAs()) return;
    const QString target =
        QFileInfo(filePath_).dir().filePath(QFileInfo(filePath_).completeBaseName() + ".tsp");
    std::string reason;
    if (!platform::writeTextFile(toPath(target), program.codeString(), reason)) {
        addMessage(QStringLiteral("Could not write \"%1\": %2")
                       .arg(QDir::toNativeSeparators(target), fromBytes(reason)),
                   0);
        return;
    }
    addMessage(QStringLiteral("Built %1").arg(QDir::toNativeSeparators(target)), 0);
}

bool StudioWindow::startSession() {
    Program program = Program::fromSource(platform::sourceFromEditor(editor_->rawText()));
    if (!program.built) {
        addMessage(QStringLiteral("Error Compiling."),
                   static_cast<int>(program.failedSetPlace().line));
        return false;
    }
    clearRunViews();
    // The program runs as the runner would run its file: the code and the line end after it.
    runner_->start({program.code, program.map, program.instructionTexts()},
                   editor_->breakpointLines());
    ++pending_;
    machine_.alive = true;
    machine_.state = DebugState{};
    return true;
}

void StudioWindow::command(std::function<void()> send) {
    if (busy()) return;
    if (!machine_.alive && !startSession()) return;
    issue(std::move(send));
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
    issue([this] {
        if (pace() == Pace::Single)
            runner_->stepInstruction();
        else
            runner_->go(pace(), animationDelay());
    });
}

void StudioWindow::continueRun() {
    command([this] {
        if (pace() == Pace::Single)
            runner_->stepInstruction();
        else
            runner_->go(pace(), animationDelay());
    });
}

void StudioWindow::runToCursor() {
    const int line = editor_->caretLine();
    command([this, line] {
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
    if (!machine_.alive) return;
    command([this] { runner_->backInstruction(); });
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
    if (!snapshot.running) {
        cellsAtLastStop_ = snapshot.cells;
        switch (snapshot.stop) {
        case Stop::PastEnd:
            addMessage(QStringLiteral("The program ran past its last instruction."), 0);
            break;
        case Stop::PrepareFailed:
            addMessage(QStringLiteral("The program cannot start: it has more than 99 labels."), 0);
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
    if (snapshot.stop == Stop::Input && !snapshot.running && lastCommand_) {
        const QString title = QFileInfo(documentName()).completeBaseName().isEmpty()
                                  ? kAppName
                                  : QFileInfo(documentName()).completeBaseName();
        const std::optional<QString> reply =
            dialogs_->input(title, fromBytes(snapshot.state.inputPrompt));
        // The window may have been stopped while the question was open.
        if (!machine_.alive || busy()) return;
        runner_->provideInput(reply ? platform::fromQString(*reply) : std::string());
        ++pending_;
        lastCommand_();
        updateActions();
    }
}

void StudioWindow::machineShowed(std::vector<MachineEvent> events) {
    QList<QTreeWidgetItem*> lines;
    for (MachineEvent& event : events) {
        if (event.kind == MachineEvent::Kind::Display) {
            auto* item = new QTreeWidgetItem({QString::number(event.step), cellText(event.text)});
            item->setToolTip(1, fromBytes(event.text.substr(0, kShownCellLength)));
            lines.append(item);
        } else {
            addMessage(fromBytes(event.text), event.line);
        }
    }
    output_->addTopLevelItems(lines);
    while (output_->topLevelItemCount() > kMaxOutputLines)
        delete output_->takeTopLevelItem(0);
    if (!lines.isEmpty()) output_->scrollToItem(lines.back());
}

void StudioWindow::addMessage(const QString& text, int line) {
    auto* item =
        new QListWidgetItem(line > 0 ? QStringLiteral("%1  (line %2)").arg(text).arg(line) : text);
    item->setData(Qt::UserRole, line);
    messages_->addItem(item);
    messages_->scrollToItem(item);
    if (auto* dock = findChild<QDockWidget*>(QStringLiteral("messagesDock"))) dock->raise();
}

void StudioWindow::clearRunViews() {
    output_->clear();
    messages_->clear();
    machine_ = MachineSnapshot{};
    cellsAtLastStop_ = {};
    editor_->setExecutionLine(0);
    showCells(machine_);
    showRegisters(machine_);
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
    stepAct_->setEnabled(!busy() && !ended);
    stepMachineAct_->setEnabled(!busy() && !ended);
    continueAct_->setEnabled(!busy() && !ended);
    runToCursorAct_->setEnabled(!busy() && !ended);
    backAct_->setEnabled(!busy() && alive && machine_.history > 0);
}

// ---- Problems

void StudioWindow::checkNow() {
    checkTimer_->stop();
    check();
}

void StudioWindow::check() {
    const std::string source = platform::sourceFromEditor(editor_->rawText());
    std::vector<EditorMark> marks;
    for (const Diagnostic& d : checkSource(source)) {
        EditorMark mark;
        mark.line = static_cast<int>(d.line);
        mark.column = static_cast<int>(d.column);
        mark.endColumn = static_cast<int>(qMax(d.endColumn, d.column + 1));
        mark.error = d.severity == Severity::Error;
        mark.kind = QString::fromLatin1(severityName(d.severity));
        mark.message = fromBytes(d.message);
        if (d.suggestion) mark.message += QStringLiteral("\nWrite: ") + fromBytes(*d.suggestion);
        marks.push_back(mark);
    }
    problems_->clear();
    for (const EditorMark& mark : marks) {
        auto* item = new QTreeWidgetItem(
            {QString::number(mark.line), mark.kind, mark.message.section(QLatin1Char('\n'), 0, 0)});
        item->setData(0, Qt::UserRole, mark.line);
        item->setData(1, Qt::UserRole, mark.column);
        item->setToolTip(2, mark.message);
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
        {backAct_, "Go back one instruction, cells and all"},
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
    menuBar()->setAccessibleDescription(QStringLiteral("File, Edit, Run, View and Help"));
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
    QWidget* targets[] = {editor_, cells_, registers_[Pc], output_, messages_, problems_};
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
        for (QMenu* menu : {fileMenu_, runMenu_, viewMenu_, helpMenu_}) {
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
            {"Open a menu", "Alt+F, Alt+E, Alt+R, Alt+V, Alt+H"},
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
