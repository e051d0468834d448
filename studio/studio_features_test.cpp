// What the Studio offers beyond editing and running: watches on cells, the input queue, the
// checker's fixes, the output log.

#include "studio/studio_test_support.h"

#include "assembler/translate/mnemonics.h"
#include "studio/input_queue.h"
#include "studio/instruction_help.h"

#include <QDockWidget>
#include <QMap>

#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTextBlock>

namespace tessivor::studio {
namespace {

using namespace test_support;

TEST_F(StudioWindowTest, AWatchedCellStopsTheRunAfterTheStepThatChangedIt) {
    action("example_count")->trigger();
    auto* cells = window->findChild<QTableWidget*>("cells");
    // A tick on the cell's number sets the watch.
    cells->item(1, 0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(window->watched(1));
    EXPECT_EQ(window->lastAnnouncement(), "Watching cell 01");
    trigger("run");
    EXPECT_EQ(window->machine().stop, Stop::Watch);
    EXPECT_EQ(cell(1), "1"); // set 01, 1; has just run
    EXPECT_EQ(window->machine().state.line, 6);
    trigger("continue");
    EXPECT_EQ(window->machine().stop, Stop::Watch);
    EXPECT_EQ(cell(1), "2"); // inc 01
    EXPECT_EQ(window->machine().state.line, 12);
    EXPECT_EQ(output(), QStringList{"1"});

    // Enter (or a double-click) on the row takes the watch away; the run goes to its end.
    emit cells->itemActivated(cells->item(1, 1));
    EXPECT_FALSE(window->watched(1));
    EXPECT_EQ(cells->item(1, 0)->checkState(), Qt::Unchecked);
    trigger("continue");
    EXPECT_EQ(window->machine().stop, Stop::Terminated);
    EXPECT_EQ(output().size(), 10);
}

TEST_F(StudioWindowTest, TheInputQueueAnswersInOrderThenTheBoxAsks) {
    setText(QStringLiteral("set 01, First?;\ninp 01, 02\ndsp 02\nset 01, Second?;\n"
                           "inp 01, 03\ndsp 03\nset 01, Third?;\ninp 01, 04\ndsp 04\nend\n"));
    window->inputQueue()->setReplies(QStringLiteral("Ada\n\n"));
    dialogs.replies = {QStringLiteral("from the box")};
    trigger("run");
    ASSERT_TRUE(waitUntil([&] { return !window->busy(); }));
    EXPECT_EQ(window->machine().stop, Stop::Terminated);
    EXPECT_EQ(output(), (QStringList{"Ada", "", "from the box"}));
    ASSERT_EQ(dialogs.inputsAsked.size(), 1u);
    EXPECT_EQ(dialogs.inputsAsked[0].second, "Third?");
    EXPECT_EQ(window->inputQueue()->status(), "All 2 replies used: the next input box asks.");

    // A new run uses the queue from its first line again.
    window->inputQueue()->setReplies(QStringLiteral("1\n2\n3\n"));
    trigger("run");
    ASSERT_TRUE(waitUntil([&] { return !window->busy(); }));
    EXPECT_EQ(output(), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(dialogs.inputsAsked.size(), 1u);
}

TEST_F(StudioWindowTest, TheCheckersFixIsWrittenByCtrlDotOrAClick) {
    setText(QStringLiteral("dsp 01\nend\nadd 1, 02, 03\n"));
    window->checkNow();
    auto* problems = window->findChild<QTreeWidget*>("problems");
    ASSERT_EQ(problems->topLevelItemCount(), 1);
    EXPECT_EQ(problems->topLevelItem(0)->text(3), "Write: add 01, 02, 03");

    // Ctrl+. with the caret on the line (a shortcut of the active window).
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->editor()->goToLine(3, 5);
    QTest::keyClick(window->editor(), Qt::Key_Period, Qt::ControlModifier);
    EXPECT_EQ(window->editor()->document()->findBlockByNumber(2).text(), "add 01, 02, 03");
    EXPECT_EQ(problems->topLevelItemCount(), 0);
    window->editor()->undo();
    EXPECT_EQ(window->editor()->document()->findBlockByNumber(2).text(), "add 1, 02, 03");

    // A click on the fix in the Problems pane.
    window->checkNow();
    ASSERT_EQ(problems->topLevelItemCount(), 1);
    problems->setCurrentItem(problems->topLevelItem(0));
    emit problems->itemClicked(problems->topLevelItem(0), 3);
    EXPECT_EQ(window->editor()->document()->findBlockByNumber(2).text(), "add 01, 02, 03");

    // A line without a fix is left alone.
    window->editor()->goToLine(1);
    action("applyFix")->trigger();
    EXPECT_EQ(window->editor()->toPlainText(), "dsp 01\nend\nadd 01, 02, 03\n");
}

TEST_F(StudioWindowTest, TheOutputLogIsExportedAsTheCommandLinePrintsIt) {
    EXPECT_FALSE(action("exportOutput")->isEnabled());
    action("example_count")->trigger();
    trigger("run");
    ASSERT_TRUE(waitUntil([&] { return output().size() == 10; }));
    EXPECT_TRUE(action("exportOutput")->isEnabled());
    const QString log = dir.filePath(QStringLiteral("count-output.txt"));
    dialogs.exportNames = {log};
    action("exportOutput")->trigger();
    QProcess cli;
    cli.start(QStringLiteral(TESSIVOR_CLI),
              {QStringLiteral("run"), QStringLiteral(TESSIVOR_EXAMPLES_DIR "/count.tsasm")});
    ASSERT_TRUE(cli.waitForFinished(30'000));
    EXPECT_EQ(QByteArray::fromStdString(bytesOf(fs::path(log.toStdString()))),
              cli.readAllStandardOutput());
    EXPECT_TRUE(window->lastAnnouncement().startsWith("Exported every line of the output"));
}

TEST_F(StudioWindowTest, TheHelpPanelListsEveryInstructionOfTheTable) {
    action("instructions")->trigger();
    auto* dock = window->findChild<QDockWidget*>("helpDock");
    ASSERT_NE(dock, nullptr);
    EXPECT_TRUE(dock->isVisible());
    auto* table = window->findChild<QTreeWidget*>("instructionTable");
    ASSERT_EQ(static_cast<std::size_t>(table->topLevelItemCount()), kMnemonics.size());
    QMap<QString, QStringList> rows;
    for (int i = 0; i < table->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = table->topLevelItem(i);
        rows[item->text(0).section(u' ', 0, 0)] = {item->text(0), item->text(1), item->text(2)};
    }
    // The operands land in the registers as the translation writes them: the last of three
    // and the second of two is the cell written.
    EXPECT_EQ(rows["add"], (QStringList{"add A, B, C", "d",
                                        "writes cell C from cell A and cell B, read as numbers"}));
    EXPECT_EQ(rows["inp"],
              (QStringList{"inp A, B", "o", "writes cell B from cell A, read as texts"}));
    EXPECT_EQ(rows["apd"][2], "appends to cell B from cell A, read as texts");
    EXPECT_EQ(rows["dsp"][2], "shows cell A");
    EXPECT_TRUE(rows["ifl"][2].startsWith("a test on cell A and cell B, read as numbers"));
    EXPECT_EQ(rows["set"][0], "set A, text;");
    EXPECT_EQ(rows["end"][2], "ends the run: \"Program Terminated\"");

    // The editor's tooltip on a mnemonic, in any letter case; nothing on other words.
    EXPECT_TRUE(instructionTip("MUL").startsWith("mul A, B, C: writes cell C"));
    EXPECT_TRUE(instructionTip("mul").contains("A at the 5th character"));
    EXPECT_TRUE(instructionTip("hello").isEmpty());
    auto* registersHelpLabel = window->findChild<QLabel*>("registersHelp");
    ASSERT_NE(registersHelpLabel, nullptr);
    EXPECT_TRUE(registersHelpLabel->text().startsWith("pc: "));
}

TEST_F(StudioWindowTest, SelfTestGivesTheVerdictsOfTheCommandLine) {
    const QString tests = dir.filePath(QStringLiteral("hello.toml"));
    {
        QFile file(tests);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[[case]]\nname = \"hello\"\noutput = [\"Hello\"]\n"
                   "[[case]]\nname = \"twice\"\noutput = [\"Hello\", \"Hello\"]\n");
    }
    const std::string program = "set 01, Hello;\ndsp 01\nend\n";
    const QString path = dir.filePath(QStringLiteral("mine.tsasm"));
    {
        std::string reason;
        ASSERT_TRUE(platform::writeTextFile(fs::path(path.toStdString()), program, reason, ""));
    }
    ASSERT_TRUE(window->openFile(path));
    QProcess cli;
    cli.setWorkingDirectory(dir.path());
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(TESSIVOR_CLI),
              {QStringLiteral("test"), tests, QStringLiteral("mine.tsasm")});
    ASSERT_TRUE(cli.waitForFinished(30'000));
    const QStringList expected = QString::fromUtf8(cli.readAll()).trimmed().split(u'\n');
    ASSERT_GE(expected.size(), 2);

    dialogs.testNames = {tests};
    action("selfTest")->trigger();
    ASSERT_TRUE(waitUntil([&] { return messages().size() >= expected.size() + 1; }, 30'000));
    EXPECT_EQ(messages().mid(1), expected);
    EXPECT_TRUE(expected.join(u'\n').contains("1 of 2")) << expected.join(u'\n').toStdString();
}

TEST_F(StudioWindowTest, TheTraceOfARunIsExportedAsRunTraceWritesIt) {
    EXPECT_FALSE(action("exportTrace")->isEnabled());
    action("example_count")->trigger();
    trigger("run");
    ASSERT_TRUE(action("exportTrace")->isEnabled());
    const QString trace = dir.filePath(QStringLiteral("count-trace.txt"));
    dialogs.exportNames = {trace};
    action("exportTrace")->trigger();
    QProcess cli;
    cli.setWorkingDirectory(QStringLiteral(TESSIVOR_EXAMPLES_DIR));
    cli.start(QStringLiteral(TESSIVOR_CLI),
              {QStringLiteral("run"), QStringLiteral("--trace"), QStringLiteral("count.tsasm")});
    ASSERT_TRUE(cli.waitForFinished(30'000));
    // Its step lines; the messages between them ("Program Terminated") are not the trace's.
    QByteArray expected;
    for (const QByteArray& line : cli.readAllStandardError().split('\n'))
        if (!line.isEmpty() && line[0] >= '0' && line[0] <= '9') expected += line + '\n';
    EXPECT_TRUE(expected.contains("inc 01  count.tsasm:11:1"));
    EXPECT_EQ(QByteArray::fromStdString(bytesOf(fs::path(trace.toStdString()))), expected);
}

} // namespace
} // namespace tessivor::studio
