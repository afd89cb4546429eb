// Text, number and date functions as Oracle 19c's SQL Language Reference
// documents them (each function's own page, "Functions" chapter).
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

struct ValueCase {
    const char* expression;  // selected FROM DUAL
    const char* expected;    // the value's text, "<null>", or the error's code
};

class ScalarFunctionsTest : public ScottTest {
  protected:
    void check(const std::vector<ValueCase>& cases) {
        for (const auto& c : cases)
            EXPECT_EQ(valueOf(c.expression), c.expected) << c.expression;
    }
};

// INSTR: "INSTR('CORPORATE FLOOR','OR', 3, 2)" is 14 and "INSTR('CORPORATE
// FLOOR','OR', -3, 2)" is 2 (a negative position counts back from the end and
// searches backward); occurrence must be positive (ORA-01428).
TEST_F(ScalarFunctionsTest, InstrSearchesForwardAndBackward) {
    check({
        {.expression = "INSTR('CORPORATE FLOOR', 'OR', 3, 2)", .expected = "14"},
        {.expression = "INSTR('CORPORATE FLOOR', 'OR', -3, 2)", .expected = "2"},
        {.expression = "INSTR('CORPORATE FLOOR', 'OR')", .expected = "2"},
        {.expression = "INSTR('CORPORATE FLOOR', 'OR', 1, 4)", .expected = "0"},
        {.expression = "INSTR('CORPORATE FLOOR', 'OR', -1)", .expected = "14"},
        {.expression = "INSTR('商品の商品', '商品', 2)", .expected = "4"},
        {.expression = "INSTR('abc', 'b', 0)", .expected = "0"},
        {.expression = "INSTR('abc', NULL)", .expected = "<null>"},
        {.expression = "INSTR('abc', 'b', 1, 0)", .expected = "ORA-01428"},
        {.expression = "INSTR('abc')", .expected = "ORA-00909"},
    });
}

// LPAD/RPAD: "LPAD('Page 1',15,'*.')" is '*.*.*.*.*Page 1'; a longer text is
// cut to n; INITCAP('the soap') is 'The Soap'; TRIM(LEADING 0 FROM ...).
TEST_F(ScalarFunctionsTest, PaddingCapitalsAndTrimSides) {
    check({
        {.expression = "LPAD('Page 1', 15, '*.')", .expected = "*.*.*.*.*Page 1"},
        {.expression = "RPAD('MORRISON', 12, 'ab')", .expected = "MORRISONabab"},
        {.expression = "LPAD('abc', 5)", .expected = "  abc"},
        {.expression = "RPAD('abcdef', 3)", .expected = "abc"},
        {.expression = "LPAD('abc', 0)", .expected = "<null>"},
        {.expression = "LPAD(7, 3, 0)", .expected = "007"},
        {.expression = "INITCAP('the soap')", .expected = "The Soap"},
        {.expression = "INITCAP('mIXED cASE-and_x2y')", .expected = "Mixed Case-And_X2y"},
        {.expression = "TRIM(LEADING 0 FROM '0009872300')", .expected = "9872300"},
        {.expression = "TRIM(TRAILING 0 FROM '0009872300')", .expected = "00098723"},
        {.expression = "TRIM(BOTH 'x' FROM 'xxaxx')", .expected = "a"},
        {.expression = "TRIM('x' FROM 'xxaxx')", .expected = "a"},
        {.expression = "TRIM(LEADING FROM '  a  ')", .expected = "a  "},
        {.expression = "TRIM('xy' FROM 'xya')", .expected = "ORA-30001"},
        {.expression = "TRIM('x' FROM 'xxx')", .expected = "<null>"},
    });
}

// ADD_MONTHS: a last day of a month, or a day the result's month lacks,
// gives that month's last day. MONTHS_BETWEEN: whole when the days match or
// both are last days, otherwise a 31-day month ("MONTHS_BETWEEN(02-02-1995,
// 01-01-1995)" is 1.03225806). LAST_DAY keeps the time.
TEST_F(ScalarFunctionsTest, MonthArithmetic) {
    check({
        {.expression = "ADD_MONTHS(DATE '2001-01-31', 1)", .expected = "2001-02-28 00:00:00"},
        {.expression = "ADD_MONTHS(DATE '2000-02-29', 12)", .expected = "2001-02-28 00:00:00"},
        {.expression = "ADD_MONTHS(DATE '2001-02-28', 1)", .expected = "2001-03-31 00:00:00"},
        {.expression = "ADD_MONTHS(DATE '2001-03-15', -14)", .expected = "2000-01-15 00:00:00"},
        {.expression = "ADD_MONTHS('2001-03-15', 1.9)", .expected = "2001-04-15 00:00:00"},
        {.expression = "ADD_MONTHS(DATE '9999-12-01', 1)", .expected = "ORA-01841"},
        {.expression = "ROUND(MONTHS_BETWEEN(DATE '1995-02-02', DATE '1995-01-01'), 8)",
         .expected = "1.03225806"},
        {.expression = "MONTHS_BETWEEN(DATE '2001-03-31', DATE '2001-02-28')", .expected = "1"},
        {.expression = "MONTHS_BETWEEN(DATE '2001-01-15', DATE '2001-03-15')", .expected = "-2"},
        {.expression = "MONTHS_BETWEEN(TO_DATE('2001-01-16 12:00', 'YYYY-MM-DD HH24:MI'), "
                       "DATE '2001-01-01') * 62",
         .expected = "31"},
        {.expression = "LAST_DAY(TO_DATE('2004-02-10 08:30', 'YYYY-MM-DD HH24:MI'))",
         .expected = "2004-02-29 08:30:00"},
        {.expression = "LAST_DAY(NULL)", .expected = "<null>"},
        {.expression = "MONTHS_BETWEEN(1, 2)", .expected = "ORA-00932"},
    });
}

