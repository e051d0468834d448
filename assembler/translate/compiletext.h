#pragma once
// `compiletext`: translates assembly source into a code string.

#include "common/source_place.h"

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

} // namespace tessivor
