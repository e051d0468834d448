#include "assembler/check/check.h"

#include "assembler/translate/walk.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace tessivor {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::size_t kLongestWord = 40;
/// Lines longer than this get no suggestion: a suggestion repeats its whole line.
constexpr std::size_t kLongestSuggestedLine = 400;

// The ASCII tests, by hand: <cctype> depends on the locale and is undefined for bytes above 127.
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; }
/// A character the machine holds as itself: space to "~", and the two line-end characters.
bool isHeld(char c) { return (c >= ' ' && c <= '~') || c == '\r' || c == '\n'; }

/// What the machine's address prefix reads a character as: its digit value, 0 for a character
/// it does not recognise (a tab, a byte above 127), or -1 for any other character.
int addressDigit(char c) {
    if (isDigit(c)) return c - '0';
    return isHeld(c) ? -1 : 0;
}

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

/// `text` in double quotes, with tabs, line ends and other control bytes written as escapes and
/// anything beyond `limit` bytes cut off with "...".
std::string quoted(std::string_view text, std::size_t limit = 40) {
    std::string out = "\"";
    for (std::size_t k = 0; k < text.size() && k < limit; ++k) {
        const char c = text[k];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || byte == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    if (text.size() > limit) out += "...";
    return out + "\"";
}

/// An operand column as words: "\"1\" and a line end", "a space and \"5\"", "nothing".
std::string describeOperand(std::string_view text) {
    if (text.empty()) return "nothing";
    const bool plain =
        std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c <= '~'; });
    if (plain) return quoted(text);
    std::string out;
    std::string pending;
    auto flush = [&] {
        if (pending.empty()) return;
        if (!out.empty()) out += " and ";
        out += quoted(pending);
        pending.clear();
    };
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        std::string name;
        if (c == '\r' || c == '\n') {
            if (k > 0 && text[k - 1] == '\r' && c == '\n') continue; // one line end
            name = "a line end";
        } else if (c == ' ') {
            name = "a space";
        } else if (c == '\t') {
            name = "a tab";
        } else if (!isHeld(c)) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "the byte 0x%02X",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
            name = hex;
        } else {
            pending += c;
            continue;
        }
        flush();
        if (!out.empty()) out += " and ";
        out += name;
    }
    flush();
    return out;
}

/// The lines of a text: where each starts, and where its content ends before "\r\n" or "\n".
class LineIndex {
public:
    explicit LineIndex(std::string_view text) : text_(text) {
        starts_.push_back(0);
        for (std::size_t k = 0; k < text.size(); ++k) {
            if (text[k] == '\n') starts_.push_back(k + 1);
        }
    }
    /// 0-based line of `offset` (an offset at the end of the text is on the last line).
    std::size_t lineOf(std::size_t offset) const {
        return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                        starts_.begin()) -
               1;
    }
    std::size_t start(std::size_t line) const { return starts_[line]; }
    /// Just past the line's last character before its line end.
    std::size_t contentEnd(std::size_t line) const {
        if (line + 1 >= starts_.size()) return text_.size();
        std::size_t end = starts_[line + 1] - 1;
        if (end > starts_[line] && text_[end - 1] == '\r') --end;
        return end;
    }
    /// The start of the next line, or the end of the text.
    std::size_t next(std::size_t line) const {
        return line + 1 < starts_.size() ? starts_[line + 1] : text_.size();
    }
    std::string_view content(std::size_t line) const {
        return text_.substr(start(line), contentEnd(line) - start(line));
    }

private:
    std::string_view text_;
    std::vector<std::size_t> starts_;
};

/// The walk as the checker keeps it: every piece, and the code each instruction writes. A
/// "set" without its ";" writes its "a", cell and "s", and the walk goes on from its next line.
struct WalkRecord : WalkSink {
    explicit WalkRecord(std::string_view text) : source(text) { walkSource(source, *this); }

    void instruction(const SourcePiece& piece) {
        pieces.push_back(piece);
        starts.push_back(code.size());
        appendCode(code, source, piece);
    }
    bool unterminated(const SourcePiece& piece) {
        instruction(piece);
        return true;
    }
    void comment(const SourcePiece& piece) { pieces.push_back(piece); }
    void skipped(std::size_t begin, std::size_t end) {
        pieces.push_back({PieceKind::Skipped, begin, end, nullptr, end, false});
    }

    std::string_view source;
    std::vector<SourcePiece> pieces; ///< in source order, covering the text
    std::string code;
    std::vector<std::size_t> starts; ///< each instruction's first code offset
};

/// One translated instruction, as the checker sees it.
struct Instruction {
    const SourcePiece* piece = nullptr;
    const Mnemonic* mnemonic = nullptr;
    std::size_t begin = 0;
    std::size_t line = 0;      ///< 0-based
    std::size_t codeStart = 0; ///< its first code offset
    std::size_t codeFinal = 0; ///< the code offset of its final text (not for "set")
    bool inWord = false;       ///< its letters stand inside a longer word
};

/// A token of the operand area: a run of characters between separators.
struct Token {
    std::size_t begin = 0;
    std::size_t end = 0;
};

/// Where a kind of later finding is left out because an earlier one explains it.
struct Quiet {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool everything = false; ///< all warnings, not only skipped text
};

class Checker {
public:
    explicit Checker(std::string_view source) : source_(source), lines_(source), walk_(source) {}

    std::vector<Diagnostic> run() {
        collectInstructions();
        for (const Instruction& in : instructions_)
            checkInstruction(in);
        checkTestsAndLabels();
        checkMpt();
        checkComments();
        checkSkippedText();
        return finish();
    }

private:
    std::string_view source_;
    LineIndex lines_;
    WalkRecord walk_;
    const std::string& code_ = walk_.code;
    std::vector<Instruction> instructions_;
    std::vector<Diagnostic> found_;
    std::vector<std::size_t> foundAt_; // the offset each finding starts at, for Quiet
    std::vector<Quiet> quiet_;
    std::vector<Token> wordsHoldingMnemonics_;
    std::vector<std::size_t> meantWords_; // findings whose word was meant as an instruction

    // ---- places and findings --------------------------------------------------------------

