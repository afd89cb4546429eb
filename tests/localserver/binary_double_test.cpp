// BINARY_DOUBLE and BINARY_FLOAT: column types as the dictionary shows them,
// literals (1.5d, 2e3f), TO_BINARY_DOUBLE / TO_BINARY_FLOAT, values rounded
// to the type, IEEE arithmetic when a binary operand takes part (Oracle's
// numeric precedence: BINARY_DOUBLE, BINARY_FLOAT, NUMBER; SQL Language
// Reference, "Numeric Precedence"), and TO_CHAR without a format, which
// gives the value's significant digits in scientific form (TO_BINARY_DOUBLE's
// examples show 1.235E+003 in a ten-character column).
#include "steps.h"

namespace malvorn::localserver {
namespace {

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

}  // namespace
}  // namespace malvorn::localserver
