#include "studio/source_file.h"

#include "platform/files.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>

namespace tessivor::studio {
namespace {

bool isLineBreak(QChar c) {
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == u'\n';
}

/// The first line end in `bytes`; "" when there is none.
std::string_view firstLineEnd(std::string_view bytes) {
    const std::size_t at = bytes.find_first_of("\r\n");
    if (at == std::string_view::npos) return {};
    if (bytes[at] == '\n') return "\n";
    return at + 1 < bytes.size() && bytes[at + 1] == '\n' ? std::string_view("\r\n")
                                                          : std::string_view("\r");
}

} // namespace

LoadedSource decodeSource(std::string_view bytes) {
    LoadedSource out;
    const std::string_view end = firstLineEnd(bytes);
    if (!end.empty()) out.format.lineEnd = std::string(end);
    out.format.finalLineEnd = !end.empty() && bytes.ends_with(out.format.lineEnd);
    std::string_view body = bytes;
    if (out.format.finalLineEnd) body.remove_suffix(out.format.lineEnd.size());
    std::string lines;
    lines.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\r') {
            // The editor holds no CR of its own: a lone one breaks a line as well.
            lines += '\n';
            if (i + 1 < body.size() && body[i + 1] == '\n') ++i;
        } else {
            lines += body[i];
        }
    }
    out.text = QString::fromLatin1(lines.data(), static_cast<qsizetype>(lines.size()));
    out.exact = encodeSource(out.text, out.format).bytes == bytes;
    return out;
}

EncodedSource encodeSource(const QString& text, const SourceFormat& format) {
    EncodedSource out;
    out.bytes.reserve(static_cast<std::size_t>(text.size()) + 2);
    int line = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isLineBreak(c)) {
            out.bytes += format.lineEnd;
            ++line;
        } else if (c.unicode() <= 0xFF) {
            out.bytes += static_cast<char>(c.unicode());
        } else {
            LostCharacter lost;
            lost.position = static_cast<int>(i);
            lost.line = line;
            lost.character = c.unicode();
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                lost.character = QChar::surrogateToUcs4(c, text[i + 1]);
                lost.length = 2;
                ++i;
            }
            out.lost.push_back(lost);
            out.bytes += '?';
        }
    }
    if (format.finalLineEnd) out.bytes += format.lineEnd;
    return out;
}

QString plainSubstitute(char32_t character) {
    switch (character) {
    case 0x2018: // ‘ ’ ‚ ‛ ′
    case 0x2019:
    case 0x201A:
    case 0x201B:
    case 0x2032: return QStringLiteral("'");
    case 0x201C: // “ ” „ ‟ ″
    case 0x201D:
    case 0x201E:
    case 0x201F:
    case 0x2033: return QStringLiteral("\"");
    case 0x2010: // hyphens, dashes and the minus sign
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x2212: return QStringLiteral("-");
    case 0x2026: return QStringLiteral("...");
    case 0x2022: return QStringLiteral("*");
    case 0x2192: return QStringLiteral("->");
    case 0x2190: return QStringLiteral("<-");
    case 0x2264: return QStringLiteral("<=");
    case 0x2265: return QStringLiteral(">=");
    case 0x2260: return QStringLiteral("!=");
    case 0x20AC: return QStringLiteral("EUR");
    case 0x2002: // en, em, thin and other spaces
    case 0x2003:
    case 0x2009:
    case 0x200A:
    case 0x202F: return QStringLiteral(" ");
    default: return QStringLiteral("?");
    }
}

QString withPlainSubstitutes(const QString& text, const std::vector<LostCharacter>& lost) {
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    for (const LostCharacter& c : lost) {
        out += QStringView(text).mid(from, c.position - from);
        out += plainSubstitute(c.character);
        from = c.position + c.length;
    }
    out += QStringView(text).mid(from);
    return out;
}

QString describeLost(const std::vector<LostCharacter>& lost, int shown) {
    QStringList parts;
    for (std::size_t i = 0; i < lost.size() && static_cast<int>(i) < shown; ++i) {
        const char32_t c = lost[i].character;
        parts << QStringLiteral("%1 (line %2)").arg(QString::fromUcs4(&c, 1)).arg(lost[i].line);
    }
    QString text = parts.join(QStringLiteral(", "));
    if (static_cast<int>(lost.size()) > shown)
        text += QStringLiteral(" and %1 more").arg(lost.size() - static_cast<std::size_t>(shown));
    return text;
}

std::uint64_t digestOf(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

DiskStamp stampOf(const QString& path, std::string_view bytes) {
    DiskStamp stamp;
    stamp.known = true;
    const QFileInfo info(path);
    stamp.exists = info.exists();
    stamp.size = info.size();
    stamp.modified = info.lastModified();
    stamp.digest = digestOf(bytes);
    return stamp;
}

DiskState diskState(const QString& path, DiskStamp& stamp) {
    if (!stamp.known) return DiskState::Same;
    const QFileInfo info(path);
    if (!info.exists()) return stamp.exists ? DiskState::Missing : DiskState::Same;
    if (!stamp.exists) return DiskState::Changed;
    if (info.size() != stamp.size) return DiskState::Changed;
    if (info.lastModified() == stamp.modified) return DiskState::Same;
    // The time moved: the bytes tell whether anything else did.
    std::string bytes, reason;
    if (!platform::readWholeFile(std::filesystem::path(QFile::encodeName(path).toStdString()),
                                 bytes, reason))
        return DiskState::Changed;
    if (digestOf(bytes) != stamp.digest) return DiskState::Changed;
    stamp.modified = info.lastModified();
    return DiskState::Same;
}

} // namespace tessivor::studio
