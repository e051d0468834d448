#include "studio/studio_dialogs.h"

#include "studio/input_dialog.h"

#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace tessivor::studio {
namespace {
const QString kSourceFilter = QStringLiteral("Tessivor ASM File (*.tsasm);;All files (*)");
const QString kTitle = QStringLiteral("Tessivor Studio");
} // namespace

QString QtStudioDialogs::openFileName(const QString& folder) {
    return QFileDialog::getOpenFileName(parent_, QStringLiteral("Open"), folder, kSourceFilter);
}

QString QtStudioDialogs::saveFileName(const QString& suggested) {
    QFileDialog dialog(parent_, QStringLiteral("Save As"), suggested, kSourceFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("tsasm"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

StudioDialogs::Unsaved QtStudioDialogs::askToSave(const QString& document) {
    QMessageBox box(QMessageBox::Warning, kTitle,
                    QStringLiteral("Save the changes to \"%1\"?").arg(document),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(QStringLiteral("Your changes are lost if you don't save them."));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save: return Unsaved::Save;
    case QMessageBox::Discard: return Unsaved::Discard;
    default: return Unsaved::Cancel;
    }
}

std::optional<QString> QtStudioDialogs::input(const QString& title, const QString& prompt) {
    InputDialog dialog(title, prompt, parent_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.reply();
}

void QtStudioDialogs::error(const QString& text) {
    QMessageBox box(QMessageBox::Critical, kTitle, text, QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtStudioDialogs::notice(const QString& text) {
    QMessageBox box(QMessageBox::Information, kTitle, text, QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtStudioDialogs::askToSubstitute(const QString& document, const QString& lost) {
    QMessageBox box(QMessageBox::Warning, kTitle,
                    QStringLiteral("\"%1\" holds characters a source file cannot keep: %2.")
                        .arg(document, lost),
                    QMessageBox::Cancel, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(
        QStringLiteral("A source keeps one byte a character (up to U+00FF). Replace writes "
                       "straight quotes for curly ones, - for dashes and ? for the rest, in "
                       "the editor as in the file. Cancel saves nothing."));
    QPushButton* replace =
        box.addButton(QStringLiteral("&Replace and Save"), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == replace;
}

StudioDialogs::Changed QtStudioDialogs::askChangedOnDisk(const QString& document, bool unsaved) {
    QMessageBox box(QMessageBox::Question, kTitle,
                    QStringLiteral("\"%1\" was changed on disk by another program.").arg(document),
                    QMessageBox::NoButton, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(unsaved ? QStringLiteral("Reload takes the file's text and throws "
                                                    "away your unsaved changes; Keep Mine "
                                                    "keeps the editor's text.")
                                   : QStringLiteral("Reload takes the file's text; Keep Mine "
                                                    "keeps the editor's text."));
    QPushButton* reload = box.addButton(QStringLiteral("&Reload"), QMessageBox::AcceptRole);
    QPushButton* keep = box.addButton(QStringLiteral("&Keep Mine"), QMessageBox::RejectRole);
    box.setDefaultButton(unsaved ? keep : reload);
    box.setEscapeButton(keep);
    box.exec();
    return box.clickedButton() == reload ? Changed::Reload : Changed::Keep;
}

bool QtStudioDialogs::askToOverwrite(const QString& document) {
    QMessageBox box(
        QMessageBox::Warning, kTitle,
        QStringLiteral("\"%1\" was changed on disk since it was opened or saved.").arg(document),
        QMessageBox::Cancel, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(QStringLiteral("Save Anyway replaces what the other program wrote "
                                          "with your text. Cancel saves nothing."));
    QPushButton* save = box.addButton(QStringLiteral("&Save Anyway"), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == save;
}

QString QtStudioDialogs::testFileName(const QString& folder) {
    return QFileDialog::getOpenFileName(parent_, QStringLiteral("Open a Test File"), folder,
                                        QStringLiteral("Test files (*.toml);;All files (*)"));
}

QString QtStudioDialogs::exportFileName(const QString& caption, const QString& suggested) {
    QFileDialog dialog(parent_, caption, suggested,
                       QStringLiteral("Text files (*.txt);;All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace tessivor::studio
