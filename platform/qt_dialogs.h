#pragma once
// The Qt implementations of the file dialog and the boxes of platform/dialogs.h.

#include "platform/dialogs.h"

#include <QString>

#include <string_view>

class QWidget;

namespace tessivor::platform {

/// A filter as the windows write it ("Tessivor Program (*.tsp) | *.tsp": description and
/// patterns separated by "|", pairs one after another, patterns separated by ";") as a Qt name
/// filter list ("Tessivor Program (*.tsp)", pairs joined by ";;"). Empty for an empty filter.
QString toQtNameFilter(std::string_view filter);

/// The common file dialog on a QFileDialog. FileName holds the name in the system's file-name
/// encoding, ready for std::filesystem::path. The dialogs ask no question before a file is
/// replaced and accept a name that does not exist; the caller finds out when it opens it.
class QtFileDialog : public FileDialog {
public:
    explicit QtFileDialog(QWidget* parent);

    bool ShowOpen() override;
    bool ShowSave() override;
    /// FileName as it stands: it is in the file-name encoding already.
    std::filesystem::path path() const override;
    /// FileName decoded from the file-name encoding, as Latin-1 bytes.
    std::string displayName() const override;

private:
    bool show(bool save);

    QWidget* parent_;
};

/// Message and input boxes on QMessageBox and QInputDialog, modal to the parent window. Texts
/// are shown as plain text, never as markup.
class QtBoxes : public Boxes {
public:
    explicit QtBoxes(QWidget* parent);

    void messageBox(std::string_view title, std::string_view text) override;
    std::string inputBox(std::string_view title, std::string_view prompt) override;

private:
    QWidget* parent_;
};

} // namespace tessivor::platform
