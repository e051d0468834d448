#pragma once
// Whole-file reading and writing, one byte a character.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tessivor::platform {

/// The longest file readWholeFile reads by default: 256 MiB. A longer file, or one without end
/// such as /dev/zero, is refused rather than read until memory runs out. A run takes about 30
/// bytes a position for its tables, so the longest program file needs some 8 GB.
inline constexpr std::size_t kMaxFileSize = std::size_t{256} << 20;

/// Reads the whole file into `out`. On failure returns false, leaves `out` unchanged and puts
/// the system's reason ("No such file or directory", "Is a directory", "File too large" past
/// `maxBytes`) in `reason`.
bool readWholeFile(const std::filesystem::path& path, std::string& out, std::string& reason,
                   std::size_t maxBytes = kMaxFileSize);

/// Creates or empties the file and writes `text` followed by a carriage return and a line feed.
/// On failure returns false with the system's reason in `reason`.
bool writeTextFile(const std::filesystem::path& path, std::string_view text, std::string& reason);

} // namespace tessivor::platform
