#include "steps.h"

namespace malvorn::localserver {
namespace {

// BINARY_DOUBLE and BINARY_FLOAT columns, literals (1.5d, 2e3f) and
// conversions: values rounded to the type, IEEE arithmetic once a binary
// operand takes part, TO_CHAR without a format in scientific form.
class BinaryDoubleTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE B (ID NUMBER, D BINARY_DOUBLE, F BINARY_FLOAT, N NUMBER)",
            "INSERT INTO B VALUES (1, 0.2, 0.1, 0.1)",
            "INSERT INTO B VALUES (2, 16777217, 16777217, 16777217)",
            "INSERT INTO B VALUES (3, -1234.56d, 2e3f, NULL)",
        });
    }
};

TEST_F(BinaryDoubleTest, ColumnsAndStoredValues) {
    runSteps({
        {"SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE FROM "
         "USER_TAB_COLUMNS WHERE TABLE_NAME = 'B' AND COLUMN_NAME IN ('D', 'F') ORDER BY "
         "COLUMN_ID",
         {"D|BINARY_DOUBLE|8|<null>|<null>", "F|BINARY_FLOAT|4|<null>|<null>"}},
        {"CREATE TABLE X (V BINARY_DOUBLE(5))", {"ORA-00907"}},
        // 2^24 + 1 has no BINARY_FLOAT: the nearest is 2^24.
        {"SELECT TO_CHAR(D), TO_CHAR(F), TO_CHAR(N) FROM B ORDER BY ID",
         {"2.0E-001|1.0E-001|.1", "1.6777217E+007|1.6777216E+007|16777217",
          "-1.23456E+003|2.0E+003|<null>"}},
        // NUMBER 0.1 compared with a BINARY_FLOAT is converted to one first.
        {"SELECT ID FROM B WHERE F = 0.1 OR D = 16777217 ORDER BY D", {"1", "2"}},
        {"SELECT ID FROM B ORDER BY F DESC", {"2", "3", "1"}},
    });
}

TEST_F(BinaryDoubleTest, LiteralsFunctionsAndArithmetic) {
    runSteps({
        {"SELECT TO_CHAR(1.5d), TO_CHAR(2e3d), TO_CHAR(-0.001f), TO_CHAR(0d) FROM DUAL",
         {"1.5E+000|2.0E+003|-1.0E-003|0"}},
        // IEEE sums: 0.1 + 0.2 is not 0.3 in BINARY_DOUBLE, and NUMBER + BINARY_DOUBLE
        // is a BINARY_DOUBLE; in BINARY_FLOAT the sum rounds to 0.3's float.
        {"SELECT TO_CHAR(0.1d + 0.2d), TO_CHAR(0.1 + 0.2), TO_CHAR(N + D), TO_CHAR(0.1f + "
         "0.2f) FROM B WHERE ID = 1",
         {"3.0000000000000004E-001|.3|3.0000000000000004E-001|3.0E-001"}},
        {"SELECT TO_CHAR(TO_BINARY_DOUBLE(1234.56)), TO_CHAR(TO_BINARY_FLOAT('1234.56')), "
         "TO_CHAR(TO_BINARY_DOUBLE(1) / 3) FROM DUAL",
         {"1.23456E+003|1.23456E+003|3.333333333333333E-001"}},
        {"SELECT TO_BINARY_DOUBLE('abc') FROM DUAL", {"ORA-01722"}},
        {"SELECT TO_BINARY_DOUBLE(1, 2, 3) FROM DUAL", {"ORA-00909"}},
        // A format model works on the value as for a NUMBER.
        {"SELECT TO_CHAR(2.5d, '990.00') FROM DUAL", {"   2.50"}},
        // `1 d` is a number and its alias; `1d` a literal.
        {"SELECT 1 d FROM DUAL", {"1"}},
        {"SELECT TO_CHAR(1.5d * 2) FROM DUAL", {"3.0E+000"}},
    });
}

// Magnitudes a NUMBER cannot hold (past 1E126, below 1E-130) the server
// cannot keep as the shortest decimal either: refused, not rounded.
TEST_F(BinaryDoubleTest, MagnitudesTheServerCannotHoldAreRefused) {
    runSteps({
        {"SELECT TO_CHAR(1e300d) FROM DUAL", {"ORA-01426"}},
        {"SELECT TO_CHAR(1e-200d) FROM DUAL", {"ORA-01426"}},
        {"INSERT INTO B (ID, D) VALUES (4, 1e100d * 1e100d)", {"ORA-01426"}},
        {"SELECT COUNT(*) FROM B", {"3"}},
    });
}

