// BINARY_DOUBLE and BINARY_FLOAT values wherever the server makes text of
// them: the implicit conversion to VARCHAR2 is TO_CHAR without a format
// (SQL Language Reference, "Implicit Data Conversion" and "TO_CHAR
// (number)": the value's significant digits), which for these types is the
// scientific form 1.5E+000. That covers ||, CONCAT, the text functions, LIKE,
// CAST to a character type, a VARCHAR2 column that stores one, and the
// selected value handed to the client as text.
#include "steps.h"

namespace malvorn::localserver {
namespace {

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

}  // namespace
}  // namespace malvorn::localserver
