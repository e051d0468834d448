#include "studio/studio_window.h"

#include "platform/files.h"
#include "studio/code_editor.h"
#include "studio/studio_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QThread>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <set>

namespace tessivor::studio {
namespace {

using namespace test_support;

TEST_F(StudioWindowTest, StopsAtABreakpointStepsBackAndRunsToTheEnd) {
    action("example_count")->trigger();
    EXPECT_TRUE(window->editor()->isReadOnly());
    EXPECT_TRUE(window->windowTitle().startsWith("count.tsasm"));
    // Line 9 is "dsp 01", inside the loop.
    ASSERT_EQ(window->editor()->document()->findBlockByNumber(8).text(), "dsp 01");
    window->editor()->toggleBreakpoint(9);

    trigger("run");
    EXPECT_EQ(window->machine().stop, Stop::Breakpoint);
    EXPECT_EQ(window->machine().state.line, 9);
    EXPECT_EQ(window->editor()->executionLine(), 9);
    EXPECT_EQ(cell(1), "1");
    EXPECT_EQ(cell(2), "10");
    EXPECT_EQ(cell(90), "1");
    EXPECT_EQ(cell(3), "");
    EXPECT_EQ(reg("pc"), QString::number(window->machine().state.pc));
    EXPECT_EQ(reg("steps"), QString::number(window->machine().state.steps));
    EXPECT_TRUE(reg("at").startsWith("line 9: dsp 01")) << reg("at").toStdString();

    // The filter hides the empty cells and keeps the others.
    auto* cells = window->findChild<QTableWidget*>("cells");
    window->findChild<QCheckBox*>("nonEmptyOnly")->setChecked(true);
    EXPECT_TRUE(cells->isRowHidden(3));
    EXPECT_FALSE(cells->isRowHidden(1));
    window->findChild<QCheckBox*>("nonEmptyOnly")->setChecked(false);
    EXPECT_FALSE(cells->isRowHidden(3));

    trigger("step"); // dsp 01
    EXPECT_EQ(window->machine().state.line, 10);
    EXPECT_EQ(output(), QStringList{"1"});
    trigger("step"); // ifl 01, 02
    trigger("step"); // inc 01
    EXPECT_EQ(window->machine().state.line, 12);
    EXPECT_EQ(cell(1), "2");
    EXPECT_TRUE(cellChanged(1));
    EXPECT_FALSE(cellChanged(2));
    trigger("back");
    EXPECT_EQ(window->machine().state.line, 11);
    EXPECT_EQ(cell(1), "1");

    trigger("continue"); // round the loop to the breakpoint again
    EXPECT_EQ(window->machine().stop, Stop::Breakpoint);
    EXPECT_EQ(cell(1), "2");

    window->editor()->toggleBreakpoint(9);
    trigger("continue");
    EXPECT_EQ(window->machine().stop, Stop::Terminated);
    EXPECT_EQ(output(), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    // Each line comes with the step that showed it, later lines at later steps.
    const QStringList steps = output(0);
    for (int i = 1; i < steps.size(); ++i)
        EXPECT_LT(steps[i - 1].toLongLong(), steps[i].toLongLong());
    ASSERT_FALSE(messages().isEmpty());
    EXPECT_TRUE(messages().back().startsWith("Program Terminated"));
    // After the end, Step starts afresh; Continue has nothing to go on from.
    EXPECT_TRUE(action("step")->isEnabled());
    EXPECT_FALSE(action("continue")->isEnabled());
    EXPECT_EQ(window->editor()->executionLine(), 0);
}

TEST_F(StudioWindowTest, ARunawayLoopIsPausedAndStoppedAtOnce) {
    setText("set 90, 1;\nlbl 01\ngto 90\n");
    action("run")->trigger();
    ASSERT_TRUE(waitUntil([&] { return window->machine().running; }, 5000));
    QThread::msleep(200);
    QElapsedTimer clock;
    clock.start();
    action("pause")->trigger();
    ASSERT_TRUE(waitUntil([&] { return !window->busy(); }, 2000));
    EXPECT_LT(clock.elapsed(), 1000);
    RecordProperty("pauseMs", static_cast<int>(clock.elapsed()));
    EXPECT_EQ(window->machine().stop, Stop::Paused);
    EXPECT_GT(window->machine().state.steps, 1000);
    EXPECT_GT(window->machine().speed, 0.0);
    RecordProperty("millionStepsPerSecond", std::to_string(window->machine().speed));

    action("continue")->trigger();
    QThread::msleep(200);
    clock.restart();
    action("stop")->trigger();
    ASSERT_TRUE(waitUntil([&] { return !window->busy() && !window->machine().alive; }, 2000));
    EXPECT_LT(clock.elapsed(), 1000);
    RecordProperty("stopMs", static_cast<int>(clock.elapsed()));
    EXPECT_FALSE(action("stop")->isEnabled());

    // Closing while the loop runs ends it.
    action("run")->trigger();
    ASSERT_TRUE(waitUntil([&] { return window->machine().running; }, 5000));
    window->editor()->document()->setModified(false);
    clock.restart();
    window.reset();
    EXPECT_LT(clock.elapsed(), 1000);
    RecordProperty("closeMs", static_cast<int>(clock.elapsed()));
}

TEST_F(StudioWindowTest, InputIsAskedWithTheProgramsNameAndCancelGivesTheEmptyText) {
    const QString source = dir.filePath("greet.tsasm");
    ASSERT_TRUE(QFile::copy(QStringLiteral(TESSIVOR_EXAMPLES_DIR "/greet.tsasm"), source));
    ASSERT_TRUE(window->openFile(source));
    dialogs.replies = {QStringLiteral("Ada")};
    trigger("run");
    ASSERT_TRUE(waitUntil([&] { return !window->busy(); }));
    ASSERT_EQ(dialogs.inputsAsked.size(), 1u);
    EXPECT_EQ(dialogs.inputsAsked[0].first, "greet");
    EXPECT_EQ(dialogs.inputsAsked[0].second, "What is your name?");
    EXPECT_EQ(window->machine().stop, Stop::Terminated);
    EXPECT_EQ(output(), QStringList{"Hello, Ada!"});

    dialogs.replies = {std::nullopt};
    trigger("run");
    ASSERT_TRUE(waitUntil([&] { return !window->busy(); }));
    EXPECT_EQ(output(), QStringList{"Hello, !"});
}

TEST_F(StudioWindowTest, ErrorsAreReportedWithTheirLineAndAClickGoesThere) {
    setText("// a comment\ndsp 01\ninc 05\nend\n");
    trigger("run");
    EXPECT_EQ(window->machine().stop, Stop::Error);
    const QStringList texts = messages();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_TRUE(texts[0].startsWith("Type mismatch byte ")) << texts[0].toStdString();
    EXPECT_TRUE(texts[0].endsWith("(line 3)")) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].startsWith("Program Ended"));
    EXPECT_TRUE(texts[2].endsWith("(line 3)")) << texts[2].toStdString();
    auto* list = window->findChild<QListWidget*>("messages");
    emit list->itemClicked(list->item(0));
    EXPECT_EQ(window->editor()->caretLine(), 3);
}

TEST_F(StudioWindowTest, ClosingWithUnsavedChangesAsksFirst) {
    window->editor()->insertPlainText("dsp 01\n");
    EXPECT_TRUE(window->isWindowModified());
    dialogs.unsaved = {StudioDialogs::Unsaved::Cancel};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());

