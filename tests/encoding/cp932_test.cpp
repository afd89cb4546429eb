#include "encoding/cp932.h"

#include <gtest/gtest.h>

namespace malvorn::encoding {
namespace {

struct Sample {
    const char* utf8;
    const char* cp932;
};

// Characters Japanese users type every day, with their CP932 bytes. The
// vendor rows (～ ∥ ① 髙) are where plain Shift-JIS converters fail.
TEST(Cp932, ConvertsBothWays) {
    const Sample samples[] = {
        {"表名", "\x95\x5C\x96\xBC"},
        {"ｼｮｳﾋﾝ", "\xBC\xAE\xB3\xCB\xDD"},
        {"　", "\x81\x40"},
        {"～", "\x81\x60"},
        {"∥", "\x81\x61"},
        {"①", "\x87\x40"},
        {"髙", "\xFB\xFC"},
        {"ソ", "\x83\x5C"},
        {"\\", "\\"},
        {"ＣＯＤＥ１", "\x82\x62\x82\x6E\x82\x63\x82\x64\x82\x50"},
        // Each byte three in UTF-8: more than the first guess of the output's size.
        {"ｶｶｶｶｶｶｶｶｶｶｶｶｶｶｶｶｶｶｶｶ",
         "\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6\xB6"},
    };
    for (const auto& s : samples) {
        EXPECT_EQ(Cp932::fromUtf8(s.utf8), s.cp932) << s.utf8;
        EXPECT_EQ(Cp932::toUtf8(s.cp932), s.utf8) << s.utf8;
    }
}

TEST(Cp932, ByteWidths) {
    struct Case {
        const char* text;
        std::size_t width;
    };
    const Case cases[] = {
        {"ｺｰﾄﾞ", 4}, {"商品コード", 10}, {"A表ｱ", 4}, {"😀", 1},  // no CP932 form: "?"
    };
    for (const Case& c : cases)
        EXPECT_EQ(Cp932::byteWidth(c.text), c.width) << c.text;
}

TEST(Cp932, UnmappableCharactersBecomeOneQuestionMark) {
    EXPECT_EQ(Cp932::fromUtf8("a😀b"), "a?b");
    EXPECT_EQ(Cp932::fromUtf8("한글"), "??");
    EXPECT_EQ(Cp932::fromUtf8("表\xFF名"), "\x95\x5C?\x96\xBC");  // malformed UTF-8
    EXPECT_EQ(Cp932::fromUtf8("表\xE8\xA1"), "\x95\x5C?");        // truncated at the end
}

TEST(Cp932, InvalidBytesDecodeToReplacementCharacters) {
    EXPECT_EQ(Cp932::toUtf8("a\x81"), "a\xEF\xBF\xBD");  // dangling lead byte
    EXPECT_EQ(Cp932::toUtf8("\xA0z"), "\xEF\xBF\xBDz");
}

// Characters are found walking from the start: a trail byte can have the
// value of ASCII ("ア" is 83 41, "ソ" 83 5C) or of a lead byte ("ャ" is 83 83).
TEST(Cp932, SafeCutNeverSplitsADoubleByteCharacter) {
    struct Case {
        std::string text;
        std::size_t max;
        std::size_t cut;
    };
    const Case cases[] = {
        {"aアソb", 0, 0},  {"aアソb", 2, 1}, {"aアソb", 4, 3}, {"aアソb", 5, 5},
        {"aアソb", 99, 6}, {"ャャ", 3, 2},   {"ャャ", 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Cp932::safeCut(Cp932::fromUtf8(c.text), c.max), c.cut) << c.text << " " << c.max;
}

}  // namespace
}  // namespace malvorn::encoding
