#include "runner/debug/describe.h"

#include "common/ends.h"
#include "runner/machine/explain.h"

namespace tessivor {
namespace {

std::string twoDigits(int cell) {
    return std::string{static_cast<char>('0' + cell / 10), static_cast<char>('0' + cell % 10)};
}

std::string atLine(const DebugState& state) {
    return "line " + std::to_string(state.line) + " (" + state.instruction + ")";
}

std::string where(const DebugState& state) {
    if (!state.ended) {
        if (state.line > 0) return "Line " + atLine(state).substr(5);
        return "Position " + std::to_string(state.pc);
    }
    switch (state.end) {
    case RunEnd::Terminated: return "The program has terminated";
    case RunEnd::Error: {
        std::string text = "The program ended";
        if (state.line > 0) text += " at " + atLine(state);
        return text + " with the error \"" + failureDescription(state.failure) + "\"";
    }
    case RunEnd::PastEnd: return "The program ran past its last instruction";
    case RunEnd::PrepareFailed: return "The program could not start";
    case RunEnd::StepLimit: return "The run stopped at the step limit";
    }
    return "The program has ended";
}

} // namespace

std::string describeState(const DebugState& state, const std::array<std::string, kCells>& cells) {
    std::string text = where(state);
    text += ": pc " + std::to_string(state.pc) + ", cur " + std::to_string(state.cur) + ", opb " +
            std::to_string(state.opb) + ", opc " + std::to_string(state.opc) + " after " +
            std::to_string(state.steps) + (state.steps == 1 ? " step; " : " steps; ");
    bool any = false;
    for (int i = 0; i < kCells; ++i) {
        if (cells[i].empty()) continue;
        text += any ? ", cell " : "cell ";
        text += twoDigits(i) + " holds " + quotedCell(cells[i]);
        any = true;
    }
    text += any ? "." : "every cell is empty.";
    return text;
}

} // namespace tessivor
