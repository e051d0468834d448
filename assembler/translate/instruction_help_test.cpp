#include "assembler/translate/instruction_help.h"

#include "assembler/translate/source_map.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace tessivor {
namespace {

/// The written form with its letters made cells: "add 01, 02, 03", "set 01, text;".
std::string example(const InstructionHelp& h) {
    std::string line = h.written;
    for (const auto& [letter, cell] : {std::pair{"A", "01"}, {"B", "02"}, {"C", "03"}}) {
        const std::size_t at = line.find(std::string(" ") + letter);
        if (at != std::string::npos) line.replace(at + 1, 1, cell);
    }
    return line;
}

TEST(InstructionHelp, EveryWrittenFormTranslatesToItsOwnInstructionAndFillsItsLine) {
    ASSERT_EQ(instructionHelp().size(), 25u);
    for (const InstructionHelp& h : instructionHelp()) {
        const std::string line = example(h);
        // The next line's "end" is found whole only when the form fills its own line.
        const MappedTranslation t = compileWithMap(line + "\nend\n");
        ASSERT_EQ(t.instructions.size(), 2u) << line;
        EXPECT_EQ(t.instructions[0].name, h.mnemonic) << line;
        EXPECT_EQ(t.instructions[1].name, "end") << line << " swallows the next line";
        for (const std::size_t column : h.operandColumns) {
            ASSERT_LT(column + 1, line.size()) << line;
            EXPECT_EQ(line.substr(column, 1), "0") << line << " at column " << column;
        }
        if (h.mnemonic == "set") {
            EXPECT_EQ(line.substr(h.textColumn), "text;");
        } else {
            EXPECT_EQ(h.textColumn, 0u);
            // The translation passes over the line and its line end, no further.
            EXPECT_EQ(h.width, line.size() + 1) << line;
        }
    }
}

TEST(InstructionHelp, EachEffectNamesExactlyTheCellsItsFormHas) {
    const std::regex letter[3] = {std::regex("\\bA\\b"), std::regex("\\bB\\b"),
                                  std::regex("\\bC\\b")};
    for (const InstructionHelp& h : instructionHelp()) {
        const std::string effect(h.effect);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(std::regex_search(effect, letter[i]), i < h.operandColumns.size())
                << h.mnemonic << ": " << effect;
        }
    }
}

TEST(InstructionHelp, TheManualsTableWritesEveryMnemonicTheSameWay) {
    std::ifstream in(TESSIVOR_LANGUAGE_MANUAL);
    ASSERT_TRUE(in) << TESSIVOR_LANGUAGE_MANUAL;
    std::stringstream text;
    text << in.rdbuf();
    const std::string manual = text.str();
    for (const InstructionHelp& h : instructionHelp()) {
        const std::string row = "| `" + std::string(h.mnemonic) + "` | `" + h.written + "` |";
        EXPECT_NE(manual.find(row), std::string::npos) << row;
    }
}

TEST(InstructionHelp, LooksUpAnyLetterCaseAndOnlyMnemonics) {
    ASSERT_NE(findInstructionHelp("ADD"), nullptr);
    EXPECT_EQ(findInstructionHelp("ADD")->written, "add A, B, C");
    EXPECT_EQ(findInstructionHelp("Lbl")->written, "lbl 01");
    EXPECT_EQ(findInstructionHelp("set")->written, "set A, text;");
    EXPECT_EQ(findInstructionHelp("eif")->operandColumns.size(), 0u);
    EXPECT_EQ(findInstructionHelp("abc"), nullptr);
    EXPECT_EQ(findInstructionHelp("ad"), nullptr);
    EXPECT_EQ(findInstructionHelp("addd"), nullptr);
}

TEST(InstructionHelp, TheFourRegisters) {
    std::vector<std::string_view> names;
    for (const RegisterHelp& r : registerHelp()) {
        names.push_back(r.name);
        EXPECT_FALSE(r.meaning.empty());
    }
    EXPECT_EQ(names, (std::vector<std::string_view>{"pc", "cur", "opb", "opc"}));
}

} // namespace
} // namespace tessivor
