#pragma once
// Everything a run showed, kept whole outside the window: the Output pane lists only the start
// of each text (a 64 MiB `dsp` would stall any list), and Export Output writes the whole log.
// It keeps what the steps up to the furthest one the run reached showed; what counts (lines,
// latest, the export) is what was shown up to the step the run stands at (showUpTo).

#include <QString>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor::studio {

class OutputLog {
public:
    /// The most the log keeps on disk; later texts are counted but not kept.
    static constexpr std::uint64_t kDefaultMaxBytes = std::uint64_t{1} << 30;

    explicit OutputLog(std::uint64_t maxBytes = kDefaultMaxBytes);
    ~OutputLog();
    OutputLog(const OutputLog&) = delete;
    OutputLog& operator=(const OutputLog&) = delete;

    /// Forgets every text (a new run). From any thread, as are the others.
    void clear();
    /// Keeps `text`, shown by step `step`, whole; false when it no longer fits (or the disk
    /// refused it).
    bool append(std::string_view text, std::int64_t step = 0);
    /// Forgets the texts shown after step `step` (the run will not show them again: an edit
    /// changed what comes after), as far back as the last kRewindable texts.
    void rewindTo(std::int64_t step);
    /// The run stands at step `step`: the texts of later steps are kept but do not count until
    /// the run gets there again.
    void showUpTo(std::int64_t step);
    /// The step of the latest text kept, shown or not; -1 when none.
    std::int64_t lastStep() const;
    /// As many texts as a session can go back over: one a step, a million steps.
    static constexpr std::size_t kRewindable = 1'000'000;

    /// One kept text as a list shows it: the step that showed it, the start of the text and
    /// its whole length.
    struct Line {
        std::int64_t step = 0;
        std::string start;
        std::size_t length = 0;
    };
    /// The last `count` texts kept and shown after step `after` (of the last kRewindable),
    /// each cut to `maxLength` bytes: what a list of the output lists when the run went back
    /// past its rows, or forward over steps whose texts it had shown before.
    std::vector<Line> latest(std::size_t count, std::size_t maxLength,
                             std::int64_t after = -1) const;

    std::uint64_t lines() const;   ///< texts shown up to the current step, kept or not
    std::uint64_t dropped() const; ///< of those, the texts not kept whole
    std::uint64_t bytes() const;   ///< the bytes of those kept

    /// Writes every kept text followed by a line feed, as `tessivor-cli run` prints them, as
    /// the whole file or not at all; false with the reason.
    bool exportTo(const QString& path, QString& reason) const;

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    mutable std::mutex mutex_;
    std::unique_ptr<std::FILE, FileCloser> spool_;
    std::uint64_t maxBytes_;
    std::uint64_t lines_ = 0, dropped_ = 0, bytes_ = 0;
    /// The latest texts: the step that showed each and where it starts in the spool.
    struct Shown {
        std::int64_t step;
        std::uint64_t offset;
        bool kept;
    };
    std::deque<Shown> recent_;
    std::int64_t shownUpTo_ = INT64_MAX;

    /// Of recent_, the first text shown after shownUpTo_ (recent_.size() for none).
    std::size_t firstUnshown() const;
    std::uint64_t unshown() const { return recent_.size() - firstUnshown(); }
    std::uint64_t shownBytes() const;
};

} // namespace tessivor::studio
