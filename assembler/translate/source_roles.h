#pragma once
// What the translation makes of each byte of a source, for colouring it in an editor.

#include <cstdint>
#include <string_view>
#include <vector>

namespace tessivor {

/// The part a source byte plays when `compiletext` reads the text.
enum class SourceRole : std::uint8_t {
    Skipped,  ///< never read: prose, the gaps between operand columns, the rest of a width
    Mnemonic, ///< the three letters of an instruction
    Operand,  ///< a character of an operand column
    Text,     ///< a `set` text and its closing ";"
    Comment,  ///< a comment with both of its "//"
    OpenText, ///< a `set` text with no ";" after it: the translation fails here
};

/// The role of every byte of `source` (one byte a character, any line ends), found by the
/// translation's own walk: mnemonics anywhere, operands at fixed columns, the width of an
/// instruction passed over, comments from "//" to the next "//". A `set` with no ";" is open
/// text to the end of its line; the lines after it read as if the ";" were there.
std::vector<SourceRole> sourceRoles(std::string_view source);

/// The role's name as the page's engine hands it on: "skipped", "mnemonic", "operand", "text",
/// "comment" or "open-text".
const char* sourceRoleName(SourceRole role);

} // namespace tessivor
