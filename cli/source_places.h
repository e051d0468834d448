#pragma once
// What the command line knows of a program's source: a source file built in memory, a program
// file mapped to the source it was built from, or its listing standing in. Failed runs, traces
// and the debugger name places in it.

#include "assembler/translate/source_map.h"
#include "runner/machine/run.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor::cli {

/// A program to run and where its positions come from.
struct ProgramSource {
    std::string code;   ///< what runs: the program file's text, or a build's code + CR LF
    std::string name;   ///< the file named in places: the source, or the program file
    bool known = false; ///< a source was given or built (otherwise the listing stands in)
    std::string text;   ///< the source's text, or the listing
    SourceMap map;      ///< per position of `code`
    std::vector<SourceInstruction> instructions; ///< of `text`, numbered as map.instruction
};

/// True for a source file's name (".tsasm" in any letter case).
bool isSourceFile(std::string_view name);

/// Turns the text read from `file` into a program: a source file is built in memory, a program
/// file is mapped to `sourceFile` when given, else (when `listing`) to its listing, and else to
/// nothing (which costs no time or memory on large programs). On failure prints the reason
/// as `tessivor-cli COMMAND: ...` and returns the exit status (1 for a failed build, 65 for a
/// source that does not build to the program, 66 for an unreadable source); 0 on success.
int loadProgram(std::string_view command, const std::string& file, std::string fileText,
                const std::optional<std::string>& sourceFile, ProgramSource& out,
                bool listing = true);

/// "guess.tsasm:14:1" for code position pc; "hello.tsp: pc 19" without a source.
std::string placeOf(const ProgramSource& program, std::int32_t pc);

/// The line a failed run adds on stderr:
/// `guess.tsasm:14:1: ifl 08, 03: Type mismatch: cell 08 holds "" (empty), not a number`.
std::string failureLine(const ProgramSource& program, const RunResult& result);

/// One step's line of `run --trace`, with its line end: the step, the registers, and (where
/// the position holds one) the instruction and its place.
std::string traceLine(const ProgramSource& program, const TraceStep& step);

/// A trace that adds the instruction and its place to each step's line on stderr.
std::function<void(const TraceStep&)> placedTrace(const ProgramSource& program);

} // namespace tessivor::cli
