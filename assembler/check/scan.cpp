#include "assembler/check/scan.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tessivor {
namespace {

constexpr std::size_t kLetters = 26;

constexpr int letterIndex(char c) {
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= 'A' && c <= 'Z') return c - 'A';
    return -1;
}

// Every three-letter combination maps to 1 + its mnemonic's index, or 0.
constexpr auto kMnemonicByLetters = [] {
    std::array<std::uint8_t, kLetters * kLetters * kLetters> table{};
    for (std::size_t m = 0; m < kMnemonics.size(); ++m) {
        const std::string_view n = kMnemonics[m].name;
        const std::size_t key =
            (letterIndex(n[0]) * kLetters + letterIndex(n[1])) * kLetters + letterIndex(n[2]);
        table[key] = static_cast<std::uint8_t>(m + 1);
    }
    return table;
}();

void appendOperand(std::string& code, std::string_view source, std::size_t column) {
    code += 'a';
    if (column < source.size()) code += source.substr(column, 2);
}

} // namespace

const Mnemonic* mnemonicAt(std::string_view source, std::size_t at) {
    if (at > source.size() || source.size() - at < 3) return nullptr;
    const int a = letterIndex(source[at]);
    const int b = letterIndex(source[at + 1]);
    const int c = letterIndex(source[at + 2]);
    if (a < 0 || b < 0 || c < 0) return nullptr;
    const std::uint8_t m = kMnemonicByLetters[(a * kLetters + b) * kLetters + c];
    return m == 0 ? nullptr : &kMnemonics[m - 1];
}

SourceScan scanSource(std::string_view source, bool resume) {
    SourceScan scan;
    std::vector<ScanPiece>& pieces = scan.pieces;
    const std::size_t n = source.size();
    std::size_t i = 0;
    while (i < n) {
        if (const Mnemonic* m = mnemonicAt(source, i)) {
            ScanPiece piece{PieceKind::Instruction, i, 0, m, 0, false};
            if (m->form == Form::Text) {
                const std::size_t literal = i + 8;
                const std::size_t semicolon =
                    literal < n ? source.find(';', literal) : std::string_view::npos;
                if (semicolon == std::string_view::npos) {
                    scan.ok = false;
                    const std::size_t feed = source.find('\n', i);
                    piece.reach = feed == std::string_view::npos ? n : feed + 1;
                    piece.end = piece.reach;
                    piece.unterminated = true;
                    pieces.push_back(piece);
                    if (!resume) return scan;
                } else {
                    piece.reach = piece.end = semicolon + 1;
                    pieces.push_back(piece);
                }
            } else {
                piece.reach = i + m->advance;
                piece.end = std::min(piece.reach, n);
                pieces.push_back(piece);
            }
            i = piece.end;
            continue;
        }
        if (source[i] == '/' && i + 1 < n && source[i + 1] == '/') {
            const std::size_t q = source.find("//", i + 1);
            if (q == std::string_view::npos) {
                pieces.push_back({PieceKind::UnclosedComment, i, i + 2, nullptr, i + 2, false});
            } else {
                pieces.push_back({PieceKind::Comment, i, q + 2, nullptr, q + 2, false});
            }
            i = pieces.back().end;
            continue;
        }
        if (!pieces.empty() && pieces.back().kind == PieceKind::Skipped && pieces.back().end == i) {
            pieces.back().end = pieces.back().reach = i + 1;
        } else {
            pieces.push_back({PieceKind::Skipped, i, i + 1, nullptr, i + 1, false});
        }
        ++i;
    }
    return scan;
}

std::string scannedCode(const SourceScan& scan, std::string_view source,
                        std::vector<std::size_t>* starts, bool throughFailures) {
    std::string code;
    for (const ScanPiece& piece : scan.pieces) {
        if (piece.kind != PieceKind::Instruction) continue;
        if (piece.unterminated && !throughFailures) break;
        if (starts) starts->push_back(code.size());
        const std::size_t p = piece.begin;
        switch (piece.mnemonic->form) {
        case Form::ThreeOperand:
            appendOperand(code, source, p + kOperandColumn[0]);
            code += 'b';
            appendOperand(code, source, p + kOperandColumn[1]);
            code += 'c';
            appendOperand(code, source, p + kOperandColumn[2]);
            break;
        case Form::Comparison:
            appendOperand(code, source, p + kOperandColumn[0]);
            code += 'b';
            appendOperand(code, source, p + kOperandColumn[1]);
            code += 'c';
            break;
        case Form::TwoOperand:
            appendOperand(code, source, p + kOperandColumn[0]);
            code += 'b';
            appendOperand(code, source, p + kOperandColumn[1]);
            break;
        case Form::OneOperand: appendOperand(code, source, p + kOperandColumn[0]); break;
        case Form::Marker: break;
        case Form::Text:
            appendOperand(code, source, p + kOperandColumn[0]);
            code += 's';
            for (std::size_t k = p + 8; !piece.unterminated && k + 1 < piece.end; ++k) {
                code += 'A';
                code += source[k];
            }
            continue;
        }
        code += piece.mnemonic->final;
    }
    return code;
}

} // namespace tessivor
