#pragma once
// JSON text for the event stream: texts are bytes, each byte b becomes the code point U+00bb.

#include <string>
#include <string_view>

namespace tessivor {

/// Appends `bytes` as the inside of a JSON string, without the quotes.
void appendJsonChars(std::string& out, std::string_view bytes);

/// Appends `bytes` as a quoted JSON string.
void appendJsonString(std::string& out, std::string_view bytes);

} // namespace tessivor
