#pragma once
// Whole reads of files and stdin and writes to stdout, byte for byte, for the commands that
// take "-", and the line every command answers bad usage with.

#include "platform/files.h"

#include <string>
#include <string_view>

namespace tessivor::cli {

/// Reads all of stdin into `out`; on failure returns false with the reason. More than
/// `maxBytes` fails with "File too large".
bool readStandardInput(std::string& out, std::string& reason,
                       std::size_t maxBytes = platform::kMaxFileSize);

/// Reads the file named `file`, or all of stdin when it is "-"; on failure returns false with
/// the reason.
bool readInput(std::string_view file, std::string& out, std::string& reason);

/// Writes "tessivor-cli COMMAND: MESSAGE" and where to find help to stderr; returns kExitUsage.
int usageError(std::string_view command, std::string_view message);

/// Writes `text` to stdout and flushes it; on failure returns false with the reason.
bool writeStandardOutput(std::string_view text, std::string& reason);

} // namespace tessivor::cli
