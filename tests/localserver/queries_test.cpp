// Whole queries as Oracle 19c documents them: set operations, inline views,
// WITH, ROWNUM, OFFSET/FETCH and NULLS FIRST/LAST.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

struct QueryCase {
    const char* statement;
    Rows expected;  // the rows in order, or the error's code
};

class QueriesTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        for (const char* statement : {
                 "CREATE TABLE E (ID NUMBER, NAME VARCHAR2(10), DEPT NUMBER)",
                 "CREATE TABLE G (DEPT NUMBER, DNAME VARCHAR2(10))",
                 "INSERT INTO E VALUES (1, 'A', 10)",
                 "INSERT INTO E VALUES (2, 'B', 10)",
                 "INSERT INTO E VALUES (3, 'C', 20)",
                 "INSERT INTO E VALUES (4, 'D', 20)",
                 "INSERT INTO E VALUES (5, 'E', NULL)",
                 "INSERT INTO G VALUES (10, 'X')",
                 "INSERT INTO G VALUES (20, 'Y')",
                 "INSERT INTO G VALUES (30, 'Z')",
             })
            s().execute(statement);
    }

    Rows run(const std::string& statement) {
        try {
            return rows(s(), statement);
        } catch (const oracle::OracleError& e) {
            return {e.description().substr(0, 9)};
        }
    }

    void check(const std::vector<QueryCase>& cases) {
        for (const auto& c : cases)
            EXPECT_EQ(run(c.statement), c.expected) << c.statement;
    }
};

// "All set operators have equal precedence ... evaluated from the left to
// right"; the branches "must match in number and must be in the same data
// type group" (SQL Language Reference, The UNION [ALL], INTERSECT, MINUS
// Operators, docs.oracle.com/database/122/SQLRF/The-UNION-ALL-INTERSECT-MINUS-Operators.htm).
TEST_F(QueriesTest, SetOperationsCombineBranchesLeftToRight) {
    check({
        {.statement = "SELECT DEPT FROM E UNION SELECT DEPT FROM G ORDER BY 1",
         .expected = {"10", "20", "30", "<null>"}},
        {.statement = "SELECT DEPT FROM E WHERE ID < 3 UNION ALL SELECT DEPT FROM G "
                      "WHERE DEPT = 10 ORDER BY DEPT",
         .expected = {"10", "10", "10"}},
        {.statement = "SELECT DEPT FROM G MINUS SELECT DEPT FROM E", .expected = {"30"}},
        {.statement = "SELECT DEPT FROM G INTERSECT SELECT DEPT FROM E ORDER BY DEPT DESC",
         .expected = {"20", "10"}},
        // Left to right: (G UNION E) MINUS G leaves E's NULL only.
        {.statement = "SELECT DEPT FROM G UNION SELECT DEPT FROM E MINUS SELECT DEPT FROM G",
         .expected = {"<null>"}},
        {.statement = "SELECT DEPT FROM G UNION (SELECT DEPT FROM E MINUS SELECT DEPT FROM G) "
                      "ORDER BY 1 NULLS FIRST",
         .expected = {"<null>", "10", "20", "30"}},
        // The first branch names the columns; an alias sorts.
        {.statement = "SELECT NAME AS N, ID FROM E WHERE ID = 1 UNION SELECT DNAME, DEPT FROM G "
                      "WHERE DEPT = 30 ORDER BY N DESC",
         .expected = {"Z|30", "A|1"}},
        {.statement = "SELECT ID FROM E UNION SELECT DEPT, DNAME FROM G",
         .expected = {"ORA-01789"}},
        {.statement = "SELECT ID FROM E UNION SELECT DNAME FROM G", .expected = {"ORA-01790"}},
        {.statement = "SELECT ID FROM E UNION SELECT NULL FROM G ORDER BY ID + 1",
         .expected = {"ORA-01785"}},
        {.statement = "SELECT ID FROM E UNION SELECT DEPT FROM G ORDER BY NAME",
         .expected = {"ORA-00904"}},
        {.statement = "SELECT ID FROM E UNION SELECT DEPT FROM G FOR UPDATE",
         .expected = {"ORA-01786"}},
        {.statement = "SELECT COUNT(*) FROM E WHERE DEPT IN (SELECT 10 FROM DUAL UNION SELECT 20 "
                      "FROM DUAL)",
         .expected = {"4"}},
    });
}

