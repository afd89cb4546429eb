// ANSI joins in parentheses, nested either way, with outer joins whose
// nesting changes the rows; each ON sees only its own join's tables.
#include <gtest/gtest.h>

#include "steps.h"

namespace malvorn::localserver {
namespace {

// A: ids 1 2 3; B: ids 1 2 4; C: ids 1 4 5. So B with C is ids 1 and 4,
// A with B is ids 1 and 2, and only id 1 is in all three.
class JoinsTest : public StepTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        executeAll({"CREATE TABLE A (ID NUMBER, V VARCHAR2(5))",
                    "CREATE TABLE B (ID NUMBER, V VARCHAR2(5))",
                    "CREATE TABLE C (ID NUMBER, V VARCHAR2(5))", "INSERT INTO A VALUES (1, 'a1')",
                    "INSERT INTO A VALUES (2, 'a2')", "INSERT INTO A VALUES (3, 'a3')",
                    "INSERT INTO B VALUES (1, 'b1')", "INSERT INTO B VALUES (2, 'b2')",
                    "INSERT INTO B VALUES (4, 'b4')", "INSERT INTO C VALUES (1, 'c1')",
                    "INSERT INTO C VALUES (4, 'c4')", "INSERT INTO C VALUES (5, 'c5')"});
    }
};

TEST_F(JoinsTest, InnerJoinsNestEitherWay) {
    runSteps({
        {"SELECT A.V, B.V, C.V FROM A INNER JOIN (B INNER JOIN C ON B.ID = C.ID) ON A.ID = B.ID",
         {"a1|b1|c1"}},
        {"SELECT A.V, B.V, C.V FROM (A INNER JOIN B ON A.ID = B.ID) INNER JOIN C ON B.ID = C.ID",
         {"a1|b1|c1"}},
        {"SELECT A.V, C.V FROM ((A JOIN B ON A.ID = B.ID)) JOIN C ON C.ID = B.ID", {"a1|c1"}},
        // The nested tables are named in WHERE and ORDER BY as any other.
        {"SELECT B.V FROM A JOIN (B JOIN C ON B.ID = C.ID) ON A.ID = B.ID WHERE C.V = 'c1' ORDER "
         "BY C.V",
         {"b1"}},
        // A comma before a group: 3 rows of C times 2 of A with B.
        {"SELECT COUNT(*) FROM C, (A JOIN B ON A.ID = B.ID)", {"6"}},
        // ROWNUM reads the joined rows through a subquery of its own.
        {"SELECT ROWNUM, B.V FROM A JOIN (B JOIN C ON B.ID = C.ID) ON A.ID = B.ID WHERE ROWNUM <= "
         "5",
         {"1|b1"}},
    });
}

// A LEFT JOIN to a group keeps every row of A; the same joins unnested
// lose the rows the inner join finds no match for.
TEST_F(JoinsTest, OuterJoinsFollowTheNesting) {
    runSteps({
        {"SELECT A.V, B.V, C.V FROM A LEFT JOIN (B JOIN C ON B.ID = C.ID) ON A.ID = B.ID ORDER BY "
         "A.V",
         {"a1|b1|c1", "a2|<null>|<null>", "a3|<null>|<null>"}},
        {"SELECT A.V, B.V, C.V FROM A LEFT JOIN B ON A.ID = B.ID JOIN C ON B.ID = C.ID ORDER BY "
         "A.V",
         {"a1|b1|c1"}},
        {"SELECT A.V, B.V, C.V FROM (A LEFT OUTER JOIN B ON A.ID = B.ID) LEFT OUTER JOIN C ON B.ID "
         "= C.ID ORDER BY A.V",
         {"a1|b1|c1", "a2|b2|<null>", "a3|<null>|<null>"}},
        // B keeps b2 (no C); b4 finds no A.
        {"SELECT A.V, B.V, C.V FROM A RIGHT OUTER JOIN (B LEFT JOIN C ON B.ID = C.ID) ON A.ID = "
         "B.ID ORDER BY B.V",
         {"a1|b1|c1", "a2|b2|<null>", "<null>|b4|c4"}},
        // C's 4 and 5 find no pair of A and B.
        {"SELECT A.V, B.V, C.V FROM (A JOIN B ON A.ID = B.ID) RIGHT JOIN C ON B.ID = C.ID ORDER BY "
         "C.V",
         {"a1|b1|c1", "<null>|<null>|c4", "<null>|<null>|c5"}},
        {"SELECT A.V, B.V, C.V FROM A FULL JOIN (B JOIN C ON B.ID = C.ID) ON A.ID = B.ID ORDER BY "
         "A.V, B.V",
         {"a1|b1|c1", "a2|<null>|<null>", "a3|<null>|<null>", "<null>|b4|c4"}},
    });
}

