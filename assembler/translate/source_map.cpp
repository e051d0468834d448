#include "assembler/translate/source_map.h"

#include "assembler/translate/disasm.h"
#include "assembler/translate/walk.h"

#include <algorithm>
#include <cstdio>

namespace tessivor {
namespace {

// The translation's sink that also records where each instruction stands and which code
// positions it wrote.
class MappingSink : public TranslationSink {
public:
    MappingSink(std::string_view source, MappedTranslation& out)
        : TranslationSink(source, out.translation), out_(out) {
        result.code.reserve(source.size() + source.size() / 4);
    }

    void instruction(const SourcePiece& piece) {
        SourceInstruction ins;
        countLinesUpTo(piece.begin);
        ins.line = line_;
        ins.column = piece.begin - lineStart_ + 1;
        ins.begin = piece.begin;
        const std::size_t read = piece.mnemonic->form == Form::Text
                                     ? piece.end
                                     : piece.begin + readsUpTo(*piece.mnemonic);
        ins.end = std::min(read, source.size());
        ins.first = static_cast<std::int32_t>(result.code.size() + 1);
        TranslationSink::instruction(piece);
        ins.last = static_cast<std::int32_t>(result.code.size());
        ins.name = piece.mnemonic->name;
        out_.instructions.push_back(ins);
    }

    /// The translation fails, and no map is made.
    bool unterminated(const SourcePiece& piece) {
        out_.instructions.clear();
        return TranslationSink::unterminated(piece);
    }

private:
    void countLinesUpTo(std::size_t i) {
        for (; counted_ < i; ++counted_) {
            if (source[counted_] == '\n') {
                ++line_;
                lineStart_ = counted_ + 1;
            }
        }
    }

    MappedTranslation& out_;
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
    MappingSink sink(source, out);
    walkSource(source, sink);
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
        const std::string_view piece =
            std::string_view(rebuilt).substr(static_cast<std::size_t>(ins.first - 1),
                                             static_cast<std::size_t>(ins.last - ins.first + 1));
        const std::size_t found = fileText.substr(0, codeEnd).find(piece, at);
        if (found == std::string_view::npos) return out; // cannot happen for a listing
        const auto line = static_cast<std::int32_t>(ins.line);
        mapRange(out.map, at + 1, found - at, line > 1 ? line - 1 : line, 0);
        mapRange(out.map, found + 1, piece.size(), line, static_cast<std::int32_t>(k + 1));
        at = found + piece.size();
        lastLine = line;
    }
    mapRange(out.map, at + 1, codeEnd - at, lastLine + (out.mapped.instructions.empty() ? 0 : 1),
             0);
    return out;
}

std::string instructionText(std::string_view code, std::int32_t pc, const SourceMap& map) {
    if (pc < 1 || static_cast<std::size_t>(pc) > code.size()) return {};
    auto start = static_cast<std::size_t>(pc);
    std::size_t stop = std::min(code.size(), start + kLongestShown - 1);
    if (!map.empty()) {
        if (start >= map.instruction.size() || map.instruction[start] == 0) return {};
        const std::int32_t number = map.instruction[start];
        while (start > 1 && map.instructionStart[start] == 0 &&
               map.instruction[start - 1] == number)
            --start;
        stop = start;
        while (stop + 1 < map.instruction.size() && stop + 1 <= code.size() &&
               map.instruction[stop + 1] == number && map.instructionStart[stop + 1] == 0)
            ++stop;
    }
    const bool cut = stop - start + 1 > kLongestShown;
    const std::string_view slice =
        code.substr(start - 1, std::min(stop - start + 1, kLongestShown));
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
