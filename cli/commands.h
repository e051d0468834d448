#pragma once
// The subcommands of tessivor-cli. Each takes the arguments after its own name and returns the
// process exit status.

#include <span>
#include <string_view>

namespace tessivor::cli {

/// Exit statuses shared by the subcommands (BSD sysexits where one fits).
enum ExitStatus : int {
    kExitFailed = 1,      ///< the program, the check or a test case failed
    kExitUsage = 64,      ///< bad usage
    kExitData = 65,       ///< an input file is invalid (a test file)
    kExitNoInput = 66,    ///< a file could not be read
    kExitSoftware = 70,   ///< an internal failure (memory ran out)
    kExitCantCreate = 73, ///< an output file could not be written
};

int runCommand(std::span<const std::string_view> args);
int buildCommand(std::span<const std::string_view> args);
int disasmCommand(std::span<const std::string_view> args);
int debugCommand(std::span<const std::string_view> args);

} // namespace tessivor::cli
