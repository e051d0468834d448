#include "runner/window/form1.h"

#include "platform/qt_testing.h"
#include "runner/window/module1.h"
#include "runner/window/window_testing.h"

#include <QAccessible>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

namespace tessivor {
namespace {

using testing::FakeBoxes;
using testing::FakeFileDialog;
using testing::MenuUser;
using testing::TestWindow;
using Message = FakeBoxes::Message;

const Message terminated(std::string display) {
    return {"Tessivor", "Program Terminated", std::move(display)};
}

class RunnerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tessivor-form1-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        Module1::loadedcode.clear();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& bytes) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    std::filesystem::path dir_;
};

TEST_F(RunnerWindowTest, EndOfRunMessagesAndDisplay) {
    TestWindow w;
    EXPECT_EQ(w.form->runprogram("a01sAhAia01wp\r\n").end, RunEnd::Terminated);
    EXPECT_EQ(w.t1()->text(), QStringLiteral("hi"));

    EXPECT_EQ(w.form->runprogram("a00q\r\n").end, RunEnd::Error);
    EXPECT_EQ(w.boxes->messages,
              (std::vector<Message>{terminated("hi"),
                                    {"Tessivor", "Type mismatch byte 4 op 113 q", "hi"},
                                    {"Tessivor", "Program Ended", "hi"}}));
    // The caption keeps the last speed text.
    EXPECT_EQ(w.form->windowTitle(), QStringLiteral("Tessivor 0.1 - 0.00mhz"));
}

TEST_F(RunnerWindowTest, ControlsCarryTheirCaptionsToTheAccessibilityApi) {
    using platform::testing::accessibleChildNames;
    using platform::testing::accessibleText;
    TestWindow w;
    w.form->show();
    EXPECT_EQ(accessibleText(w.form.get()), QStringLiteral("Tessivor 0.1"));
    EXPECT_EQ(accessibleChildNames(w.form->menuBar()), QStringList{"App"});
    QMenu* app = w.form->findChild<QMenu*>(QStringLiteral("app"));
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(accessibleChildNames(app),
              (QStringList{"Load and Run Program", "Save Memory to File (State Save)",
                           "Load Memory From File (State Load)", "Exit"}));
    // The greyed items say so.
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(app);
    ASSERT_EQ(menu->childCount(), 4);
    EXPECT_FALSE(menu->child(0)->state().disabled);
    EXPECT_TRUE(menu->child(1)->state().disabled);
    EXPECT_TRUE(menu->child(2)->state().disabled);
    // The display is a text a screen reader reads, showing what the program showed.
    w.form->runprogram("a01sAhAia01wp\r\n");
    QAccessibleInterface* display = QAccessible::queryAccessibleInterface(w.t1());
    EXPECT_EQ(display->role(), QAccessible::EditableText);
    EXPECT_TRUE(display->state().readOnly);
    ASSERT_NE(display->textInterface(), nullptr);
    EXPECT_EQ(display->textInterface()->text(0, display->textInterface()->characterCount()),
              QStringLiteral("hi"));
}

TEST_F(RunnerWindowTest, ARunThatPassesItsEndOrFailsToPrepareShowsNothing) {
    TestWindow w;
    EXPECT_EQ(w.form->runprogram("a01sAxa01w\r\n").end, RunEnd::PastEnd);
    EXPECT_EQ(w.t1()->text(), QStringLiteral("x"));
    std::string labels;
    for (int i = 0; i < 100; ++i)
        labels += " v";
    EXPECT_EQ(w.form->runprogram(labels).end, RunEnd::PrepareFailed);
    EXPECT_EQ(w.form->windowTitle(), QStringLiteral("Tessivor 0.1 - Optimizing..."));
    EXPECT_TRUE(w.boxes->messages.empty());
}

TEST_F(RunnerWindowTest, TextsCrossTheRealBoxesAsLatin1) {
    platform::testing::application();
    Form1 form; // Qt's own boxes
    QStringList seen;
    // Program: prompt "N?" (cell 01), reply into cell 02, show it, end.
    std::function<void(QWidget*)> answer = [&](QWidget* modal) {
        if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            seen << input->windowTitle() << input->labelText();
            input->setTextValue(QString::fromUtf8("h\u00e9 \u20ac"));
            input->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->windowTitle() << box->text();
            box->accept();
            return;
        }
        platform::testing::whenModal(answer);
    };
    platform::testing::whenModal(answer);
    form.runprogram("a01sANA?a01ba02oa02wp\r\n");
    EXPECT_EQ(seen,
              (QStringList{"Tessivor", QStringLiteral("N?"), "Tessivor", "Program Terminated"}));
    EXPECT_EQ(form.findChild<QLineEdit*>("t1")->text(), QString::fromUtf8("h\u00e9 ?"));
}

