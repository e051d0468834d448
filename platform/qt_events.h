#pragma once
// The window event queue, as the running machine and the menu commands reach it.

#include "platform/end_program.h"

namespace tessivor::platform {

/// Handles every event waiting in the queue (menu commands, closing, repainting) and returns.
void processPendingEvents();

/// Handles the waiting events that are not user input (repainting, a request to close the
/// window); mouse clicks and keys stay queued for the next processPendingEvents().
void processNonInputEvents();

} // namespace tessivor::platform
