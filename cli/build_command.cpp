// tessivor-cli build: translates assembly source into a program file.

#include "assembler/translate/compiletext.h"
#include "cli/commands.h"
#include "cli/diagnostics_output.h"
#include "cli/stream_io.h"
#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace tessivor::cli {
namespace {

constexpr const char *kBuildUsage =
    "usage: tessivor-cli build [-o OUT] [--quiet] FILE.tsasm\n"
    "\n"
    "Translates assembly source into a program file: the code string, then CR LF.\n"
    "FILE may be - for stdin. OUT defaults to FILE with the extension .tsp (stdout when FILE\n"
    "is -); -o - writes to stdout. On a failed translation nothing is written, stderr gets\n"
    "\"Error Compiling.\" and FILE:LINE:COL naming the place and the reason. What `check`\n"
    "finds goes to stderr as well.\n"
    "\n"
    "Options:\n"
    "  -o OUT    write the program file to OUT\n"
    "  --quiet   do not print the checker's warnings\n"
    "  --help    show this text\n"
    "\n"
    "Exit status: 0 built, 1 translation failed, 64 bad usage, 66 FILE unreadable,\n"
    "73 OUT unwritable.\n";

std::string placeText(const SourcePlace &place) {
    return std::to_string(place.line) + ":" + std::to_string(place.column);
}

/// True when `a` and `b` name one existing file, so writing one would destroy the other.
bool sameFile(const std::filesystem::path &a, const std::filesystem::path &b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

} // namespace

int buildCommand(std::span<const std::string_view> args) {
    std::optional<std::string_view> file;
    std::optional<std::string_view> out;
    bool optionsDone = false;
    bool quiet = false;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string_view arg = args[k];
        if (!optionsDone && (arg == "--help" || arg == "-h")) {
            std::fputs(kBuildUsage, stdout);
            return 0;
        }
        if (!optionsDone && arg == "-o") {
            if (++k == args.size()) return usageError("build", "-o needs a file name");
            if (out) return usageError("build", "-o given twice");
            out = args[k];
        } else if (!optionsDone && arg == "--quiet") {
            quiet = true;
        } else if (!optionsDone && arg == "--") {
            optionsDone = true;
        } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
            return usageError("build", "unknown option '" + std::string(arg) + "'");
        } else if (file) {
            return usageError("build", "one source file at a time");
        } else {
            file = arg;
        }
    }
    if (!file) return usageError("build", "no source file given");

    const bool fromStdin = *file == "-";
    const std::string name = fromStdin ? "<stdin>" : std::string(*file);
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
    if (!quiet) printBuildWarnings(name, source);

    std::filesystem::path target;
    if (out) {
        target = std::filesystem::path(*out);
    } else if (!fromStdin) {
        target = std::filesystem::path(*file).replace_extension(".tsp");
    }
    if (target.empty() || target == "-") {
        if (!writeStandardOutput(t.code + "\r\n", reason)) {
            std::fprintf(stderr, "tessivor-cli build: cannot write <stdout>: %s\n", reason.c_str());
            return kExitCantCreate;
        }
        return 0;
    }
    if (!fromStdin && sameFile(target, std::filesystem::path(*file))) {
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
