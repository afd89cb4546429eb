// Analytic functions and LISTAGG: Nulls sort last going up, an ordered
// aggregate's default window ends at the current row's last peer, and
// analytic functions stand only in the select list and ORDER BY (ORA-30483).
#include <gtest/gtest.h>

#include "steps.h"

namespace malvorn::localserver {
namespace {

class AnalyticTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        s().execute("CREATE TABLE T (DEPT NUMBER, NAME VARCHAR2(10), SAL NUMBER)");
        for (const char* row : {"10, 'A', 100", "10, 'B', 200", "10, 'C', 200", "20, 'D', 300",
                                "20, 'E', NULL", "30, 'F', 0.1", "30, 'G', 0.2"})
            s().execute(std::string("INSERT INTO T VALUES (") + row + ")");
    }
};

TEST_F(AnalyticTest, RankingFunctions) {
    runSteps({
        {"SELECT NAME, ROW_NUMBER() OVER (PARTITION BY DEPT ORDER BY SAL DESC, NAME), RANK() OVER "
         "(PARTITION BY DEPT ORDER BY SAL DESC), DENSE_RANK() OVER (ORDER BY SAL) FROM T ORDER BY "
         "NAME",
         {"A|3|3|3", "B|1|1|4", "C|2|1|4", "D|2|2|5", "E|1|1|6", "F|2|2|1", "G|1|1|2"}},
        {"SELECT NAME, RANK() OVER (ORDER BY SAL NULLS FIRST) R FROM T ORDER BY R, NAME",
         {"E|1", "F|2", "G|3", "A|4", "B|5", "C|5", "D|7"}},
        {"SELECT NAME FROM T ORDER BY SUM(SAL) OVER (PARTITION BY DEPT), NAME",
         {"F", "G", "D", "E", "A", "B", "C"}},
    });
}

// SUM and AVG keep exact decimal arithmetic (0.1 + 0.2 is 0.3).
TEST_F(AnalyticTest, AggregatesOverWindows) {
    runSteps({
        {"SELECT NAME, SUM(SAL) OVER (PARTITION BY DEPT), SUM(SAL) OVER (ORDER BY NAME ROWS "
         "BETWEEN 1 PRECEDING AND CURRENT ROW), COUNT(SAL) OVER (PARTITION BY DEPT), "
         "ROUND(AVG(SAL) OVER (PARTITION BY DEPT), 2) FROM T ORDER BY NAME",
         {"A|500|100|3|166.67", "B|500|300|3|166.67", "C|500|400|3|166.67", "D|300|500|1|300",
          "E|300|300|1|300", "F|0.3|0.1|2|0.15", "G|0.3|0.3|2|0.15"}},
        {"SELECT NAME, SUM(SAL) OVER (ORDER BY SAL), MAX(SAL) OVER (PARTITION BY DEPT), COUNT(*) "
         "OVER () FROM T ORDER BY NAME",
         {"A|100.3|200|7", "B|500.3|200|7", "C|500.3|200|7", "D|800.3|300|7", "E|800.3|300|7",
          "F|0.1|0.2|7", "G|0.3|0.2|7"}},
        {"SELECT NAME, SUM(SAL) OVER (ORDER BY NAME ROWS UNBOUNDED PRECEDING) FROM T WHERE DEPT = "
         "10 ORDER BY NAME",
         {"A|100", "B|300", "C|500"}},
        {"SELECT DEPT, SUM(SAL), RANK() OVER (ORDER BY SUM(SAL) DESC) FROM T GROUP BY DEPT ORDER "
         "BY DEPT",
         {"10|500|1", "20|300|2", "30|0.3|3"}},
    });
}

// The default stands where the offset reaches past the partition.
TEST_F(AnalyticTest, LagAndLead) {
    runSteps({
        {"SELECT NAME, LAG(SAL) OVER (ORDER BY NAME), LEAD(SAL, 2, -1) OVER (ORDER BY NAME), "
         "LAG(NAME, 1, 'none') OVER (PARTITION BY DEPT ORDER BY NAME) FROM T ORDER BY NAME",
         {"A|<null>|200|none", "B|100|300|A", "C|200|<null>|B", "D|200|0.1|none", "E|300|0.2|D",
          "F|<null>|-1|none", "G|0.1|-1|F"}},
    });
}

TEST_F(AnalyticTest, ListAggregate) {
    runSteps({
        {"SELECT DEPT, LISTAGG(NAME, ',') WITHIN GROUP (ORDER BY SAL DESC, NAME) FROM T GROUP BY "
         "DEPT ORDER BY DEPT",
         {"10|B,C,A", "20|E,D", "30|G,F"}},
        {"SELECT LISTAGG(NAME) WITHIN GROUP (ORDER BY NAME DESC) FROM T", {"GFEDCBA"}},
        {"SELECT NAME, LISTAGG(NAME, '-') WITHIN GROUP (ORDER BY NAME) OVER (PARTITION BY DEPT) "
         "FROM T WHERE DEPT = 30 ORDER BY NAME",
         {"F|F-G", "G|F-G"}},
        {"SELECT LISTAGG(SAL, ';') WITHIN GROUP (ORDER BY SAL) FROM T WHERE DEPT > 10",
         {".1;.2;300"}},
        {"SELECT LISTAGG(NAME, ',') FROM T", {"ORA-02000"}},
        {"SELECT NAME FROM T WHERE LISTAGG(NAME) WITHIN GROUP (ORDER BY NAME) = 'x'",
         {"ORA-00934"}},
    });
}

