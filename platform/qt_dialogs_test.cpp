#include "platform/qt_dialogs.h"

#include "platform/qt_testing.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace tessivor::platform {
namespace {

using testing::application;
using testing::whenModal;

TEST(ToQtNameFilter, TranslatesTheWindowsFilters) {
    EXPECT_EQ(toQtNameFilter("Tessivor Program (*.tsp) | *.tsp"),
              QStringLiteral("Tessivor Program (*.tsp)"));
    EXPECT_EQ(toQtNameFilter("Tessivor ASM File (*.tsasm) | *.tsasm"),
              QStringLiteral("Tessivor ASM File (*.tsasm)"));
    EXPECT_EQ(toQtNameFilter("Texts|*.txt;*.log|All (*.*)|*.*"),
              QStringLiteral("Texts (*.txt *.log);;All (*.*)"));
    EXPECT_EQ(toQtNameFilter("Anything"), QStringLiteral("Anything"));
    EXPECT_EQ(toQtNameFilter(""), QString());
}

TEST(QtBoxes, MessageBoxIsModalWithTitleTextOneOkAndNoIcon) {
    application();
    QWidget parent;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    qsizetype buttons = 0;
    Qt::TextFormat format = Qt::RichText;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        format = box->textFormat();
        buttons = box->buttons().size();
        box->button(QMessageBox::Ok)->click();
    });
    QtBoxes(&parent).messageBox("Tessivor", "<b>Program\xe9 Terminated</b>");
    EXPECT_EQ(title, QStringLiteral("Tessivor"));
    EXPECT_EQ(text, QString::fromUtf8("<b>Program\u00e9 Terminated</b>"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(buttons, 1);
}

TEST(QtBoxes, InputBoxGivesTheReplyAsLatin1AndCancelGivesEmpty) {
    application();
    QWidget parent;
    QString title, prompt, initial;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        prompt = dialog->labelText();
        initial = dialog->textValue();
        dialog->setTextValue(QString::fromUtf8("caf\u00e9 \u20ac5"));
        dialog->accept();
    });
    EXPECT_EQ(QtBoxes(&parent).inputBox("Tessivor", "Name\xbf"), "caf\xe9 ?5");
    EXPECT_EQ(title, QStringLiteral("Tessivor"));
    EXPECT_EQ(prompt, QString::fromUtf8("Name\u00bf"));
    EXPECT_EQ(initial, QString());

    whenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->setTextValue(QStringLiteral("typed, then cancelled"));
        dialog->reject();
    });
    EXPECT_EQ(QtBoxes(&parent).inputBox("Tessivor", "?"), "");
}

TEST(QtBoxes, InputBoxTakesRepliesLongerThanQtsDefaultLimit) {
    application();
    QWidget parent;
    whenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->setTextValue(QString(40'000, QLatin1Char('x')));
        dialog->accept();
    });
    EXPECT_EQ(QtBoxes(&parent).inputBox("Tessivor", "?"), std::string(40'000, 'x'));
}

/// Chooses `path` in an open file dialog as a user typing its name would. The dialog may
/// still be reading a folder in the background, with a row of its list selected, and a selected
/// row wins over a typed name; so the selection is cleared and this tries until it closes.
void choose(QFileDialog* dialog, const QString& path) {
    if (auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView")))
        view->clearSelection();
    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(path);
    else
        dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides accept()
    if (dialog->isVisible())
        QTimer::singleShot(20, dialog, [dialog, path] { choose(dialog, path); });
}

class QtFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        application();
        dir_ = std::filesystem::temp_directory_path() /
               ("tessivor-dialog-" + std::to_string(::getpid()) + "-" + std::to_string(++count_));
        std::filesystem::create_directories(dir_);
        program_ = dir_ / "prog.tsp";
        std::ofstream(program_) << "p\r\n";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static inline int count_ = 0;
    std::filesystem::path dir_, program_;
};

TEST_F(QtFileDialogTest, OpenSetsFileNameAndUsesTheTranslatedFilter) {
    QWidget parent;
    QtFileDialog comDlg(&parent);
    comDlg.Filter = "Tessivor Program (*.tsp) | *.tsp";
    QStringList filters;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptSave;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        mode = dialog->acceptMode();
        choose(dialog, QString::fromStdString(program_.string()));
    });
    EXPECT_TRUE(comDlg.ShowOpen());
    EXPECT_EQ(comDlg.FileName, program_.string());
    EXPECT_EQ(filters, QStringList{QStringLiteral("Tessivor Program (*.tsp)")});
    EXPECT_EQ(mode, QFileDialog::AcceptOpen);
}

TEST_F(QtFileDialogTest, CancelKeepsTheLastNameWhichTheNextDialogOffers) {
    QWidget parent;
    QtFileDialog comDlg(&parent);
    comDlg.FileName = program_.string();
    QStringList offered;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        offered = dialog->selectedFiles();
        dialog->reject();
    });
    EXPECT_FALSE(comDlg.ShowOpen());
    EXPECT_EQ(comDlg.FileName, program_.string());
    EXPECT_EQ(offered, QStringList{QString::fromStdString(program_.string())});
}

TEST_F(QtFileDialogTest, SaveAcceptsANewNameAndAsksNothingBeforeReplacing) {
    QWidget parent;
    QtFileDialog comDlg(&parent);
    const auto fresh = dir_ / "new.tsp";
    bool confirms = true;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        choose(dialog, QString::fromStdString(fresh.string()));
    });
    EXPECT_TRUE(comDlg.ShowSave());
    EXPECT_EQ(comDlg.FileName, fresh.string());
    EXPECT_FALSE(confirms);
}

} // namespace
} // namespace tessivor::platform
