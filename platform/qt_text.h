#pragma once
// Texts are bytes, one byte a character; on screen they are Latin-1.

#include <QString>

#include <string>
#include <string_view>

namespace tessivor::platform {

/// The bytes as Latin-1 characters, one character a byte.
QString toQString(std::string_view bytes);

/// One byte a character, Latin-1; a character with no Latin-1 byte becomes '?'.
std::string fromQString(const QString& text);

} // namespace tessivor::platform
