// The Studio for every learner: names and descriptions for a screen reader on everything, the
// keyboard's paths between the panes, "Read the State", text size and contrast.

#include "studio/accessibility.h"

#include "platform/qt_testing.h"
#include "studio/code_editor.h"
#include "studio/highlighter.h"
#include "studio/studio_test_support.h"
#include "studio/studio_window.h"

#include <QAction>
#include <QDialog>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace tessivor::studio {
namespace {

using platform::testing::accessibleChildNames;
using platform::testing::accessibleText;

/// Answers nothing: a question in these tests is a failure.
struct NoDialogs : StudioDialogs {
    QString openFileName(const QString&) override { return fail("open"), QString(); }
    QString saveFileName(const QString&) override { return fail("save"), QString(); }
    Unsaved askToSave(const QString&) override { return fail("unsaved"), Unsaved::Discard; }
    std::optional<QString> input(const QString&, const QString&) override {
        return fail("input"), std::nullopt;
    }
    void error(const QString& text) override { fail(text.toStdString().c_str()); }
    void notice(const QString& text) override { fail(text.toStdString().c_str()); }
    bool askToSubstitute(const QString&, const QString&) override {
        return fail("substitute"), false;
    }
    Changed askChangedOnDisk(const QString&, bool) override {
        return fail("changed on disk"), Changed::Keep;
    }
    bool askToOverwrite(const QString&) override { return fail("overwrite"), false; }
    QString exportFileName(const QString&, const QString&) override {
        return fail("export"), QString();
    }
    QString testFileName(const QString&) override { return fail("test file"), QString(); }
    static void fail(const char* what) { ADD_FAILURE() << "unexpected question: " << what; }
};

using test_support::waitUntil;

class StudioAccessibilityTest : public test_support::StudioWindowFixture<NoDialogs> {};

TEST_F(StudioAccessibilityTest, EveryWidgetActionAndDockHasANameAndADescription) {
    QStringList missing;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        // Qt's own parts (scroll bars, headers, the docks' title buttons, the buttons of a tab
        // bar) are named by Qt.
        const QString id = widget->objectName();
        if (id.isEmpty() || id.startsWith(QStringLiteral("qt_"))) continue;
        if (qobject_cast<QTabBar*>(widget->parentWidget())) continue;
        if (qobject_cast<QDockWidget*>(widget)) continue; // below
        if (accessibleText(widget).isEmpty()) missing << id + QStringLiteral(": no name");
        if (accessibleText(widget, QAccessible::Description).isEmpty())
            missing << id + QStringLiteral(": no description");
    }
    for (QAction* act : window->findChildren<QAction*>()) {
        if (act->isSeparator() || act->text().isEmpty() || act->menu()) continue;
        const QString name = QString(act->text()).remove('&');
        if (act->statusTip().isEmpty() || act->statusTip() == name)
            missing << name + QStringLiteral(": no description");
    }
    for (QDockWidget* dock : window->findChildren<QDockWidget*>()) {
        if (accessibleText(dock).isEmpty()) missing << dock->objectName() + ": no name";
        // Qt 6.4's interface of a dock answers its name only; the description is set for the
        // versions that read it.
        if (dock->accessibleDescription().isEmpty())
            missing << dock->objectName() + ": no description";
        if (accessibleText(dock->widget()).isEmpty())
            missing << dock->objectName() + ": its pane has no name";
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral("\n")).toStdString();

    // A screen reader finds the menus and their commands by their captions.
    EXPECT_EQ(accessibleChildNames(window->menuBar()),
              (QStringList{"File", "Edit", "Run", "Debug", "View", "Help"}));
    const auto menu = [this](const char* title) -> QMenu* {
        for (QAction* act : window->menuBar()->actions())
            if (act->text() == QString::fromLatin1(title)) return act->menu();
        return nullptr;
    };
    ASSERT_NE(menu("&File"), nullptr);
    EXPECT_TRUE(accessibleChildNames(menu("&File")).contains("New"));
    ASSERT_NE(menu("&Run"), nullptr);
    const QStringList items = accessibleChildNames(menu("&Run"));
    for (const char* item : {"Build", "Run", "Pause", "Read the State"})
        EXPECT_TRUE(items.contains(item)) << item << " in " << items.join(", ").toStdString();
    ASSERT_NE(menu("&Debug"), nullptr);
    const QStringList moves = accessibleChildNames(menu("&Debug"));
    for (const char* item : {"Step", "Back", "Step Back Machine Step", "Back to Breakpoint",
                             "Go to Step...", "Toggle Breakpoint"})
        EXPECT_TRUE(moves.contains(item)) << item << " in " << moves.join(", ").toStdString();
    // The timeline reads as a slider whose value is the step it stands at.
    auto* timeline = window->findChild<QWidget*>("timeline");
    ASSERT_NE(timeline, nullptr);
    EXPECT_EQ(accessibleText(timeline), "Timeline");
    EXPECT_EQ(accessibleText(timeline, QAccessible::Value), "step 0 of 0");
    EXPECT_EQ(accessibleText(window->editor()), "Source");
}

