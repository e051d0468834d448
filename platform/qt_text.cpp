#include "platform/qt_text.h"

namespace tessivor::platform {

QString toQString(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string fromQString(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() <= 0xFF) {
            bytes += static_cast<char>(c.unicode());
            continue;
        }
        // A character beyond the basic plane is two UTF-16 units but still one character.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
        bytes += '?';
    }
    return bytes;
}

} // namespace tessivor::platform