// TRUNC and ROUND of a date ("ROUND and TRUNC Date Functions" table): ROUND
// to the year rounds up on July 1, to the month on the 16th, to the day at
// noon; IW is the ISO week's Monday, DAY the week's Sunday.
TEST_F(ScalarFunctionsTest, TruncAndRoundDatesToAFormat) {
    const std::string d = "TO_DATE('2026-12-07 13:45:50', 'YYYY-MM-DD HH24:MI:SS')";
    check({
        {.expression = ("TRUNC(" + d + ", 'YYYY')").c_str(), .expected = "2026-01-01 00:00:00"},
        {.expression = ("TRUNC(" + d + ", 'Q')").c_str(), .expected = "2026-10-01 00:00:00"},
        {.expression = ("TRUNC(" + d + ", 'mm')").c_str(), .expected = "2026-12-01 00:00:00"},
        {.expression = ("TRUNC(" + d + ", 'DD')").c_str(), .expected = "2026-12-07 00:00:00"},
        {.expression = ("TRUNC(" + d + ", 'HH24')").c_str(), .expected = "2026-12-07 13:00:00"},
        {.expression = ("TRUNC(" + d + ", 'MI')").c_str(), .expected = "2026-12-07 13:45:00"},
        {.expression = ("TRUNC(" + d + ", 'IW')").c_str(), .expected = "2026-12-07 00:00:00"},
        {.expression = "TRUNC(DATE '2027-01-03', 'IW')", .expected = "2026-12-28 00:00:00"},
        {.expression = ("TRUNC(" + d + ", 'DAY')").c_str(), .expected = "2026-12-06 00:00:00"},
        {.expression = ("TRUNC(" + d + ", 'CC')").c_str(), .expected = "2001-01-01 00:00:00"},
        {.expression = ("ROUND(" + d + ")").c_str(), .expected = "2026-12-08 00:00:00"},
        {.expression = ("ROUND(" + d + ", 'YEAR')").c_str(), .expected = "2027-01-01 00:00:00"},
        {.expression = "ROUND(DATE '2026-06-30', 'YEAR')", .expected = "2026-01-01 00:00:00"},
        {.expression = "ROUND(DATE '2026-11-16', 'Q')", .expected = "2027-01-01 00:00:00"},
        {.expression = "ROUND(DATE '2026-11-15', 'Q')", .expected = "2026-10-01 00:00:00"},
        {.expression = "ROUND(DATE '2026-12-16', 'MM')", .expected = "2027-01-01 00:00:00"},
        {.expression = ("ROUND(" + d + ", 'HH')").c_str(), .expected = "2026-12-07 14:00:00"},
        {.expression = ("ROUND(" + d + ", 'MI')").c_str(), .expected = "2026-12-07 13:46:00"},
        {.expression = ("TRUNC(" + d + ", 'XX')").c_str(), .expected = "ORA-01821"},
        {.expression = "TRUNC(15.79, 1)", .expected = "15.7"},
        {.expression = "ROUND(15.75, 1)", .expected = "15.8"},
    });
}

// EXTRACT: "Use EXTRACT(YEAR|MONTH|DAY) with a DATE"; HOUR of a DATE is
// ORA-30076, as is any field of a number.
TEST_F(ScalarFunctionsTest, ExtractFieldsOfADate) {
    check({
        {.expression = "EXTRACT(YEAR FROM DATE '1998-03-07')", .expected = "1998"},
        {.expression = "EXTRACT(MONTH FROM DATE '1998-03-07')", .expected = "3"},
        {.expression = "EXTRACT(DAY FROM DATE '1998-03-07') + 1", .expected = "8"},
        {.expression = "EXTRACT(HOUR FROM SYSDATE)", .expected = "ORA-30076"},
        {.expression = "EXTRACT(YEAR FROM 5)", .expected = "ORA-30076"},
        {.expression = "EXTRACT(WEEK FROM SYSDATE)", .expected = "ORA-00907"},
    });
}

