#include "assembler/translate/source_roles.h"

#include "assembler/translate/compiletext.h"

#include <gtest/gtest.h>

#include <string>

namespace tessivor {
namespace {

/// The roles as one letter a byte: s kipped, m nemonic, o perand, t ext, c omment, ! open text.
std::string roles(std::string_view source) {
    std::string letters;
    for (const SourceRole role : sourceRoles(source))
        letters += "smotc!"[static_cast<int>(role)];
    return letters;
}

TEST(SourceRoles, OperandsStandAtTheirColumnsAndTheGapsBetweenAreSkipped) {
    EXPECT_EQ(roles("add 01, 02, 03\r\n"), "mmmsoossoossoos"
                                           "s");
    // Blanks too few: the operands are "01", "2 " and the line end, and the width of the
    // instruction swallows the "end" of the next line.
    EXPECT_EQ(roles("add 01 02 03\r\nend"), "mmmsoossoossoo"
                                            "sss");
    EXPECT_EQ(roles("x INC 05 y"), "ssmmmsooss");
    // The digits of a label are never read.
    EXPECT_EQ(roles("eif\r\nlbl 01"), "mmmssmmmsss");
}

TEST(SourceRoles, CommentsAndTheirPitfallsReadAsTheTranslationReadsThem) {
    EXPECT_EQ(roles("// the end // end"), std::string(13, 'c') + "smmm");
    // An unclosed "//" hides only itself: the "end" after it is an instruction.
    EXPECT_EQ(roles("// see the end"), "sssssssssss"
                                       "mmm");
    EXPECT_EQ(roles("///"), "ccc");
    // The character after the last operand belongs to the instruction, so no comment starts.
    EXPECT_EQ(roles("dsp 01// x"), "mmmsoos"
                                   "sss");
}

TEST(SourceRoles, SetTextsRunToTheirSemicolonOverLineEnds) {
    EXPECT_EQ(roles("set 05, a // b;end"), "mmmsooss"
                                           "ttttttt"
                                           "mmm");
    EXPECT_EQ(roles("set 05, a\r\nb;"), "mmmsoossttttt");
    // A text without its ";" is open to the end of its line; the next line reads as it will
    // once the ";" is there.
    EXPECT_EQ(roles("dsp 01\r\nset 02, oops\r\nend"), "mmmsooss"
                                                      "mmmsooss"
                                                      "!!!!!!"
                                                      "mmm");
    // Its line ends before its text would begin: it has no text, and what follows its line
    // reads on (this once wrote far past the end of the roles).
    EXPECT_EQ(roles("set 0\r\nend"), "mmmsoo"
                                     "s"
                                     "mmm");
}

TEST(SourceRoles, MnemonicsAreWhatTheTranslationTranslates) {
    // Mnemonics inside words count; those inside comments do not.
    const std::string source = "blend // addresses // inc 07 Clr 08";
    const std::string r = roles(source);
    EXPECT_EQ(r.substr(0, 5), "ssmmm");
    EXPECT_EQ(r.substr(22), "mmmsoos"
                            "mmmsoo");
    EXPECT_EQ(compiletext(source).code, "pa07qa08s");
}

} // namespace
} // namespace tessivor
