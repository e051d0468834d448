#include "runner/events/json.h"

namespace tessivor {

void appendJsonChars(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (b < 0x20 || b == 0x7f) {
                out += "\\u00";
                out += kHex[b >> 4];
                out += kHex[b & 15];
            } else if (b < 0x80) {
                out += ch;
            } else { // U+0080..U+00FF in UTF-8
                out += static_cast<char>(0xc0 | (b >> 6));
                out += static_cast<char>(0x80 | (b & 0x3f));
            }
        }
    }
}

void appendJsonString(std::string& out, std::string_view bytes) {
    out += '"';
    appendJsonChars(out, bytes);
    out += '"';
}

} // namespace tessivor
