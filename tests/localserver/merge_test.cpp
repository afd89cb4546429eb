// MERGE: DELETE WHERE sees the updated values and touches only rows the
// merge updated; ORA-30926 for a row updated from two source rows; ORA-38104
// for an ON column in SET.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

struct MergeCase {
    const char* statement;
    Rows expected;  // EMP's rows afterwards, or the error's code alone
};

class MergeTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        reset();
    }
    // EMP and CHG as every case starts from.
    void reset() {
        for (const char* table : {"EMP", "CHG"}) {
            if (s().queryValue(
                    std::string("SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = '") + table +
                    "'") == "1")
                s().execute(std::string("DROP TABLE ") + table);
        }
        s().execute(
            "CREATE TABLE EMP (ID NUMBER PRIMARY KEY, NAME VARCHAR2(10), SAL NUMBER, BONUS NUMBER "
            "DEFAULT 5)");
        s().execute("CREATE TABLE CHG (ID NUMBER, SAL NUMBER, NAME VARCHAR2(10))");
        for (const char* row : {"1, 'A', 100", "2, 'B', 200", "3, 'C', 300"})
            s().execute(std::string("INSERT INTO EMP (ID, NAME, SAL) VALUES (") + row + ")");
        for (const char* row : {"2, 250, 'b'", "3, 5, 'c'", "4, 400, 'D'"})
            s().execute(std::string("INSERT INTO CHG VALUES (") + row + ")");
    }
    Rows emp() { return rows(s(), "SELECT ID, NAME, SAL, BONUS FROM EMP ORDER BY ID"); }
};

TEST_F(MergeTest, UpdatesMatchedRowsAndInsertsTheOthers) {
    const MergeCase cases[] = {
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN MATCHED THEN UPDATE SET E.SAL = "
         "C.SAL, NAME = C.NAME WHEN NOT MATCHED THEN INSERT (ID, NAME, SAL) VALUES (C.ID, C.NAME, "
         "C.SAL)",
         {"1|A|100|5", "2|b|250|5", "3|c|5|5", "4|D|400|5"}},
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN MATCHED THEN UPDATE SET E.SAL = C.SAL "
         "DELETE WHERE E.SAL < 10 WHEN NOT MATCHED THEN INSERT (ID, SAL) VALUES (C.ID, C.SAL) "
         "WHERE C.SAL > 300",
         {"1|A|100|5", "2|B|250|5", "4|<null>|400|5"}},
        {"MERGE INTO EMP USING CHG ON (EMP.ID = CHG.ID) WHEN MATCHED THEN UPDATE SET SAL = EMP.SAL "
         "+ CHG.SAL WHERE CHG.SAL > 100",
         {"1|A|100|5", "2|B|450|5", "3|C|300|5"}},
        // The inserted row is not updated by the same statement.
        {"MERGE INTO EMP E USING (SELECT ID, SAL * 2 S FROM CHG WHERE ID > 2) X ON (E.ID = X.ID) "
         "WHEN NOT MATCHED THEN INSERT VALUES (X.ID, 'N', X.S, 0) WHEN MATCHED THEN UPDATE SET "
         "BONUS = X.S",
         {"1|A|100|5", "2|B|200|5", "3|C|300|10", "4|N|800|0"}},
        {"MERGE INTO EMP E USING DUAL ON (E.ID = 9) WHEN NOT MATCHED THEN INSERT (ID, NAME) VALUES "
         "(9, 'Z')",
         {"1|A|100|5", "2|B|200|5", "3|C|300|5", "9|Z|<null>|5"}},
        // The target read through a subquery's own FROM is another source.
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN NOT MATCHED THEN INSERT (ID, SAL) "
         "VALUES (C.ID, (SELECT MAX(E2.SAL) FROM EMP E2) + C.SAL) WHERE EXISTS (SELECT 1 FROM EMP "
         "WHERE EMP.SAL < C.SAL)",
         {"1|A|100|5", "2|B|200|5", "3|C|300|5", "4|<null>|700|5"}}};
    for (const auto& c : cases) {
        reset();
        ASSERT_EQ(answer(c.statement), Rows{}) << c.statement;
        EXPECT_EQ(emp(), c.expected) << c.statement;
    }
}

