#pragma once
// The source colours: each byte coloured by the part the translation gives it.

#include "assembler/translate/source_roles.h"

#include <QPalette>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <array>
#include <vector>

namespace tessivor::studio {

/// Colours mnemonics, operand columns, `set` texts and comments, and dims what the assembler
/// skips. A comment or a `set` text may run over many lines, so every block is coloured from
/// one reading of the whole text, made again after each change.
class SourceHighlighter : public QSyntaxHighlighter {
    Q_OBJECT

public:
    explicit SourceHighlighter(QTextDocument* document);

    /// The role of the character at `column` (0-based) of block `blockNumber`.
    SourceRole roleAt(int blockNumber, int column);
    /// The format a role is drawn in.
    const QTextCharFormat& roleFormat(SourceRole role) const {
        return formats_[static_cast<int>(role)];
    }
    /// Takes the colours from `palette` (each readable on its base and on the line the
    /// machine stands at) and colours the text again.
    void setColours(const QPalette& palette);

protected:
    void highlightBlock(const QString& text) override;

private:
    void createRules(const QPalette& palette);
    void readDocument();

    /// The rules: one format a role.
    std::array<QTextCharFormat, 6> formats_;
    bool stale_ = true;
    std::vector<SourceRole> roles_;
    std::vector<std::size_t> blockStart_; ///< the source offset of each block
};

} // namespace tessivor::studio
