#include "runner/window/module1.h"

#include "runner/window/window_testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace tessivor {
namespace {

using testing::FakeBoxes;
using testing::TestWindow;

/// Runs the start-up routine on a raw argument text with a window on fakes.
struct StartUp {
    TestWindow* window = nullptr;
    std::unique_ptr<Form1> form;
    std::ostringstream errors;
    std::unique_ptr<TestWindow> made;

    explicit StartUp(std::string_view argumentText) {
        form = Module1::startUp(
            argumentText,
            [this] {
                made = std::make_unique<TestWindow>();
                window = made.get();
                return std::move(made->form);
            },
            errors);
    }
    bool ran() const { return !window->boxes->messages.empty(); }
    QString display() const { return form->findChild<QLineEdit*>(QStringLiteral("t1"))->text(); }
};

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Relative names below are relative to this folder.
        dir_ = std::filesystem::temp_directory_path() /
               ("tessivor-startup-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        std::ofstream("prog.tsp", std::ios::binary) << kHello;
        Module1::loadedcode.clear();
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }

    static constexpr const char* kHello = "a01sAhAia01wp\r\n";
    std::filesystem::path dir_, previous_;
};

TEST_F(StartUpTest, APathInDoubleQuotesRunsAtOnceInTheShownWindow) {
    StartUp s("\"prog.tsp\"");
    EXPECT_TRUE(s.form->isVisible());
    EXPECT_EQ(Module1::loadedcode, kHello); // the line end included
    EXPECT_EQ(s.display(), QStringLiteral("hi"));
    EXPECT_EQ(s.window->boxes->messages,
              (std::vector<FakeBoxes::Message>{{"Tessivor", "Program Terminated", "hi"}}));
    EXPECT_EQ(s.errors.str(), "");
}

TEST_F(StartUpTest, FirstAndLastCharactersAreDroppedWhateverTheyAre) {
    StartUp s("xprog.tspy");
    EXPECT_TRUE(s.ran());
    StartUp unquoted("prog.tsp"); // becomes "rog.ts"
    EXPECT_FALSE(unquoted.ran());
    EXPECT_EQ(unquoted.errors.str(), "tessivor: rog.ts: No such file or directory\n");
}

TEST_F(StartUpTest, FailuresOpenAnIdleWindowAndSayWhyOnlyOnStderr) {
    struct Case {
        const char* argumentText;
        const char* error;
    };
    for (const Case& c : {
             Case{"", ""}, // started without a file: nothing to say
             Case{"x", "tessivor: no file name in the argument x\n"},
             Case{"\"\"", "tessivor: no file name in the argument \"\"\n"},
             Case{"\"missing.tsp\"", "tessivor: missing.tsp: No such file or directory\n"},
             Case{"\".\"", "tessivor: .: Is a directory\n"},
         }) {
        SCOPED_TRACE(c.argumentText);
        StartUp s(c.argumentText);
        EXPECT_TRUE(s.form->isVisible());
        EXPECT_FALSE(s.ran());
        EXPECT_EQ(s.form->windowTitle(), QStringLiteral("Tessivor 0.1"));
        EXPECT_EQ(s.display(), QString());
        EXPECT_EQ(s.errors.str(), c.error);
        EXPECT_EQ(Module1::loadedcode, "");
    }
}

TEST_F(StartUpTest, AProgramThatCannotBePreparedIsReportedOnStderr) {
    std::string labels;
    for (int i = 0; i < 100; ++i)
        labels += " v";
    std::ofstream("labels.tsp", std::ios::binary) << labels;
    StartUp s("\"labels.tsp\"");
    EXPECT_FALSE(s.ran());
    EXPECT_EQ(s.errors.str(), "tessivor: labels.tsp: more than 99 labels; nothing ran\n");
}

TEST_F(StartUpTest, ProgramsWithoutEndAndEmptyFilesEndSilently) {
    std::ofstream("noend.tsp", std::ios::binary) << "a01sAxa01w\r\n";
    std::ofstream("empty.tsp", std::ios::binary);
    StartUp noEnd("\"noend.tsp\"");
    EXPECT_EQ(noEnd.display(), QStringLiteral("x"));
    StartUp empty("\"empty.tsp\"");
    for (const StartUp* s : {&noEnd, &empty}) {
        EXPECT_FALSE(s->ran());
        EXPECT_EQ(s->errors.str(), "");
    }
}

} // namespace
} // namespace tessivor
