#pragma once
// Fakes for Form1's file dialog and boxes, and a way to give the window a command as a user
// would, so it waits for "t" like a real click.

#include "platform/dialogs.h"
#include "platform/fake_dialogs.h"
#include "platform/qt_testing.h"
#include "platform/qt_text.h"
#include "runner/window/form1.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tessivor::testing {

using platform::testing::FakeFileDialog;

/// Records every message with the text `t1` showed at that moment; answers input boxes from a
/// queue (empty: Cancel).
class FakeBoxes : public platform::Boxes {
public:
    struct Message {
        std::string title, text, display;
        bool operator==(const Message&) const = default;
        friend void PrintTo(const Message& m, std::ostream* os) {
            *os << '{' << m.title << ", " << m.text << ", t1: " << m.display << '}';
        }
    };
    std::vector<Message> messages;
    std::deque<std::string> replies;
    std::vector<std::string> prompts;
    const QLineEdit* t1 = nullptr;

    void messageBox(std::string_view title, std::string_view text) override {
        messages.push_back({std::string(title), std::string(text),
                            t1 ? platform::fromQString(t1->text()) : std::string()});
    }
    std::string inputBox(std::string_view, std::string_view prompt) override {
        prompts.emplace_back(prompt);
        if (replies.empty()) return {};
        std::string reply = replies.front();
        replies.pop_front();
        return reply;
    }
};

/// A Form1 on fakes, with the fakes and the controls at hand.
struct TestWindow {
    FakeFileDialog* comDlg;
    FakeBoxes* boxes;
    std::unique_ptr<Form1> form;

    TestWindow() {
        platform::testing::application();
        auto dialog = std::make_unique<FakeFileDialog>();
        auto fakeBoxes = std::make_unique<FakeBoxes>();
        comDlg = dialog.get();
        boxes = fakeBoxes.get();
        form = std::make_unique<Form1>(std::move(dialog), std::move(fakeBoxes));
        boxes->t1 = t1();
    }

    QLineEdit* t1() const { return form->findChild<QLineEdit*>(QStringLiteral("t1")); }
    QAction* action(const char* name) const {
        return form->findChild<QAction*>(QString::fromLatin1(name));
    }
};

/// Chooses a menu item through a queued key press, user input that the window takes only when
/// the running program processes events ("t") or no program runs.
class MenuUser : public QWidget {
public:
    void choose(QAction* item) {
        pending_.push_back(item);
        QCoreApplication::postEvent(
            this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
    }

protected:
    void keyPressEvent(QKeyEvent*) override {
        QAction* item = pending_.front();
        pending_.pop_front();
        item->trigger();
    }

private:
    std::deque<QAction*> pending_;
};

} // namespace tessivor::testing
