// LPAD and RPAD count display width: "The argument n is the total length of
// the return value as it is displayed on your terminal screen. In most
// character sets, this is also the number of characters in the return
// value. However, in some multibyte character sets, the display length of a
// character string can differ from the number of characters in the string."
// (SQL Language Reference, LPAD: https://docs.oracle.com/database/122/SQLRF/LPAD.htm)
// A character of East Asian Width W or F takes two columns, every other one
// (half-width katakana among them) one; where a wide character would overrun
// the last column, a single blank fills it.
#include "steps.h"

namespace malvorn::localserver {
namespace {

using PadWidthTest = StepTest;

struct PadCase {
    const char* call;
    const char* result;
    const char* why;
};

TEST_F(PadWidthTest, LengthIsDisplayWidth) {
    const PadCase cases[] = {
        {.call = "RPAD('日本', 6, '*')", .result = "日本**", .why = "two wide characters are four"},
        {.call = "LPAD('日本', 5)", .result = " 日本", .why = "one blank makes five"},
        {.call = "RPAD('ab', 6, '語')", .result = "ab語語", .why = "a wide pad fills two a time"},
        {.call = "RPAD('ab', 5, '語')",
         .result = "ab語 ",
         .why = "a wide pad that would split the last column leaves a blank"},
        {.call = "LPAD('x', 4, 'あa')", .result = "あax", .why = "a mixed pad counts each"},
        {.call = "RPAD('日本語', 4)", .result = "日本", .why = "a longer text is cut by width"},
        {.call = "RPAD('日本語', 5, '*')",
         .result = "日本 ",
         .why = "a cut through a wide character leaves a blank"},
        {.call = "LPAD('ｱｲｳ', 5, '*')", .result = "**ｱｲｳ", .why = "half-width katakana are narrow"},
        {.call = "RPAD('Ａ', 3, '-')", .result = "Ａ-", .why = "full-width Latin is wide"},
        {.call = "LPAD('é', 3, '.')", .result = "..é", .why = "accented Latin is narrow"},
        {.call = "RPAD('한', 3, '.')", .result = "한.", .why = "Hangul syllables are wide"},
        {.call = "LPAD('日', 1, '*')", .result = " ", .why = "a wide character wider than n"},
        {.call = "LENGTH(RPAD('商品', 10, '*'))", .result = "8", .why = "eight characters"},
    };
    for (const PadCase& c : cases) {
        const auto got = s().queryValue("SELECT " + std::string(c.call) + " FROM DUAL");
        EXPECT_EQ(got, c.result) << c.call << ": " << c.why;
    }
}

}  // namespace
}  // namespace malvorn::localserver
