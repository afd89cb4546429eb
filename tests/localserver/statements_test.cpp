// Statements Oracle runs whose size or shape once failed or ran away here:
// long chains, nested subqueries, deep nesting, RAW conversions and (+).
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

std::string repeat(const std::string& part, int count, const std::string& separator = "") {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += (i ? separator : "") + part;
    return out;
}

class StatementsTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        for (const char* statement :
             {"CREATE TABLE A (CODE NUMBER(5), NAME VARCHAR2(10), BIN RAW(4))",
              "CREATE TABLE B (CODE NUMBER(5), QTY NUMBER(5))",
              "INSERT INTO A (CODE, NAME) VALUES (1, 'one')",
              "INSERT INTO A (CODE, NAME) VALUES (2, 'two')", "INSERT INTO B VALUES (1, 10)",
              "INSERT INTO B VALUES (1, 11)"})
            s().execute(statement);
    }
};

TEST_F(StatementsTest, LongChainsAndNestedSubqueriesRun) {
    std::string nested = "SELECT 7 FROM DUAL";
    for (int i = 0; i < 7; ++i)
        nested = "SELECT (" + nested + ") FROM DUAL";
    const std::pair<std::string, Rows> cases[] = {
        {"SELECT COUNT(*) FROM A WHERE " + repeat("CODE = 9", 89, " OR ") + " OR CODE = 2", {"1"}},
        {"SELECT " + repeat("'ab'", 17, " || ") + " FROM DUAL", {repeat("ab", 17)}},
        {"SELECT " + repeat("1", 24, " + ") + " FROM DUAL", {"24"}},
        {"SELECT " + repeat("2", 10, " * ") + " - 24 FROM DUAL", {"1000"}},
        {nested, {"7"}},
        {"SELECT (SELECT QTY FROM B WHERE QTY > 10) FROM DUAL", {"11"}},
        {"SELECT (SELECT QTY FROM B) FROM DUAL", {"ORA-01427"}},
        {"SELECT (SELECT QTY FROM B WHERE QTY > 99) FROM DUAL", {"<null>"}},
        {"SELECT CODE FROM A WHERE CODE", {"ORA-00920"}},
        {"SELECT CODE FROM A WHERE NOT (CODE = 1 OR NAME)", {"ORA-00920"}},
        {"SELECT CODE FROM A WHERE NOT (CODE = 1 OR NAME IS NULL)", {"2"}},
        {"SELECT " + repeat("'x'", 2, " || ") + " || RPAD FROM DUAL", {"ORA-00904"}}};
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(answer(query, true), expected) << query.substr(0, 80);
}

// `inner` wrapped in `levels` scalar subqueries, each reading its one value
// from `from`.
std::string nestedIn(std::string inner, int levels, const std::string& from = "DUAL") {
    for (int i = 0; i < levels; ++i)
        inner = "(SELECT " + inner + " FROM " + from + ")";
    return inner;
}

struct NestingCase {
    const char* name;
    std::string statement;
    Rows expected;  // the rows, or the error's code
};

// Oracle runs scalar subqueries nested far deeper than SQLite's parser
// follows; those that read nothing of the queries around them are worked out
// first, those that do stay in place.
TEST_F(StatementsTest, DeeplyNestedScalarSubqueriesRun) {
    const NestingCase cases[] = {
        {"twelve", "SELECT " + nestedIn("1", 12) + " FROM DUAL", {"1"}},
        {"thirty over a table",
         "SELECT NAME, " + nestedIn("(SELECT MAX(QTY) FROM B)", 30) + " FROM A ORDER BY CODE",
         {"one|11", "two|11"}},
        {"eighty", "SELECT " + nestedIn("'x'", 80) + " FROM DUAL", {"x"}},
        {"correlated at the bottom",
         "SELECT " + nestedIn("A.NAME", 8) + " FROM A ORDER BY CODE",
         {"one", "two"}},
        {"correlated inside an uncorrelated nest",
         "SELECT CODE FROM A WHERE CODE = " +
             nestedIn("(SELECT MIN(CODE) FROM B WHERE B.QTY > " + nestedIn("10", 10) + ")", 10),
         {"1"}},
        // Worked out early, a failing value fails only where Oracle reaches it.
        {"too many rows, no row reaches it",
         "SELECT " + nestedIn("(SELECT QTY FROM B)", 12) + " FROM A WHERE CODE > 5",
         {}},
        {"too many rows reached",
         "SELECT " + nestedIn("(SELECT QTY FROM B)", 12) + " FROM A",
         {"ORA-01427"}},
        {"in a condition", "SELECT COUNT(*) FROM B WHERE QTY > " + nestedIn("10", 20), {"1"}}};
    for (const auto& c : cases)
        EXPECT_EQ(answer(c.statement, true), c.expected) << c.name;
}

