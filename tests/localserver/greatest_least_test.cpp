// GREATEST and LEAST (SQL Language Reference, GREATEST: "If the first expr is
// numeric, then Oracle determines the argument with the highest numeric
// precedence, implicitly converts the remaining arguments to that data type
// before the comparison, and returns that data type. If the first expr is
// not numeric, then each expr after the first is implicitly converted to the
// data type of the first expr before the comparison"; a NULL argument makes
// the result NULL).
#include "steps.h"

namespace malvorn::localserver {
namespace {

class GreatestLeastTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE G (ID NUMBER, N NUMBER, V VARCHAR2(10), D DATE, B BINARY_DOUBLE)",
            "INSERT INTO G VALUES (1, 5, '10', TO_DATE('2024-01-05', 'YYYY-MM-DD'), 0.2)",
            "INSERT INTO G VALUES (2, -1, 'abc', NULL, NULL)",
        });
    }
};

TEST_F(GreatestLeastTest, ComparedAsTheFirstArgumentsType) {
    runSteps({
        {"SELECT GREATEST(1, '3', 2), LEAST(1, '3', 2), GREATEST(-0.5, -0.25) FROM DUAL",
         {"3|1|-0.25"}},
        // Text first: 9 becomes '9', which sorts after '10'.
        {"SELECT GREATEST(V, 9), LEAST('b', 'a', 'c') FROM G WHERE ID = 1", {"9|a"}},
        {"SELECT GREATEST(N, V) FROM G WHERE ID = 1", {"10"}},
        {"SELECT GREATEST(N, V) FROM G WHERE ID = 2", {"ORA-01722"}},
        {"SELECT GREATEST(D, '2024-02-01'), LEAST(D, SYSDATE) FROM G WHERE ID = 1",
         {"2024-02-01 00:00:00|2024-01-05 00:00:00"}},
        {"SELECT GREATEST(N, NULL), LEAST(D, D) FROM G WHERE ID = 2", {"<null>|<null>"}},
        {"SELECT GREATEST(7) FROM DUAL", {"7"}},
        {"SELECT GREATEST() FROM DUAL", {"ORA-00909"}},
        // A binary argument makes the result binary: 1/3 is rounded first.
        {"SELECT GREATEST(1 / 3, B), LEAST(1 / 3, B), GREATEST(1 / 3, 0.5d) FROM G WHERE ID = 1",
         {"3.333333333333333E-001|2.0E-001|5.0E-001"}},
        {"SELECT MAX(GREATEST(N, ID)) FROM G", {"5"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
