#pragma once
// The questions the Studio asks, behind an interface so tests can answer them.

#include <QString>

#include <optional>

class QWidget;

namespace tessivor::studio {

class StudioDialogs {
public:
    enum class Unsaved { Save, Discard, Cancel };
    enum class Changed { Reload, Keep };

    virtual ~StudioDialogs() = default;

    /// The source file to open, or "" when cancelled.
    virtual QString openFileName(const QString& folder) = 0;
    /// The name to save the source under, or "" when cancelled; asks before replacing a file.
    virtual QString saveFileName(const QString& suggested) = 0;
    /// Whether to save the changes to `document` before they would be lost.
    virtual Unsaved askToSave(const QString& document) = 0;
    /// The running program's question: the typed text, or nothing when cancelled.
    virtual std::optional<QString> input(const QString& title, const QString& prompt) = 0;
    /// A failure the user must see at once (a file that could not be read or written).
    virtual void error(const QString& text) = 0;
    /// Something the user must know that is no failure (a file gone from the disk).
    virtual void notice(const QString& text) = 0;

    /// `document` holds characters a source file cannot (`lost` names them): true to write
    /// each as its plain stand-in, in the editor too; false to write nothing.
    virtual bool askToSubstitute(const QString& document, const QString& lost) = 0;
    /// Another program changed `document`'s file: take its text (Reload) or keep the editor's.
    /// `unsaved`: the editor has changes of its own, which Reload throws away.
    virtual Changed askChangedOnDisk(const QString& document, bool unsaved) = 0;
    /// Saving would replace what another program wrote into `document`'s file: true to save.
    virtual bool askToOverwrite(const QString& document) = 0;
    /// A file name to export to (the output log, a trace), or "" when cancelled.
    virtual QString exportFileName(const QString& caption, const QString& suggested) = 0;
    /// A teacher's test file (.toml) to test the program with, or "" when cancelled.
    virtual QString testFileName(const QString& folder) = 0;
};

/// The questions as Qt's standard dialogs, modal to `parent`.
class QtStudioDialogs : public StudioDialogs {
public:
    explicit QtStudioDialogs(QWidget* parent) : parent_(parent) {}

    QString openFileName(const QString& folder) override;
    QString saveFileName(const QString& suggested) override;
    Unsaved askToSave(const QString& document) override;
    std::optional<QString> input(const QString& title, const QString& prompt) override;
    void error(const QString& text) override;
    void notice(const QString& text) override;
    bool askToSubstitute(const QString& document, const QString& lost) override;
    Changed askChangedOnDisk(const QString& document, bool unsaved) override;
    bool askToOverwrite(const QString& document) override;
    QString exportFileName(const QString& caption, const QString& suggested) override;
    QString testFileName(const QString& folder) override;

private:
    QWidget* parent_;
};

} // namespace tessivor::studio
