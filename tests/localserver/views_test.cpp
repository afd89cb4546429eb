// Views as Oracle 19c documents them (SQL Language Reference, CREATE VIEW,
// docs.oracle.com/en/database/oracle/oracle-database/19/sqlrf/CREATE-VIEW.html;
// DROP VIEW, .../sqlrf/DROP-VIEW.html; error texts from the Error Messages
// reference).
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

struct ViewCase {
    const char* statement;
    Rows expected;  // a query's rows, {} for a statement that runs, or the error's code
};

class ViewsTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        for (const char* statement : {
                 "CREATE TABLE E (ID NUMBER, NAME VARCHAR2(10), DEPT NUMBER)",
                 "CREATE TABLE G (DEPT NUMBER, DNAME VARCHAR2(10))",
                 "INSERT INTO E VALUES (1, 'A', 10)",
                 "INSERT INTO E VALUES (2, 'B', 10)",
                 "INSERT INTO E VALUES (3, 'C', 20)",
                 "INSERT INTO G VALUES (10, 'X')",
                 "CREATE VIEW V10 AS SELECT ID, NAME FROM E WHERE DEPT = 10",
             })
            s().execute(statement);
    }

    static void check(oracle::Session& session, const std::vector<ViewCase>& cases) {
        for (const auto& c : cases) {
            Rows got;
            try {
                if (std::string(c.statement).starts_with("SELECT"))
                    got = rows(session, c.statement);
                else
                    session.execute(c.statement);
            } catch (const oracle::OracleError& e) {
                got = {e.description().substr(0, 9)};
            }
            EXPECT_EQ(got, c.expected) << c.statement;
        }
    }
};

// "A view is a logical table based on one or more tables or views": queries
// name it as a table, and it shows the rows its query gives when read.
TEST_F(ViewsTest, QueriesReadTheViewsQuery) {
    check(s(), {
                   {.statement = "SELECT * FROM V10 ORDER BY ID", .expected = {"1|A", "2|B"}},
                   {.statement = "SELECT v.NAME, g.DNAME FROM V10 v JOIN G g ON g.DEPT = 10 "
                                 "WHERE v.ID = 2",
                    .expected = {"B|X"}},
                   {.statement = "SELECT NAME FROM SCOTT.V10 WHERE ID = 1", .expected = {"A"}},
                   {.statement = "INSERT INTO E VALUES (4, 'D', 10)", .expected = {}},
                   {.statement = "SELECT COUNT(*) FROM V10", .expected = {"3"}},
                   // Column aliases given after the view's name.
                   {.statement = "CREATE VIEW VD (D, N) AS SELECT DEPT, COUNT(*) FROM E "
                                 "GROUP BY DEPT",
                    .expected = {}},
                   {.statement = "SELECT N FROM VD WHERE D = 10", .expected = {"3"}},
                   {.statement = "SELECT DEPT FROM VD", .expected = {"ORA-00904"}},
                   // A view of a view.
                   {.statement = "CREATE VIEW VV AS SELECT NAME FROM V10 WHERE ID > 2 WITH "
                                 "READ ONLY",
                    .expected = {}},
                   {.statement = "SELECT * FROM VV", .expected = {"D"}},
                   {.statement = "CREATE OR REPLACE VIEW V10 AS SELECT ID, NAME FROM E WHERE "
                                 "DEPT = 20",
                    .expected = {}},
                   // VV reads the replaced V10.
                   {.statement = "SELECT * FROM VV", .expected = {"C"}},
                   {.statement = "SELECT VIEW_NAME, TEXT_LENGTH, TEXT FROM USER_VIEWS WHERE "
                                 "VIEW_NAME = 'V10'",
                    .expected = {"V10|38|SELECT ID, NAME FROM E WHERE DEPT = 20"}},
               });
}

