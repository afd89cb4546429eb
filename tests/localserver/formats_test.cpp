// TO_CHAR number format models, the comparison rules and DECODE, NUMBER
// values through SQL, and names and limits.
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
    const FormatCase cases[] = {// The sign takes a position of its own; '9' shows blanks before the
                                // first digit, '0' zeros from where it stands.
                                {"-1234567890", "9999999999S", "1234567890-"},
                                {"1234567890", "9999999999S", "1234567890+"},
                                {"0", "99.99", "   .00"},
                                {"0.1", "99.99", "   .10"},
                                {"-0.2", "99.99", "  -.20"},
                                {"0", "90.99", "  0.00"},
                                {"-0.2", "90.99", " -0.20"},
                                {"0", "9999", "    0"},
                                {"123.456", "999.999", " 123.456"},
                                {"-123.456", "999.999", "-123.456"},
                                // FM drops the padding and the zeros the fraction's 9s would show.
                                {"123.456", "FM999.009", "123.456"},
                                {"123.45", "FM999.009", "123.45"},
                                {"123", "FM999.009", "123.00"},
                                {"1234567.891", "FM999,999,990.00", "1,234,567.89"},
                                {"0.5", "FM999,999,990.00", "0.50"},
                                {"-5", "FM999,999,990.00", "-5.00"},
                                {"1.5", "FM999.99", "1.5"},
                                {"0.5", "0.00", " 0.50"},
                                {"9", "0000009", " 0000009"},
                                {"1234", "9G999D99", " 1,234.00"},
                                {"12", "S999", " +12"},
                                {"-12", "999MI", " 12-"},
                                {"12", "FM999MI", "12"},
                                {"-98", "999PR", " <98>"},
                                {"9", "$099", " $009"},
                                {"999.996", "999.99", "#######"},
                                {"12345", "FM999", "####"},
                                {"5", "9X9", "ORA-01481"},
                                {"'x'", "999", "ORA-01722"}};
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

// Two text literals compare blank-padded, a VARCHAR2 column and a literal
// not; DECODE compares as its first search's type; a CLOB never with =.
TEST_F(FormatsTest, ComparisonRules) {
    s().execute("CREATE TABLE C (V VARCHAR2(5), N NUMBER, L CLOB, B BLOB)");
    s().execute("INSERT INTO C VALUES ('a', 1, 'abc', '00FF')");
    const CompareCase cases[] = {{"'a ' = 'a'", "1"},
                                 {"'a' = 'a  '", "1"},
                                 {"'a ' > 'a'", "0"},
                                 {"V = 'a '", "0"},
                                 {"V = 'a'", "1"},
                                 {"DECODE('01', 1, 'x', 'y') = 'x'", "1"},
                                 {"DECODE(N, '01', 'x', 'y') = 'y'", "1"},
                                 {"DECODE(N, '1', 'x', 'y') = 'x'", "1"},
                                 {"DECODE(V, 'a', 'x', 1, 'z') = 'x'", "1"},
                                 {"DECODE(NULL, NULL, 'x') = 'x'", "1"},
                                 {"L = 'abc'", "ORA-00932"},
                                 {"'abc' = L", "ORA-00932"},
                                 {"B = '00FF'", "ORA-00932"},
                                 {"TO_CLOB('x') = 'x'", "ORA-00932"},
                                 {"DBMS_LOB.SUBSTR(L, 3) = 'abc'", "1"},
                                 {"L IS NOT NULL", "1"}};
    for (const auto& c : cases) {
        const std::string query = std::string("SELECT COUNT(*) FROM C WHERE ") + c.condition;
        const Rows got = answer(query, true);
        EXPECT_EQ(got, Rows{c.expected}) << query;
    }
}

class NamesTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute("CREATE TABLE Umsätze (Straße VARCHAR2(10), Menge NUMBER)");
        s().execute("INSERT INTO UMSÄTZE (straße, MENGE) VALUES ('a', 2)");
    }
};

std::string inList(int count) {
    std::string out;
    for (int i = 1; i <= count; ++i)
        out += (i > 1 ? "," : "") + std::to_string(i);
    return out;
}

