// Running statements: the dispatch, queries and the statements that change
// rows.
#include <algorithm>
#include <optional>

#include "localserver/errors.h"
#include "localserver/local_server.h"
#include "localserver/local_session.h"
#include "localserver/parser.h"
#include "localserver/schema_catalog.h"
#include "localserver/sql_functions.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using F = ServerFunction;

// A value given for a GENERATED ALWAYS column, other than DEFAULT.
void refuseAlwaysIdentity(const TableInfo& table, const std::vector<int>& targets,
                          const ast::Insert& ins) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const bool byDefault = i < ins.values.size() && isDefaultValue(*ins.values[i]);
        if (table.identityOf(static_cast<std::size_t>(targets[i])) == "ALWAYS" && !byDefault)
            oraThrow(32795, "cannot insert into a generated always identity column");
    }
}

}  // namespace

std::string insertedValue(const TableInfo& table, std::size_t i, std::string given,
                          Translator& tr) {
    const std::string& identity = table.identityOf(i);
    // random() keeps SQLite from taking the call for a constant, once per statement.
    const std::string nextIdentity = "mv_identity_next(" + std::to_string(table.id) + ", random())";
    if (given.empty() && !identity.empty())
        return nextIdentity;
    if (given.empty()) {
        const auto& def = table.columns[i].defaultText;
        return def.empty() ? std::string("NULL") : tr.expr(*parseExpression(def));
    }
    if (identity.ends_with("ON NULL"))
        return "coalesce(" + given + ", " + nextIdentity + ")";
    return given;
}

void LocalSession::checkWritable(const TableInfo& table) const {
    if (table.storedView)
        oraThrow(1732, "data manipulation operation not legal on this view");
    if (table.view)
        insufficientPrivileges();
}

void LocalSession::insert(const ast::Insert& ins) {
    InsertPlan plan = planInsert(ins);
    runPlan(plan, std::move(plan.params));
}

LocalSession::InsertPlan LocalSession::planInsert(const ast::Insert& ins) {
    InsertPlan plan;
    const auto table = resolveTable(ins.table);
    checkWritable(*table);
    const std::vector<int> targets = table->insertTargets(ins.columns);
    refuseAlwaysIdentity(*table, targets, ins);
    Translator tr(*this);
    tr.allowSequences();
    if (!ins.select)
        tr.recordOrigins(&plan.origins);
    std::vector<std::string> values(table->columns.size());
    std::vector<std::string> selectNames;
    std::string source;
    if (ins.select) {
        Translator inner(*this);
        inner.allowSequences();
        source = inner.select(*ins.select, selectNames);
        tr.params() = std::move(inner.params());
        if (selectNames.size() > targets.size())
            oraThrow(913, "too many values");
        if (selectNames.size() < targets.size())
            oraThrow(947, "not enough values");
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const auto t = static_cast<std::size_t>(targets[i]);
            values[t] =
                storedAs("q.x" + std::to_string(i), inner.itemKinds().at(i), table->columns[t]);
        }
    } else {
        if (ins.values.size() > targets.size())
            oraThrow(913, "too many values");
        if (ins.values.size() < targets.size())
            oraThrow(947, "not enough values");
        for (std::size_t i = 0; i < targets.size(); ++i) {
            // DEFAULT leaves the column to its default, as one not named.
            const auto t = static_cast<std::size_t>(targets[i]);
            if (!isDefaultValue(*ins.values[i]))
                values[t] = tr.storedValue(*ins.values[i], table->columns[t]);
        }
    }
    const std::string id = std::to_string(table->id);
    std::string sql = "INSERT INTO " + table->sqlName + "(";
    std::string list;
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
        std::string value = insertedValue(*table, i, values[i], tr);
        sql += (i ? ", c" : "c") + std::to_string(i);
        list += std::string(i ? ", " : "") + sqlCall(F::kPut, {value, id, std::to_string(i), "0"});
        if (!ins.select)
            plan.columnValues.push_back(std::move(value));
    }
    if (ins.select)
        sql += ") SELECT " + list + " FROM (" + source + ") AS q";
    else
        sql += ") VALUES(" + list + ")";
    plan.sql = std::move(sql);
    plan.params = std::move(tr.params());
    plan.table = table;
    if (!ins.select)
        addDirectForm(plan);
    return plan;
}

