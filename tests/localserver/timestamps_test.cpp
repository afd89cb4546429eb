// TIMESTAMP[(0..9)], six digits by default: its literal, TO_TIMESTAMP, and
// FF in TO_CHAR (a bare FF prints the type's precision; FF is refused in
// DATE formats).
#include <gtest/gtest.h>

#include "localserver/timestamps.h"
#include "steps.h"

namespace malvorn::localserver {
namespace {

using TimestampTest = StepTest;

// What the text reads as (the stored form), or the error's code.
std::string parsed(const std::string& text) {
    std::string got;
    const std::string code =
        ServerTest::oraCode([&] { got = formatStoredTimestamp(parseTimestampText(text)); });
    return code.empty() ? got : code;
}

TEST(TimestampText, ReadsTheLiteralFormsAndRefusesTheRest) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {{"2024-02-29 10:11:12.1234567", "2024-02-29 10:11:12.1234567"},
                          {"2024-02-29 10:11:12.500", "2024-02-29 10:11:12.5"},
                          {"2024-02-29 10:11:12.000000000", "2024-02-29 10:11:12"},
                          {"0001-01-01 00:00:00.0000001", "0001-01-01 00:00:00.0000001"},
                          {"9999-12-31 23:59:59.999999999", "9999-12-31 23:59:59.999999999"},
                          {"2024/02/29", "2024-02-29 00:00:00"},
                          {" 2024-02-29 10:11 ", "2024-02-29 10:11:00"},
                          // Past nine digits the picture has ended (ORA-01830).
                          {"2024-02-29 10:11:12.1234567891", "ORA-01830"},
                          {"2024-13-01 00:00:00.5", "ORA-01843"},
                          {"2024-01-32 00:00:00.5", "ORA-01847"},
                          {"2023-02-29 00:00:00", "ORA-01839"},
                          {"2024-01-01 24:00:00.5", "ORA-01850"},
                          {"2024-01-01 10:60:00", "ORA-01851"},
                          {"2024-01-01 10:00:00.", "ORA-01861"},
                          {"2024-01-01 10:00:00.5x", "ORA-01861"},
                          {"yesterday", "ORA-01861"}};
    for (const auto& c : cases)
        EXPECT_EQ(parsed(c.text), c.expected) << c.text;
}

TEST(TimestampText, RoundsToAPrecisionCarryingIntoTheDate) {
    struct Case {
        const char* text;
        int precision;
        const char* expected;
    };
    const Case cases[] = {{"2024-02-29 10:11:12.123456789", 7, "2024-02-29 10:11:12.1234568"},
                          {"2024-02-29 10:11:12.12345", 9, "2024-02-29 10:11:12.12345"},
                          {"2024-02-29 10:11:12.4999", 0, "2024-02-29 10:11:12"},
                          {"2024-02-29 23:59:59.5", 0, "2024-03-01 00:00:00"},
                          {"2023-12-31 23:59:59.99999995", 7, "2024-01-01 00:00:00"},
                          {"9999-12-31 23:59:59.5", 0, "ORA-01841"}};
    for (const auto& c : cases) {
        std::string got;
        const std::string code =
            ServerTest::oraCode([&] { got = storedTimestamp(c.text, c.precision); });
        EXPECT_EQ(code.empty() ? got : code, c.expected) << c.text << " to " << c.precision;
    }
}

TEST_F(TimestampTest, LiteralsConversionsAndTheirErrors) {
    checkValues({
        {"TO_CHAR(TIMESTAMP '2024-02-29 10:11:12.1234567', 'YYYY-MM-DD HH24:MI:SS.FF7')",
         "2024-02-29 10:11:12.1234567"},
        // A bare FF prints the type's precision: nine for a literal and
        // TO_TIMESTAMP, the column's for a column (below).
        {"TO_CHAR(TIMESTAMP '2024-02-29 10:11:12.5', 'SS.FF')", "12.500000000"},
        {"TO_CHAR(TIMESTAMP '2024-02-29 10:11:12.987654321', 'FF3')", "987"},
        {"TO_CHAR(TO_TIMESTAMP('29.02.2024 10:11:12,25', 'DD.MM.YYYY HH24:MI:SS,FF'))",
         "2024-02-29 10:11:12.250000000"},
        {"TO_CHAR(TO_TIMESTAMP('10:11:12.123', 'HH24:MI:SS.FF2'), 'FF9')", "ORA-01830"},
        {"TO_CHAR(TO_TIMESTAMP('2024-00-01 00:00:00.1', 'YYYY-MM-DD HH24:MI:SS.FF'))", "ORA-01843"},
        {"TIMESTAMP '2024-04-31 00:00:00'", "ORA-01839"},
        {"TIMESTAMP '2024-01-01 25:00:00'", "ORA-01850"},
        {"TO_TIMESTAMP('2024-01-45', 'YYYY-MM-DD')", "ORA-01847"},
        // FF belongs to timestamp formats only.
        {"TO_DATE('2024-01-01 00:00:00.5', 'YYYY-MM-DD HH24:MI:SS.FF')", "ORA-01821"},
        {"TO_CHAR(DATE '2024-01-01', 'FF')", "ORA-01821"},
        {"CAST(TIMESTAMP '2024-02-29 10:11:12.9' AS DATE)", "2024-02-29 10:11:12"},
        {"TO_CHAR(CAST(DATE '2024-02-29' AS TIMESTAMP(3)))", "2024-02-29 00:00:00.000"},
        {"TO_CHAR(CAST(TIMESTAMP '2024-02-29 10:11:12.98765' AS TIMESTAMP(2)))",
         "2024-02-29 10:11:12.99"},
        {"CAST(1 AS TIMESTAMP)", "ORA-00932"},
        {"CAST('x' AS TIMESTAMP(10))", "ORA-30088"},
    });
}

TEST_F(TimestampTest, ColumnsKeepTheirPrecisionAndCompareWithDates) {
    runSteps({
        {"CREATE TABLE T (ID NUMBER(2), T7 TIMESTAMP(7), T0 TIMESTAMP(0), TD TIMESTAMP, D DATE)",
         {}},
        {"INSERT INTO T VALUES (1, TIMESTAMP '0001-01-01 00:00:00.0000001', TIMESTAMP '2024-01-01 "
         "10:00:00.5', TIMESTAMP '2024-01-01 10:00:00.1234565', DATE '2024-01-01')",
         {}},
        {"INSERT INTO T VALUES (2, TO_TIMESTAMP('9999-12-31 23:59:59.9999999', 'YYYY-MM-DD "
         "HH24:MI:SS.FF7'), '2024-01-01 10:00:00.4', NULL, TO_DATE('2024-01-01 10:00:00', "
         "'YYYY-MM-DD HH24:MI:SS'))",
         {}},
        // The same statement with other literals: a kept translation must take them.
        {"INSERT INTO T VALUES (3, TO_TIMESTAMP('2024-01-01 10:00:00.0000000', 'YYYY-MM-DD "
         "HH24:MI:SS.FF7'), '2024-01-01 10:00:00.4', NULL, TO_DATE('2024-01-01 10:00:00', "
         "'YYYY-MM-DD HH24:MI:SS'))",
         {}},
        {"SELECT ID, TO_CHAR(T7, 'YYYY-MM-DD HH24:MI:SS.FF7'), TO_CHAR(T0), TO_CHAR(TD, 'FF') FROM "
         "T ORDER BY ID",
         {"1|0001-01-01 00:00:00.0000001|2024-01-01 10:00:01|123457",
          "2|9999-12-31 23:59:59.9999999|2024-01-01 10:00:00|<null>",
          "3|2024-01-01 10:00:00.0000000|2024-01-01 10:00:00|<null>"}},
        {"SELECT ID FROM T WHERE T7 = D", {"3"}},
        {"SELECT ID FROM T WHERE T0 = D", {"2", "3"}},
        {"SELECT ID FROM T WHERE T7 > TIMESTAMP '2024-01-01 10:00:00'", {"2"}},
        {"SELECT ID FROM T ORDER BY T7 DESC", {"2", "3", "1"}},
        {"SELECT TO_CHAR(MAX(T7), 'YYYY FF7') FROM T", {"9999 9999999"}},
        {"SELECT DATA_TYPE, DATA_SCALE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T' AND "
         "COLUMN_NAME LIKE 'T%' ORDER BY COLUMN_ID",
         {"TIMESTAMP(7)|7", "TIMESTAMP(0)|0", "TIMESTAMP(6)|6"}},
        {"INSERT INTO T (T7) VALUES ('2024-01-01 10:00')", {}},
        {"INSERT INTO T (T7) VALUES ('2024-01-01 10.5')", {"ORA-01861"}},
        {"INSERT INTO T (T7) VALUES (5)", {"ORA-00932"}},
        {"CREATE TABLE U (V TIMESTAMP(10))", {"ORA-30088"}},
    });
}

// A TIMESTAMP plus a number, TRUNC, ROUND and the month functions work on
// it as a DATE: the result is a DATE, the fraction dropped, not rounded.
TEST_F(TimestampTest, ArithmeticAndTheDayFunctionsGiveDates) {
    checkValues({
        {"TIMESTAMP '2024-02-29 10:11:12.1234567' + 1", "2024-03-01 10:11:12"},
        {"1 + TIMESTAMP '2024-02-29 10:11:12.9'", "2024-03-01 10:11:12"},
        {"TIMESTAMP '2024-12-31 23:59:59.9999999' + 1/86400", "2025-01-01 00:00:00"},
        {"TIMESTAMP '2024-03-01 00:30:00.5' - 1/24", "2024-02-29 23:30:00"},
        // The sum is a DATE: FF is not among its format's elements.
        {"TO_CHAR(TIMESTAMP '2024-02-29 10:11:12.5' + 1, 'FF')", "ORA-01821"},
        {"TRUNC(TIMESTAMP '2024-02-29 10:11:12.5')", "2024-02-29 00:00:00"},
        {"TRUNC(TIMESTAMP '2024-02-29 10:11:12.5', 'MM')", "2024-02-01 00:00:00"},
        {"ROUND(TIMESTAMP '2024-02-29 12:00:00.5')", "2024-03-01 00:00:00"},
        {"ROUND(TIMESTAMP '2024-02-29 10:11:29.9', 'MI')", "2024-02-29 10:11:00"},
        {"ADD_MONTHS(TIMESTAMP '2024-01-31 10:00:00.5', 1)", "2024-02-29 10:00:00"},
        {"LAST_DAY(TIMESTAMP '2024-02-10 10:00:00.5')", "2024-02-29 10:00:00"},
        {"MONTHS_BETWEEN(TIMESTAMP '2024-03-31 00:00:00.5', DATE '2024-02-29')", "1"},
        // Between two datetimes the result is an INTERVAL, which this server
        // does not keep: refused, never a number of days.
        {"TIMESTAMP '2024-01-02 00:00:00.5' - DATE '2024-01-01'", "ORA-01861"},
    });
    runSteps({
        {"CREATE TABLE T (ID NUMBER(2), T7 TIMESTAMP(7))", {}},
        {"INSERT INTO T VALUES (1, TIMESTAMP '2024-02-29 23:59:59.9999999')", {}},
        {"INSERT INTO T VALUES (2, TIMESTAMP '9999-12-30 00:00:00.0000001')", {}},
        {"SELECT ID, T7 + 1, TRUNC(T7), ROUND(T7), T7 - 0.5 FROM T ORDER BY ID",
         {"1|2024-03-01 23:59:59|2024-02-29 00:00:00|2024-03-01 00:00:00|2024-02-29 11:59:59",
          "2|9999-12-31 00:00:00|9999-12-30 00:00:00|9999-12-30 00:00:00|9999-12-29 12:00:00"}},
    });
}

TEST_F(TimestampTest, SystimestampIsNowToTheMicrosecond) {
    const std::string now = valueOf("TO_CHAR(SYSTIMESTAMP, 'YYYY-MM-DD HH24:MI:SS.FF')");
    ASSERT_EQ(now.size(), 26U) << now;
    EXPECT_EQ(now.substr(0, 10), valueOf("TO_CHAR(SYSDATE, 'YYYY-MM-DD')"));
    EXPECT_EQ(answer("SELECT COUNT(*) FROM DUAL WHERE SYSTIMESTAMP >= TRUNC(SYSDATE)"), Rows{"1"});
}

}  // namespace
}  // namespace malvorn::localserver
