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
    };
    for (const auto& s : samples) {
        EXPECT_EQ(Cp932::fromUtf8(s.utf8), s.cp932) << s.utf8;
        EXPECT_EQ(Cp932::toUtf8(s.cp932), s.utf8) << s.utf8;
    }
}

TEST(Cp932, ByteWidths) {
    const std::pair<const char*, std::size_t> widths[] = {
        {"ｺｰﾄﾞ", 4}, {"商品コード", 10}, {"A表ｱ", 4}, {"😀", 1},  // no CP932 form: "?"
    };
    for (const auto& [text, width] : widths)
        EXPECT_EQ(Cp932::byteWidth(text), width) << text;
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

TEST(Cp932, SafeCutNeverSplitsADoubleByteCharacter) {
    // "ア" is 83 41: the trail byte is ASCII "A"; "ソ" is 83 5C.
    const std::string bytes = Cp932::fromUtf8("aアソb");
    const std::pair<std::size_t, std::size_t> cuts[] = {
        {0, 0}, {2, 1}, {4, 3}, {5, 5}, {99, 6},
    };
    for (const auto& [max, expected] : cuts)
        EXPECT_EQ(Cp932::safeCut(bytes, max), expected) << max;
}

TEST(Cp932, SafeCutTracksCharacterStartsNotByteValues) {
    // 0x95 0x5C 0x96: the trail byte 0x5C is followed by a lead byte, and a
    // backward scan would misread the pair boundaries.
    const std::string bytes = "\x83\x83\x83\x83";  // "ャャ"
    EXPECT_EQ(Cp932::safeCut(bytes, 3), 2u);
    EXPECT_EQ(Cp932::safeCut(bytes, 1), 0u);
}

TEST(Cp932, LongTextConvertsWhole) {
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "漢ｶa";
    const std::string bytes = Cp932::fromUtf8(text);
    EXPECT_EQ(bytes.size(), 20000u * 4);
    EXPECT_EQ(Cp932::toUtf8(bytes), text);
}

}  // namespace
}  // namespace malvorn::encoding
