// Text, number and date functions, with the documented examples' answers.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

using ScalarFunctionsTest = ScottTest;

// A negative position counts back from the end and searches backward.
TEST_F(ScalarFunctionsTest, InstrSearchesForwardAndBackward) {
    checkValues({
        {"INSTR('CORPORATE FLOOR', 'OR', 3, 2)", "14"},
        {"INSTR('CORPORATE FLOOR', 'OR', -3, 2)", "2"},
        {"INSTR('CORPORATE FLOOR', 'OR')", "2"},
        {"INSTR('CORPORATE FLOOR', 'OR', 1, 4)", "0"},
        {"INSTR('CORPORATE FLOOR', 'OR', -1)", "14"},
        {"INSTR('商品の商品', '商品', 2)", "4"},
        {"INSTR('abc', 'b', 0)", "0"},
        {"INSTR('abc', NULL)", "<null>"},
        {"INSTR('abc', 'b', 1, 0)", "ORA-01428"},
        {"INSTR('abc')", "ORA-00909"},
    });
}

TEST_F(ScalarFunctionsTest, PaddingCapitalsAndTrimSides) {
    checkValues({
        {"LPAD('Page 1', 15, '*.')", "*.*.*.*.*Page 1"},
        {"RPAD('MORRISON', 12, 'ab')", "MORRISONabab"},
        {"LPAD('abc', 5)", "  abc"},
        {"RPAD('abcdef', 3)", "abc"},
        {"LPAD('abc', 0)", "<null>"},
        {"LPAD(7, 3, 0)", "007"},
        {"INITCAP('the soap')", "The Soap"},
        {"INITCAP('mIXED cASE-and_x2y')", "Mixed Case-And_X2y"},
        {"TRIM(LEADING 0 FROM '0009872300')", "9872300"},
        {"TRIM(TRAILING 0 FROM '0009872300')", "00098723"},
        {"TRIM(BOTH 'x' FROM 'xxaxx')", "a"},
        {"TRIM('x' FROM 'xxaxx')", "a"},
        {"TRIM(LEADING FROM '  a  ')", "a  "},
        {"TRIM('xy' FROM 'xya')", "ORA-30001"},
        {"TRIM('x' FROM 'xxx')", "<null>"},
    });
}

// ADD_MONTHS from a last day, or a day the month lacks, gives the last day;
// MONTHS_BETWEEN counts 31-day months unless the days match.
TEST_F(ScalarFunctionsTest, MonthArithmetic) {
    checkValues({
        {"ADD_MONTHS(DATE '2001-01-31', 1)", "2001-02-28 00:00:00"},
        {"ADD_MONTHS(DATE '2000-02-29', 12)", "2001-02-28 00:00:00"},
        {"ADD_MONTHS(DATE '2001-02-28', 1)", "2001-03-31 00:00:00"},
        {"ADD_MONTHS(DATE '2001-03-15', -14)", "2000-01-15 00:00:00"},
        {"ADD_MONTHS('2001-03-15', 1.9)", "2001-04-15 00:00:00"},
        {"ADD_MONTHS(DATE '9999-12-01', 1)", "ORA-01841"},
        {"ROUND(MONTHS_BETWEEN(DATE '1995-02-02', DATE '1995-01-01'), 8)", "1.03225806"},
        {"MONTHS_BETWEEN(DATE '2001-03-31', DATE '2001-02-28')", "1"},
        {"MONTHS_BETWEEN(DATE '2001-01-15', DATE '2001-03-15')", "-2"},
        {"MONTHS_BETWEEN(TO_DATE('2001-01-16 12:00', 'YYYY-MM-DD HH24:MI'), DATE '2001-01-01') * "
         "62",
         "31"},
        {"LAST_DAY(TO_DATE('2004-02-10 08:30', 'YYYY-MM-DD HH24:MI'))", "2004-02-29 08:30:00"},
        {"LAST_DAY(NULL)", "<null>"},
        {"MONTHS_BETWEEN(1, 2)", "ORA-00932"},
    });
}

