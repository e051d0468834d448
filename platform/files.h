#pragma once
// Whole-file reading and writing, one byte a character.

#include <filesystem>
#include <string>
#include <string_view>

namespace tessivor::platform {

/// Reads the whole file into `out`. On failure returns false, leaves `out` unchanged and puts
/// the system's reason ("No such file or directory", "Is a directory") in `reason`.
bool readWholeFile(const std::filesystem::path& path, std::string& out, std::string& reason);

/// Creates or empties the file and writes `text` followed by a carriage return and a line feed.
/// On failure returns false with the system's reason in `reason`.
bool writeTextFile(const std::filesystem::path& path, std::string_view text, std::string& reason);

} // namespace tessivor::platform
