#include "oracle/session.h"
#include "oracle/operation.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"

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
struct RecordingSession : Session {
    struct NoRows : ResultSet {
        const std::vector<std::string>& columnNames() const override { return names; }
        bool next() override { return false; }
        Value value(std::size_t) const override { return std::nullopt; }
        std::vector<std::string> names{"A"};
    };
    void execute(const std::string& statement) override { sent.push_back(statement); }
    void setAutoCommit(bool) override {}
    void commit() override {}
    void rollback() override {}
    Value queryValue(const std::string& query) override {
        sent.push_back(query);
        return std::nullopt;
    }
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

}  // namespace
}  // namespace malvorn::oracle