    void add(Severity severity, const char* code, std::size_t begin, std::size_t end,
             std::string message, std::optional<std::string> suggestion = std::nullopt) {
        const std::size_t line = lines_.lineOf(begin);
        const std::size_t start = lines_.start(line);
        Diagnostic d;
        d.line = line + 1;
        d.column = begin - start + 1;
        const std::size_t stop = std::min(end, lines_.contentEnd(line));
        d.endColumn = stop > begin ? stop - start + 1 : d.column + 1;
        d.severity = severity;
        d.code = code;
        d.message = std::move(message);
        if (suggestion && *suggestion != lines_.content(line) &&
            suggestion->size() <= kLongestSuggestedLine) {
            d.suggestion = std::move(suggestion);
        }
        found_.push_back(std::move(d));
        foundAt_.push_back(begin);
    }

    /// Whether a suggestion for `line` is worth making (see kLongestSuggestedLine).
    bool suggestible(std::size_t line) const {
        return lines_.contentEnd(line) - lines_.start(line) <= kLongestSuggestedLine;
    }

    void warn(const char* code, std::size_t begin, std::size_t end, std::string message,
              std::optional<std::string> suggestion = std::nullopt) {
        add(Severity::Warning, code, begin, end, std::move(message), std::move(suggestion));
    }

    /// The line of `offset` from its start up to `offset`, then `middle`, then the line from
    /// `resume` to its end.
    std::string splice(std::size_t offset, std::string_view middle, std::size_t resume) const {
        const std::size_t line = lines_.lineOf(offset);
        const std::size_t start = lines_.start(line);
        const std::size_t end = lines_.contentEnd(line);
        std::string out(source_.substr(start, offset - start));
        out += middle;
        if (resume < end) out += source_.substr(resume, end - resume);
        return out;
    }

    // ---- the instructions -----------------------------------------------------------------

    void collectInstructions() {
        const std::vector<std::size_t>& starts = walk_.starts;
        std::size_t k = 0;
        for (const SourcePiece& piece : walk_.pieces) {
            if (piece.kind != PieceKind::Instruction) continue;
            Instruction in;
            in.piece = &piece;
            in.mnemonic = piece.mnemonic;
            in.begin = piece.begin;
            in.line = lines_.lineOf(piece.begin);
            in.codeStart = starts[k];
            const std::size_t codeEnd = k + 1 < starts.size() ? starts[k + 1] : code_.size();
            in.codeFinal = codeEnd - std::min(codeEnd, piece.mnemonic->final.size());
            const bool letterBefore = in.begin > 0 && isLetter(source_[in.begin - 1]);
            const bool letterAfter =
                in.begin + 3 < source_.size() && isLetter(source_[in.begin + 3]);
            in.inWord = letterBefore || letterAfter;
            instructions_.push_back(in);
            ++k;
        }
    }

    /// The mnemonic as written in the source ("DSP" stays "DSP").
    std::string_view written(const Instruction& in) const { return source_.substr(in.begin, 3); }

    std::string name(const Instruction& in) const {
        return "\"" + std::string(in.mnemonic->name) + "\"";
    }

    /// The tokens between the mnemonic and the end of its line or a "//", and where that "//"
    /// stands (kNone when there is none). Stops after four tokens, one more than any
    /// instruction takes, and cuts a token at 64 characters: longer ones are no cell numbers.
    std::pair<std::vector<Token>, std::size_t> tokensAfter(const Instruction& in) const {
        const std::size_t end = lines_.contentEnd(in.line);
        std::vector<Token> tokens;
        std::size_t k = std::min(in.begin + 3, end);
        while (k < end) {
            if (source_[k] == '/' && k + 1 < end && source_[k + 1] == '/') return {tokens, k};
            if (isSeparator(source_[k])) {
                ++k;
                continue;
            }
            if (tokens.size() > 3) return {tokens, kNone};
            Token t{k, k};
            while (t.end < end && t.end - t.begin < 64 && !isSeparator(source_[t.end]) &&
                   !(source_[t.end] == '/' && t.end + 1 < end && source_[t.end + 1] == '/')) {
                ++t.end;
            }
            tokens.push_back(t);
            k = t.end;
        }
        return {tokens, kNone};
    }

    bool isCellNumber(const Token& t) const {
        const std::size_t length = t.end - t.begin;
        if (length < 1 || length > 2) return false;
        return std::all_of(source_.begin() + t.begin, source_.begin() + t.end, isDigit);
    }

    std::string cellOf(const Token& t) const {
        std::string digits(source_.substr(t.begin, t.end - t.begin));
        return digits.size() == 1 ? "0" + digits : digits;
    }

    /// The rest of a line from a comment at `comment`, keeping the comment's column when the
    /// new text `before` leaves room for it.
    std::string commentTail(std::size_t comment, const std::string& before) const {
        if (comment == kNone) return "";
        const std::size_t line = lines_.lineOf(comment);
        const std::size_t column = comment - lines_.start(line);
        const std::size_t pad = column > before.size() ? column - before.size() : 1;
        return std::string(pad, ' ') +
               std::string(source_.substr(comment, lines_.contentEnd(line) - comment));
    }

    /// The line with the instruction written in its columns, when its operands are clear: as
    /// many cell numbers of one or two digits as it takes, and nothing else before a comment.
    std::optional<std::string> canonical(const Instruction& in) const {
        if (!suggestible(in.line)) return std::nullopt;
        const auto [tokens, comment] = tokensAfter(in);
        const std::size_t count = operandColumns(*in.mnemonic);
        if (count == 0 || tokens.size() != count) return std::nullopt;
        std::string line(source_.substr(lines_.start(in.line), in.begin - lines_.start(in.line)));
        line += written(in);
        for (std::size_t k = 0; k < count; ++k) {
            if (!isCellNumber(tokens[k])) return std::nullopt;
            line += k == 0 ? " " : ", ";
            line += cellOf(tokens[k]);
        }
        return line + commentTail(comment, line);
    }

