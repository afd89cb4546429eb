#include "localserver/sqlite_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <utility>

namespace malvorn::localserver {
namespace {

// SQLite's own arithmetic can give a REAL; the server has only NUMBER.
Number numberOfDouble(double d) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", d);
    return Number::parse(buffer).value_or(Number());
}

}  // namespace

namespace {

SqliteError::Kind kindOf(int code, const std::string& message) {
    switch (code) {
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            return SqliteError::Kind::kPrimaryKey;
        case SQLITE_CONSTRAINT_UNIQUE:
            return SqliteError::Kind::kUniqueKey;
        case SQLITE_CONSTRAINT_NOTNULL:
            return SqliteError::Kind::kNotNull;
        default:
            break;
    }
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
        return SqliteError::Kind::kBusy;
    // A table dropped under a prepared statement has no code of its own.
    if (code == SQLITE_ERROR && message.rfind("no such table", 0) == 0)
        return SqliteError::Kind::kNoSuchTable;
    // Limits of SQLite's parser and expression trees.
    if (code == SQLITE_ERROR && (message == "parser stack overflow" ||
                                 message.find("too large (maximum depth") != std::string::npos ||
                                 message.rfind("too many", 0) == 0))
        return SqliteError::Kind::kTooComplex;
    return SqliteError::Kind::kOther;
}

// "UNIQUE constraint failed: t.c0, t.c1" names the key's columns.
std::vector<std::string> keyColumnsOf(const std::string& message) {
    std::vector<std::string> columns;
    std::size_t at = message.find(": ");
    while (at != std::string::npos) {
        const std::size_t dot = message.find('.', at);
        if (dot == std::string::npos)
            break;
        at = message.find(", ", dot);
        columns.push_back(message.substr(dot + 1, at == std::string::npos ? at : at - dot - 1));
    }
    return columns;
}

}  // namespace

SqliteError::SqliteError(int code, const std::string& message)
    : std::runtime_error(message), code_(code), kind_(kindOf(code, message)) {
    if (kind_ == Kind::kUniqueKey)
        keyColumns_ = keyColumnsOf(message);
}

struct SqliteDb::FunctionHolder {
    SqlFunction function;
    SqliteDb* db;
};

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

void SqliteStatement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void SqliteStatement::bind(int index, const SqlValue& value) {
    int rc = SQLITE_OK;
    if (std::holds_alternative<std::monostate>(value)) {
        rc = sqlite3_bind_null(stmt_, index);
    } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
        rc = sqlite3_bind_int64(stmt_, index, *i);
    } else if (const auto* n = std::get_if<Number>(&value)) {
        const std::string key = n->key();
        rc = sqlite3_bind_blob(stmt_, index, key.data(), static_cast<int>(key.size()),
                               SQLITE_TRANSIENT);
    } else {
        const auto& s = std::get<std::string>(value);
        rc =
            sqlite3_bind_text(stmt_, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK)
        db_.fail(rc);
}

void SqliteStatement::bindAll(const std::vector<SqlValue>& values) {
    for (std::size_t i = 0; i < values.size(); ++i)
        bind(static_cast<int>(i + 1), values[i]);
}

void SqliteStatement::bindAllKept(const std::vector<SqlValue>& values) {
    // Texts and keys bound without SQLite's copy of each (SQLITE_STATIC):
    // the texts are the caller's, the keys held here, until the next reset.
    if (keys_.size() < values.size())
        keys_.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (const auto* n = std::get_if<Number>(&values[i]))
            n->keyInto(keys_[i]);
    }
    bindAllKept(values, keys_.data());
}

void SqliteStatement::bindAllKept(const std::vector<SqlValue>& values, const std::string* keys) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int index = static_cast<int>(i + 1);
        int rc = SQLITE_OK;
        if (const auto* s = std::get_if<std::string>(&values[i])) {
            rc = sqlite3_bind_text(stmt_, index, s->data(), static_cast<int>(s->size()),
                                   SQLITE_STATIC);
        } else if (std::holds_alternative<Number>(values[i])) {
            rc = sqlite3_bind_blob(stmt_, index, keys[i].data(), static_cast<int>(keys[i].size()),
                                   SQLITE_STATIC);
        } else {
            bind(index, values[i]);
        }
        if (rc != SQLITE_OK)
            db_.fail(rc);
    }
}

