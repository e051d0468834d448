// The runner window's logic on fakes: what a run shows, the menu item `larp` and the start-up
// routine, on every system the windows are built for (under Wine too, where file names are in
// the ANSI code page).

#include "runner/window/form1_logic.h"

#include "platform/fake_dialogs.h"
#include "runner/window/start_up.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <vector>

namespace tessivor {
namespace {

namespace fs = std::filesystem;
using platform::testing::FakeBoxes;
using platform::testing::FakeFileDialog;
using Shown = FakeBoxes::Shown;

/// A window that records what the logic does to it. Its event queue holds commands: each
/// handlePendingEvents() runs the ones queued so far, as a real queue would run a click.
class FakeForm1 final : public Form1Logic {
public:
    FakeForm1() : Form1Logic(std::make_unique<FakeFileDialog>(), std::make_unique<FakeBoxes>()) {}

    FakeFileDialog& dialog() { return static_cast<FakeFileDialog&>(comDlg()); }
    FakeBoxes& shownBoxes() { return static_cast<FakeBoxes&>(boxes()); }

    std::vector<std::string> captions; ///< every caption, in order
    std::string t1;
    int larpEnabled = 0;
    int pendingPasses = 0;
    int nonInputPasses = 0;
    int nonInputPassesAtLastCaption = -1;
    std::vector<std::function<void()>> queued;

    void showCaption(std::string_view caption) override {
        captions.emplace_back(caption);
        nonInputPassesAtLastCaption = nonInputPasses;
    }
    void showInT1(std::string_view text) override { t1 = text; }
    void enableLarp() override { ++larpEnabled; }
    void handlePendingEvents() override {
        ++pendingPasses;
        auto commands = std::move(queued);
        queued.clear();
        for (auto& command : commands)
            command();
    }
    void handleNonInputEvents() override { ++nonInputPasses; }
};

class RunnerLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tessivor-runner-logic-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
        Module1::loadedcode.clear();
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    fs::path dir_;
    FakeForm1 form;
};

const Shown terminated{"Tessivor", "Program Terminated"};

TEST_F(RunnerLogicTest, ARunShowsItsTextsInT1TheBoxesAndTheCaption) {
    // Prompt "N?" into cell 01, the reply into cell 02, show it, end.
    form.shownBoxes().replies = {"42"};
    EXPECT_EQ(form.runprogram("a01sANA?a01ba02oa02wp\r\n").end, RunEnd::Terminated);
    EXPECT_EQ(form.t1, "42");
    EXPECT_EQ(form.shownBoxes().prompts, (std::vector<Shown>{{"Tessivor", "N?"}}));
    EXPECT_EQ(form.runprogram("a00q\r\n").end, RunEnd::Error);
    EXPECT_EQ(form.shownBoxes().messages,
              (std::vector<Shown>{terminated,
                                  {"Tessivor", "Type mismatch byte 4 op 113 q"},
                                  {"Tessivor", "Program Ended"}}));
    EXPECT_EQ(form.larpEnabled, 2);
    // Every caption is followed by a pass over the events that are not input, so a runaway
    // program can still be closed.
    ASSERT_FALSE(form.captions.empty());
    EXPECT_EQ(form.captions.front(), "Tessivor 0.1 - Optimizing...");
    EXPECT_EQ(form.captions.back(), "Tessivor 0.1 - 0.00mhz");
    EXPECT_EQ(form.nonInputPasses, static_cast<int>(form.captions.size()));
    EXPECT_EQ(form.nonInputPassesAtLastCaption, form.nonInputPasses - 1);
    EXPECT_EQ(form.pendingPasses, 0); // only "t" lets commands in
}

TEST_F(RunnerLogicTest, TheTickCounterAndTheEventsReachTheProgram) {
    form.setTickCount([] { return -7; }); // a counter in its negative half
    // "t", then the tick count into cell 01, shown.
    EXPECT_EQ(form.runprogram("ta01la01wp").end, RunEnd::Terminated);
    EXPECT_EQ(form.t1, "-7");
    EXPECT_EQ(form.pendingPasses, 1);
}

TEST_F(RunnerLogicTest, LarpRunsTheChosenFileAndCancelRunsNothing) {
    const std::string hello = write("hello.tsp", "a01sAhAia01wp\r\n");
    form.dialog().answers = {std::nullopt}; // cancel at the first use
    form.larpClick();
    EXPECT_TRUE(form.shownBoxes().messages.empty());

    form.dialog().answers = {hello};
    form.larpClick();
    EXPECT_EQ(Module1::loadedcode, "a01sAhAia01wp\r\n");
    EXPECT_EQ(form.t1, "hi");
    EXPECT_EQ(form.shownBoxes().messages, std::vector<Shown>{terminated});

    // A cancel after a choice runs nothing either, and the dialog still offers that choice.
    form.dialog().answers = {std::nullopt};
    form.larpClick();
    EXPECT_EQ(form.shownBoxes().messages.size(), 1u);
    const std::string filter = "Tessivor Program (*.tsp) | *.tsp";
    EXPECT_EQ(form.dialog().shown,
              (std::vector<FakeFileDialog::Shown>{{filter, ""}, {filter, ""}, {filter, hello}}));
}

TEST_F(RunnerLogicTest, LarpOnAnUnreadableFileChangesNothing) {
    Module1::loadedcode = "kept";
    form.dialog().answers = {(dir_ / "missing.tsp").string(), dir_.string()};
    form.larpClick();
    form.larpClick(); // a folder
    EXPECT_EQ(Module1::loadedcode, "kept");
    EXPECT_TRUE(form.shownBoxes().messages.empty());
    EXPECT_TRUE(form.captions.empty());
}

TEST_F(RunnerLogicTest, LarpDuringEventsRunsTheNewProgramToItsEndInsideTheFirst) {
    form.dialog().answers = {write("inner.tsp", "a01sAia01wp\r\n")};
    form.queued.push_back([this] { form.larpClick(); });
    // Shows "ou", lets events in ("t"), then shows "after": the inner run ends in between.
    const RunResult outer = form.runprogram("a01sAoAua01wta01sAaAfAtAeAra01wp\r\n");
    EXPECT_EQ(outer.end, RunEnd::Terminated);
    EXPECT_EQ(outer.mem[1], "after");
    EXPECT_EQ(form.shownBoxes().messages, (std::vector<Shown>{terminated, terminated}));
    EXPECT_EQ(form.t1, "after");
    EXPECT_EQ(Module1::loadedcode, "a01sAia01wp\r\n");
}

/// The start-up routine on a fake window, from a raw argument text.
struct StartUp {
    FakeForm1 form;
    bool shown = false;
    std::ostringstream errors;

