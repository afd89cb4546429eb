#include <gtest/gtest.h>

#include <filesystem>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

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
                   "SELECT USERNAME, DEFAULT_TABLESPACE, TEMPORARY_TABLESPACE FROM DBA_USERS "
                   "ORDER BY USERNAME"),
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
        {&sys, "DROP USER owner1 CASCADE", ""},
    };
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
