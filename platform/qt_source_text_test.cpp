#include "platform/qt_source_text.h"

#include <gtest/gtest.h>

namespace tessivor::platform {
namespace {

TEST(EditorText, LoadedBytesLoseOnlyTheLineEndThatSavingAppended) {
    EXPECT_EQ(editorTextFromFile(""), "");
    EXPECT_EQ(editorTextFromFile("\r\n"), "");
    EXPECT_EQ(editorTextFromFile("dsp 01\r\nend\r\n"), "dsp 01\nend");
    EXPECT_EQ(editorTextFromFile("end\r\n\r\n"), "end\n");
    EXPECT_EQ(editorTextFromFile("end"), "end");
    EXPECT_EQ(editorTextFromFile("a\nb\n"), "a\nb\n"); // only a CR LF is the saved line end
    EXPECT_EQ(editorTextFromFile("a\rb"), "a\nb");
    EXPECT_EQ(editorTextFromFile("caf\xe9\xa0"), QString::fromUtf8("caf\u00e9\u00a0"));
}

TEST(EditorText, EveryKindOfLineBreakIsWrittenAsCrLf) {
    const QString text = QString::fromUtf8("a\u2029b\u2028c\nd");
    EXPECT_EQ(sourceFromEditor(text), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(sourceFromEditor(QString::fromUtf8("\u00e9\u00a0\u20ac")), "\xe9\xa0?");
}

TEST(EditorText, CaretOffsetsSkipTheLineFeedOfEachLineEnd) {
    // "ab\r\ncd\r\n\r\n?f" in the source; the emoji is two units in the editor, one byte there.
    const QString text = QString::fromUtf8("ab\ncd\u2029\u2028\U0001F600f");
    const std::pair<std::size_t, int> cases[] = {{0, 0},  {2, 2},  {3, 3},   {4, 3},
                                                 {6, 5},  {7, 6},  {8, 6},   {9, 7},
                                                 {10, 7}, {11, 9}, {12, 10}, {99, 10}};
    for (const auto& [offset, position] : cases) {
        EXPECT_EQ(editorPosition(text, offset), position) << "offset " << offset;
    }
}

} // namespace
} // namespace tessivor::platform
