#pragma once
// Whole-file reading and writing, one byte a character.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tessivor::platform {

/// The longest file readWholeFile reads by default: 256 MiB. A longer file, or one without end
/// such as /dev/zero, is refused rather than read until memory runs out. A run's tables take 12
/// bytes a position (the fast loop's own table is left out past 16M positions), so the longest
/// program file needs about 3.5 GB to run.
inline constexpr std::size_t kMaxFileSize = std::size_t{256} << 20;

/// Reads the whole file into `out`. On failure returns false, leaves `out` unchanged and puts
/// the system's reason ("No such file or directory", "Is a directory", "File too large" past
/// `maxBytes`) in `reason`.
bool readWholeFile(const std::filesystem::path& path, std::string& out, std::string& reason,
                   std::size_t maxBytes = kMaxFileSize);

/// Writes `text` followed by `ending` (a carriage return and a line feed unless told otherwise)
/// as the whole file, all or nothing:
/// into a new file beside it, flushed to the disk, then renamed over the old one (which keeps
/// its permission bits; a symbolic link is followed). On failure (a full disk, a file size
/// limit) returns false with the system's reason in `reason`, the old file untouched and the
/// temporary one removed. A target that is no regular file (a pipe, a device) is written in
/// place; one that is this process's stdout or stderr (/dev/stdout, or the file stdout was sent
/// to) is written there, after what the program wrote before.
bool writeTextFile(const std::filesystem::path& path, std::string_view text, std::string& reason,
                   std::string_view ending = "\r\n");

} // namespace tessivor::platform
