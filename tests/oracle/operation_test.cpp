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
        std::vector<std::string> expectedSent;
        const char* reported;  // the report's third and fourth lines
    } cases[] = {
        {"success", "ORCL", false, "", 0, 1, all, nullptr},
        {"open refused",
         "ORCL",
         true,
         "",
         1,
         0,
         {},
         "ｴﾗｰNo:-2147467259\r説 明:ORA-01017: invalid username/password; logon denied"},
        {"statement refused",
         "ORCL",
         false,
         all[0],
         1,
         1,
         {all[0]},
         "ｴﾗｰNo:-2147467259\r説 明:ORA-00942: table or view does not exist"},
        {"value refused",
         "ORCL",
         false,
         all[1],
         1,
         1,
         {all[0], all[1]},
         "ｴﾗｰNo:-2147467259\r説 明:ORA-00942"},
        {"walk refused", "ORCL", false, all[2], 1, 1, all, "ｴﾗｰNo:-2147467259\r説 明:ORA-00942"},
        {"no driver", "", false, "", 1, 0, {}, "ｴﾗｰNo:-1\r"},
        {"other error", "ORCL", false, "throw", -1, 1, all, nullptr},
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
        EXPECT_EQ(log.sent, c.expectedSent);
        EXPECT_EQ(liveInside, c.expectedOpened ? 1 : -1);
        ASSERT_EQ(messages.shown.size(), c.reported ? 1u : 0u);
        if (c.reported) {
            const auto& box = messages.shown[0];
            EXPECT_EQ(box.icon, MessageIcon::kExclamation);
            EXPECT_EQ(box.buttons, MessageButtons::kOk);
            EXPECT_EQ(box.title, TitleForm::kError);
            EXPECT_TRUE(box.text.starts_with(std::string("ﾕｰｻﾞｰ作成ｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：fCreateUser\r") +
                                             c.reported))
                << box.text;
        }
    }
}

TEST(CommandSession, ClosesAtScopeEndOrEarlier) {
    FakeSession::Log log;
    Drivers drivers;
    drivers.odbc = FakeSession::driver(log);
    {
        CommandSession session({"u", "p", "ORCL"}, drivers);
        EXPECT_EQ(log.live, 1);
        session.close();
        EXPECT_EQ(log.live, 0);
        EXPECT_FALSE(session.isOpen());
    }
    {
        CommandSession session({"u", "p", "ORCL"}, drivers);
        EXPECT_TRUE(session.isOpen());
    }
    EXPECT_EQ(log.live, 0);
    EXPECT_EQ(log.opened, 2);
}

}  // namespace
}  // namespace malvorn::oracle

namespace malvorn::oracle {
namespace {

// A session that says which way run() went.
class RouteRecorder : public Session {
  public:
    void execute(const std::string& statement) override { executed.push_back(statement); }
    Value queryValue(const std::string&) override { return std::nullopt; }
    std::unique_ptr<ResultSet> query(const std::string& query) override {
        queried.push_back(query);
        return std::make_unique<Empty>();
    }
    std::vector<std::string> executed, queried;

  private:
    struct Empty : ResultSet {
        const std::vector<std::string>& columnNames() const override { return names; }
        bool next() override { return false; }
        Value value(std::size_t) const override { return std::nullopt; }
        std::vector<std::string> names;
    };
};

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
        RouteRecorder session;
        const auto rows = session.run(c.statement);
        EXPECT_EQ(rows != nullptr, c.isQuery) << c.statement;
        EXPECT_EQ(session.queried.size(), c.isQuery ? 1u : 0u) << c.statement;
        EXPECT_EQ(session.executed.size(), c.isQuery ? 0u : 1u) << c.statement;
    }
}

}  // namespace
}  // namespace malvorn::oracle
