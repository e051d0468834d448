#include "assembler/window/form1.h"

#include "platform/fake_dialogs.h"
#include "platform/files.h"
#include "platform/qt_testing.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>

namespace tessivor::assembler {
namespace {

namespace fs = std::filesystem;

using FakeDialog = platform::testing::FakeFileDialog;

struct FakeBoxes : platform::Boxes {
    std::vector<std::string> messages;
    void messageBox(std::string_view title, std::string_view text) override {
        EXPECT_EQ(title, "Tessivor ASM");
        messages.emplace_back(text);
    }
    std::string inputBox(std::string_view, std::string_view) override {
        ADD_FAILURE() << "the editor asks no questions";
        return {};
    }
};

std::string bytesOf(const fs::path& path) {
    std::string bytes, reason;
    EXPECT_TRUE(platform::readWholeFile(path, bytes, reason)) << path << ": " << reason;
    return bytes;
}

class EditorWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "form1_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) {
            new QApplication(argc, argv);
        }
    }

    /// Chooses the menu item, with the dialogs answering `answers` in turn.
    void choose(const char* item, std::deque<std::optional<std::string>> answers = {}) {
        dialog.answers = std::move(answers);
        form.findChild<QAction*>(item)->trigger();
        EXPECT_TRUE(dialog.answers.empty()) << item << " showed fewer dialogs than expected";
        EXPECT_EQ(dialog.unexpected, 0) << item << " showed more dialogs than expected";
        EXPECT_EQ(dialog.FileName, "") << item;
    }
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    int caret() const { return t1->textCursor().position(); }

    QTemporaryDir dir;
    FakeDialog dialog;
    FakeBoxes boxes;
    Form1 form{dialog, boxes};
    QPlainTextEdit* t1 = form.findChild<QPlainTextEdit*>("t1");
};

TEST_F(EditorWindowTest, ControlsCarryTheirCaptionsToTheAccessibilityApi) {
    using platform::testing::accessibleChildNames;
    form.show();
    EXPECT_EQ(accessibleChildNames(form.menuBar()), QStringList{"File"});
    QMenu* file = form.findChild<QMenu*>("file");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(accessibleChildNames(file), (QStringList{"New", "Save", "Load", "Compile", "Exit"}));
    // The text box is an editable text that reads out the source.
    t1->setPlainText("dsp 01\nend");
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(t1);
    EXPECT_EQ(box->role(), QAccessible::EditableText);
    EXPECT_FALSE(box->state().readOnly);
    ASSERT_NE(box->textInterface(), nullptr);
    EXPECT_EQ(box->textInterface()->text(0, box->textInterface()->characterCount()), "dsp 01\nend");
}

TEST_F(EditorWindowTest, NewEmptiesTheEditorAndTouchesNoDialog) {
    t1->setPlainText("dsp 01\nend");
    dialog.Filter = "untouched";
    choose("new");
    EXPECT_EQ(t1->toPlainText(), "");
    EXPECT_EQ(dialog.Filter, "untouched");
    EXPECT_TRUE(dialog.shown.empty());
}

TEST_F(EditorWindowTest, SaveLoadSaveKeepsEveryByte) {
    // All bytes but CR and LF, then every kind of line end a file can hold.
    std::string body;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') {
            body += static_cast<char>(b);
        }
    }
    std::string reason;
    ASSERT_TRUE(platform::writeTextFile(path("in.tsasm"), body + "\r\nx\ny\r\n", reason));
    choose("load", {path("in.tsasm")});
    choose("save", {path("out.tsasm")});
    EXPECT_EQ(bytesOf(path("out.tsasm")), body + "\r\nx\r\ny\r\n\r\n");
    choose("load", {path("out.tsasm")});
    choose("save", {path("again.tsasm")});
    EXPECT_EQ(bytesOf(path("again.tsasm")), bytesOf(path("out.tsasm")));

    ASSERT_EQ(dialog.shown.size(), 4u);
    for (const FakeDialog::Shown& shown : dialog.shown) {
        EXPECT_EQ(shown.filter, "Tessivor ASM File (*.tsasm) | *.tsasm");
        EXPECT_EQ(shown.fileName, "");
    }
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(EditorWindowTest, CancelledDialogsChangeNothingAndSayNothing) {
    t1->setPlainText("keep");
    choose("save", {std::nullopt});
    choose("load", {std::nullopt});
    EXPECT_EQ(t1->toPlainText(), "keep");
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_TRUE(fs::is_empty(dir.path().toStdString()));
}

