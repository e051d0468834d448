#include "studio/code_editor.h"

#include "studio/accessibility.h"
#include "studio/highlighter.h"

#include <QFontDatabase>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolTip>

namespace tessivor::studio {
namespace {

/// What a block carries beside its text; it moves with the block as lines are added above.
struct LineData : QTextBlockUserData {
    bool breakpoint = false;
};

LineData* lineData(const QTextBlock& block) { return static_cast<LineData*>(block.userData()); }

bool breakpointOn(const QTextBlock& block) {
    const LineData* data = lineData(block);
    return data && data->breakpoint;
}

// The columns where the operands of an instruction written at the start of a line stand.
constexpr int kGuideColumns[] = {4, 8, 12};

} // namespace

/// The strip left of the text: line numbers, breakpoint dots, the execution arrow.
class Gutter : public QWidget {
public:
    explicit Gutter(CodeEditor* editor) : QWidget(editor), editor_(editor) {
        setObjectName(QStringLiteral("gutter"));
        setAccessibleName(QStringLiteral("Line numbers and breakpoints"));
        setAccessibleDescription(
            QStringLiteral("A click beside a line sets or clears its breakpoint; F9 does the same "
                           "for the caret's line"));
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override { return {editor_->gutterWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { editor_->paintGutter(event); }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            editor_->gutterClicked(static_cast<int>(event->position().y()));
    }

private:
    CodeEditor* editor_;
};

CodeEditor::CodeEditor(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("editor"));
    setAccessibleName(QStringLiteral("Source"));
    setAccessibleDescription(
        QStringLiteral("The program's assembly source. Tab types a tab; Ctrl+Tab moves on to the "
                       "next pane. F9 sets a breakpoint on the caret's line."));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(false);
    gutter_ = new Gutter(this);
    highlighter_ = new SourceHighlighter(document());
    connect(this, &QPlainTextEdit::blockCountChanged, this, &CodeEditor::updateGutterWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &CodeEditor::updateGutter);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CodeEditor::updateSelections);
    updateGutterWidth();
    updateSelections();
}

QString CodeEditor::rawText() const {
    // toPlainText() would turn a no-break space (byte A0) into a space; the raw text keeps it.
    return document()->toRawText();
}

int CodeEditor::gutterWidth() const {
    int digits = 1;
    for (int max = qMax(1, blockCount()); max >= 10; max /= 10)
        ++digits;
    const int digitWidth = fontMetrics().horizontalAdvance(QLatin1Char('9'));
    // Room for the breakpoint dot and the execution arrow left of the numbers.
    return 2 * fontMetrics().height() + 2 + digitWidth * qMax(digits, 2);
}

std::vector<int> CodeEditor::breakpointLines() const {
    std::vector<int> lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (breakpointOn(block)) lines.push_back(block.blockNumber() + 1);
    }
    return lines;
}

bool CodeEditor::hasBreakpoint(int line) const {
    return breakpointOn(document()->findBlockByNumber(line - 1));
}

void CodeEditor::setBreakpoint(int line, bool on) {
    QTextBlock block = document()->findBlockByNumber(line - 1);
    if (!block.isValid() || breakpointOn(block) == on) return;
    LineData* data = lineData(block);
    if (!data) {
        data = new LineData;
        block.setUserData(data); // the block owns it
    }
    data->breakpoint = on;
    gutter_->update();
    emit breakpointsChanged();
}

void CodeEditor::toggleBreakpoint(int line) { setBreakpoint(line, !hasBreakpoint(line)); }

void CodeEditor::clearBreakpoints() {
    for (const int line : breakpointLines())
        setBreakpoint(line, false);
}

void CodeEditor::setExecutionLine(int line) {
    if (line == executionLine_) return;
    executionLine_ = line;
    if (line > 0) {
        // Keeps the line in view without moving the caret.
        const QTextBlock block = document()->findBlockByNumber(line - 1);
        const QRectF shape = blockBoundingGeometry(block).translated(contentOffset());
        if (shape.top() < 0 || shape.bottom() > viewport()->height()) {
            const int firstVisible =
                qMax(0, line - 1 - viewport()->height() / qMax(1, fontMetrics().height()) / 2);
            verticalScrollBar()->setValue(firstVisible);
        }
    }
    updateSelections();
    gutter_->update();
    emit executionLineChanged(line);
}

void CodeEditor::setMarks(std::vector<EditorMark> marks) {
    marks_ = std::move(marks);
    updateSelections();
}

void CodeEditor::goToLine(int line, int column) {
    const QTextBlock block = document()->findBlockByNumber(qMax(0, line - 1));
    if (!block.isValid()) return;
    QTextCursor caret(block);
    caret.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                       qBound(0, column - 1, block.length() - 1));
    setTextCursor(caret);
    centerCursor();
    setFocus();
}

QColor CodeEditor::breakpointColour() const {
    return readableOn(QColor(0xd7, 0x3a, 0x49), palette().color(QPalette::Window), 3.0);
}

int CodeEditor::caretLine() const { return textCursor().blockNumber() + 1; }

void CodeEditor::updateGutterWidth() {
    setViewportMargins(gutterWidth(), 0, 0, 0);
    gutter_->update();
}

void CodeEditor::updateGutter(const QRect& rect, int dy) {
    if (dy)
        gutter_->scroll(0, dy);
    else
        gutter_->update(0, rect.y(), gutter_->width(), rect.height());
    if (rect.contains(viewport()->rect())) updateGutterWidth();
}

void CodeEditor::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    gutter_->setGeometry(QRect(area.left(), area.top(), gutterWidth(), area.height()));
}

