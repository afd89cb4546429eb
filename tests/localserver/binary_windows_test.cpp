// SUM and AVG of BINARY_DOUBLE and BINARY_FLOAT values as window functions
// over DISTINCT values and over a RANGE frame with an offset: each sum is the
// type's (SQL Language Reference, "Numeric Precedence": an operation on
// binary values is carried out in the binary type, with IEEE754 rounding,
// "IEEE754 Conformance"), so 0.1d + 0.2d is 0.30000000000000004 and
// 1.1f + 2.2f is 3.3000002 rather than their exact decimal sums.
#include "steps.h"

namespace malvorn::localserver {
namespace {

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
