#include "platform/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#if defined(_WIN32)

bool writeTextFile(const std::filesystem::path& path, std::string_view text, std::string& reason,
                   std::string_view ending) {
    std::error_code ec;
    std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
    if (ec) target = path;
    std::filesystem::path temporary = target;
    temporary += L".tmp~";
    errno = 0;
    File file(_wfopen(temporary.c_str(), L"wb"));
    if (!file) {
        reason = systemReason(errno ? errno : EACCES);
        return false;
    }
    const bool written =
        std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
        std::fwrite(ending.data(), 1, ending.size(), file.get()) == ending.size() &&
        std::fflush(file.get()) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        reason = systemReason(writeError ? writeError : (errno ? errno : EIO));
        std::filesystem::remove(temporary, ec);
        return false;
    }
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        reason = ec.message();
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

#else

namespace {

/// Writes all of `bytes` to `fd`, going on after interrupted and partial writes.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

/// Writes straight into a target that is no regular file (a device, a pipe): renaming over it
/// would replace /dev/stdout or a FIFO with a file.
bool writeInPlace(const std::filesystem::path& path, std::string_view text, std::string& reason,
                  std::string_view ending) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        reason = systemReason(errno);
        return false;
    }
    const bool written = writeAll(fd, text) && writeAll(fd, ending);
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        reason = systemReason(!written ? writeError : errno);
        return false;
    }
    return true;
}

/// Opens a new file beside `target` with a name of its own; -1 with errno on failure.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    static std::atomic<unsigned> serial{0};
    const std::filesystem::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about a chain of "+".
        std::string name = ".";
        name += target.filename().string();
        name += '.';
        name += std::to_string(::getpid());
        name += '.';
        name += std::to_string(serial.fetch_add(1));
        name += ".tmp";
        temporary = folder.empty() ? std::filesystem::path(name) : folder / name;
        // 0666 less the umask, as a file the program created in place would get.
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

/// The standard stream (1 or 2) that is the file `st` describes, or -1: a report named
/// /dev/stdout, or the very file stdout was sent to, goes after what the program wrote there
/// instead of replacing it.
int standardStreamOf(const struct stat& st) {
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat open {};
        if (::fstat(fd, &open) == 0 && open.st_dev == st.st_dev && open.st_ino == st.st_ino) {
            return fd;
        }
    }
    return -1;
}

} // namespace

bool writeTextFile(const std::filesystem::path& path, std::string_view text, std::string& reason,
                   std::string_view ending) {
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0; // through any links
    if (exists && S_ISDIR(old.st_mode)) {
        reason = systemReason(EISDIR);
        return false;
    }
    if (exists) {
        if (const int fd = standardStreamOf(old); fd >= 0) {
            std::fflush(fd == STDOUT_FILENO ? stdout : stderr);
            if (!writeAll(fd, text) || !writeAll(fd, ending)) {
                reason = systemReason(errno);
                return false;
            }
            return true;
        }
        // Opened by its own name: /dev/stdout leads through /proc to "pipe:[N]", which is no
        // name a file can be opened by.
        if (!S_ISREG(old.st_mode)) return writeInPlace(path, text, reason, ending);
    }

    // A symbolic link keeps pointing where it pointed: the file it names is the one replaced.
    std::error_code ec;
    std::filesystem::path target = path;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(target, ec); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }

    std::filesystem::path temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0) {
        reason = systemReason(errno);
        return false;
    }
    // The old file's permission bits stay with its name.
    bool ok = !exists || ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && writeAll(fd, text) && writeAll(fd, ending) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        reason = systemReason(error ? error : EIO);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

#endif

} // namespace tessivor::platform
