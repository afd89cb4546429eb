// The type of expressions choosing among binary values and of aggregates over
// them (SQL Language Reference, "Numeric Precedence": BINARY_DOUBLE, then
// BINARY_FLOAT, then NUMBER; "CASE Expressions", "NVL", "NVL2", "COALESCE",
// "DECODE": with numeric results the one of highest numeric precedence
// decides the type and the others are converted to it; "SUM", "AVG": the
// type of the argument). A NUMBER result converted to BINARY_DOUBLE is
// rounded (1/3 becomes 3.333333333333333E-001), and SUM adds in IEEE
// arithmetic (0.1 + 0.2 is 3.0000000000000004E-001).
#include "steps.h"

namespace malvorn::localserver {
namespace {

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

}  // namespace
}  // namespace malvorn::localserver
