#include "oracle/session.h"

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

}  // namespace
}  // namespace malvorn::oracle
