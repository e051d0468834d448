#include "platform/source_text.h"

#include <gtest/gtest.h>

namespace tessivor::platform {
namespace {

TEST(SourceText, LoadedBytesLoseOnlyTheLineEndThatSavingAppended) {
    EXPECT_EQ(sourceFromFile(""), "");
    EXPECT_EQ(sourceFromFile("\r\n"), "");
    EXPECT_EQ(sourceFromFile("dsp 01\r\nend\r\n"), "dsp 01\r\nend");
    EXPECT_EQ(sourceFromFile("end\r\n\r\n"), "end\r\n");
    EXPECT_EQ(sourceFromFile("end"), "end");
    EXPECT_EQ(sourceFromFile(std::string("a\0b\xff", 4)), std::string("a\0b\xff", 4));
}

TEST(SourceText, EveryLoneLineFeedAndCarriageReturnBecomesCrLf) {
    EXPECT_EQ(sourceFromFile("a\nb\n"), "a\r\nb\r\n"); // only a CR LF is the saved line end
    EXPECT_EQ(sourceFromFile("a\rb"), "a\r\nb");
    EXPECT_EQ(sourceFromFile("a\n\rb\r\r\n"), "a\r\n\r\nb\r\n");
}

} // namespace
} // namespace tessivor::platform