TEST_F(RunnerWindowTest, LarpRunsTheChosenFileAndCancelRunsNothing) {
    TestWindow w;
    const std::string hello = write("hello.tsp", "a01sAhAia01wp\r\n");

    w.comDlg->answers = {std::nullopt}; // cancel at the first use
    w.action("larp")->trigger();
    EXPECT_TRUE(w.boxes->messages.empty());

    w.comDlg->answers = {hello};
    w.action("larp")->trigger();
    EXPECT_EQ(Module1::loadedcode, "a01sAhAia01wp\r\n");
    EXPECT_EQ(w.boxes->messages, std::vector<Message>{terminated("hi")});

    // A cancel after a choice runs nothing either, and the dialog still offers that choice.
    w.comDlg->answers = {std::nullopt};
    w.action("larp")->trigger();
    EXPECT_EQ(w.boxes->messages.size(), 1u);
    const std::string filter = "Tessivor Program (*.tsp) | *.tsp";
    EXPECT_EQ(w.comDlg->shown,
              (std::vector<FakeFileDialog::Shown>{{filter, ""}, {filter, ""}, {filter, hello}}));
}

TEST_F(RunnerWindowTest, LarpOnAnUnreadableFileChangesNothing) {
    TestWindow w;
    Module1::loadedcode = "kept";
    w.comDlg->answers = {(dir_ / "missing.tsp").string(), dir_.string()};
    w.action("larp")->trigger();
    w.action("larp")->trigger(); // a folder
    EXPECT_EQ(Module1::loadedcode, "kept");
    EXPECT_TRUE(w.boxes->messages.empty());
    EXPECT_EQ(w.form->windowTitle(), QStringLiteral("Tessivor 0.1"));
}

TEST_F(RunnerWindowTest, LarpDuringEventsRunsTheNewProgramToItsEndInsideTheFirst) {
    TestWindow w;
    // The inner program only ends: its message shows what the outer one had displayed by then.
    w.comDlg->answers = {write("inner.tsp", "p\r\n")};
    MenuUser user;
    // The command is queued before the run starts; it must wait for the "t".
    user.choose(w.action("larp"));
    const RunResult outer = w.form->runprogram("a01sAoAua01wta01sAaAfAtAeAra01wp\r\n");
    EXPECT_EQ(outer.end, RunEnd::Terminated);
    EXPECT_EQ(outer.mem[1], "after");
    EXPECT_EQ(w.boxes->messages, (std::vector<Message>{terminated("ou"), terminated("after")}));
    EXPECT_EQ(Module1::loadedcode, "p\r\n");
}

// "a00sA1 vta00u": label 1, "t", jump to label 1, for ever.
constexpr const char* kLoopWithEvents = "a00sA1 vta00u";
// "a00sA1 va00u": the same without "t": only the speed display lets events in.
constexpr const char* kLoopWithoutEvents = "a00sA1 va00u";

/// Gives up on a program that failed to end: says so and exits, so the test fails, not hangs.
void watchdog() {
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(20));
        std::fputs("the run went on", stderr);
        std::_Exit(0);
    }).detach();
}

const auto kEndedAtOnce = ::testing::Not(::testing::HasSubstr("the run went on"));

TEST_F(RunnerWindowTest, ExitDuringARunEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            watchdog();
            TestWindow w;
            MenuUser user;
            user.choose(w.action("exit"));
            w.form->runprogram(kLoopWithEvents);
            std::fputs("the run went on", stderr);
        },
        ::testing::ExitedWithCode(0), kEndedAtOnce);
}

TEST_F(RunnerWindowTest, ClosingTheWindowEndsARunawayProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            watchdog();
            TestWindow w;
            w.form->show();
            // Lands at a speed display refresh inside the loop, a second or so into the run.
            QTimer::singleShot(1200, w.form.get(), [&w] { w.form->close(); });
            w.form->runprogram(kLoopWithoutEvents);
            std::fputs("the run went on", stderr);
        },
        ::testing::ExitedWithCode(0), kEndedAtOnce);
}

// The tick counter is signed and 32 bits wide: negative from 24.8 days after the system started,
// back to 0 after 49.7. Whatever it reads, the speed display refreshes once a second, and with
// it the window takes a request to close. Each start is a little before a turn, or inside the
// negative half.
class RunnerWindowUptimeTest : public RunnerWindowTest,
                               public ::testing::WithParamInterface<std::int64_t> {};

TEST_P(RunnerWindowUptimeTest, ClosingTheWindowEndsARunawayProgramAtAnyUptime) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::int64_t startMs = GetParam();
    EXPECT_EXIT(
        {
            watchdog();
            TestWindow w;
            const auto started = std::chrono::steady_clock::now();
            w.form->setTickCount([started, startMs] {
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - started)
                                    .count();
                return static_cast<std::int32_t>(static_cast<std::uint32_t>(startMs + ms));
            });
            w.form->show();
            QTimer::singleShot(1200, w.form.get(), [&w] {
                std::fputs(w.form->windowTitle().endsWith(QStringLiteral("mhz"))
                               ? "speed shown\n"
                               : "no speed shown\n",
                           stderr);
                w.form->close();
            });
            w.form->runprogram(kLoopWithoutEvents);
            std::fputs("the run went on", stderr);
        },
        ::testing::ExitedWithCode(0),
        ::testing::AllOf(kEndedAtOnce, ::testing::HasSubstr("speed shown\n"),
                         ::testing::Not(::testing::HasSubstr("no speed"))));
}

INSTANTIATE_TEST_SUITE_P(Ticks, RunnerWindowUptimeTest,
                         ::testing::Values((std::int64_t{1} << 31) - 500,
                                           (std::int64_t{1} << 31) + 1000,
                                           (std::int64_t{1} << 32) - 500));

} // namespace
} // namespace tessivor
