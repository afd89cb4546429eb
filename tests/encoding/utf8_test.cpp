#include "encoding/utf8.h"
#include "encoding/display_width.h"

#include <gtest/gtest.h>

namespace malvorn::encoding {
namespace {

TEST(Utf8, RoundTripsEveryWidth) {
    const std::u32string text = U"a\u00E9\u8868\U0001F600";
    EXPECT_EQ(decodeUtf8(encodeUtf8(text)), text);
    EXPECT_EQ(encodeUtf8(text).size(), 1u + 2 + 3 + 4);
    EXPECT_EQ(utf8Length(encodeUtf8(text)), 4u);
}

TEST(Utf8, MalformedInputDecodesToOneReplacementPerBadByte) {
    struct Case {
        std::string bytes;
        std::u32string decoded;
    };
    const Case cases[] = {
        {"\xFF", U"\uFFFD"},
        {"a\xE8\xA1", U"a\uFFFD\uFFFD"},          // truncated
        {"\xC0\xAF", U"\uFFFD\uFFFD"},            // overlong "/"
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},  // surrogate
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeUtf8(c.bytes), c.decoded) << ::testing::PrintToString(c.bytes);
}

// Japanese data mixes full-width and half-width forms of the same letters,
// so the edges of the wide ranges are where a rough rule goes wrong.
TEST(DisplayWidth, WideAndFullwidthTakeTwoEverythingElseOne) {
    struct Case {
        char32_t c;
        int width;
        const char* what;
    };
    const Case cases[] = {
        {U'A', 1, "ASCII"},
        {U'\u00E9', 1, "Latin-1"},
        {U'\u2014', 1, "em dash (ambiguous)"},
        {U'\u2460', 1, "circled digit (ambiguous)"},
        {U'\u3000', 2, "ideographic space"},
        {U'\u303F', 1, "half fill space, the gap in the CJK symbols"},
        {U'\u30A2', 2, "katakana"},
        {U'\u8868', 2, "kanji"},
        {U'\uFF21', 2, "full-width A"},
        {U'\uFF71', 1, "half-width katakana"},
        {U'\uFFE5', 2, "full-width yen sign"},
        {U'\uAC00', 2, "Hangul syllable"},
        {U'\U0001F600', 2, "emoji"},
        {U'\U00020B9F', 2, "kanji of plane 2"},
    };
    for (const Case& k : cases)
        EXPECT_EQ(displayWidth(k.c), k.width) << k.what;
}

}  // namespace
}  // namespace malvorn::encoding
