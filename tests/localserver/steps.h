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
};

}  // namespace malvorn::localserver
