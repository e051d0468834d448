#include "assembler/translate/program.h"

#include <memory>

namespace tessivor {
namespace {

std::string placeText(const SourcePlace& place) {
    return std::to_string(place.line) + ":" + std::to_string(place.column);
}

} // namespace

std::string programFileText(std::string_view code) {
    std::string text;
    text.reserve(code.size() + kProgramLineEnd.size());
    text += code;
    text += kProgramLineEnd;
    return text;
}

Program Program::fromSource(std::string_view source, std::string name) {
    Program p;
    p.name = std::move(name);
    p.origin = Origin::Source;
    MappedTranslation built = compileWithMap(source);
    p.text = std::string(source);
    if (!built.translation.ok) {
        p.built = false;
        p.failure = std::move(built.translation);
        return p;
    }
    p.code = programFileText(built.translation.code);
    p.map = built.sourceMap();
    p.instructions = std::move(built.instructions);
    return p;
}

Program Program::fromFile(std::string fileText, std::string name, bool listing) {
    Program p;
    p.name = std::move(name);
    p.code = std::move(fileText);
    if (!listing) return p;
    ListedProgram listed = listProgram(p.code);
    p.origin = Origin::Listing;
    p.text = std::move(listed.listing);
    p.map = std::move(listed.map);
    p.instructions = std::move(listed.mapped.instructions);
    return p;
}

std::optional<Program> Program::fromFileBuiltFrom(std::string fileText, const Program& source) {
    const std::string_view built = source.codeString();
    if (!source.built || (fileText != source.code && fileText != built)) return std::nullopt;
    Program p = source;
    p.origin = Origin::File;
    p.code = std::move(fileText);
    p.map.line.resize(p.code.size() + 1);
    p.map.instruction.resize(p.code.size() + 1);
    p.map.instructionStart.resize(p.code.size() + 1);
    return p;
}

std::string_view Program::codeString() const {
    const std::string_view all(code);
    if (all.size() >= kProgramLineEnd.size() &&
        all.substr(all.size() - kProgramLineEnd.size()) == kProgramLineEnd) {
        return all.substr(0, all.size() - kProgramLineEnd.size());
    }
    return all;
}

std::string Program::buildError() const {
    if (built) return {};
    return name + ":" + placeText(sourcePlace(text, failure.position)) +
           ": the text of the \"set\" at " + placeText(failedSetPlace()) + " has no closing \";\"";
}

SourcePlace Program::failedSetPlace() const { return sourcePlace(text, failure.setAt); }

std::string Program::instructionAt(std::int32_t pc) const { return instructionText(code, pc, map); }

std::function<std::string(std::int32_t)> Program::instructionTexts() const {
    struct Shared {
        std::string code;
        SourceMap map;
    };
    auto shared = std::make_shared<const Shared>(Shared{code, map});
    return [shared](std::int32_t pc) { return instructionText(shared->code, pc, shared->map); };
}

std::int32_t Program::lineAt(std::int32_t pc) const {
    const auto p = static_cast<std::size_t>(pc);
    return pc >= 1 && p < map.line.size() ? map.line[p] : 0;
}

std::string Program::placeOf(std::int32_t pc) const {
    const auto p = static_cast<std::size_t>(pc);
    if (sourceKnown() && pc >= 1 && p < map.instruction.size() && map.instruction[p] != 0) {
        const SourceInstruction& ins =
            instructions[static_cast<std::size_t>(map.instruction[p] - 1)];
        return name + ":" + std::to_string(ins.line) + ":" + std::to_string(ins.column);
    }
    return name + ": pc " + std::to_string(pc);
}

} // namespace tessivor