// Prepares (or reuses) a row-changing statement, binds its literals and runs
// it, turning SQLite's refusals into the server's errors.
void LocalSession::runWrite(const std::string& sql, const std::vector<SqlValue>& params,
                            const std::shared_ptr<const TableInfo>& table,
                            const std::string* keys) {
    SqliteStatement* statement = nullptr;
    runWrite(statement, sql, params, table, keys);
}

void LocalSession::runWrite(SqliteStatement*& kept, const std::string& sql,
                            const std::vector<SqlValue>& params,
                            const std::shared_ptr<const TableInfo>& table,
                            const std::string* keys) {
    runWrite(kept, sql, table, [&](SqliteStatement& stmt) {
        if (keys)
            stmt.bindAllKept(params, keys);
        else
            stmt.bindAllKept(params);
    });
}

void LocalSession::runWrite(SqliteStatement*& kept, const std::string& sql,
                            const std::shared_ptr<const TableInfo>& table,
                            const std::function<void(SqliteStatement&)>& bind) {
    try {
        // The batch keeps its statement between rows (reset before each);
        // only the first row takes it from the cache, lent for this call.
        std::optional<CachedStatement> lease;
        if (kept)
            kept->reset();
        else
            kept = &static_cast<SqliteStatement&>(lease.emplace(db_.cached(sql)));
        SqliteStatement& stmt = *kept;
        bind(stmt);
        while (stmt.step()) {
        }
    } catch (const SqliteError& e) {
        throwServerError(e, table.get());
    }
}

void LocalSession::update(const ast::Update& up) {
    const auto table = resolveTable(up.table);
    checkWritable(*table);
    Translator tr(*this);
    tr.allowSequences();
    tr.addSource({up.alias ? *up.alias : table->name, table, "a0"});
    const std::string where = up.where ? " WHERE " + tr.condition(*up.where) : std::string();
    updateRows(*table, up.assignments, tr, {}, where);
}

void LocalSession::updateRows(const TableInfo& table,
                              const std::vector<ast::Assignment>& assignments, Translator& tr,
                              const std::string& source, const std::string& where) {
    const std::string target = table.sqlName + " AS a0";
    std::string sql = "UPDATE " + target + " SET ";
    std::vector<std::string> newValues(table.columns.size());
    for (std::size_t i = 0; i < assignments.size(); ++i) {
        const auto& a = assignments[i];
        const int index = table.findColumn(a.column);
        if (index < 0)
            invalidIdentifier(a.column);
        if (table.identityOf(static_cast<std::size_t>(index)) == "ALWAYS")
            oraThrow(32796, "cannot update a generated always identity column");
        std::string& value = newValues[static_cast<std::size_t>(index)];
        if (!value.empty())
            oraThrow(1747, "invalid user.table.column, table.column, or column name");
        const std::string& def = table.columns[static_cast<std::size_t>(index)].defaultText;
        const std::string given =
            !isDefaultValue(*a.value)
                ? tr.storedValue(*a.value, table.columns[static_cast<std::size_t>(index)])
            : def.empty() ? std::string("NULL")
                          : tr.expr(*parseExpression(def));
        value = sqlCall(F::kPut, {given, std::to_string(table.id), std::to_string(index), "1"});
        sql += std::string(i ? ", c" : "c") + std::to_string(index) + " = " + value;
    }
    try {
        auto stmt = db_.cached(sql + (source.empty() ? "" : " FROM " + source) + where);
        stmt.bindAll(tr.params());
        while (stmt.step()) {
        }
        return;
    } catch (const SqliteError& e) {
        if (e.kind() != SqliteError::Kind::kPrimaryKey && e.kind() != SqliteError::Kind::kUniqueKey)
            throwServerError(e, &table);
    }
    // SQLite checks keys row by row, a server when the statement ends: SET
    // ID = ID + 1 passes through a duplicate on its way. The statement is
    // undone; its rows are computed first and written back all at once.
    std::string rows = "SELECT a0.rowid";
    for (std::size_t i = 0; i < newValues.size(); ++i)
        rows += ", " + (newValues[i].empty() ? "a0.c" + std::to_string(i) : newValues[i]);
    const std::string sources = " FROM " + target + (source.empty() ? "" : ", " + source);
    updateCheckingKeysAtEnd(table, rows + sources + where, tr.params());
}

