#pragma once
// Test support for Qt windows: one application object for the whole test program, and a way
// to answer a modal dialog from inside its own event loop.

#include <QAccessible>
#include <QApplication>
#include <QStringList>
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

/// What the accessibility API tells a screen reader about `object` (a widget or the window).
inline QString accessibleText(QObject* object, QAccessible::Text what = QAccessible::Name) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(what) : QString();
}

/// The names of the accessible children of `object`, as a screen reader lists them (a menu
/// bar's menus, a menu's items; separators have no name and are left out).
inline QStringList accessibleChildNames(QObject* object) {
    QStringList names;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (child && !child->text(QAccessible::Name).isEmpty())
            names << child->text(QAccessible::Name);
    }
    return names;
}

} // namespace tessivor::platform::testing
