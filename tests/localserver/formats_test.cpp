// TO_CHAR number format models, and the comparison rules of the values:
// Oracle 19c SQL Language Reference, "Format Models" (its table "Results of
// Number Conversions", also in the 10g reference at
// https://docs.oracle.com/cd/B19306_01/server.102/b14200/sql_elements004.htm),
// "Data Type Comparison Rules" and DECODE.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

struct FormatCase {
    const char* number;
    const char* format;
    const char* expected;  // the text, or the error's code
};

using FormatsTest = ScottTest;

TEST_F(FormatsTest, NumberFormatModels) {
    const FormatCase cases[] = {
        // The sign takes a position of its own; '9' shows blanks before the
        // first digit, '0' zeros from where it stands.
        {.number = "-1234567890", .format = "9999999999S", .expected = "1234567890-"},
        {.number = "1234567890", .format = "9999999999S", .expected = "1234567890+"},
        {.number = "0", .format = "99.99", .expected = "   .00"},
        {.number = "0.1", .format = "99.99", .expected = "   .10"},
        {.number = "-0.2", .format = "99.99", .expected = "  -.20"},
        {.number = "0", .format = "90.99", .expected = "  0.00"},
        {.number = "-0.2", .format = "90.99", .expected = " -0.20"},
        {.number = "0", .format = "9999", .expected = "    0"},
        {.number = "123.456", .format = "999.999", .expected = " 123.456"},
        {.number = "-123.456", .format = "999.999", .expected = "-123.456"},
        // FM drops the padding and the zeros the fraction's 9s would show.
        {.number = "123.456", .format = "FM999.009", .expected = "123.456"},
        {.number = "123.45", .format = "FM999.009", .expected = "123.45"},
        {.number = "123", .format = "FM999.009", .expected = "123.00"},
        {.number = "1234567.891", .format = "FM999,999,990.00", .expected = "1,234,567.89"},
        {.number = "0.5", .format = "FM999,999,990.00", .expected = "0.50"},
        {.number = "-5", .format = "FM999,999,990.00", .expected = "-5.00"},
        {.number = "1.5", .format = "FM999.99", .expected = "1.5"},
        {.number = "0.5", .format = "0.00", .expected = " 0.50"},
        {.number = "9", .format = "0000009", .expected = " 0000009"},
        {.number = "1234", .format = "9G999D99", .expected = " 1,234.00"},
        {.number = "12", .format = "S999", .expected = " +12"},
        {.number = "-12", .format = "999MI", .expected = " 12-"},
        {.number = "12", .format = "FM999MI", .expected = "12"},
        {.number = "-98", .format = "999PR", .expected = " <98>"},
        {.number = "9", .format = "$099", .expected = " $009"},
        {.number = "999.996", .format = "999.99", .expected = "#######"},
        {.number = "12345", .format = "FM999", .expected = "####"},
        {.number = "5", .format = "9X9", .expected = "ORA-01481"},
        {.number = "'x'", .format = "999", .expected = "ORA-01722"},
    };
    for (const auto& c : cases) {
        const std::string call =
            std::string("TO_CHAR(") + c.number + ", '" + c.format + "') || '|'";
        const std::string got = valueOf(call);
        const std::string expected = c.expected;
        EXPECT_EQ(got, expected.rfind("ORA-", 0) == 0 ? expected : expected + "|") << call;
    }
    EXPECT_EQ(valueOf("TO_CHAR(NULL, '999')"), "<null>");
    EXPECT_EQ(valueOf("TO_CHAR(DATE '2001-02-03', 'YYYY/MM/DD')"), "2001/02/03");
}

struct CompareCase {
    const char* condition;  // in SELECT COUNT(*) FROM C WHERE ...
    const char* expected;   // the count, or the error's code
};

// Two text literals compare blank-padded ("'a ' = 'a'" is true); a VARCHAR2
// column against a literal does not. DECODE compares as its first search's
// type: "DECODE('01', 1, ...)" converts '01' to a number. A CLOB cannot be
// compared with = (ORA-00932).
TEST_F(FormatsTest, ComparisonRules) {
    s().execute("CREATE TABLE C (V VARCHAR2(5), N NUMBER, L CLOB, B BLOB)");
    s().execute("INSERT INTO C VALUES ('a', 1, 'abc', '00FF')");
    const CompareCase cases[] = {
        {.condition = "'a ' = 'a'", .expected = "1"},
        {.condition = "'a' = 'a  '", .expected = "1"},
        {.condition = "'a ' > 'a'", .expected = "0"},
        {.condition = "V = 'a '", .expected = "0"},
        {.condition = "V = 'a'", .expected = "1"},
        {.condition = "DECODE('01', 1, 'x', 'y') = 'x'", .expected = "1"},
        {.condition = "DECODE(N, '01', 'x', 'y') = 'y'", .expected = "1"},
        {.condition = "DECODE(N, '1', 'x', 'y') = 'x'", .expected = "1"},
        {.condition = "DECODE(V, 'a', 'x', 1, 'z') = 'x'", .expected = "1"},
        {.condition = "DECODE(NULL, NULL, 'x') = 'x'", .expected = "1"},
        {.condition = "L = 'abc'", .expected = "ORA-00932"},
        {.condition = "'abc' = L", .expected = "ORA-00932"},
        {.condition = "B = '00FF'", .expected = "ORA-00932"},
        {.condition = "TO_CLOB('x') = 'x'", .expected = "ORA-00932"},
        {.condition = "DBMS_LOB.SUBSTR(L, 3) = 'abc'", .expected = "1"},
        {.condition = "L IS NOT NULL", .expected = "1"},
    };
    for (const auto& c : cases) {
        const std::string query = std::string("SELECT COUNT(*) FROM C WHERE ") + c.condition;
        const Rows got = answer(query, true);
        EXPECT_EQ(got, Rows{c.expected}) << query;
    }
}

}  // namespace
}  // namespace malvorn::localserver