    /// The "set" line written in its columns: the cell, ", ", the text and its ";". The text is
    /// what follows the cell number and one comma and one space; without a ";" on the line it
    /// runs to the line's end (or a "//"), and the ";" is added.
    std::optional<std::string> canonicalSet(const Instruction& in) const {
        if (!suggestible(in.line)) return std::nullopt;
        const std::size_t end = lines_.contentEnd(in.line);
        std::size_t k = in.begin + 3;
        while (k < end && (source_[k] == ' ' || source_[k] == '\t'))
            ++k;
        const std::size_t digits = k;
        while (k < end && isDigit(source_[k]) && k - digits < 3)
            ++k;
        const Token cell{digits, k};
        if (!isCellNumber(cell)) return std::nullopt;
        while (k < end && (source_[k] == ' ' || source_[k] == '\t'))
            ++k;
        if (k < end && source_[k] == ',') ++k;
        if (k < end && source_[k] == ' ') ++k;
        const std::size_t text = k;
        std::size_t textEnd = end;
        std::size_t rest = end;
        std::size_t comment = kNone;
        const std::size_t semicolon = in.piece->unterminated ? kNone : in.piece->end - 1;
        if (semicolon != kNone && semicolon < end) {
            if (semicolon < text) return std::nullopt;
            textEnd = semicolon;
            rest = semicolon + 1;
        } else {
            comment = source_.substr(text, end - text).find("//");
            if (comment != kNone) comment += text;
            textEnd = comment == kNone ? end : comment;
            while (textEnd > text &&
                   (source_[textEnd - 1] == ' ' || source_[textEnd - 1] == '\t')) {
                --textEnd;
            }
        }
        std::string line(source_.substr(lines_.start(in.line), in.begin - lines_.start(in.line)));
        line += written(in);
        line += " " + cellOf(cell) + ", ";
        line += source_.substr(text, textEnd - text);
        line += ";";
        if (comment != kNone) return line + commentTail(comment, line);
        return line + std::string(source_.substr(rest, end - rest));
    }

    /// The operand columns as the translation copies them.
    std::vector<std::string_view> operandsOf(const Instruction& in) const {
        std::vector<std::string_view> operands;
        for (std::size_t k = 0; k < operandColumns(*in.mnemonic); ++k) {
            const std::size_t column = in.begin + kOperandColumn[k];
            operands.push_back(column < source_.size() ? source_.substr(column, 2) : "");
        }
        return operands;
    }

    static bool isTwoDigits(std::string_view operand) {
        return operand.size() == 2 && isDigit(operand[0]) && isDigit(operand[1]);
    }

    /// The cell the machine takes for a whole operand column.
    static int cellRead(std::string_view operand) {
        if (operand.size() < 2) return 0;
        const int tens = addressDigit(operand[0]);
        const int ones = addressDigit(operand[1]);
        return tens < 0 || ones < 0 ? 0 : tens * 10 + ones;
    }

    /// The instruction as the machine runs it: "add 01, 00, 00".
    std::string asRun(const Instruction& in, const std::vector<std::string_view>& operands) const {
        std::string out = "\"" + std::string(in.mnemonic->name);
        for (std::size_t k = 0; k < operands.size(); ++k) {
            out += k == 0 ? " " : ", ";
            out += twoDigits(cellRead(operands[k]));
        }
        return out + "\"";
    }

    /// The text of a "set" as the machine stores it: held characters as they are, others "0".
    std::string setText(const Instruction& in) const {
        std::string text;
        if (in.piece->unterminated) return text;
        for (std::size_t k = in.begin + 8; k + 1 < in.piece->end; ++k) {
            text += isHeld(source_[k]) ? source_[k] : '0';
        }
        return text;
    }

    /// ", and it passes over \"ds\" at the start of line 2 ..." when the instruction's span
    /// takes characters other than blanks from the next line; else "".
    std::string overrunClause(const Instruction& in) const {
        const std::size_t next = lines_.next(in.line);
        const std::size_t reach = std::min(in.piece->reach, source_.size());
        if (reach <= next || in.mnemonic->form == Form::Text) return "";
        const std::string_view taken = source_.substr(next, reach - next);
        if (std::all_of(taken.begin(), taken.end(), isBlank)) return "";
        return ", and it passes over " + quoted(taken) + " at the start of line " +
               std::to_string(in.line + 2) + ", which is never read";
    }

    void checkInstruction(const Instruction& in) {
        checkHidden(in);
        if (in.piece->unterminated) {
            add(Severity::Error, "missing-semicolon", in.begin, in.begin + 3,
                "this \"set\" has no \";\" after its text, anywhere below: the build fails "
                "with \"Error Compiling.\" and writes no program file",
                in.inWord ? std::nullopt : canonicalSet(in));
        }
        if (in.inWord) return checkInWord(in);
        switch (in.mnemonic->form) {
        case Form::Marker: return checkMarker(in);
        case Form::Text: return checkSet(in);
        default: return checkOperands(in);
        }
    }

    void checkInWord(const Instruction& in) {
        Token word{in.begin, in.begin + 3};
        // A word is taken as at most kLongestWord letters either side: longer runs of letters
        // are no words, and must not cost a walk for every mnemonic inside them.
        while (word.begin > 0 && in.begin - word.begin < kLongestWord &&
               (isLetter(source_[word.begin - 1]) || isDigit(source_[word.begin - 1]))) {
            --word.begin;
        }
        while (word.end < source_.size() && word.end - in.begin < kLongestWord &&
               isLetter(source_[word.end]))
            ++word.end;
        // As prose, the word reaches as far as the instruction took the text after it.
        const std::size_t lineEnd = lines_.contentEnd(in.line);
        wordsHoldingMnemonics_.push_back(
            {word.begin, std::max(word.end, std::min(in.piece->reach, lineEnd))});
        quiet_.push_back({word.begin, word.end, false});
        // "adds 01, 02, 03": a mnemonic with a letter too many, written as an instruction.
        std::optional<std::string> meant;
        if (word.begin == in.begin && word.end + 1 < lineEnd && source_[word.end] == ' ' &&
            isDigit(source_[word.end + 1]) && suggestible(in.line)) {
            meant = canonicalText(splice(word.begin, written(in), word.end),
                                  in.begin - lines_.start(in.line));
            meantWords_.push_back(found_.size());
        }
        std::string effect;
        const std::string_view n = in.mnemonic->name;
        if (n == "end") {
            effect = "which stops the program here";
        } else if (n == "lbl") {
            effect = "a label, which changes the numbers of all the labels after it";
        } else if (n == "eif") {
            effect = "the end of a test";
        } else if (n == "set") {
            effect = "which takes the text up to the next \";\" as its text";
        } else if (in.mnemonic->form == Form::Marker) {
            effect = "an instruction of its own";
        } else {
            effect = "which reads the characters after it as cell numbers";
        }
        warn("mnemonic-in-word", in.begin, in.begin + 3,
             "the word " + quoted(source_.substr(word.begin, word.end - word.begin)) + " holds " +
                 name(in) + ": the assembler translates it as the instruction " + name(in) + ", " +
                 effect +
                 (meant ? "; did you mean " + quoted(written(in)) + "?"
                        : "; put prose inside a comment, between \"//\" and \"//\""),
             meant);
    }