// Inline views and WITH: a query stands where a table would, by its alias or
// the WITH name, and WITH t (a, b) names the columns (SQL Language Reference,
// SELECT, subquery_factoring_clause).
TEST_F(QueriesTest, InlineViewsAndWithQueriesStandForTables) {
    check({
        {.statement = "SELECT V.N, V.C FROM (SELECT DEPT N, COUNT(*) C FROM E GROUP BY DEPT) V "
                      "WHERE V.N IS NOT NULL ORDER BY V.N",
         .expected = {"10|2", "20|2"}},
        {.statement = "SELECT G.DNAME, T.TOTAL FROM G, (SELECT DEPT, SUM(ID) TOTAL FROM E GROUP "
                      "BY DEPT) T WHERE G.DEPT = T.DEPT(+) ORDER BY 1",
         .expected = {"X|3", "Y|7", "Z|<null>"}},
        {.statement = "SELECT * FROM (SELECT ID, NAME FROM E WHERE ID > 3)",
         .expected = {"4|D", "5|E"}},
        {.statement = "WITH D AS (SELECT DEPT FROM G WHERE DEPT > 10), N (K) AS (SELECT COUNT(*) "
                      "FROM E, D WHERE E.DEPT = D.DEPT) SELECT K FROM N",
         .expected = {"2"}},
        {.statement = "WITH A AS (SELECT 1 X FROM DUAL) SELECT X FROM A UNION ALL SELECT X + 1 "
                      "FROM A",
         .expected = {"1", "2"}},
        {.statement = "SELECT (WITH W AS (SELECT MAX(ID) M FROM E) SELECT M FROM W) FROM DUAL",
         .expected = {"5"}},
        {.statement = "WITH N (A, B) AS (SELECT 1 FROM DUAL) SELECT A FROM N",
         .expected = {"ORA-32038"}},
        // A WITH query does not see itself, nor an inline view its neighbour.
        {.statement = "WITH R AS (SELECT * FROM R) SELECT * FROM R", .expected = {"ORA-00942"}},
        {.statement = "SELECT * FROM G, (SELECT * FROM E WHERE E.DEPT = G.DEPT) V",
         .expected = {"ORA-00904"}},
        {.statement = "SELECT NOPE FROM (SELECT ID FROM E)", .expected = {"ORA-00904"}},
        {.statement = "DELETE FROM (SELECT ID FROM E)", .expected = {"ORA-00903"}},
    });
}

// ROWNUM counts the rows as they pass WHERE, before ORDER BY; "conditions
// testing for ROWNUM values greater than a positive integer are always
// false"; the ORDER BY in an inline view gives the top-N query (SQL Language
// Reference, ROWNUM Pseudocolumn,
// docs.oracle.com/cd/B13789_01/server.101/b10759/pseudocolumns008.htm).
TEST_F(QueriesTest, RownumCountsRowsAsTheyPass) {
    check({
        {.statement = "SELECT * FROM (SELECT ID FROM E ORDER BY ID DESC) WHERE ROWNUM <= 2",
         .expected = {"5", "4"}},
        {.statement = "SELECT NAME FROM (SELECT NAME FROM E ORDER BY NAME DESC) WHERE ROWNUM < 3",
         .expected = {"E", "D"}},
        {.statement = "SELECT ROWNUM, NAME FROM (SELECT NAME FROM E ORDER BY ID DESC) WHERE "
                      "ROWNUM <= 3 AND NAME <> 'D'",
         .expected = {"1|E", "2|C", "3|B"}},
        {.statement = "SELECT COUNT(*) FROM E WHERE ROWNUM <= 3", .expected = {"3"}},
        {.statement = "SELECT COUNT(*) FROM E WHERE ROWNUM > 1", .expected = {"0"}},
        {.statement = "SELECT COUNT(*) FROM E WHERE ROWNUM = 1", .expected = {"1"}},
        {.statement = "SELECT COUNT(*) FROM E WHERE ROWNUM = 2", .expected = {"0"}},
        {.statement = "SELECT COUNT(*) FROM E WHERE ROWNUM >= 1 AND DEPT = 10", .expected = {"2"}},
        {.statement = "SELECT COUNT(*) FROM E WHERE 3 > ROWNUM", .expected = {"2"}},
        {.statement = "SELECT * FROM (SELECT ROWNUM R, ID FROM (SELECT ID FROM E ORDER BY ID)) "
                      "WHERE R BETWEEN 2 AND 3",
         .expected = {"2|2", "3|3"}},
        {.statement = "SELECT ID FROM E WHERE ROWNUM <= 2 OR ID = 5", .expected = {"ORA-00976"}},
    });
}

