#pragma once
// Source text as the editors hold it, for every window that loads sources: bytes, one byte a
// character, each line end the two characters CR LF.

#include <string>
#include <string_view>

namespace tessivor::platform {

/// The editor's text for the bytes of a loaded file. Exactly one CR LF at the end, the one that
/// saving appends, is dropped; then CR LF, a lone LF and a lone CR each become one CR LF, the
/// only line end an editor holds.
std::string sourceFromFile(std::string_view bytes);

} // namespace tessivor::platform
