#include "platform/qt_events.h"

#include "platform/qt_testing.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>

namespace tessivor::platform {
namespace {

using testing::application;

/// Counts what reaches it, in order.
class Recorder : public QWidget {
public:
    std::vector<int> keys;
    int closes = 0;
    int userEvents = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
    void closeEvent(QCloseEvent* event) override {
        ++closes;
        event->ignore();
    }
    void customEvent(QEvent*) override { ++userEvents; }
};

void postKey(QObject* to, int key) {
    QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
}

TEST(QtEvents, NonInputPassHandlesCloseAndOthersButKeepsKeysForTheFullPass) {
    application();
    Recorder window;
    postKey(&window, Qt::Key_A);
    QCoreApplication::postEvent(&window, new QCloseEvent);
    QCoreApplication::postEvent(&window, new QEvent(QEvent::User));
    postKey(&window, Qt::Key_B);

    processNonInputEvents();
    EXPECT_EQ(window.closes, 1);
    EXPECT_EQ(window.userEvents, 1);
    EXPECT_TRUE(window.keys.empty());

    // Held input survives further non-input passes and keeps its order.
    processNonInputEvents();
    EXPECT_TRUE(window.keys.empty());
    processPendingEvents();
    EXPECT_EQ(window.keys, (std::vector<int>{Qt::Key_A, Qt::Key_B}));
}

TEST(QtEvents, HeldInputForAWidgetThatIsGoneIsDropped) {
    application();
    auto* window = new Recorder;
    Recorder survivor;
    postKey(window, Qt::Key_A);
    postKey(&survivor, Qt::Key_B);
    processNonInputEvents();
    delete window;
    processPendingEvents(); // must not deliver to the deleted widget
    EXPECT_EQ(survivor.keys, (std::vector<int>{Qt::Key_B}));
}

TEST(QtEventsDeathTest, EndProgramNowExitsAtOnceWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::fputs("flushed", stderr);
            endProgramNow();
        },
        ::testing::ExitedWithCode(0), "flushed");
}

} // namespace
} // namespace tessivor::platform