void SqliteStatement::bindKept(const KeptParam* params, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const int index = static_cast<int>(i + 1);
        const KeptParam& p = params[i];
        int rc = SQLITE_OK;
        if (p.kind == KeptParam::Kind::kText)
            rc = sqlite3_bind_text(stmt_, index, p.data, p.size, SQLITE_STATIC);
        else if (p.kind == KeptParam::Kind::kBlob)
            rc = sqlite3_bind_blob(stmt_, index, p.data, p.size, SQLITE_STATIC);
        else
            rc = sqlite3_bind_null(stmt_, index);
        if (rc != SQLITE_OK)
            db_.fail(rc);
    }
}

void SqliteStatement::rebindKept(const KeptParam* params, std::size_t count) {
    sqlite3_reset(stmt_);
    if (static_cast<int>(count) != sqlite3_bind_parameter_count(stmt_))
        sqlite3_clear_bindings(stmt_);
    bindKept(params, count);
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The message belongs to the connection; take it before the reset clears it.
    const std::string message = sqlite3_errmsg(sqlite3_db_handle(stmt_));
    const int code = sqlite3_extended_errcode(sqlite3_db_handle(stmt_));
    sqlite3_reset(stmt_);
    db_.throwFailure(code, message);
}

int SqliteStatement::parameterCount() const {
    return sqlite3_bind_parameter_count(stmt_);
}

int SqliteStatement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

SqlValue SqliteStatement::column(int index) const {
    switch (sqlite3_column_type(stmt_, index)) {
        case SQLITE_NULL:
            return std::monostate{};
        case SQLITE_INTEGER:
            return static_cast<std::int64_t>(sqlite3_column_int64(stmt_, index));
        case SQLITE_FLOAT:
            return numberOfDouble(sqlite3_column_double(stmt_, index));
        case SQLITE_BLOB:
            return Number::fromKey(
                std::string_view(static_cast<const char*>(sqlite3_column_blob(stmt_, index)),
                                 static_cast<std::size_t>(sqlite3_column_bytes(stmt_, index))));
        default:
            return columnText(index);
    }
}

std::string SqliteStatement::columnText(int index) const {
    const auto* text = sqlite3_column_text(stmt_, index);
    if (text == nullptr)
        return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, index)));
}

std::int64_t SqliteStatement::columnInt(int index) const {
    return sqlite3_column_int64(stmt_, index);
}

bool SqliteStatement::columnIsNull(int index) const {
    return sqlite3_column_type(stmt_, index) == SQLITE_NULL;
}

SqliteDb::SqliteDb(const std::string& path) {
    const int rc =
        sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteError(rc, message + ": " + path);
    }
    sqlite3_extended_result_codes(db_, 1);
    setBusyWait(std::chrono::seconds(10));
    try {
        exec("PRAGMA journal_mode=WAL");
        // NORMAL in WAL mode: a committed statement survives a crash of the
        // program; only a power loss may take back the last commits.
        exec("PRAGMA synchronous=NORMAL");
        exec("PRAGMA foreign_keys=OFF");
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

SqliteDb::~SqliteDb() {
    cache_.clear();
    sqlite3_close_v2(db_);
}

void SqliteDb::fail(int code) {
    throwFailure(code, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code));
}

void SqliteDb::throwFailure(int code, const std::string& message) {
    if (pendingError_)
        std::rethrow_exception(std::exchange(pendingError_, nullptr));
    throw SqliteError(code, message);
}

void SqliteDb::exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throwFailure(sqlite3_extended_errcode(db_), text);
    }
}

std::unique_ptr<SqliteStatement> SqliteDb::prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fail(rc);
    }
    return std::unique_ptr<SqliteStatement>(new SqliteStatement(*this, stmt));
}

