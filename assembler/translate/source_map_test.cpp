#include "assembler/translate/source_map.h"

#include "assembler/translate/disasm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace tessivor {
namespace {

/// Checks the map of `source` against the translation: the instructions cover the code string
/// in order, each one's code is what its own span of the source translates to, and each one's
/// line and column are where its mnemonic stands.
::testing::AssertionResult mapHolds(std::string_view source) {
    const MappedTranslation mapped = compileWithMap(source);
    const Translation plain = compiletext(source);
    if (mapped.translation.ok != plain.ok || mapped.translation.code != plain.code)
        return ::testing::AssertionFailure() << "the translation differs";
    if (!plain.ok) return ::testing::AssertionSuccess();
    std::int32_t next = 1;
    for (const SourceInstruction& ins : mapped.instructions) {
        if (ins.first != next || ins.last < ins.first)
            return ::testing::AssertionFailure() << "instruction at " << ins.begin << " writes "
                                                 << ins.first << ".." << ins.last;
        const std::string_view span = source.substr(ins.begin, ins.end - ins.begin);
        const Translation own = compiletext(span);
        const std::string written = plain.code.substr(static_cast<std::size_t>(ins.first - 1),
                                                      static_cast<std::size_t>(ins.last - ins.first + 1));
        if (!own.ok || own.code != written)
            return ::testing::AssertionFailure() << "span \"" << span << "\" does not give \""
                                                 << written << '"';
        const SourcePlace place = sourcePlace(source, ins.begin + 1);
        if (place.line != ins.line || place.column != ins.column)
            return ::testing::AssertionFailure() << "place of \"" << span << '"';
        next = ins.last + 1;
    }
    if (static_cast<std::size_t>(next - 1) != plain.code.size())
        return ::testing::AssertionFailure() << "the instructions do not cover the code";
    return ::testing::AssertionSuccess();
}

std::string randomSource(std::mt19937& rng) {
    static const char* const kPieces[] = {
        "add", "sub", "mul", "div", "ife", "ifg", "ifl", "eif",  "tic", "mpt", "inp", "end", "inc",
        "dec", "clr", "doe", "gto", "dsp", "apd", "rnd", "set",  "pwr", "sqr", "lbl", "idl", "ADD",
        "Set", " ",   "  ",  ", ",  "01",  "99",  "7",   "\r\n", "\n",  "\r",  "//",  "/",   ";",
        "x",   "z",   "A",   "a",   "k",   "v",   "\t",  "\x80", "s",   "b",   "c",   "sET 05, ",
        "add 01, 02, 03\r\n", "ifl 08, 03\r\n", "dsp 01\r\n", "lbl 02\r\n"};
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> length(0, 40);
    std::string source;
    for (int k = length(rng); k > 0; --k)
        source += kPieces[piece(rng)];
    return source;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(SourceMap, RandomSourcesTranslateUnchangedAndMapEveryPosition) {
    std::mt19937 rng(2024);
    int mapped = 0;
    for (int k = 0; k < 50000; ++k) {
        const std::string source = randomSource(rng);
        ASSERT_TRUE(mapHolds(source)) << "source: " << source;
        mapped += compiletext(source).ok;
    }
    EXPECT_GT(mapped, 20000);
}

TEST(SourceMap, EveryExampleTranslatesUnchangedWithItsLines) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TESSIVOR_EXAMPLES)) {
        if (entry.path().extension() != ".tsasm") continue;
        const std::string source = readFile(entry.path());
        EXPECT_TRUE(mapHolds(source)) << entry.path();
        ++examples;
    }
    EXPECT_GE(examples, 10);

    // count.tsasm: its first instruction, "set 01, 1;", stands on line 5.
    const MappedTranslation count =
        compileWithMap(readFile(std::filesystem::path(TESSIVOR_EXAMPLES) / "count.tsasm"));
    const SourceMap map = count.sourceMap();
    ASSERT_EQ(map.line.size(), count.translation.code.size() + 3);
    EXPECT_EQ(map.line[1], 5);
    EXPECT_EQ(map.instructionStart[1], 1);
    EXPECT_EQ(map.instructionStart[2], 0);
    EXPECT_EQ(count.instructions[0].name, "set");
    EXPECT_EQ(count.instructions[0].column, 1u);
    EXPECT_EQ(map.line.back(), 0); // the program file's closing line end
}

