#pragma once
// The translation's scan as data: where each instruction, comment and skipped stretch of a
// source text stands. It walks the text exactly as `compiletext` does, so the checker sees
// what the assembler sees.

#include "assembler/translate/mnemonics.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor {

/// What the scan made of one stretch of the source.
enum class PieceKind {
    Instruction,     ///< a mnemonic and the span it passes over ("set": through its ";")
    Comment,         ///< an opening "//" through its closing "//"
    UnclosedComment, ///< a "//" with no "//" after it: only the two slashes are passed over
    Skipped,         ///< characters passed over one at a time
};

struct ScanPiece {
    PieceKind kind = PieceKind::Skipped;
    std::size_t begin = 0; ///< 0-based offset of the first character
    std::size_t end = 0;   ///< 0-based offset just past the piece, never past the text
    const Mnemonic* mnemonic = nullptr; ///< the instruction's mnemonic
    /// Where the scan goes on (begin + the mnemonic's width); past the text when it ends
    /// inside the instruction.
    std::size_t reach = 0;
    /// A "set" with no ";" after it: the translation fails here. The piece then runs to the
    /// end of its line, where a resumed scan goes on.
    bool unterminated = false;
};

struct SourceScan {
    /// In source order; they cover the text without gaps up to the end (or the failure).
    std::vector<ScanPiece> pieces;
    bool ok = true; ///< false: a "set" has no ";" after it and the translation fails
};

/// Scans `source` as the translation does. At a "set" with no ";" the translation stops; with
/// `resume` the scan instead reads on from the next line, as if the ";" closed that line.
SourceScan scanSource(std::string_view source, bool resume = false);

/// The mnemonic spelt at 0-based `at`, in any letter case, or null.
const Mnemonic* mnemonicAt(std::string_view source, std::size_t at);

/// The code string that an ok scan stands for (what `compiletext` returns), appending for each
/// instruction piece its first code offset to `starts` when given. Stops at an unterminated
/// "set", unless `throughFailures`: then such a "set" stands for its "a", operand and "s".
std::string scannedCode(const SourceScan& scan, std::string_view source,
                        std::vector<std::size_t>* starts = nullptr, bool throughFailures = false);

} // namespace tessivor