// Wherever the server makes text of a binary value (||, the text functions,
// LIKE, CAST, a character column, the value handed to the client) it is
// TO_CHAR's scientific form, 1.5E+000.
class BinaryTextTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE B (ID NUMBER, D BINARY_DOUBLE, F BINARY_FLOAT, N NUMBER)",
            "INSERT INTO B VALUES (1, 0.2, 0.1, 0.5)",
            "INSERT INTO B VALUES (2, -1234.56, 2e3, NULL)",
            "CREATE TABLE T (ID NUMBER, V VARCHAR2(30), C CHAR(10), L CLOB)",
        });
    }
};

TEST_F(BinaryTextTest, ExpressionsMakingText) {
    runSteps({
        {"SELECT 1.5d || '', 'x' || 2e3f, CONCAT(0.1d, 'a') FROM DUAL",
         {"1.5E+000|x2.0E+003|1.0E-001a"}},
        {"SELECT D || '/' || F || '/' || N FROM B ORDER BY ID",
         {"2.0E-001/1.0E-001/.5", "-1.23456E+003/2.0E+003/"}},
        // IEEE sum, then its text.
        {"SELECT (0.1d + 0.2d) || '' FROM DUAL", {"3.0000000000000004E-001"}},
        {"SELECT LENGTH(1.5d), UPPER(1.5d), SUBSTR(2e3d, 1, 3), LPAD(1d, 10, '*') FROM DUAL",
         {"8|1.5E+000|2.0|**1.0E+000"}},
        {"SELECT CAST(1.5d AS VARCHAR2(10)), CAST(0.25f AS CHAR(10)) FROM DUAL",
         {"1.5E+000|2.5E-001  "}},
        {"SELECT ID FROM B WHERE D LIKE '%E+003' OR F LIKE '1.0E-001'", {"1", "2"}},
        {"SELECT LISTAGG(D, ',') WITHIN GROUP (ORDER BY ID) FROM B", {"2.0E-001,-1.23456E+003"}},
        // A number made binary by CAST is rounded to the type.
        {"SELECT CAST(1 / 3 AS BINARY_DOUBLE) || '' FROM DUAL", {"3.333333333333333E-001"}},
        // 0 has no exponent in Oracle's form; NULL stays NULL.
        {"SELECT 0d || '', NVL(TO_CHAR(TO_BINARY_DOUBLE(NULL)), 'null') FROM DUAL", {"0|null"}},
    });
}

TEST_F(BinaryTextTest, CharacterColumnsStoreTheText) {
    runSteps({
        {"INSERT INTO T VALUES (1, 1.5d, 2e3f, 0.1d)", {}},
        {"INSERT INTO T (ID, V) SELECT 10 + ID, D FROM B", {}},
        {"INSERT INTO T (ID, V) SELECT 20 + ID, D FROM B WHERE ID = 1 UNION ALL "
         "SELECT 22, N FROM B WHERE ID = 1",
         {}},
        {"UPDATE T SET C = 0.25f * 4 WHERE ID = 11", {}},
        {"SELECT ID, V, C, L FROM T ORDER BY ID",
         {"1|1.5E+000|2.0E+003  |1.0E-001", "11|2.0E-001|1.0E+000  |<null>",
          "12|-1.23456E+003|<null>|<null>", "21|2.0E-001|<null>|<null>",
          "22|5.0E-001|<null>|<null>"}},
        // A number column takes the value itself.
        {"INSERT INTO B (ID, N) VALUES (3, 0.1d + 0.2d)", {}},
        {"SELECT N FROM B WHERE ID = 3", {"0.30000000000000004"}},
        {"MERGE INTO T USING B ON (T.ID = B.ID + 100) WHEN NOT MATCHED THEN "
         "INSERT (ID, V) VALUES (B.ID + 100, B.F)",
         {}},
        {"SELECT V FROM T WHERE ID > 100 ORDER BY ID", {"1.0E-001", "2.0E+003", "<null>"}},
    });
}

