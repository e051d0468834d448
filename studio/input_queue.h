#pragma once
// The input queue: replies typed before a run, one a line. Each `inp` takes the next one; when
// none is left, the usual box asks. The replies used in the current run are dimmed.

#include <QWidget>

#include <optional>

class QLabel;
class QPlainTextEdit;

namespace tessivor::studio {

class InputQueue : public QWidget {
    Q_OBJECT

public:
    explicit InputQueue(QWidget* parent = nullptr);

    /// The next unused reply, which is then used; nothing when every reply is used.
    std::optional<QString> take();
    /// A new run: every reply is unused again.
    void restart();
    /// The replies as typed: one a line; a last empty line after the final line break is none.
    QStringList replies() const;
    int used() const { return used_; }
    void setReplies(const QString& text);
    QPlainTextEdit* editor() const { return editor_; }
    /// "2 of 3 replies used; the next is line 3" and the like.
    QString status() const;

private:
    void update();

    QPlainTextEdit* editor_ = nullptr;
    QLabel* status_ = nullptr;
    int used_ = 0;
};

} // namespace tessivor::studio
