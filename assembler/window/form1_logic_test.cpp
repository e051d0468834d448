// The editor window's commands on fakes, on every system the windows are built for (under
// Wine too): what each writes and reads, what it says, where the caret goes.

#include "assembler/window/form1_logic.h"

#include "platform/fake_dialogs.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>

namespace tessivor::assembler {
namespace {

namespace fs = std::filesystem;
using platform::testing::FakeBoxes;
using platform::testing::FakeFileDialog;

/// An editor box that holds the source as it is given.
class FakeForm1 final : public Form1Logic {
public:
    FakeForm1(FakeFileDialog& dialog, FakeBoxes& boxes) : Form1Logic(&dialog, &boxes) {}

    std::string t1;
    std::optional<std::size_t> caret;

    std::string sourceText() const override { return t1; }
    void setSourceText(std::string_view source) override { t1 = source; }
    void setCaret(std::size_t offset) override { caret = offset; }
};

std::string bytesOf(const fs::path& path) {
    std::string bytes, reason;
    EXPECT_TRUE(platform::readWholeFile(path, bytes, reason)) << path << ": " << reason;
    return bytes;
}

class EditorLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tessivor-editor-logic-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    /// Runs the command with the dialogs answering `answers` in turn.
    void choose(void (Form1Logic::*command)(),
                std::deque<std::optional<std::string>> answers = {}) {
        dialog.answers = std::move(answers);
        (form.*command)();
        EXPECT_TRUE(dialog.answers.empty()) << "fewer dialogs than expected";
        EXPECT_EQ(dialog.unexpected, 0) << "more dialogs than expected";
        EXPECT_EQ(dialog.FileName, "");
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
    FakeFileDialog dialog;
    FakeBoxes boxes;
    FakeForm1 form{dialog, boxes};
};

TEST_F(EditorLogicTest, NewEmptiesTheEditorAndTouchesNoDialog) {
    form.t1 = "dsp 01\r\nend";
    dialog.Filter = "untouched";
    choose(&Form1Logic::new_);
    EXPECT_EQ(form.t1, "");
    EXPECT_EQ(dialog.Filter, "untouched");
    EXPECT_TRUE(dialog.shown.empty());
}

TEST_F(EditorLogicTest, SaveLoadSaveKeepsEveryByteAndTheTextDoesNotGrow) {
    std::string body;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') body += static_cast<char>(b);
    }
    form.t1 = body + "\r\nx\r\n";
    choose(&Form1Logic::save, {path("a.tsasm")});
    EXPECT_EQ(bytesOf(path("a.tsasm")), body + "\r\nx\r\n\r\n");
    form.t1.clear();
    choose(&Form1Logic::load, {path("a.tsasm")});
    EXPECT_EQ(form.t1, body + "\r\nx\r\n");
    choose(&Form1Logic::save, {path("b.tsasm")});
    EXPECT_EQ(bytesOf(path("b.tsasm")), bytesOf(path("a.tsasm")));
    // Any line end a file holds comes in as CR LF.
    std::string reason;
    ASSERT_TRUE(platform::writeTextFile(path("lf.tsasm"), "a\nb\rc", reason));
    choose(&Form1Logic::load, {path("lf.tsasm")});
    EXPECT_EQ(form.t1, "a\r\nb\r\nc");

    for (const FakeFileDialog::Shown& shown : dialog.shown) {
        EXPECT_EQ(shown.filter, "Tessivor ASM File (*.tsasm) | *.tsasm");
        EXPECT_EQ(shown.fileName, "");
    }
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(EditorLogicTest, ALongSourceIsSavedAndLoadedWhole) {
    std::string source;
    while (source.size() < 10'000'000)
        source += "set 01, a long text without an end in sight;\r\n";
    form.t1 = source;
    choose(&Form1Logic::save, {path("long.tsasm")});
    form.t1.clear();
    choose(&Form1Logic::load, {path("long.tsasm")});
    EXPECT_EQ(form.t1.size(), source.size());
    EXPECT_TRUE(form.t1 == source);
}

TEST_F(EditorLogicTest, CancelledDialogsChangeNothingAndSayNothing) {
    form.t1 = "keep";
    choose(&Form1Logic::save, {std::nullopt});
    choose(&Form1Logic::load, {std::nullopt});
    EXPECT_EQ(form.t1, "keep");
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(EditorLogicTest, FailedSaveAndLoadNameTheFileAndTheReason) {
    form.t1 = "keep";
    const std::string missing = path("missing.tsasm");
    const std::string noDir = (dir_ / "no" / "dir.tsasm").string();
    choose(&Form1Logic::load, {missing});
    choose(&Form1Logic::save, {noDir});
    choose(&Form1Logic::load, {dir_.string()});
    EXPECT_EQ(form.t1, "keep");
    EXPECT_EQ(boxes.messages,
              (std::vector<FakeBoxes::Shown>{
                  {"Tessivor ASM", "Could not load \"" + missing + "\": No such file or directory"},
                  {"Tessivor ASM", "Could not save \"" + noDir + "\": No such file or directory"},
                  {"Tessivor ASM", "Could not load \"" + dir_.string() + "\": Is a directory"}}));
    // The next dialog starts empty after a failed command.
    choose(&Form1Logic::load, {std::nullopt});
    EXPECT_EQ(dialog.shown.back().fileName, "");
}

TEST_F(EditorLogicTest, CompileWritesTheExamplesProgramFile) {
    choose(&Form1Logic::load, {std::string(TESSIVOR_EXAMPLES_DIR) + "/hello.tsasm"});
    choose(&Form1Logic::compile, {path("a.tsp")});
    choose(&Form1Logic::compile, {path("b.tsp")});
    const std::string expected = bytesOf(std::string(TESSIVOR_EXAMPLES_DIR) + "/hello.tsp");
    EXPECT_EQ(bytesOf(path("a.tsp")), expected);
    EXPECT_EQ(bytesOf(path("b.tsp")), expected);
    EXPECT_EQ(dialog.shown.back().filter, "Tessivor Program (*.tsp) | *.tsp");
    EXPECT_EQ(dialog.shown.back().fileName, "");
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(EditorLogicTest, CompileFailuresSayErrorCompilingAndPlaceTheCaret) {
    const FakeBoxes::Shown error{"Tessivor ASM", "Error Compiling."};
    // A "set" without ";": just after the first character of its would-be text.
    form.t1 = "dsp 01\r\nset 02, abc";
    choose(&Form1Logic::compile);
    EXPECT_EQ(form.caret, 17u);
    EXPECT_TRUE(fs::is_empty(dir_));
    // No file written: past the end of the text.
    form.t1 = "dsp 01\r\nend";
    choose(&Form1Logic::compile, {std::nullopt});
    EXPECT_EQ(form.caret, 12u);
    choose(&Form1Logic::compile, {(dir_ / "no" / "dir.tsp").string()});
    EXPECT_EQ(form.caret, 12u);
    EXPECT_EQ(boxes.messages, std::vector<FakeBoxes::Shown>(3, error));
    EXPECT_EQ(form.t1, "dsp 01\r\nend");
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST(EditorLogicDeathTest, ExitEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    FakeFileDialog dialog;
    FakeBoxes boxes;
    FakeForm1 form(dialog, boxes);
    form.t1 = "unsaved";
    EXPECT_EXIT(form.exit(), ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace tessivor::assembler
