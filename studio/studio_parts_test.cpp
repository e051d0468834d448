// The Studio's parts without the window: source files and their line ends, characters a source
// cannot keep, the disk stamp, the output log, quick fixes, the input queue and the input box.

#include "platform/files.h"
#include "platform/qt_testing.h"
#include "studio/input_dialog.h"
#include "studio/input_queue.h"
#include "studio/output_log.h"
#include "studio/quick_fix.h"
#include "studio/source_file.h"
#include "studio/studio_dialogs.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace tessivor::studio {
namespace {

namespace fs = std::filesystem;

std::string readBytes(const QString& path) {
    std::string bytes, reason;
    EXPECT_TRUE(platform::readWholeFile(fs::path(path.toStdString()), bytes, reason)) << reason;
    return bytes;
}

TEST(SourceFile, EveryUniformFileIsWrittenBackByteForByte) {
    const std::string files[] = {
        "set 01, 5;\r\ndsp 01\r\nend\r\n", // as Tessivor ASM writes
        "set 01, 5;\r\ndsp 01\r\nend",     // no last line end
        "set 01, 5;\nset 00, 1;\ninc 1\ndsp 01\nend\n",
        "dsp 01\nend",
        "dsp 01\rend\r",
        "end",
        "",
        "dsp 01\r\n\r\n", // an empty last line, then the file's line end
        "\n\n\n",
        "set 01, caf\xe9 \xa0\x80;\n",
    };
    for (const std::string& bytes : files) {
        const LoadedSource loaded = decodeSource(bytes);
        EXPECT_TRUE(loaded.exact) << bytes;
        EXPECT_EQ(encodeSource(loaded.text, loaded.format).bytes, bytes);
        EXPECT_FALSE(loaded.text.contains(u'\r')) << bytes;
    }
    const LoadedSource lf = decodeSource("inc 1\ndsp 01\n");
    EXPECT_EQ(lf.format.lineEnd, "\n");
    EXPECT_TRUE(lf.format.finalLineEnd);
    EXPECT_EQ(lf.text, "inc 1\ndsp 01");
    const LoadedSource none = decodeSource("end");
    EXPECT_EQ(none.format.lineEnd, "\r\n"); // a line typed later ends as Tessivor ASM's do
    EXPECT_FALSE(none.format.finalLineEnd);
    // Each byte is one character, as it is to the translation.
    EXPECT_EQ(decodeSource("caf\xe9").text, QString::fromUtf8("caf\u00e9"));
}

TEST(SourceFile, MixedLineEndsAreBrokenAtEachAndWrittenAsTheFirst) {
    const LoadedSource mixed = decodeSource("a\r\nb\nc\rd\r\n");
    EXPECT_FALSE(mixed.exact);
    EXPECT_EQ(mixed.text, "a\nb\nc\nd");
    EXPECT_EQ(mixed.format.lineEnd, "\r\n");
    EXPECT_EQ(encodeSource(mixed.text, mixed.format).bytes, "a\r\nb\r\nc\r\nd\r\n");
    // Every kind of break the editor holds becomes the file's line end.
    EXPECT_EQ(encodeSource(QString::fromUtf8("a\u2029b\u2028c\nd"), {"\n", false}).bytes,
              "a\nb\nc\nd");
}

TEST(SourceFile, CharactersWithoutAByteAreFoundNamedAndGivenPlainStandIns) {
    const QString text = QString::fromUtf8("// euro \u20ac arrow \u2192 emoji \U0001F600 //\n"
                                           "set 01, \u201cquoted\u201d \u2013 caf\u00e9;");
    const EncodedSource encoded = encodeSource(text, {"\n", true});
    EXPECT_EQ(encoded.bytes, "// euro ? arrow ? emoji ? //\nset 01, ?quoted? ? caf\xe9;\n");
    ASSERT_EQ(encoded.lost.size(), 6u);
    EXPECT_EQ(encoded.lost[0].character, U'\u20ac');
    EXPECT_EQ(encoded.lost[0].position, 8);
    EXPECT_EQ(encoded.lost[0].line, 1);
    EXPECT_EQ(encoded.lost[2].character, U'\U0001F600');
    EXPECT_EQ(encoded.lost[2].length, 2);
    EXPECT_EQ(encoded.lost[3].line, 2);
    EXPECT_EQ(withPlainSubstitutes(text, encoded.lost),
              QString::fromUtf8("// euro EUR arrow -> emoji ? //\n"
                                "set 01, \"quoted\" - caf\u00e9;"));
    EXPECT_EQ(describeLost(encoded.lost, 2),
              QString::fromUtf8("\u20ac (line 1), \u2192 (line 1) and 4 more"));
    EXPECT_TRUE(encodeSource(QString::fromUtf8("caf\u00e9 \u00ff"), {}).lost.empty());
}

TEST(SourceFile, AStampNoticesAChangeAndAMissingFileButNotATouch) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chg.tsasm"));
    std::string reason;
    ASSERT_TRUE(platform::writeTextFile(fs::path(path.toStdString()), "end", reason));
    DiskStamp stamp = stampOf(path, "end\r\n");
    EXPECT_EQ(diskState(path, stamp), DiskState::Same);

