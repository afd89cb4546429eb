// Numbers made from whole units and a scale: the same number as their text
// reads, at the ends of the integers and of the server's range.
#include <gtest/gtest.h>

#include <climits>

#include "localserver/number.h"
#include "oracle/session.h"

namespace malvorn::localserver {
namespace {

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
