#pragma once
// What `run` writes to stdout and stderr, and every way that writing can end a run early: a
// failed write (a full disk, a closed stdout), a reader that went away (a closed pipe), and
// Ctrl-C or TERM.

#include <string_view>

namespace tessivor::cli {

/// Thrown out of a run, through the machine, when the run must stop before its end.
struct RunStopped {
    enum class Why { WriteFailed, PipeClosed, Interrupted };
    Why why;
    int code = 0; ///< the errno of a failed write, the signal number of an interruption
};

/// stdout and stderr of one run. While it lives, SIGINT and SIGTERM are caught (so that they
/// also break off a blocked read or write) and SIGPIPE is ignored: every way the output can end
/// shows at the next write, or at the next check, and ends the run the same way.
class RunOutput {
public:
    RunOutput();
    ~RunOutput();
    RunOutput(const RunOutput&) = delete;
    RunOutput& operator=(const RunOutput&) = delete;

    /// Writes `text` to stdout; throws RunStopped on a failed write or after a caught signal.
    void out(std::string_view text);
    /// Writes `text` to stderr, after everything written to stdout so far.
    void err(std::string_view text);
    /// Flushes stdout; throws RunStopped as out() does.
    void flush();
    /// Throws RunStopped when SIGINT or SIGTERM came since the run started.
    void checkSignal() const;
    /// True when stdin reached its end or failed because a signal came.
    bool interrupted() const;

    /// Ends a stopped run: flushes what was shown, calls `endEvents` for an interruption (to
    /// close the events stream), says why on stderr (nothing for a closed pipe) and returns the
    /// exit status: 73 for a failed write, 141 for a closed pipe, 128 + the signal number.
    template <typename EndEvents> int finish(const RunStopped& stop, EndEvents endEvents) {
        startFinishing();
        if (stop.why == RunStopped::Why::Interrupted) {
            try {
                endEvents();
                flush();
            } catch (const RunStopped&) { // the reader is gone too: nothing more to show
            }
        }
        return report(stop);
    }

private:
    [[noreturn]] void stopForWrite(int error) const;
    void startFinishing();
    int report(const RunStopped& stop);

    bool finishing_ = false; ///< the run has stopped: a signal no longer stops the writes
};

/// "SIGINT" or "SIGTERM".
const char* signalName(int signal);

} // namespace tessivor::cli
