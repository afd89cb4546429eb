// Analytic functions and LISTAGG as Oracle 19c's SQL Language Reference
// documents them ("Analytic Functions", and each function's page): Nulls
// sort last going up and first going down, the default window of an ordered
// aggregate runs from the partition's start to the current row's last peer,
// and analytic functions may appear only in the select list and ORDER BY
// (ORA-30483).
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

// LAG and LEAD: "LAG(value_expr, offset, default)"; the default stands where
// the offset reaches past the partition.
TEST_F(AnalyticTest, LagAndLead) {
    runSteps({
        {"SELECT NAME, LAG(SAL) OVER (ORDER BY NAME), LEAD(SAL, 2, -1) OVER (ORDER BY NAME), "
         "LAG(NAME, 1, 'none') OVER (PARTITION BY DEPT ORDER BY NAME) FROM T ORDER BY NAME",
         {"A|<null>|200|none", "B|100|300|A", "C|200|<null>|B", "D|200|0.1|none", "E|300|0.2|D",
          "F|<null>|-1|none", "G|0.1|-1|F"}},
    });
}

// LISTAGG: "LISTAGG(measure_expr, delimiter) WITHIN GROUP (order_by_clause)
// [OVER query_partition_clause]".
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

// "RANGE ... value_expr PRECEDING": the rows whose one ORDER BY key lies
// within value_expr of the current row's, a number or a date in days; DESC
// turns PRECEDING to the larger keys. Null keys are each other's peers.
TEST_F(AnalyticTest, RangeFramesMeasureTheKey) {
    s().execute("CREATE TABLE V (D DATE, N NUMBER)");
    for (const char* row :
         {"DATE '2024-01-01', 1", "DATE '2024-01-02', 2", "DATE '2024-01-05', 3", "NULL, 4"})
        s().execute(std::string("INSERT INTO V VALUES (") + row + ")");
    runSteps({
        {"SELECT NAME, SUM(SAL) OVER (PARTITION BY DEPT ORDER BY SAL RANGE BETWEEN 100 PRECEDING "
         "AND CURRENT ROW) FROM T ORDER BY NAME",
         {"A|100", "B|500", "C|500", "D|300", "E|<null>", "F|0.1", "G|0.3"}},
        {"SELECT NAME, COUNT(*) OVER (ORDER BY SAL DESC RANGE BETWEEN 1 PRECEDING AND 100 "
         "FOLLOWING) FROM T WHERE DEPT < 30 ORDER BY NAME",
         {"A|1", "B|3", "C|3", "D|3", "E|1"}},
        {"SELECT N, SUM(N) OVER (ORDER BY D RANGE BETWEEN 1 PRECEDING AND 3 FOLLOWING) FROM V "
         "ORDER BY N",
         {"1|3", "2|6", "3|3", "4|4"}},
    });
}

// "If you specify DISTINCT, then you can specify only the query_partition_clause
// of the analytic_clause" (SQL Language Reference, COUNT, SUM, AVG).
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
        {"SELECT SUM(SAL) OVER (ORDER BY DEPT, SAL RANGE BETWEEN 1 PRECEDING AND CURRENT ROW) FROM "
         "T",
         {"ORA-30486"}},
        {"SELECT SUM(SAL) OVER (ORDER BY NAME RANGE BETWEEN 1 PRECEDING AND CURRENT ROW) FROM T",
         {"ORA-00902"}},
        {"SELECT SUM(SAL) OVER (ORDER BY SAL ROWS BETWEEN x AND CURRENT ROW) FROM T",
         {"ORA-00905"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
