#include "platform/system/CodePage.h"

#include <gtest/gtest.h>

using namespace qz::sys;

TEST(CodePage, EveryByteSurvivesARoundTripThroughUtf8AndUtf16) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
    EXPECT_EQ(utf16ToCp1252(cp1252ToUtf16(all)), all);
    EXPECT_TRUE(fitsCp1252(cp1252ToUtf8(all)));
}

TEST(CodePage, HighRangeMapsToTheWindowsCharacters) {
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(cp1252ToUtf8("\x93x\x94"), "\u201Cx\u201D");
    EXPECT_EQ(cp1252ToUtf8("\xE9"), "\u00E9");
    EXPECT_EQ(unicodeToCp1252(U'\u0178'), 0x9F);
    EXPECT_EQ(unicodeToCp1252(U'\u0100'), -1);
}

TEST(CodePage, CharactersOutsideTheCodePageAreReplaced) {
    EXPECT_EQ(utf8ToCp1252("a\u6F22b\U0001F600c"), "a?b?c");
    EXPECT_EQ(utf8ToCp1252("\u6F22", '_'), "_");
    EXPECT_FALSE(fitsCp1252("caf\u00E9 \u6F22"));
    EXPECT_TRUE(fitsCp1252("caf\u00E9 \u20AC"));
}

TEST(CodePage, IllFormedInputNeverCrashesAndIsReplaced) {
    // truncated sequence, overlong "/", encoded surrogate, stray continuation
    EXPECT_EQ(utf8ToCp1252("a\xE2\x82"), "a??");
    EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\uFFFDx");
}

TEST(CodePage, Utf8AndUtf16ConvertBothWaysIncludingSurrogatePairs) {
    std::string text = "A\u00E9\u20AC\u6F22\U0001F600";
    std::u16string wide = utf8ToUtf16(text);
    EXPECT_EQ(wide.size(), 6u);  // the emoji takes a pair
    EXPECT_EQ(utf16ToUtf8(wide), text);
}