    /// Mnemonics that begin inside the span of `in` (past its own letters): never translated.
    void checkHidden(const Instruction& in) {
        const std::size_t last = in.mnemonic->form == Form::Text
                                     ? in.begin + 8
                                     : std::min(in.piece->reach, source_.size());
        std::size_t clearFrom = in.begin + 3;
        for (std::size_t k = in.begin + 3; k < last; ++k) {
            const Mnemonic* hidden = mnemonicAt(source_, k);
            if (!hidden || k < clearFrom) continue;
            clearFrom = k + 3;
            const std::size_t line = lines_.lineOf(k);
            const bool wordy = (k > 0 && isLetter(source_[k - 1]) && k > in.begin + 3) ||
                               (k + 3 < source_.size() && isLetter(source_[k + 3]));
            if (wordy && line == in.line) continue; // part of a longer word, not an instruction
            // What follows it on its line, up to its own width, was meant as its operands.
            const std::size_t width = hidden->form == Form::Text ? kNone : hidden->advance;
            quiet_.push_back(
                {k, std::min(k + std::min(width, source_.size()), lines_.contentEnd(line)), false});
            const std::string where =
                line == in.line ? "the " + name(in) + " before it"
                                : "the " + name(in) + " on line " + std::to_string(in.line + 1);
            warn("hidden-instruction", k, k + 3,
                 "this \"" + std::string(hidden->name) +
                     "\" is never translated: it stands "
                     "inside " +
                     where + ", which passes over " +
                     std::to_string(in.mnemonic->form == Form::Text ? 8 : in.mnemonic->advance) +
                     " characters from its first letter");
        }
    }

    /// Letters, digits and "/" in the characters an instruction passes over unread on its own
    /// line: the first of them, or kNone.
    std::size_t firstSwallowed(const Instruction& in, std::size_t from, std::size_t to) const {
        const std::size_t end = std::min(to, lines_.contentEnd(in.line));
        for (std::size_t k = from; k < end; ++k) {
            const char c = source_[k];
            if (isLetter(c) || isDigit(c) || c == '/') return k;
        }
        return kNone;
    }

    void reportSwallowed(const Instruction& in, std::size_t k, std::optional<std::string> fix) {
        const std::string width = std::to_string(in.mnemonic->advance);
        if (source_[k] == '/') {
            quiet_.push_back({k + 1, lines_.contentEnd(in.line), true});
            warn("swallowed-text", k, k + 1,
                 "this \"/\" is the last character of the " + name(in) + " (which takes " + width +
                     " characters), so no comment starts here: the text after it is read as "
                     "instructions; leave a space before the \"//\"",
                 suggestible(in.line) ? std::optional<std::string>(splice(k, " ", k))
                                      : std::nullopt);
            return;
        }
        std::size_t end = k;
        while (end < lines_.contentEnd(in.line) && end < in.piece->reach &&
               !isBlank(source_[end]) && source_[end] != ',') {
            ++end;
        }
        std::string effect;
        if (operandColumns(*in.mnemonic) > 0) {
            effect = ": the machine runs it as " + asRun(in, operandsOf(in));
        }
        warn("swallowed-text", k, end,
             quoted(source_.substr(k, end - k)) + " stands inside the " + name(in) +
                 ", which takes " + width + " characters, and is never read" + effect,
             std::move(fix));
    }

    void checkMarker(const Instruction& in) {
        if (in.mnemonic->name != "lbl") {
            const std::size_t k = firstSwallowed(in, in.begin + 3, in.piece->reach);
            if (k != kNone) reportSwallowed(in, k, std::nullopt);
            return;
        }
        // "lbl" passes over two characters that look like an operand, and one after them.
        const std::string overrun = overrunClause(in);
        if (!overrun.empty()) {
            warn("swallowed-text", in.begin, in.begin + 3,
                 "\"lbl\" always takes 7 characters" + overrun);
            return;
        }
        const std::size_t k = firstSwallowed(in, in.begin + 6, in.piece->reach);
        if (k != kNone) reportSwallowed(in, k, std::nullopt);
    }

    void checkOperands(const Instruction& in) {
        const std::vector<std::string_view> operands = operandsOf(in);
        const std::optional<std::string> fix = canonical(in);
        const bool cut = std::any_of(operands.begin(), operands.end(),
                                     [](std::string_view o) { return o.size() < 2; });
        if (cut) {
            warn("cut-off", in.begin, source_.size(),
                 "the text ends inside the operands of this " + name(in) +
                     ": the machine takes "
                     "its operation letter \"" +
                     std::string(in.mnemonic->final) +
                     "\" as a digit of the cell number before it, so " + name(in) + " never runs",
                 fix);
            return;
        }
        const bool good = std::all_of(operands.begin(), operands.end(), isTwoDigits);
        if (!good) return reportOperands(in, operands, fix);
        // The characters between and after the columns are passed over unread.
        for (std::size_t k = in.begin + 3; k < in.piece->reach; ++k) {
            const std::size_t offset = k - in.begin;
            const bool column = std::any_of(
                std::begin(kOperandColumn), std::begin(kOperandColumn) + operands.size(),
                [&](std::size_t c) { return offset == c || offset == c + 1; });
            if (column || k >= lines_.contentEnd(in.line)) continue;
            const char c = source_[k];
            if (isLetter(c) && mnemonicAt(source_, k)) return; // reported as hidden
            if (isLetter(c) || isDigit(c) || c == '/') return reportSwallowed(in, k, fix);
        }
    }

    void reportOperands(const Instruction& in, const std::vector<std::string_view>& operands,
                        const std::optional<std::string>& fix) {
        const auto [tokens, comment] = tokensAfter(in);
        bool misplaced = false;
        if (fix) {
            for (std::size_t k = 0; k < operands.size(); ++k) {
                if (tokens[k].begin != in.begin + kOperandColumn[k]) misplaced = true;
            }
        }
        const std::size_t first = in.begin + kOperandColumn[0];
        const std::size_t last = in.begin + kOperandColumn[operands.size() - 1] + 2;
        const std::string run = asRun(in, operands);
        const std::string overrun = overrunClause(in);
        if (misplaced) {
            std::string columns;
            std::string held;
            for (std::size_t k = 0; k < operands.size(); ++k) {
                if (k > 0) {
                    columns += k + 1 == operands.size() ? " and " : ", ";
                    held += k + 1 == operands.size() ? " and " : ", ";
                }
                columns += std::to_string(kOperandColumn[k]);
                held += describeOperand(operands[k]);
            }
            const std::string reads =
                operands.size() == 1 ? " reads its operand " + columns +
                                           " characters after its first letter: "
                                           "here it holds "
                                     : " reads its operands at fixed columns, " + columns +
                                           " characters after its first letter: here they hold ";
            warn("operand-columns", first, last,
                 name(in) + reads + held + ", so the machine runs it as " + run + overrun, fix);
            return;
        }
        std::string what;
        std::size_t bad = kNone;
        for (std::size_t k = 0; k < operands.size(); ++k) {
            if (isTwoDigits(operands[k])) continue;
            if (bad == kNone) bad = k;
            if (!what.empty()) what += ", ";
            if (operands.size() > 1) what += "operand " + std::to_string(k + 1) + " is ";
            what += describeOperand(operands[k]);
        }
        const std::string subject = operands.size() == 1
                                        ? "the operand of " + name(in) + " is " + what
                                        : "in this " + name(in) + ", " + what;
        warn("operand-digits", in.begin + kOperandColumn[bad], last,
             subject + ", not two digits: the machine runs it as " + run + overrun, fix);
    }

