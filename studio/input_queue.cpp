#include "studio/input_queue.h"

#include "studio/accessibility.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVBoxLayout>

namespace tessivor::studio {

InputQueue::InputQueue(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("inputQueue"));
    setAccessibleName(QStringLiteral("Input queue pane"));
    setAccessibleDescription(QStringLiteral("Replies for the program's input boxes"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* caption = new QLabel(
        QStringLiteral("&Replies for inp, one a line, used in order; then a box asks:"), this);
    caption->setWordWrap(true);
    editor_ = new QPlainTextEdit(this);
    editor_->setObjectName(QStringLiteral("inputQueueText"));
    editor_->setAccessibleName(QStringLiteral("Input queue"));
    editor_->setAccessibleDescription(
        QStringLiteral("Each line is the reply to one input box of the run, in order; the used "
                       "ones are dimmed. Tab leaves the box."));
    editor_->setTabChangesFocus(true);
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    caption->setBuddy(editor_);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("inputQueueStatus"));
    status_->setWordWrap(true);
    status_->setAccessibleName(QStringLiteral("Input queue status"));
    status_->setAccessibleDescription(
        QStringLiteral("How many replies the run has used and which line is next"));
    layout->addWidget(caption);
    layout->addWidget(editor_, 1);
    layout->addWidget(status_);
    connect(editor_, &QPlainTextEdit::textChanged, this, &InputQueue::update);
    update();
}

QStringList InputQueue::replies() const {
    QStringList lines = editor_->toPlainText().split(u'\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

void InputQueue::setReplies(const QString& text) { editor_->setPlainText(text); }

std::optional<QString> InputQueue::take() {
    const QStringList lines = replies();
    if (used_ >= lines.size()) return std::nullopt;
    const QString reply = lines[used_++];
    update();
    return reply;
}

void InputQueue::restart() {
    used_ = 0;
    update();
}

QString InputQueue::status() const {
    const qsizetype total = replies().size();
    if (total == 0) return QStringLiteral("No replies queued: each input box asks.");
    if (used_ >= total)
        return QStringLiteral("All %1 replies used: the next input box asks.").arg(total);
    if (used_ == 0)
        return QStringLiteral("%1 replies queued; the next run uses line 1 first.").arg(total);
    return QStringLiteral("%1 of %2 replies used; the next is line %3.")
        .arg(used_)
        .arg(total)
        .arg(used_ + 1);
}

void InputQueue::update() {
    // The used lines are dimmed, readable still.
    QList<QTextEdit::ExtraSelection> dimmed;
    const QColor colour = dimmedText(editor_->palette());
    QTextBlock block = editor_->document()->begin();
    for (int i = 0; i < used_ && block.isValid(); ++i, block = block.next()) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(block);
        selection.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        selection.format.setForeground(colour);
        selection.format.setFontStrikeOut(true);
        dimmed << selection;
    }
    editor_->setExtraSelections(dimmed);
    status_->setText(status());
}

} // namespace tessivor::studio
