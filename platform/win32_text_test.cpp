// Texts between the ANSI code page and the UTF-16 of windows, and filters for file dialogs.

#include "platform/win32_text.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace tessivor::platform {
namespace {

using namespace std::string_literals;

TEST(Win32Text, FiltersBecomeTheDialogsListOfDescriptionsAndPatterns) {
    EXPECT_EQ(dialogFilter("Tessivor Program (*.tsp) | *.tsp"),
              L"Tessivor Program (*.tsp)\0*.tsp\0\0"s);
    EXPECT_EQ(dialogFilter("Tessivor ASM File (*.tsasm) | *.tsasm"),
              L"Tessivor ASM File (*.tsasm)\0*.tsasm\0\0"s);
    EXPECT_EQ(dialogFilter("Both | *.tsp; *.tsasm |All|*.*"),
              L"Both\0*.tsp;*.tsasm\0All\0*.*\0\0"s);
    EXPECT_EQ(dialogFilter("Anything"), L"Anything\0*.*\0\0"s);
    EXPECT_EQ(dialogFilter(" "), L"");
}

TEST(Win32Text, EveryByteOfTheCodePageComesBackAsItWent) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    const std::wstring wide = wideFromAnsi(bytes);
    EXPECT_EQ(wide.size(), 256u); // the NUL included: texts are counted, not ended
    EXPECT_EQ(wide[0x80], L'\u20ac');
    EXPECT_EQ(ansiFromWide(wide), bytes);
}

TEST(Win32Text, ACharacterTheCodePageLacksBecomesAQuestionMarkNotALookAlike) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    // Infinity would "best fit" as 8, the a with macron as a.
    EXPECT_EQ(ansiFromWide(L"x\u221e\u0101\u20ac"), "x??\x80");
    EXPECT_EQ(utf8FromWide(L"\u221e"), "\xe2\x88\x9e");
    EXPECT_EQ(wideFromUtf8("\xe2\x88\x9e"), L"\u221e");
}

TEST(Win32Text, CaretOffsetsCountALineEndAsTwoBytesAndMoveOffItsMiddle) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    // The emoji is two units in the edit box and one '?' or two in the source, as the system
    // converts it: an offset into it puts the caret after it.
    const std::wstring text = L"ab\r\ncd\r\n\U0001F600f";
    const std::pair<std::size_t, std::size_t> cases[] = {{0, 0}, {2, 2}, {3, 4},  {4, 4},  {6, 6},
                                                         {7, 8}, {8, 8}, {9, 10}, {99, 11}};
    for (const auto& [offset, position] : cases) {
        EXPECT_EQ(editPosition(text, offset), position) << "offset " << offset;
    }
}

} // namespace
} // namespace tessivor::platform
