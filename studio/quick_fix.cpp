#include "studio/quick_fix.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace tessivor::studio {
namespace {

bool isLineBreak(QChar c) {
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == u'\n';
}

} // namespace

std::pair<int, int> lineRange(const QString& text, int line) {
    if (line < 1) return {-1, -1};
    int current = 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isLineBreak(text[i])) continue;
        if (current == line) return {static_cast<int>(start), static_cast<int>(i)};
        ++current;
        start = i + 1;
    }
    if (current == line) return {static_cast<int>(start), static_cast<int>(text.size())};
    return {-1, -1};
}

bool applyLineFix(QPlainTextEdit* editor, int line, const QString& fix) {
    if (editor->isReadOnly()) return false;
    const auto [from, to] = lineRange(editor->document()->toRawText(), line);
    if (from < 0) return false;
    QTextCursor cursor(editor->document());
    cursor.beginEditBlock();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.insertText(fix);
    cursor.endEditBlock();
    editor->setTextCursor(cursor);
    return true;
}

const EditorMark* fixAt(const std::vector<EditorMark>& marks, int line, int column) {
    const EditorMark* first = nullptr;
    for (const EditorMark& mark : marks) {
        if (mark.line != line || mark.fix.isEmpty()) continue;
        if (column >= mark.column && column <= mark.endColumn) return &mark;
        if (!first) first = &mark;
    }
    return first;
}

} // namespace tessivor::studio
