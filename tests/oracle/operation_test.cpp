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

// Each step of an operation fails in turn; whatever fails, no session stays
// open. The server's refusals are reported once with result 1; an operation
// without a driver is reported without opening; other errors pass on.
TEST(OracleOperation, EveryFailureClosesTheSession) {
    const std::vector<std::string> all = {"CREATE TABLE A (X NUMBER)", "SELECT 1", "SELECT A"};
    const struct {
        const char* name;
        const char* service;  // "": the local server, for which no driver is given
        bool refuseLogin;
        std::string failOn;
        int expectedResult;  // -1: the error passes on
        int expectedOpened;
        std::size_t expectedSent;  // how many of `all` reached the server
        const char* reported;      // the report's number and the start of its description
    } cases[] = {
        {"success", "ORCL", false, "", 0, 1, 3, nullptr},
        {"open refused", "ORCL", true, "", 1, 0, 0, "-2147467259\r説 明:ORA-01017"},
        {"statement refused", "ORCL", false, all[0], 1, 1, 1, "-2147467259\r説 明:ORA-00942"},
        {"value refused", "ORCL", false, all[1], 1, 1, 2, "-2147467259\r説 明:ORA-00942"},
        {"walk refused", "ORCL", false, all[2], 1, 1, 3, "-2147467259\r説 明:ORA-00942"},
        {"no driver", "", false, "", 1, 0, 0, "-1\r"},
        {"other error", "ORCL", false, "throw", -1, 1, 3, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSession::Log log;
        log.failOn = c.failOn;
        Drivers drivers;
        drivers.odbc = FakeSession::driver(log, c.refuseLogin);
        ScriptedMessages messages;
        int liveInside = -1;
        auto run = [&] {
            return runOracleOperation({"system", "pw", c.service}, drivers, messages,
                                      "ﾕｰｻﾞｰ作成ｴﾗｰ", "fCreateUser", [&](Session& session) {
                                          liveInside = log.live;
                                          session.execute(all[0]);
                                          session.queryValue(all[1]);
                                          for (auto rows = session.query(all[2]); rows->next();) {
                                          }
                                          if (c.failOn == "throw")
                                              throw std::runtime_error("disk full");
                                      });
        };
        if (c.expectedResult < 0) {
            EXPECT_THROW(run(), std::runtime_error);
        } else {
            EXPECT_EQ(run(), c.expectedResult);
        }
        EXPECT_EQ(log.live, 0);
        EXPECT_EQ(log.opened, c.expectedOpened);
        EXPECT_EQ(log.sent, std::vector<std::string>(all.begin(), all.begin() + c.expectedSent));
        EXPECT_EQ(liveInside, c.expectedOpened ? 1 : -1);
        ASSERT_EQ(messages.shown.size(), c.reported ? 1u : 0u);
        if (c.reported) {
            const auto& box = messages.shown[0];
            EXPECT_EQ(box.icon, MessageIcon::kExclamation);
            EXPECT_EQ(box.buttons, MessageButtons::kOk);
            EXPECT_EQ(box.title, TitleForm::kError);
            EXPECT_TRUE(box.text.starts_with(
                std::string("ﾕｰｻﾞｰ作成ｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：fCreateUser\rｴﾗｰNo:") + c.reported))
                << box.text;
        }
    }
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