TEST_F(StudioAccessibilityTest, EachStopAndReadTheStateAreAnnounced) {
    // What a screen reader reads when the status label tells it its name changed (Qt sends
    // the event only while an assistive technology listens).
    auto* said = window->findChild<QLabel*>("announcement");
    ASSERT_NE(said, nullptr);
    const auto heard = [said] { return accessibleText(said); };
    EXPECT_EQ(heard(), "Ready");
    action("readState")->trigger();
    EXPECT_EQ(heard(), "No program is running. F5 runs it, F10 steps through it.");

    window->editor()->setPlainText("set 01, 5;\nset 02, x;\ninc 01\ndsp 01\nend\n");
    window->editor()->toggleBreakpoint(3);
    trigger("run");
    EXPECT_EQ(heard(), "Paused at a breakpoint, line 3: inc 01");
    action("readState")->trigger();
    const QString sentence = QStringLiteral("Line 3 (inc 01): pc %1, cur 2, opb 0, opc 0 after %2 "
                                            "steps; cell 01 holds \"5\", cell 02 holds \"x\".")
                                 .arg(window->machine().state.pc)
                                 .arg(window->machine().state.steps);
    EXPECT_EQ(heard(), sentence);
    EXPECT_EQ(window->lastAnnouncement(), sentence);
    // The registers are text a screen reader reads with their names.
    auto* pc = window->findChild<QLabel*>("register_pc");
    EXPECT_EQ(accessibleText(pc), QStringLiteral("pc: %1").arg(window->machine().state.pc));
    EXPECT_EQ(accessibleText(pc, QAccessible::Description),
              "The position in the code string of the next operation");

    trigger("step");
    EXPECT_EQ(window->lastAnnouncement(), "Stepped, line 4: dsp 01");
    trigger("continue");
    EXPECT_EQ(window->lastAnnouncement(), "Program Terminated");
}

