#pragma once
// The standard streams as byte streams.

namespace tessivor::platform {

/// Puts stdin, stdout and stderr in binary mode, so that a "\n" written is one byte on every
/// system (the Windows C runtime would write "\r\n" in text mode) and input bytes arrive as
/// sent. Call it before the first read or write. Does nothing where streams are bytes already.
void useBinaryStandardStreams();

} // namespace tessivor::platform
