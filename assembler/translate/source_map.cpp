#include "assembler/translate/source_map.h"

#include "assembler/translate/disasm.h"
#include "assembler/translate/mnemonics.h"

#include <algorithm>
#include <cstdio>

namespace tessivor {
namespace {

/// The mnemonic spelt at `i`, in any letter case, or null; the same test as the translation's.
const Mnemonic* mnemonicAt(std::string_view source, std::size_t i) {
    if (source.size() - i < 3) return nullptr;
    char lower[3];
    for (int k = 0; k < 3; ++k) {
        const char c = source[i + static_cast<std::size_t>(k)];
        lower[k] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower[k] < 'a' || lower[k] > 'z') return nullptr;
    }
    const std::string_view spelt(lower, 3);
    for (const Mnemonic& m : kMnemonics)
        if (m.name == spelt) return &m;
    return nullptr;
}

// The scan of the translation, step for step, counting what it writes instead of writing it.
class MapScan {
public:
    explicit MapScan(std::string_view source) : source_(source), n_(source.size()) {}

    std::vector<SourceInstruction> run() {
        std::size_t i = 0;
        while (i < n_) {
            if (const Mnemonic* m = mnemonicAt(source_, i)) {
                i = instruction(*m, i);
                continue;
            }
            if (source_[i] == '/' && i + 1 < n_ && source_[i + 1] == '/') {
                const std::size_t q = source_.find("//", i + 1);
                i = q == std::string_view::npos ? i + 2 : q + 2;
                continue;
            }
            ++i;
        }
        return std::move(out_);
    }

private:
    /// How many characters of the operand column at `column` the translation copies.
    std::size_t operand(std::size_t column) const {
        return column < n_ ? std::min<std::size_t>(2, n_ - column) : 0;
    }

    /// Records the instruction at `i` and returns where the scan goes on.
    std::size_t instruction(const Mnemonic& m, std::size_t i) {
        std::size_t length = 0; // code characters written
        std::size_t read = 3;   // source characters read, counted from the mnemonic
        std::size_t next = i + m.advance;
        const auto op = [&](int k) { return 1 + operand(i + kOperandColumn[k]); };
        switch (m.form) {
        case Form::ThreeOperand:
            length = op(0) + 1 + op(1) + 1 + op(2);
            read = kOperandColumn[2] + 2;
            break;
        case Form::Comparison:
            length = op(0) + 1 + op(1) + 1;
            read = kOperandColumn[1] + 2;
            break;
        case Form::TwoOperand:
            length = op(0) + 1 + op(1);
            read = kOperandColumn[1] + 2;
            break;
        case Form::OneOperand:
            length = op(0);
            read = kOperandColumn[0] + 2;
            break;
        case Form::Marker:
            // A label's number stands in its operand column; it belongs to the line shown.
            if (m.name == "lbl") read = kOperandColumn[0] + 2;
            break;
        case Form::Text: {
            const std::size_t literal = i + 8;
            const std::size_t semicolon = source_.find(';', literal);
            // The translation failed at a "set" without ";" and no map is made; stop here.
            if (semicolon == std::string_view::npos) return n_;
            length = op(0) + 1 + 2 * (semicolon - literal);
            read = semicolon + 1 - i;
            next = semicolon + 1;
            break;
        }
        }
        if (m.form != Form::Text) length += m.final.size();

        SourceInstruction ins;
        countLinesUpTo(i);
        ins.line = line_;
        ins.column = i - lineStart_ + 1;
        ins.begin = i;
        ins.end = std::min(i + read, n_);
        ins.first = static_cast<std::int32_t>(written_ + 1);
        written_ += length;
        ins.last = static_cast<std::int32_t>(written_);
        ins.name = m.name;
        out_.push_back(ins);
        return next;
    }

    void countLinesUpTo(std::size_t i) {
        for (; counted_ < i; ++counted_) {
            if (source_[counted_] == '\n') {
                ++line_;
                lineStart_ = counted_ + 1;
            }
        }
    }

    std::string_view source_;
    std::size_t n_;
    std::vector<SourceInstruction> out_;
    std::size_t written_ = 0;
    std::size_t counted_ = 0, line_ = 1, lineStart_ = 0;
};

void sizeMap(SourceMap& map, std::size_t positions) {
    map.line.assign(positions + 1, 0);
    map.instruction.assign(positions + 1, 0);
    map.instructionStart.assign(positions + 1, 0);
}

/// Maps `count` positions from 1-based `first` to instruction number `number` (0: none).
void mapRange(SourceMap& map, std::size_t first, std::size_t count, std::int32_t line,
              std::int32_t number) {
    for (std::size_t p = first; p < first + count && p < map.line.size(); ++p) {
        map.line[p] = line;
        map.instruction[p] = number;
    }
    if (number != 0 && count > 0 && first < map.line.size()) map.instructionStart[first] = 1;
}

constexpr std::size_t kLongestShown = 120; // code characters of one instruction listed at most

} // namespace

