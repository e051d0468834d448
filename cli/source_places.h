#pragma once
// What the command line knows of a program's source: a source file built in memory, a program
// file mapped to the source it was built from, or its listing standing in. Failed runs, traces
// and the debugger name places in it.

#include "assembler/translate/program.h"
#include "runner/machine/run.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessivor::cli {

/// True for a source file's name (".tsasm" in any letter case).
bool isSourceFile(std::string_view name);

/// Turns the text read from `file` into a program: a source file is built in memory, a program
/// file is mapped to `sourceFile` when given, else (when `listing`) to its listing, and else to
/// nothing (which costs no time or memory on large programs). On failure prints the reason
/// as `tessivor-cli COMMAND: ...` and returns the exit status (1 for a failed build, 65 for a
/// source that does not build to the program, 66 for an unreadable source); 0 on success.
int loadProgram(std::string_view command, const std::string& file, std::string fileText,
                const std::optional<std::string>& sourceFile, Program& out, bool listing = true);

/// The line a failed run adds on stderr:
/// `guess.tsasm:14:1: ifl 08, 03: Type mismatch: cell 08 holds "" (empty), not a number`.
std::string failureLine(const Program& program, const RunResult& result);

/// A trace that adds the instruction and its place to each step's line on stderr.
std::function<void(const TraceStep&)> placedTrace(const Program& program);

} // namespace tessivor::cli