TEST_F(BinaryTextTest, SelectedValuesReachTheClientInTheBinaryForm) {
    runSteps({
        {"SELECT D, F, N FROM B ORDER BY ID",
         {"2.0E-001|1.0E-001|0.5", "-1.23456E+003|2.0E+003|<null>"}},
        {"SELECT * FROM B WHERE ID = 1", {"1|2.0E-001|1.0E-001|0.5"}},
        {"SELECT X FROM (SELECT D + 1 AS X FROM B) ORDER BY X", {"-1.23356E+003", "1.2E+000"}},
        // An inline view's binary column stays binary: its arithmetic is IEEE.
        {"SELECT X + 0.1 FROM (SELECT 0.2d AS X FROM DUAL)", {"3.0000000000000004E-001"}},
        // The highest numeric type of a compound's branches is the column's.
        {"SELECT 1 FROM DUAL UNION ALL SELECT 2d FROM DUAL", {"1.0E+000", "2.0E+000"}},
        {"SELECT MAX(D), MIN(F), COUNT(D) FROM B", {"2.0E-001|1.0E-001|2"}},
        {"SELECT -D FROM B WHERE ID = 2", {"1.23456E+003"}},
    });
    // queryValue hands out the same text.
    EXPECT_EQ(s().queryValue("SELECT 1.5d FROM DUAL"), "1.5E+000");
}

// CASE, NVL, NVL2, COALESCE and DECODE take the highest numeric type among
// their results (BINARY_DOUBLE, BINARY_FLOAT, NUMBER); SUM and AVG the
// argument's, adding in IEEE arithmetic.
class BinaryChoiceTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE B (ID NUMBER, D BINARY_DOUBLE, F BINARY_FLOAT, N NUMBER)",
            "INSERT INTO B VALUES (1, 0.1, 0.5, 0.1)",
            "INSERT INTO B VALUES (2, 0.2, NULL, 0.2)",
            "INSERT INTO B VALUES (3, 0.3, 0.25, 0.3)",
            "INSERT INTO B VALUES (4, NULL, NULL, NULL)",
        });
    }
};

TEST_F(BinaryChoiceTest, ChoicesTakeTheHighestNumericType) {
    runSteps({
        {"SELECT NVL(D, 1 / 3) FROM B WHERE ID = 4", {"3.333333333333333E-001"}},
        {"SELECT NVL2(D, 1 / 3, 0d), COALESCE(F, 1 / 3), NVL2(D, 1 / 3, 0) FROM B WHERE ID = 1",
         {"3.333333333333333E-001|5.0E-001|0.3333333333333333333333333333333333333333"}},
        // BINARY_FLOAT outranks NUMBER: 1/3 is rounded to single precision.
        {"SELECT COALESCE(F, 1 / 3) FROM B WHERE ID = 2", {"3.3333334E-001"}},
        {"SELECT CASE WHEN ID = 1 THEN 1 / 3 ELSE D END FROM B WHERE ID IN (1, 2) ORDER BY ID",
         {"3.333333333333333E-001", "2.0E-001"}},
        {"SELECT CASE ID WHEN 4 THEN F ELSE 1 / 3 END FROM B WHERE ID IN (3, 4) ORDER BY ID",
         {"3.3333334E-001", "<null>"}},
        {"SELECT DECODE(ID, 1, 1 / 3, 2, D) FROM B WHERE ID <= 2 ORDER BY ID",
         {"3.333333333333333E-001", "2.0E-001"}},
        {"SELECT DECODE(ID, 1, 1 / 3, 2d) FROM B WHERE ID = 1", {"3.333333333333333E-001"}},
        // A choice of binary type takes part in IEEE arithmetic.
        {"SELECT TO_CHAR(NVL(D, 0) + 0.2) FROM B WHERE ID = 1", {"3.0000000000000004E-001"}},
        // Without a binary result the choice stays an exact NUMBER.
        {"SELECT NVL(N, 1 / 3), CASE WHEN ID = 4 THEN 1 / 3 END FROM B WHERE ID = 4",
         {"0.3333333333333333333333333333333333333333|0.3333333333333333333333333333333333333333"}},
        // The condition's binary operand does not make the result binary.
        {"SELECT CASE WHEN D > 0 THEN N END FROM B WHERE ID = 1", {"0.1"}},
    });
}