    void checkSet(const Instruction& in) {
        const std::vector<std::string_view> operands = operandsOf(in);
        const std::optional<std::string> fix = canonicalSet(in);
        if (in.piece->unterminated) {
            if (!isTwoDigits(operands[0]) && !operands[0].empty()) {
                warn("operand-digits", in.begin + 4, in.begin + 6,
                     "the cell of this \"set\" is " + describeOperand(operands[0]) +
                         ", not two digits: the machine uses cell " +
                         twoDigits(cellRead(operands[0])),
                     fix);
            }
            return;
        }
        std::string lost;
        for (std::size_t k = in.begin + 6; k < in.begin + 8 && k < source_.size(); ++k) {
            const char c = source_[k];
            if (c != ' ' && c != ',' && c != '\t') lost += c;
        }
        const std::string text = setText(in);
        const std::string effect =
            "the machine puts " + quoted(text) + " into cell " + twoDigits(cellRead(operands[0]));
        if (!isTwoDigits(operands[0]) || !lost.empty()) {
            const auto [tokens, comment] = tokensAfter(in);
            const bool misplaced =
                !lost.empty() || (fix && !tokens.empty() && tokens[0].begin != in.begin + 4);
            if (misplaced) {
                warn("operand-columns", in.begin + 4, in.begin + 8,
                     "\"set\" reads its cell 4 and its text 8 characters after its first letter" +
                         std::string(lost.empty() ? "" : ", and passes over " + quoted(lost)) +
                         ": " + effect,
                     fix);
            } else {
                warn("operand-digits", in.begin + 4, in.begin + 6,
                     "the cell of this \"set\" is " + describeOperand(operands[0]) +
                         ", not two digits: " + effect,
                     fix);
            }
        }
        checkSetText(in, fix);
    }

