// Transactions: COMMIT, ROLLBACK and savepoints, each statement undone alone
// when it fails inside a transaction, and the locks of SELECT ... FOR UPDATE.
//
// The storage decides what a lock covers: SQLite lets one connection write a
// database file at a time, and a transaction keeps that lock on every schema
// file it has written until it ends. Sessions writing tables of different
// schemas run side by side; writers of the same schema wait for each other.
#include "encoding/ascii.h"
#include "localserver/errors.h"
#include "localserver/local_session.h"

namespace malvorn::localserver {
namespace {

// The name SQLite knows a savepoint by: any text the statement can name.
std::string savepointName(const std::string& name) {
    return "u" + encoding::hexText(name);
}

// Sets a connection's lock wait for one statement and puts it back.
class LockWait {
  public:
    LockWait(SqliteDb& db, std::chrono::milliseconds bound) : db_(db), saved_(db.busyWait()) {
        db_.setBusyWait(bound);
    }
    ~LockWait() { db_.setBusyWait(saved_); }
    LockWait(const LockWait&) = delete;
    LockWait& operator=(const LockWait&) = delete;

  private:
    SqliteDb& db_;
    std::chrono::milliseconds saved_;
};

}  // namespace

void LocalSession::setAutoCommit(bool on) {
    try {
        if (on)
            commitWork();
    } catch (const SqliteError& e) {
        throwServerError(e, nullptr);
    }
    autoCommit_ = on;
}

void LocalSession::commit() {
    try {
        commitWork();
    } catch (const SqliteError& e) {
        throwServerError(e, nullptr);
    }
}

void LocalSession::rollback() {
    transactionControl({ast::TransactionControl::Kind::kRollback, {}});
}

void LocalSession::onLockWait(std::function<void()> observer) {
    db_.onBusyWait(std::move(observer));
}

void LocalSession::commitWork() {
    if (db_.inTransaction())
        db_.cached("COMMIT").step();
}

void LocalSession::beginStatement() {
    if (!db_.inTransaction())
        db_.cached("BEGIN").step();
    db_.cached("SAVEPOINT mv_statement").step();
}

void LocalSession::endStatement() {
    db_.cached("RELEASE mv_statement").step();
}

void LocalSession::undoStatement() {
    // A failure SQLite answers by ending the transaction has undone it whole.
    if (!db_.inTransaction())
        return;
    try {
        db_.cached("ROLLBACK TO mv_statement").step();
        db_.cached("RELEASE mv_statement").step();
    } catch (const SqliteError&) {
        // The statement failed before its savepoint was set.
    }
}

void LocalSession::transactionControl(const ast::TransactionControl& tc) {
    using Control = ast::TransactionControl::Kind;
    switch (tc.kind) {
        case Control::kCommit:
            commitWork();
            return;
        case Control::kRollback:
            if (db_.inTransaction())
                db_.cached("ROLLBACK").step();
            return;
        case Control::kSavepoint:
            // With autocommit every statement has committed: nothing to go back to.
            if (autoCommit_)
                return;
            if (!db_.inTransaction())
                db_.cached("BEGIN").step();
            db_.exec("SAVEPOINT " + savepointName(tc.savepoint));
            return;
        case Control::kRollbackTo:
            if (db_.inTransaction()) {
                try {
                    db_.exec("ROLLBACK TO " + savepointName(tc.savepoint));
                    return;
                } catch (const SqliteError&) {
                    // Not a savepoint of this transaction.
                }
            }
            oraThrow(1086, "savepoint '" + tc.savepoint +
                               "' never established in this session or is invalid");
    }
}

void LocalSession::lockForUpdate(const ast::Select& select) {
    if (select.distinct || !select.groupBy.empty())
        oraThrow(1786, "FOR UPDATE of this query expression is not allowed");
    std::vector<std::string> tables;
    for (const auto& item : select.from) {
        if (item.subquery)
            continue;
        const auto table = resolveTable(item.table);
        if (!table->view)
            tables.push_back(table->sqlName);
    }
    const ast::ForUpdate& how = *select.forUpdate;
    if (!autoCommit_) {
        changingRows([&] { lockTables(tables, how); });
        return;
    }
    // With autocommit the locks end with the statement; taking them still
    // tells whether another session holds them.
    db_.cached("BEGIN").step();
    try {
        lockTables(tables, how);
    } catch (...) {
        db_.cached("ROLLBACK").step();
        throw;
    }
    db_.cached("COMMIT").step();
}

void LocalSession::lockTables(const std::vector<std::string>& sqlNames, const ast::ForUpdate& how) {
    const std::chrono::milliseconds bound =
        how.nowait        ? std::chrono::milliseconds(0)
        : how.waitSeconds ? std::chrono::milliseconds(std::chrono::seconds(*how.waitSeconds))
                          : db_.busyWait();
    const LockWait wait(db_, bound);
    try {
        // A write that changes nothing takes the file's write lock.
        for (const auto& name : sqlNames)
            db_.cached("DELETE FROM " + name + " WHERE 0").step();
    } catch (const SqliteError& e) {
        if (e.kind() == SqliteError::Kind::kBusy && how.waitSeconds)
            oraThrow(30006, "resource busy; acquire with WAIT timeout expired");
        throw;
    }
}

}  // namespace malvorn::localserver