TEST_F(BinaryChoiceTest, AggregatesOverBinaryValues) {
    runSteps({
        {"SELECT TO_CHAR(SUM(D)), TO_CHAR(AVG(D)), TO_CHAR(SUM(N)) FROM B",
         {"6.000000000000001E-001|2.0000000000000004E-001|.6"}},
        {"SELECT SUM(D), MAX(D), MIN(F), AVG(F) FROM B WHERE ID <= 2",
         {"3.0000000000000004E-001|2.0E-001|5.0E-001|5.0E-001"}},
        {"SELECT SUM(DISTINCT D) FROM B", {"6.000000000000001E-001"}},
        {"SELECT SUM(D) FROM B WHERE ID = 4", {"<null>"}},
        // A running sum, and a moving one whose rows leave the window: each
        // frame's own IEEE sum (0.2 + 0.3 is 0.5, not 0.30000000000000004 + 0.3 - 0.1).
        {"SELECT ID, SUM(D) OVER (ORDER BY ID), SUM(D) OVER (ORDER BY ID ROWS BETWEEN 1 "
         "PRECEDING AND CURRENT ROW) FROM B WHERE ID <= 3 ORDER BY ID",
         {"1|1.0E-001|1.0E-001", "2|3.0000000000000004E-001|3.0000000000000004E-001",
          "3|6.000000000000001E-001|5.0E-001"}},
        {"SELECT ID, AVG(D) OVER (), LAG(D) OVER (ORDER BY ID) FROM B WHERE ID <= 2 ORDER BY ID",
         {"1|1.5000000000000002E-001|<null>", "2|1.5000000000000002E-001|1.0E-001"}},
    });
}

TEST_F(BinaryChoiceTest, DerivedColumnsKeepTheBinaryType) {
    runSteps({
        {"CREATE TABLE C AS SELECT ID, NVL(D, 0) V, D * 2 W, CASE WHEN ID > 0 THEN F END X, "
         "SUM(D) OVER () S, NVL(N, 0) M FROM B",
         {}},
        {"SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'C' ORDER BY "
         "COLUMN_ID",
         {"ID|NUMBER", "V|BINARY_DOUBLE", "W|BINARY_DOUBLE", "X|BINARY_FLOAT", "S|BINARY_DOUBLE",
          "M|NUMBER"}},
        {"SELECT V, S FROM C WHERE ID = 4", {"0|6.000000000000001E-001"}},
        {"CREATE VIEW VS AS SELECT SUM(D) S, SUM(N) T FROM B", {}},
        {"SELECT S, TO_CHAR(S - 0.6), T FROM VS",
         {"6.000000000000001E-001|1.1102230246251565E-016|0.6"}},
    });
}

// A scalar subquery keeps its select item's binary type at any depth.
class BinarySubqueryTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE Q (ID NUMBER, D BINARY_DOUBLE, F BINARY_FLOAT, N NUMBER)",
            "INSERT INTO Q VALUES (1, 0.1, 0.1, 0.1)",
            "INSERT INTO Q VALUES (2, 1d / 0, 2.5, 2.5)",
        });
    }
};

TEST_F(BinarySubqueryTest, ValuesKeepTheirBinaryType) {
    const std::vector<ValueCase> cases = {
        {"(SELECT D FROM Q WHERE ID = 1)", "1.0E-001"},
        {"(SELECT F FROM Q WHERE ID = 2)", "2.5E+000"},
        {"(SELECT N FROM Q WHERE ID = 1)", "0.1"},
        {"TO_CHAR((SELECT D FROM Q WHERE ID = 1))", "1.0E-001"},
        {"(SELECT D FROM Q WHERE ID = 1) + 0.2", "3.0000000000000004E-001"},
        {"(SELECT N FROM Q WHERE ID = 1) + 0.2", "0.3"},
        {"(SELECT D FROM Q WHERE ID = 2) || ''", "Inf"},
        {"(SELECT 1d FROM DUAL) / 0", "Inf"},
        {"(SELECT 1 FROM DUAL) / 0", "ORA-01476"},
        {"NVL((SELECT F FROM Q WHERE ID = 9), 1 / 3)", "3.3333334E-001"},
        {"(SELECT MAX(D) FROM Q)", "Inf"},
        {"(SELECT D FROM Q WHERE ID = 1 UNION SELECT 0.1 FROM DUAL)", "1.0E-001"},
        // Nested deeper than the server works out before the statement runs.
        {"(SELECT (SELECT (SELECT (SELECT (SELECT (SELECT 0.1d FROM DUAL) FROM DUAL) FROM DUAL) "
         "FROM DUAL) FROM DUAL) FROM DUAL) + 0.2",
         "3.0000000000000004E-001"},
        {"(SELECT (SELECT (SELECT (SELECT (SELECT (SELECT D FROM Q WHERE ID = 2) FROM DUAL) "
         "FROM DUAL) FROM DUAL) FROM DUAL) FROM DUAL) - 1",
         "Inf"},
    };
    checkValues(cases);
}