// ROUND goes up on July 1, the 16th, at noon; IW is the ISO week's Monday.
TEST_F(ScalarFunctionsTest, TruncAndRoundDatesToAFormat) {
    const std::string d = "TO_DATE('2026-12-07 13:45:50', 'YYYY-MM-DD HH24:MI:SS')";
    checkValues({
        {("TRUNC(" + d + ", 'YYYY')").c_str(), "2026-01-01 00:00:00"},
        {("TRUNC(" + d + ", 'Q')").c_str(), "2026-10-01 00:00:00"},
        {("TRUNC(" + d + ", 'mm')").c_str(), "2026-12-01 00:00:00"},
        {("TRUNC(" + d + ", 'DD')").c_str(), "2026-12-07 00:00:00"},
        {("TRUNC(" + d + ", 'HH24')").c_str(), "2026-12-07 13:00:00"},
        {("TRUNC(" + d + ", 'MI')").c_str(), "2026-12-07 13:45:00"},
        {("TRUNC(" + d + ", 'IW')").c_str(), "2026-12-07 00:00:00"},
        {"TRUNC(DATE '2027-01-03', 'IW')", "2026-12-28 00:00:00"},
        {("TRUNC(" + d + ", 'DAY')").c_str(), "2026-12-06 00:00:00"},
        {("TRUNC(" + d + ", 'CC')").c_str(), "2001-01-01 00:00:00"},
        {("ROUND(" + d + ")").c_str(), "2026-12-08 00:00:00"},
        {("ROUND(" + d + ", 'YEAR')").c_str(), "2027-01-01 00:00:00"},
        {"ROUND(DATE '2026-06-30', 'YEAR')", "2026-01-01 00:00:00"},
        {"ROUND(DATE '2026-11-16', 'Q')", "2027-01-01 00:00:00"},
        {"ROUND(DATE '2026-11-15', 'Q')", "2026-10-01 00:00:00"},
        {"ROUND(DATE '2026-12-16', 'MM')", "2027-01-01 00:00:00"},
        {("ROUND(" + d + ", 'HH')").c_str(), "2026-12-07 14:00:00"},
        {("ROUND(" + d + ", 'MI')").c_str(), "2026-12-07 13:46:00"},
        {("TRUNC(" + d + ", 'XX')").c_str(), "ORA-01821"},
        {"TRUNC(15.79, 1)", "15.7"},
        {"ROUND(15.75, 1)", "15.8"},
    });
}

TEST_F(ScalarFunctionsTest, ExtractFieldsOfADate) {
    checkValues({
        {"EXTRACT(YEAR FROM DATE '1998-03-07')", "1998"},
        {"EXTRACT(MONTH FROM DATE '1998-03-07')", "3"},
        {"EXTRACT(DAY FROM DATE '1998-03-07') + 1", "8"},
        {"EXTRACT(HOUR FROM SYSDATE)", "ORA-30076"},
        {"EXTRACT(YEAR FROM 5)", "ORA-30076"},
        {"EXTRACT(WEEK FROM SYSDATE)", "ORA-00907"},
    });
}

