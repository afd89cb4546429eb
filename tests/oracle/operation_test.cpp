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

// Each step of an operation fails in turn; whatever fails, the report is
// shown once, the result is 1 and no session stays open.
TEST(OracleOperation, EveryFailureClosesTheSession) {
    const struct {
        const char* name;
        bool refuseLogin;
        std::string failOn;
        int expectedResult;
        int expectedOpened;
        std::vector<std::string> expectedSent;
    } cases[] = {
        {"success", false, "", 0, 1, {"CREATE TABLE A (X NUMBER)", "SELECT 1", "SELECT A"}},
        {"open refused", true, "", 1, 0, {}},
        {"statement refused",
         false,
         "CREATE TABLE A (X NUMBER)",
         1,
         1,
         {"CREATE TABLE A (X NUMBER)"}},
        {"value refused", false, "SELECT 1", 1, 1, {"CREATE TABLE A (X NUMBER)", "SELECT 1"}},
        {"walk refused",
         false,
         "SELECT A",
         1,
         1,
         {"CREATE TABLE A (X NUMBER)", "SELECT 1", "SELECT A"}},
    };
    for (const auto& c : cases) {
        FakeSession::Log log;
        log.failOn = c.failOn;
        Drivers drivers;
        drivers.odbc = FakeSession::driver(log, c.refuseLogin);
        ScriptedMessages messages;
        int liveInside = -1;
        const int result = runOracleOperation({"system", "pw", "ORCL"}, drivers, messages,
                                              "ﾕｰｻﾞｰ作成ｴﾗｰ", "fCreateUser", [&](Session& session) {
                                                  liveInside = log.live;
                                                  session.execute("CREATE TABLE A (X NUMBER)");
                                                  session.queryValue("SELECT 1");
                                                  auto rows = session.query("SELECT A");
                                                  while (rows->next()) {
                                                  }
                                              });
        EXPECT_EQ(result, c.expectedResult) << c.name;
        EXPECT_EQ(log.live, 0) << c.name;
        EXPECT_EQ(log.opened, c.expectedOpened) << c.name;
        EXPECT_EQ(log.sent, c.expectedSent) << c.name;
        EXPECT_EQ(liveInside, c.refuseLogin ? -1 : 1) << c.name;
        if (c.expectedResult == 0) {
            EXPECT_TRUE(messages.shown.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(messages.shown.size(), 1u) << c.name;
        const auto& box = messages.shown[0];
        EXPECT_EQ(box.icon, MessageIcon::kExclamation) << c.name;
        EXPECT_EQ(box.buttons, MessageButtons::kOk) << c.name;
        EXPECT_EQ(box.title, TitleForm::kError) << c.name;
        const std::string description = c.refuseLogin
                                            ? "ORA-01017: invalid username/password; logon denied"
                                            : "ORA-00942: table or view does not exist";
        EXPECT_EQ(box.text, "ﾕｰｻﾞｰ作成ｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：fCreateUser\rｴﾗｰNo:-2147467259\r説 明:" +
                                description + "\rｴﾗｰｿｰｽ:fake")
            << c.name;
    }
}

TEST(OracleOperation, MissingDriverIsReportedWithoutOpening) {
    FakeSession::Log log;
    Drivers drivers;
    drivers.odbc = FakeSession::driver(log);
    ScriptedMessages messages;
    bool ran = false;
    // An empty service name leads to the local server, for which no driver is given.
    EXPECT_EQ(runOracleOperation({"u", "p", ""}, drivers, messages, "SQL実行ｴﾗｰ", "cmdDoSQL_Click",
                                 [&](Session&) { ran = true; }),
              1);
    EXPECT_FALSE(ran);
    EXPECT_EQ(log.opened, 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(
        messages.shown[0].text.starts_with("SQL実行ｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：cmdDoSQL_Click\rｴﾗｰNo:-1\r"))
        << messages.shown[0].text;
}

// Errors that are not the server's travel on to the caller, but the session
// still closes on the way.
TEST(OracleOperation, OtherErrorsPassOnAfterClosing) {
    FakeSession::Log log;
    Drivers drivers;
    drivers.odbc = FakeSession::driver(log);
    ScriptedMessages messages;
    EXPECT_THROW(runOracleOperation({"u", "p", "ORCL"}, drivers, messages, "h", "p",
                                    [](Session&) { throw std::runtime_error("disk full"); }),
                 std::runtime_error);
    EXPECT_EQ(log.opened, 1);
    EXPECT_EQ(log.live, 0);
    EXPECT_TRUE(messages.shown.empty());
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
