// CREATE [UNIQUE] INDEX and DROP INDEX, their errors and dictionary views.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "steps.h"

namespace malvorn::localserver {
namespace {

class IndexTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        s().execute("CREATE TABLE T (ID NUMBER PRIMARY KEY, A NUMBER, B VARCHAR2(10), C DATE)");
    }
};

TEST_F(IndexTest, CreateIndexRefusesWhatTheServerRefuses) {
    const std::vector<Step> steps = {
        {"CREATE INDEX T_A ON T (A)", {}},
        // Index names have their own namespace: a table's name is free.
        {"CREATE INDEX T ON T (B)", {}},
        {"CREATE INDEX T_A ON T (C)", {"ORA-00955"}},
        // The primary key's index has the key's name.
        {"CREATE TABLE K (X NUMBER CONSTRAINT K_PK PRIMARY KEY)", {}},
        {"CREATE INDEX K_PK ON T (C)", {"ORA-00955"}},
        {"CREATE INDEX T_A2 ON T (A)", {"ORA-01408"}},
        {"CREATE UNIQUE INDEX T_ID ON T (ID)", {"ORA-01408"}},
        {"CREATE INDEX T_ID ON T (ID DESC)", {}},
        {"CREATE INDEX T_X ON T (NOPE)", {"ORA-00904"}},
        {"CREATE INDEX T_X ON T (A, A)", {"ORA-00957"}},
        {"CREATE INDEX T_X ON NOPE (A)", {"ORA-00942"}},
        {"CREATE INDEX T_X ON T (UPPER(B))", {"ORA-03001"}},
        {"CREATE INDEX T_X ON T (A) TABLESPACE nowhere", {"ORA-00959"}},
        {"CREATE INDEX T_X ON T A", {"ORA-00906"}},
        {"CREATE INDEX T_X ON T (A, C) TABLESPACE USERS NOLOGGING COMPUTE STATISTICS", {}},
        {"CREATE INDEX T_Y ON T (C, A)", {}},
        {"DROP INDEX NOPE", {"ORA-01418"}},
        {"DROP INDEX K_PK", {"ORA-02429"}},
        {"DROP INDEX T_A", {}},
        {"CREATE INDEX T_A2 ON T (A)", {}},
    };
    runSteps(steps);
}

TEST_F(IndexTest, UniqueIndexComparesPartlyNullKeysAndSkipsAllNullOnes) {
    s().execute("CREATE UNIQUE INDEX T_AB ON T (A, B)");
    const std::vector<Step> steps = {
        {"INSERT INTO T (ID, A, B) VALUES (1, 1, 'x')", {}},
        {"INSERT INTO T (ID, A, B) VALUES (2, 1, 'x')",
         {"ORA-00001: unique constraint (SCOTT.T_AB) violated"}},
        {"INSERT INTO T (ID, A, B) VALUES (3, 1, 'y')", {}},
        // Keys whose columns are all Null have no entry: any number of them.
        {"INSERT INTO T (ID) VALUES (4)", {}},
        {"INSERT INTO T (ID) VALUES (5)", {}},
        // A partly Null key is compared, Null equal to Null.
        {"INSERT INTO T (ID, A) VALUES (6, 2)", {}},
        {"INSERT INTO T (ID, A) VALUES (7, 2)",
         {"ORA-00001: unique constraint (SCOTT.T_AB) violated"}},
        {"INSERT INTO T (ID, B) VALUES (8, 'z')", {}},
        {"INSERT INTO T (ID, B) VALUES (9, 'z')",
         {"ORA-00001: unique constraint (SCOTT.T_AB) violated"}},
        // Null is not the value 0.
        {"INSERT INTO T (ID, A, B) VALUES (10, 0, 'z')", {}},
        // A key passing through a duplicate within one statement is fine.
        {"UPDATE T SET B = CASE B WHEN 'x' THEN 'y' ELSE 'x' END WHERE ID IN (1, 3)", {}},
        {"UPDATE T SET B = 'x' WHERE ID IN (1, 3)", {"ORA-00001"}},
        {"SELECT ID, A, B FROM T WHERE ID IN (1, 3) ORDER BY ID", {"1|1|y", "3|1|x"}},
    };
    runSteps(steps);
}

