// Query results read as the caller fetches them: a row that fails is met
// when it is fetched, not before; walks on one session keep apart; a walk
// ends cleanly with its session, and lets its table go once it is done.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

class ResultStreamTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute("CREATE TABLE T (ID NUMBER(5) PRIMARY KEY, D NUMBER(5))");
        for (int i = 1; i <= 5; ++i) {
            s().execute("INSERT INTO T VALUES (" + std::to_string(i) + ", " +
                        std::to_string(i == 4 ? 0 : i) + ")");
        }
    }
    // The ids a walk gives until it ends or fails, then "|" and the error's code.
    static std::string walk(oracle::ResultSet& rows) {
        std::string seen;
        const std::string code = oraCode([&] {
            while (rows.next())
                seen += *rows.value(std::size_t{0});
        });
        return code.empty() ? seen : seen + "|" + code;
    }
};

// The division by zero is on row 4: rows 1 to 3 come first. Where the first
// row fails, or SQLite computes every row before the first (a sort), the
// query itself fails. A SELECT given to execute() runs to its end.
TEST_F(ResultStreamTest, ARowThatFailsIsMetWhenFetched) {
    struct Case {
        const char* query;
        std::string queryFails;  // the code query() fails with, else ""
        std::string walked;      // the walk, when query() succeeds
    };
    const Case cases[] = {{"SELECT ID, 12 / D FROM T ORDER BY ID", "", "123|ORA-01476"},
                          {"SELECT ID FROM T WHERE 12 / D > 0 ORDER BY ID", "", "123|ORA-01476"},
                          {"SELECT ID, 12 / D FROM T WHERE ID >= 4 ORDER BY ID", "ORA-01476", ""},
                          {"SELECT ID FROM T ORDER BY 12 / D", "ORA-01476", ""},
                          {"SELECT ID FROM T WHERE ID < 4 ORDER BY ID", "", "123"},
                          {"SELECT ID FROM T WHERE ID > 9", "", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        std::unique_ptr<oracle::ResultSet> rows;
        EXPECT_EQ(oraCode([&] { rows = s().query(c.query); }), c.queryFails);
        if (rows) {
            EXPECT_EQ(walk(*rows), c.walked);
        }
    }
    EXPECT_EQ(oraCode([&] { s().execute("SELECT ID, 12 / D FROM T ORDER BY ID"); }), "ORA-01476");
}

// Two walks of the same text at once, a statement between fetches, and the
// reads before the first and after the last fetch.
TEST_F(ResultStreamTest, WalksOfOneSessionKeepApart) {
    const std::string text = "SELECT ID FROM T ORDER BY ID";
    auto first = s().query(text);
    EXPECT_EQ(oraCode([&] { first->value(std::size_t{0}); }), "ORA-01002");
    ASSERT_TRUE(first->next());
    ASSERT_TRUE(first->next());
    auto second = s().query(text);
    ASSERT_TRUE(second->next());
    s().execute("UPDATE T SET D = 7 WHERE ID = 5");
    EXPECT_EQ(first->value(std::size_t{0}), "2");
    EXPECT_EQ(second->value(std::size_t{0}), "1");
    EXPECT_EQ(walk(*first), "345");
    EXPECT_EQ(walk(*second), "2345");
    EXPECT_FALSE(first->next());
    EXPECT_EQ(oraCode([&] { first->value(std::size_t{0}); }), "ORA-01002");
    EXPECT_EQ(s().queryValue("SELECT D FROM T WHERE ID = 5"), "7");
}

// A walk read to its end, or given up, holds nothing. A walk still open when
// its session changes a table definition reads its other rows first and
// gives them all, the row that fails included; one still open when its
// session ends fails on the next fetch (its statement gone before the
// connection).
TEST_F(ResultStreamTest, AWalkEndsWithItsSessionAndLetsItsTableGo) {
    {
        auto done = s().query("SELECT ID FROM T");
        EXPECT_EQ(walk(*done), "12345");
        auto halfway = s().query("SELECT ID FROM T ORDER BY ID");
        ASSERT_TRUE(halfway->next());
    }
    s().execute("CREATE TABLE U (A NUMBER)");
    s().execute("INSERT INTO U VALUES (1)");
    auto kept = s().query("SELECT ID FROM T ORDER BY ID");
    ASSERT_TRUE(kept->next());
    auto other = appUser("adams", "pw");
    other->execute("CREATE TABLE W (A NUMBER)");
    other->execute("INSERT INTO W VALUES (1)");
    other->execute("INSERT INTO W VALUES (2)");
    std::unique_ptr<oracle::ResultSet> orphan = other->query("SELECT A FROM W");
    other.reset();
    EXPECT_EQ(oraCode([&] { orphan->next(); }), "ORA-03114");
    auto failing = s().query("SELECT ID, 12 / D FROM T ORDER BY ID");
    ASSERT_TRUE(failing->next());
    s().execute("DROP TABLE U");
    s().execute("ALTER USER adams IDENTIFIED BY pw2");
    s().execute("INSERT INTO T VALUES (6, 6)");  // after the walks read their rows
    EXPECT_EQ(walk(*kept), "2345");
    EXPECT_EQ(walk(*failing), "23|ORA-01476");
    s().execute("DROP TABLE T");
}

}  // namespace
}  // namespace malvorn::localserver
