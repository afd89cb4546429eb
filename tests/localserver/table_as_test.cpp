// CREATE TABLE ... AS query, DEFAULT as a value of VALUES and SET, TRUNCATE as DDL.
// References: CREATE TABLE AS subquery in the SQL Language Reference 19c
// (https://docs.oracle.com/en/database/oracle/oracle-database/19/sqlrf/CREATE-TABLE.html:
// column types and NOT NULL taken from the query, ORA-00998 for an unnamed expression),
// INSERT values_clause and UPDATE SET with DEFAULT (.../19/sqlrf/INSERT.html, UPDATE.html),
// TRUNCATE TABLE (.../19/sqlrf/TRUNCATE-TABLE.html: DDL, cannot be rolled back, ORA-02266).
#include <gtest/gtest.h>

#include "steps.h"

namespace malvorn::localserver {
namespace {

using TableAsTest = StepTest;

TEST_F(TableAsTest, ColumnsAndRowsComeFromTheQuery) {
    runSteps({
        {"CREATE TABLE T (ID NUMBER(5) NOT NULL, V VARCHAR2(10) DEFAULT 'x', D DATE)", {}},
        {"INSERT INTO T VALUES (1, 'one', DATE '2024-01-02')", {}},
        {"INSERT INTO T VALUES (2, 'three', NULL)", {}},
        {"CREATE TABLE C AS SELECT * FROM T", {}},
        {"SELECT ID, V FROM C ORDER BY ID", {"1|one", "2|three"}},
        {"SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, NULLABLE, DATA_DEFAULT FROM "
         "USER_TAB_COLUMNS WHERE TABLE_NAME = 'C' ORDER BY COLUMN_ID",
         {"ID|NUMBER|22|5|N|<null>", "V|VARCHAR2|10|<null>|Y|<null>", "D|DATE|7|<null>|Y|<null>"}},
        {"CREATE TABLE E (N, L) AS SELECT ID * 2, V || '!' FROM T WHERE ID = 2", {}},
        {"SELECT N, L FROM E", {"4|three!"}},
        {"SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'E' "
         "ORDER BY COLUMN_ID",
         {"N|NUMBER|22", "L|VARCHAR2|6"}},
        {"CREATE TABLE F AS SELECT ID, V AS W FROM T WHERE 1 = 0", {}},
        {"SELECT COUNT(*) FROM F", {"0"}},
        {"SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'F' ORDER BY COLUMN_ID",
         {"ID", "W"}},
        {"CREATE TABLE G AS SELECT ID + 1 FROM T", {"ORA-00998"}},
        {"CREATE TABLE G AS SELECT NULL X FROM T", {"ORA-01723"}},
        {"CREATE TABLE G (A) AS SELECT ID, V FROM T", {"ORA-01730"}},
        {"CREATE TABLE G (A NUMBER) AS SELECT ID FROM T", {"ORA-01773"}},
        {"CREATE TABLE G AS SELECT ID, ID FROM T", {"ORA-00957"}},
        {"CREATE TABLE C AS SELECT * FROM T", {"ORA-00955"}},
        // A row the copy refuses leaves no table behind.
        {"CREATE TABLE G AS SELECT TO_NUMBER(V) N FROM T", {"ORA-01722"}},
        {"SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = 'G'", {"0"}},
    });
}

TEST_F(TableAsTest, DefaultAsAValue) {
    runSteps({
        {"CREATE TABLE T (ID NUMBER GENERATED ALWAYS AS IDENTITY, V VARCHAR2(5) DEFAULT 'dv', "
         "N NUMBER)",
         {}},
        {"INSERT INTO T VALUES (DEFAULT, DEFAULT, 1)", {}},
        {"INSERT INTO T (V, N) VALUES ('a', DEFAULT)", {}},
        {"INSERT INTO T VALUES (5, 'b', 2)", {"ORA-32795"}},
        {"SELECT ID, V, N FROM T ORDER BY ID", {"1|dv|1", "2|a|<null>"}},
        {"UPDATE T SET V = DEFAULT, N = 3 WHERE ID = 2", {}},
        {"SELECT V, N FROM T WHERE ID = 2", {"dv|3"}},
        {"UPDATE T SET N = DEFAULT", {}},
        {"SELECT COUNT(N) FROM T", {"0"}},
        {"SELECT DEFAULT FROM DUAL", {"ORA-00936"}},
    });
}

TEST_F(TableAsTest, TruncateCommitsWhatCameBefore) {
    s().execute("CREATE TABLE A (ID NUMBER)");
    s().execute("CREATE TABLE B (ID NUMBER)");
    s().execute("INSERT INTO B VALUES (1)");
    s().setAutoCommit(false);
    s().execute("INSERT INTO A VALUES (1)");
    s().execute("TRUNCATE TABLE B");
    s().rollback();
    EXPECT_EQ(rows(s(), "SELECT COUNT(*) FROM A"), Rows{"1"});
    EXPECT_EQ(rows(s(), "SELECT COUNT(*) FROM B"), Rows{"0"});
}

}  // namespace
}  // namespace malvorn::localserver