    void checkSetText(const Instruction& in, const std::optional<std::string>& fix) {
        const std::size_t literal = in.begin + 8;
        const std::size_t semicolon = in.piece->end - 1;
        const std::size_t feed = source_.substr(literal, semicolon - literal).find('\n');
        if (feed != kNone) {
            const std::size_t endLine = lines_.lineOf(semicolon);
            const std::size_t lineEnds = endLine - in.line;
            std::string message =
                "the text of this \"set\" runs on to the \";\" on line " +
                std::to_string(endLine + 1) + ": its " +
                (lineEnds == 1 ? std::string("line end") : std::to_string(lineEnds) + " line ends");
            if (lineEnds > 1) {
                message += " and the lines between become part of the text, not instructions";
            } else {
                message += " and the start of the next line become part of the text";
            }
            warn("set-spans-lines", in.begin, in.begin + 3, message, fix);
        }
        // Characters outside space to "~" (line ends apart) become "0"; a character of several
        // bytes becomes one "0" for each.
        std::size_t first = kNone;
        std::size_t lastEnd = 0;
        std::vector<std::string> names;
        bool wide = false;
        for (std::size_t k = literal; k < semicolon;) {
            if (isHeld(source_[k])) {
                ++k;
                continue;
            }
            std::size_t end = k + 1;
            const auto lead = static_cast<unsigned char>(source_[k]);
            if (lead >= 0xC0 && lead < 0xF8) {
                while (end < semicolon && (static_cast<unsigned char>(source_[end]) & 0xC0) == 0x80)
                    ++end;
            }
            // One byte on its own is named by its value: it is no character of UTF-8.
            std::string shown = end - k == 1
                                    ? describeOperand(source_.substr(k, 1))
                                    : "\"" + std::string(source_.substr(k, end - k)) + "\"";
            if (end - k > 1) {
                shown += " (" + std::to_string(end - k) + " bytes)";
                wide = true;
            }
            if (std::find(names.begin(), names.end(), shown) == names.end()) names.push_back(shown);
            if (first == kNone) first = k;
            lastEnd = end;
            k = end;
        }
        if (first == kNone) return;
        std::string list;
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (k > 0) list += k + 1 == names.size() ? " and " : ", ";
            list += names[k];
        }
        warn("set-character", first, lastEnd,
             "a cell holds only the characters from space to \"~\": " + list +
                 (names.size() == 1 ? " becomes" : " become") + " \"0\"" +
                 (wide ? " (one for each byte)" : "") + ", so the cell holds " +
                 quoted(setText(in)));
    }

    // ---- tests, labels and "mpt" ----------------------------------------------------------

    std::vector<std::size_t> markers(char letter) const {
        std::vector<std::size_t> found;
        for (std::size_t j = 0; j < code_.size(); ++j) {
            if (code_[j] == letter && (j == 0 || code_[j - 1] == ' ')) found.push_back(j);
        }
        return found;
    }

    const Instruction* instructionAtCode(std::size_t offset) const {
        auto it =
            std::upper_bound(instructions_.begin(), instructions_.end(), offset,
                             [](std::size_t o, const Instruction& in) { return o < in.codeStart; });
        return it == instructions_.begin() ? nullptr : &*(it - 1);
    }

    static bool isTest(const Instruction& in) { return in.mnemonic->form == Form::Comparison; }

    void checkTestsAndLabels() {
        const std::vector<std::size_t> ends = markers('k');
        const std::vector<std::size_t> labels = markers('v');
        std::vector<std::size_t> tests;
        for (const Instruction& in : instructions_) {
            if (isTest(in)) tests.push_back(in.codeFinal);
        }
        for (const Instruction& in : instructions_) {
            if (in.inWord) continue;
            const std::string_view n = in.mnemonic->name;
            if (isTest(in) &&
                std::upper_bound(ends.begin(), ends.end(), in.codeFinal) == ends.end()) {
                warn("test-without-eif", in.begin, in.begin + 3,
                     "no \"eif\" follows this " + name(in) +
                         ": when the test fails, the machine "
                         "goes back to the start of the program, with all cells as they are");
            }
            if (n == "eif") {
                const std::size_t mark = in.codeFinal + 1;
                auto it = std::lower_bound(ends.begin(), ends.end(), mark);
                const std::size_t previous = it == ends.begin() ? 0 : *(it - 1) + 1;
                const auto test = std::lower_bound(tests.begin(), tests.end(), previous);
                const bool closes = test != tests.end() && *test < mark;
                if (!closes) {
                    std::string why = "no test stands before this \"eif\"";
                    if (it != ends.begin()) {
                        if (const Instruction* before = instructionAtCode(*(it - 1))) {
                            why = "no test stands between this \"eif\" and the one on line " +
                                  std::to_string(before->line + 1);
                        }
                    }
                    warn("eif-without-test", in.begin, in.begin + 3,
                         why + ": it closes nothing (tests do not nest: a failed test goes on "
                               "after the first \"eif\" that follows it)");
                }
            }
        }
        // Labels are numbered by their place among the label markers of the code string.
        for (std::size_t k = 0; k < labels.size(); ++k) {
            const Instruction* in = instructionAtCode(labels[k]);
            if (!in) continue;
            const bool own = in->mnemonic->name == "lbl" && in->codeFinal + 1 == labels[k];
            if (k == 99) {
                add(Severity::Error, "too-many-labels", in->begin, in->begin + 3,
                    std::string(own ? "this is label 100" : "this makes label 100") +
                        ": a program has at most 99 labels, and the machine refuses to start it");
            }
            if (!own || in->inWord || k >= 99) continue;
            const auto [tokens, comment] = tokensAfter(*in);
            if (tokens.empty()) continue;
            const Token t = tokens.front();
            if (!std::all_of(source_.begin() + t.begin, source_.begin() + t.end, isDigit)) continue;
            const std::string writtenNumber(source_.substr(t.begin, t.end - t.begin));
            if (std::stoul(writtenNumber.substr(0, 9)) == k + 1) continue;
            std::optional<std::string> fixed;
            if (suggestible(in->line)) {
                fixed = std::string(
                    lines_.content(in->line).substr(0, in->begin + 3 - lines_.start(in->line)));
                *fixed += " " + twoDigits(static_cast<int>(k + 1));
                *fixed += commentTail(comment, *fixed);
            }
            warn("label-number", t.begin, t.end,
                 "this is label " + std::to_string(k + 1) + ", not " + writtenNumber +
                     ": labels are numbered in the order they stand, and the number after "
                     "\"lbl\" is not read",
                 fixed);
        }
    }

    void checkMpt() {
        for (std::size_t k = 0; k < instructions_.size(); ++k) {
            const Instruction& in = instructions_[k];
            if (in.inWord || in.mnemonic->name != "mpt") continue;
            for (std::size_t j = k + 1; j < instructions_.size(); ++j) {
                const Instruction& next = instructions_[j];
                if (next.mnemonic->name == "end") break;
                if (next.mnemonic->form == Form::Marker) continue;
                add(Severity::Note, "mpt-no-effect", in.begin, in.begin + 3,
                    "the " + name(next) + " on line " + std::to_string(next.line + 1) +
                        " names its own cells and so replaces the current cell that \"mpt\" "
                        "sets: \"mpt\" changes nothing that follows (it only stops the "
                        "program when cell " +
                        twoDigits(cellRead(operandsOf(in)[0])) + " holds no number)");
                break;
            }
        }
    }

    // ---- comments and skipped text --------------------------------------------------------

    /// A comment over several lines whose closing "//" has more text and another "//" after
    /// it on its line: that "//" was meant to open a comment of its own, and the opener above
    /// lacks its closer.
    void checkCommentRunsOn(const SourcePiece& piece) {
        const std::size_t closer = piece.end - 2;
        const std::size_t first = lines_.lineOf(piece.begin);
        const std::size_t last = lines_.lineOf(closer);
        if (first == last) return;
        const std::size_t end = lines_.contentEnd(last);
        const std::string_view after = source_.substr(piece.end, end - piece.end);
        if (std::all_of(after.begin(), after.end(), isBlank) || after.find("//") == kNone) return;
        std::string hidden;
        if (last == first + 1) {
            hidden = "the start of line " + std::to_string(last + 1) + " is";
        } else if (last == first + 2) {
            hidden = "line " + std::to_string(first + 2) + " is";
        } else {
            hidden = "lines " + std::to_string(first + 2) + " to " + std::to_string(last) + " are";
        }
        std::optional<std::string> closed;
        if (suggestible(first)) {
            closed = std::string(lines_.content(first));
            while (!closed->empty() && isBlank(closed->back()))
                closed->pop_back();
            *closed += " //";
        }
        warn("comment-runs-on", piece.begin, piece.begin + 2,
             "this comment has no closing \"//\" on its line: it runs on to the \"//\" on line " +
                 std::to_string(last + 1) + ", which was meant to open another comment, so " +
                 hidden + " not translated",
             closed);
        quiet_.push_back({piece.end, end, true});
    }

    void checkComments() {
        for (const SourcePiece& piece : walk_.pieces) {
            if (piece.kind == PieceKind::Comment) checkCommentRunsOn(piece);
            if (piece.kind != PieceKind::UnclosedComment) continue;
            const std::size_t line = lines_.lineOf(piece.begin);
            const std::size_t end = lines_.contentEnd(line);
            std::string translated;
            for (const Instruction& in : instructions_) {
                if (in.begin > piece.begin && in.begin < end) {
                    translated += translated.empty() ? "" : ", ";
                    translated += name(in);
                }
            }
            std::string rest(source_.substr(piece.end, end - piece.end));
            const bool blank = std::all_of(rest.begin(), rest.end(), isBlank);
            std::string message = "this \"//\" has no closing \"//\" after it: only the two "
                                  "slashes are skipped, and the text after them is read as "
                                  "instructions";
            if (!translated.empty()) message += " (here " + translated + ")";
            std::optional<std::string> fix;
            if (blank) {
                std::string without = splice(piece.begin, "", end);
                while (!without.empty() && isBlank(without.back()))
                    without.pop_back();
                if (!without.empty()) fix = without;
            } else {
                std::string closed(lines_.content(line));
                while (!closed.empty() && isBlank(closed.back()))
                    closed.pop_back();
                fix = closed + " //";
            }
            warn("unclosed-comment", piece.begin, piece.end, message, fix);
            quiet_.push_back({piece.end, end, true});
        }
    }

    /// One flag byte a character, from the Quiet stretches: 1 skipped text, 2 everything.
    void markQuiet() {
        // One pass over the stretches in order of their starts, each filling only what the
        // earlier ones left unmarked: stretches nest and overlap, and the text may be large.
        const std::size_t n = source_.size();
        quietMask_.assign(n + 1, 0);
        std::vector<Quiet> sorted = quiet_;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Quiet& a, const Quiet& b) { return a.begin < b.begin; });
        std::size_t someUpTo = 0; // every offset below is marked 1 where a stretch covers it
        std::size_t allUpTo = 0;  // and 2 where an "everything" stretch does
        for (const Quiet& q : sorted) {
            const std::size_t end = std::min(q.end, n);
            for (std::size_t k = std::max(q.begin, someUpTo); k < end; ++k)
                quietMask_[k] |= 1;
            someUpTo = std::max(someUpTo, end);
            if (!q.everything) continue;
            for (std::size_t k = std::max(q.begin, allUpTo); k < end; ++k)
                quietMask_[k] |= 2;
            allUpTo = std::max(allUpTo, end);
        }
    }

    /// Whether a finding at `offset` is left out: any finding about skipped text, or with
    /// `everything` any warning.
    bool quietAt(std::size_t offset, bool everything) const {
        return offset < quietMask_.size() && (quietMask_[offset] & (everything ? 2 : 1)) != 0;
    }

    /// Stretches of skipped text that hold letters or digits, one a line.
    std::vector<Token> strayRuns() const {
        std::vector<Token> runs;
        for (const SourcePiece& piece : walk_.pieces) {
            if (piece.kind != PieceKind::Skipped) continue;
            Token run{kNone, 0};
            for (std::size_t k = piece.begin; k <= piece.end; ++k) {
                const bool stop = k == piece.end || source_[k] == '\n' || quietAt(k, false);
                if (stop) {
                    if (run.begin != kNone) runs.push_back(run);
                    run = {kNone, 0};
                    continue;
                }
                if (isLetter(source_[k]) || isDigit(source_[k])) {
                    if (run.begin == kNone) run.begin = k;
                    run.end = k + 1;
                }
            }
        }
        return runs;
    }

    /// The line with its prose (skipped words and words holding mnemonics) put in a comment,
    /// when no instruction stands among it.
    std::optional<std::string> proseSuggestion(std::size_t line) const {
        if (!suggestible(line)) return std::nullopt;
        const auto found = prose_.find(line);
        if (found == prose_.end()) return std::nullopt;
        const std::size_t begin = found->second.begin;
        std::size_t end = found->second.end;
        auto in =
            std::lower_bound(instructions_.begin(), instructions_.end(), begin,
                             [](const Instruction& i, std::size_t at) { return i.begin < at; });
        for (; in != instructions_.end() && in->begin < end; ++in) {
            if (!in->inWord) return std::nullopt;
        }
        const std::size_t contentEnd = lines_.contentEnd(line);
        std::string_view after = source_.substr(end, contentEnd - end);
        if (std::all_of(after.begin(), after.end(),
                        [](char c) { return !isLetter(c) && !isDigit(c) && c != '/'; })) {
            end = contentEnd;
            while (end > begin && isBlank(source_[end - 1]))
                --end;
        }
        const std::string_view prose = source_.substr(begin, end - begin);
        if (prose.find("//") != kNone || prose.find('\n') != kNone) return std::nullopt;
        return splice(begin, "// " + std::string(prose) + " //", end);
    }

    std::vector<std::uint8_t> quietMask_;
    std::vector<Token> strayRunsCache_;
    std::map<std::size_t, Token> prose_; // for each line with prose, where the prose stands

    void checkSkippedText() {
        markQuiet();
        strayRunsCache_ = strayRuns();
        auto take = [&](Token t) {
            const std::size_t line = lines_.lineOf(t.begin);
            const Token within{t.begin, std::min(t.end, lines_.contentEnd(line))};
            auto [at, fresh] = prose_.emplace(line, within);
            if (!fresh) {
                at->second.begin = std::min(at->second.begin, within.begin);
                at->second.end = std::max(at->second.end, within.end);
            }
        };
        for (const Token& t : strayRunsCache_)
            take(t);
        for (const Token& t : wordsHoldingMnemonics_)
            take(t);
        // Findings about words holding mnemonics were made before the runs were known: give
        // them the line's suggestion now.
        for (std::size_t k = 0; k < found_.size(); ++k) {
            const bool meant = std::binary_search(meantWords_.begin(), meantWords_.end(), k);
            if (found_[k].code == "mnemonic-in-word" && !meant) {
                std::optional<std::string> fix = proseSuggestion(found_[k].line - 1);
                if (fix && *fix != lines_.content(found_[k].line - 1)) {
                    found_[k].suggestion = std::move(fix);
                }
            }
        }
        std::vector<std::size_t> wordLines;
        for (const Token& word : wordsHoldingMnemonics_)
            wordLines.push_back(lines_.lineOf(word.begin));
        for (const Token& run : strayRunsCache_) {
            const std::string_view text = source_.substr(run.begin, run.end - run.begin);
            const std::size_t line = lines_.lineOf(run.begin);
            const bool covered = std::binary_search(wordLines.begin(), wordLines.end(), line);
            if (covered && proseSuggestion(line)) continue;
            if (auto instead = insteadOf(run, line)) {
                warn("stray-text", run.begin, run.end,
                     "the assembler skips " + quoted(text) + ": " + instead->first,
                     instead->second);
                continue;
            }
            warn("stray-text", run.begin, run.end,
                 "the assembler skips " + quoted(text) +
                     ": it is no instruction, and nothing is written for it; put prose inside a "
                     "comment, between \"//\" and \"//\"",
                 proseSuggestion(line));
        }
    }

    /// For a run that begins with a word meant as an instruction ("print 01", "dps 01"): what
    /// to write instead, and the line with it.
    std::optional<std::pair<std::string, std::optional<std::string>>>
    insteadOf(Token run, std::size_t line) const {
        std::size_t wordEnd = run.begin;
        while (wordEnd < run.end && isLetter(source_[wordEnd]))
            ++wordEnd;
        if (wordEnd == run.begin) return std::nullopt;
        std::string word(source_.substr(run.begin, wordEnd - run.begin));
        for (char& c : word)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        struct Synonym {
            std::string_view word;
            std::string_view mnemonic;
        };
        // Words that hold no mnemonic themselves ("input" holds "inp" and is found as such).
        static constexpr std::array<Synonym, 14> kSynonyms{{
            {"print", "dsp"},
            {"show", "dsp"},
            {"display", "dsp"},
            {"out", "dsp"},
            {"read", "inp"},
            {"ask", "inp"},
            {"goto", "gto"},
            {"jmp", "gto"},
            {"jump", "gto"},
            {"label", "lbl"},
            {"halt", "end"},
            {"stop", "end"},
            {"nop", "idl"},
            {"let", "set"},
        }};
        std::string_view mnemonic;
        for (const Synonym& s : kSynonyms) {
            if (s.word == word) mnemonic = s.mnemonic;
        }
        const std::size_t end = lines_.contentEnd(line);
        const bool alone = std::all_of(source_.begin() + wordEnd, source_.begin() + end, isBlank);
        const bool operands =
            wordEnd + 1 < end && source_[wordEnd] == ' ' && isDigit(source_[wordEnd + 1]);
        if (mnemonic.empty() && word.size() == 3 && (alone || operands)) {
            // One letter wrong ("dsq") or two neighbours swapped ("dps").
            for (const Mnemonic& m : kMnemonics) {
                int wrong = 0;
                for (std::size_t k = 0; k < 3; ++k)
                    wrong += m.name[k] != word[k];
                const bool swapped =
                    wrong == 2 && ((m.name[0] == word[1] && m.name[1] == word[0]) ||
                                   (m.name[1] == word[2] && m.name[2] == word[1]));
                const bool fits = (m.form == Form::Marker) == alone;
                if ((wrong == 1 || swapped) && fits) {
                    mnemonic = m.name;
                    break;
                }
            }
        }
        if (mnemonic.empty()) return std::nullopt;
        const auto target = std::find_if(kMnemonics.begin(), kMnemonics.end(),
                                         [&](const Mnemonic& m) { return m.name == mnemonic; });
        const bool fits = target->form == Form::Marker ? alone : operands;
        std::optional<std::string> fixed;
        if (suggestible(line) && fits) {
            fixed =
                canonicalText(splice(run.begin, mnemonic, wordEnd), run.begin - lines_.start(line));
        }
        return std::pair<std::string, std::optional<std::string>>{
            "this language has no instruction " + quoted(word) + "; did you mean \"" +
                std::string(mnemonic) + "\"?",
            fixed};
    }

    /// `line` with the mnemonic at `column` followed by its cells written in their columns,
    /// when its operands are clear; else `line` as it is.
    static std::string canonicalText(const std::string& line, std::size_t column) {
        const Mnemonic* m = mnemonicAt(line, column);
        if (!m || m->form == Form::Marker || m->form == Form::Text) return line;
        std::vector<std::string> cells;
        std::size_t k = column + 3;
        std::size_t comment = line.size();
        while (k < line.size()) {
            if (line.compare(k, 2, "//") == 0) {
                comment = k;
                break;
            }
            if (isSeparator(line[k])) {
                ++k;
                continue;
            }
            std::size_t end = k;
            while (end < line.size() && !isSeparator(line[end]))
                ++end;
            std::string token = line.substr(k, end - k);
            if (token.size() > 2 || !std::all_of(token.begin(), token.end(), isDigit)) return line;
            cells.push_back(token.size() == 1 ? "0" + token : token);
            k = end;
        }
        if (cells.size() != operandColumns(*m)) return line;
        std::string out = line.substr(0, column + 3);
        for (std::size_t c = 0; c < cells.size(); ++c)
            out += (c == 0 ? " " : ", ") + cells[c];
        if (comment < line.size()) out += " " + line.substr(comment);
        return out;
    }

    // ---- the end --------------------------------------------------------------------------

    std::vector<Diagnostic> finish() {
        std::vector<std::size_t> order;
        for (std::size_t k = 0; k < found_.size(); ++k) {
            if (found_[k].severity == Severity::Error || !quietAt(foundAt_[k], true)) {
                order.push_back(k);
            }
        }
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const Diagnostic& x = found_[a];
            const Diagnostic& y = found_[b];
            return x.line != y.line ? x.line < y.line : x.column < y.column;
        });
        std::vector<Diagnostic> out;
        out.reserve(order.size());
        for (std::size_t k : order)
            out.push_back(std::move(found_[k]));
        return out;
    }
};

} // namespace

