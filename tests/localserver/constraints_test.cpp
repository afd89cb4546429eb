// Constraints added by ALTER TABLE, enforced on every write and validated
// when added unless NOVALIDATE.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "steps.h"

namespace malvorn::localserver {
namespace {

class ConstraintTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        for (const char* sql :
             {"CREATE TABLE P (ID NUMBER CONSTRAINT P_PK PRIMARY KEY, NAME VARCHAR2(10))",
              "CREATE TABLE C (ID NUMBER CONSTRAINT C_PK PRIMARY KEY, PID NUMBER, QTY NUMBER)",
              "INSERT INTO P VALUES (1, 'one')", "INSERT INTO P VALUES (2, 'two')",
              "INSERT INTO C VALUES (1, 1, 5)", "INSERT INTO C VALUES (2, 9, 5)"})
            s().execute(sql);
    }
};

TEST_F(ConstraintTest, ForeignKeyIsValidatedAndEnforcedBothWays) {
    runSteps({
        {"ALTER TABLE C ADD CONSTRAINT C_P FOREIGN KEY (PID) REFERENCES P (ID)",
         {"ORA-02298: cannot validate (SCOTT.C_P) - parent keys not found"}},
        {"ALTER TABLE C ADD CONSTRAINT C_P FOREIGN KEY (PID) REFERENCES P (NAME)", {"ORA-02270"}},
        {"ALTER TABLE C ADD CONSTRAINT C_P FOREIGN KEY (PID, QTY) REFERENCES P", {"ORA-02256"}},
        {"ALTER TABLE C ADD CONSTRAINT C_P FOREIGN KEY (PID) REFERENCES C_PK", {"ORA-00942"}},
        {"ALTER TABLE C ADD CONSTRAINT C_P FOREIGN KEY (PID) REFERENCES P ENABLE NOVALIDATE", {}},
        {"ALTER TABLE C ADD CONSTRAINT C_P CHECK (QTY > 0)", {"ORA-02264"}},
        {"INSERT INTO C VALUES (3, 7, 1)",
         {"ORA-02291: integrity constraint (SCOTT.C_P) violated - parent key not found"}},
        {"INSERT INTO C VALUES (3, NULL, 1)", {}},
        {"UPDATE C SET PID = 8 WHERE ID = 1", {"ORA-02291"}},
        {"UPDATE C SET PID = 2 WHERE ID = 1", {}},
        {"DELETE FROM P WHERE ID = 2",
         {"ORA-02292: integrity constraint (SCOTT.C_P) violated - child record found"}},
        {"UPDATE P SET ID = 5 WHERE ID = 2", {"ORA-02292"}},
        {"UPDATE P SET NAME = 'deux' WHERE ID = 2", {}},
        {"DELETE FROM P WHERE ID = 1", {}},
        {"TRUNCATE TABLE P", {"ORA-02266"}},
        {"DROP TABLE P", {"ORA-02449"}},
        {"SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE, R_CONSTRAINT_NAME, DELETE_RULE, STATUS, "
         "VALIDATED, GENERATED FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'C' ORDER BY 1",
         {"C_P|R|P_PK|NO ACTION|ENABLED|NOT VALIDATED|USER NAME",
          "C_PK|P|<null>|<null>|ENABLED|VALIDATED|USER NAME"}},
        {"SELECT CONSTRAINT_NAME, COLUMN_NAME, POSITION FROM USER_CONS_COLUMNS WHERE TABLE_NAME = "
         "'C' ORDER BY 1",
         {"C_P|PID|1", "C_PK|ID|1"}},
        {"DROP TABLE P CASCADE CONSTRAINTS", {}},
        {"INSERT INTO C VALUES (4, 77, 1)", {}},
        {"SELECT CONSTRAINT_NAME FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'C'", {"C_PK"}},
    });
}

