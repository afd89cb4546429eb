// Whole queries: set operations, inline views, WITH, ROWNUM, OFFSET/FETCH
// and NULLS FIRST/LAST.
#include <gtest/gtest.h>

#include "steps.h"

namespace malvorn::localserver {
namespace {

class QueriesTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        createDepartments();
    }
};

// Set operators run left to right; the branches match in number and type group.
TEST_F(QueriesTest, SetOperationsCombineBranchesLeftToRight) {
    runSteps({
        {"SELECT DEPT FROM E UNION SELECT DEPT FROM G ORDER BY 1", {"10", "20", "30", "<null>"}},
        {"SELECT DEPT FROM E WHERE ID < 3 UNION ALL SELECT DEPT FROM G WHERE DEPT = 10 ORDER BY "
         "DEPT",
         {"10", "10", "10"}},
        {"SELECT DEPT FROM G MINUS SELECT DEPT FROM E", {"30"}},
        {"SELECT DEPT FROM G INTERSECT SELECT DEPT FROM E ORDER BY DEPT DESC", {"20", "10"}},
        // Left to right: (G UNION E) MINUS G leaves E's NULL only.
        {"SELECT DEPT FROM G UNION SELECT DEPT FROM E MINUS SELECT DEPT FROM G", {"<null>"}},
        {"SELECT DEPT FROM G UNION (SELECT DEPT FROM E MINUS SELECT DEPT FROM G) ORDER BY 1 NULLS "
         "FIRST",
         {"<null>", "10", "20", "30"}},
        // The first branch names the columns; an alias sorts.
        {"SELECT NAME AS N, ID FROM E WHERE ID = 1 UNION SELECT DNAME, DEPT FROM G WHERE DEPT = 30 "
         "ORDER BY N DESC",
         {"Z|30", "A|1"}},
        {"SELECT ID FROM E UNION SELECT DEPT, DNAME FROM G", {"ORA-01789"}},
        {"SELECT ID FROM E UNION SELECT DNAME FROM G", {"ORA-01790"}},
        {"SELECT ID FROM E UNION SELECT NULL FROM G ORDER BY ID + 1", {"ORA-01785"}},
        {"SELECT ID FROM E UNION SELECT DEPT FROM G ORDER BY NAME", {"ORA-00904"}},
        {"SELECT ID FROM E UNION SELECT DEPT FROM G FOR UPDATE", {"ORA-01786"}},
        {"SELECT COUNT(*) FROM E WHERE DEPT IN (SELECT 10 FROM DUAL UNION SELECT 20 FROM DUAL)",
         {"4"}},
    });
}

// A query stands where a table would; WITH t (a, b) names the columns.
TEST_F(QueriesTest, InlineViewsAndWithQueriesStandForTables) {
    runSteps({
        {"SELECT V.N, V.C FROM (SELECT DEPT N, COUNT(*) C FROM E GROUP BY DEPT) V WHERE V.N IS NOT "
         "NULL ORDER BY V.N",
         {"10|2", "20|2"}},
        {"SELECT G.DNAME, T.TOTAL FROM G, (SELECT DEPT, SUM(ID) TOTAL FROM E GROUP BY DEPT) T "
         "WHERE G.DEPT = T.DEPT(+) ORDER BY 1",
         {"X|3", "Y|7", "Z|<null>"}},
        {"SELECT * FROM (SELECT ID, NAME FROM E WHERE ID > 3)", {"4|D", "5|E"}},
        {"WITH D AS (SELECT DEPT FROM G WHERE DEPT > 10), N (K) AS (SELECT COUNT(*) FROM E, D "
         "WHERE E.DEPT = D.DEPT) SELECT K FROM N",
         {"2"}},
        {"WITH A AS (SELECT 1 X FROM DUAL) SELECT X FROM A UNION ALL SELECT X + 1 FROM A",
         {"1", "2"}},
        {"SELECT (WITH W AS (SELECT MAX(ID) M FROM E) SELECT M FROM W) FROM DUAL", {"5"}},
        {"WITH N (A, B) AS (SELECT 1 FROM DUAL) SELECT A FROM N", {"ORA-32038"}},
        // A WITH query does not see itself, nor an inline view its neighbour.
        {"WITH R AS (SELECT * FROM R) SELECT * FROM R", {"ORA-00942"}},
        {"SELECT * FROM G, (SELECT * FROM E WHERE E.DEPT = G.DEPT) V", {"ORA-00904"}},
        {"SELECT NOPE FROM (SELECT ID FROM E)", {"ORA-00904"}},
        {"DELETE FROM (SELECT ID FROM E)", {"ORA-00903"}},
    });
}

// ROWNUM counts the rows as they pass WHERE, before ORDER BY, so ROWNUM > 1
// is never true; an inline view's ORDER BY gives the top-N query.
TEST_F(QueriesTest, RownumCountsRowsAsTheyPass) {
    runSteps({
        {"SELECT * FROM (SELECT ID FROM E ORDER BY ID DESC) WHERE ROWNUM <= 2", {"5", "4"}},
        {"SELECT NAME FROM (SELECT NAME FROM E ORDER BY NAME DESC) WHERE ROWNUM < 3", {"E", "D"}},
        {"SELECT ROWNUM, NAME FROM (SELECT NAME FROM E ORDER BY ID DESC) WHERE ROWNUM <= 3 AND "
         "NAME <> 'D'",
         {"1|E", "2|C", "3|B"}},
        {"SELECT COUNT(*) FROM E WHERE ROWNUM <= 3", {"3"}},
        {"SELECT COUNT(*) FROM E WHERE ROWNUM > 1", {"0"}},
        {"SELECT COUNT(*) FROM E WHERE ROWNUM = 1", {"1"}},
        {"SELECT COUNT(*) FROM E WHERE ROWNUM = 2", {"0"}},
        {"SELECT COUNT(*) FROM E WHERE ROWNUM >= 1 AND DEPT = 10", {"2"}},
        {"SELECT COUNT(*) FROM E WHERE 3 > ROWNUM", {"2"}},
        {"SELECT * FROM (SELECT ROWNUM R, ID FROM (SELECT ID FROM E ORDER BY ID)) WHERE R BETWEEN "
         "2 AND 3",
         {"2|2", "3|3"}},
        {"SELECT ID FROM E WHERE ROWNUM <= 2 OR ID = 5", {"ORA-00976"}},
    });
}

