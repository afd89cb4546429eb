#include "convert/script_text.h"

#include <gtest/gtest.h>

#include "encoding/cp932.h"

namespace malvorn::convert {
namespace {

using encoding::Cp932;

TEST(PadBytes, PadsOrCutsToExactByteWidth) {
    const std::tuple<const char*, std::size_t, std::string> cases[] = {
        {"表名", 31, "表名" + std::string(27, ' ')},
        {"ABC", 2, "AB"},
        {"", 3, "   "},
        {"ｺｰﾄﾞ", 6, "ｺｰﾄﾞ  "},
        {"ABC", 0, ""},
        // the cut falls inside 品: its lead byte is replaced by a space
        {"商品", 3, "商 "},
        {"A商品", 2, "A "},
        // no CP932 form: shown and counted as "?"
        {"a😀b", 5, "a?b  "},
    };
    for (const auto& [text, width, expected] : cases) {
        const std::string padded = PadBytes(text, width);
        EXPECT_EQ(padded, expected) << text << " / " << width;
        EXPECT_EQ(Cp932::byteWidth(padded), width) << text;
    }
}

TEST(NarrowName, OnlyFullWidthLatinDigitsAndLowLineNarrow) {
    const std::pair<const char*, const char*> cases[] = {
        {"ＣＯＤＥ１", "CODE1"},
        {"ａｚＡＺ０９＿", "azAZ09_"},
        {"商品コード", "商品コード"},
        {"ｺｰﾄﾞ", "ｺｰﾄﾞ"},
        {"Ａ－Ｂ　Ｃ", "A－B　C"},  // full-width hyphen and ideographic
                                    // space stay
        {"＠［｀｛", "＠［｀｛"},   // the neighbours of the ranges stay
    };
    for (const auto& [name, narrow] : cases)
        EXPECT_EQ(fNarrowName(name), narrow) << name;
}

TEST(ScriptText, DateAndGrouping) {
    EXPECT_EQ(formatScriptDate({2001, 2, 3}), "2001/02/03");
    const std::pair<std::int64_t, const char*> groups[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {33024, "33,024"}, {1234567, "1,234,567"},
    };
    for (const auto& [value, text] : groups)
        EXPECT_EQ(formatGrouped(value), text);
}

TEST(ScriptText, FileBytesAreCp932WithCrLf) {
    EXPECT_EQ(toScriptFileBytes({"表", "", "a"}), "\x95\x5C\r\n\r\na\r\n");
    EXPECT_EQ(trimSpaces("  a b  "), "a b");
    EXPECT_EQ(trimSpaces("　a　"), "　a　");  // the ideographic space is not a space here
}

}  // namespace
}  // namespace malvorn::convert
