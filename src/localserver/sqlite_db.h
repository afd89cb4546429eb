#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "localserver/number.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_context;
struct sqlite3_value;

namespace malvorn::localserver {

// A failure reported by SQLite, told apart by its extended result code so
// callers never read SQLite's wording.
class SqliteError : public std::runtime_error {
  public:
    enum class Kind { kPrimaryKey, kUniqueKey, kNotNull, kBusy, kNoSuchTable, kTooComplex, kOther };
    SqliteError(int code, const std::string& message);
    int code() const { return code_; }  // the extended result code
    Kind kind() const { return kind_; }
    // For kUniqueKey: the key's columns as SQLite names them.
    const std::vector<std::string>& keyColumns() const { return keyColumns_; }

  private:
    int code_;
    Kind kind_;
    std::vector<std::string> keyColumns_;
};

// A value as SQLite holds it; monostate is NULL. A Number is held as a BLOB
// (its key), so every NUMBER compares exactly; plain integers are the
// catalog's own counters and ids.
using SqlValue = std::variant<std::monostate, std::int64_t, Number, std::string>;

class SqliteDb;

// A parameter bound from memory its owner keeps alive and unchanged until the
// statement has run: a NULL, a text, or a blob (a Number's key).
struct KeptParam {
    enum class Kind : std::uint8_t { kNull, kText, kBlob };
    Kind kind = Kind::kNull;
    int size = 0;
    const char* data = nullptr;
};

// One prepared statement. Reset on every execution, finalised by the destructor.
class SqliteStatement {
  public:
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement();

    void reset();
    void bind(int index, const SqlValue& value);  // index from 1
    void bindAll(const std::vector<SqlValue>& values);
    // The same without copying texts: `values` must stay alive and unchanged
    // until the statement has run; the next reset (cached() makes one before
    // handing a statement out) unbinds them.
    void bindAllKept(const std::vector<SqlValue>& values);
    // The same with each Number's key made beforehand: keys[i] for a Number
    // values[i] (kept alive and unchanged as the values are).
    void bindAllKept(const std::vector<SqlValue>& values, const std::string* keys);
    // params[i] bound as parameter i + 1, without a copy.
    void bindKept(const KeptParam* params, std::size_t count);
    // Reset and bindKept in one: when `params` cover every parameter the
    // statement names, the old bindings are not cleared first, as each is
    // replaced anyway (a row of a batch saves a pass over its parameters).
    void rebindKept(const KeptParam* params, std::size_t count);
    // The highest parameter number the statement names.
    int parameterCount() const;
    // True while a row is available.
    bool step();
    int columnCount() const;
    SqlValue column(int index) const;
    std::string columnText(int index) const;
    std::int64_t columnInt(int index) const;
    bool columnIsNull(int index) const;

  private:
    friend class SqliteDb;
    friend class CachedStatement;
    SqliteStatement(SqliteDb& db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    SqliteDb& db_;
    sqlite3_stmt* stmt_;
    std::vector<std::string> keys_;  // the NUMBER keys bindAllKept bound
    int leases_ = 0;                 // CachedStatements lending it now
};

// A statement of SqliteDb's cache, lent for the caller's scope and reset when
// the scope ends: a statement read for one row would otherwise stay on that
// row, keeping its read snapshot past COMMIT and the connection's tables
// locked against DDL (ORA-00054).
class CachedStatement {
  public:
    explicit CachedStatement(SqliteStatement& statement) : s_(&statement) { ++s_->leases_; }
    CachedStatement(CachedStatement&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    CachedStatement(const CachedStatement&) = delete;
    CachedStatement& operator=(const CachedStatement&) = delete;
    CachedStatement& operator=(CachedStatement&&) = delete;
    ~CachedStatement() {
        if (s_) {
            s_->reset();
            --s_->leases_;
        }
    }
    operator SqliteStatement&() const { return *s_; }

    void reset() { s_->reset(); }
    void bind(int index, const SqlValue& value) { s_->bind(index, value); }
    void bindAll(const std::vector<SqlValue>& values) { s_->bindAll(values); }
    void bindAllKept(const std::vector<SqlValue>& values) { s_->bindAllKept(values); }
    int parameterCount() const { return s_->parameterCount(); }
    bool step() { return s_->step(); }
    int columnCount() const { return s_->columnCount(); }
    SqlValue column(int index) const { return s_->column(index); }
    std::string columnText(int index) const { return s_->columnText(index); }
    std::int64_t columnInt(int index) const { return s_->columnInt(index); }
    bool columnIsNull(int index) const { return s_->columnIsNull(index); }

  private:
    SqliteStatement* s_;
};

// A scalar SQL function implemented in C++: gets the arguments, returns the
// result or throws. What it throws fails the statement and is thrown again,
// unchanged, by the step or exec that ran it.
using SqlFunction = std::function<SqlValue(const std::vector<SqlValue>&)>;

// An aggregate function's running state for one group.
class SqlAggregate {
  public:
    virtual ~SqlAggregate() = default;
    virtual void step(const std::vector<SqlValue>& args) = 0;
    // The value so far; also called while an analytic window moves.
    virtual SqlValue result() = 0;
    // Takes back a row that left an analytic window. Only aggregates the
    // translation uses with a moving window need it.
    virtual void inverse(const std::vector<SqlValue>& args);
};
using SqlAggregateFactory = std::function<std::unique_ptr<SqlAggregate>()>;

// One SQLite connection (the only place raw handles live). Opens in WAL mode
// with a busy timeout so several processes can share a server folder.
class SqliteDb {
  public:
    explicit SqliteDb(const std::string& path);
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    ~SqliteDb();

