#include "localserver/change_signal.h"

#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

TEST(ChangeSignalTest, EverySharerSeesChangesBeginAndEnd) {
    TempDir dir;
    const std::string path = dir.path() + "/signal";
    ChangeSignal writer(path);
    ChangeSignal reader(path);
    ASSERT_EQ(reader.settled(), std::optional<std::uint64_t>(0));
    writer.begin();
    EXPECT_EQ(reader.settled(), std::nullopt);
    writer.end();
    EXPECT_EQ(reader.settled(), std::optional<std::uint64_t>(1));
    {
        const ChangeSignal::Change change(reader);
        EXPECT_EQ(writer.settled(), std::nullopt);
    }
    EXPECT_EQ(ChangeSignal(path).settled(), std::optional<std::uint64_t>(2));
    // Without its file a signal never claims that nothing changed.
    ChangeSignal missing(dir.path() + "/no/such/folder/signal");
    missing.begin();
    missing.end();
    EXPECT_EQ(missing.settled(), std::nullopt);
}

// A session that has used a table sees what another session did to it since.
TEST_F(ServerTest, ASessionSeesAnotherSessionsTableChanges) {
    auto scott = appUser();
    auto other = open("scott", "tiger");
    scott->execute("CREATE TABLE T (A NUMBER(5))");
    scott->execute("INSERT INTO T VALUES (1)");
    const struct {
        std::vector<const char*> changes;  // by the other session
        const char* statement;             // then by the first
        const char* code;
    } cases[] = {
        {{"DROP TABLE T", "CREATE TABLE T (A VARCHAR2(3), B NUMBER)"},
         "INSERT INTO T VALUES ('x', 4)",
         ""},
        {{"DROP TABLE T", "CREATE TABLE T (B NUMBER, A VARCHAR2(1))"},
         "INSERT INTO T (A) VALUES ('zz')",
         "ORA-12899"},
        {{"INSERT INTO T VALUES (5, 'q')"}, "INSERT INTO T (A, B) VALUES ('w', 6)", ""},
        {{"DROP TABLE T"}, "INSERT INTO T (A, B) VALUES ('w', 7)", "ORA-00942"},
    };
    for (const auto& c : cases) {
        for (const char* change : c.changes)
            other->execute(change);
        EXPECT_EQ(oraCode([&] { scott->execute(c.statement); }), c.code) << c.statement;
    }
    other->execute("CREATE TABLE T (A NUMBER)");
    EXPECT_EQ(scott->queryValue("SELECT COUNT(*) FROM T"), "0");
}

}  // namespace
}  // namespace malvorn::localserver
