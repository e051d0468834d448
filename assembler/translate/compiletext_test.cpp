#include "assembler/translate/compiletext.h"

#include <gtest/gtest.h>

#include <string>

namespace tessivor {
namespace {

std::string code(std::string_view source) {
    const Translation t = compiletext(source);
    EXPECT_TRUE(t.ok) << "failed at " << t.position;
    return t.code;
}

TEST(Compiletext, EveryMnemonicInItsForm) {
    EXPECT_EQ(code("add 01, 02, 03"), "a01ba02ca03d");
    EXPECT_EQ(code("sub 01, 02, 03"), "a01ba02ca03e");
    EXPECT_EQ(code("mul 01, 02, 03"), "a01ba02ca03f");
    EXPECT_EQ(code("div 01, 02, 03"), "a01ba02ca03g");
    EXPECT_EQ(code("rnd 01, 02, 03"), "a01ba02ca03y");
    EXPECT_EQ(code("pwr 01, 02, 03"), "a01ba02ca03B");
    EXPECT_EQ(code("ife 05, 06"), "a05ba06ch");
    EXPECT_EQ(code("ifg 05, 06"), "a05ba06ci");
    EXPECT_EQ(code("ifl 05, 06"), "a05ba06cj");
    EXPECT_EQ(code("inp 01, 02"), "a01ba02o");
    EXPECT_EQ(code("apd 01, 02"), "a01ba02x");
    EXPECT_EQ(code("sqr 01, 02"), "a01ba02C");
    EXPECT_EQ(code("tic 07"), "a07l");
    EXPECT_EQ(code("mpt 07"), "a07n");
    EXPECT_EQ(code("inc 07"), "a07q");
    EXPECT_EQ(code("dec 07"), "a07r");
    EXPECT_EQ(code("clr 07"), "a07s");
    EXPECT_EQ(code("gto 07"), "a07u");
    EXPECT_EQ(code("dsp 07"), "a07w");
    EXPECT_EQ(code("eif"), " k");
    EXPECT_EQ(code("end"), "p");
    EXPECT_EQ(code("doe"), "t");
    EXPECT_EQ(code("lbl 42"), " v");
    EXPECT_EQ(code("idl"), " ");
    EXPECT_EQ(code("set 03, Hi;"), "a03sAHAi");
}

TEST(Compiletext, EmptyAndUnmatchedTextGiveNothing) {
    EXPECT_EQ(code(""), "");
    EXPECT_EQ(code("hello there, 12 + 7 = xyz\r\n"), "");
}

TEST(Compiletext, LetterCaseOfMnemonicsIsIgnoredButOperandsKeepTheirs) {
    EXPECT_EQ(code("ADD aB, Cd, eF"), "aaBbaCdcaeFd");
    EXPECT_EQ(code("DsP 01"), "a01w");
    EXPECT_EQ(code("SET 01, MiXed;"), "a01sAMAiAXAeAd");
}

TEST(Compiletext, MnemonicsAreFoundInsideWords) {
    // "blend" holds "end"; "friends" another, "addresses" an "add" with the operands "es", "s".
    EXPECT_EQ(code("blend"), "p");
    EXPECT_EQ(code("friends and addresses"), "paesbascad");
}

TEST(Compiletext, AnInstructionHidesEverythingInItsSpan) {
    // A three-operand instruction passes 15 characters, its separators unread.
    EXPECT_EQ(code("add 01, 02, 03end end"), "a01ba02ca03dp");
    EXPECT_EQ(code("ife 01en02endend"), "a01ba02chp");
    EXPECT_EQ(code("dsp 01endend"), "a01wp");
    EXPECT_EQ(code("endend"), "p");
    EXPECT_EQ(code("eifend"), " k");
    EXPECT_EQ(code("lbl01endend"), " vp");
    EXPECT_EQ(code("idlend"), " ");
}

TEST(Compiletext, OperandsAreCopiedBlindly) {
    EXPECT_EQ(code("dsp 1\r\nend\r\n"), "a1\rwp");
    EXPECT_EQ(code("inc ;/"), "a;/q");
    EXPECT_EQ(code("add 01 02 03"), "a01ba2 cad");
}

TEST(Compiletext, AnInstructionCutShortByTheEndTakesWhatIsThere) {
    EXPECT_EQ(code("dsp"), "aw");
    EXPECT_EQ(code("dsp "), "aw");
    EXPECT_EQ(code("dsp 0"), "a0w");
    EXPECT_EQ(code("add 01, 0"), "a01ba0cad");
    EXPECT_EQ(code("add"), "abacad");
    EXPECT_EQ(code("ife 01"), "a01bach");
}

TEST(Compiletext, SetLiterals) {
    EXPECT_EQ(code("set 01, ;"), "a01s");
    EXPECT_EQ(code("set 01, ;end"), "a01sp");
    // A ";" in the operand columns does not end the literal.
    EXPECT_EQ(code("set 0;;;x;"), "a0;sAx");
    // Mnemonics, comments and line ends inside the literal are taken as they stand.
    EXPECT_EQ(code("set 01, add // x\r\ny;"), "a01sAaAdAdA A/A/A AxA\rA\nAy");
    EXPECT_EQ(code("set 01, 7;set 02, 8;"), "a01sA7a02sA8");
}

TEST(Compiletext, ASetWithoutSemicolonFailsAtItsLiteral) {
    Translation t = compiletext("set 01, Hi");
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(t.position, 9u);
    EXPECT_EQ(t.setAt, 1u);
    EXPECT_TRUE(t.code.empty());

    // The text ends before the literal would begin: the position lies past the end.
    t = compiletext("end\r\nset 0");
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(t.position, 14u);
    EXPECT_EQ(t.setAt, 6u);

    // A ";" only in the operand columns does not count; an earlier set's ";" neither.
    EXPECT_FALSE(compiletext("set 0;, x").ok);
    t = compiletext("set 01, a;\r\nset 02, b");
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(t.position, 21u);
}

TEST(Compiletext, Comments) {
    EXPECT_EQ(code("// add 01, 02, 03 //end"), "p");
    EXPECT_EQ(code("//\r\ndsp 01\r\n//end"), "p");
    EXPECT_EQ(code("///end"), "p");
    EXPECT_EQ(code("////end"), "p");
    // An unclosed "//" hides only itself.
    EXPECT_EQ(code("// end"), "p");
    EXPECT_EQ(code("end // dsp 01"), "pa01w");
    // A "//" whose first "/" lies in an instruction's span opens no comment.
    EXPECT_EQ(code("end// dsp 01 //"), "pa01w");
    // A "//" inside a literal is no comment.
    EXPECT_EQ(code("set 01, //;end//x//"), "a01sA/A/p");
}

// How fast this translates is measured in bench/ (compiletextCommentRuns); here, that it
// translates right.
TEST(Compiletext, TenMegabytesOfCommentRunsAndInstructions) {
    // A run of "/" opens and closes a comment every three characters; lines of instructions
    // and sets with their literals make up the rest.
    std::string source(3'000'000, '/');
    for (int k = 0; k < 3'000'000 / 24; ++k)
        source += "set 04, some text here;\n";
    for (int k = 0; k < 5'000'000 / 16; ++k)
        source += "add 01, 02, 03\r\n";
    const Translation t = compiletext(source);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.code.size(), std::size_t{3'000'000 / 24} * 32 + std::size_t{5'000'000 / 16} * 12);
    EXPECT_EQ(t.code.substr(0, 32), "a04sAsAoAmAeA AtAeAxAtA AhAeArAe");
    EXPECT_EQ(t.code.substr(t.code.size() - 12), "a01ba02ca03d");
}

TEST(SourcePlace, LinesAndColumns) {
    const std::string_view text = "ab\ncd\n";
    EXPECT_EQ(sourcePlace(text, 1).line, 1u);
    EXPECT_EQ(sourcePlace(text, 1).column, 1u);
    EXPECT_EQ(sourcePlace(text, 3).column, 3u); // the line feed itself
    EXPECT_EQ(sourcePlace(text, 4).line, 2u);
    EXPECT_EQ(sourcePlace(text, 4).column, 1u);
    // Past the end: just after the last character, here the start of a third line.
    EXPECT_EQ(sourcePlace(text, 99).line, 3u);
    EXPECT_EQ(sourcePlace(text, 99).column, 1u);
    EXPECT_EQ(sourcePlace("abc", 10).column, 4u);
    EXPECT_EQ(sourcePlace("", 9).column, 1u);
}

} // namespace
} // namespace tessivor
