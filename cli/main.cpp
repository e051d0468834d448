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
    "usage: tessivor-cli COMMAND [OPTIONS] FILE...\n"
    "\n"
    "Builds, runs, traces, checks, grades and debugs Tessivor programs in the\n"
    "terminal.\n"
    "\n"
    "Commands:\n"
    "  run FILE              run a program (.tsp, or .tsasm built in memory)\n"
    "  build FILE.tsasm      translate assembly source into a program file\n"
    "  disasm FILE.tsp       list a program file as assembly source\n"
    "  check FILE.tsasm...   report slips in assembly sources, with fixes\n"
    "  test SPEC.toml FILE...\n"
    "                        grade submissions against a test file of cases\n"
    "  debug FILE            step through a program, forward and back\n"
    "  help [COMMAND]        show this text, or the options of one command\n"
    "\n"
    "Options:\n"
    "  --version             show the version\n"
    "  -h, --help            show this text\n"
    "\n"
    "tessivor-cli help COMMAND (or tessivor-cli COMMAND --help) shows the options\n"
    "and the exit statuses of one command.\n"
    "\n"
    "Exit status: that of the command; 0 after help, 64 bad usage.\n";

/// The commands, each with its function.
struct Command {
    std::string_view name;
    int (*run)(std::span<const std::string_view>);
};
constexpr Command kCommands[] = {
    {"run", tessivor::cli::runCommand},       {"build", tessivor::cli::buildCommand},
    {"disasm", tessivor::cli::disasmCommand}, {"check", tessivor::cli::checkCommand},
    {"test", tessivor::cli::testCommand},     {"debug", tessivor::cli::debugCommand},
};

const Command* findCommand(std::string_view name) {
    for (const Command& c : kCommands) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

int unknownCommand(std::string_view name) {
    std::fprintf(stderr, "tessivor-cli: unknown command '%.*s'\n\n%s",
                 static_cast<int>(name.size()), name.data(), kUsage);
    return tessivor::cli::kExitUsage;
}

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
    std::string_view command = args.front();
    std::span<const std::string_view> rest(args.data() + 1, args.size() - 1);
    if (command == "help" && !rest.empty()) {
        // "help CMD" is "CMD --help", whatever follows it.
        static constexpr std::string_view kHelpFlag[] = {"--help"};
        command = rest.front();
        rest = kHelpFlag;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::puts("tessivor-cli " TESSIVOR_VERSION);
        return 0;
    }
    const Command* found = findCommand(command);
    if (!found) return unknownCommand(command);
    try {
        return found->run(rest);
    } catch (const std::bad_alloc&) {
        // A program that fills its cells, or a large file's tables, can exceed the memory.
        std::fflush(stdout);
        std::fprintf(stderr, "tessivor-cli %.*s: out of memory\n", static_cast<int>(command.size()),
                     command.data());
        return tessivor::cli::kExitSoftware;
    }
}