TEST_F(JoinsTest, GroupsNestSeveralLevels) {
    runSteps({
        // C with A2 is id 1 only, so B with that is b1 alone.
        {"SELECT A.V, B.V, C.V, A2.V FROM A LEFT JOIN (B JOIN (C JOIN A A2 ON C.ID = A2.ID) ON "
         "B.ID = C.ID) ON A.ID = B.ID ORDER BY A.V",
         {"a1|b1|c1|a1", "a2|<null>|<null>|<null>", "a3|<null>|<null>|<null>"}},
        // A group that starts with a group: b4 with c4 keeps it, A2 missing.
        {"SELECT B.V, C.V, A2.V FROM ((B JOIN C ON B.ID = C.ID) LEFT JOIN A A2 ON A2.ID = C.ID) "
         "ORDER BY B.V",
         {"b1|c1|a1", "b4|c4|<null>"}},
        {"SELECT A.V, X.V, C.V FROM A LEFT JOIN ((SELECT ID, V FROM B WHERE ID < 4) X JOIN C ON "
         "X.ID = C.ID) ON A.ID = X.ID ORDER BY A.V",
         {"a1|b1|c1", "a2|<null>|<null>", "a3|<null>|<null>"}},
    });
}

// Queries in parentheses are still inline views.
TEST_F(JoinsTest, ParenthesizedQueriesStayInlineViews) {
    runSteps({
        {"SELECT COUNT(*) FROM ((SELECT ID FROM A) UNION (SELECT ID FROM B))", {"4"}},
        {"SELECT COUNT(*) FROM ((SELECT ID FROM A))", {"3"}},
        {"SELECT COUNT(*) FROM ((SELECT ID FROM A) ORDER BY 1)", {"3"}},
        {"SELECT X.ID FROM (SELECT ID FROM A) X JOIN B ON B.ID = X.ID ORDER BY 1", {"1", "2"}},
        // An inline view first in a group, in parentheses of its own.
        {"SELECT X.ID, B.V FROM (((SELECT ID FROM A)) X JOIN B ON B.ID = X.ID) ORDER BY 1",
         {"1|b1", "2|b2"}},
        // A compound inline view joined: 1 to 5 with B's 1, 2 and 4.
        {"SELECT X.ID FROM ((SELECT ID FROM A) UNION (SELECT ID FROM C)) X JOIN B ON B.ID = X.ID "
         "ORDER BY 1",
         {"1", "2", "4"}},
    });
}

// A table outside the group, or joined after the ON, is ORA-00904.
TEST_F(JoinsTest, EachOnSeesOnlyItsOwnJoin) {
    runSteps({
        {"SELECT A.V FROM A JOIN (B JOIN C ON A.ID = C.ID) ON A.ID = B.ID", {"ORA-00904"}},
        {"SELECT A.V FROM A JOIN B ON C.ID = B.ID JOIN C ON A.ID = C.ID", {"ORA-00904"}},
        {"SELECT A.V FROM A, B JOIN C ON A.ID = C.ID", {"ORA-00904"}},
        // The group's own ON sees the whole group.
        {"SELECT A.V FROM A JOIN (B JOIN C ON B.ID = C.ID) ON A.ID = C.ID", {"a1"}},
        {"SELECT * FROM (A)", {"ORA-00903"}},
        {"SELECT * FROM (A JOIN B ON A.ID = B.ID", {"ORA-00907"}},
        {"SELECT * FROM A JOIN (B JOIN C ON B.ID = C.ID)", {"ORA-00905"}},
        {"SELECT * FROM A, (B JOIN C ON B.ID = C.ID) WHERE A.ID = B.ID(+)", {"ORA-25156"}},
    });
}

TEST_F(JoinsTest, ViewsKeepTheNesting) {
    s().execute(
        "CREATE VIEW ABC AS SELECT A.V AV, C.V CV FROM A LEFT JOIN (B JOIN C ON B.ID = C.ID) ON "
        "A.ID = B.ID");
    runSteps({
        {"SELECT AV, CV FROM ABC ORDER BY AV", {"a1|c1", "a2|<null>", "a3|<null>"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