    const QString name = dir.filePath("kept.tsasm");
    dialogs.unsaved = {StudioDialogs::Unsaved::Save};
    dialogs.saveNames = {name};
    EXPECT_TRUE(window->close());
    EXPECT_EQ(bytesOf(fs::path(name.toStdString())), "dsp 01\r\n\r\n");
    EXPECT_EQ(dialogs.saveQuestions, 2);
}

TEST_F(StudioWindowTest, FilesRoundTripAndTheTitleNamesThemWithAModifiedMark) {
    const fs::path path = fs::path(dir.path().toStdString()) / "prog.tsasm";
    const std::string original = "set 01, caf\xe9;\r\ndsp 01\r\nend\r\n";
    std::string reason;
    ASSERT_TRUE(platform::writeTextFile(path, "set 01, caf\xe9;\r\ndsp 01\r\nend", reason));
    ASSERT_EQ(bytesOf(path), original);
    dialogs.openNames = {QString::fromStdString(path.string())};
    action("open")->trigger();
    EXPECT_EQ(window->windowTitle(), "prog.tsasm[*] - Tessivor Studio");
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(window->editor()->toPlainText(),
              QString::fromUtf8("set 01, caf\u00e9;\ndsp 01\nend"));

    window->editor()->appendPlainText("idl");
    EXPECT_TRUE(window->isWindowModified());
    action("save")->trigger(); // no dialog: the window remembers the file
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(bytesOf(path), "set 01, caf\xe9;\r\ndsp 01\r\nend\r\nidl\r\n");

    // New asks about nothing when all is saved; the file is offered again under Open Recent.
    action("new")->trigger();
    EXPECT_EQ(dialogs.saveQuestions, 0);
    EXPECT_TRUE(window->windowTitle().startsWith("Untitled"));
    auto* recent = window->findChild<QMenu*>("recent");
    emit recent->aboutToShow();
    ASSERT_FALSE(recent->actions().isEmpty());
    recent->actions().first()->trigger();
    EXPECT_EQ(window->filePath(), QString::fromStdString(path.string()));
}

