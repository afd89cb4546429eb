#include <gtest/gtest.h>

#include <climits>

#include "localserver/number.h"
#include "oracle/session.h"

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

// Numbers made from whole units and a scale: the number their text reads,
// at the ends of the integers and of the server's range.
TEST(ScaledNumber, IsTheNumberItsTextReads) {
    const struct {
        std::int64_t units;
        int scale;
        const char* text;   // the same value written out
        const char* shown;  // Number::text
    } cases[] = {
        {0, 0, "0", "0"},
        {0, 4, "-0.0000", "0"},
        {1000, 3, "1", "1"},
        {-1, 4, "-0.0001", "-0.0001"},
        {INT64_MAX, 0, "9223372036854775807", "9223372036854775807"},
        {INT64_MIN, 0, "-9223372036854775808", "-9223372036854775808"},
        {INT64_MIN, 4, "-922337203685477.5808", "-922337203685477.5808"},
        {120, -2, "12000", "12000"},
        {5, -125, "5E125", "5E+125"},
        {1, 130, "1E-130", "1E-130"},
        {1, 131, "1E-131", "0"},  // below the smallest: zero, as the text reads
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Number scaled = Number::fromScaled(c.units, c.scale);
        EXPECT_EQ(scaled, Number::parse(c.text));
        EXPECT_EQ(scaled.text(), c.shown);
    }
}

TEST(ScaledNumber, PastTheRangeIsAnOverflowAsItsText) {
    const struct {
        std::int64_t units;
        int scale;
        const char* text;
    } cases[] = {{1, -126, "1E126"}, {INT64_MAX, -110, "9.2E128"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_THROW(Number::parse(c.text), oracle::OracleError);
        try {
            Number::fromScaled(c.units, c.scale);
            ADD_FAILURE() << "no overflow";
        } catch (const oracle::OracleError& e) {
            EXPECT_NE(std::string(e.what()).find("ORA-01426"), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace malvorn::localserver
