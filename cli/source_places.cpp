#include "cli/source_places.h"

#include "cli/stream_io.h"
#include "runner/machine/explain.h"

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
    std::string line = program.placeOf(result.pc) + ": ";
    const std::string instruction = program.instructionAt(result.pc);
    if (!instruction.empty()) line += instruction + ": ";
    line += failureDescription(result.failure);
    const std::string why = failureReason(program.code, result.pc, result.cur, result.opb,
                                          result.opc, result.mem, result.failure);
    if (!why.empty()) line += ": " + why;
    return line;
}

std::function<void(const TraceStep&)> placedTrace(const Program& program) {
    return [&program](const TraceStep& s) {
        char head[160];
        if (s.code < 0) {
            std::snprintf(head, sizeof head, "%lld pc=%d past the end\n",
                          static_cast<long long>(s.step), s.pc);
            std::fputs(head, stderr);
            return;
        }
        const char shown = s.code >= 32 && s.code < 127 ? static_cast<char>(s.code) : '?';
        std::snprintf(head, sizeof head, "%lld pc=%d code=%d '%c' cur=%d opb=%d opc=%d",
                      static_cast<long long>(s.step), s.pc, s.code, shown, s.cur, s.opb, s.opc);
        std::string line = head;
        const std::string instruction = program.instructionAt(s.pc);
        if (!instruction.empty()) line += "  " + instruction + "  " + program.placeOf(s.pc);
        line += '\n';
        std::fputs(line.c_str(), stderr);
    };
}

} // namespace tessivor::cli