CachedStatement SqliteDb::cached(const std::string& sql) {
    auto it = cache_.find(sql);
    if (it == cache_.end()) {
        // Statements built from literals are bound as parameters, so the cache
        // stays small in practice; the bound is a guard, not a policy. A
        // statement lent out stays until its lease ends.
        if (cache_.size() > 200)
            std::erase_if(cache_, [](const auto& entry) { return entry.second->leases_ == 0; });
        it = cache_.emplace(sql, prepare(sql)).first;
    } else {
        it->second->reset();
    }
    return CachedStatement(*it->second);
}

void SqliteDb::clearCache() {
    std::erase_if(cache_, [](const auto& entry) { return entry.second->leases_ == 0; });
}

std::int64_t SqliteDb::changes() const {
    return sqlite3_changes64(db_);
}

bool SqliteDb::inTransaction() const {
    return sqlite3_get_autocommit(db_) == 0;
}

int SqliteDb::parameterLimit() const {
    return sqlite3_limit(db_, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
}

void SqliteDb::setBusyWait(std::chrono::milliseconds bound) {
    busyBound_ = bound;
    sqlite3_busy_handler(db_, &SqliteDb::busyHandler, this);
}

// Retries a busy lock with a growing pause until the bound has passed.
int SqliteDb::busyHandler(void* data, int count) {
    auto* self = static_cast<SqliteDb*>(data);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) {
        self->waitStart_ = now;
        if (self->busyBound_.count() > 0 && self->onWait_)
            self->onWait_();
    }
    const auto waited = now - self->waitStart_;
    if (waited >= self->busyBound_)
        return 0;
    const auto pause = std::min<std::chrono::steady_clock::duration>(
        std::chrono::milliseconds(std::min(1 + count, 20)), self->busyBound_ - waited);
    std::this_thread::sleep_for(pause);
    return 1;
}

namespace {

SqlValue fromSqlite(sqlite3_value* value) {
    switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            return std::monostate{};
        case SQLITE_INTEGER:
            return static_cast<std::int64_t>(sqlite3_value_int64(value));
        case SQLITE_FLOAT:
            return numberOfDouble(sqlite3_value_double(value));
        case SQLITE_BLOB:
            return Number::fromKey(
                std::string_view(static_cast<const char*>(sqlite3_value_blob(value)),
                                 static_cast<std::size_t>(sqlite3_value_bytes(value))));
        default: {
            const auto* text = sqlite3_value_text(value);
            return std::string(reinterpret_cast<const char*>(text),
                               static_cast<std::size_t>(sqlite3_value_bytes(value)));
        }
    }
}