    void exec(const std::string& sql);
    std::unique_ptr<SqliteStatement> prepare(const std::string& sql);
    // A statement kept for reuse, keyed by its text; reset before it is
    // handed out and when the returned lease ends.
    CachedStatement cached(const std::string& sql);
    void clearCache();
    // A scalar function with a fixed argument count (-1: any). A deterministic
    // one may be called once for arguments that do not change from row to row.
    void defineFunction(const std::string& name, int argCount, SqlFunction function,
                        bool deterministic = true);
    // An aggregate function; throws from step or result as functions do.
    void defineAggregate(const std::string& name, int argCount, SqlAggregateFactory factory);
    std::int64_t changes() const;
    // True while a transaction begun with BEGIN or SAVEPOINT is open.
    bool inTransaction() const;
    // The most parameters one statement may name.
    int parameterLimit() const;

    // How long a statement waits for another connection's lock before it
    // fails as busy.
    void setBusyWait(std::chrono::milliseconds bound);
    std::chrono::milliseconds busyWait() const { return busyBound_; }
    // Called when a statement starts to wait for a lock (may be empty).
    void onBusyWait(std::function<void()> observer) { onWait_ = std::move(observer); }

    [[noreturn]] void fail(int code);

  private:
    friend class SqliteStatement;
    struct FunctionHolder;
    static void callFunction(sqlite3_context* context, int argc, sqlite3_value** argv);
    static void destroyFunction(void* data);
    struct AggregateHolder;
    static void aggregateStep(sqlite3_context* context, int argc, sqlite3_value** argv);
    static void aggregateFinal(sqlite3_context* context);
    static void aggregateValue(sqlite3_context* context);
    static void aggregateInverse(sqlite3_context* context, int argc, sqlite3_value** argv);
    static void destroyAggregate(void* data);
    static int busyHandler(void* data, int count);
    void keepError();
    // Throws what a function threw during the failed call, else SqliteError.
    [[noreturn]] void throwFailure(int code, const std::string& message);

    sqlite3* db_ = nullptr;
    // Exceptions may not cross SQLite's C frames: a function's exception
    // waits here until the call that ran the function has returned.
    std::exception_ptr pendingError_;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> cache_;
    std::chrono::milliseconds busyBound_{0};
    std::function<void()> onWait_;
    std::chrono::steady_clock::time_point waitStart_;
};

// A transaction that rolls back unless committed. Without `lock`, its first
// statement must write: it takes the lock of what it writes, waiting for it,
// before it has read anything another writer could change. `lock`, a
// statement that writes to one database, takes that database's write lock up
// front; unlike BEGIN IMMEDIATE, both leave the other attached databases to
// other writers.
class SqliteTransaction {
  public:
    explicit SqliteTransaction(SqliteDb& db) : SqliteTransaction(db, {}) {}
    SqliteTransaction(SqliteDb& db, const std::string& lock);
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    ~SqliteTransaction();
    void commit();

  private:
    SqliteDb& db_;
    bool open_ = true;
};

}  // namespace malvorn::localserver
