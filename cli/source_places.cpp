#include "cli/source_places.h"

#include "cli/stream_io.h"

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

std::string placeText(const SourcePlace& place) {
    return std::to_string(place.line) + ":" + std::to_string(place.column);
}

/// Builds `source`; prints the failure as `build` does and returns false when it fails.
bool build(std::string_view command, const std::string& name, const std::string& source,
           MappedTranslation& out) {
    out = compileWithMap(source);
    if (out.translation.ok) return true;
    std::fflush(stdout);
    std::fputs("Error Compiling.\n", stderr);
    complain(command, name + ":" + placeText(sourcePlace(source, out.translation.position)),
             "the text of the \"set\" at " + placeText(sourcePlace(source, out.translation.setAt)) +
                 " has no closing \";\"");
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
                const std::optional<std::string>& sourceFile, ProgramSource& out, bool listing) {
    if (isSourceFile(file) && !sourceFile) {
        MappedTranslation built;
        if (!build(command, file, fileText, built)) return 1;
        out.code = built.translation.code + "\r\n"; // as a program file holds it
        out.name = file;
        out.known = true;
        out.map = built.sourceMap();
        out.instructions = std::move(built.instructions);
        out.text = std::move(fileText);
        return 0;
    }
    out.code = std::move(fileText);
    out.name = file;
    if (!sourceFile) {
        if (!listing) return 0;
        ListedProgram listed = listProgram(out.code);
        out.text = std::move(listed.listing);
        out.map = std::move(listed.map);
        out.instructions = std::move(listed.mapped.instructions);
        return 0;
    }
    std::string source, reason;
    if (!readInput(*sourceFile, source, reason)) {
        complain(command, *sourceFile, reason);
        return 66;
    }
    MappedTranslation built;
    if (!build(command, *sourceFile, source, built)) return 1;
    const std::string& code = built.translation.code;
    if (out.code != code + "\r\n" && out.code != code) {
        complain(command, *sourceFile, "does not build to the program in " + file);
        return 65;
    }
    out.name = *sourceFile;
    out.known = true;
    out.map = built.sourceMap();
    out.map.line.resize(out.code.size() + 1);
    out.map.instruction.resize(out.code.size() + 1);
    out.map.instructionStart.resize(out.code.size() + 1);
    out.instructions = std::move(built.instructions);
    out.text = std::move(source);
    return 0;
}

std::function<void(const TraceStep&)> placedTrace(const ProgramSource& program) {
    return [&program](const TraceStep& s) { std::fputs(traceLine(program, s).c_str(), stderr); };
}

} // namespace tessivor::cli
