#include "studio/input_dialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace tessivor::studio {

InputDialog::InputDialog(const QString& title, const QString& prompt, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("inputDialog"));
    setWindowTitle(title);
    setAccessibleName(title);
    setAccessibleDescription(QStringLiteral("The program asks for a reply; Enter answers, "
                                            "Escape cancels (the empty reply)"));
    shownPrompt_ = prompt.left(kShownPromptLength);
    if (prompt.size() > kShownPromptLength)
        shownPrompt_ += QStringLiteral("\n\u2026 (the prompt is %1 characters long; the first %2 "
                                       "are shown)")
                            .arg(prompt.size())
                            .arg(kShownPromptLength);

    auto* layout = new QVBoxLayout(this);
    const bool shortPrompt = prompt.size() <= kShortPromptLength && prompt.count(u'\n') < 4;
    const QRect screen =
        (parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen())
            ->availableGeometry();
    if (shortPrompt) {
        promptLabel_ = new QLabel(shownPrompt_, this);
        promptLabel_->setObjectName(QStringLiteral("prompt"));
        // The prompt is the program's text, never markup.
        promptLabel_->setTextFormat(Qt::PlainText);
        promptLabel_->setWordWrap(true);
        promptLabel_->setAccessibleName(QStringLiteral("Prompt"));
        promptLabel_->setAccessibleDescription(shownPrompt_);
        layout->addWidget(promptLabel_);
    } else {
        promptBox_ = new QPlainTextEdit(this);
        promptBox_->setObjectName(QStringLiteral("prompt"));
        promptBox_->setReadOnly(true);
        promptBox_->setPlainText(shownPrompt_);
        promptBox_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        promptBox_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        promptBox_->setTabChangesFocus(true);
        promptBox_->setAccessibleName(QStringLiteral("Prompt"));
        promptBox_->setAccessibleDescription(
            QStringLiteral("The program's long prompt; Tab goes on to the reply"));
        promptBox_->setMinimumHeight(promptBox_->fontMetrics().height() * 4);
        promptBox_->setMaximumHeight(qMax(80, screen.height() / 2));
        layout->addWidget(promptBox_, 1);
    }
    reply_ = new QLineEdit(this);
    reply_->setObjectName(QStringLiteral("reply"));
    reply_->setAccessibleName(QStringLiteral("Reply"));
    reply_->setAccessibleDescription(QStringLiteral("What the program gets as its input"));
    if (promptLabel_) promptLabel_->setBuddy(reply_);
    layout->addWidget(reply_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleDescription(QStringLiteral("Answer"));
    buttons->button(QDialogButtonBox::Cancel)
        ->setAccessibleDescription(QStringLiteral("Answer with the empty text"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Wide enough to read, never wider or taller than the screen.
    const int width = qMin(screen.width() * 9 / 10, fontMetrics().averageCharWidth() * 72);
    setMaximumSize(screen.width() * 9 / 10, screen.height() * 9 / 10);
    resize(width, promptBox_ ? qMin(screen.height() * 3 / 4, sizeHint().height() + 200)
                             : sizeHint().height());
    reply_->setFocus();
}

QString InputDialog::reply() const { return reply_->text(); }

} // namespace tessivor::studio
