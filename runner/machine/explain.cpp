#include "runner/machine/explain.h"

#include "runner/machine/number.h"
#include "runner/machine/operations.h"
#include "runner/machine/prepare.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace tessivor {
namespace {

constexpr std::size_t kShownCharacters = 40;

enum class Form { Double, Single, Integer };

struct Operand {
    const char* reg;
    std::int32_t cell;
};

std::string cellName(std::int32_t cell) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", cell);
    return text;
}

/// The cell numbers an operation tests before it does anything, in the machine's order.
std::vector<Operand> testedCells(std::int32_t code, std::int32_t cur, std::int32_t opb,
                                 std::int32_t opc) {
    const Operand c{"cur", cur}, b{"opb", opb}, o{"opc", opc};
    switch (code) {
    case kOpAdd:
    case kOpSub:
    case kOpMul:
    case kOpDiv:
    case kOpPower:
    case kOpRandom: return {b, o, c};
    case kOpIfEqual:
    case kOpIfGreater:
    case kOpIfLess: return {b, o};
    case kOpSqrt:
    case kOpInput: return {b, c};
    case kOpAppend:
    case kOpCopy: return {c, b};
    case kOpIncrement:
    case kOpDecrement:
    case kOpClear:
    case kOpTick:
    case kOpPointer:
    case kOpGoto:
    case kOpDisplay:
    case kOpAppendChar: return {c};
    default: return {};
    }
}

/// The cells an operation reads as numbers, in order, and as what.
std::vector<Operand> numberCells(std::int32_t code, std::int32_t cur, std::int32_t opb,
                                 std::int32_t opc, Form& form) {
    form = Form::Double;
    switch (code) {
    case kOpAdd:
    case kOpSub:
    case kOpMul:
    case kOpDiv:
    case kOpPower:
    case kOpRandom: return {{"opb", opb}, {"opc", opc}};
    case kOpIfGreater:
    case kOpIfLess: form = Form::Single; return {{"opb", opb}, {"opc", opc}};
    case kOpSqrt: return {{"opb", opb}};
    case kOpIncrement:
    case kOpDecrement:
    case kOpPointer: return {{"cur", cur}};
    case kOpGoto: form = Form::Integer; return {{"cur", cur}};
    default: return {};
    }
}

Failure readAs(Form form, std::string_view text) {
    double d = 0;
    float f = 0;
    std::int32_t i = 0;
    switch (form) {
    case Form::Double: return readDouble(text, d);
    case Form::Single: return readSingle(text, f);
    case Form::Integer: return readInteger(text, i);
    }
    return Failure::None;
}

const char* rangeOf(Form form) {
    switch (form) {
    case Form::Double: return "too large for a number";
    case Form::Single: return "too large for a single-precision number";
    case Form::Integer: return "too large for a 32-bit whole number";
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
    if (failure == Failure::None || pc < 1 || static_cast<std::size_t>(pc) > code.size())
        return {};
    const std::int32_t op = classify(static_cast<unsigned char>(code[static_cast<std::size_t>(pc - 1)]));
    const auto cellText = [&](std::int32_t cell) -> const std::string& {
        return mem[static_cast<std::size_t>(cell)];
    };
    switch (failure) {
    case Failure::SubscriptOutOfRange: {
        for (const Operand& o : testedCells(op, cur, opb, opc)) {
            if (o.cell < 0 || o.cell >= kCells) {
                return std::string(o.reg) + " is " + std::to_string(o.cell) +
                       ", not a cell number (0 to 99)";
            }
        }
        if (op == kOpGoto) {
            return "cell " + cellName(cur) + " holds " + quotedCell(cellText(cur)) +
                   ", not a label number (0 to 99)";
        }
        if (op == kOpAppendChar) return "the character to append would lie past the end of the code";
        return {};
    }
    case Failure::TypeMismatch:
    case Failure::Overflow: {
        Form form = Form::Double;
        for (const Operand& o : numberCells(op, cur, opb, opc, form)) {
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
