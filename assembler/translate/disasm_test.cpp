#include "assembler/translate/disasm.h"

#include "assembler/translate/compiletext.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tessivor {
namespace {

std::string rebuilt(std::string_view listing) {
    const Translation t = compiletext(listing);
    EXPECT_TRUE(t.ok) << listing;
    return t.code;
}

TEST(Disasm, ListsOneInstructionALineInTheColumns) {
    const std::string source = "add 01, 02, 03\r\n"
                               "ife 05, 06\r\n"
                               "inp 01, 02\r\n"
                               "dsp 07\r\n"
                               "eif\r\n"
                               "lbl 01\r\n"
                               "set 03, Hi there;\r\n"
                               "clr 04\r\n"
                               "doe\r\n"
                               "idl\r\n"
                               "lbl 02\r\n"
                               "end\r\n";
    EXPECT_EQ(disasm(compiletext(source).code), source);
}

TEST(Disasm, LabelsAreNumberedByOrder) {
    EXPECT_EQ(disasm(" v v"), "lbl 01\r\nlbl 02\r\n");
    std::string many;
    for (int k = 0; k < 100; ++k)
        many += " v";
    const std::string listing = disasm(many);
    EXPECT_NE(listing.find("lbl 99\r\n"), std::string::npos);
    EXPECT_NE(listing.find("lbl -- // label 100: past the last"), std::string::npos);
    EXPECT_EQ(rebuilt(listing), many);
}

TEST(Disasm, OddOperandsAndLiteralsAreKeptAsTheyStand) {
    for (const std::string_view code :
         {"a1\rwp", "aABw", "a;/q", "a01sA\rA\nA/A/Ak", "a\r\nba  ca..y"}) {
        EXPECT_EQ(rebuilt(disasm(code)), code) << disasm(code);
    }
}

TEST(Disasm, ACutOffInstructionEndsTheListingWithoutLineEnd) {
    EXPECT_EQ(disasm("paw"), "end\r\ndsp");
    EXPECT_EQ(disasm("a0w"), "dsp 0");
    EXPECT_EQ(disasm("a01ba0cad"), "add 01, 0");
    EXPECT_EQ(disasm("abacad"), "add");
    EXPECT_EQ(disasm("a01bach"), "ife 01");
}

TEST(Disasm, WhatNoTranslationHoldsIsShownInClosedComments) {
    EXPECT_EQ(disasm("zm"), "// not an instruction, dropped: \"zm\" //\r\n");
    EXPECT_EQ(
        disasm("a01ba02z"),
        "// copy cell \"01\" to cell \"02\" (\"z\", which no mnemonic writes), dropped //\r\n");
    // A stray "/" or byte is escaped, so the comment cannot close early.
    EXPECT_EQ(disasm("p//\x01"),
              "end\r\n// not an instruction, dropped: \"\\x2F\\x2F\\x01\" //\r\n");
    // A ";" cannot stand in a literal: the set stops before it.
    EXPECT_EQ(disasm("a01sAxA;Ay"),
              "set 01, x;\r\n// not an instruction, dropped: \"A;Ay\" //\r\n");
    // A cut-off shape before the end is no instruction either.
    EXPECT_EQ(rebuilt(disasm("a0wp")), "p");
    EXPECT_EQ(rebuilt(disasm("abacadp")), "p");
}

TEST(Disasm, ProgramFilesLoseTheirClosingLineEnd) {
    EXPECT_EQ(disasmProgramFile("a01wp\r\n"), "dsp 01\r\nend\r\n");
    EXPECT_EQ(disasmProgramFile("\r\n"), "");
    EXPECT_EQ(disasmProgramFile("p\r\n\r\n"),
              "end\r\n// not an instruction, dropped: \"\\x0D\\x0A\" //\r\n");
    EXPECT_EQ(disasmProgramFile("p").rfind("// this file does not end", 0), 0u);
}

// Sources made of mnemonic pieces, operands, separators, comments, literals and noise.
std::string randomSource(std::mt19937& rng) {
    static const char* const kPieces[] = {
        "add", "sub", "mul", "div", "ife", "ifg", "ifl", "eif",  "tic", "mpt", "inp", "end", "inc",
        "dec", "clr", "doe", "gto", "dsp", "apd", "rnd", "set",  "pwr", "sqr", "lbl", "idl", "ADD",
        "Set", " ",   "  ",  ", ",  "01",  "99",  "7",   "\r\n", "\n",  "\r",  "//",  "/",   ";",
        "x",   "z",   "A",   "a",   "k",   "v",   "\t",  "\x80", "s",   "b",   "c"};
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> length(0, 40);
    std::string source;
    for (int k = length(rng); k > 0; --k)
        source += kPieces[piece(rng)];
    return source;
}

TEST(Disasm, ListingsOfRandomTranslationsTranslateBack) {
    std::mt19937 rng(12345);
    int checked = 0;
    for (int k = 0; k < 50000; ++k) {
        const std::string source = randomSource(rng);
        const Translation t = compiletext(source);
        if (!t.ok) continue;
        const std::string listing = disasm(t.code);
        const Translation back = compiletext(listing);
        ASSERT_TRUE(back.ok) << "source: " << source << "\nlisting: " << listing;
        ASSERT_EQ(back.code, t.code) << "source: " << source << "\nlisting: " << listing;
        ++checked;
    }
    EXPECT_GT(checked, 10000);
}

TEST(Disasm, ListingsOfArbitraryCodeNeverTranslateIntoSomethingElse) {
    // Whatever the bytes, building the listing yields a code string made only of pieces that
    // were in the original: dropping what is commented out, never inventing anything.
    std::mt19937 rng(777);
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABC 0123456789;/\r\n\x01\xff";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 30);
    for (int k = 0; k < 50000; ++k) {
        std::string code;
        for (int n = length(rng); n > 0; --n)
            code += alphabet[pick(rng)];
        const std::string listing = disasm(code);
        const Translation back = compiletext(listing);
        ASSERT_TRUE(back.ok) << listing;
        // Rebuilding the listing of the rebuilt code changes nothing more.
        ASSERT_EQ(rebuilt(disasm(back.code)), back.code) << listing;
        // The rebuilt code is the original less the dropped pieces, in order.
        std::size_t at = 0;
        for (const char ch : back.code) {
            at = code.find(ch, at);
            ASSERT_NE(at, std::string::npos) << "code: " << code << "\nlisting: " << listing;
            ++at;
        }
    }
}

} // namespace
} // namespace tessivor
