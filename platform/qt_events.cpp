#include "platform/qt_events.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <memory>
#include <utility>
#include <vector>

namespace tessivor::platform {

namespace {

/// Mouse, keys, wheel, touch, tablet and shortcuts: what a user does to command the window.
/// A request to close the window is not among them, although Qt counts it as input.
bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture: return true;
    default: return false;
    }
}

/// Takes user input out of the delivery while it is installed and posts it again, in its
/// order, once it is removed, so that it reaches the window at the next full event pass.
class InputHoldBack : public QObject {
public:
    InputHoldBack() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputHoldBack() override {
        QCoreApplication::instance()->removeEventFilter(this);
        for (auto& [receiver, event] : held_) {
            if (receiver) QCoreApplication::postEvent(receiver, event.release());
        }
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!isUserInput(event->type())) return false;
        held_.emplace_back(receiver, std::unique_ptr<QEvent>(event->clone()));
        return true;
    }

private:
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};

} // namespace

void processPendingEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void processNonInputEvents() {
    if (!QCoreApplication::instance()) return;
    // Qt's ExcludeUserInputEvents would also keep back a request to close the window, and a
    // runaway program could then never be closed; so everything is handled but the input.
    InputHoldBack holdBack;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace tessivor::platform
