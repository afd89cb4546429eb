#include "oracle/operation.h"

#include <gtest/gtest.h>

#include "support/fake_session.h"
#include "support/scripted_messages.h"

namespace malvorn::oracle {
namespace {

using shell::MessageButtons;
using shell::MessageIcon;
using shell::TitleForm;

TEST(ErrorReport, FiveLinesSeparatedByCr) {
    const OracleError error(kServerErrorNumber, "ORA-00942: table or view does not exist",
                            "Microsoft OLE DB Provider for Oracle");
    EXPECT_EQ(errorReportText("SQL実行ｴﾗｰ", "cmdDoSQL_Click", error),
              "SQL実行ｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：cmdDoSQL_Click\rｴﾗｰNo:-2147467259\r"
              "説 明:ORA-00942: table or view does not exist\r"
              "ｴﾗｰｿｰｽ:Microsoft OLE DB Provider for Oracle");
    EXPECT_EQ(errorReportText("h", "p", OracleError(3001, "", "")),
              "h\rﾌﾟﾛｼｼﾞｬ：p\rｴﾗｰNo:3001\r説 明:\rｴﾗｰｿｰｽ:");
}

// A query comes back as rows; any other statement is executed.
TEST(SessionRun, QueriesAreToldByTheirFirstWord) {
    const struct {
        const char* statement;
        bool isQuery;
    } cases[] = {
        {"SELECT 1 FROM DUAL", true},      {"  select *\nFROM T", true},
        {"(SELECT 1 FROM DUAL)", true},    {"WITH A AS (SELECT 1 FROM DUAL) SELECT * FROM A", true},
        {"INSERT INTO T SELECT 1", false}, {"SELECTED", false},
        {"DROP TABLE SELECT_LOG", false},  {"", false},
    };
    for (const auto& c : cases) {
        FakeSession::Log log;
        log.failOn = "refuse nothing";
        const auto rows = FakeSession(log).run(c.statement);
        EXPECT_EQ(rows != nullptr, c.isQuery) << c.statement;
        EXPECT_EQ(log.sent, std::vector<std::string>{c.statement});
    }
}

}  // namespace
}  // namespace malvorn::oracle
