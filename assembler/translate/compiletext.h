#pragma once
// `compiletext`: translates assembly source into a code string.

#include <cstddef>
#include <string>
#include <string_view>

namespace tessivor {

/// The result of a translation: the code string, or the scan position where it failed.
struct Translation {
    bool ok = true;
    std::string code;         ///< the code string, when ok
    std::size_t position = 0; ///< 1-based scan position of the failure (a "set" with no ";")
    std::size_t setAt = 0;    ///< 1-based position of the "set" that failed, when not ok
};

/// Translates `source` (one byte a character, CR LF line ends) into a code string.
Translation compiletext(std::string_view source);

/// A place in a source text as an editor shows it: 1-based line and column.
struct SourcePlace {
    std::size_t line = 1;
    std::size_t column = 1;
};

/// The line and column of 1-based `position` in `source`; a position past the end names the
/// place just after the last character.
SourcePlace sourcePlace(std::string_view source, std::size_t position);

} // namespace tessivor
