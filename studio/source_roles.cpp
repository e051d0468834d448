#include "studio/source_roles.h"

#include "assembler/check/scan.h"

#include <algorithm>

namespace tessivor::studio {
namespace {

/// The cells a mnemonic of this form names, from the table of operations.
std::size_t operandCount(Form form) { return static_cast<std::size_t>(formCells(form)); }

} // namespace

std::vector<SourceRole> sourceRoles(std::string_view source) {
    const std::size_t n = source.size();
    std::vector<SourceRole> roles(n, SourceRole::Skipped);
    const auto mark = [&](std::size_t from, std::size_t to, SourceRole role) {
        std::fill(roles.begin() + static_cast<std::ptrdiff_t>(std::min(from, n)),
                  roles.begin() + static_cast<std::ptrdiff_t>(std::min(to, n)), role);
    };
    // A "set" without its ";" fails the whole translation, but the text after its line is
    // still coloured as it will read once the ";" is typed.
    for (const ScanPiece& piece : scanSource(source, true).pieces) {
        if (piece.kind == PieceKind::Comment) {
            mark(piece.begin, piece.end, SourceRole::Comment);
            continue;
        }
        if (piece.kind != PieceKind::Instruction || !piece.mnemonic) continue;
        const std::size_t at = piece.begin;
        mark(at, at + 3, SourceRole::Mnemonic);
        for (std::size_t k = 0; k < operandCount(piece.mnemonic->form); ++k)
            mark(at + kOperandColumn[k], at + kOperandColumn[k] + 2, SourceRole::Operand);
        if (piece.mnemonic->form == Form::Text) {
            mark(at + 8, piece.end, piece.unterminated ? SourceRole::OpenText : SourceRole::Text);
        }
    }
    return roles;
}

} // namespace tessivor::studio
