#include "runner/events/trace_line.h"

#include "runner/machine/explain.h"

#include <cstdio>

namespace tessivor {

std::string traceLine(const TraceStep& s, std::string_view instruction, std::string_view place) {
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
    if (!instruction.empty()) {
        line += "  ";
        line += instruction;
        line += "  ";
        line += place;
    }
    line += '\n';
    return line;
}

std::string failureLine(std::string_view place, std::string_view instruction,
                        const std::string& code, const RunResult& result) {
    std::string line{place};
    line += ": ";
    if (!instruction.empty()) {
        line += instruction;
        line += ": ";
    }
    line += failureDescription(result.failure);
    const std::string why = failureReason(code, result.pc, result.cur, result.opb, result.opc,
                                          result.mem, result.failure);
    if (!why.empty()) line += ": " + why;
    return line;
}

} // namespace tessivor
