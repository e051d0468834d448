#include "cli/source_places.h"

#include "runner/machine/explain.h"

#include <cstdio>

// The places of positions, the line of a failed run and the lines of a trace: the command line's
// and the page's engine's (which reads no files, so these stand apart from the loading in
// source_places.cpp).

namespace tessivor::cli {

std::string placeOf(const ProgramSource& program, std::int32_t pc) {
    const auto p = static_cast<std::size_t>(pc);
    if (program.known && pc >= 1 && p < program.map.instruction.size() &&
        program.map.instruction[p] != 0) {
        const SourceInstruction& ins =
            program.instructions[static_cast<std::size_t>(program.map.instruction[p] - 1)];
        return program.name + ":" + std::to_string(ins.line) + ":" + std::to_string(ins.column);
    }
    return program.name + ": pc " + std::to_string(pc);
}

std::string failureLine(const ProgramSource& program, const RunResult& result) {
    std::string line = placeOf(program, result.pc) + ": ";
    const std::string instruction = instructionText(program.code, result.pc, program.map);
    if (!instruction.empty()) line += instruction + ": ";
    line += failureDescription(result.failure);
    const std::string why = failureReason(program.code, result.pc, result.cur, result.opb,
                                          result.opc, result.mem, result.failure);
    if (!why.empty()) line += ": " + why;
    return line;
}

std::string traceLine(const ProgramSource& program, const TraceStep& s) {
    char head[160];
    if (s.code < 0) {
        std::snprintf(head, sizeof head, "%lld pc=%d past the end\n",
                      static_cast<long long>(s.step), s.pc);
        return head;
    }
    const char shown = s.code >= 32 && s.code < 127 ? static_cast<char>(s.code) : '?';
    std::snprintf(head, sizeof head, "%lld pc=%d code=%d '%c' cur=%d opb=%d opc=%d",
                  static_cast<long long>(s.step), s.pc, s.code, shown, s.cur, s.opb, s.opc);
    std::string line = head;
    const std::string instruction = instructionText(program.code, s.pc, program.map);
    if (!instruction.empty()) line += "  " + instruction + "  " + placeOf(program, s.pc);
    line += '\n';
    return line;
}

} // namespace tessivor::cli
