#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "localserver/sqlite_db.h"
#include "server_fixture.h"
#include "support/scoped_environment.h"

namespace malvorn::localserver {
namespace {

TEST_F(ServerTest, FirstSystemLoginCreatesTheServerWithThatPassword) {
    EXPECT_FALSE(std::filesystem::exists(folder()));
    open("system", "tarnbol");
    struct stat info {};
    ASSERT_EQ(::stat(folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((folder() + "/catalog.db").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);

    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"system", "tarnbol", ""},           {"SyStem", "tarnbol", ""},
        {"system", "TARNBOL", "ORA-01017"},  // passwords keep their case
        {"system", "wrong", "ORA-01017"},    {"nobody", "tarnbol", "ORA-01017"},
        {" system", "tarnbol", "ORA-01017"}, {"", "tarnbol", "ORA-01017"},
        {"system", "", "ORA-01005"}};
    for (const auto& [user, password, code] : cases)
        EXPECT_EQ(oraCode([&] { open(user, password); }), code) << user << "/" << password;
}

TEST_F(ServerTest, TheStoredPasswordIsASaltedHashNotTheText) {
    open("system", "tarnbol");
    // The database and its write-ahead log, which may not exist.
    const std::string bytes =
        readWholeFile(folder() + "/catalog.db") + readWholeFile(folder() + "/catalog.db-wal");
    EXPECT_EQ(bytes.find("tarnbol"), std::string::npos);
    EXPECT_NE(bytes.find("$argon2id$"), std::string::npos);
}

TEST_F(ServerTest, AFirstLoginByAnotherUserDoesNotCreateSystem) {
    EXPECT_EQ(oraCode([&] { open("scott", "tiger"); }), "ORA-01017");
    // SYSTEM still takes the password of its own first login.
    EXPECT_EQ(oraCode([&] { open("system", "secret"); }), "");
    EXPECT_EQ(oraCode([&] { open("system", "tiger"); }), "ORA-01017");
}

TEST_F(ServerTest, AFolderThatCannotHoldAServerIsNotReached) {
    const std::string file = dir_.path() + "/plain-file";
    std::ofstream(file) << "x";
    EXPECT_EQ(oraCode([&] { openLocalServer(file, "system", "tarnbol"); }), "ORA-12154");
    EXPECT_EQ(oraCode([&] { openLocalServer(file + "/below", "system", "tarnbol"); }), "ORA-12154");
}

// Each statement commits on its own: a second session sees it at once, a
// later one after the first has gone, and a refused one leaves nothing.
TEST_F(ServerTest, StatementsCommitOnTheirOwnAndOutliveTheSession) {
    {
        auto first = open();
        auto second = open();
        first->execute("CREATE TABLE T (A NUMBER)");
        second->execute("INSERT INTO T VALUES (2)");
        first->execute("INSERT INTO T VALUES (1)");
        EXPECT_EQ(oraCode([&] { first->execute("INSERT INTO T VALUES ('x')"); }), "ORA-01722");
        EXPECT_EQ(rows(*second, "SELECT A FROM T ORDER BY A"),
                  (std::vector<std::string>{"1", "2"}));
    }
    auto again = open();
    EXPECT_EQ(rows(*again, "SELECT A FROM T ORDER BY A"), (std::vector<std::string>{"1", "2"}));
    auto other = open();
    other->execute("DROP TABLE T");
    EXPECT_EQ(oraCode([&] { again->execute("INSERT INTO T VALUES (3)"); }), "ORA-00942");
}

// The cost of every hash a server stores: SYSTEM's at creation, a new
// user's, a changed password's. It is the one the server was created with,
// whatever the environment says later.
TEST_F(ServerTest, AServerHashesAtTheCostItWasCreatedWith) {
    struct Case {
        const char* costAtCreation;  // MALVORN_LOCAL_SERVER_PASSWORD_COST, nullptr for unset
        const char* costLater;
        const char* argonParameters;  // as the stored hash spells them
    };
    const Case cases[] = {{"minimum", nullptr, "$m=8,t=1,p=1$"},
                          {nullptr, "minimum", "$m=65536,t=2,p=1$"},
                          {"interactive", "minimum", "$m=65536,t=2,p=1$"}};
    const char* const kVariable = "MALVORN_LOCAL_SERVER_PASSWORD_COST";
    int round = 0;
    for (const Case& c : cases) {
        const std::string server = dir_.path() + "/cost-" + std::to_string(++round);
        {
            ScopedEnvironment cost(kVariable, c.costAtCreation);
            openLocalServer(server, "system", "tarnbol");
        }
        ScopedEnvironment cost(kVariable, c.costLater);
        {
            auto sys = openLocalServer(server, "system", "tarnbol");
            sys->execute(createUserText("scott", "tiger"));
            sys->execute("CREATE USER clerk IDENTIFIED BY pw");
            sys->execute("GRANT CONNECT TO clerk");
            sys->execute("ALTER USER clerk IDENTIFIED BY changed");
        }
        SqliteDb catalog(server + "/catalog.db");
        auto hashes = catalog.cached("SELECT name, hash FROM mv_user ORDER BY name");
        int seen = 0;
        while (hashes.step()) {
            ++seen;
            EXPECT_NE(hashes.columnText(1).find(c.argonParameters), std::string::npos)
                << hashes.columnText(0) << " " << hashes.columnText(1);
        }
        hashes.reset();
        EXPECT_EQ(seen, 3);
        // The logins check every hash whatever its cost.
        EXPECT_EQ(oraCode([&] { openLocalServer(server, "clerk", "changed"); }), "");
        EXPECT_EQ(oraCode([&] { openLocalServer(server, "clerk", "pw"); }), "ORA-01017");
        EXPECT_EQ(oraCode([&] { openLocalServer(server, "nobody", "pw"); }), "ORA-01017");
    }
}

std::string dropUser(const std::string& id) {
    return "DROP USER " + id + " CASCADE";
}

TEST_F(ServerTest, TheUserTabsStatementsCreateAndDropAUser) {
    auto& sys = system();
    EXPECT_EQ(sys.queryValue(userLookupText("SCOTT")), std::nullopt);
    sys.execute(createUserText("scott", "tiger"));
    sys.execute(grantRolesText("scott"));
    EXPECT_EQ(sys.queryValue(userLookupText("SCOTT")), "SCOTT");
    EXPECT_EQ(rows(sys,
                   "SELECT USERNAME, DEFAULT_TABLESPACE, TEMPORARY_TABLESPACE FROM DBA_USERS ORDER "
                   "BY USERNAME"),
              (std::vector<std::string>{"SCOTT|USERS|TEMP", "SYSTEM|SYSTEM|TEMP"}));
    auto scott = open("scott", "tiger");
    scott->execute("CREATE TABLE T (A NUMBER)");
    EXPECT_EQ(rows(*scott, "SELECT GRANTED_ROLE FROM USER_ROLE_PRIVS ORDER BY 1"),
              (std::vector<std::string>{"CONNECT", "DBA", "RESOURCE"}));
    scott.reset();
    sys.execute(dropUser("scott"));
    EXPECT_EQ(sys.queryValue(userLookupText("SCOTT")), std::nullopt);
    EXPECT_EQ(oraCode([&] { open("scott", "tiger"); }), "ORA-01017");
    // Its tables are gone with it, and so is its schema file.
    EXPECT_EQ(sys.queryValue("SELECT COUNT(*) FROM ALL_TABLES WHERE OWNER = 'SCOTT'"), "0");
    for (const auto& entry : std::filesystem::directory_iterator(folder()))
        EXPECT_EQ(entry.path().filename().string().find("schema-2"), std::string::npos);
    // The name is free again, and the new user starts with an empty schema.
    sys.execute(createUserText("scott", "tiger2"));
    sys.execute(grantRolesText("scott"));
    auto again = open("scott", "tiger2");
    EXPECT_EQ(again->queryValue("SELECT COUNT(*) FROM USER_TABLES"), "0");
}

TEST_F(ServerTest, UserStatementsFailWithTheServersCodes) {
    auto& sys = system();
    sys.execute(createUserText("scott", "tiger"));
    sys.execute("CREATE USER clerk IDENTIFIED BY pw");
    sys.execute("GRANT CONNECT TO clerk");
    sys.execute("CREATE USER owner1 IDENTIFIED BY pw");
    sys.execute("GRANT CONNECT, RESOURCE TO owner1");
    open("owner1", "pw")->execute("CREATE TABLE T (A NUMBER)");
    auto clerk = open("clerk", "pw");
    auto otherDba = appUser("admin", "pw");
    const std::tuple<oracle::Session*, std::string, const char*> cases[] = {
        {&sys, createUserText("scott", "other"), "ORA-01920"},
        {&sys, createUserText("SCOTT", "other"), "ORA-01920"},
        {&sys, createUserText("dba", "other"), "ORA-01920"},
        {&sys, "CREATE USER u1 IDENTIFIED BY pw DEFAULT TABLESPACE nowhere", "ORA-00959"},
        {&sys, "CREATE USER u1 IDENTIFIED BY pw TEMPORARY TABLESPACE users", "ORA-12911"},
        {&sys, grantRolesText("nobody"), "ORA-01917"},
        {&sys, "GRANT SUPERUSER TO scott", "ORA-01919"},
        {&sys, dropUser("nobody"), "ORA-01918"},
        {&sys, "DROP USER owner1", "ORA-01922"},
        {&sys, "DROP USER system", "ORA-01940"},
        {otherDba.get(), "DROP USER system CASCADE", "ORA-28014"},
        {&sys, createUserText("", "pw"), "ORA-01935"},
        {&sys, "CREATE USER u2 IDENTIFIED BY", "ORA-00988"},
        {clerk.get(), createUserText("u3", "pw"), "ORA-01031"},
        {clerk.get(), grantRolesText("clerk"), "ORA-01031"},
        {clerk.get(), dropUser("scott"), "ORA-01031"},
        {clerk.get(), userLookupText("SCOTT"), "ORA-00942"},
        {&sys, "DROP USER scott", ""},
        {&sys, "DROP USER owner1 CASCADE", ""}};
    for (const auto& [who, statement, code] : cases)
        EXPECT_EQ(oraCode([&] { who->execute(statement); }), code) << statement;
    EXPECT_EQ(errorText([&] { sys.execute("DROP USER nobody CASCADE"); }),
              "ORA-01918: user 'NOBODY' does not exist");
    EXPECT_EQ(errorText([&] { sys.execute("GRANT DBA TO nobody"); }),
              "ORA-01917: user or role 'NOBODY' does not exist");
}

// A refused GRANT applies none of its roles; REVOKE and ALTER USER take
// effect at the next login.
TEST_F(ServerTest, RolesAndPasswordsChangeAsGrantedRevokedAndAltered) {
    auto& sys = system();
    sys.execute("CREATE USER clerk IDENTIFIED BY pw");
    EXPECT_EQ(oraCode([&] { sys.execute("GRANT CONNECT, SUPERUSER TO clerk"); }), "ORA-01919");
    EXPECT_EQ(errorText([&] { open("clerk", "pw"); }),
              "ORA-01045: user CLERK lacks CREATE SESSION privilege; logon denied");
    sys.execute("GRANT CONNECT, RESOURCE TO clerk");
    EXPECT_EQ(oraCode([&] { sys.execute("REVOKE DBA FROM clerk"); }), "ORA-01951");
    EXPECT_EQ(oraCode([&] { sys.execute("REVOKE CONNECT FROM nobody"); }), "ORA-01917");
    open("clerk", "pw")->execute("ALTER USER clerk IDENTIFIED BY lion");
    EXPECT_EQ(oraCode([&] { open("clerk", "pw"); }), "ORA-01017");
    sys.execute("REVOKE CONNECT FROM clerk");
    EXPECT_EQ(oraCode([&] { open("clerk", "lion"); }), "ORA-01045");
    EXPECT_EQ(rows(sys, "SELECT GRANTEE, GRANTED_ROLE FROM DBA_ROLE_PRIVS WHERE GRANTEE = 'CLERK'"),
              std::vector<std::string>{"CLERK|RESOURCE"});
}

}  // namespace
}  // namespace malvorn::localserver
