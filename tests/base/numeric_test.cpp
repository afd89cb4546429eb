#include "base/numeric.h"
#include "base/calendar.h"

#include <gtest/gtest.h>

namespace malvorn::base {
namespace {

TEST(NumericText, WhatReadsAsANumber) {
    const std::pair<const char*, bool> cases[] = {
        {"0", true},     {"-1", true},   {"2.5", true},     {"+3", true},     {".5", true},
        {"5.", true},    {" 7 ", true},  {"1E3", true},     {"2.5e-2", true}, {"", false},
        {" ", false},    {"=0", false},  {"Date()", false}, {"1,000", false}, {"¥100", false},
        {"&H10", false}, {"1e", false},  {"-", false},      {".", false},     {"1.2.3", false},
        {"0x1F", false}, {"'0'", false}, {"1 2", false},
    };
    for (const auto& [text, numeric] : cases)
        EXPECT_EQ(gfIsNumericText(text), numeric) << text;
}

TEST(NullToValue, NullAndNonNumbersBecomeZero) {
    EXPECT_EQ(gfNullToValue(std::nullopt), "0");
    EXPECT_EQ(gfNullToValue(std::string("abc")), "0");
    EXPECT_EQ(gfNullToValue(std::string("1.5")), "1.5");
    EXPECT_EQ(gfNullToValue(std::string("-12")), "-12");
}

TEST(Calendar, DaysAndDatesConvertBothWays) {
    const std::tuple<CivilDate, std::int64_t> cases[] = {
        {{1, 1, 1}, -719162},      {{100, 2, 28}, -682945},   // 100 is no leap year
        {{100, 3, 1}, -682944},    {{1600, 2, 29}, -135081},  // 1600 is one
        {{1899, 12, 30}, -25569},  {{1900, 3, 1}, -25508},   {{1969, 12, 31}, -1},
        {{1970, 1, 1}, 0},         {{2000, 2, 29}, 11016},   {{2001, 3, 1}, 11382},
        {{9999, 12, 31}, 2932896},
    };
    for (const auto& [date, days] : cases) {
        EXPECT_EQ(daysFromCivil(date), days) << date.year << "-" << date.month;
        const CivilDate back = civilFromDays(days);
        EXPECT_EQ(back.year, date.year) << days;
        EXPECT_EQ(back.month, date.month) << days;
        EXPECT_EQ(back.day, date.day) << days;
    }
}

TEST(Calendar, FebruaryHasItsLeapDayByTheGregorianRule) {
    const std::pair<std::int64_t, int> cases[] = {
        {100, 28}, {400, 29}, {1900, 28}, {2000, 29}, {2001, 28}, {2004, 29}, {9996, 29},
    };
    for (const auto& [year, days] : cases)
        EXPECT_EQ(daysInMonth(year, 2), days) << year;
    EXPECT_EQ(daysInMonth(2001, 4), 30);
    EXPECT_EQ(daysInMonth(2001, 12), 31);
}

}  // namespace
}  // namespace malvorn::base