// A refused MERGE changes nothing, with autocommit as inside a transaction.
TEST_F(MergeTest, RefusalsLeaveTheTargetAsItWas) {
    const Rows before = emp();
    const MergeCase cases[] = {
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN MATCHED THEN UPDATE SET E.ID = C.ID",
         {"ORA-38104"}},
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN NOT MATCHED THEN INSERT (ID) VALUES "
         "(E.NAME)",
         {"ORA-38101"}},
        // The insert's WHERE reads the source alone (Database Error Messages,
        // ORA-38102: the INSERT WHERE clause refers to the destination table).
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN NOT MATCHED THEN INSERT (ID) VALUES "
         "(C.ID) WHERE C.SAL > BONUS",
         {"ORA-38102"}},
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN NOT MATCHED THEN INSERT (ID) VALUES "
         "(C.ID) WHERE C.SAL > (SELECT MAX(E.SAL) FROM DUAL)",
         {"ORA-38102"}},
        // Also inside a subquery of VALUES, at any depth; an unknown name there stays ORA-00904.
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN NOT MATCHED THEN INSERT (ID, SAL) "
         "VALUES (C.ID, (SELECT (SELECT E.SAL FROM DUAL) FROM DUAL))",
         {"ORA-38101"}},
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN NOT MATCHED THEN INSERT (ID, SAL) "
         "VALUES (C.ID, (SELECT NOPE FROM DUAL))",
         {"ORA-00904"}},
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID)", {"ORA-00905"}},
        {"MERGE INTO NOPE E USING CHG C ON (E.ID = C.ID) WHEN MATCHED THEN UPDATE SET SAL = 1",
         {"ORA-00942"}},
        // Two unmatched source rows with one key: the second row inserted
        // breaks the key; the whole statement is undone.
        {"MERGE INTO EMP E USING (SELECT ID, SAL FROM CHG UNION ALL SELECT 4, 1 FROM DUAL) C ON "
         "(E.ID = C.ID) WHEN MATCHED THEN UPDATE SET SAL = 0 WHEN NOT MATCHED THEN INSERT (ID, "
         "SAL) VALUES (C.ID, C.SAL)",
         {"ORA-00001"}},
        {"MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN MATCHED THEN UPDATE SET NAME = "
         "'toolongforit'",
         {"ORA-12899"}}};
    for (const bool autoCommit : {true, false}) {
        s().setAutoCommit(autoCommit);
        for (const auto& c : cases) {
            EXPECT_EQ(answer(c.statement, true), c.expected) << c.statement;
            EXPECT_EQ(emp(), before) << c.statement;
        }
        s().rollback();
    }
    s().execute("INSERT INTO CHG VALUES (2, 1, 'z')");
    EXPECT_EQ(answer("MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN MATCHED THEN UPDATE SET "
                     "SAL = C.SAL",
                     true),
              Rows{"ORA-30926"});
    EXPECT_EQ(emp(), before);
}

// SET c = DEFAULT and the key check at the statement's end, as in UPDATE.
TEST_F(MergeTest, SetsAsUpdateDoes) {
    s().execute("UPDATE EMP SET BONUS = 0");
    s().execute(
        "MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN MATCHED THEN UPDATE SET BONUS = "
        "DEFAULT, SAL = C.SAL");
    EXPECT_EQ(emp(), (Rows{"1|A|100|0", "2|B|250|5", "3|C|5|5"}));
    // Keys 2 and 3 swap through a duplicate on the way.
    s().execute(
        "MERGE INTO EMP E USING (SELECT 2 OLD, 3 NEW FROM DUAL UNION ALL SELECT 3, 2 FROM DUAL) C "
        "ON (E.NAME = DECODE(C.OLD, 2, 'B', 'C')) WHEN MATCHED THEN UPDATE SET ID = C.NEW");
    EXPECT_EQ(emp(), (Rows{"1|A|100|0", "2|C|5|5", "3|B|250|5"}));
}

// A MERGE in a transaction holds nothing past its COMMIT: DDL after another
// session (here the sequence's own connection) changed the catalog runs.
TEST_F(MergeTest, LeavesNoReadBehindForTheDdlAfterIt) {
    s().execute("CREATE SEQUENCE Q");
    s().setAutoCommit(false);
    s().execute(
        "MERGE INTO EMP E USING CHG C ON (E.ID = C.ID) WHEN NOT MATCHED THEN INSERT (ID) VALUES "
        "(C.ID)");
    EXPECT_EQ(answer("SELECT Q.NEXTVAL FROM DUAL"), Rows{"1"});
    EXPECT_EQ(answer("ALTER TABLE CHG ADD (Z NUMBER)"), Rows{});
    EXPECT_EQ(s().queryValue("SELECT COUNT(*) FROM EMP"), "4");
}

}  // namespace
}  // namespace malvorn::localserver
