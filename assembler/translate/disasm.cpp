#include "assembler/translate/disasm.h"

#include "assembler/translate/compiletext.h"
#include "assembler/translate/mnemonics.h"

#include <cstdio>

namespace tessivor {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kStrayPerLine = 24;
constexpr int kMaxLabels = 99;

// The characters the shapes are built of.
constexpr char kAddress = letterOf(kOpAddress).ch;
constexpr char kSetB = letterOf(kOpSetB).ch;
constexpr char kSetC = letterOf(kOpSetC).ch;
constexpr char kClear = letterOf(kOpClear).ch;
constexpr char kCopy = letterOf(kOpCopy).ch;
constexpr char kAppendChar = letterOf(kOpAppendChar).ch;

/// The mnemonic of `form` whose final text is `final`, or null.
const Mnemonic* findMnemonic(Form form, std::string_view final) {
    for (const Mnemonic& m : kMnemonics)
        if (m.form == form && m.final == final) return &m;
    return nullptr;
}

/// Quotes bytes for a comment: printable characters as they are, the rest as \xHH. "/" is
/// escaped too, so no "//" can close the comment early.
std::string quoted(std::string_view bytes) {
    std::string out = "\"";
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b <= 0x7e && ch != '/' && ch != '"' && ch != '\\') {
            out += ch;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out + "\"";
}

class Lister {
public:
    explicit Lister(std::string_view code) : code_(code) {}

    std::string run() {
        while (i_ < code_.size()) {
            if (fullShape()) continue;
            if (cutOffTail()) break;
            stray_ += code_[i_++];
            if (stray_.size() == kStrayPerLine) flushStray();
        }
        flushStray();
        return std::move(out_);
    }

private:
    char at(std::size_t k) const { return k < code_.size() ? code_[k] : '\0'; }
    bool has(std::size_t count) const { return code_.size() - i_ >= count; }
    std::string_view take(std::size_t from, std::size_t count) const {
        return code_.substr(from, count);
    }

    void line(std::string_view text) {
        flushStray();
        out_ += text;
        out_ += kLineEnd;
    }

    void flushStray() {
        if (stray_.empty()) return;
        out_ += "// not an instruction, dropped: " + quoted(stray_) + " //";
        out_ += kLineEnd;
        stray_.clear();
    }

    // Recognises the complete shape that starts at the current position and lists it.
    bool fullShape() {
        const std::size_t i = i_;
        // Markers ("eif", "lbl" with their space) before the one-character ones ("idl", "end").
        for (const std::size_t width : {2, 1}) {
            if (!has(width)) continue;
            if (const Mnemonic* m = findMnemonic(Form::Marker, take(i, width))) {
                if (m->op == kOpLabel) return label();
                return emit(width, std::string(m->name));
            }
        }
        if (code_[i] != kAddress) return false;
        if (!has(4)) return false;
        const std::string_view op1 = take(i + 1, 2);
        const char after1 = code_[i + 3];
        if (after1 == kClear) return setOrClear(op1);
        if (const Mnemonic* m = findMnemonic(Form::OneOperand, std::string_view(&after1, 1)))
            return emit(4, std::string(m->name) + " " + std::string(op1));
        if (after1 != kSetB || !has(8) || code_[i + 4] != kAddress) return false;
        const std::string_view op2 = take(i + 5, 2);
        const char after2 = code_[i + 7];
        const std::string pair = std::string(op1) + ", " + std::string(op2);
        if (const Mnemonic* m = findMnemonic(Form::TwoOperand, std::string_view(&after2, 1)))
            return emit(8, std::string(m->name) + " " + pair);
        if (after2 == kCopy) {
            // The copy operation has no mnemonic; no listing can give it back.
            flushStray();
            i_ += 8;
            line("// copy cell " + quoted(op1) + " to cell " + quoted(op2) +
                 " (\"z\", which no mnemonic writes), dropped //");
            return true;
        }
        if (after2 != kSetC || !has(9)) return false;
        const char after3 = code_[i + 8];
        if (const Mnemonic* m = findMnemonic(Form::Comparison, std::string_view(&after3, 1)))
            return emit(9, std::string(m->name) + " " + pair);
        if (after3 != kAddress || !has(12)) return false;
        const char final = code_[i + 11];
        if (const Mnemonic* m = findMnemonic(Form::ThreeOperand, std::string_view(&final, 1)))
            return emit(12, std::string(m->name) + " " + pair + ", " + std::string(take(i + 9, 2)));
        return false;
    }