TEST_F(ConstraintTest, DeletesCascadeAndSetNullThroughLevelsAndSelfReference) {
    runSteps({
        {"CREATE TABLE O (ID NUMBER CONSTRAINT O_PK PRIMARY KEY)", {}},
        {"CREATE TABLE D (O_ID NUMBER, LINE NUMBER, CONSTRAINT D_PK PRIMARY KEY (O_ID, LINE))", {}},
        {"CREATE TABLE N (O_ID NUMBER, LINE NUMBER, TXT VARCHAR2(5))", {}},
        {"ALTER TABLE D ADD CONSTRAINT D_O FOREIGN KEY (O_ID) REFERENCES O ON DELETE CASCADE", {}},
        {"ALTER TABLE N ADD CONSTRAINT N_D FOREIGN KEY (O_ID, LINE) REFERENCES D (O_ID, LINE) ON "
         "DELETE SET NULL",
         {}},
        {"INSERT INTO O VALUES (1)", {}},
        {"INSERT INTO O VALUES (2)", {}},
        {"INSERT INTO D VALUES (1, 1)", {}},
        {"INSERT INTO D VALUES (1, 2)", {}},
        {"INSERT INTO D VALUES (2, 1)", {}},
        {"INSERT INTO N VALUES (1, 2, 'a')", {}},
        {"INSERT INTO N VALUES (2, 1, 'b')", {}},
        // A key with a Null column references nothing.
        {"INSERT INTO N VALUES (9, NULL, 'c')", {}},
        {"INSERT INTO N VALUES (9, 1, 'd')", {"ORA-02291"}},
        {"DELETE FROM O WHERE ID = 1", {}},
        {"SELECT O_ID, LINE FROM D", {"2|1"}},
        {"SELECT O_ID, LINE, TXT FROM N ORDER BY TXT", {"<null>|<null>|a", "2|1|b", "9|<null>|c"}},
        {"SELECT DELETE_RULE FROM USER_CONSTRAINTS WHERE CONSTRAINT_TYPE = 'R' ORDER BY 1",
         {"CASCADE", "SET NULL"}},
        {"CREATE TABLE E (ID NUMBER CONSTRAINT E_PK PRIMARY KEY, BOSS NUMBER)", {}},
        {"ALTER TABLE E ADD CONSTRAINT E_B FOREIGN KEY (BOSS) REFERENCES E ON DELETE CASCADE", {}},
        // A row may reference itself.
        {"INSERT INTO E VALUES (1, 1)", {}},
        {"INSERT INTO E VALUES (2, 1)", {}},
        {"INSERT INTO E VALUES (3, 2)", {}},
        {"INSERT INTO E VALUES (4, 5)", {"ORA-02291"}},
        {"DELETE FROM E WHERE ID = 2", {}},
        {"SELECT ID FROM E", {"1"}},
        // Other tables reference none of its keys: TRUNCATE is allowed.
        {"TRUNCATE TABLE E", {}},
    });
}

TEST_F(ConstraintTest, KeysChecksAndNotNullAddedToRows) {
    runSteps({
        {"INSERT INTO C VALUES (3, 9, NULL)", {}},
        {"ALTER TABLE C ADD CONSTRAINT C_UK UNIQUE (PID)",
         {"ORA-02299: cannot validate (SCOTT.C_UK) - duplicate keys found"}},
        {"ALTER TABLE C ADD PRIMARY KEY (PID)", {"ORA-02260"}},
        {"ALTER TABLE C ADD CONSTRAINT C_UK UNIQUE (ID)", {"ORA-02261"}},
        {"ALTER TABLE C ADD CONSTRAINT C_UK UNIQUE (PID, QTY)", {}},
        {"INSERT INTO C VALUES (4, 9, 5)", {"ORA-00001: unique constraint (SCOTT.C_UK) violated"}},
        {"ALTER TABLE C ADD CONSTRAINT C_Q CHECK (QTY BETWEEN 0 AND 10)", {}},
        {"ALTER TABLE C ADD CONSTRAINT C_Q2 CHECK (QTY < 5)",
         {"ORA-02293: cannot validate (SCOTT.C_Q2) - check constraint violated"}},
        {"ALTER TABLE C ADD CONSTRAINT C_Q2 CHECK (QTY < 5) NOVALIDATE", {}},
        {"INSERT INTO C VALUES (5, 1, 7)", {"ORA-02290: check constraint (SCOTT.C_Q2) violated"}},
        // Unknown is not false.
        {"INSERT INTO C VALUES (5, 1, NULL)", {}},
        {"UPDATE C SET QTY = -1 WHERE ID = 5", {"ORA-02290"}},
        {"ALTER TABLE P ADD CONSTRAINT P_N CHECK (NAME IN ('one', 'two') OR NAME LIKE 'z%')", {}},
        {"INSERT INTO P VALUES (3, 'zed')", {}},
        {"INSERT INTO P VALUES (4, 'four')", {"ORA-02290"}},
        {"ALTER TABLE P ADD CHECK (ID < (SELECT 5 FROM DUAL))", {"ORA-02251"}},
        {"ALTER TABLE P ADD CHECK (NAME <> USER)", {"ORA-02436"}},
        {"ALTER TABLE C MODIFY QTY NOT NULL",
         {"ORA-02296: cannot enable (SCOTT.) - null values found"}},
        {"ALTER TABLE C MODIFY (QTY CONSTRAINT C_QN NOT NULL ENABLE NOVALIDATE)", {}},
        {"INSERT INTO C (ID, PID) VALUES (6, 1)", {"ORA-01400"}},
        {"ALTER TABLE C MODIFY QTY NOT NULL", {"ORA-01442"}},
        {"SELECT CONSTRAINT_NAME, SEARCH_CONDITION, VALIDATED FROM USER_CONSTRAINTS WHERE "
         "TABLE_NAME = 'C' AND CONSTRAINT_TYPE = 'C' ORDER BY 1",
         {"C_Q|QTY BETWEEN 0 AND 10|VALIDATED", "C_Q2|QTY < 5|NOT VALIDATED",
          "C_QN|\"QTY\" IS NOT NULL|NOT VALIDATED"}},
        {"ALTER TABLE C MODIFY QTY NULL", {}},
        {"ALTER TABLE C MODIFY QTY NULL", {"ORA-01451"}},
        {"ALTER TABLE C MODIFY ID NULL", {"ORA-01451"}},
        {"INSERT INTO C (ID, PID) VALUES (6, 4)", {}},
        {"ALTER TABLE C DROP CONSTRAINT C_Q2", {}},
        {"ALTER TABLE C DROP CONSTRAINT C_Q2", {"ORA-02443"}},
        {"INSERT INTO C VALUES (7, 1, 7)", {}},
        {"ALTER TABLE C DROP CONSTRAINT C_UK", {}},
        {"INSERT INTO C VALUES (8, 9, 5)", {}},
    });
}