// A negative offset is 0, NULL gives no rows, fractions are cut; WITH TIES
// adds the rows sharing the last row's key.
TEST_F(QueriesTest, OffsetAndFetchFirstLimitTheSortedRows) {
    runSteps({
        {"SELECT ID FROM E ORDER BY ID FETCH FIRST 2 ROWS ONLY", {"1", "2"}},
        {"SELECT ID FROM E ORDER BY ID OFFSET 1 ROW FETCH NEXT 2.9 ROWS ONLY", {"2", "3"}},
        {"SELECT ID FROM E ORDER BY ID OFFSET 3 ROWS", {"4", "5"}},
        {"SELECT ID FROM E ORDER BY ID OFFSET -4 ROWS FETCH FIRST ROW ONLY", {"1"}},
        {"SELECT ID FROM E ORDER BY ID OFFSET NULL ROWS", {}},
        {"SELECT ID FROM E ORDER BY ID FETCH FIRST 0 ROWS ONLY", {}},
        {"SELECT DEPT, ID FROM E ORDER BY DEPT FETCH FIRST 1 ROWS WITH TIES", {"10|1", "10|2"}},
        {"SELECT DEPT FROM E ORDER BY DEPT DESC NULLS LAST OFFSET 1 ROWS FETCH FIRST 2 ROWS WITH "
         "TIES",
         {"20", "10", "10"}},
        {"SELECT NAME FROM E ORDER BY DEPT DESC NULLS LAST, ID OFFSET 1 ROWS FETCH FIRST 2 ROWS "
         "WITH TIES",
         {"D", "A"}},
        {"SELECT ID FROM E FETCH FIRST 2 ROWS WITH TIES", {"1", "2"}},
        // 40 percent of five rows is two; 30 percent is 1.5, rounded up.
        {"SELECT ID FROM E ORDER BY ID DESC FETCH FIRST 40 PERCENT ROWS ONLY", {"5", "4"}},
        {"SELECT ID FROM E ORDER BY ID FETCH FIRST 30 PERCENT ROWS ONLY", {"1", "2"}},
        {"SELECT DEPT FROM E UNION SELECT DEPT FROM G ORDER BY 1 FETCH FIRST 2 ROWS ONLY",
         {"10", "20"}},
        {"SELECT (SELECT ID FROM E ORDER BY ID DESC FETCH FIRST 1 ROW ONLY) FROM DUAL", {"5"}},
    });
}

// The counts are literals, correlation variables or subqueries, else
// ORA-62550; a correlated count is the enclosing row's.
TEST_F(QueriesTest, RowLimitCountsReadOnlyValuesFixedBeforeTheRows) {
    runSteps({
        {"SELECT ID FROM E ORDER BY ID OFFSET ID ROWS", {"ORA-62550"}},
        {"SELECT ID FROM E ORDER BY ID OFFSET 1 ROWS FETCH FIRST 50 PERCENT ROWS WITH TIES",
         {"2", "3", "4"}},
        {"SELECT ID FROM E ORDER BY ID OFFSET DEPT ROWS FETCH FIRST 50 PERCENT ROWS WITH TIES",
         {"ORA-62550"}},
        {"SELECT ID FROM E ORDER BY ID FETCH FIRST ROWNUM ROWS ONLY", {"ORA-62550"}},
        {"SELECT ID FROM E ORDER BY ID FETCH FIRST RANK() OVER (ORDER BY ID) ROWS ONLY",
         {"ORA-62550"}},
        {"SELECT ID FROM E ORDER BY ID DESC OFFSET (SELECT COUNT(*) FROM G) ROWS FETCH NEXT "
         "(SELECT 1 FROM DUAL) + 0.5 ROWS ONLY",
         {"2"}},
        {"SELECT ID FROM E ORDER BY ID OFFSET (SELECT NULL FROM DUAL) ROWS", {}},
        {"SELECT DEPT, (SELECT COUNT(*) FROM (SELECT ID FROM E X ORDER BY ID OFFSET 1 ROWS FETCH "
         "FIRST G.DEPT / 10 ROWS ONLY)) FROM G ORDER BY DEPT",
         {"10|1", "20|2", "30|3"}},
        {"SELECT DEPT, (SELECT MAX(ID) FROM (SELECT ID FROM E X ORDER BY ID DESC OFFSET G.DEPT / "
         "10 ROWS)) FROM G ORDER BY DEPT",
         {"10|4", "20|3", "30|2"}},
    });
}

// NULLs sort last going up and first going down unless told otherwise.
TEST_F(QueriesTest, NullsFirstAndLastAreHonoured) {
    runSteps({
        {"SELECT NAME FROM E ORDER BY DEPT NULLS FIRST, ID", {"E", "A", "B", "C", "D"}},
        {"SELECT NAME FROM E ORDER BY DEPT DESC NULLS LAST, ID", {"C", "D", "A", "B", "E"}},
        {"SELECT NAME FROM E ORDER BY DEPT DESC, ID", {"E", "C", "D", "A", "B"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