// A value worked out early belongs to its statement: the same INSERT sent
// again reads the rows as they are then.
TEST_F(StatementsTest, EarlyValuesAreReadAgainByEachStatement) {
    const std::string insert =
        "INSERT INTO B (CODE, QTY) VALUES (3, " + nestedIn("(SELECT MAX(QTY) FROM B)", 6) + ")";
    s().execute(insert);
    s().execute(insert);
    EXPECT_EQ(answer("SELECT QTY FROM B WHERE CODE = 3 ORDER BY QTY"), (Rows{"11", "11"}));
    s().execute("UPDATE B SET QTY = 20 WHERE CODE = 3");
    s().execute(insert);
    EXPECT_EQ(answer("SELECT MAX(QTY) FROM B WHERE CODE = 3"), Rows{"20"});
    EXPECT_EQ(answer("SELECT COUNT(*) FROM B WHERE CODE = 3"), Rows{"3"});
}

TEST_F(StatementsTest, NestingBeyondTheLimitIsRefusedNotFollowed) {
    // Oracle documents 255 levels of subqueries in WHERE; no input may take
    // the process down however deep it goes.
    std::string subqueries = "SELECT 1 FROM DUAL";
    for (int i = 0; i < 300; ++i)
        subqueries = "SELECT (" + subqueries + ") FROM DUAL";
    const std::string statements[] = {
        "SELECT " + std::string(7000, '(') + "1" + std::string(7000, ')') + " FROM DUAL",
        subqueries, "SELECT " + repeat("- ", 5000) + "1 FROM DUAL",
        "SELECT 1 FROM DUAL WHERE " + repeat("NOT ", 5000) + "1 = 1"};
    for (const auto& statement : statements)
        EXPECT_EQ(answer(statement, true), Rows{"ORA-00036"}) << statement.substr(0, 40);
    EXPECT_EQ(answer("SELECT COUNT(*) FROM A"), Rows{"2"});
}

TEST_F(StatementsTest, RawValuesAreWrittenAndReadAsHexadecimal) {
    const std::pair<const char*, Rows> cases[] = {
        {"UPDATE A SET BIN = HEXTORAW('0a0B') WHERE CODE = 1", {}},
        {"SELECT RAWTOHEX(BIN), BIN FROM A WHERE CODE = 1", {"0A0B|0A0B"}},
        {"SELECT HEXTORAW('ABC') FROM DUAL", {"0ABC"}},
        {"SELECT HEXTORAW('0G') FROM DUAL", {"ORA-01465"}},
        {"UPDATE A SET BIN = HEXTORAW('0102030405') WHERE CODE = 1", {"ORA-12899"}}};
    for (const auto& [statement, expected] : cases)
        EXPECT_EQ(answer(statement, true), expected) << statement;
}

TEST_F(StatementsTest, TheOuterJoinMarkKeepsRowsWithoutAPartner) {
    const std::pair<const char*, Rows> cases[] = {
        {"SELECT A.CODE, B.QTY FROM A, B WHERE A.CODE = B.CODE(+) ORDER BY 1, 2",
         {"1|10", "1|11", "2|<null>"}},
        {"SELECT x.NAME, y.QTY FROM B y, A x WHERE y.CODE(+) = x.CODE AND x.CODE = 2",
         {"two|<null>"}},
        {"SELECT A.CODE FROM A, B WHERE A.CODE = B.CODE(+) AND B.QTY(+) = 11 ORDER BY 1",
         {"1", "2"}},
        {"SELECT A.CODE FROM A, B WHERE A.CODE = B.CODE(+) OR A.CODE = 1", {"ORA-01719"}},
        {"SELECT A.CODE FROM A JOIN B ON A.CODE = B.CODE WHERE A.CODE = B.CODE(+)", {"ORA-25156"}},
        {"SELECT A.CODE FROM A, B WHERE A.CODE(+) = B.CODE(+)", {"ORA-01719"}}};
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(answer(query, true), expected) << query;
}

}  // namespace
}  // namespace malvorn::localserver
