#include "platform/qt_dialogs.h"

#include "platform/qt_text.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>

#include <climits>

namespace tessivor::platform {

QString toQtNameFilter(std::string_view filter) {
    if (filter.empty()) return {};
    const QStringList parts = toQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        if (i + 1 >= parts.size()) {
            // A description without patterns: Qt then shows it and matches every file.
            filters << description;
            break;
        }
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << pattern.trimmed();
        const QString inParentheses =
            QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        // Qt reads the patterns from the parentheses at the end of the text.
        if (description.endsWith(inParentheses))
            filters << description;
        else
            filters << (description + QLatin1Char(' ') + inParentheses).trimmed();
    }
    return filters.join(QStringLiteral(";;"));
}

QtFileDialog::QtFileDialog(QWidget* parent) : parent_(parent) {}

bool QtFileDialog::ShowOpen() { return show(false); }

bool QtFileDialog::ShowSave() { return show(true); }

bool QtFileDialog::show(bool save) {
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Any name is accepted and an existing file is replaced without a question; the command
    // that asked learns of a missing file when it opens it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QString nameFilter = toQtNameFilter(Filter);
    if (!nameFilter.isEmpty()) dialog.setNameFilter(nameFilter);
    if (!FileName.empty()) {
        const QFileInfo last(QFile::decodeName(QByteArray::fromStdString(FileName)));
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    FileName = QFile::encodeName(chosen.first()).toStdString();
    return true;
}

std::filesystem::path QtFileDialog::path() const { return FileName; }

std::string QtFileDialog::displayName() const {
    return fromQString(QFile::decodeName(QByteArray::fromStdString(FileName)));
}

QtBoxes::QtBoxes(QWidget* parent) : parent_(parent) {}

void QtBoxes::messageBox(std::string_view title, std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, toQString(title), toQString(text), QMessageBox::Ok,
                    parent_);
    // A program's text is shown as it stands, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::string QtBoxes::inputBox(std::string_view title, std::string_view prompt) {
    QInputDialog dialog(parent_);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(toQString(title));
    dialog.setLabelText(toQString(prompt));
    dialog.setTextValue(QString());
    // A reply may fill a cell; Qt's line edit would cut it at 32,767 characters.
    for (QLineEdit* edit : dialog.findChildren<QLineEdit*>())
        edit->setMaxLength(INT_MAX);
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    if (dialog.exec() != QDialog::Accepted) return {};
    return fromQString(dialog.textValue());
}

} // namespace tessivor::platform
