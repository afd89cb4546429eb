// Sequences: CREATE / ALTER / DROP SEQUENCE, NEXTVAL and CURRVAL (one value
// per row, CURRVAL only after NEXTVAL), USER_SEQUENCES.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "steps.h"

namespace malvorn::localserver {
namespace {

using SequenceTest = StepTest;

TEST_F(SequenceTest, ValuesStepBoundAndCycleAsTheServer) {
    runSteps({
        {"CREATE SEQUENCE S", {}},
        {"SELECT S.CURRVAL FROM DUAL",
         {"ORA-08002: sequence S.CURRVAL is not yet defined in this session"}},
        {"SELECT S.NEXTVAL FROM DUAL", {"1"}},
        {"SELECT S.NEXTVAL FROM DUAL", {"2"}},
        {"SELECT S.CURRVAL, SCOTT.S.CURRVAL FROM DUAL", {"2|2"}},
        {"CREATE SEQUENCE D START WITH 10 INCREMENT BY -3 MINVALUE 1 MAXVALUE 10 NOCACHE", {}},
        {"SELECT D.NEXTVAL FROM DUAL", {"10"}},
        {"SELECT D.NEXTVAL FROM DUAL", {"7"}},
        {"SELECT D.NEXTVAL FROM DUAL", {"4"}},
        {"SELECT D.NEXTVAL FROM DUAL", {"1"}},
        {"SELECT D.NEXTVAL FROM DUAL",
         {"ORA-08004: sequence D.NEXTVAL goes below MINVALUE and cannot be instantiated"}},
        // INCREMENT must be less than MAXVALUE minus MINVALUE.
        {"CREATE SEQUENCE M MAXVALUE 2 NOCACHE", {"ORA-04005"}},
        {"CREATE SEQUENCE M START WITH 2 MAXVALUE 3 NOCACHE", {}},
        {"SELECT M.NEXTVAL FROM DUAL", {"2"}},
        {"SELECT M.NEXTVAL FROM DUAL", {"3"}},
        {"SELECT M.NEXTVAL FROM DUAL",
         {"ORA-08004: sequence M.NEXTVAL exceeds MAXVALUE and cannot be instantiated"}},
        // The failed NEXTVAL left CURRVAL as it was.
        {"SELECT M.CURRVAL FROM DUAL", {"3"}},
        {"CREATE SEQUENCE C START WITH 2 MINVALUE 1 MAXVALUE 3 CYCLE NOCACHE", {}},
        {"SELECT C.NEXTVAL FROM DUAL", {"2"}},
        {"SELECT C.NEXTVAL FROM DUAL", {"3"}},
        {"SELECT C.NEXTVAL FROM DUAL", {"1"}},
        {"CREATE SEQUENCE B START WITH 9999999999999999999999999998", {}},
        {"SELECT B.NEXTVAL FROM DUAL", {"9999999999999999999999999998"}},
        {"SELECT B.NEXTVAL FROM DUAL", {"9999999999999999999999999999"}},
        {"SELECT B.NEXTVAL FROM DUAL", {"ORA-08004"}},
    });
}

TEST_F(SequenceTest, DefinitionsTheServerRefuses) {
    runSteps({
        {"CREATE SEQUENCE X INCREMENT BY 0", {"ORA-04002"}},
        {"CREATE SEQUENCE X MINVALUE 5 MAXVALUE 5", {"ORA-04004"}},
        {"CREATE SEQUENCE X INCREMENT BY 10 MINVALUE 1 MAXVALUE 5", {"ORA-04005"}},
        {"CREATE SEQUENCE X START WITH 0", {"ORA-04006"}},
        {"CREATE SEQUENCE X START WITH 6 MAXVALUE 5", {"ORA-04008"}},
        {"CREATE SEQUENCE X CACHE 1", {"ORA-04010"}},
        // The default CACHE 20 is more than one cycle of three values.
        {"CREATE SEQUENCE X MAXVALUE 3 CYCLE", {"ORA-04013"}},
        {"CREATE SEQUENCE X CYCLE", {"ORA-04015"}},
        {"CREATE SEQUENCE X INCREMENT BY -1 CYCLE", {"ORA-04014"}},
        {"CREATE SEQUENCE X MAXVALUE 99999999999999999999999999999", {"ORA-04003"}},
        {"CREATE SEQUENCE X INCREMENT BY 1 INCREMENT BY 2", {"ORA-02284"}},
        {"CREATE SEQUENCE X START WITH 1 START WITH 2", {"ORA-02285"}},
        {"CREATE SEQUENCE X MAXVALUE 5 NOMAXVALUE", {"ORA-02278"}},
        {"CREATE SEQUENCE X CYCLE NOCYCLE", {"ORA-02280"}},
        {"CREATE SEQUENCE X CACHE 5 NOCACHE", {"ORA-02281"}},
        {"CREATE SEQUENCE X START WITH 1.5", {"ORA-02017"}},
        {"CREATE SEQUENCE X BOGUS", {"ORA-00933"}},
        {"ALTER SEQUENCE X NOCACHE", {"ORA-02289"}},
        {"ALTER SEQUENCE X", {"ORA-02286"}},
        {"DROP SEQUENCE X", {"ORA-02289"}},
        {"SELECT X.NEXTVAL FROM DUAL", {"ORA-02289"}},
        // Nothing of the refused definitions was kept.
        {"SELECT COUNT(*) FROM USER_SEQUENCES", {"0"}},
    });
}

TEST_F(SequenceTest, NamesAreSharedWithTablesAndViews) {
    runSteps({
        {"CREATE TABLE T (ID NUMBER)", {}},
        {"CREATE SEQUENCE T", {"ORA-00955"}},
        {"CREATE SEQUENCE Q", {}},
        {"CREATE SEQUENCE Q", {"ORA-00955"}},
        {"CREATE TABLE Q (ID NUMBER)", {"ORA-00955"}},
        {"CREATE VIEW Q AS SELECT 1 X FROM DUAL", {"ORA-00955"}},
        {"DROP SEQUENCE Q", {}},
        {"CREATE TABLE Q (ID NUMBER)", {}},
    });
}

TEST_F(SequenceTest, OneValuePerRowWhereTheServerAllowsThem) {
    runSteps({
        {"CREATE SEQUENCE S START WITH 100 INCREMENT BY 10", {}},
        {"CREATE TABLE T (ID NUMBER, V VARCHAR2(5))", {}},
        {"INSERT INTO T VALUES (S.NEXTVAL, 'a')", {}},
        {"INSERT INTO T VALUES (S.NEXTVAL, 'b')", {}},
        {"INSERT INTO T (ID, V) SELECT S.NEXTVAL, V FROM T", {}},
        {"SELECT ID, V FROM T ORDER BY ID", {"100|a", "110|b", "120|a", "130|b"}},
        {"UPDATE T SET ID = S.NEXTVAL WHERE V = 'a'", {}},
        {"SELECT COUNT(DISTINCT ID) FROM T", {"4"}},
        {"SELECT COUNT(*) FROM T WHERE ID >= 140", {"2"}},
        {"SELECT S.CURRVAL FROM DUAL", {"150"}},
        {"INSERT INTO T VALUES (S.CURRVAL, 'c')", {}},
        {"SELECT COUNT(*) FROM T WHERE ID = 150", {"2"}},
        {"SELECT * FROM T WHERE ID = S.CURRVAL", {"ORA-02287"}},
        {"SELECT (SELECT S.NEXTVAL FROM DUAL) FROM DUAL", {"ORA-02287"}},
        {"DELETE FROM T WHERE ID = S.NEXTVAL", {"ORA-02287"}},
        {"CREATE VIEW V AS SELECT S.NEXTVAL N FROM DUAL", {"ORA-02287"}},
    });
    // Rows of a table each take their own value.
    const Rows ids = answer("SELECT S.NEXTVAL FROM T");
    ASSERT_EQ(ids.size(), 5U);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 5U);
}

TEST_F(SequenceTest, AlterChangesStepAndRestarts) {
    runSteps({
        {"CREATE SEQUENCE S NOCACHE", {}},
        {"SELECT S.NEXTVAL FROM DUAL", {"1"}},
        {"ALTER SEQUENCE S INCREMENT BY 5", {}},
        {"SELECT S.NEXTVAL FROM DUAL", {"6"}},
        {"ALTER SEQUENCE S START WITH 1", {"ORA-02283"}},
        {"ALTER SEQUENCE S INCREMENT BY 1 MAXVALUE 3", {"ORA-04009"}},
        {"ALTER SEQUENCE S", {"ORA-02286"}},
        {"ALTER SEQUENCE S RESTART START WITH 50", {}},
        {"SELECT S.NEXTVAL FROM DUAL", {"50"}},
        {"ALTER SEQUENCE S RESTART", {}},
        {"SELECT S.NEXTVAL FROM DUAL", {"1"}},
        {"SELECT SEQUENCE_NAME, MIN_VALUE, MAX_VALUE, INCREMENT_BY, CYCLE_FLAG, CACHE_SIZE, "
         "LAST_NUMBER FROM USER_SEQUENCES",
         {"S|1|9999999999999999999999999999|5|N|0|6"}},
    });
}

TEST_F(SequenceTest, LastNumberMovesByTheCache) {
    runSteps({
        {"CREATE SEQUENCE S START WITH 3 CACHE 10", {}},
        {"SELECT LAST_NUMBER FROM USER_SEQUENCES", {"3"}},
        {"SELECT S.NEXTVAL FROM DUAL", {"3"}},
        {"SELECT LAST_NUMBER, CACHE_SIZE FROM USER_SEQUENCES", {"13|10"}},
        {"SELECT S.NEXTVAL FROM DUAL", {"4"}},
        {"SELECT LAST_NUMBER FROM USER_SEQUENCES", {"13"}},
        {"CREATE SEQUENCE D INCREMENT BY -1", {}},
        {"SELECT MIN_VALUE, MAX_VALUE, LAST_NUMBER FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 'D'",
         {"-999999999999999999999999999|-1|-1"}},
        {"SELECT OBJECT_NAME, OBJECT_TYPE, STATUS FROM USER_OBJECTS ORDER BY 1",
         {"D|SEQUENCE|VALID", "S|SEQUENCE|VALID"}},
    });
}

TEST_F(SequenceTest, ValuesOutliveRollbackAndAreNeverGivenTwiceAcrossSessions) {
    s().execute("CREATE SEQUENCE S NOCACHE");
    s().execute("CREATE TABLE T (ID NUMBER)");
    auto other = open("scott", "tiger");
    s().setAutoCommit(false);
    s().execute("INSERT INTO T VALUES (S.NEXTVAL)");
    EXPECT_EQ(rows(*other, "SELECT S.NEXTVAL FROM DUAL"), Rows{"2"});
    s().rollback();
    EXPECT_EQ(rows(s(), "SELECT COUNT(*) FROM T"), Rows{"0"});
    EXPECT_EQ(rows(s(), "SELECT S.NEXTVAL FROM DUAL"), Rows{"3"});
    // Each session keeps its own CURRVAL.
    EXPECT_EQ(rows(*other, "SELECT S.CURRVAL FROM DUAL"), Rows{"2"});
    s().commit();
    other.reset();
    auto later = open("scott", "tiger");
    EXPECT_EQ(oraCode([&] { later->queryValue("SELECT S.CURRVAL FROM DUAL"); }), "ORA-08002");
    EXPECT_EQ(rows(*later, "SELECT S.NEXTVAL FROM DUAL"), Rows{"4"});
}

TEST_F(SequenceTest, OtherSchemasAndDropUser) {
    s().execute("CREATE SEQUENCE S");
    system().execute("CREATE USER plain IDENTIFIED BY pw");
    system().execute("GRANT CONNECT TO plain");
    auto plain = open("plain", "pw");
    EXPECT_EQ(oraCode([&] { plain->execute("CREATE SEQUENCE P"); }), "ORA-01031");
    EXPECT_EQ(oraCode([&] { plain->queryValue("SELECT SCOTT.S.NEXTVAL FROM DUAL"); }), "ORA-02289");
    EXPECT_EQ(rows(system(), "SELECT SCOTT.S.NEXTVAL FROM DUAL"), Rows{"1"});
    system().execute("CREATE SEQUENCE SCOTT.Z");
    EXPECT_EQ(rows(s(), "SELECT SEQUENCE_NAME FROM USER_SEQUENCES ORDER BY 1"), (Rows{"S", "Z"}));
    EXPECT_EQ(oraCode([&] { system().execute("DROP USER SCOTT"); }), "ORA-01922");
}

}  // namespace
}  // namespace malvorn::localserver
