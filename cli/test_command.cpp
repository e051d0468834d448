// tessivor-cli test: grades submissions against a test file of cases.

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/stream_io.h"
#include "grading/grading.h"
#include "platform/clock.h"
#include "platform/cmdline.h"
#include "platform/files.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <new>
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
    "memory) or a .tsp program file; a folder stands for every .tsasm in it and\n"
    "in its subfolders. docs/teaching.md describes the test file.\n"
    "\n"
    "Options:\n"
    "  -j, --jobs N          submissions graded at once, 1 to 1024 (default: the\n"
    "                        cores)\n"
    "  --timeout SECONDS     wall-clock seconds a case may take, 0.001 to 86400\n"
    "                        (default 10)\n"
    "  --format FORMAT       the report on stdout: text (default), json,\n"
    "                        gradescope (results.json) or csv (one row a\n"
    "                        submission)\n"
    "  --teacher             show the inputs and differences of hidden cases too\n"
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

/// The system's clock: its tick counter, and the pulse a background thread moves.
class SystemClock final : public grading::Clock {
public:
    double seconds() override { return steady_.seconds(); }
    std::int32_t tickCount() override { return platform::tickCount(); }
    const std::atomic<std::uint32_t>* tickPulse() override { return platform::tickPulse(); }

private:
    grading::SteadyClock steady_;
};

/// A submission file to grade, with why it cannot be read when that is known already.
struct Listed {
    std::string file;
    std::string problem; ///< "" when it is a regular file (or a link to one)
};

/// Why `path` is no file to read, "" when it is a regular file or a link to one.
std::string notAFile(const fs::path& path) {
    std::error_code ec;
    const fs::file_status target = fs::status(path, ec);
    if (fs::is_regular_file(target)) return {};
    if (fs::is_symlink(fs::symlink_status(path, ec)) && !fs::exists(target)) {
        return "a link to nothing";
    }
    if (fs::is_fifo(target)) return "a named pipe, not a regular file";
    if (fs::is_directory(target)) return "a folder, not a file";
    return "not a regular file";
}