// With DISTINCT only a partition may be given.
TEST_F(AnalyticTest, DistinctOverAWholePartition) {
    runSteps({
        {"SELECT NAME, COUNT(DISTINCT SAL) OVER (PARTITION BY DEPT), SUM(DISTINCT SAL) OVER "
         "(PARTITION BY DEPT), AVG(DISTINCT SAL) OVER (), MAX(DISTINCT SAL) OVER () FROM T WHERE "
         "DEPT < 30 ORDER BY NAME",
         {"A|2|300|200|300", "B|2|300|200|300", "C|2|300|200|300", "D|1|300|200|300",
          "E|1|300|200|300"}},
        {"SELECT DEPT, COUNT(DISTINCT DEPT) OVER () FROM T GROUP BY DEPT ORDER BY DEPT",
         {"10|3", "20|3", "30|3"}},
    });
}

TEST_F(AnalyticTest, RefusedWhereOracleRefusesThem) {
    runSteps({
        {"SELECT NAME FROM T WHERE ROW_NUMBER() OVER (ORDER BY SAL) = 1", {"ORA-30483"}},
        {"SELECT COUNT(*) FROM T GROUP BY RANK() OVER (ORDER BY SAL)", {"ORA-30483"}},
        {"SELECT SUM(ROW_NUMBER() OVER (ORDER BY SAL)) OVER () FROM T", {"ORA-30483"}},
        {"SELECT RANK() OVER (PARTITION BY DEPT) FROM T", {"ORA-30485"}},
        {"SELECT LAG(SAL) OVER () FROM T", {"ORA-30485"}},
        {"SELECT NTILE(2) OVER (ORDER BY SAL) FROM T", {"ORA-00904"}},
        {"SELECT DEPT FROM T GROUP BY DEPT HAVING RANK() OVER (ORDER BY DEPT) = 1", {"ORA-30483"}},
        {"SELECT COUNT(DISTINCT SAL) OVER (PARTITION BY DEPT ORDER BY NAME) FROM T", {"ORA-30487"}},
        {"SELECT SUM(SAL) OVER (ORDER BY SAL ROWS BETWEEN x AND CURRENT ROW) FROM T",
         {"ORA-00905"}},
    });
}

// RANGE frames measure the one ORDER BY key exactly: a number, or a date in
// days with its fraction; DESC turns PRECEDING to the larger keys, and Null
// keys are each other's peers.
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

// LISTAGG(DISTINCT ...) drops duplicates before joining in the WITHIN GROUP
// order: each value once, where it first comes.
class ListDistinctTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE L (ID NUMBER, G NUMBER, V VARCHAR2(10), N NUMBER)",
            "INSERT INTO L VALUES (1, 1, 'b', 2)",
            "INSERT INTO L VALUES (2, 1, 'a', 1)",
            "INSERT INTO L VALUES (3, 1, 'b', 2.0)",
            "INSERT INTO L VALUES (4, 1, NULL, NULL)",
            "INSERT INTO L VALUES (5, 2, 'c', 1)",
            "INSERT INTO L VALUES (6, 2, 'c', 3)",
        });
    }
};

TEST_F(ListDistinctTest, DuplicatesRemovedBeforeJoining) {
    runSteps({
        {"SELECT G, LISTAGG(DISTINCT V, ',') WITHIN GROUP (ORDER BY V) FROM L GROUP BY G "
         "ORDER BY G",
         {"1|a,b", "2|c"}},
        {"SELECT G, LISTAGG(V, ',') WITHIN GROUP (ORDER BY V) FROM L GROUP BY G ORDER BY G",
         {"1|a,b,b", "2|c,c"}},
        // Numbers are equal by value: 2 and 2.0 are one.
        {"SELECT LISTAGG(DISTINCT N, '-') WITHIN GROUP (ORDER BY N DESC) FROM L", {"3-2-1"}},
        // Ordered by another key, a value keeps its first place in that order.
        {"SELECT LISTAGG(DISTINCT V, ',') WITHIN GROUP (ORDER BY ID DESC) FROM L", {"c,b,a"}},
        {"SELECT LISTAGG(DISTINCT V) WITHIN GROUP (ORDER BY V) FROM L WHERE G = 1", {"ab"}},
        {"SELECT LISTAGG(DISTINCT V, ',') WITHIN GROUP (ORDER BY V) FROM L WHERE ID = 4",
         {"<null>"}},
        {"SELECT ID, LISTAGG(DISTINCT V, ',') WITHIN GROUP (ORDER BY V) OVER (PARTITION BY G) "
         "FROM L WHERE ID >= 4 ORDER BY ID",
         {"4|<null>", "5|c", "6|c"}},
        {"SELECT LISTAGG(DISTINCT V, ',', 'x') WITHIN GROUP (ORDER BY V) FROM L", {"ORA-00909"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
