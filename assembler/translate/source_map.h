#pragma once
// The translation with a source map: `compiletext`'s result, plus where every instruction it
// wrote stands in the source.

#include "assembler/translate/compiletext.h"
#include "common/source_map.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor {

/// One instruction the translation wrote.
struct SourceInstruction {
    std::size_t line = 1;   ///< 1-based line of the mnemonic's first letter
    std::size_t column = 1; ///< 1-based column of it (a tab counts as one column)
    std::size_t begin = 0;  ///< 0-based offset of the mnemonic in the source
    std::size_t end = 0;    ///< 0-based offset just past the last source character it read
    std::int32_t first = 0; ///< 1-based first code position it wrote
    std::int32_t last = 0;  ///< 1-based last code position it wrote (last < first: none)
    std::string_view name;  ///< the mnemonic, lower case ("add")
};

/// `compiletext`'s result (byte for byte the same) and the instructions in code order.
struct MappedTranslation {
    Translation translation;
    std::vector<SourceInstruction> instructions;

    /// The machine's per-position view, for a code string of translation.code's length plus
    /// the CR LF a program file adds (positions past the instructions map to nothing).
    SourceMap sourceMap() const;
};

/// Translates `source` exactly as `compiletext` does and records where each instruction stands.
MappedTranslation compileWithMap(std::string_view source);

/// A program file without its source: the disassembly stands in for the source.
struct ListedProgram {
    std::string listing;      ///< disasmProgramFile(fileText), the text `mapped` indexes
    MappedTranslation mapped; ///< the listing translated with its map
    /// Per position of fileText, the code string a run sees: each position maps to the listing
    /// line that shows it (a dropped stray byte to its comment line, with no instruction).
    SourceMap map;
};

/// Lists a program file and maps its positions to the listing's lines.
ListedProgram listProgram(std::string_view fileText);

/// The instruction that wrote code position `pc` (1-based) as the disassembler lists it
/// ("ifl 08, 03"), or "" where no instruction did (or pc lies outside the code). Without a map
/// the shape starting at pc is listed. Long "set" literals are cut short with "...".
std::string instructionText(std::string_view code, std::int32_t pc, const SourceMap& map);

} // namespace tessivor