// CAST cuts a longer text to the length; TO_NUMBER with a format reads what
// TO_CHAR would write.
TEST_F(ScalarFunctionsTest, CastAndNumberConversions) {
    checkValues({
        {"CAST('ROAD-1234' AS VARCHAR2(8))", "ROAD-123"},
        {"CAST('ab' AS CHAR(4)) || '|'", "ab  |"},
        {"CAST(1234 AS NUMBER(3))", "ORA-01438"},
        {"CAST(12.345 AS NUMBER(5, 2))", "12.35"},
        {"CAST(' 12.5 ' AS NUMBER)", "12.5"},
        {"CAST(2.5 AS INTEGER)", "3"},
        {"CAST('x' AS NUMBER)", "ORA-01722"},
        {"CAST('2001-02-03' AS DATE)", "2001-02-03 00:00:00"},
        {"CAST(DATE '2001-02-03' AS VARCHAR2(30))", "2001-02-03 00:00:00"},
        {"CAST(5 AS DATE)", "ORA-00932"},
        {"CAST(1 AS VARCHAR2)", "ORA-00906"},
        {"CAST(1 AS WIDGET)", "ORA-00902"},
        {"CAST(NULL AS NUMBER)", "<null>"},
        {"TO_NUMBER('1,234.50', '9,999.99')", "1234.5"},
        {"TO_NUMBER('-12', 'S99')", "-12"},
        {"TO_NUMBER('12-', '99MI')", "-12"},
        {"TO_NUMBER('<7>', '9PR')", "-7"},
        {"TO_NUMBER('$5', '$9')", "5"},
        {"TO_NUMBER('1234', '999')", "ORA-01722"},
        {"TO_NUMBER('12', 'Z9')", "ORA-01481"},
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

// RAW and BLOB lengths count bytes, not the hexadecimal held.
TEST_F(ScalarFunctionsTest, LengthsOfBytesAndLargeObjects) {
    s().execute("CREATE TABLE L (R RAW(10), B BLOB, C CLOB)");
    s().execute("INSERT INTO L VALUES (HEXTORAW('0A0B0C'), '00FF00FF', 'large 商品 text')");
    EXPECT_EQ(rows(s(), "SELECT LENGTH(R), LENGTHB(R), LENGTH(B), LENGTH(HEXTORAW('ABCD')) FROM L"),
              Rows{"3|3|4|2"});
    EXPECT_EQ(rows(s(), "SELECT DBMS_LOB.GETLENGTH(B), DBMS_LOB.GETLENGTH(C), LENGTH(C) FROM L"),
              Rows{"4|13|13"});
    EXPECT_EQ(rows(s(),
                   "SELECT DBMS_LOB.SUBSTR(C, 5, 7), DBMS_LOB.SUBSTR(B, 2, 2), DBMS_LOB.SUBSTR(C, "
                   "3) FROM L"),
              Rows{"商品 te|FF00|lar"});
}

// A number turned into text has no zero before the point.
TEST_F(ScalarFunctionsTest, NumberTextAndNullFunctions) {
    const ValueCase text[] = {{"0.5 || 'x'", ".5x"},         {"TO_CHAR(-0.01)", "-.01"},
                              {"TO_CHAR(10.25)", "10.25"},   {"LENGTH(0.125)", "4"},
                              {"CONCAT('v', -0.5)", "v-.5"}, {"CEIL(15.7)", "16"},
                              {"CEIL(-1.5)", "-1"},          {"CEIL(3)", "3"},
                              {"FLOOR(15.7)", "15"}};
    const ValueCase nulls[] = {{"FLOOR(-1.5)", "-2"},          {"FLOOR(NULL)", "<null>"},
                               {"TRUNC(15.79, -1)", "10"},     {"NVL2(NULL, 'a', 'b')", "b"},
                               {"NVL2(0, 'a', 'b')", "a"},     {"NVL2(1, 2)", "ORA-00909"},
                               {"CONCAT('ab', 'cd')", "abcd"}, {"CONCAT(NULL, NULL)", "<null>"},
                               {"CONCAT('a')", "ORA-00909"}};
    checkValues(text);
    checkValues(nulls);
    s().execute("CREATE TABLE T (V VARCHAR2(10))");
    s().execute("INSERT INTO T VALUES (0.75)");
    EXPECT_EQ(s().queryValue("SELECT V FROM T"), ".75");
}

// LPAD and RPAD count display width: a character of East Asian Width W or F
// takes two columns, every other one (half-width katakana too) one; where a
// wide character would overrun the last column, a single blank fills it.
struct PadCase {
    const char* call;
    const char* result;
    const char* why;
};

TEST_F(ScalarFunctionsTest, PadLengthIsDisplayWidth) {
    const PadCase cases[] = {
        {.call = "RPAD('日本', 6, '*')", .result = "日本**", .why = "two wide characters are four"},
        {.call = "LPAD('日本', 5)", .result = " 日本", .why = "one blank makes five"},
        {.call = "RPAD('ab', 6, '語')", .result = "ab語語", .why = "a wide pad fills two a time"},
        {.call = "RPAD('ab', 5, '語')",
         .result = "ab語 ",
         .why = "a wide pad that would split the last column leaves a blank"},
        {.call = "LPAD('x', 4, 'あa')", .result = "あax", .why = "a mixed pad counts each"},
        {.call = "RPAD('日本語', 4)", .result = "日本", .why = "a longer text is cut by width"},
        {.call = "RPAD('日本語', 5, '*')",
         .result = "日本 ",
         .why = "a cut through a wide character leaves a blank"},
        {.call = "LPAD('ｱｲｳ', 5, '*')", .result = "**ｱｲｳ", .why = "half-width katakana are narrow"},
        {.call = "RPAD('Ａ', 3, '-')", .result = "Ａ-", .why = "full-width Latin is wide"},
        {.call = "LPAD('é', 3, '.')", .result = "..é", .why = "accented Latin is narrow"},
        {.call = "RPAD('한', 3, '.')", .result = "한.", .why = "Hangul syllables are wide"},
        {.call = "LPAD('日', 1, '*')", .result = " ", .why = "a wide character wider than n"},
        {.call = "LENGTH(RPAD('商品', 10, '*'))", .result = "8", .why = "eight characters"},
    };
    for (const PadCase& c : cases) {
        const auto got = s().queryValue("SELECT " + std::string(c.call) + " FROM DUAL");
        EXPECT_EQ(got, c.result) << c.call << ": " << c.why;
    }
}

}  // namespace
}  // namespace malvorn::localserver