// "If you specify a negative number, then offset is treated as 0. If you
// specify NULL ... then 0 rows are returned. If offset includes a fraction,
// then the fractional portion is truncated"; WITH TIES returns the rows with
// the last row's sort key; without rowcount one row (SQL Language Reference,
// SELECT, row_limiting_clause).
TEST_F(QueriesTest, OffsetAndFetchFirstLimitTheSortedRows) {
    check({
        {.statement = "SELECT ID FROM E ORDER BY ID FETCH FIRST 2 ROWS ONLY",
         .expected = {"1", "2"}},
        {.statement = "SELECT ID FROM E ORDER BY ID OFFSET 1 ROW FETCH NEXT 2.9 ROWS ONLY",
         .expected = {"2", "3"}},
        {.statement = "SELECT ID FROM E ORDER BY ID OFFSET 3 ROWS", .expected = {"4", "5"}},
        {.statement = "SELECT ID FROM E ORDER BY ID OFFSET -4 ROWS FETCH FIRST ROW ONLY",
         .expected = {"1"}},
        {.statement = "SELECT ID FROM E ORDER BY ID OFFSET NULL ROWS", .expected = {}},
        {.statement = "SELECT ID FROM E ORDER BY ID FETCH FIRST 0 ROWS ONLY", .expected = {}},
        {.statement = "SELECT DEPT, ID FROM E ORDER BY DEPT FETCH FIRST 1 ROWS WITH TIES",
         .expected = {"10|1", "10|2"}},
        {.statement = "SELECT DEPT FROM E ORDER BY DEPT DESC NULLS LAST OFFSET 1 ROWS FETCH "
                      "FIRST 2 ROWS WITH TIES",
         .expected = {"20", "10", "10"}},
        {.statement = "SELECT NAME FROM E ORDER BY DEPT DESC NULLS LAST, ID OFFSET 1 ROWS FETCH "
                      "FIRST 2 ROWS WITH TIES",
         .expected = {"D", "A"}},
        {.statement = "SELECT ID FROM E FETCH FIRST 2 ROWS WITH TIES", .expected = {"1", "2"}},
        // 40 percent of five rows is two; 30 percent is 1.5, rounded up.
        {.statement = "SELECT ID FROM E ORDER BY ID DESC FETCH FIRST 40 PERCENT ROWS ONLY",
         .expected = {"5", "4"}},
        {.statement = "SELECT ID FROM E ORDER BY ID FETCH FIRST 30 PERCENT ROWS ONLY",
         .expected = {"1", "2"}},
        {.statement = "SELECT DEPT FROM E UNION SELECT DEPT FROM G ORDER BY 1 FETCH FIRST 2 ROWS "
                      "ONLY",
         .expected = {"10", "20"}},
        {.statement = "SELECT (SELECT ID FROM E ORDER BY ID DESC FETCH FIRST 1 ROW ONLY) FROM DUAL",
         .expected = {"5"}},
    });
}

// The counts may be "literals, binds, correlation variables, or subqueries";
// anything else is ORA-62550 (Database Error Messages, ORA-62550). A
// correlated count is the enclosing row's.
TEST_F(QueriesTest, RowLimitCountsReadOnlyValuesFixedBeforeTheRows) {
    check({
        {.statement = "SELECT ID FROM E ORDER BY ID OFFSET ID ROWS", .expected = {"ORA-62550"}},
        {.statement = "SELECT ID FROM E ORDER BY ID OFFSET 1 ROWS FETCH FIRST 50 PERCENT ROWS "
                      "WITH TIES",
         .expected = {"2", "3", "4"}},
        {.statement = "SELECT ID FROM E ORDER BY ID OFFSET DEPT ROWS FETCH FIRST 50 PERCENT "
                      "ROWS WITH TIES",
         .expected = {"ORA-62550"}},
        {.statement = "SELECT ID FROM E ORDER BY ID FETCH FIRST ROWNUM ROWS ONLY",
         .expected = {"ORA-62550"}},
        {.statement = "SELECT ID FROM E ORDER BY ID FETCH FIRST RANK() OVER (ORDER BY ID) ROWS "
                      "ONLY",
         .expected = {"ORA-62550"}},
        {.statement = "SELECT ID FROM E ORDER BY ID DESC OFFSET (SELECT COUNT(*) FROM G) ROWS "
                      "FETCH NEXT (SELECT 1 FROM DUAL) + 0.5 ROWS ONLY",
         .expected = {"2"}},
        {.statement = "SELECT ID FROM E ORDER BY ID OFFSET (SELECT NULL FROM DUAL) ROWS",
         .expected = {}},
        {.statement = "SELECT DEPT, (SELECT COUNT(*) FROM (SELECT ID FROM E X ORDER BY ID "
                      "OFFSET 1 ROWS FETCH FIRST G.DEPT / 10 ROWS ONLY)) FROM G ORDER BY DEPT",
         .expected = {"10|1", "20|2", "30|3"}},
        {.statement = "SELECT DEPT, (SELECT MAX(ID) FROM (SELECT ID FROM E X ORDER BY ID DESC "
                      "OFFSET G.DEPT / 10 ROWS)) FROM G ORDER BY DEPT",
         .expected = {"10|4", "20|3", "30|2"}},
    });
}

// NULLs sort last going up and first going down, unless NULLS FIRST or NULLS
// LAST says otherwise (SQL Language Reference, SELECT, order_by_clause).
TEST_F(QueriesTest, NullsFirstAndLastAreHonoured) {
    check({
        {.statement = "SELECT NAME FROM E ORDER BY DEPT NULLS FIRST, ID",
         .expected = {"E", "A", "B", "C", "D"}},
        {.statement = "SELECT NAME FROM E ORDER BY DEPT DESC NULLS LAST, ID",
         .expected = {"C", "D", "A", "B", "E"}},
        {.statement = "SELECT NAME FROM E ORDER BY DEPT DESC, ID",
         .expected = {"E", "C", "D", "A", "B"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
