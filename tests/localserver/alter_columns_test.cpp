// ALTER TABLE on columns, RENAME and COMMENT: ADD fills a DEFAULT into the
// rows there are, a dropped column takes its indexes along.
#include <gtest/gtest.h>

#include "steps.h"

namespace malvorn::localserver {
namespace {

using AlterColumnsTest = StepTest;

TEST_F(AlterColumnsTest, AddFillsTheDefaultAndRefusesAsTheServer) {
    runSteps({
        {"CREATE TABLE T (ID NUMBER PRIMARY KEY, V VARCHAR2(5))", {}},
        {"INSERT INTO T VALUES (1, 'a')", {}},
        {"INSERT INTO T VALUES (2, 'b')", {}},
        {"ALTER TABLE T ADD (Q NUMBER(3) DEFAULT 7 NOT NULL, W CHAR(3))", {}},
        {"SELECT ID, Q, W FROM T ORDER BY ID", {"1|7|<null>", "2|7|<null>"}},
        {"INSERT INTO T (ID, V) VALUES (3, 'c')", {}},
        {"SELECT Q FROM T WHERE ID = 3", {"7"}},
        {"INSERT INTO T VALUES (4, 'd', NULL, 'x')", {"ORA-01400"}},
        {"INSERT INTO T VALUES (4, 'd', 5, 'x')", {}},
        {"SELECT W FROM T WHERE ID = 4", {"x  "}},
        {"ALTER TABLE T ADD V NUMBER", {"ORA-01430"}},
        {"ALTER TABLE T ADD M NUMBER NOT NULL",
         {"ORA-01758: table must be empty to add mandatory (NOT NULL) column"}},
        {"ALTER TABLE T ADD M VARCHAR2(5) DEFAULT 'toolong'", {"ORA-12899"}},
        {"SELECT COLUMN_NAME, DATA_TYPE, NULLABLE, COLUMN_ID FROM USER_TAB_COLUMNS WHERE "
         "TABLE_NAME = 'T' ORDER BY COLUMN_ID",
         {"ID|NUMBER|N|1", "V|VARCHAR2|Y|2", "Q|NUMBER|N|3", "W|CHAR|Y|4"}},
        {"SELECT SEARCH_CONDITION FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'T' AND CONSTRAINT_TYPE "
         "= 'C'",
         {"\"Q\" IS NOT NULL"}},
        {"CREATE TABLE E (ID NUMBER)", {}},
        {"ALTER TABLE E ADD (K NUMBER NOT NULL, U NUMBER UNIQUE)", {}},
        {"INSERT INTO E VALUES (1, 1, 1)", {}},
        {"INSERT INTO E VALUES (2, 2, 1)", {"ORA-00001"}},
        {"ALTER TABLE NOPE ADD X NUMBER", {"ORA-00942"}},
        {"ALTER TABLE E FROB", {"ORA-01735"}},
    });
}

TEST_F(AlterColumnsTest, ModifyKeepsWhatTheValuesNeed) {
    runSteps({
        {"CREATE TABLE T (ID NUMBER(5), V VARCHAR2(10), C CHAR(2), N NUMBER, E VARCHAR2(5))", {}},
        {"INSERT INTO T VALUES (1, 'abcdef', 'x', 1.25, NULL)", {}},
        {"ALTER TABLE T MODIFY V VARCHAR2(3)",
         {"ORA-01441: cannot decrease column length because some value is too big"}},
        {"ALTER TABLE T MODIFY V VARCHAR2(6)", {}},
        {"ALTER TABLE T MODIFY (C CHAR(4))", {}},
        {"SELECT C || '|' FROM T", {"x   |"}},
        {"ALTER TABLE T MODIFY V NUMBER", {"ORA-01439"}},
        {"ALTER TABLE T MODIFY ID NUMBER(3)", {"ORA-01440"}},
        {"ALTER TABLE T MODIFY ID NUMBER(9)", {}},
        {"ALTER TABLE T MODIFY N NUMBER(5,1)", {"ORA-01440"}},
        {"ALTER TABLE T MODIFY V CLOB", {"ORA-22858"}},
        // An empty column changes kind; text stays text afterwards.
        {"ALTER TABLE T MODIFY E NUMBER(4)", {}},
        {"UPDATE T SET E = '0012'", {}},
        {"SELECT E FROM T", {"12"}},
        {"UPDATE T SET E = NULL", {}},
        {"ALTER TABLE T MODIFY E VARCHAR2(4)", {}},
        {"UPDATE T SET E = '0012'", {}},
        {"SELECT E FROM T", {"0012"}},
        {"ALTER TABLE T MODIFY E DEFAULT 'd'", {}},
        {"INSERT INTO T (ID) VALUES (2)", {}},
        {"SELECT E FROM T WHERE ID = 2", {"d"}},
        {"ALTER TABLE T MODIFY (E NOT NULL)", {}},
        {"ALTER TABLE T MODIFY (V VARCHAR2(8) NOT NULL)", {"ORA-02296"}},
        {"ALTER TABLE T MODIFY (V VARCHAR2(8) NULL)", {"ORA-01451"}},
        {"ALTER TABLE T MODIFY NOPE NUMBER", {"ORA-00904"}},
        {"SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, NULLABLE, DATA_DEFAULT FROM "
         "USER_TAB_COLUMNS WHERE TABLE_NAME = 'T' ORDER BY COLUMN_ID",
         {"ID|NUMBER|22|9|Y|<null>", "V|VARCHAR2|6|<null>|Y|<null>", "C|CHAR|4|<null>|Y|<null>",
          "N|NUMBER|22|<null>|Y|<null>", "E|VARCHAR2|4|<null>|N|'d'"}},
    });
}

TEST_F(AlterColumnsTest, DropTakesItsIndexesAndConstraintsAlong) {
    runSteps({
        {"CREATE TABLE P (ID NUMBER PRIMARY KEY, A NUMBER, B VARCHAR2(5), C NUMBER, D NUMBER)", {}},
        {"INSERT INTO P VALUES (1, 10, 'b', 30, 40)", {}},
        {"CREATE INDEX P_B ON P (B)", {}},
        {"ALTER TABLE P ADD CONSTRAINT P_AC CHECK (A < C)", {}},
        {"ALTER TABLE P ADD CONSTRAINT P_D UNIQUE (D)", {}},
        {"CREATE TABLE K (ID NUMBER, PD NUMBER REFERENCES P (D))", {}},
        {"ALTER TABLE P DROP COLUMN A", {"ORA-12991"}},
        {"ALTER TABLE P DROP COLUMN D", {"ORA-12992"}},
        {"ALTER TABLE P DROP (ID, A, B, C, D)", {"ORA-12983"}},
        {"ALTER TABLE P DROP COLUMN NOPE", {"ORA-00904"}},
        {"ALTER TABLE P DROP COLUMN ID", {"ORA-03001"}},
        {"ALTER TABLE P DROP (B)", {}},
        {"SELECT * FROM P", {"1|10|30|40"}},
        {"SELECT COUNT(*) FROM USER_INDEXES WHERE INDEX_NAME = 'P_B'", {"0"}},
        {"ALTER TABLE P DROP COLUMN A CASCADE CONSTRAINTS", {}},
        {"SELECT COUNT(*) FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = 'P_AC'", {"0"}},
        // The columns after the dropped ones keep their values and rules.
        {"INSERT INTO P VALUES (2, 31, 40)", {"ORA-00001"}},
        {"INSERT INTO P VALUES (2, 31, 41)", {}},
        {"INSERT INTO K VALUES (1, 41)", {}},
        {"INSERT INTO K VALUES (2, 99)", {"ORA-02291"}},
        {"ALTER TABLE P DROP COLUMN D CASCADE CONSTRAINTS", {}},
        {"INSERT INTO K VALUES (2, 99)", {}},
        {"SELECT * FROM P ORDER BY ID", {"1|30", "2|31"}},
        {"SELECT COLUMN_NAME, COLUMN_ID FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'P' ORDER BY 2",
         {"ID|1", "C|2"}},
    });
}

TEST_F(AlterColumnsTest, RenameColumnAndObjects) {
    runSteps({
        {"CREATE TABLE T (ID NUMBER NOT NULL, V VARCHAR2(5) CHECK (V <> 'x'))", {}},
        {"CREATE INDEX T_V ON T (V)", {}},
        {"COMMENT ON COLUMN T.V IS 'value'", {}},
        {"ALTER TABLE T RENAME COLUMN V TO W", {}},
        {"ALTER TABLE T RENAME COLUMN NOPE TO X", {"ORA-00904"}},
        {"ALTER TABLE T RENAME COLUMN W TO ID", {"ORA-00957"}},
        {"INSERT INTO T (ID, W) VALUES (1, 'a')", {}},
        {"INSERT INTO T (ID, W) VALUES (2, 'x')", {"ORA-02290"}},
        {"SELECT SEARCH_CONDITION FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'T' ORDER BY 1",
         {"\"ID\" IS NOT NULL", "\"W\" <> 'x'"}},
        {"SELECT COLUMN_NAME FROM USER_IND_COLUMNS WHERE INDEX_NAME = 'T_V'", {"W"}},
        {"SELECT COLUMN_NAME, COMMENTS FROM USER_COL_COMMENTS WHERE TABLE_NAME = 'T' ORDER BY 1",
         {"ID|<null>", "W|value"}},
        {"RENAME T TO U", {}},
        {"SELECT ID, W FROM U", {"1|a"}},
        {"SELECT * FROM T", {"ORA-00942"}},
        {"RENAME T TO V", {"ORA-04043: object T does not exist"}},
        {"CREATE SEQUENCE S", {}},
        {"RENAME U TO S", {"ORA-00955"}},
        {"RENAME S TO S2", {}},
        {"SELECT S2.NEXTVAL FROM DUAL", {"1"}},
        {"ALTER TABLE U RENAME TO T", {}},
        {"SELECT COUNT(*) FROM T", {"1"}},
        {"RENAME SCOTT.T TO X", {"ORA-01765"}},
    });
}

using CommentTest = StepTest;

TEST_F(CommentTest, CommentsAreKeptReplacedAndRemoved) {
    runSteps({
        {"CREATE TABLE T (A NUMBER, B VARCHAR2(5))", {}},
        {"COMMENT ON TABLE T IS '得意先の一覧'", {}},
        {"COMMENT ON COLUMN T.A IS 'It''s the key'", {}},
        {"COMMENT ON COLUMN SCOTT.T.B IS 'first'", {}},
        {"COMMENT ON COLUMN T.B IS 'second'", {}},
        {"COMMENT ON COLUMN T.C IS 'x'", {"ORA-00904"}},
        {"COMMENT ON TABLE NOPE IS 'x'", {"ORA-00942"}},
        {"COMMENT ON COLUMN T IS 'x'", {"ORA-00904"}},
        {"COMMENT ON TABLE T IS 5", {"ORA-01780"}},
        {"COMMENT ON INDEX T IS 'x'", {"ORA-00905"}},
        {"SELECT TABLE_NAME, TABLE_TYPE, COMMENTS FROM USER_TAB_COMMENTS",
         {"T|TABLE|得意先の一覧"}},
        {"SELECT COLUMN_NAME, COMMENTS FROM USER_COL_COMMENTS WHERE TABLE_NAME = 'T' ORDER BY 1",
         {"A|It's the key", "B|second"}},
        // An empty comment removes it: the row stays, its comment Null.
        {"COMMENT ON TABLE T IS ''", {}},
        {"SELECT COUNT(*), COUNT(COMMENTS) FROM USER_TAB_COMMENTS", {"1|0"}},
        {"DROP TABLE T", {}},
        {"CREATE TABLE T (A NUMBER)", {}},
        {"SELECT COUNT(COMMENTS) FROM USER_COL_COMMENTS", {"0"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