    bool emit(std::size_t length, const std::string& text) {
        flushStray();
        i_ += length;
        line(text);
        return true;
    }

    // Labels are listed with their number, which "gto" uses; the number itself is never read.
    bool label() {
        ++labels_;
        if (labels_ <= kMaxLabels) {
            char text[16];
            std::snprintf(text, sizeof text, "lbl %02d", labels_);
            return emit(2, text);
        }
        return emit(2, "lbl -- // label " + std::to_string(labels_) +
                           ": past the last label a program may have, " +
                           std::to_string(kMaxLabels) + " //");
    }

    // "aXXs" clears a cell; the "A" pairs after it are the text of a "set". A literal ends at
    // its first ";", so an "A;" is left to the stray characters.
    bool setOrClear(std::string_view op1) {
        std::size_t j = i_ + 4;
        std::string literal;
        while (j + 1 < code_.size() && code_[j] == kAppendChar && code_[j + 1] != ';') {
            literal += code_[j + 1];
            j += 2;
        }
        if (literal.empty()) return emit(4, "clr " + std::string(op1));
        flushStray();
        i_ = j;
        out_ += "set " + std::string(op1) + ", " + literal + ";";
        out_ += kLineEnd;
        return true;
    }

    // An instruction cut short by the end of its source text leaves a shorter shape at the very
    // end of the code string. It is listed as that instruction with no line end after it, so the
    // listing ends where the source did.
    bool cutOffTail() {
        const std::string_view tail = code_.substr(i_);
        if (tail.size() < 2 || tail.size() > 13 || tail[0] != kAddress) return false;
        for (const Mnemonic& m : kMnemonics) {
            const std::size_t operands = operandCount(m.form);
            if (operands == 0) continue;
            // "a", "b", "a", "c", "a" around the operands; a comparison adds its "c".
            const std::size_t fixed =
                2 * operands - 1 + (m.form == Form::Comparison ? 1 : 0) + m.final.size();
            if (tail.size() < fixed || tail.size() - fixed > 2 * operands) continue;
            std::size_t left = tail.size() - fixed;
            std::string source(m.name);
            std::size_t k = 1;
            for (std::size_t o = 0; o < operands && left > 0; ++o) {
                const std::size_t width = left < 2 ? left : 2;
                source += o == 0 ? " " : ", ";
                source += tail.substr(k, width);
                k += width + 2;
                left -= width;
                if (width < 2) break;
            }
            if (left != 0) continue;
            const Translation back = compiletext(source);
            if (back.ok && back.code == tail) {
                flushStray();
                out_ += source;
                i_ = code_.size();
                return true;
            }
        }
        return false;
    }

    static std::size_t operandCount(Form form) {
        switch (form) {
        case Form::ThreeOperand: return 3;
        case Form::Comparison:
        case Form::TwoOperand: return 2;
        case Form::OneOperand: return 1;
        case Form::Marker:
        case Form::Text: return 0;
        }
        return 0;
    }

    std::string_view code_;
    std::size_t i_ = 0;
    std::string out_;
    std::string stray_;
    int labels_ = 0;
};

} // namespace

std::string disasm(std::string_view code) { return Lister(code).run(); }

std::string disasmProgramFile(std::string_view fileText) {
    if (fileText.size() >= 2 && fileText.substr(fileText.size() - 2) == kLineEnd)
        return disasm(fileText.substr(0, fileText.size() - 2));
    std::string out = "// this file does not end with the line end a program file closes with //";
    out += kLineEnd;
    return out + disasm(fileText);
}

} // namespace tessivor
