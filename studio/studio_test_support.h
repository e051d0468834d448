#pragma once
// What the Studio's window tests share: dialogs answered from queues, a wait on the window's
// events, and a window made fresh for every test with its own settings file.

#include "platform/files.h"
#include "platform/qt_testing.h"
#include "studio/code_editor.h"
#include "studio/studio_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

namespace tessivor::studio::test_support {

namespace fs = std::filesystem;

/// Answers the window's questions from queues; an unexpected question fails the test.
struct FakeDialogs : StudioDialogs {
    std::deque<QString> openNames, saveNames;
    std::deque<Unsaved> unsaved;
    std::deque<std::optional<QString>> replies;
    std::vector<std::pair<QString, QString>> inputsAsked; // title, prompt
    std::vector<QString> errors;
    std::vector<QString> notices;
    std::deque<bool> substitute, overwrite;
    std::deque<Changed> changed;
    std::deque<QString> exportNames, testNames;
    std::vector<QString> substituteAsked; // the characters named
    int saveQuestions = 0, changedQuestions = 0, overwriteQuestions = 0;

    QString openFileName(const QString&) override { return next(openNames, "open"); }
    QString saveFileName(const QString&) override { return next(saveNames, "save"); }
    Unsaved askToSave(const QString&) override {
        ++saveQuestions;
        return next(unsaved, "unsaved changes");
    }
    std::optional<QString> input(const QString& title, const QString& prompt) override {
        inputsAsked.emplace_back(title, prompt);
        return next(replies, "input");
    }
    void error(const QString& text) override { errors.push_back(text); }
    void notice(const QString& text) override { notices.push_back(text); }
    bool askToSubstitute(const QString&, const QString& lost) override {
        substituteAsked.push_back(lost);
        return next(substitute, "substitute");
    }
    Changed askChangedOnDisk(const QString&, bool) override {
        ++changedQuestions;
        return next(changed, "changed on disk");
    }
    bool askToOverwrite(const QString&) override {
        ++overwriteQuestions;
        return next(overwrite, "overwrite");
    }
    QString exportFileName(const QString&, const QString&) override {
        return next(exportNames, "export");
    }

    QString testFileName(const QString&) override { return next(testNames, "test file"); }

    template <typename T> T next(std::deque<T>& answers, const char* what) {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected " << what << " question";
            return T{};
        }
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

inline std::string bytesOf(const fs::path& path) {
    std::string bytes, reason;
    EXPECT_TRUE(platform::readWholeFile(path, bytes, reason)) << path << ": " << reason;
    return bytes;
}

/// Handles the window's events until `done` holds; false when `ms` pass first.
inline bool waitUntil(const std::function<bool()>& done, int ms = 10'000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

/// A Studio window on a settings file of the test's own, answering its questions with
/// `Dialogs`, and the ways the tests drive and read it.
template <class Dialogs> class StudioWindowFixture : public ::testing::Test {
public:
    void SetUp() override {
        platform::testing::application();
        ASSERT_TRUE(dir.isValid());
        window = makeWindow();
    }
    /// A window on the test's settings file, shown.
    std::unique_ptr<StudioWindow> makeWindow() {
        StudioOptions options;
        options.dialogs = &dialogs;
        options.settingsFile = dir.filePath(QStringLiteral("studio.ini"));
        options.examplesFolder = QStringLiteral(TESSIVOR_EXAMPLES_DIR);
        options.cliProgram = QStringLiteral(TESSIVOR_CLI);
        auto made = std::make_unique<StudioWindow>(options);
        made->show();
        return made;
    }
    void TearDown() override {
        // Nothing may be left unsaved to ask about.
        if (window) window->editor()->document()->setModified(false);
        window.reset();
    }

    QAction* action(const char* name) {
        auto* act = window->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(act, nullptr) << name;
        return act;
    }
    /// Triggers the action and waits until the machine has answered.
    void trigger(const char* name) {
        QAction* act = action(name);
        ASSERT_TRUE(act->isEnabled()) << name;
        act->trigger();
        ASSERT_TRUE(waitUntil([&] { return !window->busy(); })) << name << " did not finish";
    }
    void setText(const QString& text) { window->editor()->setPlainText(text); }
    QString cell(int i) { return window->findChild<QTableWidget*>("cells")->item(i, 1)->text(); }
    bool cellChanged(int i) {
        return window->findChild<QTableWidget*>("cells")->item(i, 0)->data(Qt::UserRole).toBool();
    }
    QString reg(const char* name) {
        return window->findChild<QLabel*>(QStringLiteral("register_") + name)->text();
    }
    QStringList messages() {
        QStringList texts;
        auto* list = window->findChild<QListWidget*>("messages");
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }
    QStringList output(int column = 1) {
        QStringList texts;
        auto* tree = window->findChild<QTreeWidget*>("output");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            texts << tree->topLevelItem(i)->text(column);
        return texts;
    }
    void setSpeed(int position) { window->findChild<QSlider*>("speed")->setValue(position); }

    QTemporaryDir dir;
    Dialogs dialogs;
    std::unique_ptr<StudioWindow> window;
};

class StudioWindowTest : public StudioWindowFixture<FakeDialogs> {};

} // namespace tessivor::studio::test_support
