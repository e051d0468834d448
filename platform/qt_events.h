#pragma once
// The window event queue, as the running machine and the menu commands reach it.

namespace tessivor::platform {

/// Handles every event waiting in the queue (menu commands, closing, repainting) and returns.
void processPendingEvents();

/// Handles the waiting events that are not user input (repainting, a request to close the
/// window); mouse clicks and keys stay queued for the next processPendingEvents().
void processNonInputEvents();

/// Ends the whole program at once: no question, no further event handling, a running program
/// abandoned where it stands. Exit status 0.
[[noreturn]] void endProgramNow();

} // namespace tessivor::platform
