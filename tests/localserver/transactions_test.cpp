// Two sessions on one server in one process: what each sees of the other's
// changes, savepoints, and who waits for whose locks. A waiting session runs
// in a thread; the test goes on only once the server reports the wait.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "localserver/local_session.h"
#include "server_fixture.h"
#include "wait_seen.h"

namespace malvorn::localserver {
namespace {

class TransactionTest : public ServerTest {
  protected:
    void SetUp() override {
        a_ = appUser();
        b_ = open("scott", "tiger");
        a_->execute("CREATE TABLE T (ID NUMBER PRIMARY KEY, V VARCHAR2(5))");
        a_->execute("INSERT INTO T VALUES (1, 'a')");
        a_->setAutoCommit(false);
        b_->setAutoCommit(false);
    }
    oracle::Session& a() { return *a_; }
    oracle::Session& b() { return *b_; }
    LocalSession& local(oracle::Session& s) { return dynamic_cast<LocalSession&>(s); }
    Rows tRows(oracle::Session& s) { return rows(s, "SELECT ID, V FROM T ORDER BY ID"); }

    // Runs `statement` in `waiter` on a thread and returns once it waits.
    std::thread waitingStatement(oracle::Session& waiter, WaitSeen& seen,
                                 const std::string& statement, std::string& error) {
        local(waiter).onLockWait(seen.observer());
        std::thread t(
            [&waiter, statement, &error] { error = oraCode([&] { waiter.execute(statement); }); });
        seen.wait();
        return t;
    }

