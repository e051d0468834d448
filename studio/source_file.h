#pragma once
// A source file as the Studio reads and writes it: the editor holds lines, the file holds
// bytes. The line ends a file was read with are kept, so an LF file is written back with LF
// and the Studio builds exactly the bytes `tessivor-cli build` reads from the same file. A
// character the editor holds but a source byte cannot (above U+00FF) is found before writing,
// never turned into '?' unasked. A file changed by another program is noticed by its stamp.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor::studio {

/// How a file ends its lines.
struct SourceFormat {
    std::string lineEnd = "\r\n"; ///< "\r\n", "\n" or "\r"
    bool finalLineEnd = true;     ///< the last line ends with one too (a new file's does)
};

/// A file's bytes as the editor takes them.
struct LoadedSource {
    QString text; ///< the lines, each break a '\n'; every byte one Latin-1 character
    SourceFormat format;
    /// encodeSource(text, format) gives the bytes back; false when the file mixes line ends
    /// (writing it gives each line the first line's end).
    bool exact = true;
};

/// The editor text for `bytes`: the file's line end is the first one in it (CR LF when it has
/// none); one final line end of that kind is the format's, not an empty last line. Every CR
/// LF, lone LF and lone CR breaks a line.
LoadedSource decodeSource(std::string_view bytes);

/// A character of the editor text with no byte in a source.
struct LostCharacter {
    int position = 0; ///< in UTF-16 units of the editor text
    int length = 1;   ///< 2 for a character beyond the basic plane
    char32_t character = 0;
    int line = 1; ///< 1-based
};

/// What writing the editor text gives.
struct EncodedSource {
    std::string bytes;
    std::vector<LostCharacter> lost; ///< written as '?', in text order
};

/// The bytes of `text` (line breaks '\n', U+2029 or U+2028) with `format`'s line ends.
EncodedSource encodeSource(const QString& text, const SourceFormat& format);

/// A plain stand-in from Latin-1 for a character that has no byte: straight quotes for curly
/// ones, '-' for dashes, "..." for an ellipsis, "->" for an arrow; "?" for the rest.
QString plainSubstitute(char32_t character);

/// `text` with every lost character replaced by its plain stand-in.
QString withPlainSubstitutes(const QString& text, const std::vector<LostCharacter>& lost);

/// "€ (line 1), → (line 1) and 3 more": the first few lost characters, for a question.
QString describeLost(const std::vector<LostCharacter>& lost, int shown = 4);

/// What is known of a file on disk, to notice that another program changed it.
struct DiskStamp {
    bool known = false; ///< a stamp was taken (false for a new document)
    bool exists = false;
    qint64 size = 0;
    QDateTime modified;
    std::uint64_t digest = 0; ///< of the bytes the Studio last read or wrote
};

/// The stamp of `path` holding `bytes`, which the Studio just read from it or wrote to it.
DiskStamp stampOf(const QString& path, std::string_view bytes);

/// How the file at `path` stands against `stamp`.
enum class DiskState { Same, Changed, Missing };

/// Same when size and time agree, or the bytes do though the time moved (a touch); the
/// stamp takes the new time then, so the bytes are not read again.
DiskState diskState(const QString& path, DiskStamp& stamp);

/// A digest of `bytes` (FNV-1a, 64 bits).
std::uint64_t digestOf(std::string_view bytes);

} // namespace tessivor::studio
