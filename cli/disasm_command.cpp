// tessivor-cli disasm: lists a program file as assembly source.

#include "assembler/translate/disasm.h"
#include "cli/commands.h"
#include "cli/stream_io.h"
#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace tessivor::cli {
namespace {

constexpr const char *kDisasmUsage =
    "usage: tessivor-cli disasm FILE.tsp\n"
    "\n"
    "Lists a program file as assembly source on stdout, one instruction a line. Building the\n"
    "listing gives back the program file, byte for byte, when the assembler wrote it; code it\n"
    "never writes is shown in // comments //. FILE may be - for stdin.\n"
    "\n"
    "Options:\n"
    "  --help    show this text\n"
    "\n"
    "Exit status: 0 listed, 64 bad usage, 66 FILE unreadable, 73 stdout unwritable.\n";

} // namespace

int disasmCommand(std::span<const std::string_view> args) {
    std::optional<std::string_view> file;
    bool optionsDone = false;
    for (const std::string_view arg : args) {
        if (!optionsDone && (arg == "--help" || arg == "-h")) {
            std::fputs(kDisasmUsage, stdout);
            return 0;
        }
        if (!optionsDone && arg == "--") {
            optionsDone = true;
        } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
            return usageError("disasm", "unknown option '" + std::string(arg) + "'");
        } else if (file) {
            return usageError("disasm", "one program file at a time");
        } else {
            file = arg;
        }
    }
    if (!file) return usageError("disasm", "no program file given");

    const bool fromStdin = *file == "-";
    std::string text;
    std::string reason;
    if (!readInput(*file, text, reason)) {
        std::fprintf(stderr, "tessivor-cli disasm: cannot read %s: %s\n",
                     fromStdin ? "<stdin>" : std::string(*file).c_str(), reason.c_str());
        return kExitNoInput;
    }
    const std::string listing = disasmProgramFile(text);
    if (!writeStandardOutput(listing, reason)) {
        std::fprintf(stderr, "tessivor-cli disasm: cannot write <stdout>: %s\n", reason.c_str());
        return kExitCantCreate;
    }
    if (listing.size() > platform::kMaxFileSize) {
        std::fprintf(stderr,
                     "tessivor-cli disasm: note: the listing takes %zu bytes, more than the %zu "
                     "build reads\n",
                     listing.size(), platform::kMaxFileSize);
    }
    return 0;
}

} // namespace tessivor::cli
