#pragma once
// The subcommands of tessivor-cli. Each takes the arguments after its own name and returns the
// process exit status.

#include <span>
#include <string_view>

namespace tessivor::cli {

/// Exit statuses shared by the subcommands (BSD sysexits where one fits).
enum ExitStatus : int {
    kExitUsage = 64,      ///< bad usage
    kExitNoInput = 66,    ///< a file could not be read
    kExitCantCreate = 73, ///< an output file could not be written
};

int runCommand(std::span<const std::string_view> args);
int buildCommand(std::span<const std::string_view> args);
int disasmCommand(std::span<const std::string_view> args);

} // namespace tessivor::cli
