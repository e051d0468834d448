#include "platform/qt_text.h"

#include <gtest/gtest.h>

namespace tessivor::platform {
namespace {

TEST(QtText, EveryByteIsOneCharacterAndComesBack) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const QString text = toQString(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text[0xE9], QChar(0xE9));
    EXPECT_EQ(text[0], QChar(0));
    EXPECT_EQ(fromQString(text), all);
}

TEST(QtText, CharactersWithoutALatin1ByteBecomeOneQuestionMarkEach) {
    EXPECT_EQ(fromQString(QString::fromUtf8("Gr\u00fc\u00dfe \u20ac!")), "Gr\xfc\xdf"
                                                                         "e ?!");
    // U+1F600 is two UTF-16 units but one character.
    EXPECT_EQ(fromQString(QString::fromUtf8("a\U0001F600b")), "a?b");
    // A lone surrogate is a character of its own.
    EXPECT_EQ(fromQString(QString(QChar(0xD800)) + QChar('x')), "?x");
    EXPECT_EQ(fromQString(QString()), "");
}

} // namespace
} // namespace tessivor::platform
