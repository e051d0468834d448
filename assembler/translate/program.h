#pragma once
// A program as every front end takes it: what runs, and what is known of where its positions
// came from. The command line, grading, the Studio and the page all make theirs here, so a
// source built in memory runs with exactly the bytes of the program file `build` writes.
//
// Program is plain data with a few questions it answers. A front end that needs more of a
// program (a checker's findings, a second map) adds a field here and fills it in the factory
// functions, so every front end gets it.

#include "assembler/translate/source_map.h"
#include "common/source_map.h"
#include "common/source_place.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor {

/// The line end a program file closes its code string with.
inline constexpr std::string_view kProgramLineEnd = "\r\n";

/// The text of a program file holding the code string `code`: the code and its CR LF.
std::string programFileText(std::string_view code);

struct Program {
    /// Where the program came from and what `text` is.
    enum class Origin {
        Source,  ///< a source built in memory; `text` is that source
        File,    ///< a program file's text, mapped to `text`, the source it was built from
        Listing, ///< a program file's text; `text` is its listing, which stands in for a source
        Bare,    ///< a program file's text, nothing known of its positions (`text` is empty)
    };

    std::string name; ///< the file places name: the source, or the program file
    Origin origin = Origin::Bare;
    /// False when a source did not build: nothing runs, `code` is empty, `failure` says where.
    bool built = true;
    Translation failure; ///< when not built: the failed translation (position, setAt)
    std::string code;    ///< what runs: a program file's text (a build's code and CR LF)
    std::string text;    ///< the source, or the listing; empty for Bare
    SourceMap map;       ///< per position of `code`; empty for Bare
    std::vector<SourceInstruction> instructions; ///< of `text`, numbered as map.instruction

    /// Builds `source` in memory (Origin::Source).
    static Program fromSource(std::string_view source, std::string name = {});
    /// A program file's text: mapped to its listing (Origin::Listing), or, without `listing`,
    /// to nothing (Origin::Bare), which costs no time or memory on large programs.
    static Program fromFile(std::string fileText, std::string name = {}, bool listing = true);
    /// A program file's text mapped to `source`, a program built from the source the file was
    /// built from (Origin::File, named as the source); nullopt when the file holds another
    /// program (the file's code string may lack its line end).
    static std::optional<Program> fromFileBuiltFrom(std::string fileText, const Program& source);

    /// A source was built or given, so places name its lines (Source and File).
    bool sourceKnown() const { return origin == Origin::Source || origin == Origin::File; }
    /// The code string without the program file's line end: what `build` writes before it.
    std::string_view codeString() const;

    /// Why the source did not build, as every front end words it:
    /// `sum.tsasm:2:9: the text of the "set" at 2:1 has no closing ";"`.
    std::string buildError() const;
    /// Where the failed "set" stands in the source (its first character), when not built.
    SourcePlace failedSetPlace() const;

    /// The instruction that wrote code position pc as the disassembler lists it ("ifl 08,
    /// 03"), "" where none did; without a map (Bare) the shape starting at pc.
    std::string instructionAt(std::int32_t pc) const;
    /// instructionAt as a function that owns what it reads, for a debug session.
    std::function<std::string(std::int32_t)> instructionTexts() const;
    /// The source line of position pc, 0 where none.
    std::int32_t lineAt(std::int32_t pc) const;
    /// "guess.tsasm:14:1" for position pc when a source is known; "hello.tsp: pc 19" otherwise.
    std::string placeOf(std::int32_t pc) const;
};

} // namespace tessivor
