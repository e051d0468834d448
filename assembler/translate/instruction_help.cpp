#include "assembler/translate/instruction_help.h"

#include "assembler/translate/mnemonics.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tessivor {
namespace {

struct Effect {
    std::string_view mnemonic;
    std::string_view effect;
};

// In the manual's order: arithmetic, texts, the display and input, tests, jumps, the rest.
constexpr std::array<Effect, 25> kEffects{{
    {"add", "cell C := the whole part of cell A + the whole part of cell B (2.7 + 1.5 gives 3)"},
    {"sub", "cell C := cell A - cell B"},
    {"mul", "cell C := cell A * cell B"},
    {"div", "cell C := cell A / cell B (dividing by 0 gives Infinity, no error)"},
    {"pwr", "cell C := cell A to the power cell B"},
    {"sqr", "cell B := the square root of cell A"},
    {"rnd", "cell C := a random whole number from cell A to cell B"},
    {"inc", "cell A := cell A + 1"},
    {"dec", "cell A := cell A - 1"},
    {"set", "cell A := the text up to the next \";\", which may stand on a later line"},
    {"clr", "cell A := the empty text"},
    {"apd", "cell B := cell B followed by cell A"},
    {"dsp", "shows cell A on the display"},
    {"inp", "asks with the text of cell A as the question; cell B := the answer (Cancel gives "
            "the empty text)"},
    {"ife", "test: cells A and B hold the same text (5 and 5.0 differ); everything up to the "
            "next eif runs only when it holds"},
    {"ifg", "test: cell A > cell B as numbers; everything up to the next eif runs only when it "
            "holds"},
    {"ifl", "test: cell A < cell B as numbers; everything up to the next eif runs only when it "
            "holds"},
    {"eif", "the end of a test: a failed test goes on just after it; it does nothing itself"},
    {"lbl", "a label, a place for gto: labels are numbered 1, 2, 3 in the order they stand, "
            "the digits are only a note"},
    {"gto", "goes on after the label whose number cell A holds (0 or a missing label: the "
            "start)"},
    {"tic", "cell A := the milliseconds since the computer started"},
    {"mpt", "cur := the number cell A holds, without its sign, rounded; no cell changes"},
    {"doe", "lets the window handle what is waiting (repaint, menu, closing)"},
    {"idl", "does nothing"},
    {"end", "stops the run: \"Program Terminated\""},
}};

constexpr bool plainAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) return false;
    return true;
}

constexpr bool everyMnemonicOnce() {
    for (const Mnemonic& m : kMnemonics) {
        int found = 0;
        for (const Effect& e : kEffects)
            found += e.mnemonic == m.name ? 1 : 0;
        if (found != 1) return false;
    }
    for (const Effect& e : kEffects)
        if (!plainAscii(e.effect)) return false;
    return kEffects.size() == kMnemonics.size();
}
static_assert(everyMnemonicOnce(), "every mnemonic needs exactly one plain-ASCII effect");

const Mnemonic& mnemonicNamed(std::string_view name) {
    for (const Mnemonic& m : kMnemonics)
        if (m.name == name) return m;
    throw std::logic_error("no such mnemonic"); // excluded by the static_assert above
}

InstructionHelp makeHelp(const Effect& e) {
    const Mnemonic& m = mnemonicNamed(e.mnemonic);
    InstructionHelp h;
    h.mnemonic = m.name;
    h.effect = e.effect;
    h.written = std::string(m.name);
    h.width = m.advance;
    static constexpr const char* kNames[3] = {"A", "B", "C"};
    const int cells = formCells(m.form);
    for (int i = 0; i < cells; ++i) {
        h.written += i == 0 ? " " : ", ";
        h.written += kNames[i];
        h.operandColumns.push_back(kOperandColumn[i]);
    }
    if (m.form == Form::Text) {
        h.written += ", text;";
        h.textColumn = kOperandColumn[1];
    } else if (m.form == Form::Marker && m.advance > 4) {
        h.written += " 01"; // "lbl": two characters the translation passes over
    }
    return h;
}

} // namespace

const std::vector<InstructionHelp>& instructionHelp() {
    static const std::vector<InstructionHelp> table = [] {
        std::vector<InstructionHelp> out;
        for (const Effect& e : kEffects)
            out.push_back(makeHelp(e));
        return out;
    }();
    return table;
}

const InstructionHelp* findInstructionHelp(std::string_view mnemonic) {
    if (mnemonic.size() != 3) return nullptr;
    std::string lower(mnemonic);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    for (const InstructionHelp& h : instructionHelp())
        if (h.mnemonic == lower) return &h;
    return nullptr;
}

const std::vector<RegisterHelp>& registerHelp() {
    static const std::vector<RegisterHelp> table{
        {"pc", "the position in the program file of the code that runs next"},
        {"cur", "the current cell: the one the next operation writes or works on"},
        {"opb", "the first cell an operation reads (A in add A, B, C), copied from cur"},
        {"opc", "the second cell an operation reads (B in add A, B, C), copied from cur"},
    };
    return table;
}

} // namespace tessivor
