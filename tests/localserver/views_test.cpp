#include <gtest/gtest.h>

#include "steps.h"

namespace malvorn::localserver {
namespace {

class ViewsTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        createDepartments();
        s().execute("CREATE VIEW V10 AS SELECT ID, NAME FROM E WHERE DEPT = 10");
    }
};

// A view shows the rows its query gives when read.
TEST_F(ViewsTest, QueriesReadTheViewsQuery) {
    runSteps({
        {"SELECT * FROM V10 ORDER BY ID", {"1|A", "2|B"}},
        {"SELECT v.NAME, g.DNAME FROM V10 v JOIN G g ON g.DEPT = 10 WHERE v.ID = 2", {"B|X"}},
        {"SELECT NAME FROM SCOTT.V10 WHERE ID = 1", {"A"}},
        {"INSERT INTO E VALUES (6, 'F', 10)", {}},
        {"SELECT COUNT(*) FROM V10", {"3"}},
        // Column aliases given after the view's name.
        {"CREATE VIEW VD (D, N) AS SELECT DEPT, COUNT(*) FROM E GROUP BY DEPT", {}},
        {"SELECT N FROM VD WHERE D = 10", {"3"}},
        {"SELECT DEPT FROM VD", {"ORA-00904"}},
        // A view of a view.
        {"CREATE VIEW VV AS SELECT NAME FROM V10 WHERE ID > 3 WITH READ ONLY", {}},
        {"SELECT * FROM VV", {"F"}},
        {"CREATE OR REPLACE VIEW V10 AS SELECT ID, NAME FROM E WHERE DEPT = 20", {}},
        // VV reads the replaced V10.
        {"SELECT * FROM VV", {"D"}},
        {"SELECT VIEW_NAME, TEXT_LENGTH, TEXT FROM USER_VIEWS WHERE VIEW_NAME = 'V10'",
         {"V10|38|SELECT ID, NAME FROM E WHERE DEPT = 20"}},
    });
}

// Without FORCE the query is checked at creation; names are unique among a
// schema's tables and views; the column list matches the select list.
TEST_F(ViewsTest, CreationChecksTheQueryAndTheName) {
    runSteps({
        {"CREATE VIEW X AS SELECT * FROM NOPE", {"ORA-00942"}},
        {"CREATE VIEW X AS SELECT NOPE FROM E", {"ORA-00904"}},
        {"CREATE VIEW X (A) AS SELECT ID, NAME FROM E", {"ORA-01730"}},
        {"CREATE VIEW X AS SELECT ID, ID FROM E", {"ORA-00957"}},
        {"CREATE VIEW E AS SELECT ID FROM E", {"ORA-00955"}},
        {"CREATE OR REPLACE VIEW E AS SELECT ID FROM E", {"ORA-00955"}},
        {"CREATE VIEW V10 AS SELECT ID FROM E", {"ORA-00955"}},
        {"CREATE TABLE V10 (A NUMBER)", {"ORA-00955"}},
        {"SELECT COUNT(*) FROM USER_VIEWS", {"1"}},
        // FORCE keeps a query that does not stand yet.
        {"CREATE FORCE VIEW F AS SELECT * FROM LATER", {}},
        {"SELECT * FROM F", {"ORA-04063"}},
        {"CREATE TABLE LATER (K NUMBER)", {}},
        {"INSERT INTO LATER VALUES (7)", {}},
        {"SELECT K FROM F", {"7"}},
        {"CREATE OR REPLACE FORCE VIEW F AS SELECT * FROM F2", {}},
        {"CREATE FORCE VIEW F2 AS SELECT * FROM F", {}},
        {"SELECT * FROM F", {"ORA-01731"}},
    });
}

// A view here takes no changes; DROP VIEW removes it alone.
TEST_F(ViewsTest, ChangesAndDrops) {
    runSteps({
        {"INSERT INTO V10 VALUES (9, 'Z')", {"ORA-01732"}},
        {"UPDATE V10 SET NAME = 'Q'", {"ORA-01732"}},
        {"DELETE FROM V10", {"ORA-01732"}},
        {"DROP TABLE V10", {"ORA-00942"}},
        {"DROP VIEW E", {"ORA-00942"}},
        {"DROP VIEW V10", {}},
        {"SELECT * FROM V10", {"ORA-00942"}},
        {"DROP VIEW SCOTT.V10", {"ORA-00942"}},
        {"SELECT COUNT(*) FROM E", {"5"}},
    });
}

// Another schema's view reads its owner's tables; without DBA it is out of
// sight; RESOURCE carries no CREATE VIEW; DROP USER CASCADE takes the views.
TEST_F(ViewsTest, OtherSchemas) {
    system().execute(createUserText("ann", "pw"));
    system().execute("GRANT CONNECT, RESOURCE TO ann");
    auto ann = open("ann", "pw");
    runSteps(*ann, {
                       {"SELECT * FROM SCOTT.V10", {"ORA-00942"}},
                       {"CREATE VIEW E AS SELECT 1 AS ONE FROM DUAL", {"ORA-01031"}},
                   });
    auto bob = appUser("bob", "pw");
    runSteps(*bob, {
                       {"CREATE TABLE E (ID NUMBER)", {}},
                       {"CREATE VIEW BE AS SELECT COUNT(*) AS N FROM E", {}},
                       {"CREATE VIEW ONE AS SELECT 1 AS ONE FROM DUAL", {}},
                   });
    bob.reset();  // a connected user cannot be dropped
    runSteps(system(), {
                           {"SELECT ID FROM SCOTT.V10 ORDER BY ID", {"1", "2"}},
                           // BOB's E, empty, not SCOTT's.
                           {"SELECT N FROM BOB.BE", {"0"}},
                           {"SELECT ONE FROM BOB.ONE", {"1"}},
                           {"SELECT OWNER, VIEW_NAME FROM ALL_VIEWS ORDER BY 1, 2",
                            {"BOB|BE", "BOB|ONE", "SCOTT|V10"}},
                           {"DROP USER bob", {"ORA-01922"}},
                           {"DROP USER bob CASCADE", {}},
                           {"SELECT OWNER FROM ALL_VIEWS", {"SCOTT"}},
                       });
}

}  // namespace
}  // namespace malvorn::localserver
