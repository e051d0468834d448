#include "platform/qt_source_text.h"

#include "platform/qt_text.h"
#include "platform/source_text.h"

namespace tessivor::platform {

namespace {

bool isLineBreak(QChar c) {
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == u'\n';
}

} // namespace

std::string sourceFromEditor(const QString& text) {
    QString crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (const QChar c : text) {
        if (isLineBreak(c)) {
            crlf += u"\r\n";
        } else {
            crlf += c;
        }
    }
    return fromQString(crlf);
}

QString editorTextFromSource(std::string_view source) {
    std::string lines;
    lines.reserve(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        lines += source[i];
        // The editor holds a line break as one character.
        if (source[i] == '\r' && i + 1 < source.size() && source[i + 1] == '\n') {
            lines.back() = '\n';
            ++i;
        }
    }
    return toQString(lines);
}

QString editorTextFromFile(std::string_view bytes) {
    return editorTextFromSource(sourceFromFile(bytes));
}

int editorPosition(const QString& text, std::size_t offset) {
    // Walks the text as sourceFromEditor() converts it: a line break is two bytes, a character
    // beyond the basic plane one byte ('?') for two units.
    std::size_t bytes = 0;
    qsizetype i = 0;
    while (i < text.size() && bytes < offset) {
        if (isLineBreak(text[i])) {
            bytes += 2;
            i += 1;
        } else if (text[i].isHighSurrogate() && i + 1 < text.size() &&
                   text[i + 1].isLowSurrogate()) {
            bytes += 1;
            i += 2;
        } else {
            bytes += 1;
            i += 1;
        }
    }
    return static_cast<int>(i);
}

} // namespace tessivor::platform
