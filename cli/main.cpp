// tessivor-cli: builds, runs, traces and disassembles Tessivor programs without a display.

#include "cli/commands.h"
#include "platform/console.h"
#include "platform/out_of_memory.h"

#include <cstdio>
#include <new>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: tessivor-cli COMMAND [OPTIONS] FILE\n"
    "\n"
    "Commands:\n"
    "  run FILE            run a program (.tsp, or .tsasm built in memory) in the terminal\n"
    "  build FILE.tsasm    translate assembly source into a program file\n"
    "  disasm FILE.tsp     list a program file as assembly source\n"
    "  check FILE.tsasm... report slips in assembly sources, with fixes\n"
    "  test SPEC.toml FILE...\n"
    "                      grade submissions against a test file of cases\n"
    "  debug FILE          step through a program, forward and back\n"
    "\n"
    "  tessivor-cli COMMAND --help   shows the options of one command\n"
    "  tessivor-cli --version        shows the version\n";

} // namespace

int main(int argc, char** argv) {
    // dsp lines, --events and program files on stdout are the same bytes on every system.
    tessivor::platform::useBinaryStandardStreams();
    tessivor::platform::reportOutOfMemoryAtExit("tessivor-cli");
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return tessivor::cli::kExitUsage;
    }
    const std::string_view command = args.front();
    const std::span<const std::string_view> rest(args.data() + 1, args.size() - 1);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::puts("tessivor-cli " TESSIVOR_VERSION);
        return 0;
    }
    try {
        if (command == "run") return tessivor::cli::runCommand(rest);
        if (command == "build") return tessivor::cli::buildCommand(rest);
        if (command == "disasm") return tessivor::cli::disasmCommand(rest);
        if (command == "check") return tessivor::cli::checkCommand(rest);
        if (command == "test") return tessivor::cli::testCommand(rest);
        if (command == "debug") return tessivor::cli::debugCommand(rest);
    } catch (const std::bad_alloc&) {
        // A program that fills its cells, or a large file's tables, can exceed the memory.
        std::fflush(stdout);
        std::fprintf(stderr, "tessivor-cli %.*s: out of memory\n", static_cast<int>(command.size()),
                     command.data());
        return tessivor::cli::kExitSoftware;
    }
    std::fprintf(stderr, "tessivor-cli: unknown command '%.*s'\n\n%s",
                 static_cast<int>(command.size()), command.data(), kUsage);
    return tessivor::cli::kExitUsage;
}
