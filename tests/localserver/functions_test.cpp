// Functions and conversions of the subset as Oracle 19c documents them.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

struct ValueCase {
    const char* expression;  // selected FROM DUAL
    const char* expected;    // the value's text, "<null>", or the error's code
};

class FunctionsTest : public ScottTest {
  protected:
    std::string value(const std::string& expression) {
        try {
            const auto v = s().queryValue("SELECT " + expression + " FROM DUAL");
            return v ? *v : "<null>";
        } catch (const oracle::OracleError& e) {
            return e.description().substr(0, 9);
        }
    }
    void check(const std::vector<ValueCase>& cases) {
        for (const auto& c : cases)
            EXPECT_EQ(value(c.expression), c.expected) << c.expression;
    }
};

// A number turned into text has no zero before the point (TO_CHAR (number):
// "TO_CHAR(0.5)" is ".5"; SQL Language Reference, TO_CHAR (number)).
TEST_F(FunctionsTest, NumbersBelowOneBecomeTextWithoutTheLeadingZero) {
    check({
        {.expression = "0.5 || 'x'", .expected = ".5x"},
        {.expression = "TO_CHAR(-0.01)", .expected = "-.01"},
        {.expression = "TO_CHAR(10.25)", .expected = "10.25"},
        {.expression = "LENGTH(0.125)", .expected = "4"},
        {.expression = "CONCAT('v', -0.5)", .expected = "v-.5"},
    });
    s().execute("CREATE TABLE T (V VARCHAR2(10))");
    s().execute("INSERT INTO T VALUES (0.75)");
    EXPECT_EQ(s().queryValue("SELECT V FROM T"), ".75");
}

// CEIL, FLOOR, TRUNC(n, d), NVL2 and CONCAT (SQL Language Reference: "CEIL
// returns the smallest integer that is greater than or equal to n", "FLOOR
// returns the largest integer equal to or less than n", TRUNC (number):
// TRUNC(15.79,-1) is 10; "If expr1 is not null, then NVL2 returns expr2").
TEST_F(FunctionsTest, NumberAndNullFunctions) {
    check({
        {.expression = "CEIL(15.7)", .expected = "16"},
        {.expression = "CEIL(-1.5)", .expected = "-1"},
        {.expression = "CEIL(3)", .expected = "3"},
        {.expression = "FLOOR(15.7)", .expected = "15"},
        {.expression = "FLOOR(-1.5)", .expected = "-2"},
        {.expression = "FLOOR(NULL)", .expected = "<null>"},
        {.expression = "TRUNC(15.79, 1)", .expected = "15.7"},
        {.expression = "TRUNC(15.79, -1)", .expected = "10"},
        {.expression = "NVL2(NULL, 'a', 'b')", .expected = "b"},
        {.expression = "NVL2(0, 'a', 'b')", .expected = "a"},
        {.expression = "NVL2(1, 2)", .expected = "ORA-00909"},
        {.expression = "CONCAT('ab', 'cd')", .expected = "abcd"},
        {.expression = "CONCAT(NULL, NULL)", .expected = "<null>"},
        {.expression = "CONCAT('a')", .expected = "ORA-00909"},
    });
}

}  // namespace
}  // namespace malvorn::localserver
