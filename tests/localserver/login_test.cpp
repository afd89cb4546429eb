#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "server_fixture.h"

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
        {"system", "", "ORA-01005"},
    };
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

}  // namespace
}  // namespace malvorn::localserver
