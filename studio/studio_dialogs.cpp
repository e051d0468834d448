#include "studio/studio_dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

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
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    // The prompt is the program's text, never markup.
    for (auto* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

void QtStudioDialogs::error(const QString& text) {
    QMessageBox box(QMessageBox::Critical, kTitle, text, QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace tessivor::studio
