#include "cli/stream_io.h"

#include "cli/commands.h"
#include "platform/cmdline.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace tessivor::cli {
namespace {

std::string systemReason(int error) { return std::generic_category().message(error); }

} // namespace

bool readInput(std::string_view file, std::string& out, std::string& reason) {
    if (file == "-") return readStandardInput(out, reason);
    return platform::readWholeFile(platform::pathFromArgument(file), out, reason);
}

int usageError(std::string_view command, std::string_view message) {
    std::fflush(stdout); // keep stdout and stderr in order on a terminal
    std::fprintf(stderr, "tessivor-cli %.*s: %.*s\nTry 'tessivor-cli %.*s --help'.\n",
                 static_cast<int>(command.size()), command.data(), static_cast<int>(message.size()),
                 message.data(), static_cast<int>(command.size()), command.data());
    return kExitUsage;
}

bool readStandardInput(std::string& out, std::string& reason, std::size_t maxBytes) {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        text.append(buffer, got);
        if (text.size() > maxBytes) {
            reason = systemReason(EFBIG);
            return false;
        }
        if (got < sizeof buffer) {
            if (std::ferror(stdin)) {
                reason = systemReason(errno ? errno : EIO);
                return false;
            }
            break;
        }
    }
    out = std::move(text);
    return true;
}

bool writeStandardOutput(std::string_view text, std::string& reason) {
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout)) {
        reason = systemReason(errno ? errno : EIO);
        return false;
    }
    return true;
}

} // namespace tessivor::cli
