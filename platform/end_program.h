#pragma once
// Ending the program at once, as "Exit" and closing a designed window do.

namespace tessivor::platform {

/// Ends the whole program at once: no question, no further event handling, a running program
/// abandoned where it stands. Exit status 0.
[[noreturn]] void endProgramNow();

} // namespace tessivor::platform
