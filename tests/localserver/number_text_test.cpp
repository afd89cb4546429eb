#include <gtest/gtest.h>

#include "localserver/number.h"

namespace malvorn::localserver {
namespace {

TEST(NumberParse, ReadsRunsOfDigitsAroundOnePoint) {
    struct Case {
        const char* text;
        const char* expected;  // text(), or "" when no number
    };
    const Case cases[] = {
        {"007", "7"},
        {"000.000", "0"},
        {"-0012.3400", "-12.34"},
        {"0.00012", "0.00012"},
        {"100.001", "100.001"},
        {"12.", "12"},
        {"+.5", "0.5"},
        {"-.05e2", "-5"},
        {"00e5", "0"},
        {"1200e-2", "12"},
        {"0000000000000000000000000000000000000000000000000001", "1"},
        {".", ""},
        {"-", ""},
        {"1.2.3", ""},
        {"1..2", ""},
        {"12a", ""},
        {"1e+", ""},
        {"e5", ""},
    };
    for (const Case& c : cases) {
        const auto number = Number::parse(c.text);
        EXPECT_EQ(number ? number->text() : std::string(), c.expected) << c.text;
    }
}

TEST(NumberKey, IntoAKeptTextIsTheKey) {
    // Longer keys before shorter ones: nothing of the one before may stay.
    const char* texts[] = {"-123456789.123456789", "12345678901234567890", "-1", "0", "5", "-0.5"};
    std::string kept;
    for (const char* text : texts) {
        const Number number = *Number::parse(text);
        number.keyInto(kept);
        EXPECT_EQ(kept, number.key()) << text;
        EXPECT_EQ(Number::fromKey(kept), number) << text;
    }
}

TEST(NumberRound, InPlaceAsRounded) {
    struct Case {
        const char* text;
        int places;
        const char* expected;
    };
    const Case cases[] = {
        {"12.25555", 4, "12.2556"},
        {"12.25", 4, "12.25"},
        {"-2.5", 0, "-3"},
        {"0.4", 0, "0"},
        {"999.995", 2, "1000"},
        {"1234", -2, "1200"},
        {"0", 3, "0"},
        {"0", -3, "0"},
        {"49", -2, "0"},
    };
    for (const Case& c : cases) {
        Number number = *Number::parse(c.text);
        const Number rounded = number.rounded(c.places);
        number.round(c.places);
        EXPECT_EQ(number.text(), c.expected) << c.text << " " << c.places;
        EXPECT_EQ(number, rounded) << c.text << " " << c.places;
    }
}

}  // namespace
}  // namespace malvorn::localserver
