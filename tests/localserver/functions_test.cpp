// Functions and conversions of the subset as Oracle 19c documents them.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

using FunctionsTest = ScottTest;

// A number turned into text has no zero before the point (TO_CHAR (number):
// "TO_CHAR(0.5)" is ".5"; SQL Language Reference, TO_CHAR (number)).
TEST_F(FunctionsTest, NumbersBelowOneBecomeTextWithoutTheLeadingZero) {
    checkValues({
        {"0.5 || 'x'", ".5x"},
        {"TO_CHAR(-0.01)", "-.01"},
        {"TO_CHAR(10.25)", "10.25"},
        {"LENGTH(0.125)", "4"},
        {"CONCAT('v', -0.5)", "v-.5"},
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
    checkValues({
        {"CEIL(15.7)", "16"},
        {"CEIL(-1.5)", "-1"},
        {"CEIL(3)", "3"},
        {"FLOOR(15.7)", "15"},
        {"FLOOR(-1.5)", "-2"},
        {"FLOOR(NULL)", "<null>"},
        {"TRUNC(15.79, 1)", "15.7"},
        {"TRUNC(15.79, -1)", "10"},
        {"NVL2(NULL, 'a', 'b')", "b"},
        {"NVL2(0, 'a', 'b')", "a"},
        {"NVL2(1, 2)", "ORA-00909"},
        {"CONCAT('ab', 'cd')", "abcd"},
        {"CONCAT(NULL, NULL)", "<null>"},
        {"CONCAT('a')", "ORA-00909"},
    });
}

}  // namespace
}  // namespace malvorn::localserver