  private:
    std::unique_ptr<oracle::Session> a_;
    std::unique_ptr<oracle::Session> b_;
};

TEST_F(TransactionTest, ChangesAreTheSessionsOwnUntilCommit) {
    a().execute("INSERT INTO T VALUES (2, 'b')");
    a().execute("UPDATE T SET V = 'z' WHERE ID = 1");
    EXPECT_EQ(tRows(a()), (Rows{"1|z", "2|b"}));
    EXPECT_EQ(tRows(b()), (Rows{"1|a"}));
    a().execute("COMMIT WORK");
    EXPECT_EQ(tRows(b()), (Rows{"1|z", "2|b"}));
}

TEST_F(TransactionTest, RollbackUndoesEachKindOfChange) {
    const struct {
        const char* change;
        Rows during;
    } cases[] = {
        {"INSERT INTO T VALUES (2, 'b')", {"1|a", "2|b"}},
        {"UPDATE T SET V = 'z'", {"1|z"}},
        {"DELETE FROM T", {}},
        {"INSERT INTO T SELECT ID + 10, V FROM T", {"1|a", "11|a"}},
        {"MERGE INTO T USING DUAL ON (T.ID = 2) WHEN NOT MATCHED THEN INSERT VALUES (2, 'm')",
         {"1|a", "2|m"}}};
    for (const auto& c : cases) {
        a().execute(c.change);
        EXPECT_EQ(tRows(a()), c.during) << c.change;
        a().execute("ROLLBACK");
        EXPECT_EQ(tRows(a()), (Rows{"1|a"})) << c.change;
        EXPECT_EQ(tRows(b()), (Rows{"1|a"})) << c.change;
    }
}

TEST_F(TransactionTest, SavepointsUndoWhatCameAfterThem) {
    a().execute("INSERT INTO T VALUES (2, 'b')");
    a().execute("SAVEPOINT s1");
    a().execute("INSERT INTO T VALUES (3, 'c')");
    a().execute("SAVEPOINT s2");
    a().execute("DELETE FROM T WHERE ID = 1");
    a().execute("ROLLBACK TO SAVEPOINT s2");
    EXPECT_EQ(tRows(a()), (Rows{"1|a", "2|b", "3|c"}));
    a().execute("ROLLBACK TO s1");
    EXPECT_EQ(tRows(a()), (Rows{"1|a", "2|b"}));
    // s2 came after s1 and went with it; an unknown name is refused alike.
    EXPECT_EQ(oraCode([&] { a().execute("ROLLBACK TO s2"); }), "ORA-01086");
    EXPECT_EQ(oraCode([&] { a().execute("ROLLBACK TO nowhere"); }), "ORA-01086");
    a().execute("INSERT INTO T VALUES (4, 'd')");
    a().commit();
    EXPECT_EQ(tRows(b()), (Rows{"1|a", "2|b", "4|d"}));
    EXPECT_EQ(oraCode([&] { a().execute("ROLLBACK TO s1"); }), "ORA-01086");
}

TEST_F(TransactionTest, AFailingStatementUndoesItselfAlone) {
    a().execute("INSERT INTO T VALUES (2, 'b')");
    // The first row takes its new value before the second one fails.
    EXPECT_EQ(oraCode([&] {
                  a().execute("UPDATE T SET V = CASE ID WHEN 1 THEN 'x' ELSE 'toolong' END");
              }),
              "ORA-12899");
    EXPECT_EQ(oraCode([&] { a().execute("INSERT INTO T SELECT 4 - ID, V FROM T"); }), "ORA-00001");
    EXPECT_EQ(tRows(a()), (Rows{"1|a", "2|b"}));
    a().commit();
    EXPECT_EQ(tRows(b()), (Rows{"1|a", "2|b"}));
}

TEST_F(TransactionTest, DdlCommitsWhatCameBefore) {
    a().execute("INSERT INTO T VALUES (2, 'b')");
    a().execute("CREATE TABLE U (X NUMBER)");
    a().execute("ROLLBACK");
    EXPECT_EQ(tRows(b()), (Rows{"1|a", "2|b"}));
}

TEST_F(TransactionTest, WithAutocommitEveryStatementCommitsAtOnce) {
    a().setAutoCommit(true);
    a().execute("INSERT INTO T VALUES (2, 'b')");
    EXPECT_EQ(tRows(b()), (Rows{"1|a", "2|b"}));
    a().execute("SAVEPOINT s1");
    a().execute("DELETE FROM T WHERE ID = 2");
    a().execute("ROLLBACK");
    EXPECT_EQ(oraCode([&] { a().execute("ROLLBACK TO s1"); }), "ORA-01086");
    EXPECT_EQ(tRows(b()), (Rows{"1|a"}));
    // Turning autocommit on commits what is pending.
    b().execute("INSERT INTO T VALUES (3, 'c')");
    b().setAutoCommit(true);
    EXPECT_EQ(tRows(a()), (Rows{"1|a", "3|c"}));
}

TEST_F(TransactionTest, ForUpdateNowaitAndWaitFailWhileAnotherHoldsTheRows) {
    EXPECT_EQ(rows(a(), "SELECT V FROM T WHERE ID = 1 FOR UPDATE"), (Rows{"a"}));
    // ORA-00054 for NOWAIT; for WAIT n, once n seconds have passed, ORA-30006
    // "resource busy; acquire with WAIT timeout expired".
    const struct {
        const char* query;
        const char* error;
    } cases[] = {{"SELECT V FROM T WHERE ID = 1 FOR UPDATE NOWAIT", "ORA-00054"},
                 {"SELECT V FROM T T1 WHERE ID = 1 FOR UPDATE OF T1.V NOWAIT", "ORA-00054"},
                 {"SELECT V FROM T WHERE ID = 1 FOR UPDATE WAIT 1", "ORA-30006"}};
    for (const auto& c : cases)
        EXPECT_EQ(oraCode([&] { rows(b(), c.query); }), c.error) << c.query;
    a().commit();
    EXPECT_EQ(rows(b(), "SELECT V FROM T WHERE ID = 1 FOR UPDATE NOWAIT"), (Rows{"a"}));
}

TEST_F(TransactionTest, ForUpdateWaitsForTheHolderThenReadsWhatItCommitted) {
    a().execute("UPDATE T SET V = 'new' WHERE ID = 1");
    WaitSeen seen;
    local(b()).onLockWait(seen.observer());
    Rows read;
    std::thread waiter([&] { read = rows(b(), "SELECT V FROM T WHERE ID = 1 FOR UPDATE"); });
    seen.wait();
    a().commit();
    waiter.join();
    EXPECT_EQ(read, (Rows{"new"}));
    // b holds the lock now: a's NOWAIT is refused until b ends.
    EXPECT_EQ(oraCode([&] { rows(a(), "SELECT V FROM T FOR UPDATE NOWAIT"); }), "ORA-00054");
    b().rollback();
    EXPECT_EQ(rows(a(), "SELECT V FROM T FOR UPDATE NOWAIT"), (Rows{"new"}));
}

TEST_F(TransactionTest, TheSameRowWaitsThenProceedsAfterTheOtherCommits) {
    a().execute("UPDATE T SET V = V || 'a' WHERE ID = 1");
    WaitSeen seen;
    std::string error;
    std::thread waiter =
        waitingStatement(b(), seen, "UPDATE T SET V = V || 'b' WHERE ID = 1", error);
    a().commit();
    waiter.join();
    EXPECT_EQ(error, "");
    b().commit();
    EXPECT_EQ(tRows(a()), (Rows{"1|aab"}));
}

TEST_F(TransactionTest, TablesOfAnotherSchemaDoNotWaitThoseOfTheSameSchemaDo) {
    auto adams = appUser("adams", "pw");
    adams->execute("CREATE TABLE U (X NUMBER)");
    adams->setAutoCommit(false);
    a().execute("INSERT INTO T VALUES (2, 'b')");  // holds SCOTT's schema until it ends

    WaitSeen adamsWaited;
    local(*adams).onLockWait(adamsWaited.observer());
    adams->execute("INSERT INTO U VALUES (1)");
    adams->commit();
    EXPECT_FALSE(adamsWaited.seen());

    // Another table of the same schema waits: locks cover a schema's file.
    a().execute("CREATE TABLE V2 (X NUMBER)");  // commits; then a new change holds it again
    a().execute("INSERT INTO T VALUES (3, 'c')");
    WaitSeen seen;
    std::string error;
    std::thread waiter = waitingStatement(b(), seen, "INSERT INTO V2 VALUES (1)", error);
    a().commit();
    waiter.join();
    EXPECT_EQ(error, "");
    b().commit();
    EXPECT_EQ(rows(*adams, "SELECT COUNT(*) FROM SCOTT.V2"), (Rows{"1"}));
}

TEST_F(TransactionTest, KeysAreCheckedWhenTheStatementEnds) {
    a().execute("INSERT INTO T VALUES (2, 'b')");
    a().execute("INSERT INTO T VALUES (3, 'c')");
    a().commit();
    const struct {
        const char* update;
        Rows after;  // or the error's code alone
    } cases[] = {
        {"UPDATE T SET ID = ID + 1", {"2|a", "3|b", "4|c"}},
        {"UPDATE T SET ID = ID - 1", {"0|a", "1|b", "2|c"}},
        {"UPDATE T SET ID = 4 - ID, V = UPPER(V)", {"1|C", "2|B", "3|A"}},
        {"UPDATE T SET ID = 1", {"ORA-00001"}},
        {"UPDATE T SET ID = ID + 1 WHERE ID < 3", {"ORA-00001"}},
        {"UPDATE T SET ID = ID - 1 WHERE ID > 1", {"ORA-00001"}},
        // A value refused on a later row is the statement's error.
        {"UPDATE T SET ID = ID + 1, V = CASE ID WHEN 3 THEN 'toolong' ELSE V END", {"ORA-12899"}}};
    const Rows before{"1|a", "2|b", "3|c"};
    for (const bool autocommit : {true, false}) {
        a().setAutoCommit(autocommit);
        for (const auto& c : cases) {
            const std::string error = oraCode([&] { a().execute(c.update); });
            EXPECT_EQ(error.empty() ? tRows(a()) : Rows{error}, c.after) << c.update;
            if (error.empty())
                EXPECT_EQ(tRows(b()), autocommit ? c.after : before) << c.update;
            else
                EXPECT_EQ(tRows(a()), before) << c.update;
            a().execute("ROLLBACK");
            if (autocommit) {  // puts back what the statement committed
                a().execute("DELETE FROM T");
                for (const char* row : {"(1, 'a')", "(2, 'b')", "(3, 'c')"})
                    a().execute(std::string("INSERT INTO T VALUES ") + row);
            }
        }
    }
}

}  // namespace
}  // namespace malvorn::localserver
