#include "cli/output.h"

#include "cli/commands.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <system_error>

namespace tessivor::cli {
namespace {

volatile std::sig_atomic_t gSignal = 0;

extern "C" void onSignal(int signal) {
    if (gSignal != 0) {
        // A second Ctrl-C ends the program at once, should the first one not be seen in time.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    gSignal = signal;
}

#if !defined(_WIN32)
struct sigaction gOldInt, gOldTerm, gOldPipe;
#endif

std::string systemReason(int error) { return std::generic_category().message(error); }

} // namespace

const char* signalName(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    }
    return "a signal";
}

RunOutput::RunOutput() {
    gSignal = 0;
#if defined(_WIN32)
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
#else
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a read of stdin or a blocked write returns at once
    sigaction(SIGINT, &action, &gOldInt);
    sigaction(SIGTERM, &action, &gOldTerm);
    // A signal the shell ignored for us (a background job started without job control) stays
    // ignored.
    if (gOldInt.sa_handler == SIG_IGN) sigaction(SIGINT, &gOldInt, nullptr);
    if (gOldTerm.sa_handler == SIG_IGN) sigaction(SIGTERM, &gOldTerm, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &gOldPipe);
#endif
}

RunOutput::~RunOutput() {
#if defined(_WIN32)
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
#else
    sigaction(SIGINT, &gOldInt, nullptr);
    sigaction(SIGTERM, &gOldTerm, nullptr);
    sigaction(SIGPIPE, &gOldPipe, nullptr);
#endif
}

void RunOutput::checkSignal() const {
    if (gSignal != 0 && !finishing_) throw RunStopped{RunStopped::Why::Interrupted, gSignal};
}

bool RunOutput::interrupted() const { return gSignal != 0; }

void RunOutput::stopForWrite(int error) const {
    checkSignal(); // a write broken off by Ctrl-C is an interruption, not a failure
#if !defined(_WIN32)
    if (error == EPIPE) throw RunStopped{RunStopped::Why::PipeClosed, error};
#endif
    throw RunStopped{RunStopped::Why::WriteFailed, error ? error : EIO};
}

void RunOutput::out(std::string_view text) {
    checkSignal();
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) stopForWrite(errno);
}

void RunOutput::flush() {
    errno = 0;
    if (std::fflush(stdout) != 0) stopForWrite(errno);
}

void RunOutput::err(std::string_view text) {
    flush(); // keep stdout and stderr in order on a terminal
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void RunOutput::startFinishing() {
    finishing_ = true;
    std::clearerr(stdout); // a write broken off by the signal set the error flag
}

int RunOutput::report(const RunStopped& stop) {
    switch (stop.why) {
    case RunStopped::Why::WriteFailed:
        std::fprintf(stderr, "tessivor-cli run: cannot write <stdout>: %s\n",
                     systemReason(stop.code).c_str());
        return kExitCantCreate;
    case RunStopped::Why::PipeClosed:
        return 128 + 13; // as a process ended by SIGPIPE, which may be ignored here
    case RunStopped::Why::Interrupted:
        std::fprintf(stderr, "tessivor-cli run: stopped by %s\n", signalName(stop.code));
        return 128 + stop.code;
    }
    return kExitSoftware;
}

} // namespace tessivor::cli