MappedTranslation compileWithMap(std::string_view source) {
    MappedTranslation out;
    out.translation = compiletext(source);
    if (out.translation.ok) out.instructions = MapScan(source).run();
    return out;
}

SourceMap MappedTranslation::sourceMap() const {
    SourceMap map;
    if (!translation.ok) return map;
    sizeMap(map, translation.code.size() + 2);
    for (std::size_t k = 0; k < instructions.size(); ++k) {
        const SourceInstruction& ins = instructions[k];
        if (ins.last < ins.first) continue;
        mapRange(map, static_cast<std::size_t>(ins.first),
                 static_cast<std::size_t>(ins.last - ins.first + 1),
                 static_cast<std::int32_t>(ins.line), static_cast<std::int32_t>(k + 1));
    }
    return map;
}

ListedProgram listProgram(std::string_view fileText) {
    ListedProgram out;
    out.listing = disasmProgramFile(fileText);
    out.mapped = compileWithMap(out.listing);
    sizeMap(out.map, fileText.size());
    const bool closed = fileText.size() >= 2 && fileText.substr(fileText.size() - 2) == "\r\n";
    const std::size_t codeEnd = closed ? fileText.size() - 2 : fileText.size();
    const std::string& rebuilt = out.mapped.translation.code;
    // The listing gives back the code less what it dropped into comments, in order: find each
    // instruction's code in turn; what lies between is shown in the comment line before it.
    std::size_t at = 0;
    std::int32_t lastLine = 1;
    for (std::size_t k = 0; k < out.mapped.instructions.size(); ++k) {
        const SourceInstruction& ins = out.mapped.instructions[k];
        if (ins.last < ins.first) continue;
        const std::string_view piece = std::string_view(rebuilt).substr(
            static_cast<std::size_t>(ins.first - 1), static_cast<std::size_t>(ins.last - ins.first + 1));
        const std::size_t found = fileText.substr(0, codeEnd).find(piece, at);
        if (found == std::string_view::npos) return out; // cannot happen for a listing
        const auto line = static_cast<std::int32_t>(ins.line);
        mapRange(out.map, at + 1, found - at, line > 1 ? line - 1 : line, 0);
        mapRange(out.map, found + 1, piece.size(), line, static_cast<std::int32_t>(k + 1));
        at = found + piece.size();
        lastLine = line;
    }
    mapRange(out.map, at + 1, codeEnd - at, lastLine + (out.mapped.instructions.empty() ? 0 : 1), 0);
    return out;
}

std::string instructionText(std::string_view code, std::int32_t pc, const SourceMap& map) {
    if (pc < 1 || static_cast<std::size_t>(pc) > code.size()) return {};
    auto start = static_cast<std::size_t>(pc);
    std::size_t stop = std::min(code.size(), start + kLongestShown - 1);
    if (!map.empty()) {
        if (start >= map.instruction.size() || map.instruction[start] == 0) return {};
        const std::int32_t number = map.instruction[start];
        while (start > 1 && map.instructionStart[start] == 0 && map.instruction[start - 1] == number)
            --start;
        stop = start;
        while (stop + 1 < map.instruction.size() && stop + 1 <= code.size() &&
               map.instruction[stop + 1] == number && map.instructionStart[stop + 1] == 0)
            ++stop;
    }
    const bool cut = stop - start + 1 > kLongestShown;
    const std::string_view slice = code.substr(start - 1, std::min(stop - start + 1, kLongestShown));
    if (slice == " v") {
        // Labels are numbered by the order of their markers in the whole code string.
        int number = 0;
        for (std::size_t j = 0; j <= start && j < code.size(); ++j)
            if (code[j] == 'v' && (j == 0 || code[j - 1] == ' ')) ++number;
        char text[16];
        std::snprintf(text, sizeof text, "lbl %02d", number % 100);
        return text;
    }
    std::string text = disasm(slice);
    text = text.substr(0, text.find("\r\n"));
    if (text.rfind("//", 0) == 0) return {};
    if (cut && !text.empty() && text.back() == ';') text.insert(text.size() - 1, "...");
    return text;
}

} // namespace tessivor
