#include "runner/machine/explain.h"

#include "common/operations.h"
#include "runner/machine/number.h"
#include "runner/machine/prepare.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace tessivor {
namespace {

constexpr std::size_t kShownCharacters = 40;

struct Operand {
    const char* reg;
    std::int32_t cell;
};

std::string cellName(std::int32_t cell) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", cell);
    return text;
}

/// The cells the registers of `regs` name, in order.
std::vector<Operand> operands(Regs regs, std::int32_t cur, std::int32_t opb, std::int32_t opc) {
    std::vector<Operand> out;
    for (const Reg r : regList(regs))
        out.push_back({regName(r), r == Reg::Cur ? cur : r == Reg::Opb ? opb : opc});
    return out;
}

Failure readAs(ReadAs form, std::string_view text) {
    double d = 0;
    float f = 0;
    std::int32_t i = 0;
    switch (form) {
    case ReadAs::Double: return readDouble(text, d);
    case ReadAs::Single: return readSingle(text, f);
    case ReadAs::Integer: return readInteger(text, i);
    case ReadAs::Nothing:
    case ReadAs::Text: return Failure::None;
    }
    return Failure::None;
}

const char* rangeOf(ReadAs form) {
    switch (form) {
    case ReadAs::Double: return "too large for a number";
    case ReadAs::Single: return "too large for a single-precision number";
    case ReadAs::Integer: return "too large for a 32-bit whole number";
    case ReadAs::Nothing:
    case ReadAs::Text: return "";
    }
    return "";
}

} // namespace

std::string quotedCell(std::string_view text) {
    std::string out = "\"";
    const std::size_t shown = std::min(text.size(), kShownCharacters);
    for (std::size_t i = 0; i < shown; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b <= 0x7e && b != '"' && b != '\\') {
            out += static_cast<char>(b);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    if (shown < text.size()) out += "...";
    out += '"';
    if (text.empty()) out += " (empty)";
    return out;
}

std::string failureReason(std::string_view code, std::int32_t pc, std::int32_t cur,
                          std::int32_t opb, std::int32_t opc,
                          const std::array<std::string, kCells>& mem, Failure failure) {
    if (failure == Failure::None || pc < 1 || static_cast<std::size_t>(pc) > code.size()) return {};
    const std::int32_t op =
        classify(static_cast<unsigned char>(code[static_cast<std::size_t>(pc - 1)]));
    const Letter* letter = letterOfCode(op);
    if (!letter) return {}; // no operation fails
    const auto cellText = [&](std::int32_t cell) -> const std::string& {
        return mem[static_cast<std::size_t>(cell)];
    };
    switch (failure) {
    case Failure::SubscriptOutOfRange: {
        for (const Operand& o : operands(letter->tests, cur, opb, opc)) {
            if (o.cell < 0 || o.cell >= kCells) {
                return std::string(o.reg) + " is " + std::to_string(o.cell) +
                       ", not a cell number (0 to 99)";
            }
        }
        if (op == kOpGoto) {
            return "cell " + cellName(cur) + " holds " + quotedCell(cellText(cur)) +
                   ", not a label number (0 to 99)";
        }
        if (op == kOpAppendChar)
            return "the character to append would lie past the end of the code";
        return {};
    }
    case Failure::TypeMismatch:
    case Failure::Overflow: {
        const ReadAs form = letter->readAs;
        for (const Operand& o : operands(letter->reads, cur, opb, opc)) {
            const Failure f = readAs(form, cellText(o.cell));
            if (f == Failure::TypeMismatch && failure == f) {
                return "cell " + cellName(o.cell) + " holds " + quotedCell(cellText(o.cell)) +
                       ", not a number";
            }
            if (f == Failure::Overflow && failure == f) {
                return "cell " + cellName(o.cell) + " holds " + quotedCell(cellText(o.cell)) +
                       ", " + rangeOf(form);
            }
            if (f != Failure::None) break;
        }
        if (op == kOpPointer && failure == Failure::Overflow) {
            return "cell " + cellName(cur) + " holds " + quotedCell(cellText(cur)) +
                   ", too large for a cell number";
        }
        return {};
    }
    case Failure::OutOfStringSpace: {
        const std::string limit = std::to_string(kMaxCellLength);
        if (op == kOpInput) return "the reply is longer than " + limit + " characters";
        if (op == kOpAppend && cur >= 0 && cur < kCells && opb >= 0 && opb < kCells) {
            const std::size_t length = cellText(cur).size() + cellText(opb).size();
            if (length > kMaxCellLength) {
                return "cell " + cellName(cur) + " would hold " + std::to_string(length) +
                       " characters, more than " + limit;
            }
        }
        if (op == kOpAppendChar && cur >= 0 && cur < kCells &&
            cellText(cur).size() + 1 > kMaxCellLength) {
            return "cell " + cellName(cur) + " already holds " + limit + " characters, the most";
        }
        return "memory ran out for the text of cell " + cellName(cur);
    }
    case Failure::None: break;
    }
    return {};
}

} // namespace tessivor