TEST(SourceMap, TheInstructionsSpanTheirWholeLine) {
    const MappedTranslation m = compileWithMap("  add 01, 02, 03\r\nlbl 07\r\nset 01, Hi;x\r\nend");
    ASSERT_EQ(m.instructions.size(), 4u);
    EXPECT_EQ(m.instructions[0].column, 3u);
    EXPECT_EQ(m.instructions[0].end - m.instructions[0].begin, 14u);
    EXPECT_EQ(m.instructions[1].line, 2u);
    EXPECT_EQ(m.instructions[1].end - m.instructions[1].begin, 6u); // "lbl 07"
    EXPECT_EQ(m.instructions[2].end - m.instructions[2].begin, 11u); // through the ";"
    EXPECT_EQ(m.instructions[3].name, "end");
    EXPECT_EQ(m.instructions[3].line, 4u);
    EXPECT_EQ(m.instructions[3].first, 23); // after a01ba02ca03d, " v" and a01sAHAi
}

TEST(SourceMap, AFailedTranslationHasNoMap) {
    const MappedTranslation m = compileWithMap("end\r\nset 01, Hi");
    EXPECT_FALSE(m.translation.ok);
    EXPECT_TRUE(m.instructions.empty());
    EXPECT_TRUE(m.sourceMap().empty());
}

TEST(ListProgram, TheListingLinesMapEveryPositionOfAnyProgram) {
    std::mt19937 rng(99);
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABC 0123456789;/\r\n\x01\xff";
    for (int k = 0; k < 20000; ++k) {
        std::string file;
        if (k % 2) {
            const Translation t = compiletext(randomSource(rng));
            if (!t.ok) continue;
            file = t.code + "\r\n";
        } else {
            for (int n = static_cast<int>(rng() % 30); n > 0; --n)
                file += alphabet[rng() % alphabet.size()];
        }
        const ListedProgram listed = listProgram(file);
        ASSERT_EQ(listed.map.line.size(), file.size() + 1);
        std::string kept;
        const auto lines = static_cast<std::int32_t>(
            std::count(listed.listing.begin(), listed.listing.end(), '\n') + 1);
        const bool closed = file.size() >= 2 && file.substr(file.size() - 2) == "\r\n";
        for (std::size_t p = 1; p <= file.size(); ++p) {
            if (listed.map.instruction[p] != 0) kept += file[p - 1];
            if (p + 2 <= file.size() || !closed) {
                ASSERT_GE(listed.map.line[p], 1) << file;
                ASSERT_LE(listed.map.line[p], lines) << file;
            }
        }
        // The positions mapped to instructions are exactly what the listing builds back to.
        ASSERT_EQ(kept, listed.mapped.translation.code) << file;
    }
}

TEST(InstructionText, ListsTheInstructionAtAnyOfItsPositions) {
    const std::string source = "set 01, 1;\r\nlbl 01\r\nifl 08, 03\r\ndsp 01\r\nlbl 02\r\nend\r\n";
    const MappedTranslation m = compileWithMap(source);
    const SourceMap map = m.sourceMap();
    const std::string& code = m.translation.code; // a01sA1 va08ba03cja01w vp
    EXPECT_EQ(instructionText(code, 1, map), "set 01, 1;");
    EXPECT_EQ(instructionText(code, 5, map), "set 01, 1;");
    EXPECT_EQ(instructionText(code, 8, map), "lbl 01");
    EXPECT_EQ(instructionText(code, 9, map), "ifl 08, 03");
    EXPECT_EQ(instructionText(code, 17, map), "ifl 08, 03");
    EXPECT_EQ(instructionText(code, 18, map), "dsp 01");
    EXPECT_EQ(instructionText(code, 22, map), "lbl 02");
    EXPECT_EQ(instructionText(code, 24, map), "end");
    EXPECT_EQ(instructionText(code, 25, map), "");
    EXPECT_EQ(instructionText(code, 0, map), "");
    // Without a map the shape starting at pc is read.
    EXPECT_EQ(instructionText(code, 9, SourceMap{}), "ifl 08, 03");
    EXPECT_EQ(instructionText(code, 10, SourceMap{}), "");
    // A long literal is cut short.
    const MappedTranslation longSet = compileWithMap("set 01, " + std::string(500, 'x') + ";");
    const std::string text = instructionText(longSet.translation.code, 300, longSet.sourceMap());
    EXPECT_EQ(text.rfind("set 01, xxx", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 4), "...;");
}

} // namespace
} // namespace tessivor