TEST_F(StudioWindowTest, AnExampleIsSavedOnlyUnderANewName) {
    action("example_hello")->trigger();
    EXPECT_TRUE(window->editor()->isReadOnly());
    EXPECT_TRUE(window->filePath().isEmpty());
    const QString name = dir.filePath("mine.tsasm");
    dialogs.saveNames = {name};
    action("save")->trigger();
    EXPECT_EQ(window->filePath(), name);
    EXPECT_FALSE(window->editor()->isReadOnly());
    // Saved byte for byte as the example was read: its LF line ends stay LF.
    EXPECT_EQ(bytesOf(fs::path(name.toStdString())),
              bytesOf(fs::path(TESSIVOR_EXAMPLES_DIR) / "hello.tsasm"));
}

TEST_F(StudioWindowTest, BuildWritesTheSameBytesAsTheCommandLine) {
    for (const char* example : {"count", "greet", "primes"}) {
        const QString source = dir.filePath(QString::fromLatin1(example) + ".tsasm");
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(TESSIVOR_EXAMPLES_DIR "/") + example + ".tsasm", source));
        ASSERT_TRUE(window->openFile(source));
        action("build")->trigger();
        const QString cli = dir.filePath(QString::fromLatin1(example) + "-cli.tsp");
        ASSERT_EQ(QProcess::execute(QStringLiteral(TESSIVOR_CLI),
                                    {QStringLiteral("build"), QStringLiteral("-o"), cli, source}),
                  0);
        const fs::path built = fs::path(dir.path().toStdString()) / (std::string(example) + ".tsp");
        EXPECT_EQ(bytesOf(built), bytesOf(fs::path(cli.toStdString()))) << example;
    }
}

TEST_F(StudioWindowTest, AProblemIsListedOnItsLineAndUnderlined) {
    setText("dsp 01\nend\nadd 1, 02, 03\n");
    window->checkNow();
    auto* problems = window->findChild<QTreeWidget*>("problems");
    ASSERT_GE(problems->topLevelItemCount(), 1);
    EXPECT_EQ(problems->topLevelItem(0)->text(0), "3");
    ASSERT_FALSE(window->editor()->marks().empty());
    EXPECT_EQ(window->editor()->marks().front().line, 3);
    emit problems->itemClicked(problems->topLevelItem(0), 0);
    EXPECT_EQ(window->editor()->caretLine(), 3);

    // Typing re-checks a moment later: the fixed text has no problems.
    setText("dsp 01\nend\n");
    ASSERT_TRUE(waitUntil([&] { return problems->topLevelItemCount() == 0; }, 3000));
    EXPECT_TRUE(window->editor()->marks().empty());
}

TEST_F(StudioWindowTest, OneStepAtATimeAndRunToCursor) {
    action("example_count")->trigger();
    setSpeed(0);
    trigger("run");
    EXPECT_EQ(window->machine().state.line, 6); // after "set 01, 1;" on line 5
    window->editor()->goToLine(12);             // gto 90
    trigger("runToCursor");
    EXPECT_EQ(window->machine().stop, Stop::Breakpoint);
    EXPECT_EQ(window->machine().state.line, 12);
    EXPECT_EQ(cell(1), "2");
    // The cursor's breakpoint was for that run only.
    trigger("continue");
    EXPECT_EQ(window->machine().state.line, 9);
}

TEST_F(StudioWindowTest, AnAnimationShowsEachInstructionAsItRuns) {
    action("example_count")->trigger();
    setSpeed(9); // the fastest animation
    std::set<int> lines;
    QObject::connect(window->editor(), &CodeEditor::executionLineChanged,
                     [&](int line) { lines.insert(line); });
    action("run")->trigger();
    ASSERT_TRUE(waitUntil([&] { return !window->busy(); }));
    EXPECT_EQ(window->machine().stop, Stop::Terminated);
    // Every line of the loop was highlighted on the way.
    for (const int line : {9, 10, 11, 12})
        EXPECT_TRUE(lines.count(line)) << line;
    EXPECT_EQ(output().size(), 10);
}

} // namespace
} // namespace tessivor::studio
