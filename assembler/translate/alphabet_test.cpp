// The assembler's mnemonic table against the machine's alphabet: every mnemonic writes the
// operation the machine runs, with the cells its shape names, and lists back as written.

#include "assembler/translate/compiletext.h"
#include "assembler/translate/disasm.h"
#include "assembler/translate/mnemonics.h"
#include "runner/machine/prepare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tessivor {
namespace {

TEST(Alphabet, EveryMnemonicWritesTheOperationTheMachineRuns) {
    int checked = 0;
    for (const Mnemonic& m : kMnemonics) {
        if (m.form == Form::Text) continue;
        const Letter& letter = letterOf(m.op);
        EXPECT_EQ(letter.mnemonic, m.name);
        static const char* const kOperands[] = {"", " 01", " 01, 02", " 01, 02, 03"};
        const std::string source = std::string(m.name) + kOperands[formCells(m.form)];
        const Translation t = compiletext(source);
        ASSERT_TRUE(t.ok) << source;
        // The operation closes the code; one address prefix for each cell the shape names.
        const Prepared p = prepare(t.code);
        EXPECT_EQ(p.codes.back(), m.op) << source;
        EXPECT_EQ(std::count(t.code.begin(), t.code.end(), 'a'), cellsOf(letter.shape)) << source;
        EXPECT_EQ(t.code.size(), 3u * static_cast<unsigned>(cellsOf(letter.shape)) +
                                     m.final.size() + (cellsOf(letter.shape) >= 2 ? 1 : 0) +
                                     (letter.shape == Shape::Three || letter.shape == Shape::Test))
            << source;
        const std::string listed = disasm(t.code);
        const std::string expected = m.op == kOpLabel ? "lbl 01" : source;
        EXPECT_EQ(listed, expected + "\r\n") << source;
        ++checked;
    }
    EXPECT_EQ(checked, 24);
    // Every alphabet row with a mnemonic has its entry, and the one without ("z") none.
    for (const Letter& l : kAlphabet) {
        const auto count = std::count_if(kMnemonics.begin(), kMnemonics.end(),
                                         [&](const Mnemonic& m) { return m.name == l.mnemonic; });
        EXPECT_EQ(count, l.mnemonic.empty() ? 0 : 1) << l.ch;
    }
    EXPECT_EQ(compiletext("set 03, Hi;").code, "a03sAHAi");
}

} // namespace
} // namespace tessivor