void setResult(sqlite3_context* context, const SqlValue& result) {
    if (std::holds_alternative<std::monostate>(result)) {
        sqlite3_result_null(context);
    } else if (const auto* i = std::get_if<std::int64_t>(&result)) {
        sqlite3_result_int64(context, *i);
    } else if (const auto* n = std::get_if<Number>(&result)) {
        const std::string key = n->key();
        sqlite3_result_blob(context, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    } else {
        const auto& s = std::get<std::string>(result);
        sqlite3_result_text(context, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
}

}  // namespace

void SqliteDb::callFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* holder = static_cast<FunctionHolder*>(sqlite3_user_data(context));
    try {
        std::vector<SqlValue> args;
        args.reserve(static_cast<std::size_t>(argc));
        for (int i = 0; i < argc; ++i)
            args.push_back(fromSqlite(argv[i]));
        setResult(context, holder->function(args));
    } catch (...) {
        holder->db->keepError();
        sqlite3_result_error(context, "function failed", -1);
    }
}

void SqliteDb::keepError() {
    // The first failure of a statement is the one reported.
    if (!pendingError_)
        pendingError_ = std::current_exception();
}

struct SqliteDb::AggregateHolder {
    SqlAggregateFactory factory;
    SqliteDb* db;
};

void SqliteDb::aggregateStep(sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* holder = static_cast<AggregateHolder*>(sqlite3_user_data(context));
    try {
        auto** state = static_cast<SqlAggregate**>(
            sqlite3_aggregate_context(context, static_cast<int>(sizeof(SqlAggregate*))));
        if (state == nullptr)
            throw std::bad_alloc();
        if (*state == nullptr)
            *state = holder->factory().release();
        std::vector<SqlValue> args;
        args.reserve(static_cast<std::size_t>(argc));
        for (int i = 0; i < argc; ++i)
            args.push_back(fromSqlite(argv[i]));
        (*state)->step(args);
    } catch (...) {
        holder->db->keepError();
        sqlite3_result_error(context, "aggregate failed", -1);
    }
}

void SqliteDb::aggregateFinal(sqlite3_context* context) {
    auto* holder = static_cast<AggregateHolder*>(sqlite3_user_data(context));
    auto** state = static_cast<SqlAggregate**>(sqlite3_aggregate_context(context, 0));
    // SQLite calls this once per group, also after a failed step: the state
    // is freed here in every case.
    std::unique_ptr<SqlAggregate> owned(state ? *state : nullptr);
    try {
        if (!owned)
            owned = holder->factory();
        setResult(context, owned->result());
    } catch (...) {
        holder->db->keepError();
        sqlite3_result_error(context, "aggregate failed", -1);
    }
}

void SqlAggregate::inverse(const std::vector<SqlValue>&) {
    throw std::logic_error("aggregate used with a moving window");
}

void SqliteDb::aggregateValue(sqlite3_context* context) {
    auto* holder = static_cast<AggregateHolder*>(sqlite3_user_data(context));
    auto** state = static_cast<SqlAggregate**>(sqlite3_aggregate_context(context, 0));
    try {
        if (state && *state)
            setResult(context, (*state)->result());
        else
            setResult(context, holder->factory()->result());
    } catch (...) {
        holder->db->keepError();
        sqlite3_result_error(context, "aggregate failed", -1);
    }
}

void SqliteDb::aggregateInverse(sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* holder = static_cast<AggregateHolder*>(sqlite3_user_data(context));
    try {
        auto** state = static_cast<SqlAggregate**>(sqlite3_aggregate_context(context, 0));
        if (state == nullptr || *state == nullptr)
            throw std::logic_error("inverse before step");
        std::vector<SqlValue> args;
        args.reserve(static_cast<std::size_t>(argc));
        for (int i = 0; i < argc; ++i)
            args.push_back(fromSqlite(argv[i]));
        (*state)->inverse(args);
    } catch (...) {
        holder->db->keepError();
        sqlite3_result_error(context, "aggregate failed", -1);
    }
}

void SqliteDb::destroyAggregate(void* data) {
    delete static_cast<AggregateHolder*>(data);
}

void SqliteDb::defineAggregate(const std::string& name, int argCount, SqlAggregateFactory factory) {
    auto* holder = new AggregateHolder{std::move(factory), this};
    // A window function too, so that analytic functions reach it.
    const int rc = sqlite3_create_window_function(
        db_, name.c_str(), argCount, SQLITE_UTF8 | SQLITE_DETERMINISTIC, holder,
        &SqliteDb::aggregateStep, &SqliteDb::aggregateFinal, &SqliteDb::aggregateValue,
        &SqliteDb::aggregateInverse, &SqliteDb::destroyAggregate);
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqliteDb::destroyFunction(void* data) {
    delete static_cast<FunctionHolder*>(data);
}

void SqliteDb::defineFunction(const std::string& name, int argCount, SqlFunction function,
                              bool deterministic) {
    auto* holder = new FunctionHolder{std::move(function), this};
    const int rc = sqlite3_create_function_v2(
        db_, name.c_str(), argCount, SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0),
        holder, &SqliteDb::callFunction, nullptr, nullptr, &SqliteDb::destroyFunction);
    // On failure SQLite has already called the destructor on the holder.
    if (rc != SQLITE_OK)
        fail(rc);
}

SqliteTransaction::SqliteTransaction(SqliteDb& db, const std::string& lock) : db_(db) {
    db_.exec("BEGIN");
    if (lock.empty())
        return;
    try {
        db_.exec(lock);
    } catch (...) {
        db_.exec("ROLLBACK");
        throw;
    }
}

SqliteTransaction::~SqliteTransaction() {
    if (open_) {
        try {
            db_.exec("ROLLBACK");
        } catch (const SqliteError&) {
            // A failed statement may already have ended the transaction.
        }
    }
}

void SqliteTransaction::commit() {
    db_.exec("COMMIT");
    open_ = false;
}

}  // namespace malvorn::localserver