// Without FORCE the query is checked at creation; names are unique among a
// schema's tables and views; the column list matches the select list.
TEST_F(ViewsTest, CreationChecksTheQueryAndTheName) {
    check(
        s(),
        {
            {.statement = "CREATE VIEW X AS SELECT * FROM NOPE", .expected = {"ORA-00942"}},
            {.statement = "CREATE VIEW X AS SELECT NOPE FROM E", .expected = {"ORA-00904"}},
            {.statement = "CREATE VIEW X (A) AS SELECT ID, NAME FROM E", .expected = {"ORA-01730"}},
            {.statement = "CREATE VIEW X AS SELECT ID, ID FROM E", .expected = {"ORA-00957"}},
            {.statement = "CREATE VIEW E AS SELECT ID FROM E", .expected = {"ORA-00955"}},
            {.statement = "CREATE OR REPLACE VIEW E AS SELECT ID FROM E",
             .expected = {"ORA-00955"}},
            {.statement = "CREATE VIEW V10 AS SELECT ID FROM E", .expected = {"ORA-00955"}},
            {.statement = "CREATE TABLE V10 (A NUMBER)", .expected = {"ORA-00955"}},
            {.statement = "SELECT COUNT(*) FROM USER_VIEWS", .expected = {"1"}},
            // FORCE keeps a query that does not stand yet.
            {.statement = "CREATE FORCE VIEW F AS SELECT * FROM LATER", .expected = {}},
            {.statement = "SELECT * FROM F", .expected = {"ORA-04063"}},
            {.statement = "CREATE TABLE LATER (K NUMBER)", .expected = {}},
            {.statement = "INSERT INTO LATER VALUES (7)", .expected = {}},
            {.statement = "SELECT K FROM F", .expected = {"7"}},
            {.statement = "CREATE OR REPLACE FORCE VIEW F AS SELECT * FROM F2", .expected = {}},
            {.statement = "CREATE FORCE VIEW F2 AS SELECT * FROM F", .expected = {}},
            {.statement = "SELECT * FROM F", .expected = {"ORA-01731"}},
        });
}

// A view here takes no changes; DROP VIEW removes it alone.
TEST_F(ViewsTest, ChangesAndDrops) {
    check(s(), {
                   {.statement = "INSERT INTO V10 VALUES (9, 'Z')", .expected = {"ORA-01732"}},
                   {.statement = "UPDATE V10 SET NAME = 'Q'", .expected = {"ORA-01732"}},
                   {.statement = "DELETE FROM V10", .expected = {"ORA-01732"}},
                   {.statement = "DROP TABLE V10", .expected = {"ORA-00942"}},
                   {.statement = "DROP VIEW E", .expected = {"ORA-00942"}},
                   {.statement = "DROP VIEW V10", .expected = {}},
                   {.statement = "SELECT * FROM V10", .expected = {"ORA-00942"}},
                   {.statement = "DROP VIEW SCOTT.V10", .expected = {"ORA-00942"}},
                   {.statement = "SELECT COUNT(*) FROM E", .expected = {"3"}},
               });
}

// Another schema's view reads its owner's tables (and, failing those, the
// dictionary's); without DBA it is out of sight like the tables, and
// RESOURCE carries no CREATE VIEW; the owner's CASCADE drop takes the views
// along.
TEST_F(ViewsTest, OtherSchemas) {
    system().execute(createUserText("ann", "pw"));
    system().execute("GRANT CONNECT, RESOURCE TO ann");
    auto ann = open("ann", "pw");
    check(*ann, {
                    {.statement = "SELECT * FROM SCOTT.V10", .expected = {"ORA-00942"}},
                    {.statement = "CREATE VIEW E AS SELECT 1 AS ONE FROM DUAL",
                     .expected = {"ORA-01031"}},
                });
    auto bob = appUser("bob", "pw");
    check(*bob, {
                    {.statement = "CREATE TABLE E (ID NUMBER)", .expected = {}},
                    {.statement = "CREATE VIEW BE AS SELECT COUNT(*) AS N FROM E", .expected = {}},
                    {.statement = "CREATE VIEW ONE AS SELECT 1 AS ONE FROM DUAL", .expected = {}},
                });
    bob.reset();  // a connected user cannot be dropped
    check(system(),
          {
              {.statement = "SELECT ID FROM SCOTT.V10 ORDER BY ID", .expected = {"1", "2"}},
              // BOB's E, empty, not SCOTT's.
              {.statement = "SELECT N FROM BOB.BE", .expected = {"0"}},
              {.statement = "SELECT ONE FROM BOB.ONE", .expected = {"1"}},
              {.statement = "SELECT OWNER, VIEW_NAME FROM ALL_VIEWS ORDER BY 1, 2",
               .expected = {"BOB|BE", "BOB|ONE", "SCOTT|V10"}},
              {.statement = "DROP USER bob", .expected = {"ORA-01922"}},
              {.statement = "DROP USER bob CASCADE", .expected = {}},
              {.statement = "SELECT OWNER FROM ALL_VIEWS", .expected = {"SCOTT"}},
          });
}

}  // namespace
}  // namespace malvorn::localserver
