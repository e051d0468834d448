#pragma once
// Where each code position came from: the machine's view of a source map. The translation
// fills it; the machine only reads it, so it holds plain numbers and no source text.

#include <cstdint>
#include <vector>

namespace tessivor {

/// Per-position facts about a code string's source. Both tables have entries 0..N like the
/// preparation tables (entry 0 unused); an empty map means "no source known".
struct SourceMap {
    /// The 1-based source line of the instruction that wrote position p; 0 where none did.
    std::vector<std::int32_t> line;
    /// The index into the translation's instruction list of the instruction that wrote p, plus
    /// one; 0 where none did.
    std::vector<std::int32_t> instruction;
    /// 1 where an instruction's first code position stands (the start of its shape).
    std::vector<std::uint8_t> instructionStart;

    bool empty() const { return line.empty(); }
};

} // namespace tessivor
