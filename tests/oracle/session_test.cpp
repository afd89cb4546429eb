#include "oracle/session.h"
#include "oracle/operation.h"

#include <gtest/gtest.h>

#include <optional>

#include "localserver/server_fixture.h"
#include "oracle/existing_table.h"
#include "support/quiet_session.h"
#include "support/scoped_environment.h"
#include "support/scripted_messages.h"
#include "support/tapped_session.h"

namespace malvorn::oracle {
namespace {

TEST(Routing, NetServiceNamesLeadToTheirDriver) {
    const ScopedEnvironment server("MALVORN_LOCAL_SERVER", "/tmp/default-server");
    const std::tuple<const char*, Route::Kind, const char*> cases[] = {
        {"", Route::Kind::kLocalServer, "/tmp/default-server"},
        {"/srv/rehearsal", Route::Kind::kLocalServer, "/srv/rehearsal"},
        {"ORCL", Route::Kind::kOdbc, "ORCL"},
        {" ORCL", Route::Kind::kOdbc, " ORCL"},
    };
    for (const auto& [name, kind, target] : cases) {
        const Route route = routeFor(name);
        EXPECT_EQ(route.kind, kind) << name;
        EXPECT_EQ(route.target, target) << name;
    }
}

TEST(Routing, OpenSessionCallsTheDriverWithTheTexts) {
    std::string seen;
    Drivers drivers;
    drivers.odbc = [&](const std::string& target, const std::string& user,
                       const std::string& password) -> std::unique_ptr<Session> {
        seen = target + "|" + user + "|" + password;
        throw OracleError(kServerErrorNumber, "ORA-01017: invalid username/password; logon denied",
                          "test");
    };
    EXPECT_THROW(openSession({"u", "p;}", "DSN"}, drivers), OracleError);
    EXPECT_EQ(seen, "DSN|u|p;}");  // a missing driver is seen in the operation tests
}

// Records what it is sent; a query walks no rows.
struct RecordingSession : testing::QuietSession {
    struct NoRows : ResultSet {
        const std::vector<std::string>& columnNames() const override { return names; }
        bool next() override { return false; }
        Value value(std::size_t) const override { return std::nullopt; }
        std::vector<std::string> names{"A"};
    };
    void execute(const std::string& statement) override { sent.push_back(statement); }
    std::unique_ptr<ResultSet> query(const std::string& query) override {
        sent.push_back(query);
        return std::make_unique<NoRows>();
    }
    std::vector<std::string> sent;
};

TEST(ErrorReport, FiveLinesSeparatedByCr) {
    // A full report is fixed byte for byte by the commands' tests; here the
    // empty parts keep their labels.
    EXPECT_EQ(errorReportText("h", "p", OracleError(3001, "", "")),
              "h\rﾌﾟﾛｼｼﾞｬ：p\rｴﾗｰNo:3001\r説 明:\rｴﾗｰｿｰｽ:");
}

// A query comes back as rows; any other statement is executed.
TEST(SessionRun, QueriesAreToldByTheirFirstWord) {
    const std::tuple<const char*, bool> cases[] = {
        {"SELECT 1 FROM DUAL", true},      {"  select *\nFROM T", true},
        {"(SELECT 1 FROM DUAL)", true},    {"WITH A AS (SELECT 1 FROM DUAL) SELECT * FROM A", true},
        {"INSERT INTO T SELECT 1", false}, {"SELECTED", false},
        {"DROP TABLE SELECT_LOG", false},  {"", false},
    };
    for (const auto& [statement, isQuery] : cases) {
        RecordingSession session;
        const auto rows = session.run(statement);
        EXPECT_EQ(rows != nullptr, isQuery) << statement;
        EXPECT_EQ(session.sent, std::vector<std::string>{statement});
    }
}

using base::MessageAnswer;

class ExistingTable : public localserver::ServerTest {};

// A name holding a quote stays inside its literal: it counts no table and
// asks nothing, however it is written.
TEST_F(ExistingTable, AsksAndDropsOnlyTheExactName) {
    const std::string count = "SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = ";
    const auto yes = MessageAnswer::kYes, no = MessageAnswer::kNo;
    const struct {
        const char* name;
        std::string table;
        std::optional<MessageAnswer> answer;  // when asked
        std::vector<std::string> sent;
        bool stillThere;  // "EMP"
    } cases[] = {
        {"answer no", "EMP", no, {count + "'EMP'"}, true},
        {"answer yes", "EMP", yes, {count + "'EMP'", "DROP TABLE EMP"}, false},
        {"lower case finds nothing", "emp", {}, {count + "'emp'"}, true},
        {"name goes in untrimmed", " EMP", {}, {count + "' EMP'"}, true},
        {"a quote is doubled", "EMP' OR 'A'='A", {}, {count + "'EMP'' OR ''A''=''A'"}, true},
    };
    auto scott = appUser();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (scott->queryValue(count + "'EMP'") == "0")
            scott->execute("CREATE TABLE EMP (A NUMBER)");
        Tap tap;
        TappedSession session(open("scott", "tiger"), tap);
        ScriptedMessages messages;
        if (c.answer)
            messages.answers = {*c.answer};
        fDropIfExists(session, c.table, messages);
        EXPECT_EQ(tap.sent, c.sent);
        EXPECT_EQ(scott->queryValue(count + "'EMP'"), c.stillThere ? "1" : "0");
        ASSERT_EQ(messages.shown.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            const auto& box = messages.shown[0];
            EXPECT_EQ(box.text, "すでに同名のテーブルが存在します。\r削除しますか？");
            EXPECT_EQ(box.icon, base::MessageIcon::kQuestion);
            EXPECT_EQ(box.buttons, base::MessageButtons::kYesNo);
            EXPECT_EQ(box.title, base::TitleForm::kDeleteConfirm);
        }
    }
}

}  // namespace
}  // namespace malvorn::oracle
