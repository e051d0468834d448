#include "studio/output_log.h"

#include <QSaveFile>

#include <vector>

namespace tessivor::studio {

OutputLog::OutputLog(std::uint64_t maxBytes) : maxBytes_(maxBytes) {}

OutputLog::~OutputLog() = default;

void OutputLog::clear() {
    std::lock_guard lock(mutex_);
    spool_.reset();
    lines_ = dropped_ = bytes_ = 0;
    recent_.clear();
}

void OutputLog::rewindTo(std::int64_t step) {
    std::lock_guard lock(mutex_);
    while (!recent_.empty() && recent_.back().step > step) {
        const Shown gone = recent_.back();
        recent_.pop_back();
        --lines_;
        if (gone.kept)
            bytes_ = gone.offset; // the next text is written over it
        else
            --dropped_;
    }
    if (spool_) std::fseek(spool_.get(), static_cast<long>(bytes_), SEEK_SET);
}

bool OutputLog::append(std::string_view text, std::int64_t step) {
    std::lock_guard lock(mutex_);
    ++lines_;
    const std::uint64_t needed = text.size() + 1;
    recent_.push_back({step, bytes_, false});
    if (recent_.size() > kRewindable) recent_.pop_front();
    if (dropped_ > 0 || bytes_ + needed > maxBytes_) {
        // Once one text is missing the log would mislead: nothing after it is kept either.
        ++dropped_;
        return false;
    }
    if (!spool_) spool_.reset(std::tmpfile()); // removed by the system when closed
    if (!spool_ || std::fwrite(text.data(), 1, text.size(), spool_.get()) != text.size() ||
        std::fputc('\n', spool_.get()) == EOF) {
        ++dropped_;
        return false;
    }
    bytes_ += needed;
    recent_.back().kept = true;
    return true;
}

std::uint64_t OutputLog::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::uint64_t OutputLog::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::uint64_t OutputLog::bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

bool OutputLog::exportTo(const QString& path, QString& reason) const {
    std::lock_guard lock(mutex_);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        reason = out.errorString();
        return false;
    }
    if (spool_) {
        std::fflush(spool_.get());
        std::rewind(spool_.get());
        std::vector<char> buffer(1 << 20);
        std::uint64_t left = bytes_;
        while (left > 0) {
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(left, static_cast<std::uint64_t>(buffer.size())));
            const std::size_t got = std::fread(buffer.data(), 1, want, spool_.get());
            if (got == 0 || out.write(buffer.data(), static_cast<qint64>(got)) != qint64(got)) {
                reason = got == 0 ? QStringLiteral("the kept output could not be read back")
                                  : out.errorString();
                out.cancelWriting();
                std::fseek(spool_.get(), static_cast<long>(bytes_), SEEK_SET);
                return false;
            }
            left -= got;
        }
        std::fseek(spool_.get(), static_cast<long>(bytes_), SEEK_SET);
    }
    if (!out.commit()) {
        reason = out.errorString();
        return false;
    }
    return true;
}

} // namespace tessivor::studio
