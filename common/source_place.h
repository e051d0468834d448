#pragma once
// A place in a source text as an editor shows it.

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace tessivor {

/// A place in a source text: 1-based line and column (a tab counts as one column).
struct SourcePlace {
    std::size_t line = 1;
    std::size_t column = 1;
};

/// The line and column of 1-based `position` in `source`; a position past the end names the
/// place just after the last character.
inline SourcePlace sourcePlace(std::string_view source, std::size_t position) {
    const std::size_t before = std::min(position == 0 ? 0 : position - 1, source.size());
    const std::string_view head = source.substr(0, before);
    SourcePlace place;
    place.line = 1 + static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n'));
    const std::size_t lastFeed = head.rfind('\n');
    place.column = lastFeed == std::string_view::npos ? before + 1 : before - lastFeed;
    return place;
}

} // namespace tessivor
