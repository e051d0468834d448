#include "assembler/translate/program.h"

#include <gtest/gtest.h>

#include <string>

namespace tessivor {
namespace {

constexpr std::string_view kSource = "set 01, 6;\r\nset 02, x;\r\nmul 01, 02, 03\r\nend\r\n";

TEST(Program, ASourceRunsAsTheProgramFileItBuildsTo) {
    const Program p = Program::fromSource(kSource, "m.tsasm");
    ASSERT_TRUE(p.built);
    EXPECT_EQ(p.origin, Program::Origin::Source);
    EXPECT_TRUE(p.sourceKnown());
    EXPECT_EQ(p.code, compiletext(kSource).code + "\r\n");
    EXPECT_EQ(p.code, programFileText(p.codeString()));
    EXPECT_EQ(p.text, kSource);
    // The map covers the line end too, which no instruction wrote.
    ASSERT_EQ(p.map.line.size(), p.code.size() + 1);
    EXPECT_EQ(p.lineAt(1), 1);
    EXPECT_EQ(p.lineAt(static_cast<std::int32_t>(p.code.size())), 0);
    const auto mul = static_cast<std::int32_t>(p.code.find('f') + 1);
    EXPECT_EQ(p.lineAt(mul), 3);
    EXPECT_EQ(p.instructionAt(mul), "mul 01, 02, 03");
    EXPECT_EQ(p.placeOf(mul), "m.tsasm:3:1");
    EXPECT_EQ(p.buildError(), "");
}

TEST(Program, AFailedBuildSaysWhereAsEveryFrontEndWordsIt) {
    const Program p = Program::fromSource("dsp 01\r\n  set 01, no end\r\n", "s.tsasm");
    EXPECT_FALSE(p.built);
    EXPECT_EQ(p.code, "");
    EXPECT_EQ(p.buildError(), "s.tsasm:2:11: the text of the \"set\" at 2:3 has no closing \";\"");
    EXPECT_EQ(p.failedSetPlace().line, 2u);
    EXPECT_EQ(p.failedSetPlace().column, 3u);
}

TEST(Program, AProgramFileIsListedOrLeftBare) {
    const std::string file = "a01sAHAia01wp\r\n";
    const Program listed = Program::fromFile(file, "h.tsp");
    EXPECT_EQ(listed.origin, Program::Origin::Listing);
    EXPECT_FALSE(listed.sourceKnown());
    EXPECT_EQ(listed.code, file);
    EXPECT_EQ(listed.text, "set 01, Hi;\r\ndsp 01\r\nend\r\n");
    EXPECT_EQ(listed.lineAt(9), 2);
    EXPECT_EQ(listed.instructionAt(9), "dsp 01");
    // Places name positions while no source is known, even with the listing.
    EXPECT_EQ(listed.placeOf(9), "h.tsp: pc 9");

    const Program bare = Program::fromFile(file, "h.tsp", false);
    EXPECT_EQ(bare.origin, Program::Origin::Bare);
    EXPECT_TRUE(bare.map.empty());
    EXPECT_EQ(bare.text, "");
    EXPECT_EQ(bare.lineAt(9), 0);
    EXPECT_EQ(bare.instructionAt(9), "dsp 01"); // the shape at the position
}

TEST(Program, AFileMapsToTheSourceItWasBuiltFromWithOrWithoutItsLineEnd) {
    const Program source = Program::fromSource(kSource, "m.tsasm");
    for (const std::string& file : {source.code, std::string(source.codeString())}) {
        const std::optional<Program> p = Program::fromFileBuiltFrom(file, source);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->origin, Program::Origin::File);
        EXPECT_EQ(p->code, file);
        EXPECT_EQ(p->name, "m.tsasm");
        EXPECT_EQ(p->map.line.size(), file.size() + 1);
        EXPECT_EQ(p->placeOf(1), "m.tsasm:1:1");
    }
    EXPECT_FALSE(Program::fromFileBuiltFrom("p\r\n", source));
    EXPECT_FALSE(Program::fromFileBuiltFrom(source.code + "p", source));
    EXPECT_FALSE(Program::fromFileBuiltFrom("", Program::fromSource("set 01, x")));
}

TEST(Program, InstructionTextsOutliveTheProgram) {
    std::function<std::string(std::int32_t)> texts;
    {
        const Program p = Program::fromSource("inc 07\r\n");
        texts = p.instructionTexts();
    }
    EXPECT_EQ(texts(1), "inc 07");
    EXPECT_EQ(texts(4), "inc 07");
    EXPECT_EQ(texts(5), ""); // the line end
}

TEST(Program, CodeStringDropsOnlyAClosingLineEnd) {
    Program p;
    p.code = "p\r\n";
    EXPECT_EQ(p.codeString(), "p");
    p.code = "p\n";
    EXPECT_EQ(p.codeString(), "p\n");
    p.code = "\r\n\r\n";
    EXPECT_EQ(p.codeString(), "\r\n");
    p.code = "";
    EXPECT_EQ(p.codeString(), "");
}

} // namespace
} // namespace tessivor
