// tessivor-cli test: grades submissions against a test file of cases.

#include "cli/commands.h"
#include "cli/grading.h"
#include "cli/options.h"
#include "cli/stream_io.h"
#include "platform/files.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#define TESSIVOR_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define TESSIVOR_ISATTY(fd) isatty(fd)
#endif

namespace tessivor::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTestUsage =
    "usage: tessivor-cli test [OPTIONS] SPEC.toml FILE...\n"
    "\n"
    "Runs every case of the test file SPEC (TOML) against each submission, every\n"
    "case in a fresh machine, and prints a line a submission with its score and, for\n"
    "each failed case, the first difference. A FILE is a .tsasm source (built in\n"
    "memory) or a .tsp program file; a folder stands for every .tsasm in it.\n"
    "docs/teaching.md describes the test file.\n"
    "\n"
    "Options:\n"
    "  -j, --jobs N          submissions graded at once, 1 to 1024 (default: the\n"
    "                        cores)\n"
    "  --timeout SECONDS     wall-clock seconds a case may take, 0.001 to 86400\n"
    "                        (default 10)\n"
    "  --format text|json    the report on stdout: text (default) or JSON\n"
    "  --junit FILE          also write the results as JUnit XML to FILE\n"
    "  --clock virtual|real  the clock of every case, whatever the test file says\n"
    "  --plain               use the straightforward step loop\n"
    "  -h, --help            show this text\n"
    "\n"
    "Exit status: 0 every case passed, 1 a case failed, 64 bad usage, 65 invalid\n"
    "test file, 66 a file unreadable, 73 the JUnit file unwritable.\n";

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isSourceName(const fs::path& path) { return lower(path.extension().string()) == ".tsasm"; }
bool isProgramName(const fs::path& path) { return lower(path.extension().string()) == ".tsp"; }

void writeErr(const std::string& text) {
    std::fflush(stdout);
    std::fputs(text.c_str(), stderr);
}

/// The submission files named on the command line, folders expanded (sorted by name); on
/// failure returns false with the message and the exit status.
bool listSubmissions(const std::vector<std::string>& names, std::vector<std::string>& out,
                     std::string& error, int& status) {
    for (const std::string& name : names) {
        std::error_code ec;
        const fs::path path(name);
        if (fs::is_directory(path, ec)) {
            std::vector<std::string> found;
            for (const auto& entry : fs::directory_iterator(path, ec)) {
                if (isSourceName(entry.path()) && !entry.is_directory(ec)) {
                    found.push_back(entry.path().string());
                }
            }
            if (ec) {
                error = name + ": " + ec.message();
                status = kExitNoInput;
                return false;
            }
            if (found.empty()) {
                error = name + ": no .tsasm file in this folder";
                status = kExitNoInput;
                return false;
            }
            std::sort(found.begin(), found.end());
            out.insert(out.end(), found.begin(), found.end());
        } else if (isSourceName(path) || isProgramName(path)) {
            out.push_back(name);
        } else if (!fs::exists(path, ec)) {
            error = name + ": No such file or directory";
            status = kExitNoInput;
            return false;
        } else {
            error = name + ": not a .tsasm or .tsp file";
            status = kExitUsage;
            return false;
        }
    }
    return true;
}

/// "graded 37 of 200 submissions" on one line of a terminal, while the work goes on.
class Progress {
public:
    explicit Progress(std::size_t total)
        : total_(total), shown_(TESSIVOR_ISATTY(2) != 0), start_(Clock::now()) {}