// CAST: a longer text is cut to the length (as in the standard), CHAR is
// padded; a number past NUMBER(p, s) is ORA-01438 (see
// https://coderapp.vercel.app/answer/63981008 for both on Oracle 18c).
// TO_NUMBER with a format reads what TO_CHAR would write.
TEST_F(ScalarFunctionsTest, CastAndNumberConversions) {
    check({
        {.expression = "CAST('ROAD-1234' AS VARCHAR2(8))", .expected = "ROAD-123"},
        {.expression = "CAST('ab' AS CHAR(4)) || '|'", .expected = "ab  |"},
        {.expression = "CAST(1234 AS NUMBER(3))", .expected = "ORA-01438"},
        {.expression = "CAST(12.345 AS NUMBER(5, 2))", .expected = "12.35"},
        {.expression = "CAST(' 12.5 ' AS NUMBER)", .expected = "12.5"},
        {.expression = "CAST(2.5 AS INTEGER)", .expected = "3"},
        {.expression = "CAST('x' AS NUMBER)", .expected = "ORA-01722"},
        {.expression = "CAST('2001-02-03' AS DATE)", .expected = "2001-02-03 00:00:00"},
        {.expression = "CAST(DATE '2001-02-03' AS VARCHAR2(30))",
         .expected = "2001-02-03 00:00:00"},
        {.expression = "CAST(5 AS DATE)", .expected = "ORA-00932"},
        {.expression = "CAST(1 AS VARCHAR2)", .expected = "ORA-00906"},
        {.expression = "CAST(1 AS WIDGET)", .expected = "ORA-00902"},
        {.expression = "CAST(NULL AS NUMBER)", .expected = "<null>"},
        {.expression = "TO_NUMBER('1,234.50', '9,999.99')", .expected = "1234.5"},
        {.expression = "TO_NUMBER('-12', 'S99')", .expected = "-12"},
        {.expression = "TO_NUMBER('12-', '99MI')", .expected = "-12"},
        {.expression = "TO_NUMBER('<7>', '9PR')", .expected = "-7"},
        {.expression = "TO_NUMBER('$5', '$9')", .expected = "5"},
        {.expression = "TO_NUMBER('1234', '999')", .expected = "ORA-01722"},
        {.expression = "TO_NUMBER('12', 'Z9')", .expected = "ORA-01481"},
    });
}

// INSERTs that differ in their literals alone share one translation: a
// length written in CAST is not such a literal.
TEST_F(ScalarFunctionsTest, CastLengthsAreNotReusedAcrossInserts) {
    s().execute("CREATE TABLE K (V VARCHAR2(10))");
    s().execute("INSERT INTO K VALUES (CAST('abcdef' AS VARCHAR2(3)))");
    s().execute("INSERT INTO K VALUES (CAST('abcdef' AS VARCHAR2(5)))");
    s().execute("INSERT INTO K VALUES (CAST(12.345 AS NUMBER(4, 1)))");
    s().execute("INSERT INTO K VALUES (CAST(12.345 AS NUMBER(5, 2)))");
    EXPECT_EQ(rows(s(), "SELECT V FROM K"), (Rows{"abc", "abcde", "12.3", "12.35"}));
}

// LENGTH of RAW and BLOB counts bytes (the value is held as hexadecimal);
// DBMS_LOB.GETLENGTH counts characters of a CLOB and bytes of a BLOB;
// DBMS_LOB.SUBSTR(lob, amount, offset).
TEST_F(ScalarFunctionsTest, LengthsOfBytesAndLargeObjects) {
    s().execute("CREATE TABLE L (R RAW(10), B BLOB, C CLOB)");
    s().execute("INSERT INTO L VALUES (HEXTORAW('0A0B0C'), '00FF00FF', 'large 商品 text')");
    EXPECT_EQ(rows(s(), "SELECT LENGTH(R), LENGTHB(R), LENGTH(B), LENGTH(HEXTORAW('ABCD')) FROM L"),
              Rows{"3|3|4|2"});
    EXPECT_EQ(rows(s(), "SELECT DBMS_LOB.GETLENGTH(B), DBMS_LOB.GETLENGTH(C), LENGTH(C) FROM L"),
              Rows{"4|13|13"});
    EXPECT_EQ(rows(s(),
                   "SELECT DBMS_LOB.SUBSTR(C, 5, 7), DBMS_LOB.SUBSTR(B, 2, 2), "
                   "DBMS_LOB.SUBSTR(C, 3) FROM L"),
              Rows{"商品 te|FF00|lar"});
}

}  // namespace
}  // namespace malvorn::localserver
