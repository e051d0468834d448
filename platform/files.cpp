#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

namespace tessivor::platform {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openFile(const std::filesystem::path& path, bool write) {
#if defined(_WIN32)
    return File(_wfopen(path.c_str(), write ? L"wb" : L"rb"));
#else
    return File(std::fopen(path.c_str(), write ? "wb" : "rb"));
#endif
}

std::string systemReason(int error) { return std::generic_category().message(error); }

} // namespace

bool readWholeFile(const std::filesystem::path& path, std::string& out, std::string& reason,
                   std::size_t maxBytes) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        reason = systemReason(EISDIR);
        return false;
    }
    errno = 0;
    File file = openFile(path, false);
    if (!file) {
        reason = systemReason(errno ? errno : ENOENT);
        return false;
    }
    std::string text;
    // Read in growing chunks rather than trusting a size taken beforehand: pipes and files
    // that change while they are read report no size or a wrong one.
    // One byte past the limit is read to tell a file of exactly maxBytes from a longer one.
    const std::size_t cap = maxBytes == static_cast<std::size_t>(-1) ? maxBytes : maxBytes + 1;
    std::size_t used = 0;
    text.resize(std::min<std::size_t>(1 << 16, cap));
    for (;;) {
        const std::size_t got = std::fread(text.data() + used, 1, text.size() - used, file.get());
        used += got;
        if (used < text.size()) {
            if (std::ferror(file.get())) {
                reason = systemReason(errno ? errno : EIO);
                return false;
            }
            break;
        }
        if (used > maxBytes) {
            reason = systemReason(EFBIG);
            return false;
        }
        text.resize(std::min(text.size() * 2, cap));
    }
    text.resize(used);
    out = std::move(text);
    return true;
}

bool writeTextFile(const std::filesystem::path& path, std::string_view text, std::string& reason) {
    errno = 0;
    File file = openFile(path, true);
    if (!file) {
        reason = systemReason(errno ? errno : EACCES);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
                         std::fwrite("\r\n", 1, 2, file.get()) == 2;
    const int writeError = errno;
    // Closing flushes; a full disk may only show here.
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        reason = systemReason(writeError ? writeError : (errno ? errno : EIO));
        return false;
    }
    return true;
}

} // namespace tessivor::platform
