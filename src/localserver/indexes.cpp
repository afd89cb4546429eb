// CREATE [UNIQUE] INDEX and DROP INDEX. An index is a SQLite index on the
// table's rows in the owner's schema file. A unique one indexes, for each
// column, its value (0 for Null) and whether it is Null, and leaves out the
// rows whose key columns are all Null: as on the server, entries that are all
// Null are not compared, and partly Null keys are compared, Null equal to Null.
#include <algorithm>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/oracle_types.h"
#include "localserver/password.h"
#include "localserver/schema_catalog.h"

namespace malvorn::localserver {
std::string indexSql(const std::string& schema, const std::string& physical,
                     const std::string& table, bool unique, const std::vector<int>& columns,
                     const std::vector<bool>& descending) {
    std::string sql = std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + schema +
                      "." + physical + " ON " + table + "(";
    std::string anyValue;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string c = "c" + std::to_string(columns[i]);
        const std::string order = descending[i] ? " DESC" : "";
        sql += i ? ", " : "";
        if (unique) {
            sql += "ifnull(" + c + ", 0)" + order + ", " + c + " IS NULL" + order;
            anyValue += (i ? " OR " : "") + c + " IS NOT NULL";
        } else {
            sql += c + order;
        }
    }
    sql += ")";
    if (unique)
        sql += " WHERE " + anyValue;
    return sql;
}

namespace {

// ORA-01408 when the table already has an index on the same columns in the
// same order, a primary or unique key's included.
void checkNotIndexed(const TableInfo& table, const std::vector<int>& columns,
                     const std::vector<bool>& descending) {
    for (const auto& key : table.keys) {
        if (key.columns == columns &&
            std::find(descending.begin(), descending.end(), true) == descending.end())
            oraThrow(1408, "such column list already indexed");
    }
    for (const auto& index : table.indexes) {
        if (index.columns == columns && index.descending == descending)
            oraThrow(1408, "such column list already indexed");
    }
}

}  // namespace

void LocalSession::createIndex(const ast::CreateIndex& ci) {
    const UserInfo owner = tableOwner(ownerFor(ci.index));
    const auto table = resolveTable(ci.table);
    if (table->view)
        oraThrow(1702, "a view is not appropriate here");
    IndexEntry entry{owner.name, ci.index.name, table->id, ci.unique, {}, {}, {}, {}};
    entry.tablespace = ci.tablespace.empty() ? table->tablespace : ci.tablespace;
    checkPermanentTablespace(entry.tablespace);
    std::vector<int> columns;
    for (const auto& column : ci.columns) {
        const int index = table->findColumn(column.name);
        if (index < 0)
            invalidIdentifier(column.name);
        if (std::find(columns.begin(), columns.end(), index) != columns.end())
            oraThrow(957, "duplicate column name");
        columns.push_back(index);
        entry.columns.push_back(column.name);
        entry.descending.push_back(column.descending);
    }
    if (indexNameUsed(db_, owner.name, entry.name))
        oraThrow(955, "name is already used by an existing object");
    checkNotIndexed(*table, columns, entry.descending);

    const std::size_t dot = table->sqlName.find('.');
    const std::string schema = table->sqlName.substr(0, dot);
    entry.physical = "i" + randomHex(8);
    try {
        db_.exec(indexSql(schema, entry.physical, table->sqlName.substr(dot + 1), ci.unique,
                          columns, entry.descending));
    } catch (const SqliteError& e) {
        if (e.kind() == SqliteError::Kind::kUniqueKey)
            oraThrow(1452, "cannot CREATE UNIQUE INDEX; duplicate keys found");
        throw;
    }
    try {
        const ChangeSignal::Change change(signal_);
        CatalogTransaction tx(db_);
        if (indexNameUsed(db_, owner.name, entry.name))
            oraThrow(955, "name is already used by an existing object");
        addIndex(db_, entry, static_cast<int>(table->columns.size()));
        bumpGeneration(db_);
        tx.commit();
    } catch (...) {
        db_.clearCache();
        try {
            db_.exec("DROP INDEX IF EXISTS " + schema + "." + entry.physical);
        } catch (const SqliteError&) {
            // Left behind; without its catalog entry no statement names it.
        }
        throw;
    }
}

void LocalSession::dropIndex(const ast::DropIndex& di) {
    const std::string owner = ownerFor(di.index);
    if (owner != me_.name)
        requireDba();
    const auto found = findIndex(db_, owner, di.index.name);
    if (!found) {
        if (keyNamed(db_, owner, di.index.name))
            oraThrow(2429, "cannot drop index used for enforcement of unique/primary key");
        oraThrow(1418, "specified index does not exist");
    }
    const auto table = tableById(found->tableId);
    if (!table)
        oraThrow(1418, "specified index does not exist");
    {
        const ChangeSignal::Change change(signal_);
        CatalogTransaction tx(db_);
        removeIndex(db_, found->id);
        bumpGeneration(db_);
        tx.commit();
    }
    db_.clearCache();
    const std::string schema = table->sqlName.substr(0, table->sqlName.find('.'));
    db_.exec("DROP INDEX IF EXISTS " + schema + "." + found->physical);
}

// Comments are kept in the catalog beside the table, '' for none.
void LocalSession::comment(const ast::Comment& c) {
    const auto table = resolveTable(c.table);
    if (table->view)
        insufficientPrivileges();
    if (table->owner != me_.name)
        requireDba();
    if (!c.column.empty() && table->findColumn(c.column) < 0)
        invalidIdentifier(c.column);
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    auto set = db_.cached("INSERT OR REPLACE INTO mv_comment VALUES(?1, ?2, ?3)");
    set.bindAll({table->id, c.column, c.text});
    set.step();
    tx.commit();
}

}  // namespace malvorn::localserver
