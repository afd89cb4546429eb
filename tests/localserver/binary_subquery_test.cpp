// A scalar subquery's value keeps the type of its select item (SQL Language
// Reference, "Scalar Subquery Expressions": the value of the select list
// item is returned), so a BINARY_DOUBLE or BINARY_FLOAT one is shown, added
// and stored as that type, at any depth of nesting.
#include "steps.h"

namespace malvorn::localserver {
namespace {

class BinarySubqueryTest : public StepTest {
  protected:
    void SetUp() override {
        StepTest::SetUp();
        executeAll({
            "CREATE TABLE Q (ID NUMBER, D BINARY_DOUBLE, F BINARY_FLOAT, N NUMBER)",
            "INSERT INTO Q VALUES (1, 0.1, 0.1, 0.1)",
            "INSERT INTO Q VALUES (2, 1d / 0, 2.5, 2.5)",
        });
    }
};

TEST_F(BinarySubqueryTest, ValuesKeepTheirBinaryType) {
    const std::vector<ValueCase> cases = {
        {"(SELECT D FROM Q WHERE ID = 1)", "1.0E-001"},
        {"(SELECT F FROM Q WHERE ID = 2)", "2.5E+000"},
        {"(SELECT N FROM Q WHERE ID = 1)", "0.1"},
        {"TO_CHAR((SELECT D FROM Q WHERE ID = 1))", "1.0E-001"},
        {"(SELECT D FROM Q WHERE ID = 1) + 0.2", "3.0000000000000004E-001"},
        {"(SELECT N FROM Q WHERE ID = 1) + 0.2", "0.3"},
        {"(SELECT D FROM Q WHERE ID = 2) || ''", "Inf"},
        {"(SELECT 1d FROM DUAL) / 0", "Inf"},
        {"(SELECT 1 FROM DUAL) / 0", "ORA-01476"},
        {"NVL((SELECT F FROM Q WHERE ID = 9), 1 / 3)", "3.3333334E-001"},
        {"(SELECT MAX(D) FROM Q)", "Inf"},
        {"(SELECT D FROM Q WHERE ID = 1 UNION SELECT 0.1 FROM DUAL)", "1.0E-001"},
        // Nested deeper than the server works out before the statement runs.
        {"(SELECT (SELECT (SELECT (SELECT (SELECT (SELECT 0.1d FROM DUAL) FROM DUAL) FROM DUAL) "
         "FROM DUAL) FROM DUAL) FROM DUAL) + 0.2",
         "3.0000000000000004E-001"},
        {"(SELECT (SELECT (SELECT (SELECT (SELECT (SELECT D FROM Q WHERE ID = 2) FROM DUAL) "
         "FROM DUAL) FROM DUAL) FROM DUAL) FROM DUAL) - 1",
         "Inf"},
    };
    checkValues(cases);
}

TEST_F(BinarySubqueryTest, StoredAndDerivedAsTheType) {
    runSteps({
        {"CREATE TABLE C AS SELECT (SELECT D FROM Q WHERE ID = 1) X, (SELECT F FROM Q WHERE ID "
         "= 1) Y FROM DUAL",
         {}},
        {"SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'C' ORDER BY "
         "COLUMN_ID",
         {"X|BINARY_DOUBLE", "Y|BINARY_FLOAT"}},
        {"CREATE TABLE V (T VARCHAR2(30))", {}},
        {"INSERT INTO V VALUES ((SELECT D FROM Q WHERE ID = 1))", {}},
        {"UPDATE V SET T = T || (SELECT F FROM Q WHERE ID = 2)", {}},
        {"SELECT T FROM V", {"1.0E-0012.5E+000"}},
        // A correlated one, per row.
        {"SELECT ID, (SELECT D * 2 FROM Q I WHERE I.ID = O.ID) FROM Q O ORDER BY ID",
         {"1|2.0E-001", "2|Inf"}},
    });
}

}  // namespace
}  // namespace malvorn::localserver