    // Another program writes the same bytes again: only the time moved.
    QFile touched(path);
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    ASSERT_TRUE(touched.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                    QFileDevice::FileModificationTime));
    touched.close();
    EXPECT_EQ(diskState(path, stamp), DiskState::Same);

    // The same size, other bytes, another time.
    ASSERT_TRUE(platform::writeTextFile(fs::path(path.toStdString()), "dsp", reason));
    QFile later(path);
    ASSERT_TRUE(later.open(QIODevice::ReadWrite));
    ASSERT_TRUE(later.setFileTime(QDateTime::currentDateTime().addSecs(10),
                                  QFileDevice::FileModificationTime));
    later.close();
    EXPECT_EQ(diskState(path, stamp), DiskState::Changed);

    QFile::remove(path);
    EXPECT_EQ(diskState(path, stamp), DiskState::Missing);
    DiskStamp none;
    EXPECT_EQ(diskState(path, none), DiskState::Same); // a new document has no file to watch
}

TEST(OutputLog, KeepsEveryTextWholeAndExportsItAsRunPrintsIt) {
    QTemporaryDir dir;
    OutputLog log;
    const std::string big(3 << 20, 'x');
    EXPECT_TRUE(log.append("Hello"));
    EXPECT_TRUE(log.append(big));
    EXPECT_TRUE(log.append(""));
    EXPECT_EQ(log.lines(), 3u);
    EXPECT_EQ(log.dropped(), 0u);
    QString reason;
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    ASSERT_TRUE(log.exportTo(out, reason)) << reason.toStdString();
    EXPECT_EQ(readBytes(out), "Hello\n" + big + "\n\n");
    // The log goes on after an export, and a second export has the later lines too.
    EXPECT_TRUE(log.append("more"));
    ASSERT_TRUE(log.exportTo(out, reason));
    EXPECT_EQ(readBytes(out), "Hello\n" + big + "\n\nmore\n");

    log.clear();
    EXPECT_EQ(log.lines(), 0u);
    ASSERT_TRUE(log.exportTo(out, reason));
    EXPECT_EQ(readBytes(out), "");
}

TEST(OutputLog, GivesBackTheLatestTextsAfterARewind) {
    OutputLog log;
    for (int i = 1; i <= 6; ++i)
        log.append(std::string(static_cast<std::size_t>(i), static_cast<char>('a' + i - 1)),
                   i * 10);
    log.rewindTo(45); // the texts of steps 50 and 60 go
    const std::vector<OutputLog::Line> lines = log.latest(3, 2);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].step, 20);
    EXPECT_EQ(lines[0].start, "bb");
    EXPECT_EQ(lines[1].start, "cc"); // cut to two bytes
    EXPECT_EQ(lines[1].length, 3u);  // of three
    EXPECT_EQ(lines[2].step, 40);
    EXPECT_EQ(lines[2].start, "dd");
    EXPECT_EQ(lines[2].length, 4u);
    // Written on after: the new text is where the forgotten ones were.
    log.append("z", 50);
    const auto after = log.latest(10, 100);
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after.back().start, "z");
    EXPECT_EQ(after[3].start, "dddd");
    EXPECT_TRUE(OutputLog().latest(5, 5).empty());
}

