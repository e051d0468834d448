// Faults the Studio had, each as the learner met it: characters lost on saving, a file changed
// by another program overwritten, huge texts stalling the window, a finished run in the way,
// and the Studio building other bytes than the command line.

#include "studio/studio_test_support.h"

#include <QDockWidget>
#include <QProcess>
#include <QTabBar>
#include <QTextBlock>

namespace tessivor::studio {
namespace {

using namespace test_support;

class StudioFaultTest : public StudioWindowTest {
public:
    /// Writes `bytes` as `name` in the test's folder and returns its path.
    QString writeFile(const QString& name, const std::string& bytes) {
        const QString path = dir.filePath(name);
        std::string reason;
        EXPECT_TRUE(platform::writeTextFile(fs::path(path.toStdString()), bytes, reason, ""))
            << reason;
        return path;
    }
    std::string fileBytes(const QString& path) { return bytesOf(fs::path(path.toStdString())); }
    /// What `tessivor-cli ARGS` prints on stdout (and its exit status).
    QByteArray cli(const QStringList& args, int* status = nullptr,
                   QByteArray* errorText = nullptr) {
        QProcess process;
        process.start(QStringLiteral(TESSIVOR_CLI), args);
        EXPECT_TRUE(process.waitForFinished(60'000));
        if (status) *status = process.exitCode();
        if (errorText) *errorText = process.readAllStandardError();
        return process.readAllStandardOutput();
    }
    /// The title of the tab in front among the docks at the bottom.
    QString frontTab() {
        for (QTabBar* bar : window->findChildren<QTabBar*>()) {
            for (int i = 0; i < bar->count(); ++i) {
                if (bar->tabText(i) == "Output") return bar->tabText(bar->currentIndex());
            }
        }
        return {};
    }
};

TEST_F(StudioFaultTest, SavingNeverTurnsACharacterIntoAQuestionMarkUnasked) {
    const QString path = writeFile(QStringLiteral("euro.tsasm"), "end\r\n");
    ASSERT_TRUE(window->openFile(path));
    const QString typed = QString::fromUtf8("// euro \u20ac arrow \u2192 emoji \U0001F600 //");
    window->editor()->moveCursor(QTextCursor::End);
    window->editor()->insertPlainText(QStringLiteral("\n") + typed);
    // The checker says so before any save.
    window->checkNow();
    int lostMarks = 0;
    for (const EditorMark& mark : window->editor()->marks())
        lostMarks += mark.message.contains("has no byte in a source file") ? 1 : 0;
    EXPECT_EQ(lostMarks, 3);

    // Cancel: nothing written, the text and its * stay.
    dialogs.substitute = {false};
    action("save")->trigger();
    ASSERT_EQ(dialogs.substituteAsked.size(), 1u);
    EXPECT_EQ(dialogs.substituteAsked[0],
              QString::fromUtf8("\u20ac (line 2), \u2192 (line 2), \U0001F600 (line 2)"));
    EXPECT_EQ(fileBytes(path), "end\r\n");
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(window->editor()->toPlainText().endsWith(typed));

    // Replace: the editor shows exactly what the file holds, and Undo brings the text back.
    dialogs.substitute = {true};
    action("save")->trigger();
    EXPECT_EQ(fileBytes(path), "end\r\n// euro EUR arrow -> emoji ? //\r\n");
    EXPECT_EQ(window->editor()->toPlainText(),
              QStringLiteral("end\n// euro EUR arrow -> emoji ? //"));
    EXPECT_FALSE(window->isWindowModified());
    window->editor()->undo();
    EXPECT_TRUE(window->editor()->toPlainText().endsWith(typed));
    window->editor()->document()->setModified(false);
}

TEST_F(StudioFaultTest, AFileChangedOnDiskIsNoticedOnSavingWithAQuestion) {
    const QString path = writeFile(QStringLiteral("chg.tsasm"), "dsp 01\nend\n");
    ASSERT_TRUE(window->openFile(path));
    // Another editor appends a line; here a space is typed, then Ctrl+S.
    QThread::msleep(20);
    writeFile(QStringLiteral("chg.tsasm"), "dsp 01\nend\n// added by another editor //\n");
    window->editor()->moveCursor(QTextCursor::End);
    window->editor()->insertPlainText(QStringLiteral(" "));
    dialogs.overwrite = {false};
    action("save")->trigger();
    EXPECT_EQ(dialogs.overwriteQuestions, 1);
    EXPECT_EQ(fileBytes(path), "dsp 01\nend\n// added by another editor //\n");
    EXPECT_TRUE(window->isWindowModified());

    dialogs.overwrite = {true};
    action("save")->trigger();
    EXPECT_EQ(fileBytes(path), "dsp 01\nend \n");
    // Saved: the next save has nothing to ask.
    window->editor()->insertPlainText(QStringLiteral("x"));
    action("save")->trigger();
    EXPECT_EQ(dialogs.overwriteQuestions, 2);
    EXPECT_EQ(fileBytes(path), "dsp 01\nend x\n");
}

TEST_F(StudioFaultTest, AFileChangedOnDiskIsNoticedWhenTheWindowGetsTheFocus) {
    const QString path = writeFile(QStringLiteral("chg.tsasm"), "dsp 01\nend\n");
    ASSERT_TRUE(window->openFile(path));
    EXPECT_FALSE(window->checkDiskChange());

    // No changes of its own: Reload takes the file's text.
    QThread::msleep(20);
    writeFile(QStringLiteral("chg.tsasm"), "dsp 02\nend\n");
    dialogs.changed = {StudioDialogs::Changed::Reload};
    // The focus coming back is what asks.
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    waitUntil([&] { return dialogs.changedQuestions > 0; }, 2000);
    if (dialogs.changedQuestions == 0) window->checkDiskChange(); // no focus offscreen
    EXPECT_EQ(dialogs.changedQuestions, 1);
    EXPECT_EQ(window->editor()->toPlainText(), "dsp 02\nend");
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_FALSE(window->checkDiskChange()); // asked once for one change

    // With changes of its own: Keep Mine keeps them, and Save writes them without asking again.
    window->editor()->insertPlainText(QStringLiteral("// mine //\n"));
    QThread::msleep(20);
    writeFile(QStringLiteral("chg.tsasm"), "dsp 03\nend\n");
    dialogs.changed = {StudioDialogs::Changed::Keep};
    EXPECT_TRUE(window->checkDiskChange());
    EXPECT_TRUE(window->editor()->toPlainText().startsWith("// mine //"));
    EXPECT_TRUE(window->isWindowModified());
    action("save")->trigger();
    EXPECT_EQ(dialogs.overwriteQuestions, 0);
    EXPECT_EQ(fileBytes(path), "// mine //\ndsp 02\nend\n");

    // Deleted by another program: said once, and the text counts as unsaved.
    QFile::remove(path);
    EXPECT_TRUE(window->checkDiskChange());
    ASSERT_EQ(dialogs.notices.size(), 1u);
    EXPECT_TRUE(dialogs.notices[0].contains("is no longer on disk"))
        << dialogs.notices[0].toStdString();
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_FALSE(window->checkDiskChange());
}

TEST_F(StudioFaultTest, HugeOutputLinesAreCutInTheListAndExportedWhole) {
    // 26 doublings make a 64 MiB cell; it is shown three times.
    QString source = QStringLiteral("set 01, x;\n");
    for (int i = 0; i < 26; ++i)
        source += QStringLiteral("apd 01, 01\n");
    source += QStringLiteral("dsp 01\ndsp 01\ndsp 01\nend\n");
    setText(source);
    action("run")->trigger();
    ASSERT_TRUE(waitUntil([&] { return !window->busy(); }, 120'000));
    ASSERT_EQ(window->machine().stop, Stop::Terminated);
    auto* output = window->findChild<QTreeWidget*>("output");
    ASSERT_TRUE(waitUntil([&] { return output->topLevelItemCount() == 3; }, 10'000));

    // Showing the Output pane used to keep the window from answering for half a minute.
    QElapsedTimer clock;
    clock.start();
    window->findChild<QDockWidget*>("outputDock")->raise();
    output->setFocus();
    output->repaint();
    QCoreApplication::processEvents();
    EXPECT_LT(clock.elapsed(), 3000);
    RecordProperty("showOutputMs", static_cast<int>(clock.elapsed()));
    const QString first = output->topLevelItem(0)->text(1);
    EXPECT_LT(first.size(), 1100);
    EXPECT_TRUE(first.endsWith("(67108864 characters in all)")) << first.right(40).toStdString();
    EXPECT_TRUE(output->topLevelItem(0)->toolTip(1).contains("Export Output Log"));

    const QString log = dir.filePath(QStringLiteral("log.txt"));
    dialogs.exportNames = {log};
    action("exportOutput")->trigger();
    EXPECT_EQ(QFileInfo(log).size(), 3 * ((qint64{1} << 26) + 1));
    QFile::remove(log);
}

TEST_F(StudioFaultTest, ASourceTooLargeToEditIsRefusedAtOnceAndOneJustBelowOpens) {
    const QString huge = dir.filePath(QStringLiteral("huge.tsasm"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QByteArray line("dsp 01\n");
        QByteArray block;
        for (int i = 0; i < (1 << 20) / line.size(); ++i)
            block += line;
        for (int i = 0; i < 50; ++i)
            file.write(block);
    }
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(window->openFile(huge));
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors[0].contains("tessivor-cli")) << dialogs.errors[0].toStdString();
    EXPECT_TRUE(window->editor()->toPlainText().isEmpty());

    // A large source that is still taken opens, is coloured and checked, in a few seconds.
    std::string big;
    while (big.size() + 40 < static_cast<std::size_t>(kMaxEditedSource))
        big += "set 01, 1;\ninc 01\ndsp 01\nlbl 01\n";
    const QString path = writeFile(QStringLiteral("big.tsasm"), big);
    clock.restart();
    ASSERT_TRUE(window->openFile(path));
    // Coloured too: the highlighter does its work in the event loop.
    QCoreApplication::processEvents();
    EXPECT_LT(clock.elapsed(), 10'000);
    RecordProperty("openLargeMs", static_cast<int>(clock.elapsed()));
    EXPECT_EQ(window->sourceBytes(), big);
}

TEST_F(StudioFaultTest, TheStudioBuildsAndRunsTheFilesOwnBytes) {
    // With LF line ends "inc 1" passes over the "d" of "dsp 01": the command line shows
    // nothing; built from CR LF it would show 5.
    const std::string lf = "set 01, 5;\nset 00, 1;\ninc 1\ndsp 01\nend\n";
    const std::string mixed = "set 01, 5;\r\nset 00, 1;\ninc 1\r\ndsp 01\nend\r\n";
    EXPECT_TRUE(cli({QStringLiteral("run"), QStringLiteral("--quiet"),
                     writeFile(QStringLiteral("lf.tsasm"), lf)})
                    .isEmpty());
    for (const std::string& bytes : {lf, mixed}) {
        const QString path = writeFile(QStringLiteral("lf.tsasm"), bytes);
        ASSERT_TRUE(window->openFile(path));
        ASSERT_TRUE(waitUntil([&] { return !window->busy(); }));
        EXPECT_EQ(window->sourceBytes(), bytes);
        trigger("run");
        QStringList shownByCli =
            QString::fromLatin1(cli({QStringLiteral("run"), QStringLiteral("--quiet"), path}))
                .split(u'\n');
        shownByCli.removeLast();
        EXPECT_EQ(output(), shownByCli);
        action("build")->trigger();
        const QString fromCli = dir.filePath(QStringLiteral("lf-cli.tsp"));
        int status = -1;
        cli({QStringLiteral("build"), QStringLiteral("--quiet"), QStringLiteral("-o"), fromCli,
             path},
            &status);
        ASSERT_EQ(status, 0);
        EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("lf.tsp"))), fileBytes(fromCli));
    }

    // An edit and a save keep the file's LF.
    const QString path = writeFile(QStringLiteral("lf.tsasm"), lf);
    ASSERT_TRUE(window->openFile(path));
    window->editor()->moveCursor(QTextCursor::End);
    window->editor()->insertPlainText(QStringLiteral("\n// the end //"));
    action("save")->trigger();
    EXPECT_EQ(fileBytes(path), lf + "// the end //\n");
    EXPECT_EQ(window->sourceBytes(), lf + "// the end //\n");
}

TEST_F(StudioFaultTest, AFinishedRunMakesWayForTheNextAndLeavesTheOutputInFront) {
    action("example_count")->trigger();
    trigger("run");
    ASSERT_EQ(window->machine().stop, Stop::Terminated);
    // The end of an ordinary run keeps the Output in front of the Messages.
    EXPECT_EQ(frontTab(), "Output");
    EXPECT_TRUE(messages().back().startsWith("Program Terminated"));

    // F10 after the end starts afresh at the first instruction.
    setSpeed(0);
    trigger("step");
    EXPECT_TRUE(window->machine().alive);
    EXPECT_FALSE(window->machine().state.ended);
    EXPECT_EQ(window->machine().state.line, 6);
    EXPECT_TRUE(output().isEmpty());

    // An edit after the end puts the finished run away; its output stays to be read.
    setSpeed(10);
    trigger("continue");
    ASSERT_TRUE(window->machine().state.ended);
    const QStringList shown = output();
    window->editor()->setReadOnly(false);
    window->editor()->moveCursor(QTextCursor::End);
    window->editor()->insertPlainText(QStringLiteral("\n"));
    ASSERT_TRUE(waitUntil([&] { return !window->busy(); }));
    EXPECT_FALSE(window->machine().alive);
    EXPECT_EQ(window->editor()->executionLine(), 0);
    EXPECT_EQ(reg("pc"), "-");
    EXPECT_EQ(output(), shown);

    // A failure does bring the Messages to the front.
    setText(QStringLiteral("dsp 01\ninc 05\nend\n"));
    trigger("run");
    EXPECT_EQ(frontTab(), "Messages");
}

TEST_F(StudioFaultTest, TheWindowFitsTheScreenAndRemembersItsSizeAndDocks) {
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_LE(window->frameGeometry().width(), screen.width());
    EXPECT_LE(window->frameGeometry().height(), screen.height());
    // Everything in it can be squeezed into a 1024 x 768 projector.
    EXPECT_LE(window->minimumSizeHint().width(), 1024);
    EXPECT_LE(window->minimumSizeHint().height(), 768 - 48);

    window->resize(700, 600);
    window->findChild<QDockWidget*>("cellsDock")->hide();
    ASSERT_TRUE(window->close());
    window = makeWindow();
    EXPECT_EQ(window->width(), 700);
    // The offscreen platform adds a title bar's height on the way back.
    EXPECT_NEAR(window->height(), 600, 40);
    EXPECT_FALSE(window->findChild<QDockWidget*>("cellsDock")->isVisible());
    EXPECT_TRUE(window->findChild<QDockWidget*>("registersDock")->isVisible());
}

TEST_F(StudioFaultTest, AFailureAndABuildErrorGiveTheirReasonInTheWordsOfRun) {
    // A failed step: the place, the instruction, the cell and its text, as run prints them.
    const QString path = writeFile(QStringLiteral("m1.tsasm"),
                                   "set 02, 3;\nset 03, 4;\n// x //\nmul 01, 02, 03\nend\n");
    ASSERT_TRUE(window->openFile(path));
    trigger("run");
    ASSERT_EQ(window->machine().stop, Stop::Error);
    QProcess run;
    run.setWorkingDirectory(dir.path());
    run.start(QStringLiteral(TESSIVOR_CLI), {QStringLiteral("run"), QStringLiteral("m1.tsasm")});
    ASSERT_TRUE(run.waitForFinished(30'000));
    // Its last line; those before it are the machine's own report, shown above it here too.
    const QString fromRun =
        QString::fromUtf8(run.readAllStandardError()).trimmed().section(u'\n', -1);
    EXPECT_TRUE(fromRun.contains("cell 01 holds")) << fromRun.toStdString();
    ASSERT_FALSE(messages().isEmpty());
    EXPECT_EQ(messages().back(), fromRun + "  (line 4)");
    EXPECT_EQ(frontTab(), "Messages");

    // A "set" without its ";": where, and why, as build says it.
    const QString broken = writeFile(QStringLiteral("s1.tsasm"), "dsp 01\nset 01, abc\nend\n");
    ASSERT_TRUE(window->openFile(broken));
    ASSERT_TRUE(waitUntil([&] { return !window->busy(); }));
    QProcess build;
    build.setWorkingDirectory(dir.path());
    build.start(QStringLiteral(TESSIVOR_CLI),
                {QStringLiteral("build"), QStringLiteral("--quiet"), QStringLiteral("s1.tsasm")});
    ASSERT_TRUE(build.waitForFinished(30'000));
    const QStringList fromBuild =
        QString::fromUtf8(build.readAllStandardError()).trimmed().split(u'\n');
    ASSERT_EQ(fromBuild.size(), 2);
    for (const char* name : {"run", "build"}) {
        action(name)->trigger();
        ASSERT_TRUE(waitUntil([&] { return !window->busy(); }));
        ASSERT_GE(messages().size(), 2);
        EXPECT_EQ(messages().mid(messages().size() - 2),
                  (QStringList{fromBuild[0] + "  (line 2)", fromBuild[1] + "  (line 2)"}))
            << name;
    }
}

TEST_F(StudioFaultTest, BackTakesAwayWhatTheStepsGoneBackOverShowed) {
    setText(QStringLiteral("set 01, a;\ndsp 01\nset 01, b;\ndsp 01\nend\n"));
    setSpeed(0);
    trigger("step"); // set 01, a;
    trigger("step"); // dsp 01
    trigger("step"); // set 01, b;
    trigger("step"); // dsp 01
    EXPECT_EQ(output(), (QStringList{"a", "b"}));
    for (int i = 0; i < 3; ++i) {
        trigger("back"); // before the second dsp
        EXPECT_EQ(output(), QStringList{"a"});
        trigger("step");
        EXPECT_EQ(output(), (QStringList{"a", "b"}));
    }
    trigger("back");
    trigger("back");
    trigger("back"); // before the first dsp
    EXPECT_TRUE(output().isEmpty());
    setSpeed(10);
    trigger("continue");
    EXPECT_EQ(window->machine().stop, Stop::Terminated);
    EXPECT_EQ(output(), (QStringList{"a", "b"}));
    EXPECT_EQ(messages().filter("Program Terminated").size(), 1);
    // The end gone back over: its message goes too, and the log has each line once.
    trigger("back");
    EXPECT_TRUE(messages().filter("Program Terminated").isEmpty());
    const QString log = dir.filePath(QStringLiteral("log.txt"));
    dialogs.exportNames = {log};
    action("exportOutput")->trigger();
    EXPECT_EQ(fileBytes(log), "a\nb\n");
}

} // namespace
} // namespace tessivor::studio
