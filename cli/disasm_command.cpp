// tessivor-cli disasm: lists a program file as assembly source.

#include "assembler/translate/disasm.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/stream_io.h"
#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace tessivor::cli {
namespace {

constexpr const char* kDisasmUsage =
    "usage: tessivor-cli disasm [OPTIONS] FILE.tsp\n"
    "\n"
    "Lists a program file as assembly source on stdout, one instruction a line.\n"
    "Building the listing gives back the program file, byte for byte, when the\n"
    "assembler wrote it; code it never writes is shown in // comments //. FILE may\n"
    "be - for stdin.\n"
    "\n"
    "Options:\n"
    "  -h, --help            show this text\n"
    "\n"
    "Exit status: 0 listed, 64 bad usage, 66 FILE unreadable, 73 stdout unwritable.\n";

} // namespace

int disasmCommand(std::span<const std::string_view> args) {
    std::string fileName;
    Options options("disasm", kDisasmUsage);
    options.file(fileName, "program file");
    if (const auto status = options.parse(args)) return *status;
    const std::optional<std::string_view> file = fileName;

    std::string text;
    std::string reason;
    if (!readInput(*file, text, reason)) {
        std::fprintf(stderr, "tessivor-cli disasm: cannot read %s: %s\n",
                     std::string(*file).c_str(), reason.c_str());
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
