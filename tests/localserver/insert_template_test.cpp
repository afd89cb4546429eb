// The copy's INSERTs recognised by their bytes: the same tokens as a full
// read, or no match; and, through a session, the same rows, errors,
// transactions and lock waits as statements read in full.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "described_tokens.h"
#include "localserver/insert_template.h"
#include "localserver/local_session.h"
#include "server_fixture.h"
#include "wait_seen.h"

namespace malvorn::localserver {
namespace {

TEST(InsertTemplate, MatchesOnlyWhatReadsAsTheSameTokensButLiterals) {
    const struct {
        const char* name;
        const char* remembered;
        const char* statement;
        bool matches;
    } cases[] = {
        {"longer and shorter literals", "INSERT INTO T (A, B) VALUES (1, 'x', 2.5, 'y')",
         "INSERT INTO T (A, B) VALUES (12345, 'a longer text', 0.75, '')", false},
        {"longer and shorter literals, same emptiness",
         "INSERT INTO T (A, B) VALUES (1, 'x', 2.5, 'y')",
         "INSERT INTO T (A, B) VALUES (12345, 'a longer text', 0.75, 'z')", true},
        {"doubled quotes and Japanese text", "INSERT INTO T VALUES ('x', 1)",
         "INSERT INTO T VALUES ('得意先''s 名前', 22)", true},
        {"'' is NULL, not a text", "INSERT INTO T VALUES ('x')", "INSERT INTO T VALUES ('')",
         false},
        {"a text where a number was", "INSERT INTO T VALUES (1)", "INSERT INTO T VALUES ('1')",
         false},
        {"one blank more", "INSERT INTO T VALUES (1)", "INSERT INTO T  VALUES (1)", false},
        {"other case of a name", "INSERT INTO T VALUES (1)", "INSERT INTO t VALUES (1)", false},
        {"a digit would continue the name before", "INSERT INTO T VALUES (X.5)",
         "INSERT INTO T VALUES (X5)", false},
        {"a point after a name, both times", "INSERT INTO T VALUES (X.5)",
         "INSERT INTO T VALUES (X.25)", true},
        {"a number reading into the bytes after it", "INSERT INTO T VALUES (1E, 'x')",
         "INSERT INTO T VALUES (2E5E, 'x')", true},
        {"a text never closed", "INSERT INTO T VALUES ('a', 1)", "INSERT INTO T VALUES ('a, 1)",
         false},
        {"bytes after the end", "INSERT INTO T VALUES (1)", "INSERT INTO T VALUES (1) x", false},
        {"cut short", "INSERT INTO T VALUES (1, 2)", "INSERT INTO T VALUES (1", false},
        {"comments kept as they were", "INSERT /* c */ INTO T VALUES (1) -- end",
         "INSERT /* c */ INTO T VALUES (99) -- end", true},
        {"no literals, the same text", "INSERT INTO T VALUES (SYSDATE)",
         "INSERT INTO T VALUES (SYSDATE)", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InsertTemplate kept;
        kept.remember(c.remembered, tokenize(c.remembered), "shape");
        const std::vector<Token>* tokens = kept.match(c.statement);
        ASSERT_EQ(tokens != nullptr, c.matches);
        if (tokens) {
            EXPECT_EQ(described(*tokens), described(tokenize(c.statement)));
        }
    }
}

TEST(InsertTemplate, MatchesAgainAfterAMissAndNothingOnceForgotten) {
    InsertTemplate kept;
    const std::string first = "INSERT INTO T VALUES ('abc', 1)";
    kept.remember(first, tokenize(first), "shape");
    const std::vector<std::string> statements = {"INSERT INTO T VALUES ('a', 123456)",
                                                 "INSERT INTO T VALUES ('a', 'b')",
                                                 "INSERT INTO T VALUES ('longer still', 7)"};
    EXPECT_NE(kept.match(statements[0]), nullptr);
    EXPECT_EQ(kept.match(statements[1]), nullptr);
    const std::vector<Token>* again = kept.match(statements[2]);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(described(*again), described(tokenize(statements[2])));
    EXPECT_EQ(kept.shape(), "shape");
    kept.forget();
    EXPECT_EQ(kept.match(first), nullptr);
}

class RepeatedInsertTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute("CREATE TABLE T (ID NUMBER(6) PRIMARY KEY, S VARCHAR2(4) NOT NULL)");
    }
    // The copy's statement for a row.
    static std::string row(const std::string& id, const std::string& text) {
        return "INSERT INTO T (ID, S) VALUES (" + id + ", '" + text + "')";
    }
    Rows stored() { return rows(s(), "SELECT ID, S FROM T ORDER BY ID"); }
};

// Rows sent one statement each, autocommitted, a refused one among them: each
// row stores its own values, and the refused one nothing, with its own error.
TEST_F(RepeatedInsertTest, EachRowIsItsOwnStatement) {
    const struct {
        const char* id;
        const char* text;
        const char* code;
    } cases[] = {{"1", "a", ""},         {"2", "bb", ""},           {"3", "toolong", "ORA-12899"},
                 {"4", "", "ORA-01400"}, {"1", "dup", "ORA-00001"}, {"1234567", "x", "ORA-01438"},
                 {"5", "e''", ""},       {"6.4", "f", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(oraCode([&] { s().execute(row(c.id, c.text)); }), c.code) << c.id;
    EXPECT_EQ(stored(), (Rows{"1|a", "2|bb", "5|e'", "6|f"}));
    // Another session sees each committed at once.
    EXPECT_EQ(rows(*open("scott", "tiger"), "SELECT COUNT(*) FROM T"), (Rows{"4"}));
}

// With autocommit off the same statements stay in the transaction: a failing
// one undoes itself alone, ROLLBACK the rest.
TEST_F(RepeatedInsertTest, InATransactionTheyWaitForCommitOrRollback) {
    s().setAutoCommit(false);
    s().execute(row("1", "a"));
    s().execute(row("2", "b"));
    EXPECT_EQ(oraCode([&] { s().execute(row("3", "toolong")); }), "ORA-12899");
    s().execute(row("4", "d"));
    EXPECT_EQ(stored(), (Rows{"1|a", "2|b", "4|d"}));
    EXPECT_EQ(rows(*open("scott", "tiger"), "SELECT COUNT(*) FROM T"), (Rows{"0"}));
    s().rollback();
    EXPECT_EQ(stored(), Rows{});
    s().execute(row("5", "e"));
    s().commit();
    EXPECT_EQ(rows(*open("scott", "tiger"), "SELECT ID FROM T"), (Rows{"5"}));
}

// An autocommitted row waits for the lock another session's transaction
// holds, and is stored once that transaction commits.
TEST_F(RepeatedInsertTest, ARowWaitsForAnotherSessionsLock) {
    s().execute(row("1", "a"));
    auto holder = open("scott", "tiger");
    holder->setAutoCommit(false);
    holder->execute(row("2", "b"));
    WaitSeen seen;
    dynamic_cast<LocalSession&>(s()).onLockWait(seen.observer());
    std::string error;
    std::thread waiter([&] { error = oraCode([&] { s().execute(row("3", "c")); }); });
    seen.wait();
    holder->commit();
    waiter.join();
    EXPECT_EQ(error, "");
    EXPECT_EQ(stored(), (Rows{"1|a", "2|b", "3|c"}));
}

}  // namespace
}  // namespace malvorn::localserver
