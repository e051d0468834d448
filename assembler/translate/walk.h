#pragma once
// The one walk over a source text: left to right, a mnemonic wherever its three letters stand
// (in any letter case), the span of each instruction passed over, comments from "//" to the
// next "//", a "set" through its ";". The walk tells a sink what it found; the translation,
// the source map, the checker and the colours of the editors are such sinks, so they all read
// the text as the translation reads it.

#include "assembler/translate/compiletext.h"
#include "assembler/translate/mnemonics.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessivor {

/// What the walk made of one stretch of the source.
enum class PieceKind {
    Instruction,     ///< a mnemonic and the span it passes over ("set": through its ";")
    Comment,         ///< an opening "//" through its closing "//"
    UnclosedComment, ///< a "//" with no "//" after it: only the two slashes are passed over
    Skipped,         ///< characters passed over one at a time
};

struct SourcePiece {
    PieceKind kind = PieceKind::Skipped;
    std::size_t begin = 0;              ///< 0-based offset of the first character
    std::size_t end = 0;                ///< 0-based offset just past the piece, never past the text
    const Mnemonic* mnemonic = nullptr; ///< the instruction's mnemonic
    /// Where the walk goes on (begin + the mnemonic's width); past the text when it ends
    /// inside the instruction.
    std::size_t reach = 0;
    /// A "set" with no ";" after it: the translation fails here. The piece then runs to the
    /// end of its line, where a walk that goes on resumes.
    bool unterminated = false;
};

/// Offset of the first character of a "set"'s text, counted from its mnemonic.
inline constexpr std::size_t kSetTextColumn = 8;

/// The text of a "set" piece: from its text column up to its ";" (empty when unterminated).
inline std::string_view setLiteral(std::string_view source, const SourcePiece& piece) {
    const std::size_t from = piece.begin + kSetTextColumn;
    if (piece.unterminated || from >= piece.end) return {};
    return source.substr(from, piece.end - 1 - from);
}

namespace detail {

constexpr std::size_t kLetters = 26;

constexpr int letterIndex(char c) {
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= 'A' && c <= 'Z') return c - 'A';
    return -1;
}

// Every three-letter combination maps to 1 + its mnemonic's index, or 0: one look-up a position
// instead of 25 comparisons.
inline constexpr auto kMnemonicByLetters = [] {
    std::array<std::uint8_t, kLetters * kLetters * kLetters> table{};
    for (std::size_t m = 0; m < kMnemonics.size(); ++m) {
        const std::string_view n = kMnemonics[m].name;
        const std::size_t key =
            (letterIndex(n[0]) * kLetters + letterIndex(n[1])) * kLetters + letterIndex(n[2]);
        table[key] = static_cast<std::uint8_t>(m + 1);
    }
    return table;
}();

/// Appends "a" and the operand column at `column` (two characters, fewer at the end of the text).
inline void appendOperand(std::string& code, std::string_view source, std::size_t column) {
    code += 'a';
    if (column < source.size()) code += source.substr(column, 2);
}

} // namespace detail

/// The mnemonic spelt at 0-based `at`, in any letter case, or null.
inline const Mnemonic* mnemonicAt(std::string_view source, std::size_t at) {
    if (at > source.size() || source.size() - at < 3) return nullptr;
    const int a = detail::letterIndex(source[at]);
    const int b = detail::letterIndex(source[at + 1]);
    const int c = detail::letterIndex(source[at + 2]);
    if (a < 0 || b < 0 || c < 0) return nullptr;
    const std::uint8_t m =
        detail::kMnemonicByLetters[(a * detail::kLetters + b) * detail::kLetters + c];
    return m == 0 ? nullptr : &kMnemonics[m - 1];
}