TEST_F(NamesTest, OracleAnswersTheseAsDocumented) {
    const std::pair<std::string, Rows> cases[] = {
        // ß has no simple upper-case form: it stays, as in Oracle's names.
        {"SELECT COUNT(*) FROM UMSÄTZE", {"1"}},
        {"SELECT TABLE_NAME FROM USER_TABLES", {"UMSÄTZE"}},
        {"SELECT COLUMN_NAME FROM USER_TAB_COLUMNS ORDER BY COLUMN_ID", {"STRAßE", "MENGE"}},
        {"SELECT straße FROM umsätze", {"a"}},
        {"SELECT COUNT(*)\u3000FROM UMSÄTZE", {"ORA-00911: invalid character"}},
        {"SELECT\u3000MENGE FROM UMSÄTZE", {"ORA-00911: invalid character"}},
        {"SELECT '\u3000' FROM DUAL", {"\u3000"}},
        {"SELECT COUNT(*) FROM UMSÄTZE WHERE MENGE IN (" + inList(1000) + ")", {"1"}},
        {"SELECT COUNT(*) FROM UMSÄTZE WHERE MENGE IN (" + inList(1001) + ")",
         {"ORA-01795: maximum number of expressions in a list is 1000"}},
        {"SELECT DISTINCT STRAßE FROM UMSÄTZE ORDER BY MENGE",
         {"ORA-01791: not a SELECTed expression"}},
        {"SELECT DISTINCT STRAßE, MENGE FROM UMSÄTZE ORDER BY MENGE", {"a|2"}},
        {"SELECT DISTINCT MENGE + 1 FROM UMSÄTZE ORDER BY MENGE + 1", {"3"}},
        {"SELECT TO_DATE('2001-02-30', 'YYYY-MM-DD') FROM DUAL",
         {"ORA-01839: date not valid for month specified"}},
        {"SELECT TO_DATE('2001-02-32', 'YYYY-MM-DD') FROM DUAL",
         {"ORA-01847: day of month must be between 1 and last day of month"}}};
    for (const auto& [statement, expected] : cases)
        EXPECT_EQ(answer(statement), expected) << statement.substr(0, 80);
    // Headings of unnamed expressions: names upper-cased, quoted text kept.
    EXPECT_EQ(s().query("SELECT menge + 1, 'ä' || umsätze.straße FROM umsätze")->columnNames(),
              (std::vector<std::string>{"MENGE+1", "'ä'||UMSÄTZE.STRAßE"}));
}

class NumbersTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute("CREATE TABLE N (ID NUMBER(3), X NUMBER, M NUMBER(19,4), V VARCHAR2(10))");
    }
};

TEST_F(NumbersTest, ValuesAreKeptAndPrintedExactly) {
    // As written in INSERT INTO N (ID, X) VALUES (1, value), and as printed.
    const std::pair<const char*, const char*> cases[] = {
        {"0.14285714285714285", "0.14285714285714285"},
        {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678"},
        {"7.50", "7.5"},
        {"1E-130", "1E-130"},
        {"9.99E125", "9.99E+125"},
        {"1E-200", "0"},
        {"1.234567890123456789012345678901234567891", "1.23456789012345678901234567890123456789"}};
    for (const auto& [value, printed] : cases) {
        s().execute("DELETE FROM N");
        s().execute(std::string("INSERT INTO N (ID, X) VALUES (1, ") + value + ")");
        EXPECT_EQ(answer("SELECT X FROM N"), Rows{printed}) << value;
    }
}

TEST_F(NumbersTest, DeclaredScaleRoundsAndPrecisionLimits) {
    const std::pair<const char*, Rows> cases[] = {
        {"INSERT INTO N (ID, M) VALUES (1, 922337203685477.5807)", {}},
        {"SELECT M FROM N", {"922337203685477.5807"}},
        {"UPDATE N SET M = M + 0.00005", {}},
        {"SELECT M, M * 2 FROM N", {"922337203685477.5808|1844674407370955.1616"}},
        {"INSERT INTO N (ID, X) VALUES (1E300, 1)", {"ORA-01426: numeric overflow"}},
        {"INSERT INTO N (ID) VALUES (1000)",
         {"ORA-01438: value larger than specified precision allowed for this column"}}};
    for (const auto& [statement, expected] : cases)
        EXPECT_EQ(answer(statement), expected) << statement;
}

TEST_F(NumbersTest, ComparisonSortingAndAggregatesUseTheExactValues) {
    const char* values[] = {"0.30000000000000001", "0.3", "-1", "-1.5", "10",
                            "9.99999999999999999"};
    int id = 0;
    for (const char* v : values)
        s().execute("INSERT INTO N (ID, X) VALUES (" + std::to_string(++id) + ", " + v + ")");
    const std::pair<const char*, Rows> cases[] = {
        {"SELECT X FROM N ORDER BY X",
         {"-1.5", "-1", "0.3", "0.30000000000000001", "9.99999999999999999", "10"}},
        {"SELECT COUNT(*) FROM N WHERE X > 0.3", {"3"}},
        {"SELECT SUM(X), MIN(X), MAX(X) FROM N", {"18.1|-1.5|10"}},
        {"SELECT LTRIM(X, '-'), TO_CHAR(X) || '|' FROM N WHERE ID = 4", {"1.5|-1.5|"}}};
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(answer(query), expected) << query;
}

TEST_F(NumbersTest, TextComparedWithANumberIsConvertedToANumber) {
    for (const char* row : {"(1, '01')", "(2, ' 1.0 ')", "(3, '2')"})
        s().execute(std::string("INSERT INTO N (ID, V) VALUES ") + row);
    const std::pair<const char*, Rows> cases[] = {
        {"SELECT ID FROM N WHERE V = 1 ORDER BY ID", {"1", "2"}},
        {"SELECT ID FROM N WHERE V = '1'", {}}};
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(answer(query), expected) << query;
    s().execute("INSERT INTO N (ID, V) VALUES (4, 'abc')");
    EXPECT_EQ(answer("SELECT ID FROM N WHERE V = 1"), Rows{"ORA-01722: invalid number"});
}

}  // namespace
}  // namespace malvorn::localserver
