#pragma once
// Statements run in order with the answer each must give.

#include <string>
#include <vector>

#include "server_fixture.h"

namespace malvorn::localserver {

struct Step {
    const char* statement;
    Rows expected;  // a query's rows, {} when it runs, the error's code or its whole text
};

class StepTest : public ScottTest {
  protected:
    void runSteps(const std::vector<Step>& steps) { runSteps(s(), steps); }
    static void runSteps(oracle::Session& session, const std::vector<Step>& steps) {
        for (const auto& step : steps) {
            Rows got = answerOn(session, step.statement);
            const bool codeOnly = step.expected.size() == 1 && step.expected[0].size() == 9 &&
                                  step.expected[0].starts_with("ORA-");
            if (codeOnly && got.size() == 1)
                got[0] = got[0].substr(0, 9);
            EXPECT_EQ(got, step.expected) << step.statement;
        }
    }

    // E: ids 1 to 5, A to E, in departments 10 10 20 20 and none; G: 10 X, 20 Y, 30 Z.
    void createDepartments() {
        executeAll({"CREATE TABLE E (ID NUMBER, NAME VARCHAR2(10), DEPT NUMBER)",
                    "CREATE TABLE G (DEPT NUMBER, DNAME VARCHAR2(10))",
                    "INSERT INTO E VALUES (1, 'A', 10)", "INSERT INTO E VALUES (2, 'B', 10)",
                    "INSERT INTO E VALUES (3, 'C', 20)", "INSERT INTO E VALUES (4, 'D', 20)",
                    "INSERT INTO E VALUES (5, 'E', NULL)", "INSERT INTO G VALUES (10, 'X')",
                    "INSERT INTO G VALUES (20, 'Y')", "INSERT INTO G VALUES (30, 'Z')"});
    }
};

}  // namespace malvorn::localserver