    explicit StartUp(std::string_view argumentText) {
        Module1::startUpRoutine(
            argumentText,
            [this]() -> Form1Logic& {
                shown = true;
                return form;
            },
            errors);
    }
    bool ran() const { return !form.captions.empty(); }
};

TEST_F(RunnerLogicTest, StartUpDropsTheFirstAndLastCharacterOfTheArgumentText) {
    const std::string path = write("prog.tsp", "a01sAhAia01wp\r\n");
    StartUp quoted('"' + path + '"');
    EXPECT_TRUE(quoted.shown);
    EXPECT_EQ(quoted.form.t1, "hi");
    EXPECT_EQ(Module1::loadedcode, "a01sAhAia01wp\r\n"); // the line end included
    EXPECT_EQ(quoted.errors.str(), "");
    StartUp other('x' + path + 'y');
    EXPECT_TRUE(other.ran());
    StartUp unquoted(path); // loses a character of its own at each end
    EXPECT_FALSE(unquoted.ran());
    EXPECT_NE(unquoted.errors.str().find(": No such file or directory\n"), std::string::npos);
}

TEST_F(RunnerLogicTest, StartUpFailuresShowAnIdleWindowAndSayWhyOnlyOnStderr) {
    std::string labels;
    for (int i = 0; i < 100; ++i)
        labels += " v";
    const std::string tooMany = write("labels.tsp", labels);
    const std::string empty = write("empty.tsp", "");
    const struct {
        std::string argumentText, error;
    } cases[] = {
        {"", ""}, // started without a file: nothing to say
        {"x", "tessivor: no file name in the argument x\n"},
        {"\"\"", "tessivor: no file name in the argument \"\"\n"},
        {'"' + dir_.string() + '"', "tessivor: " + dir_.string() + ": Is a directory\n"},
        {'"' + tooMany + '"', "tessivor: " + tooMany + ": more than 99 labels; nothing ran\n"},
        {'"' + empty + '"', ""}, // runs, and passes its end at once: nothing shown
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argumentText);
        StartUp s(c.argumentText);
        EXPECT_TRUE(s.shown);
        EXPECT_TRUE(s.form.shownBoxes().messages.empty());
        EXPECT_EQ(s.form.t1, "");
        EXPECT_EQ(s.errors.str(), c.error);
    }
}

TEST(RunnerLogicDeathTest, ExitEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FakeForm1 form;
            form.exitClick();
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace tessivor
