#include "encoding/utf8.h"

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

}  // namespace
}  // namespace malvorn::encoding