TEST(OutputLog, CountsAndExportsWhatWasShownUpToTheCurrentStepAndKeepsTheRest) {
    QTemporaryDir dir;
    OutputLog log(12);
    log.append("one", 10);
    log.append("two", 20);
    log.append("three", 30); // 14 bytes in all: not kept
    log.showUpTo(25);        // the run went back between "two" and "three"
    EXPECT_EQ(log.lines(), 2u);
    EXPECT_EQ(log.dropped(), 0u);
    EXPECT_EQ(log.bytes(), 8u);
    QString reason;
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    ASSERT_TRUE(log.exportTo(out, reason));
    EXPECT_EQ(readBytes(out), "one\ntwo\n");
    log.showUpTo(15);
    EXPECT_EQ(log.latest(10, 10).size(), 1u);
    EXPECT_EQ(log.latest(10, 10, 10).size(), 0u); // none after step 10 up to step 15
    // Forward again: the texts are there, not shown twice.
    log.showUpTo(30);
    EXPECT_EQ(log.lines(), 3u);
    EXPECT_EQ(log.dropped(), 1u);
    EXPECT_EQ(log.lastStep(), 30);
    ASSERT_EQ(log.latest(10, 10, 10).size(), 1u);
    EXPECT_EQ(log.latest(10, 10, 10)[0].start, "two");
}