TEST_F(EditorWindowTest, FailedSaveAndLoadNameTheFileAndTheReason) {
    t1->setPlainText("keep");
    choose("load", {path("missing.tsasm")});
    choose("save", {path("no/such/dir.tsasm")});
    choose("save", {dir.path().toStdString()});
    EXPECT_EQ(t1->toPlainText(), "keep");
    ASSERT_EQ(boxes.messages.size(), 3u);
    EXPECT_EQ(boxes.messages[0],
              "Could not load \"" + path("missing.tsasm") + "\": No such file or directory");
    EXPECT_EQ(boxes.messages[1],
              "Could not save \"" + path("no/such/dir.tsasm") + "\": No such file or directory");
    EXPECT_EQ(boxes.messages[2],
              "Could not save \"" + dir.path().toStdString() + "\": Is a directory");
    // The next dialog starts empty after a failed command.
    choose("load", {std::nullopt});
    EXPECT_EQ(dialog.shown.back().fileName, "");
}

TEST_F(EditorWindowTest, CompileWritesWhatTheCommandLineBuilderWritesForEveryExample) {
    int examples = 0;
    for (const auto& entry : fs::directory_iterator(TESSIVOR_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".tsasm") {
            continue;
        }
        ++examples;
        const QString example = QString::fromStdString(entry.path().string());
        ASSERT_EQ(
            QProcess::execute(TESSIVOR_CLI, {"build", "-o", dir.filePath("cli.tsp"), example}), 0);
        choose("load", {entry.path().string()});
        choose("compile", {path("a.tsp")});
        choose("compile", {path("b.tsp")});
        EXPECT_EQ(bytesOf(path("a.tsp")), bytesOf(path("cli.tsp"))) << example.toStdString();
        EXPECT_EQ(bytesOf(path("b.tsp")), bytesOf(path("cli.tsp"))) << example.toStdString();
        EXPECT_EQ(dialog.shown.back().filter, "Tessivor Program (*.tsp) | *.tsp");
    }
    EXPECT_GT(examples, 0);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(EditorWindowTest, UnclosedSetPutsTheCaretAfterTheLiteralsFirstCharacter) {
    // The caret offset counts each line end as two characters; the editor counts one.
    const struct {
        QString text;
        int caret;
    } cases[] = {
        {"dsp 01\nset 02, abc", 16},                        // after the "a"
        {QString::fromUtf8("\U0001F600\nset 02, \nx"), 12}, // between CR and LF: the next line
        {"set 01", 6},                                      // past the end: at the end
    };
    for (const auto& c : cases) {
        t1->setPlainText(c.text);
        choose("compile");
        EXPECT_EQ(caret(), c.caret) << c.text.toStdString();
        EXPECT_FALSE(t1->textCursor().hasSelection());
        EXPECT_EQ(t1->toPlainText(), c.text);
    }
    EXPECT_EQ(boxes.messages, std::vector<std::string>(3, "Error Compiling."));
    EXPECT_TRUE(dialog.shown.empty());
    EXPECT_TRUE(fs::is_empty(dir.path().toStdString()));
}

TEST_F(EditorWindowTest, CompileWithNoFileWrittenFailsWithTheCaretAtTheEnd) {
    t1->setPlainText("dsp 01\nend");
    for (const std::optional<std::string>& answer :
         {std::optional<std::string>(), std::optional(path("no/such/dir.tsp"))}) {
        t1->moveCursor(QTextCursor::Start);
        choose("compile", {answer});
        EXPECT_EQ(caret(), 10);
    }
    EXPECT_EQ(boxes.messages, std::vector<std::string>(2, "Error Compiling."));
    EXPECT_TRUE(fs::is_empty(dir.path().toStdString()));
}

TEST_F(EditorWindowTest, ExitEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    t1->setPlainText("unsaved");
    EXPECT_EXIT(form.findChild<QAction*>("exit")->trigger(), testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace tessivor::assembler
