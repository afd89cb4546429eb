// GREATEST and LEAST compare as their first argument's type: a number first,
// the highest numeric type of them all; anything else first, each argument
// converted to it (a binary value to its TO_CHAR text). A NULL gives NULL.
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
            "CREATE TABLE GB (ID NUMBER, V VARCHAR2(10), B BINARY_DOUBLE, F BINARY_FLOAT)",
            "INSERT INTO GB VALUES (1, '10', 0.2, 2.5)",
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

TEST_F(GreatestLeastTest, TextFirstGivesText) {
    const std::vector<ValueCase> cases = {
        {"GREATEST('1', 2d)", "2.0E+000"},
        {"LEAST('1', 2d)", "1"},
        {"GREATEST('abc', 1.5d)", "abc"},
        {"LEAST('z', BINARY_DOUBLE_INFINITY, 'y')", "Inf"},
        {"GREATEST('1', 2d) || 'x'", "2.0E+000x"},
        {"LENGTH(GREATEST('1', 2f))", "8"},
        {"(SELECT GREATEST(V, B) FROM GB)", "2.0E-001"},
        {"(SELECT LEAST(V, F, B) FROM GB)", "10"},
        // A number or a binary value first: the highest numeric type.
        {"GREATEST(1, 2d)", "2.0E+000"},
        {"(SELECT GREATEST(B, '1') FROM GB)", "1.0E+000"},
        {"(SELECT LEAST(F, 1 / 3) FROM GB)", "3.3333334E-001"},
    };
    checkValues(cases);
}

TEST_F(GreatestLeastTest, DerivedColumnsTakeTheFirstArgumentsType) {
    runSteps({
        {"CREATE TABLE C AS SELECT GREATEST(V, B) X, LEAST(B, 1) Y FROM GB", {}},
        {"SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'C' ORDER BY "
         "COLUMN_ID",
         {"X|VARCHAR2", "Y|BINARY_DOUBLE"}},
        {"SELECT X, Y FROM C", {"2.0E-001|2.0E-001"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