void LocalSession::updateCheckingKeysAtEnd(const TableInfo& table, const std::string& rows,
                                           const std::vector<SqlValue>& params) {
    std::string columns;
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        columns += (i ? ", c" : "c") + std::to_string(i);
    db_.exec("SAVEPOINT mv_keys");
    try {
        // The write lock first, so that no other writer changes what is read.
        db_.exec("DELETE FROM " + table.sqlName + " WHERE 0");
        db_.exec("DROP TABLE IF EXISTS temp.mv_changed");
        db_.exec("CREATE TEMP TABLE mv_changed(r, " + columns + ")");
        auto changed = db_.prepare("INSERT INTO temp.mv_changed " + rows);
        changed->bindAll(params);
        while (changed->step()) {
        }
        changed.reset();
        rewriting_ = true;
        db_.exec("DELETE FROM " + table.sqlName +
                 " WHERE rowid IN (SELECT r FROM temp.mv_changed)");
        rewriting_ = false;
        db_.exec("INSERT INTO " + table.sqlName + "(rowid, " + columns + ") SELECT r, " + columns +
                 " FROM temp.mv_changed");
        checkChildrenAfterRewrite(table);
        db_.exec("DROP TABLE temp.mv_changed");
        db_.exec("RELEASE mv_keys");
    } catch (...) {
        rewriting_ = false;
        if (db_.inTransaction()) {
            db_.exec("ROLLBACK TO mv_keys");
            db_.exec("RELEASE mv_keys");
        }
        try {
            throw;
        } catch (const SqliteError& e) {
            throwServerError(e, &table);
        }
    }
}

void LocalSession::deleteRows(const ast::Delete& del) {
    const auto table = resolveTable(del.table);
    checkWritable(*table);
    Translator tr(*this);
    tr.addSource({del.alias ? *del.alias : table->name, table, "a0"});
    std::string sql = "DELETE FROM " + table->sqlName + " AS a0";
    if (del.where)
        sql += " WHERE " + tr.condition(*del.where);
    runWrite(sql, tr.params(), table);
}

LocalSession::Rows LocalSession::runSelect(const ast::Select& select) {
    Translator tr(*this);
    tr.allowSequences();
    Rows rows;
    const std::string sql = tr.select(select, rows.names);
    rows.kinds = tr.itemKinds();
    try {
        // A statement of its own, not the cache's: the walk may outlast the
        // next statement of the same text.
        rows.cursor = db_.prepare(sql);
        rows.cursor->bindAll(tr.params());
    } catch (const SqliteError& e) {
        throwServerError(e, nullptr);
    }
    return rows;
}

LocalSession::Rows LocalSession::perform(const std::string& statement) {
    sysdate_ = formatStoredDate(currentDateTime());
    refreshCacheIfStale();
    // The copy's rows come here: the same INSERT but for its literals.
    if (const std::vector<Token>* same = lastInsert_.match(statement)) {
        if (runKeptInsert(lastInsert_.shape(), *same))
            return {};
    }
    std::vector<Token>& tokens = tokens_;
    tokenize(statement, tokens);
    insertShape(tokens, shape_);
    const std::string& shape = shape_;
    if (!shape.empty() && runKeptInsert(shape, tokens)) {
        lastInsert_.remember(statement, tokens, shape);
        return {};
    }
    ast::Statement parsed =
        parseStatement(statement, shape.empty() ? std::move(tokens) : std::vector<Token>(tokens));
    const bool onRows = std::holds_alternative<ast::Select>(parsed) ||
                        std::holds_alternative<ast::Insert>(parsed) ||
                        std::holds_alternative<ast::Update>(parsed) ||
                        std::holds_alternative<ast::Delete>(parsed) ||
                        std::holds_alternative<ast::Merge>(parsed);
    if (const auto* tc = std::get_if<ast::TransactionControl>(&parsed)) {
        transactionControl(*tc);
        return {};
    }
    if (!onRows) {
        // Other statements may change what a kept translation checked, and
        // they commit the transaction before they run, as a server's DDL does.
        plans_.clear();
        streams_->holdAll();
        commitWork();
        definition(parsed);
        return {};
    }
    Rows rows;
    std::visit(
        [&](const auto& s) {
            using T = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<T, ast::Select>) {
                if (s.forUpdate)
                    lockForUpdate(s);
                rows = runSelect(s);
            } else if constexpr (std::is_same_v<T, ast::Insert>) {
                changingRows([&] {
                    if (shape.empty() || s.select) {
                        insert(s);
                    } else {
                        insertKeepingPlan(s, shape, tokens);
                        if (plans_.count(shape))
                            lastInsert_.remember(statement, tokens, shape);
                    }
                });
            } else if constexpr (std::is_same_v<T, ast::Update>) {
                changingRows([&] { update(s); });
            } else if constexpr (std::is_same_v<T, ast::Delete>) {
                changingRows([&] { deleteRows(s); });
            } else if constexpr (std::is_same_v<T, ast::Merge>) {
                changingRows([&] { merge(s); });
            }
        },
        parsed);
    return rows;
}

