#pragma once
// Between an editor's text and the bytes of source files and `compiletext`, for every
// window that edits sources.
//
// Source text is bytes, one byte a character (Latin-1), each line end the two characters
// CR LF. The editor holds a line break as one character, so an offset into the source and a
// position in the editor differ by one for every line break before them.

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace tessivor::platform {

/// The editor's text as source bytes. Every line break (U+2029 between blocks, U+2028 of
/// Shift+Enter, or '\n') becomes CR LF; a character with no Latin-1 byte becomes '?'.
std::string sourceFromEditor(const QString& text);

/// The editor text for the bytes of a loaded file. Exactly one CR LF at the end, the one that
/// saving appends, is dropped; then CR LF, a lone LF and a lone CR each become one '\n'.
QString editorTextFromFile(std::string_view bytes);

/// The editor text for a source (platform/source_text.h): each CR LF becomes one '\n'.
QString editorTextFromSource(std::string_view source);

/// The editor position (in UTF-16 units, as QTextCursor counts) of the caret offset `offset`
/// (0-based) into sourceFromEditor(text); an offset past the end gives the end. A caret between
/// the CR and the LF of a line end counts as past the line break.
int editorPosition(const QString& text, std::size_t offset);

} // namespace tessivor::platform