/// Appends the code of the instruction `piece` of `source` to `code`: "a" and each operand
/// column, "b" and "c" between them as its form says, then its final text; a "set" writes "a",
/// its cell, "s" and "A" before each character of its text (an unterminated one no text).
// Inlined into each sink: as a call it costs the translation about 2% more instructions.
[[gnu::always_inline]] inline void appendCode(std::string& code, std::string_view source,
                                              const SourcePiece& piece) {
    const std::size_t p = piece.begin;
    const Mnemonic& m = *piece.mnemonic;
    switch (m.form) {
    case Form::ThreeOperand:
        detail::appendOperand(code, source, p + kOperandColumn[0]);
        code += 'b';
        detail::appendOperand(code, source, p + kOperandColumn[1]);
        code += 'c';
        detail::appendOperand(code, source, p + kOperandColumn[2]);
        break;
    case Form::Comparison:
        detail::appendOperand(code, source, p + kOperandColumn[0]);
        code += 'b';
        detail::appendOperand(code, source, p + kOperandColumn[1]);
        code += 'c';
        break;
    case Form::TwoOperand:
        detail::appendOperand(code, source, p + kOperandColumn[0]);
        code += 'b';
        detail::appendOperand(code, source, p + kOperandColumn[1]);
        break;
    case Form::OneOperand: detail::appendOperand(code, source, p + kOperandColumn[0]); break;
    case Form::Marker: break;
    case Form::Text:
        detail::appendOperand(code, source, p + kOperandColumn[0]);
        code += m.final;
        for (const char c : setLiteral(source, piece)) {
            code += 'A';
            code += c;
        }
        return;
    }
    code += m.final;
}

/// What a sink may hear from the walk; a sink derives from this and hides what it wants.
struct WalkSink {
    /// An instruction, "set" with its ";" included.
    void instruction(const SourcePiece&) {}
    /// A "set" with no ";" after it, where the translation fails. True: walk on from the line
    /// after it, as if the ";" closed that line; false: stop here.
    bool unterminated(const SourcePiece&) { return false; }
    /// A comment, closed or not (the piece's kind says which).
    void comment(const SourcePiece&) {}
    /// The characters from `begin` up to `end`, passed over one at a time.
    void skipped(std::size_t /*begin*/, std::size_t /*end*/) {}
};

/// Walks `source` (one byte a character, any line ends) and tells `sink` each piece in order.
/// The pieces cover the text without gaps, up to its end or the "set" where the walk stops.
template <typename Sink> void walkSource(std::string_view source, Sink& sink) {
    const std::size_t n = source.size();
    std::size_t i = 0;
    std::size_t skippedFrom = 0;
    while (i < n) {
        if (const Mnemonic* m = mnemonicAt(source, i)) {
            if (skippedFrom < i) sink.skipped(skippedFrom, i);
            SourcePiece piece{PieceKind::Instruction, i, 0, m, 0, false};
            if (m->form != Form::Text) {
                piece.reach = i + m->advance;
                piece.end = std::min(piece.reach, n);
                sink.instruction(piece);
            } else {
                const std::size_t literal = i + kSetTextColumn;
                const std::size_t semicolon =
                    literal < n ? source.find(';', literal) : std::string_view::npos;
                if (semicolon != std::string_view::npos) {
                    piece.reach = piece.end = semicolon + 1;
                    sink.instruction(piece);
                } else {
                    const std::size_t feed = source.find('\n', i);
                    piece.reach = piece.end = feed == std::string_view::npos ? n : feed + 1;
                    piece.unterminated = true;
                    if (!sink.unterminated(piece)) return;
                }
            }
            i = skippedFrom = piece.end;
            continue;
        }
        if (source[i] == '/' && i + 1 < n && source[i + 1] == '/') {
            if (skippedFrom < i) sink.skipped(skippedFrom, i);
            // The closer is searched from the second "/", so "///" is a whole comment; without
            // a closer only the opening "//" is passed over. Each search ends where the walk
            // resumes, and an unclosed "//" proves there is no later one, so no text is searched
            // twice.
            const std::size_t q = source.find("//", i + 1);
            const SourcePiece piece =
                q == std::string_view::npos
                    ? SourcePiece{PieceKind::UnclosedComment, i, i + 2, nullptr, i + 2, false}
                    : SourcePiece{PieceKind::Comment, i, q + 2, nullptr, q + 2, false};
            sink.comment(piece);
            i = skippedFrom = piece.end;
            continue;
        }
        ++i;
    }
    if (skippedFrom < n) sink.skipped(skippedFrom, n);
}

/// The sink that `compiletext` is: appends the code of each instruction to `result.code`, and
/// at a "set" without its ";" fails with the place of its text and stops.
struct TranslationSink : WalkSink {
    TranslationSink(std::string_view text, Translation& out) : source(text), result(out) {}

    void instruction(const SourcePiece& piece) { appendCode(result.code, source, piece); }
    bool unterminated(const SourcePiece& piece) {
        result.ok = false;
        result.code.clear();
        result.position = piece.begin + kSetTextColumn + 1;
        result.setAt = piece.begin + 1;
        return false;
    }

    std::string_view source;
    Translation& result;
};

} // namespace tessivor
