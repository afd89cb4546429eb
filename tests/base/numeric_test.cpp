#include "base/numeric.h"

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

}  // namespace
}  // namespace malvorn::base