TEST_F(ConstraintTest, NotNullColumnsShowAsChecksAndPrimaryKeysAddedLater) {
    runSteps({
        {"CREATE TABLE Q (X NUMBER NOT NULL, Y NUMBER, Z NUMBER)", {}},
        {"SELECT CONSTRAINT_TYPE, SEARCH_CONDITION, GENERATED FROM USER_CONSTRAINTS WHERE "
         "TABLE_NAME = 'Q'",
         {"C|\"X\" IS NOT NULL|GENERATED NAME"}},
        {"INSERT INTO Q VALUES (1, NULL, 1)", {}},
        {"INSERT INTO Q VALUES (2, 2, 1)", {}},
        {"ALTER TABLE Q ADD CONSTRAINT Q_PK PRIMARY KEY (Y)", {"ORA-01449"}},
        {"ALTER TABLE Q ADD CONSTRAINT Q_PK PRIMARY KEY (Z)",
         {"ORA-02437: cannot validate (SCOTT.Q_PK) - primary key violated"}},
        {"ALTER TABLE Q ADD CONSTRAINT Q_PK PRIMARY KEY (X)", {}},
        {"SELECT NULLABLE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'Q' ORDER BY COLUMN_ID",
         {"N", "Y", "Y"}},
        {"SELECT INDEX_NAME, UNIQUENESS FROM USER_INDEXES WHERE TABLE_NAME = 'Q'", {"Q_PK|UNIQUE"}},
        {"INSERT INTO Q VALUES (2, 3, 3)", {"ORA-00001: unique constraint (SCOTT.Q_PK) violated"}},
        // Keys pass through duplicates within a statement.
        {"UPDATE Q SET X = 3 - X", {}},
        {"SELECT X, Z FROM Q ORDER BY X", {"1|1", "2|1"}},
        {"CREATE TABLE R (QX NUMBER CONSTRAINT R_Q REFERENCES Q (Z))", {"ORA-02270"}},
        {"SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = 'R'", {"0"}},
        {"CREATE TABLE R (QX NUMBER CONSTRAINT R_Q REFERENCES Q, CHECK (QX > 0))", {}},
        {"INSERT INTO R VALUES (0)", {"ORA-02290"}},
        {"INSERT INTO R VALUES (1)", {}},
        // The retried UPDATE leaves no child without its parent.
        {"UPDATE Q SET X = X + 1", {"ORA-02292"}},
        {"SELECT X FROM Q ORDER BY X", {"1", "2"}},
        {"ALTER TABLE Q DROP CONSTRAINT Q_PK", {"ORA-02273"}},
        {"ALTER TABLE Q DROP CONSTRAINT Q_PK CASCADE", {}},
        {"INSERT INTO R VALUES (10)", {}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