TEST(OutputLog, StopsKeepingWhenFullAndSaysHowManyItLost) {
    QTemporaryDir dir;
    OutputLog log(10);
    EXPECT_TRUE(log.append("12345"));   // 6 bytes with its line feed
    EXPECT_FALSE(log.append("123456")); // 7 more would pass 10
    EXPECT_FALSE(log.append("1"));      // fits, but the log would skip a line: not kept
    EXPECT_EQ(log.lines(), 3u);
    EXPECT_EQ(log.dropped(), 2u);
    QString reason;
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    ASSERT_TRUE(log.exportTo(out, reason));
    EXPECT_EQ(readBytes(out), "12345\n");

    // An export that cannot be written leaves no file and says why.
    const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/out.txt"));
    EXPECT_FALSE(log.exportTo(nowhere, reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(QuickFix, WritesTheWholeLineAsOneEditThatUndoTakesBack) {
    const QString text = QString::fromUtf8("a\nbc\u2029d");
    EXPECT_EQ(lineRange(text, 1), std::make_pair(0, 1));
    EXPECT_EQ(lineRange(text, 2), std::make_pair(2, 4));
    EXPECT_EQ(lineRange(text, 3), std::make_pair(5, 6));
    EXPECT_EQ(lineRange(text, 4), std::make_pair(-1, -1));
    EXPECT_EQ(lineRange(text, 0), std::make_pair(-1, -1));

    platform::testing::application();
    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("dsp 01\nadd 1, 02, 03\nend"));
    ASSERT_TRUE(applyLineFix(&editor, 2, QStringLiteral("add 01, 02, 03")));
    EXPECT_EQ(editor.toPlainText(), "dsp 01\nadd 01, 02, 03\nend");
    editor.undo();
    EXPECT_EQ(editor.toPlainText(), "dsp 01\nadd 1, 02, 03\nend");
    EXPECT_FALSE(applyLineFix(&editor, 9, QStringLiteral("end")));
    editor.setReadOnly(true); // an example stays as it is
    EXPECT_FALSE(applyLineFix(&editor, 2, QStringLiteral("add 01, 02, 03")));
    EXPECT_EQ(editor.toPlainText(), "dsp 01\nadd 1, 02, 03\nend");
}

TEST(QuickFix, TheFixMeantIsTheOneUnderTheCaretElseTheLinesFirst) {
    EditorMark plain{2, 1, 4, false, QStringLiteral("warning"), QStringLiteral("m"), {}};
    EditorMark left{
        2, 1, 4, false, QStringLiteral("warning"), QStringLiteral("m"), QStringLiteral("left")};
    EditorMark right{
        2, 8, 12, false, QStringLiteral("warning"), QStringLiteral("m"), QStringLiteral("right")};
    const std::vector<EditorMark> marks = {plain, left, right};
    ASSERT_NE(fixAt(marks, 2, 9), nullptr);
    EXPECT_EQ(fixAt(marks, 2, 9)->fix, "right");
    EXPECT_EQ(fixAt(marks, 2, 6)->fix, "left");
    EXPECT_EQ(fixAt(marks, 3, 1), nullptr);
    EXPECT_EQ(fixAt({plain}, 2, 1), nullptr);
}

TEST(InputQueue, GivesOneReplyALineInOrderThenNothing) {
    platform::testing::application();
    InputQueue queue;
    EXPECT_EQ(queue.take(), std::nullopt);
    EXPECT_EQ(queue.status(), "No replies queued: each input box asks.");
    queue.setReplies(QStringLiteral("Ada\n\n12.5\n")); // an empty line is the empty reply
    EXPECT_EQ(queue.replies(), (QStringList{"Ada", "", "12.5"}));
    EXPECT_EQ(queue.take(), QStringLiteral("Ada"));
    EXPECT_EQ(queue.status(), "1 of 3 replies used; the next is line 2.");
    EXPECT_EQ(queue.take(), QString());
    EXPECT_EQ(queue.take(), QStringLiteral("12.5"));
    EXPECT_EQ(queue.take(), std::nullopt);
    EXPECT_EQ(queue.status(), "All 3 replies used: the next input box asks.");
    // The used lines are dimmed and struck through.
    EXPECT_EQ(queue.editor()->extraSelections().size(), 3);
    queue.restart();
    EXPECT_EQ(queue.take(), QStringLiteral("Ada"));
    EXPECT_EQ(queue.editor()->extraSelections().size(), 1);
}

TEST(InputDialog, AHugePromptScrollsInABoxThatFitsTheScreen) {
    platform::testing::application();
    const QString prompt = QString(1 << 20, QLatin1Char('Q'));
    QWidget parent;
    parent.show();
    QtStudioDialogs dialogs(&parent);
    const QRect screen = parent.screen()->availableGeometry();
    QRect shown, ok;
    QString promptShown;
    platform::testing::whenModal([&](QWidget* modal) {
        shown = modal->frameGeometry();
        auto* buttons = modal->findChild<QDialogButtonBox*>();
        ok = QRect(buttons->button(QDialogButtonBox::Ok)->mapTo(modal, QPoint(0, 0)),
                   buttons->button(QDialogButtonBox::Ok)->size());
        promptShown = modal->findChild<QPlainTextEdit*>(QStringLiteral("prompt"))->toPlainText();
        QTest::keyClicks(modal->findChild<QLineEdit*>(QStringLiteral("reply")),
                         QStringLiteral("yes"));
        QTest::keyClick(modal, Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.input(QStringLiteral("big"), prompt), QStringLiteral("yes"));
    EXPECT_LE(shown.height(), screen.height());
    EXPECT_LE(shown.width(), screen.width());
    // OK is inside the box, so on the screen.
    EXPECT_TRUE(QRect(QPoint(0, 0), shown.size()).contains(ok)) << ok.y() << " " << shown.height();
    EXPECT_TRUE(promptShown.startsWith(QString(kShownPromptLength, QLatin1Char('Q'))));
    EXPECT_TRUE(promptShown.endsWith("(the prompt is 1048576 characters long; the first 16384 "
                                     "are shown)"));

    InputDialog small(QStringLiteral("greet"), QStringLiteral("What is <b>your</b> name?"));
    EXPECT_FALSE(small.promptScrolls());
    EXPECT_EQ(small.shownPrompt(), "What is <b>your</b> name?");
    InputDialog lines(QStringLiteral("t"), QStringLiteral("1\n2\n3\n4\n5\n6"));
    EXPECT_TRUE(lines.promptScrolls());
}

TEST(InputDialog, EscapeGivesNothingAndTheBoxHasNamesForAScreenReader) {
    platform::testing::application();
    QWidget parent;
    parent.show();
    QtStudioDialogs dialogs(&parent);
    QStringList names;
    platform::testing::whenModal([&](QWidget* modal) {
        names << platform::testing::accessibleText(modal)
              << platform::testing::accessibleText(modal->findChild<QWidget*>("prompt"))
              << platform::testing::accessibleText(modal->findChild<QWidget*>("reply"));
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(dialogs.input(QStringLiteral("greet"), QStringLiteral("Name?")), std::nullopt);
    EXPECT_EQ(names, (QStringList{"greet", "Prompt", "Reply"}));
}

} // namespace
} // namespace tessivor::studio