void CodeEditor::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (!gutter_) return; // the constructor's own font and palette, before the gutter is made
    if (event->type() == QEvent::FontChange) {
        updateGutterWidth();
        const QRect area = contentsRect();
        gutter_->setGeometry(QRect(area.left(), area.top(), gutterWidth(), area.height()));
    } else if (event->type() == QEvent::PaletteChange) {
        // A new system palette or the high-contrast one: every colour is derived again.
        highlighter_->setColours(palette());
        updateSelections();
        gutter_->update();
    }
}

void CodeEditor::keyPressEvent(QKeyEvent* event) {
    // Tab types a tab, so the keyboard leaves the editor with Ctrl+Tab and Ctrl+Shift+Tab.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        const bool back =
            event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
        // QPlainTextEdit's own focusNextPrevChild refuses while Tab types a tab.
        QWidget::focusNextPrevChild(!back);
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CodeEditor::paintEvent(QPaintEvent* event) {
    // The faint guide: where the operands of an instruction written at the start of a line
    // must stand, so a misplaced operand shows against it.
    {
        QPainter painter(viewport());
        QColor guide = palette().color(QPalette::Text);
        guide.setAlphaF(0.10f);
        painter.setPen(QPen(guide, 1, Qt::DotLine));
        const qreal charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
        const qreal left = contentOffset().x() + document()->documentMargin();
        for (const int column : kGuideColumns) {
            const qreal x = left + column * charWidth - 0.5;
            painter.drawLine(QPointF(x, 0), QPointF(x, viewport()->height()));
        }
    }
    QPlainTextEdit::paintEvent(event);
}

bool CodeEditor::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QTextCursor at = cursorForPosition(help->pos());
        const int line = at.blockNumber() + 1;
        const int column = at.positionInBlock() + 1;
        QStringList texts;
        for (const EditorMark& mark : marks_) {
            // The caret position under the mouse may be just past the character pointed at.
            if (mark.line == line && column >= mark.column && column <= mark.endColumn)
                texts << mark.message;
        }
        if (texts.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), texts.join(QLatin1Char('\n')), viewport());
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

void CodeEditor::updateSelections() {
    QList<QTextEdit::ExtraSelection> selections;
    const QPalette colours = palette();
    if (executionLine_ > 0) {
        QTextEdit::ExtraSelection current;
        current.format.setBackground(executionLineColour(colours));
        current.format.setProperty(QTextFormat::FullWidthSelection, true);
        current.cursor = QTextCursor(document()->findBlockByNumber(executionLine_ - 1));
        selections.append(current);
    }
    for (const EditorMark& mark : marks_) {
        const QTextBlock block = document()->findBlockByNumber(mark.line - 1);
        if (!block.isValid()) continue;
        QTextEdit::ExtraSelection underline;
        underline.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        underline.format.setUnderlineColor(
            readableOn(mark.error ? QColor(0xd7, 0x3a, 0x49) : QColor(0xd9, 0x8e, 0x04),
                       colours.color(QPalette::Base), 3.0));
        underline.format.setToolTip(mark.message);
        const int last = block.length() - 1;
        int from = qBound(0, mark.column - 1, last);
        int to = qBound(from, mark.endColumn - 1, last);
        if (to == from) {
            // A finding at the end of a line still needs a character to sit under.
            from = qMax(0, from - 1);
            to = qMax(to, qMin(from + 1, last));
        }
        underline.cursor = QTextCursor(block);
        underline.cursor.setPosition(block.position() + from);
        underline.cursor.setPosition(block.position() + to, QTextCursor::KeepAnchor);
        selections.append(underline);
    }
    setExtraSelections(selections);
}

void CodeEditor::paintGutter(QPaintEvent* event) {
    QPainter painter(gutter_);
    const QPalette colours = palette();
    const QColor window = colours.color(QPalette::Window);
    painter.fillRect(event->rect(), window);
    const QColor dotColour = breakpointColour();
    const QColor arrowColour = readableOn(QColor(0xf0, 0xb4, 0x29), window, 3.0);
    const QColor numberColour = colours.color(QPalette::WindowText);
    const QColor otherNumbers = readableOn(blend(numberColour, 0.5, window), window);
    const int lineHeight = fontMetrics().height();
    const int dot = qMax(6, lineHeight - 6);
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + qRound(blockBoundingRect(block).height());
    painter.setFont(font());
    while (block.isValid() && top <= event->rect().bottom()) {
        if (block.isVisible() && bottom >= event->rect().top()) {
            const int line = block.blockNumber() + 1;
            if (breakpointOn(block)) {
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setPen(Qt::NoPen);
                painter.setBrush(dotColour);
                painter.drawEllipse(QRectF(3, top + (lineHeight - dot) / 2.0, dot, dot));
            }
            if (line == executionLine_) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(arrowColour);
                const qreal mid = top + lineHeight / 2.0;
                const qreal left = 3.0 + lineHeight;
                const QPointF arrow[] = {
                    {left, mid - dot * 0.45}, {left + dot * 0.8, mid}, {left, mid + dot * 0.45}};
                painter.drawPolygon(arrow, 3);
            }
            painter.setPen(line == caretLine() ? numberColour : otherNumbers);
            painter.drawText(0, top, gutter_->width() - 4, lineHeight, Qt::AlignRight,
                             QString::number(line));
        }
        block = block.next();
        top = bottom;
        bottom = top + qRound(blockBoundingRect(block).height());
    }
}

void CodeEditor::gutterClicked(int y) {
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    while (block.isValid()) {
        const int bottom = top + qRound(blockBoundingRect(block).height());
        if (y >= top && y < bottom) {
            toggleBreakpoint(block.blockNumber() + 1);
            return;
        }
        block = block.next();
        top = bottom;
    }
}

} // namespace tessivor::studio