// Statements on definitions and users, after the transaction was committed.
void LocalSession::definition(const ast::Statement& parsed) {
    std::visit(
        [&](const auto& s) {
            using T = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<T, ast::CreateTable>) {
                if (s.asQuery.empty())
                    createTable(s);
                else
                    createTableAs(s);
            } else if constexpr (std::is_same_v<T, ast::DropTable>) {
                dropTable(s);
            } else if constexpr (std::is_same_v<T, ast::TruncateTable>) {
                truncateTable(s);
            } else if constexpr (std::is_same_v<T, ast::CreateUser>) {
                createUser(s);
            } else if constexpr (std::is_same_v<T, ast::AlterUser>) {
                alterUser(s);
            } else if constexpr (std::is_same_v<T, ast::Grant>) {
                grant(s);
            } else if constexpr (std::is_same_v<T, ast::Revoke>) {
                revoke(s);
            } else if constexpr (std::is_same_v<T, ast::DropUser>) {
                dropUser(s);
            } else if constexpr (std::is_same_v<T, ast::CreateIndex>) {
                createIndex(s);
            } else if constexpr (std::is_same_v<T, ast::DropIndex>) {
                dropIndex(s);
            } else if constexpr (std::is_same_v<T, ast::AlterTableConstraints>) {
                alterTableConstraints(s);
            } else if constexpr (std::is_same_v<T, ast::Comment>) {
                comment(s);
            } else if constexpr (std::is_same_v<T, ast::CreateView>) {
                createView(s);
            } else if constexpr (std::is_same_v<T, ast::DropView>) {
                dropView(s);
            } else if constexpr (std::is_same_v<T, ast::CreateSequence>) {
                createSequence(s);
            } else if constexpr (std::is_same_v<T, ast::AlterSequence>) {
                alterSequence(s);
            } else if constexpr (std::is_same_v<T, ast::DropSequence>) {
                dropSequence(s);
            } else if constexpr (std::is_same_v<T, ast::AlterTableColumns>) {
                alterTableColumns(s);
            } else if constexpr (std::is_same_v<T, ast::Rename>) {
                renameObject(me_.name, s.from.name, s.to);
            }
        },
        parsed);
}

void LocalSession::execute(const std::string& statement) {
    Rows rows;
    try {
        rows = perform(statement);
    } catch (const SqliteError& e) {
        throwServerError(e, nullptr);
    }
    if (rows.cursor)
        runToEnd(*rows.cursor);
}

std::unique_ptr<oracle::ResultSet> LocalSession::query(const std::string& text) {
    Rows rows;
    try {
        rows = perform(text);
    } catch (const SqliteError& e) {
        throwServerError(e, nullptr);
    }
    // A statement without rows gives a walk without rows.
    return std::make_unique<ResultStream>(std::move(rows.names), std::move(rows.cursor), streams_,
                                          std::move(rows.kinds));
}

oracle::Value LocalSession::queryValue(const std::string& text) {
    auto result = query(text);
    if (result->columnNames().empty() || !result->next())
        return std::nullopt;
    return result->value(std::size_t{0});
}

std::unique_ptr<oracle::Session> openLocalServer(const std::string& folder, const std::string& user,
                                                 const std::string& password) {
    try {
        return std::make_unique<LocalSession>(folder, user, password);
    } catch (const SqliteError&) {
        cannotReach();
    }
}

}  // namespace malvorn::localserver
