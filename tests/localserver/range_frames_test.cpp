// RANGE frames reaching n before or after the current row, measured on the
// exact key: "RANGE ... value_expr PRECEDING" takes the rows whose ORDER BY
// value lies within value_expr of the current row's, and "If value_expr
// evaluates to a numeric value, then the ORDER BY expr must be a numeric or
// DATE data type" (Oracle SQL Language Reference, Analytic Functions,
// windowing_clause).
#include "steps.h"

namespace malvorn::localserver {
namespace {

class RangeFramesTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        // Keys 21 digits long, 1 apart: one REAL for all of them.
        executeAll({
            "CREATE TABLE K (P NUMBER, K NUMBER, V NUMBER, TS TIMESTAMP(3))",
            "INSERT INTO K VALUES (1, 100000000000000000001, 1, TIMESTAMP '2024-01-01 "
            "10:00:00.100')",
            "INSERT INTO K VALUES (1, 100000000000000000002, 10, TIMESTAMP '2024-01-02 "
            "10:00:00.100')",
            "INSERT INTO K VALUES (1, 100000000000000000004, 100, TIMESTAMP '2024-01-02 "
            "10:00:00.200')",
            "INSERT INTO K VALUES (1, NULL, 1000, NULL)",
            "INSERT INTO K VALUES (2, 100000000000000000002, 10000, TIMESTAMP '2024-01-03 "
            "10:00:00.100')",
        });
    }
};

TEST_F(RangeFramesTest, KeysAreComparedExactly) {
    runSteps({
        // 1 PRECEDING from ...002 reaches ...001 only; ...004 is alone; the
        // Null key's offsets reach the other Nulls.
        {"SELECT V, SUM(V) OVER (ORDER BY K RANGE BETWEEN 1 PRECEDING AND CURRENT ROW) FROM K "
         "WHERE P = 1 ORDER BY V",
         {"1|1", "10|11", "100|100", "1000|1000"}},
        {"SELECT V, COUNT(*) OVER (ORDER BY K RANGE BETWEEN CURRENT ROW AND 2 FOLLOWING), "
         "MAX(V) OVER (ORDER BY K RANGE BETWEEN CURRENT ROW AND 2 FOLLOWING) FROM K WHERE P = 1 "
         "ORDER BY V",
         {"1|2|10", "10|2|100", "100|1|100", "1000|1|1000"}},
        // DESC: PRECEDING is the larger keys; the Nulls come first.
        {"SELECT V, SUM(V) OVER (ORDER BY K DESC RANGE BETWEEN 2 PRECEDING AND 1 PRECEDING) "
         "FROM K WHERE P = 1 ORDER BY V",
         {"1|10", "10|100", "100|<null>", "1000|1000"}},
        {"SELECT V, MIN(V) OVER (ORDER BY K RANGE BETWEEN UNBOUNDED PRECEDING AND 1 PRECEDING), "
         "COUNT(V) OVER (ORDER BY K NULLS FIRST RANGE BETWEEN 1 FOLLOWING AND UNBOUNDED "
         "FOLLOWING) FROM K WHERE P = 1 ORDER BY V",
         {"1|<null>|2", "10|1|1", "100|1|0", "1000|1|4"}},
        // Each partition is measured on its own.
        {"SELECT P, V, AVG(V) OVER (PARTITION BY P ORDER BY K RANGE BETWEEN 3 PRECEDING AND 3 "
         "FOLLOWING) FROM K WHERE K IS NOT NULL ORDER BY V",
         {"1|1|37", "1|10|37", "1|100|37", "2|10000|10000"}},
        {"SELECT K, SUM(N) OVER (ORDER BY K RANGE BETWEEN 1 PRECEDING AND 1 FOLLOWING) FROM "
         "(SELECT K, COUNT(*) N FROM K GROUP BY K) WHERE K IS NOT NULL ORDER BY K",
         {"100000000000000000001|3", "100000000000000000002|3", "100000000000000000004|1"}},
    });
}

// A TIMESTAMP's key keeps its fraction: one day before 2024-01-02 10:00:00.1
// is exactly 2024-01-01 10:00:00.1, and .2 lies past it.
TEST_F(RangeFramesTest, DatesAreMeasuredInDaysWithTheirFraction) {
    runSteps({
        {"SELECT V, SUM(V) OVER (ORDER BY TS RANGE BETWEEN 1 PRECEDING AND CURRENT ROW) FROM K "
         "WHERE TS IS NOT NULL ORDER BY V",
         {"1|1", "10|11", "100|110", "10000|10110"}},
        {"SELECT V, COUNT(*) OVER (ORDER BY CAST(TS AS DATE) RANGE 1 PRECEDING) FROM K WHERE TS "
         "IS NOT NULL ORDER BY V",
         {"1|1", "10|3", "100|3", "10000|3"}},
    });
}

TEST_F(RangeFramesTest, TheKeyMustBeANumberOrADate) {
    runSteps({
        {"SELECT SUM(V) OVER (ORDER BY TO_CHAR(K) RANGE 1 PRECEDING) FROM K", {"ORA-00902"}},
        {"SELECT COUNT(*) OVER (ORDER BY 'x' RANGE BETWEEN CURRENT ROW AND 1 FOLLOWING) FROM K",
         {"ORA-00902"}},
        {"SELECT MAX(V) OVER (ORDER BY K, V RANGE 1 PRECEDING) FROM K", {"ORA-30486"}},
        // Without an offset any key orders the frame.
        {"SELECT COUNT(*) OVER (ORDER BY TO_CHAR(V) RANGE UNBOUNDED PRECEDING) FROM K WHERE V < 10",
         {"1"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
