// GREATEST and LEAST with a binary argument after a text one (SQL Language
// Reference, GREATEST: "If the first expr is not numeric, then each expr
// after the first is implicitly converted to the data type of the first expr
// before the comparison", and the result is of that type): the binary value
// becomes its text (TO_CHAR's form), compared and returned as text. With a
// number first, the highest numeric type decides.
#include "steps.h"

namespace malvorn::localserver {
namespace {

class BinaryGreatestTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE GB (ID NUMBER, V VARCHAR2(10), B BINARY_DOUBLE, F BINARY_FLOAT)",
            "INSERT INTO GB VALUES (1, '10', 0.2, 2.5)",
        });
    }
};

TEST_F(BinaryGreatestTest, TextFirstGivesText) {
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

TEST_F(BinaryGreatestTest, DerivedColumnsTakeTheFirstArgumentsType) {
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
