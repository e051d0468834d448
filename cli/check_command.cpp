// tessivor-cli check: reports every slip in assembly sources, the way compilers do.

#include "assembler/check/check.h"
#include "cli/commands.h"
#include "cli/diagnostics_output.h"
#include "cli/stream_io.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace tessivor::cli {
namespace {

constexpr const char* kCheckUsage =
    "usage: tessivor-cli check [OPTIONS] FILE.tsasm...\n"
    "\n"
    "Reports everything in assembly sources that the assembler skips, misreads or\n"
    "rejects, with the line and column, what the machine will make of it and, where\n"
    "one is clear, the line as it should be written. FILE may be - for stdin.\n"
    "\n"
    "Options:\n"
    "  --format text|json    text (default), or one JSON object a line\n"
    "  --werror              count warnings as errors for the exit status\n"
    "  -h, --help            show this text\n"
    "\n"
    "Exit status: 0 no error, 1 an error (or a warning with --werror), 64 bad usage,\n"
    "66 a FILE unreadable, 70 out of memory, 73 the report could not be written.\n";

} // namespace

int checkCommand(std::span<const std::string_view> args) {
    CLI::App app("", "tessivor-cli check");
    app.allow_windows_style_options(false); // a /path is a file name on every system
    std::vector<std::string> files;
    std::string format = "text";
    bool werror = false;
    app.add_option("--format", format, "text (the default) or json: one object a line")
        ->check(CLI::IsMember({"text", "json"}));
    app.add_flag("--werror", werror, "count warnings as errors for the exit status");
    app.add_option("FILE", files, "the .tsasm sources to check")->required();
    // CLI11 takes the arguments in reverse order.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fputs(kCheckUsage, stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        return usageError("check", e.what());
    }

    // A report that does not reach its reader (a full disk, a closed stdout) is a failure,
    // whatever it says. Not writeStandardOutput, which switches Windows' stdout to binary: the
    // report is lines of text, with the system's line ends.
    const auto writeOut = [](const std::string& text) {
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
            std::fflush(stdout) == 0) {
            return true;
        }
        const int error = errno ? errno : EIO;
        std::fprintf(stderr, "tessivor-cli check: cannot write <stdout>: %s\n",
                     std::generic_category().message(error).c_str());
        return false;
    };
    const bool json = format == "json";
    FindingCounts counts;
    std::size_t checked = 0;
    bool unreadable = false;
    bool outOfMemory = false;
    std::string out;
    for (const std::string& file : files) {
        const std::string name = file == "-" ? "<stdin>" : file;
        std::string source;
        std::string reason;
        if (!readInput(file, source, reason)) {
            std::fflush(stdout);
            std::fprintf(stderr, "tessivor-cli check: %s: %s\n", name.c_str(), reason.c_str());
            unreadable = true;
            continue;
        }
        try {
            const std::vector<Diagnostic> found = checkSource(source);
            counts.add(found);
            if (json) {
                appendDiagnosticsJson(out, name, found);
            } else {
                appendDiagnosticsText(out, name, source, found);
            }
        } catch (const std::bad_alloc&) {
            out.clear();
            std::fflush(stdout);
            std::fprintf(stderr, "tessivor-cli check: %s: out of memory\n", name.c_str());
            outOfMemory = true;
            continue;
        }
        ++checked;
        if (!writeOut(out)) return kExitCantCreate;
        out.clear();
    }
    if (!json && checked > 0) out += summaryLine(counts, checked);
    if (!writeOut(out)) return kExitCantCreate;
    if (outOfMemory) return kExitSoftware;
    if (unreadable) return kExitNoInput;
    if (counts.errors > 0 || (werror && counts.warnings > 0)) return kExitFailed;
    return 0;
}

} // namespace tessivor::cli
