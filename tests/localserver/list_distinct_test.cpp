// LISTAGG(DISTINCT ...): "The DISTINCT keyword removes duplicate values from
// the list" (SQL Language Reference, LISTAGG,
// https://docs.oracle.com/en/database/oracle/oracle-database/21/sqlrf/LISTAGG.html;
// 19c has it too). Duplicates go before the values are joined in the
// WITHIN GROUP order: each value appears once, where it first comes.
#include "steps.h"

namespace malvorn::localserver {
namespace {

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