const std::vector<DiagnosticKind>& diagnosticKinds() {
    static const std::vector<DiagnosticKind> kinds = {
        {"missing-semicolon", Severity::Error, "a \"set\" with no \";\" after it: the build fails"},
        {"set-spans-lines", Severity::Warning,
         "a \"set\" text runs over line ends to a later \";\""},
        {"operand-digits", Severity::Warning, "an operand that is not two digits"},
        {"operand-columns", Severity::Warning, "operands that miss their fixed columns"},
        {"cut-off", Severity::Warning, "the text ends inside an instruction's operands"},
        {"hidden-instruction", Severity::Warning, "an instruction inside another one's width"},
        {"swallowed-text", Severity::Warning, "text inside an instruction's width, never read"},
        {"stray-text", Severity::Warning, "words or numbers the assembler skips"},
        {"mnemonic-in-word", Severity::Warning, "a mnemonic found inside a word"},
        {"unclosed-comment", Severity::Warning, "a \"//\" with no closing \"//\""},
        {"comment-runs-on", Severity::Warning, "a comment that runs on to the next one's \"//\""},
        {"test-without-eif", Severity::Warning, "a test with no \"eif\" after it"},
        {"eif-without-test", Severity::Warning, "an \"eif\" that closes no test"},
        {"label-number", Severity::Warning, "a label written with another number than its own"},
        {"too-many-labels", Severity::Error, "a 100th label: the program cannot start"},
        {"set-character", Severity::Warning, "text characters a cell cannot hold"},
        {"mpt-no-effect", Severity::Note, "an \"mpt\" that changes nothing that follows"},
    };
    return kinds;
}

const char* severityName(Severity severity) {
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: return "note";
    }
    return "error";
}

std::vector<Diagnostic> checkSource(std::string_view source) { return Checker(source).run(); }

} // namespace tessivor
