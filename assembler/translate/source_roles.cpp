#include "assembler/translate/source_roles.h"

#include "assembler/translate/walk.h"

#include <algorithm>

namespace tessivor {

std::vector<SourceRole> sourceRoles(std::string_view source) {
    // A "set" without its ";" fails the whole translation, but the text after its line is
    // still coloured as it will read once the ";" is typed.
    struct Colourer : WalkSink {
        std::vector<SourceRole> roles;

        void mark(std::size_t from, std::size_t to, SourceRole role) {
            // An open "set" whose line ends before its text column has no text at all.
            to = std::min(to, roles.size());
            if (from >= to) return;
            std::fill(roles.begin() + static_cast<std::ptrdiff_t>(from),
                      roles.begin() + static_cast<std::ptrdiff_t>(to), role);
        }
        void instruction(const SourcePiece& piece) {
            const std::size_t at = piece.begin;
            mark(at, at + 3, SourceRole::Mnemonic);
            for (std::size_t k = 0; k < operandColumns(*piece.mnemonic); ++k)
                mark(at + kOperandColumn[k], at + kOperandColumn[k] + 2, SourceRole::Operand);
            if (piece.mnemonic->form == Form::Text) {
                mark(at + kSetTextColumn, piece.end,
                     piece.unterminated ? SourceRole::OpenText : SourceRole::Text);
            }
        }
        bool unterminated(const SourcePiece& piece) {
            instruction(piece);
            return true;
        }
        void comment(const SourcePiece& piece) {
            if (piece.kind == PieceKind::Comment) mark(piece.begin, piece.end, SourceRole::Comment);
        }
    };
    Colourer sink;
    sink.roles.assign(source.size(), SourceRole::Skipped);
    walkSource(source, sink);
    return std::move(sink.roles);
}

const char* sourceRoleName(SourceRole role) {
    switch (role) {
    case SourceRole::Skipped: return "skipped";
    case SourceRole::Mnemonic: return "mnemonic";
    case SourceRole::Operand: return "operand";
    case SourceRole::Text: return "text";
    case SourceRole::Comment: return "comment";
    case SourceRole::OpenText: return "open-text";
    }
    return "skipped";
}

} // namespace tessivor
