// ALTER TABLE ... DROP columns and RENAME COLUMN; RENAME of a table, view or
// sequence.
//
// A dropped column's c<i> is dropped from the rows' table and the columns
// after it renamed one place down; SQLite renames them in the indexes and
// triggers too. What Oracle drops with a column (its indexes, the
// constraints on it alone) goes first.
#include <algorithm>
#include <set>

#include "localserver/alter_columns.h"
#include "localserver/errors.h"
#include "localserver/lexer.h"
#include "localserver/local_session.h"

namespace malvorn::localserver {
namespace {

// A condition's text with a column's name replaced, as the server shows a
// renamed column: quoted.
std::string renamedIn(const std::string& text, const std::string& from, const std::string& to) {
    std::string out;
    std::size_t at = 0;
    for (const Token& t : tokenize(text)) {
        const bool name = t.kind == Token::Kind::kWord || t.kind == Token::Kind::kQuoted;
        if (!name || t.text != from)
            continue;
        out += text.substr(at, t.begin - at) + "\"" + to + "\"";
        at = t.end;
    }
    return out + text.substr(at);
}

void catalogStep(SqliteDb& db, const char* sql, const std::vector<SqlValue>& values) {
    auto stmt = db.cached(sql);
    stmt.bindAll(values);
    stmt.step();
}

}  // namespace

void LocalSession::renameColumn(const TableInfo& table, const std::string& from,
                                const std::string& to) {
    if (table.findColumn(from) < 0)
        invalidIdentifier(from);
    if (table.findColumn(to) >= 0)
        oraThrow(957, "duplicate column name");
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    catalogStep(db_, "UPDATE mv_column SET name = ?3 WHERE table_id = ?1 AND name = ?2",
                {table.id, from, to});
    for (auto entry : constraintsOfTable(db_, table.id)) {
        std::replace(entry.columns.begin(), entry.columns.end(), from, to);
        catalogStep(db_, "UPDATE mv_constraint SET columns = ?2 WHERE id = ?1",
                    {entry.id, joinNames(entry.columns)});
        if (!entry.condition.empty()) {
            catalogStep(db_, "UPDATE mv_constraint_rule SET search_condition = ?2 WHERE id = ?1",
                        {entry.id, renamedIn(entry.condition, from, to)});
        }
    }
    catalogStep(
        db_,
        "UPDATE mv_index_column SET name = ?3 WHERE name = ?2 AND index_id IN (SELECT id FROM "
        "mv_index WHERE table_id = ?1)",
        {table.id, from, to});
    catalogStep(db_, "UPDATE mv_identity_col SET name = ?3 WHERE table_id = ?1 AND name = ?2",
                {table.id, from, to});
    catalogStep(db_,
                "UPDATE mv_comment SET column_name = ?3 WHERE table_id = ?1 AND column_name = ?2",
                {table.id, from, to});
    bumpGeneration(db_);
    tx.commit();
    forgetTable(table);
}

void LocalSession::renameObject(const std::string& owner, const std::string& from,
                                const std::string& to) {
    if (objectNameTaken(db_, owner, to))
        oraThrow(955, "name is already used by an existing object");
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    bool renamed = false;
    for (const char* sql : {"UPDATE mv_table SET name = ?3 WHERE owner = ?1 AND name = ?2",
                            "UPDATE mv_view SET name = ?3 WHERE owner = ?1 AND name = ?2",
                            "UPDATE mv_sequence SET name = ?3 WHERE owner = ?1 AND name = ?2"}) {
        if (renamed)
            break;
        catalogStep(db_, sql, {owner, from, to});
        renamed = db_.changes() > 0;
    }
    if (!renamed)
        oraThrow(4043, "object " + from + " does not exist");
    bumpGeneration(db_);
    tx.commit();
    tables_.clear();
    tablesById_.clear();
    plans_.clear();
}

namespace {

struct Doomed {
    std::vector<ConstraintEntry> constraints;
    std::vector<std::string> indexes;  // by name
};

// What Oracle drops with the columns: the constraints on them alone (with
// CASCADE CONSTRAINTS, also those on them and others, and the foreign keys
// referencing them) and every index that has one of them.
Doomed goingWith(SqliteDb& db, const TableInfo& table, const std::vector<std::string>& names,
                 bool cascade) {
    const auto isDoomed = [&](const std::string& column) {
        return std::find(names.begin(), names.end(), column) != names.end();
    };
    const auto allDoomed = [&](const std::vector<std::string>& columns) {
        return std::all_of(columns.begin(), columns.end(), isDoomed);
    };
    Doomed going;
    for (const auto& entry : constraintsOfTable(db, table.id)) {
        if (std::none_of(entry.columns.begin(), entry.columns.end(), isDoomed))
            continue;
        if (!allDoomed(entry.columns) && !cascade)
            oraThrow(12991, "column is referenced in a multi-column constraint");
        if (entry.kind == 'P' || entry.kind == 'U') {
            // A key of CREATE TABLE is part of the SQLite table.
            if (entry.physical.empty())
                oraThrow(3001, "unimplemented feature");
            for (const auto& fk : foreignKeysTo(db, table.id)) {
                if (fk.parentKey != entry.id)
                    continue;
                if (!cascade && !(fk.tableId == table.id && allDoomed(fk.columns)))
                    oraThrow(12992, "cannot drop parent key column");
                going.constraints.push_back(fk);
            }
        }
        going.constraints.push_back(entry);
    }
    for (const auto& index : table.indexes) {
        if (std::any_of(index.columns.begin(), index.columns.end(), [&](int c) {
                return isDoomed(table.columns[static_cast<std::size_t>(c)].name);
            }))
            going.indexes.push_back(index.name);
    }
    return going;
}

}  // namespace

void LocalSession::dropColumns(const TableInfo& table, const std::vector<std::string>& names,
                               bool cascade) {
    std::vector<int> doomed;
    for (const auto& name : names) {
        const int index = table.findColumn(name);
        if (index < 0)
            invalidIdentifier(name);
        if (std::find(doomed.begin(), doomed.end(), index) != doomed.end())
            oraThrow(957, "duplicate column name");
        doomed.push_back(index);
    }
    if (doomed.size() >= table.columns.size())
        oraThrow(12983, "cannot drop all columns in a table");
    const auto isDoomed = [&](const std::string& column) {
        return std::find(names.begin(), names.end(), column) != names.end();
    };
    const Doomed going = goingWith(db_, table, names, cascade);
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    std::set<std::int64_t> removed;
    for (const auto& entry : going.constraints) {
        if (!removed.insert(entry.id).second)
            continue;
        removeConstraintObjects(entry);
        removeConstraint(db_, entry.id);
    }
    const std::string schema = table.sqlName.substr(0, table.sqlName.find('.'));
    for (const auto& name : going.indexes) {
        const auto found = findIndex(db_, table.owner, name);
        if (!found)
            continue;
        db_.exec("DROP INDEX IF EXISTS " + schema + "." + found->physical);
        removeIndex(db_, found->id);
    }
    std::sort(doomed.rbegin(), doomed.rend());
    std::size_t count = table.columns.size();
    try {
        for (const int k : doomed) {
            db_.exec("ALTER TABLE " + table.sqlName + " DROP COLUMN c" + std::to_string(k));
            for (std::size_t j = static_cast<std::size_t>(k) + 1; j < count; ++j) {
                db_.exec("ALTER TABLE " + table.sqlName + " RENAME COLUMN c" + std::to_string(j) +
                         " TO c" + std::to_string(j - 1));
            }
            --count;
        }
    } catch (const SqliteError&) {
        db_.clearCache();
        oraThrow(3001, "unimplemented feature");
    }
    catalogStep(db_, "DELETE FROM mv_column WHERE table_id = ?1", {table.id});
    std::size_t next = 0;
    for (const auto& column : table.columns) {
        if (!isDoomed(column.name))
            writeColumn(db_, table.id, next++, column);
    }
    for (const auto& name : names) {
        catalogStep(db_, "DELETE FROM mv_identity_col WHERE table_id = ?1 AND name = ?2",
                    {table.id, name});
        catalogStep(db_, "DELETE FROM mv_comment WHERE table_id = ?1 AND column_name = ?2",
                    {table.id, name});
    }
    bumpGeneration(db_);
    tx.commit();
    forgetTable(table);
    db_.clearCache();
}

}  // namespace malvorn::localserver
