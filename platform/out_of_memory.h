#pragma once
// One clear line instead of an abort when memory runs out where nothing else handles it.

namespace tessivor::platform {

/// From now on a std::bad_alloc that nothing catches, even one thrown inside a window's event
/// handler, ends the program with "PROGRAM: out of memory" on stderr and exit status 70; any
/// other uncaught exception still aborts.
void reportOutOfMemoryAtExit(const char* program);

} // namespace tessivor::platform
