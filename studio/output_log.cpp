#include "studio/output_log.h"

#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace tessivor::studio {

OutputLog::OutputLog(std::uint64_t maxBytes) : maxBytes_(maxBytes) {}

OutputLog::~OutputLog() = default;

void OutputLog::clear() {
    std::lock_guard lock(mutex_);
    spool_.reset();
    lines_ = dropped_ = bytes_ = 0;
    recent_.clear();
    shownUpTo_ = INT64_MAX;
}

void OutputLog::showUpTo(std::int64_t step) {
    std::lock_guard lock(mutex_);
    shownUpTo_ = step;
}

std::int64_t OutputLog::lastStep() const {
    std::lock_guard lock(mutex_);
    return recent_.empty() ? -1 : recent_.back().step;
}

std::size_t OutputLog::firstUnshown() const {
    // Steps only grow along the log.
    const auto at =
        std::upper_bound(recent_.begin(), recent_.end(), shownUpTo_,
                         [](std::int64_t step, const Shown& shown) { return step < shown.step; });
    return static_cast<std::size_t>(at - recent_.begin());
}

std::uint64_t OutputLog::shownBytes() const {
    const std::size_t first = firstUnshown();
    return first < recent_.size() && recent_[first].kept ? recent_[first].offset : bytes_;
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
    shownUpTo_ = INT64_MAX;
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

std::vector<OutputLog::Line> OutputLog::latest(std::size_t count, std::size_t maxLength,
                                               std::int64_t after) const {
    std::lock_guard lock(mutex_);
    std::vector<Line> found;
    if (!spool_ || count == 0) return found;
    // The kept texts among the latest, each running up to the next one's start (less its line
    // feed), the last one up to the end of what is kept.
    const std::size_t shown = firstUnshown();
    std::size_t first = shown;
    std::size_t taken = 0;
    while (first > 0 && taken < count && recent_[first - 1].step > after) {
        --first;
        if (recent_[first].kept) ++taken;
    }
    std::fflush(spool_.get());
    for (std::size_t i = first; i < shown; ++i) {
        const Shown& text = recent_[i];
        if (!text.kept) continue;
        std::uint64_t end = bytes_;
        for (std::size_t j = i + 1; j < recent_.size(); ++j) {
            if (recent_[j].kept) {
                end = recent_[j].offset;
                break;
            }
        }
        Line line;
        line.step = text.step;
        line.length = static_cast<std::size_t>(end - text.offset - 1);
        line.start.resize(std::min(line.length, maxLength));
        std::fseek(spool_.get(), static_cast<long>(text.offset), SEEK_SET);
        line.start.resize(std::fread(line.start.data(), 1, line.start.size(), spool_.get()));
        found.push_back(std::move(line));
    }
    std::fseek(spool_.get(), static_cast<long>(bytes_), SEEK_SET);
    return found;
}

std::uint64_t OutputLog::lines() const {
    std::lock_guard lock(mutex_);
    return lines_ - unshown();
}

std::uint64_t OutputLog::dropped() const {
    std::lock_guard lock(mutex_);
    // The texts not kept are the last ones: the unshown ones are those first.
    return dropped_ - std::min<std::uint64_t>(dropped_, unshown());
}

std::uint64_t OutputLog::bytes() const {
    std::lock_guard lock(mutex_);
    return shownBytes();
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
        std::uint64_t left = shownBytes();
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