TEST_F(BinarySubqueryTest, StoredAndDerivedAsTheType) {
    runSteps({
        {"CREATE TABLE C AS SELECT (SELECT D FROM Q WHERE ID = 1) X, (SELECT F FROM Q WHERE ID "
         "= 1) Y FROM DUAL",
         {}},
        {"SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'C' ORDER BY "
         "COLUMN_ID",
         {"X|BINARY_DOUBLE", "Y|BINARY_FLOAT"}},
        {"CREATE TABLE V (T VARCHAR2(30))", {}},
        {"INSERT INTO V VALUES ((SELECT D FROM Q WHERE ID = 1))", {}},
        {"UPDATE V SET T = T || (SELECT F FROM Q WHERE ID = 2)", {}},
        {"SELECT T FROM V", {"1.0E-0012.5E+000"}},
        // A correlated one, per row.
        {"SELECT ID, (SELECT D * 2 FROM Q I WHERE I.ID = O.ID) FROM Q O ORDER BY ID",
         {"1|2.0E-001", "2|Inf"}},
    });
}

// SUM and AVG of binary values over DISTINCT values and RANGE frames add in
// the type: 0.1d + 0.2d is 3.0000000000000004E-001, 1.1f + 2.2f 3.3000002.
class BinaryWindowTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE W (K NUMBER, D BINARY_DOUBLE, F BINARY_FLOAT, N NUMBER)",
            "INSERT INTO W VALUES (1, 0.1, 1.1, 0.1)",
            "INSERT INTO W VALUES (2, 0.2, 2.2, 0.2)",
            "INSERT INTO W VALUES (3, 0.2, 2.2, 0.2)",
            "INSERT INTO W VALUES (5, NULL, NULL, NULL)",
        });
    }
};

TEST_F(BinaryWindowTest, DistinctValuesAddInTheType) {
    runSteps({
        {"SELECT SD, AD, SF, SN FROM (SELECT K, SUM(DISTINCT D) OVER () SD, AVG(DISTINCT D) "
         "OVER () AD, SUM(DISTINCT F) OVER () SF, SUM(DISTINCT N) OVER () SN FROM W) WHERE K = 1",
         {"3.0000000000000004E-001|1.5000000000000002E-001|3.3000002E+000|0.3"}},
        {"SELECT K, AVG(DISTINCT F) OVER (PARTITION BY CASE WHEN K < 3 THEN 0 END) FROM W "
         "ORDER BY K",
         {"1|1.6500001E+000", "2|1.6500001E+000", "3|2.2E+000", "5|2.2E+000"}},
        {"SELECT SUM(DISTINCT D) OVER () FROM W WHERE K = 5", {"<null>"}},
        // Infinities: +Inf and -Inf together make NaN.
        {"INSERT INTO W VALUES (6, 1d / 0, -1f / 0, 6)", {}},
        {"INSERT INTO W VALUES (7, -1d / 0, 1e39, 7)", {}},
        {"SELECT DISTINCT SUM(DISTINCT D) OVER (), SUM(DISTINCT F) OVER () FROM W", {"Nan|Nan"}},
    });
}

TEST_F(BinaryWindowTest, RangeFramesAddInTheType) {
    runSteps({
        {"SELECT K, SUM(D) OVER (ORDER BY K RANGE BETWEEN 1 PRECEDING AND CURRENT ROW), "
         "SUM(F) OVER (ORDER BY K RANGE 1 PRECEDING), SUM(N) OVER (ORDER BY K RANGE 1 "
         "PRECEDING) FROM W ORDER BY K",
         {"1|1.0E-001|1.1E+000|0.1", "2|3.0000000000000004E-001|3.3000002E+000|0.3",
          "3|4.0E-001|4.4E+000|0.4", "5|<null>|<null>|<null>"}},
        {"SELECT K, AVG(D) OVER (ORDER BY K DESC RANGE BETWEEN CURRENT ROW AND 1 FOLLOWING), "
         "COUNT(D) OVER (ORDER BY K RANGE BETWEEN 2 PRECEDING AND 2 FOLLOWING) FROM W ORDER BY K",
         {"1|1.0E-001|3", "2|1.5000000000000002E-001|3", "3|2.0E-001|3", "5|<null>|1"}},
        {"INSERT INTO W VALUES (4, 1d / 0, 0, 4)", {}},
        {"SELECT K, SUM(D) OVER (ORDER BY K RANGE BETWEEN 1 PRECEDING AND 1 FOLLOWING) FROM W "
         "ORDER BY K",
         {"1|3.0000000000000004E-001", "2|5.0E-001", "3|Inf", "4|Inf", "5|Inf"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
