#pragma once
// The box a running program's `inp` opens: the prompt, however long, in a box that fits the
// screen (a long prompt scrolls, its OK and Cancel stay in view), and one line for the reply.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tessivor::studio {

/// The most of a prompt the box shows; a longer one is cut, with a line saying so.
inline constexpr int kShownPromptLength = 16'384;
/// A prompt up to this long, on few lines, is a label; a longer one a scrolling box.
inline constexpr int kShortPromptLength = 120;

class InputDialog : public QDialog {
    Q_OBJECT

public:
    InputDialog(const QString& title, const QString& prompt, QWidget* parent = nullptr);

    QString reply() const;
    /// The prompt as shown: whole, or cut with a line saying how much more there was.
    QString shownPrompt() const { return shownPrompt_; }
    /// True when the prompt scrolls in a box of its own.
    bool promptScrolls() const { return promptBox_ != nullptr; }

private:
    QString shownPrompt_;
    QLabel* promptLabel_ = nullptr;
    QPlainTextEdit* promptBox_ = nullptr;
    QLineEdit* reply_ = nullptr;
};

} // namespace tessivor::studio
