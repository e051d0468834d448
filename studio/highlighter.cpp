#include "studio/highlighter.h"

#include "platform/qt_source_text.h"
#include "studio/accessibility.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTextDocument>

namespace tessivor::studio {
namespace {

/// A source byte's index for each character of `text`: a character beyond the basic plane is
/// one byte ('?') for two UTF-16 units.
template <typename F> void forEachByte(const QString& text, F f) {
    std::size_t byte = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        f(i, pair ? 2 : 1, byte);
        ++byte;
        if (pair) ++i;
    }
}

} // namespace

SourceHighlighter::SourceHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(static_cast<QObject*>(document)) {
    createRules(QGuiApplication::palette());
    // Connected before the highlighter's own handler, so the text is read again before any
    // block of the changed text is coloured.
    connect(document, &QTextDocument::contentsChange, this, [this] { stale_ = true; });
    setDocument(document);
}

void SourceHighlighter::setColours(const QPalette& palette) {
    createRules(palette);
    rehighlight();
}

void SourceHighlighter::createRules(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor line = executionLineColour(palette);
    // The hues of a light theme, lighter on a dark base, then made readable on both the base
    // and the current line's background whatever the palette.
    const bool dark = base.lightness() < 128;
    const auto readable = [&](QColor colour) {
        return readableOn(dark ? colour.lighter(170) : colour, base, line);
    };
    const auto format = [this](SourceRole role) -> QTextCharFormat& {
        return formats_[static_cast<int>(role)];
    };
    format(SourceRole::Skipped)
        .setForeground(readableOn(blend(palette.color(QPalette::Text), 0.45, base), base, line));
    auto& mnemonic = format(SourceRole::Mnemonic);
    mnemonic.setForeground(readable(QColor(0x1f, 0x4e, 0xb4)));
    mnemonic.setFontWeight(QFont::Bold);
    format(SourceRole::Operand).setForeground(readable(QColor(0xa3, 0x4a, 0x00)));
    format(SourceRole::Text).setForeground(readable(QColor(0x1a, 0x7f, 0x37)));
    auto& comment = format(SourceRole::Comment);
    comment.setForeground(readable(QColor(0x6a, 0x73, 0x7d)));
    comment.setFontItalic(true);
    auto& open = format(SourceRole::OpenText);
    open.setForeground(readable(QColor(0x1a, 0x7f, 0x37)));
    open.setUnderlineStyle(QTextCharFormat::DotLine);
    open.setUnderlineColor(readableOn(QColor(0xcf, 0x22, 0x2e), base, line, 3.0));
}

void SourceHighlighter::readDocument() {
    if (!stale_) return;
    stale_ = false;
    const QTextDocument* doc = document();
    blockStart_.clear();
    std::size_t offset = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        blockStart_.push_back(offset);
        std::size_t bytes = 0;
        forEachByte(block.text(), [&](qsizetype, int, std::size_t) { ++bytes; });
        offset += bytes + 2; // CR LF
    }
    roles_ = sourceRoles(platform::sourceFromEditor(doc->toRawText()));
}

SourceRole SourceHighlighter::roleAt(int blockNumber, int column) {
    readDocument();
    const QTextBlock block = document()->findBlockByNumber(blockNumber);
    if (!block.isValid() || blockNumber >= static_cast<int>(blockStart_.size()))
        return SourceRole::Skipped;
    SourceRole role = SourceRole::Skipped;
    forEachByte(block.text(), [&](qsizetype i, int, std::size_t byte) {
        const std::size_t at = blockStart_[blockNumber] + byte;
        if (i == column && at < roles_.size()) role = roles_[at];
    });
    return role;
}

void SourceHighlighter::highlightBlock(const QString& text) {
    readDocument();
    const int number = currentBlock().blockNumber();
    if (number < 0 || number >= static_cast<int>(blockStart_.size())) return;
    const std::size_t start = blockStart_[number];
    // Runs of one role become one format.
    qsizetype runFrom = 0;
    int runLength = 0;
    SourceRole runRole = SourceRole::Skipped;
    forEachByte(text, [&](qsizetype i, int units, std::size_t byte) {
        const std::size_t at = start + byte;
        const SourceRole role = at < roles_.size() ? roles_[at] : SourceRole::Skipped;
        if (runLength > 0 && role != runRole) {
            setFormat(static_cast<int>(runFrom), runLength, formats_[static_cast<int>(runRole)]);
            runLength = 0;
        }
        if (runLength == 0) {
            runFrom = i;
            runRole = role;
        }
        runLength += units;
    });
    if (runLength > 0)
        setFormat(static_cast<int>(runFrom), runLength, formats_[static_cast<int>(runRole)]);

    // A block's state is a digest of the roles of the block after it: when an edit here changes
    // how the next block reads (a comment or a `set` text opened or closed), the state changes
    // and the highlighter goes on to colour that block too, and so on down the text.
    std::size_t digest = 1469598103u;
    if (number + 1 < static_cast<int>(blockStart_.size())) {
        const std::size_t end = number + 2 < static_cast<int>(blockStart_.size())
                                    ? blockStart_[number + 2]
                                    : roles_.size();
        for (std::size_t at = blockStart_[number + 1]; at < end && at < roles_.size(); ++at)
            digest = (digest ^ static_cast<std::size_t>(roles_[at])) * 16777619u;
    }
    setCurrentBlockState(static_cast<int>(digest & 0x7fffffff));
}

} // namespace tessivor::studio
