// tessivor-cli build: translates assembly source into a program file.

#include "assembler/translate/compiletext.h"
#include "assembler/translate/program.h"
#include "cli/commands.h"
#include "cli/diagnostics_output.h"
#include "cli/options.h"
#include "cli/stream_io.h"
#include "platform/cmdline.h"
#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessivor::cli {
namespace {

constexpr const char* kBuildUsage =
    "usage: tessivor-cli build [OPTIONS] FILE.tsasm\n"
    "\n"
    "Translates assembly source into a program file: the code string, then CR LF.\n"
    "FILE may be - for stdin. The checker's warnings about the source go to stderr.\n"
    "On a failed translation nothing is written, and stderr gets \"Error Compiling.\"\n"
    "and FILE:LINE:COL naming the place and the reason.\n"
    "\n"
    "Options:\n"
    "  -o OUT                write the program file to OUT (default: FILE with the\n"
    "                        extension .tsp, or stdout when FILE is -); -o - writes\n"
    "                        to stdout\n"
    "  --quiet               do not print the checker's warnings\n"
    "  -h, --help            show this text\n"
    "\n"
    "Exit status: 0 built, 1 translation failed, 64 bad usage, 66 FILE unreadable,\n"
    "73 OUT unwritable.\n";

std::string placeText(const SourcePlace& place) {
    return std::to_string(place.line) + ":" + std::to_string(place.column);
}

/// True when `a` and `b` name one existing file, so writing one would destroy the other.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

/// True when stdin is the existing file `path`, so writing it would destroy the source read.
bool isStandardInput(const std::filesystem::path& path) {
#if defined(_WIN32)
    (void)path;
    return false;
#else
    struct stat in {
    }, target{};
    return ::fstat(STDIN_FILENO, &in) == 0 && ::stat(path.c_str(), &target) == 0 &&
           in.st_dev == target.st_dev && in.st_ino == target.st_ino;
#endif
}

} // namespace

int buildCommand(std::span<const std::string_view> args) {
    std::string fileName;
    std::optional<std::string> out;
    Options options("build", kBuildUsage);
    bool quiet = false;
    options.text("-o", out, "a file name");
    options.flag("--quiet", quiet);
    options.file(fileName, "source file");
    if (const auto status = options.parse(args)) return *status;
    const std::optional<std::string_view> file = fileName;

    const bool fromStdin = *file == "-";
    const std::string name(*file);
    std::string source;
    std::string reason;
    if (!readInput(*file, source, reason)) {
        std::fprintf(stderr, "tessivor-cli build: cannot read %s: %s\n", name.c_str(),
                     reason.c_str());
        return kExitNoInput;
    }

    const Translation t = compiletext(source);
    if (!t.ok) {
        std::fputs("Error Compiling.\n", stderr);
        std::fprintf(stderr, "%s:%s: the text of the \"set\" at %s has no closing \";\"\n",
                     name.c_str(), placeText(sourcePlace(source, t.position)).c_str(),
                     placeText(sourcePlace(source, t.setAt)).c_str());
        if (!quiet) printBuildWarnings(name, source);
        return 1;
    }
    // run and disasm read at most kMaxFileSize bytes: a longer program could never be used.
    if (t.code.size() + kProgramLineEnd.size() > platform::kMaxFileSize) {
        std::fprintf(stderr,
                     "tessivor-cli build: %s: the program would take %zu bytes, more than the %zu "
                     "a program file may have; nothing written\n",
                     name.c_str(), t.code.size() + kProgramLineEnd.size(), platform::kMaxFileSize);
        return 1;
    }
    if (!quiet) printBuildWarnings(name, source);

    std::filesystem::path target;
    if (out) {
        target = platform::pathFromArgument(*out);
    } else if (!fromStdin) {
        target = platform::pathFromArgument(*file).replace_extension(".tsp");
    }
    if (target.empty() || target == "-") {
        if (!writeStandardOutput(programFileText(t.code), reason)) {
            std::fprintf(stderr, "tessivor-cli build: cannot write <stdout>: %s\n", reason.c_str());
            return kExitCantCreate;
        }
        return 0;
    }
    if (fromStdin ? isStandardInput(target) : sameFile(target, platform::pathFromArgument(*file))) {
        return usageError("build", "the program file " + target.string() +
                                       " would overwrite its own source; name another with -o");
    }
    if (!platform::writeTextFile(target, t.code, reason)) {
        std::fprintf(stderr, "tessivor-cli build: cannot write %s: %s\n", target.string().c_str(),
                     reason.c_str());
        return kExitCantCreate;
    }
    return 0;
}

} // namespace tessivor::cli
