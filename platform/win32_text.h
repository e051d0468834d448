#pragma once
// Between Tessivor's texts and the UTF-16 of Win32 windows. On Windows a text is bytes of the
// ANSI code page, one byte a character where the code page has one: program files, sources,
// cells, prompts and file names alike.

#include <cstddef>
#include <string>
#include <string_view>

namespace tessivor::platform {

/// The bytes read in the ANSI code page.
std::wstring wideFromAnsi(std::string_view bytes);

/// The text in the ANSI code page; a character the code page lacks becomes '?', never a
/// look-alike (no "best fit": a program's text is not rewritten behind its author's back).
std::string ansiFromWide(std::wstring_view text);

/// UTF-8 and UTF-16, for what the test helpers print and read.
std::string utf8FromWide(std::wstring_view text);
std::wstring wideFromUtf8(std::string_view text);

/// A filter as the windows write it ("Tessivor Program (*.tsp) | *.tsp": descriptions and
/// patterns separated by "|", patterns by ";") as a common file dialog takes it: each
/// description and each pattern list ended by a NUL, the whole by a second NUL, the blanks
/// around each part dropped. A description without patterns matches every file ("*.*").
std::wstring dialogFilter(std::string_view filter);

/// The position, in UTF-16 units of `text`, of the 0-based `offset` into ansiFromWide(text),
/// as an edit box places its caret; an offset past the end gives the end, and one that falls
/// between the CR and the LF of a line end, or inside a character of two bytes, the position
/// after it.
std::size_t editPosition(std::wstring_view text, std::size_t offset);

} // namespace tessivor::platform
