#include "platform/cmdline.h"

#include <gtest/gtest.h>

namespace tessivor::platform {
namespace {

std::string textOf(std::vector<const char*> argv) {
    return argumentText(static_cast<int>(argv.size()), argv.data());
}

TEST(ArgumentText, ArgumentsAreJoinedBetweenDoubleQuotes) {
    EXPECT_EQ(textOf({"tessivor"}), "");
    EXPECT_EQ(textOf({"tessivor", "prog.tsp"}), "\"prog.tsp\"");
    EXPECT_EQ(textOf({"tessivor", "/home/me/my prog.tsp"}), "\"/home/me/my prog.tsp\"");
    EXPECT_EQ(textOf({"tessivor", "my", "prog.tsp"}), "\"my prog.tsp\"");
    EXPECT_EQ(textOf({"tessivor", ""}), "\"\"");
    EXPECT_EQ(argumentText(0, nullptr), "");
}

TEST(ArgumentText, RawCommandLineLosesOnlyTheProgramNameAndTheBlanksAfterIt) {
    EXPECT_EQ(argumentTextOfCommandLine("tessivor.exe \"C:\\p\\a b.tsp\""), "\"C:\\p\\a b.tsp\"");
    EXPECT_EQ(argumentTextOfCommandLine("\"C:\\Program Files\\t.exe\"   x.tsp "), "x.tsp ");
    EXPECT_EQ(argumentTextOfCommandLine("tessivor.exe"), "");
    EXPECT_EQ(argumentTextOfCommandLine("\"unclosed"), "");
    EXPECT_EQ(argumentTextOfCommandLine(""), "");
}

} // namespace
} // namespace tessivor::platform