TEST_F(StudioAccessibilityTest, TheKeyboardGoesToEachPaneAndLeavesTheEditorWithCtrlTab) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const std::pair<const char*, const char*> panes[] = {
        {"goToCells", "cells"},       {"goToRegisters", "register_pc"}, {"goToOutput", "output"},
        {"goToMessages", "messages"}, {"goToProblems", "problems"},     {"goToEditor", "editor"},
    };
    int digit = 2;
    for (const auto& [act, widget] : panes) {
        action(act)->trigger();
        ASSERT_NE(window->focusWidget(), nullptr) << act;
        EXPECT_EQ(window->focusWidget()->objectName(), widget) << act;
        EXPECT_TRUE(window->focusWidget()->isVisible()) << act; // its tab raised
        if (std::string(act) != "goToEditor") {
            EXPECT_EQ(action(act)->shortcut(), QKeySequence(Qt::CTRL | (Qt::Key_0 + digit++)));
        }
    }
    EXPECT_EQ(action("goToEditor")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_1));

    // Keys, as a user presses them: Ctrl+2 from the editor, Tab types a tab, Ctrl+Tab leaves.
    window->editor()->setFocus();
    QTest::keyClick(window->editor(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(window->focusWidget()->objectName(), "cells");
    QTest::keyClick(window->focusWidget(), Qt::Key_1, Qt::ControlModifier);
    ASSERT_EQ(window->focusWidget(), window->editor());
    window->editor()->setPlainText("");
    QTest::keyClick(window->editor(), Qt::Key_Tab);
    EXPECT_EQ(window->editor()->toPlainText(), "\t");
    EXPECT_EQ(window->focusWidget(), window->editor());
    QTest::keyClick(window->editor(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_NE(window->focusWidget(), window->editor());
    EXPECT_EQ(window->editor()->toPlainText(), "\t");

    // F2 reads the state from wherever the keyboard is.
    QTest::keyClick(window->focusWidget(), Qt::Key_F2);
    EXPECT_EQ(window->lastAnnouncement(),
              "No program is running. F5 runs it, F10 steps through it.");
}

TEST_F(StudioAccessibilityTest, TheHelpMenuListsEveryShortcut) {
    QMenu* help = window->findChild<QMenu*>("help");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(accessibleChildNames(help).contains("Keyboard Shortcuts"));
    action("shortcuts")->trigger();
    auto* dialog = window->findChild<QDialog*>("shortcutsDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    auto* list = dialog->findChild<QTreeWidget*>("shortcuts");
    ASSERT_NE(list, nullptr);
    QMap<QString, QString> keys;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        keys[list->topLevelItem(i)->text(0)] = list->topLevelItem(i)->text(1);
    EXPECT_EQ(keys.value("Read the State"), "F2");
    EXPECT_EQ(keys.value("Go to Cells"), "Ctrl+2");
    EXPECT_EQ(keys.value("Go to Problems"), "Ctrl+6");
    EXPECT_EQ(keys.value("Step"), "F10");
    EXPECT_EQ(keys.value("Toggle Breakpoint"), "F9");
    EXPECT_EQ(keys.value("Normal Text Size"), "Ctrl+0");
    EXPECT_TRUE(keys.value("Larger Text").startsWith("Ctrl++"))
        << keys.value("Larger Text").toStdString();
    EXPECT_EQ(keys.value("Smaller Text"), "Ctrl+-");
    EXPECT_EQ(keys.value("Leave the editor (Tab types a tab)"), "Ctrl+Tab, Ctrl+Shift+Tab");
}

TEST_F(StudioAccessibilityTest, TextSizeGrowsInEveryPaneAndIsRemembered) {
    auto* cells = window->findChild<QTableWidget*>("cells");
    auto* output = window->findChild<QTreeWidget*>("output");
    auto* messages = window->findChild<QListWidget*>("messages");
    auto* pc = window->findChild<QLabel*>("register_pc");
    QMenu* help = window->findChild<QMenu*>("help");
    const auto sizes = [&] {
        return std::vector<qreal>{window->editor()->font().pointSizeF(),
                                  cells->font().pointSizeF(),
                                  output->font().pointSizeF(),
                                  messages->font().pointSizeF(),
                                  pc->font().pointSizeF(),
                                  help->font().pointSizeF(),
                                  cells->item(5, 1)->font().pointSizeF()};
    };
    const std::vector<qreal> before = sizes();
    const int rowHeight = cells->verticalHeader()->defaultSectionSize();
    action("zoomIn")->trigger();
    action("zoomIn")->trigger();
    const std::vector<qreal> larger = sizes();
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_DOUBLE_EQ(larger[i], before[i] + 4) << "pane " << i;
    EXPECT_GT(cells->verticalHeader()->defaultSectionSize(), rowHeight);

    // A new window (the next start) opens with the same size.
    window->editor()->document()->setModified(false);
    window.reset();
    window = makeWindow();
    help = window->findChild<QMenu*>("help");
    cells = window->findChild<QTableWidget*>("cells");
    output = window->findChild<QTreeWidget*>("output");
    messages = window->findChild<QListWidget*>("messages");
    pc = window->findChild<QLabel*>("register_pc");
    EXPECT_EQ(sizes(), larger);
    action("zoomOut")->trigger();
    EXPECT_DOUBLE_EQ(sizes()[0], before[0] + 2);
    action("zoomReset")->trigger();
    EXPECT_EQ(sizes(), before);
    for (int i = 0; i < 30; ++i)
        action("zoomOut")->trigger();
    EXPECT_GE(window->editor()->font().pointSizeF(), 6.0); // never unreadably small
}

/// Each role's colour reads at 4.5:1 on the base and on the current line; the marks at 3:1.
void expectReadable(const QPalette& palette, const char* name) {
    CodeEditor editor;
    editor.setPalette(palette);
    const QColor base = palette.color(QPalette::Base);
    const QColor line = executionLineColour(palette);
    for (const SourceRole role : {SourceRole::Skipped, SourceRole::Mnemonic, SourceRole::Operand,
                                  SourceRole::Text, SourceRole::Comment, SourceRole::OpenText}) {
        const QColor colour = editor.highlighter()->roleFormat(role).foreground().color();
        EXPECT_GE(contrastRatio(colour, base), 4.5) << name << " role " << int(role);
        EXPECT_GE(contrastRatio(colour, line), 4.5) << name << " role " << int(role);
    }
    EXPECT_GE(contrastRatio(editor.breakpointColour(), palette.color(QPalette::Window)), 3.0)
        << name;
    EXPECT_GE(contrastRatio(dimmedText(palette), base), 4.5) << name;
    if (contrastRatio(palette.color(QPalette::Text), base) >= 4.5) {
        EXPECT_LT(contrastRatio(dimmedText(palette), base),
                  contrastRatio(palette.color(QPalette::Text), base))
            << name << ": dimmed text is as strong as the text";
    }
}

TEST(StudioColours, EveryPaletteKeepsEveryRoleReadable) {
    platform::testing::application();
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    expectReadable(fusion->standardPalette(), "light");
    QPalette dark(QColor(0xe0, 0xe0, 0xe0), QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
    dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    expectReadable(dark, "dark");
    expectReadable(highContrastPalette(), "high contrast");
    // A palette whose own colours would not do: pale grey on white.
    QPalette pale = fusion->standardPalette();
    pale.setColor(QPalette::Text, QColor(0xc0, 0xc0, 0xc0));
    pale.setColor(QPalette::Highlight, QColor(0x90, 0x90, 0x90));
    expectReadable(pale, "pale");
}

TEST(StudioColours, ContrastRatiosAreWcags) {
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::red, Qt::red), 1.0);
    EXPECT_NEAR(contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.01);
    // Already readable: kept as it is; not readable: made darker on white, lighter on black.
    EXPECT_EQ(readableOn(QColor(0x1f, 0x4e, 0xb4), Qt::white), QColor(0x1f, 0x4e, 0xb4));
    const QColor onWhite = readableOn(QColor(0xff, 0xc0, 0x00), Qt::white);
    EXPECT_GE(contrastRatio(onWhite, Qt::white), 4.5);
    EXPECT_LT(onWhite.lightness(), QColor(0xff, 0xc0, 0x00).lightness());
    const QColor onBlack = readableOn(QColor(0x20, 0x20, 0x80), Qt::black);
    EXPECT_GE(contrastRatio(onBlack, Qt::black), 4.5);
}

TEST_F(StudioAccessibilityTest, HighContrastFollowsTheChoiceAndTheSystemPaletteOtherwise) {
    const QPalette system = QApplication::palette();
    auto* editor = window->editor();
    const QColor mnemonicBefore =
        editor->highlighter()->roleFormat(SourceRole::Mnemonic).foreground().color();
    action("highContrast")->trigger();
    EXPECT_TRUE(action("highContrast")->isChecked());
    EXPECT_EQ(QApplication::palette().color(QPalette::Base), QColor(Qt::black));
    QCoreApplication::processEvents();
    // The editor took its colours from the new palette, readable on black.
    const QColor mnemonic =
        editor->highlighter()->roleFormat(SourceRole::Mnemonic).foreground().color();
    EXPECT_NE(mnemonic, mnemonicBefore);
    EXPECT_GE(contrastRatio(mnemonic, Qt::black), 4.5);

    // Remembered: the next window starts in high contrast; unticked, the system's palette.
    window->editor()->document()->setModified(false);
    window.reset(); // gives the palette back
    EXPECT_EQ(QApplication::palette().color(QPalette::Base), system.color(QPalette::Base));
    window = makeWindow();
    EXPECT_TRUE(action("highContrast")->isChecked());
    EXPECT_EQ(QApplication::palette().color(QPalette::Base), QColor(Qt::black));
    action("highContrast")->trigger();
    EXPECT_EQ(QApplication::palette().color(QPalette::Base), system.color(QPalette::Base));
    QCoreApplication::processEvents();
    EXPECT_EQ(
        window->editor()->highlighter()->roleFormat(SourceRole::Mnemonic).foreground().color(),
        mnemonicBefore);
}

} // namespace
} // namespace tessivor::studio
