#pragma once
// Test support for Qt windows: one application object for the whole test program, and a way
// to answer a modal dialog from inside its own event loop.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace tessivor::platform::testing {

/// The test program's QApplication, created at the first call and never destroyed (tests run
/// with QT_QPA_PLATFORM=offscreen).
inline QApplication& application() {
    static int argc = 1;
    static char name[] = "tessivor-test";
    static char* argv[] = {name, nullptr};
    static auto* app = new QApplication(argc, argv);
    return *app;
}

/// Calls `answer` with the modal widget as soon as one is open; polls every few milliseconds
/// so it can be armed before the code that opens the dialog runs.
inline void whenModal(std::function<void(QWidget*)> answer) {
    application();
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

} // namespace tessivor::platform::testing
