#include "studio/code_editor.h"

#include "platform/qt_testing.h"
#include "studio/highlighter.h"

#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace tessivor::studio {
namespace {

/// The foreground colour the highlighter gave the character at `column` of line `line`.
QColor colourAt(CodeEditor& editor, int line, int column) {
    const QTextBlock block = editor.document()->findBlockByNumber(line - 1);
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
        if (column >= range.start && column < range.start + range.length)
            return range.format.foreground().color();
    }
    return {};
}

TEST(CodeEditor, BreakpointsMoveWithTheirLinesAndGoWithThem) {
    platform::testing::application();
    CodeEditor editor;
    editor.setPlainText("dsp 01\nend\nidl");
    editor.toggleBreakpoint(2);
    editor.toggleBreakpoint(3);
    EXPECT_EQ(editor.breakpointLines(), (std::vector<int>{2, 3}));
    QTextCursor start(editor.document());
    start.insertText("set 01, x;\n");
    EXPECT_EQ(editor.breakpointLines(), (std::vector<int>{3, 4}));
    // Deleting a line takes its breakpoint away.
    QTextCursor line(editor.document()->findBlockByNumber(3));
    line.select(QTextCursor::BlockUnderCursor);
    line.removeSelectedText();
    EXPECT_EQ(editor.breakpointLines(), (std::vector<int>{3}));
    editor.toggleBreakpoint(99); // no such line: nothing happens
    EXPECT_EQ(editor.breakpointLines(), (std::vector<int>{3}));
}

TEST(CodeEditor, AClickInTheGutterTogglesThatLine) {
    platform::testing::application();
    CodeEditor editor;
    editor.setPlainText("dsp 01\nend\nidl");
    editor.resize(400, 300);
    editor.show();
    QWidget* gutter = editor.findChild<QWidget*>("gutter");
    ASSERT_NE(gutter, nullptr);
    QTextCursor third(editor.document()->findBlockByNumber(2));
    const QPointF at(4, editor.cursorRect(third).center().y());
    QMouseEvent press(QEvent::MouseButtonPress, at, gutter->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(gutter, &press);
    EXPECT_EQ(editor.breakpointLines(), std::vector<int>{3});
}

TEST(SourceHighlighter, OpeningACommentRecoloursTheLinesBelow) {
    platform::testing::application();
    CodeEditor editor;
    editor.setPlainText("dsp 01\nend // x\ninc 01");
    const QColor mnemonic = colourAt(editor, 2, 0);
    EXPECT_EQ(editor.highlighter()->roleAt(1, 0), SourceRole::Mnemonic);
    // A "//" typed at the top turns everything up to the one on line 2 into a comment; the
    // colours of line 2 change too, though only line 1 was edited.
    QTextCursor start(editor.document());
    start.insertText("// ");
    EXPECT_EQ(editor.highlighter()->roleAt(1, 0), SourceRole::Comment);
    EXPECT_NE(colourAt(editor, 2, 0), mnemonic);
    EXPECT_EQ(colourAt(editor, 2, 0), colourAt(editor, 1, 0));
    EXPECT_EQ(editor.highlighter()->roleAt(2, 0), SourceRole::Mnemonic);
    start.deletePreviousChar();
    start.deletePreviousChar();
    EXPECT_EQ(colourAt(editor, 2, 0), mnemonic);
}

TEST(CodeEditor, FindingsAreUnderlinedWhereTheyStand) {
    platform::testing::application();
    CodeEditor editor;
    editor.setPlainText("dsp 01\nadd 1, 02, 03");
    EditorMark mark;
    mark.line = 2;
    mark.column = 5;
    mark.endColumn = 7;
    mark.message = "an operand of one digit";
    editor.setMarks({mark});
    const auto selections = editor.extraSelections();
    ASSERT_EQ(selections.size(), 1);
    EXPECT_EQ(selections[0].cursor.selectedText(), "1,");
    EXPECT_EQ(selections[0].format.underlineStyle(), QTextCharFormat::WaveUnderline);
    editor.setExecutionLine(1);
    EXPECT_EQ(editor.extraSelections().size(), 2);
}

} // namespace
} // namespace tessivor::studio