TEST_F(IndexTest, UniqueIndexOnDuplicatesIsRefusedAndLeavesNothing) {
    for (const char* insert :
         {"INSERT INTO T (ID, A) VALUES (1, 5)", "INSERT INTO T (ID, A) VALUES (2, 5)"})
        s().execute(insert);
    EXPECT_EQ(answer("CREATE UNIQUE INDEX T_A ON T (A)", true), Rows{"ORA-01452"});
    EXPECT_EQ(rows(s(), "SELECT COUNT(*) FROM USER_INDEXES WHERE INDEX_NAME = 'T_A'"), Rows{"0"});
    EXPECT_EQ(answer("CREATE INDEX T_A ON T (A)"), Rows{});
}

// A session that read T before the index was made learns of it.
TEST_F(IndexTest, OtherSessionsMeetTheIndex) {
    auto other = open("scott", "tiger");
    EXPECT_EQ(rows(*other, "SELECT COUNT(*) FROM T"), Rows{"0"});
    s().execute("CREATE UNIQUE INDEX T_B ON T (B)");
    s().execute("CREATE UNIQUE INDEX T_C ON T (C)");
    other->execute("INSERT INTO T (ID, C) VALUES (5, '2020-01-01')");
    EXPECT_EQ(oraCode([&] { other->execute("INSERT INTO T (ID, C) VALUES (6, '2020-01-01')"); }),
              "ORA-00001");
}

TEST_F(IndexTest, DictionaryShowsIndexesAndTheirColumns) {
    s().execute("CREATE TABLE U (X NUMBER, Y VARCHAR2(5 CHAR), CONSTRAINT U_UK UNIQUE (Y, X))");
    s().execute("CREATE UNIQUE INDEX T_AB ON T (A, B DESC)");
    s().execute("CREATE INDEX U_X ON U (X)");
    EXPECT_EQ(rows(s(),
                   "SELECT INDEX_NAME, INDEX_TYPE, TABLE_NAME, UNIQUENESS, CONSTRAINT_INDEX FROM "
                   "USER_INDEXES WHERE INDEX_NAME NOT LIKE 'SYS%' ORDER BY INDEX_NAME"),
              (Rows{"T_AB|FUNCTION-BASED NORMAL|T|UNIQUE|NO", "U_UK|NORMAL|U|UNIQUE|YES",
                    "U_X|NORMAL|U|NONUNIQUE|NO"}));
    // A descending column is a hidden column of the table, named in
    // USER_IND_EXPRESSIONS.
    EXPECT_EQ(rows(s(),
                   "SELECT INDEX_NAME, COLUMN_NAME, COLUMN_POSITION, COLUMN_LENGTH, DESCEND FROM "
                   "USER_IND_COLUMNS WHERE INDEX_NAME NOT LIKE 'SYS%' ORDER BY INDEX_NAME, "
                   "COLUMN_POSITION"),
              (Rows{"T_AB|A|1|22|ASC", "T_AB|SYS_NC00005$|2|10|DESC", "U_UK|Y|1|20|ASC",
                    "U_UK|X|2|22|ASC", "U_X|X|1|22|ASC"}));
    EXPECT_EQ(
        rows(s(),
             "SELECT INDEX_NAME, COLUMN_EXPRESSION, COLUMN_POSITION FROM USER_IND_EXPRESSIONS"),
        Rows{"T_AB|\"B\"|2"});
    s().execute("DROP TABLE T");
    EXPECT_EQ(rows(s(), "SELECT COUNT(*) FROM USER_IND_COLUMNS WHERE TABLE_NAME = 'T'"), Rows{"0"});
}

}  // namespace
}  // namespace malvorn::localserver
