#include "platform/source_text.h"

namespace tessivor::platform {

std::string sourceFromFile(std::string_view bytes) {
    if (bytes.ends_with("\r\n")) bytes.remove_suffix(2);
    std::string source;
    source.reserve(bytes.size() + bytes.size() / 32);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            source += "\r\n";
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            source += bytes[i];
        }
    }
    return source;
}

} // namespace tessivor::platform