/// The submission files named on the command line, folders expanded with their subfolders
/// (sorted by path); on failure returns false with the message and the exit status.
bool listSubmissions(const std::vector<std::string>& names, std::vector<Listed>& out,
                     std::string& error, int& status) {
    for (const std::string& name : names) {
        std::error_code ec;
        const fs::path path = platform::pathFromArgument(name);
        if (fs::is_directory(path, ec)) {
            std::vector<Listed> found;
            // Links to folders are not followed: a folder cannot hold itself that way.
            for (auto it = fs::recursive_directory_iterator(
                     path, fs::directory_options::skip_permission_denied, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
                const fs::directory_entry& entry = *it;
                std::error_code kind;
                if (!isSourceName(entry.path()) || entry.is_directory(kind)) continue;
                // In the narrow text the other names are in, which the reading below takes.
                found.push_back({platform::argumentFromPath(entry.path()), notAFile(entry.path())});
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
            std::sort(found.begin(), found.end(),
                      [](const Listed& a, const Listed& b) { return a.file < b.file; });
            out.insert(out.end(), found.begin(), found.end());
        } else if ((isSourceName(path) || isProgramName(path)) && fs::exists(path, ec)) {
            out.push_back({name, notAFile(path)});
        } else if (!fs::exists(fs::symlink_status(path, ec))) {
            error = name + ": No such file or directory";
            status = kExitNoInput;
            return false;
        } else if (isSourceName(path) || isProgramName(path)) {
            out.push_back({name, notAFile(path)}); // a link to nothing
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

/// Reads and grades one submission; a file that cannot be read, or whose building runs out
/// of memory, fails every case alone.
grading::SubmissionResult gradeFile(const Listed& listed, const grading::TestFile& spec,
                                    const grading::GradeOptions& options) {
    if (!listed.problem.empty()) {
        return grading::unreadableSubmission(listed.file, spec, listed.problem);
    }
    try {
        std::string text, reason;
        if (!platform::readWholeFile(platform::pathFromArgument(listed.file), text, reason,
                                     grading::kMaxSubmissionBytes)) {
            if (reason == "File too large") {
                reason = "larger than " + std::to_string(grading::kMaxSubmissionBytes >> 20) +
                         " MiB, the most a submission may be";
            }
            return grading::unreadableSubmission(listed.file, spec, reason);
        }
        const grading::Submission submission =
            grading::makeSubmission(listed.file, text, isSourceName(listed.file));
        text = std::string();
        return grading::gradeSubmission(submission, spec, options);
    } catch (const std::bad_alloc&) {
        return grading::unreadableSubmission(listed.file, spec, "out of memory while building it");
    }
}

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
    bool teacher = false;
    app.add_option("SPEC", specName, "the test file (.toml)")->required();
    app.add_option("FILE", fileNames, "submissions: .tsasm, .tsp, or folders")->required();
    app.add_option("-j,--jobs", jobs, "submissions graded at once (default: the cores)")
        ->check(CLI::Range(1u, 1024u));
    const CLI::Option* timeoutOption =
        app.add_option("--timeout", timeoutText,
                       "wall-clock seconds a case may take, 0.001 to 86400 (default 10)")
            ->type_name("SECONDS");
    app.add_option("--format", format, "text (default), json, gradescope or csv, on stdout")
        ->check(CLI::IsMember({"text", "json", "gradescope", "csv"}));
    app.add_flag("--teacher", teacher, "show the inputs and differences of hidden cases too");
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

    std::vector<Listed> files;
    int status = 0;
    if (!listSubmissions(fileNames, files, reason, status)) {
        if (status == kExitUsage) return usageError("test", reason);
        writeErr("tessivor-cli test: " + reason + "\n");
        return status;
    }
    // Each file is read and built when its turn comes, and dropped after its cases: one that
    // cannot be read, or is too large, fails its cases alone, and the others are graded.
    grading::GradeOptions options;
    options.timeoutSeconds = timeout;
    options.plain = plain;
    SystemClock systemClock;
    options.clock = &systemClock;
    if (!clock.empty()) options.virtualClock = clock == "virtual";

    std::vector<grading::SubmissionResult> results(files.size());
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    std::mutex mutex;
    std::condition_variable finished;
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            results[i] = gradeFile(files[i], spec, options);
            const std::lock_guard lock(mutex);
            ++done;
            finished.notify_one();
        }
    };
    std::vector<std::thread> workers;
    const std::size_t threads = std::min<std::size_t>(jobs, files.size());
    for (std::size_t t = 0; t < threads; ++t)
        workers.emplace_back(work);
    Progress progress(files.size());
    {
        std::unique_lock lock(mutex);
        while (done < files.size()) {
            finished.wait_for(lock, std::chrono::milliseconds(100));
            progress.update(done);
        }
    }
    for (std::thread& w : workers)
        w.join();
    progress.finish();
    // A case that found the grader's memory exhausted may have met another submission's: it
    // is graded again, alone, once the others are done.
    if (threads > 1) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            const auto& cases = results[i].cases;
            if (std::any_of(cases.begin(), cases.end(),
                            [](const grading::CaseResult& c) { return c.outOfMemory; })) {
                results[i] = gradeFile(files[i], spec, options);
            }
        }
    }

    grading::ReportOptions reportOptions;
    reportOptions.teacher = teacher;
    const std::string report = format == "json" ? grading::jsonReport(results, reportOptions)
                               : format == "gradescope" ? grading::gradescopeReport(results)
                               : format == "csv"        ? grading::csvReport(results)
                                                 : grading::textReport(results, reportOptions);
    if (!writeStandardOutput(report, reason)) {
        writeErr("tessivor-cli test: cannot write <stdout>: " + reason + "\n");
        return kExitCantCreate;
    }
    if (!junit.empty()) {
        const std::string name = fs::path(specName).stem().string();
        if (!platform::writeTextFile(junit, grading::junitReport(results, name, reportOptions),
                                     reason)) {
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
