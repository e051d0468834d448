#pragma once
// Whole reads of stdin and writes to stdout, byte for byte, for the commands that take "-".

#include "platform/files.h"

#include <string>
#include <string_view>

namespace tessivor::cli {

/// Reads all of stdin into `out`; on failure returns false with the reason. More than
/// `maxBytes` fails with "File too large".
bool readStandardInput(std::string &out, std::string &reason,
                       std::size_t maxBytes = platform::kMaxFileSize);

/// Writes `text` to stdout and flushes it; on failure returns false with the reason.
bool writeStandardOutput(std::string_view text, std::string &reason);

} // namespace tessivor::cli
