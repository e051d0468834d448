#pragma once
// The Studio's source editor: a plain text editor with a gutter of line numbers and
// breakpoints, the line of the current instruction, and the checker's findings underlined.

#include <QPlainTextEdit>

#include <vector>

namespace tessivor::studio {

class SourceHighlighter;

/// A finding to underline: 1-based line, columns counted in characters of that line.
struct EditorMark {
    int line = 1;
    int column = 1;    ///< 1-based, first character covered
    int endColumn = 2; ///< 1-based, just past the last character covered
    bool error = false;
    QString kind; ///< "error", "warning" or "note"
    QString message;
};

class CodeEditor : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit CodeEditor(QWidget* parent = nullptr);

    /// The text as typed: no-break spaces kept, line breaks as U+2029.
    QString rawText() const;

    /// The 1-based lines that carry a breakpoint, in order.
    std::vector<int> breakpointLines() const;
    bool hasBreakpoint(int line) const;
    /// Sets or clears the breakpoint of a 1-based line; a breakpoint moves with its line.
    void setBreakpoint(int line, bool on);
    void toggleBreakpoint(int line);
    void clearBreakpoints();

    /// Highlights the line of the instruction the machine stands at; 0 for none.
    void setExecutionLine(int line);
    int executionLine() const { return executionLine_; }
    /// Replaces the underlined findings.
    void setMarks(std::vector<EditorMark> marks);
    const std::vector<EditorMark>& marks() const { return marks_; }

    /// Puts the caret at the start of a 1-based line and shows it.
    void goToLine(int line, int column = 1);
    /// The 1-based line of the caret.
    int caretLine() const;

    SourceHighlighter* highlighter() const { return highlighter_; }
    /// The breakpoint dot's colour: red, readable (3:1) on the gutter's background.
    QColor breakpointColour() const;
    int gutterWidth() const;

signals:
    void breakpointsChanged();
    /// The highlighted line of the current instruction moved (0: none).
    void executionLineChanged(int line);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    friend class Gutter;

    void updateGutterWidth();
    void updateGutter(const QRect& rect, int dy);
    void paintGutter(QPaintEvent* event);
    void gutterClicked(int y);
    void updateSelections();

    QWidget* gutter_ = nullptr;
    SourceHighlighter* highlighter_ = nullptr;
    int executionLine_ = 0;
    std::vector<EditorMark> marks_;
};

} // namespace tessivor::studio