    void update(std::size_t done) {
        // Only work that takes more than a moment is worth a moving line.
        if (!shown_ || (written_ && done == last_) ||
            Clock::now() - start_ < std::chrono::milliseconds(500)) {
            return;
        }
        last_ = done;
        std::fprintf(stderr, "\rtessivor-cli test: graded %zu of %zu submissions", done, total_);
        std::fflush(stderr);
        written_ = true;
    }
    void finish() {
        if (written_) std::fputs("\r\033[K", stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    std::size_t total_;
    bool shown_;
    bool written_ = false;
    std::size_t last_ = 0;
    Clock::time_point start_;
};

} // namespace

int testCommand(std::span<const std::string_view> args) {
    CLI::App app("", "tessivor-cli test");
    app.allow_windows_style_options(false); // a /path is a file name on every system
    app.set_help_flag("-h,--help", "show this text");
    std::string specName;
    std::vector<std::string> fileNames;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    double timeout = 10;
    std::string timeoutText;
    std::string format = "text";
    std::string junit;
    std::string clock;
    bool plain = false;
    app.add_option("SPEC", specName, "the test file (.toml)")->required();
    app.add_option("FILE", fileNames, "submissions: .tsasm, .tsp, or folders")->required();
    app.add_option("-j,--jobs", jobs, "submissions graded at once (default: the cores)")
        ->check(CLI::Range(1u, 1024u));
    const CLI::Option* timeoutOption =
        app.add_option("--timeout", timeoutText,
                       "wall-clock seconds a case may take, 0.001 to 86400 (default 10)")
            ->type_name("SECONDS");
    app.add_option("--format", format, "text (default) or json, on stdout")
        ->check(CLI::IsMember({"text", "json"}));
    app.add_option("--junit", junit, "also write the results as JUnit XML to this file");
    app.add_option("--clock", clock, "virtual or real for every case, whatever the file says")
        ->check(CLI::IsMember({"virtual", "real"}));
    app.add_flag("--plain", plain, "use the straightforward step loop");
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fputs(kTestUsage, stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        return usageError("test", e.what());
    }
    if (timeoutOption->count() > 0 && !parseSeconds(timeoutText, 0.001, 86400, timeout)) {
        return usageError("test", "--timeout needs a number of seconds from 0.001 to 86400");
    }

    std::string specText, reason;
    if (!platform::readWholeFile(specName, specText, reason)) {
        writeErr("tessivor-cli test: " + specName + ": " + reason + "\n");
        return kExitNoInput;
    }
    grading::TestFile spec;
    if (!grading::parseTestFile(specText, specName, spec, reason)) {
        writeErr("tessivor-cli test: " + reason + "\n");
        return kExitData;
    }

    std::vector<std::string> files;
    int status = 0;
    if (!listSubmissions(fileNames, files, reason, status)) {
        if (status == kExitUsage) return usageError("test", reason);
        writeErr("tessivor-cli test: " + reason + "\n");
        return status;
    }
    // Every file is read before anything runs, so an unreadable one stops the whole grading
    // instead of leaving a report with a hole in it.
    std::vector<grading::Submission> submissions;
    submissions.reserve(files.size());
    for (const std::string& file : files) {
        std::string text;
        if (!platform::readWholeFile(file, text, reason)) {
            writeErr("tessivor-cli test: " + file + ": " + reason + "\n");
            return kExitNoInput;
        }
        submissions.push_back(grading::makeSubmission(file, text, isSourceName(file)));
    }

    grading::GradeOptions options;
    options.timeoutSeconds = timeout;
    options.plain = plain;
    if (!clock.empty()) options.virtualClock = clock == "virtual";

    std::vector<grading::SubmissionResult> results(submissions.size());
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    std::mutex mutex;
    std::condition_variable finished;
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < submissions.size();) {
            results[i] = grading::gradeSubmission(submissions[i], spec, options);
            const std::lock_guard lock(mutex);
            ++done;
            finished.notify_one();
        }
    };
    std::vector<std::thread> workers;
    const std::size_t threads = std::min<std::size_t>(jobs, submissions.size());
    for (std::size_t t = 0; t < threads; ++t)
        workers.emplace_back(work);
    Progress progress(submissions.size());
    {
        std::unique_lock lock(mutex);
        while (done < submissions.size()) {
            finished.wait_for(lock, std::chrono::milliseconds(100));
            progress.update(done);
        }
    }
    for (std::thread& w : workers)
        w.join();
    progress.finish();

    const std::string report =
        format == "json" ? grading::jsonReport(results) : grading::textReport(results);
    if (!writeStandardOutput(report, reason)) {
        writeErr("tessivor-cli test: cannot write <stdout>: " + reason + "\n");
        return kExitCantCreate;
    }
    if (!junit.empty()) {
        const std::string name = fs::path(specName).stem().string();
        if (!platform::writeTextFile(junit, grading::junitReport(results, name), reason)) {
            writeErr("tessivor-cli test: cannot write " + junit + ": " + reason + "\n");
            return kExitCantCreate;
        }
    }
    for (const grading::SubmissionResult& r : results) {
        if (r.failed() > 0) return kExitFailed;
    }
    return 0;
}

} // namespace tessivor::cli
