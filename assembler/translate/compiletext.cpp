#include "assembler/translate/compiletext.h"

#include "assembler/translate/walk.h"

#include <algorithm>

namespace tessivor {

Translation compiletext(std::string_view source) {
    Translation result;
    result.code.reserve(source.size() + source.size() / 4);
    TranslationSink sink(source, result);
    walkSource(source, sink);
    return result;
}

SourcePlace sourcePlace(std::string_view source, std::size_t position) {
    const std::size_t before = std::min(position == 0 ? 0 : position - 1, source.size());
    const std::string_view head = source.substr(0, before);
    SourcePlace place;
    place.line = 1 + static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n'));
    const std::size_t lastFeed = head.rfind('\n');
    place.column = lastFeed == std::string_view::npos ? before + 1 : before - lastFeed;
    return place;
}

} // namespace tessivor
