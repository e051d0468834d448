#include "cli/source_places.h"

#include "cli/stream_io.h"
#include "runner/events/trace_line.h"

#include <cstdio>
#include <memory>

namespace tessivor::cli {
namespace {

void complain(std::string_view command, std::string_view file, std::string_view reason) {
    std::fflush(stdout);
    std::fprintf(stderr, "tessivor-cli %.*s: %.*s: %.*s\n", static_cast<int>(command.size()),
                 command.data(), static_cast<int>(file.size()), file.data(),
                 static_cast<int>(reason.size()), reason.data());
}

/// Builds `source`; prints the failure as `build` does and returns false when it fails.
bool build(std::string_view command, Program& program) {
    if (program.built) return true;
    std::fflush(stdout);
    std::fputs("Error Compiling.\n", stderr);
    std::fprintf(stderr, "tessivor-cli %.*s: %s\n", static_cast<int>(command.size()),
                 command.data(), program.buildError().c_str());
    return false;
}

} // namespace

bool isSourceFile(std::string_view name) {
    constexpr std::string_view kExtension = ".tsasm";
    if (name.size() < kExtension.size()) return false;
    const std::string_view tail = name.substr(name.size() - kExtension.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c =
            tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
        if (c != kExtension[i]) return false;
    }
    return true;
}

int loadProgram(std::string_view command, const std::string& file, std::string fileText,
                const std::optional<std::string>& sourceFile, Program& out, bool listing) {
    if (isSourceFile(file) && !sourceFile) {
        out = Program::fromSource(fileText, file);
        return build(command, out) ? 0 : 1;
    }
    if (!sourceFile) {
        out = Program::fromFile(std::move(fileText), file, listing);
        return 0;
    }
    std::string source, reason;
    if (!readInput(*sourceFile, source, reason)) {
        complain(command, *sourceFile, reason);
        return 66;
    }
    Program built = Program::fromSource(source, *sourceFile);
    if (!build(command, built)) return 1;
    std::optional<Program> mapped = Program::fromFileBuiltFrom(std::move(fileText), built);
    if (!mapped) {
        complain(command, *sourceFile, "does not build to the program in " + file);
        return 65;
    }
    out = std::move(*mapped);
    return 0;
}

std::string failureLine(const Program& program, const RunResult& result) {
    return tessivor::failureLine(program.placeOf(result.pc), program.instructionAt(result.pc),
                                 program.code, result);
}

std::function<void(const TraceStep&)> placedTrace(const Program& program) {
    return [&program](const TraceStep& s) {
        const std::string instruction = program.instructionAt(s.pc);
        const std::string line =
            traceLine(s, instruction, instruction.empty() ? std::string() : program.placeOf(s.pc));
        std::fputs(line.c_str(), stderr);
    };
}

} // namespace tessivor::cli
