#include "localserver/schema_catalog.h"

#include <cstdio>

namespace malvorn::localserver {
namespace {

void deleteWhere(SqliteDb& db, const char* sql, const SqlValue& value) {
    auto stmt = db.cached(sql);
    stmt.bind(1, value);
    stmt.step();
}

bool exists(SqliteDb& db, const char* sql, const std::vector<SqlValue>& values) {
    auto stmt = db.cached(sql);
    stmt.bindAll(values);
    const bool found = stmt.step();
    stmt.reset();
    return found;
}

// A descending index column is kept by the server as a hidden column of the
// table, numbered after the table's columns and earlier hidden ones.
std::string hiddenColumnName(SqliteDb& db, std::int64_t tableId, int tableColumnCount) {
    auto used = db.cached(
        "SELECT count(*) FROM mv_index_column c JOIN mv_index i ON i.id = c.index_id WHERE "
        "i.table_id = ?1 AND c.hidden IS NOT NULL");
    used.bind(1, tableId);
    used.step();
    const long long number = tableColumnCount + used.columnInt(0) + 1;
    used.reset();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "SYS_NC%05lld$", number);
    return buffer;
}

}  // namespace

void createSchemaObjectTables(SqliteDb& db) {
    db.exec(
        "CREATE TABLE IF NOT EXISTS mv_index(id INTEGER PRIMARY KEY AUTOINCREMENT, owner TEXT, "
        "name TEXT, table_id INTEGER, uniq INTEGER, physical TEXT, tablespace TEXT, "
        "UNIQUE(owner, name));"
        "CREATE TABLE IF NOT EXISTS mv_index_column(index_id INTEGER, position INTEGER, name "
        "TEXT, descend TEXT, hidden TEXT, PRIMARY KEY(index_id, position));"
        "CREATE TABLE IF NOT EXISTS mv_constraint_rule(id INTEGER PRIMARY KEY, r_id INTEGER, "
        "delete_rule TEXT, search_condition TEXT, validated TEXT, generated TEXT, not_null "
        "INTEGER, physical TEXT);"
        "CREATE TABLE IF NOT EXISTS mv_identity_col(table_id INTEGER PRIMARY KEY, name TEXT, "
        "generation TEXT, on_null INTEGER, start_with INTEGER, increment INTEGER);"
        "CREATE TABLE IF NOT EXISTS mv_comment(table_id INTEGER, column_name TEXT, comments "
        "TEXT, PRIMARY KEY(table_id, column_name));");
}

void readIndexes(SqliteDb& db, TableInfo& table) {
    auto indexes = db.cached(
        "SELECT i.id, i.name, i.uniq, i.physical, c.name, c.descend FROM mv_index i JOIN "
        "mv_index_column c ON c.index_id = i.id WHERE i.table_id = ?1 ORDER BY i.id, c.position");
    indexes.bind(1, table.id);
    std::int64_t last = -1;
    while (indexes.step()) {
        if (indexes.columnInt(0) != last) {
            last = indexes.columnInt(0);
            table.indexes.push_back(
                {indexes.columnText(1), indexes.columnInt(2) != 0, {}, {}, indexes.columnText(3)});
        }
        auto& index = table.indexes.back();
        index.columns.push_back(table.findColumn(indexes.columnText(4)));
        index.descending.push_back(indexes.columnText(5) == "DESC");
    }
    indexes.reset();
    auto identity =
        db.cached("SELECT name, generation, on_null FROM mv_identity_col WHERE table_id = ?1");
    identity.bind(1, table.id);
    if (identity.step()) {
        table.identityColumn = table.findColumn(identity.columnText(0));
        table.identity = identity.columnText(1) + (identity.columnInt(2) ? " ON NULL" : "");
    }
    identity.reset();
    // Keys added by ALTER TABLE are unique indexes of the same kind.
    auto keys = db.cached(
        "SELECT k.name, k.columns, r.physical FROM mv_constraint k JOIN mv_constraint_rule r ON "
        "r.id = k.id WHERE k.table_id = ?1 AND k.kind IN ('P', 'U') AND r.physical IS NOT NULL");
    keys.bind(1, table.id);
    while (keys.step()) {
        TableInfo::Index index{keys.columnText(0), true, {}, {}, keys.columnText(2)};
        for (const auto& column : splitNames(keys.columnText(1))) {
            index.columns.push_back(table.findColumn(column));
            index.descending.push_back(false);
        }
        table.indexes.push_back(std::move(index));
    }
    keys.reset();
}

void removeSchemaObjectsOfTable(SqliteDb& db, std::int64_t tableId) {
    deleteWhere(db,
                "DELETE FROM mv_index_column WHERE index_id IN (SELECT id FROM mv_index WHERE "
                "table_id = ?1)",
                tableId);
    deleteWhere(db, "DELETE FROM mv_index WHERE table_id = ?1", tableId);
    db.exec("DELETE FROM mv_constraint_rule WHERE id NOT IN (SELECT id FROM mv_constraint)");
    deleteWhere(db, "DELETE FROM mv_identity_col WHERE table_id = ?1", tableId);
    deleteWhere(db, "DELETE FROM mv_comment WHERE table_id = ?1", tableId);
}

void removeSchemaObjectsOf(SqliteDb& db, const std::string& owner) {
    deleteWhere(db,
                "DELETE FROM mv_index_column WHERE index_id IN (SELECT i.id FROM mv_index i JOIN "
                "mv_table t ON t.id = i.table_id WHERE t.owner = ?1 OR i.owner = ?1)",
                owner);
    deleteWhere(db,
                "DELETE FROM mv_index WHERE owner = ?1 OR table_id IN (SELECT id FROM mv_table "
                "WHERE owner = ?1)",
                owner);
    deleteWhere(db,
                "DELETE FROM mv_constraint_rule WHERE id IN (SELECT id FROM mv_constraint WHERE "
                "owner = ?1)",
                owner);
    for (const char* sql :
         {"DELETE FROM mv_identity_col WHERE table_id IN (SELECT id FROM mv_table WHERE owner = "
          "?1)",
          "DELETE FROM mv_comment WHERE table_id IN (SELECT id FROM mv_table WHERE owner = ?1)"})
        deleteWhere(db, sql, owner);
}

bool indexNameUsed(SqliteDb& db, const std::string& owner, const std::string& name) {
    return exists(db, "SELECT 1 FROM mv_index WHERE owner = ?1 AND name = ?2", {owner, name}) ||
           keyNamed(db, owner, name);
}

bool keyNamed(SqliteDb& db, const std::string& owner, const std::string& name) {
    return exists(db,
                  "SELECT 1 FROM mv_constraint WHERE owner = ?1 AND name = ?2 AND kind IN ('P', "
                  "'U')",
                  {owner, name});
}

void addIndex(SqliteDb& db, const IndexEntry& index, int tableColumnCount) {
    auto add = db.cached(
        "INSERT INTO mv_index(owner, name, table_id, uniq, physical, tablespace) VALUES(?1, ?2, "
        "?3, ?4, ?5, ?6)");
    add.bindAll({index.owner, index.name, index.tableId, std::int64_t{index.unique ? 1 : 0},
                 index.physical, index.tablespace});
    add.step();
    auto lastId = db.cached("SELECT last_insert_rowid()");
    lastId.step();
    const std::int64_t id = lastId.columnInt(0);
    lastId.reset();
    for (std::size_t i = 0; i < index.columns.size(); ++i) {
        const SqlValue hidden =
            index.descending[i] ? SqlValue(hiddenColumnName(db, index.tableId, tableColumnCount))
                                : SqlValue();
        auto column = db.cached("INSERT INTO mv_index_column VALUES(?1, ?2, ?3, ?4, ?5)");
        column.bindAll({id, static_cast<std::int64_t>(i + 1), index.columns[i],
                        std::string(index.descending[i] ? "DESC" : "ASC"), hidden});
        column.step();
        column.reset();
    }
}

std::optional<FoundIndex> findIndex(SqliteDb& db, const std::string& owner,
                                    const std::string& name) {
    auto find =
        db.cached("SELECT id, table_id, physical FROM mv_index WHERE owner = ?1 AND name = ?2");
    find.bindAll({owner, name});
    if (!find.step())
        return std::nullopt;
    FoundIndex found{find.columnInt(0), find.columnInt(1), find.columnText(2)};
    find.reset();
    return found;
}

void removeIndex(SqliteDb& db, std::int64_t id) {
    deleteWhere(db, "DELETE FROM mv_index_column WHERE index_id = ?1", id);
    deleteWhere(db, "DELETE FROM mv_index WHERE id = ?1", id);
}

// SQLite names an index on expressions in its message: "UNIQUE constraint
// failed: index 'i0a1b2c3d'".
std::optional<std::string> uniqueIndexNamed(const TableInfo& table, const SqliteError& e) {
    const std::string message = e.what();
    const std::size_t at = message.find("index '");
    if (at == std::string::npos)
        return std::nullopt;
    const std::size_t begin = at + 7;
    const std::string physical = message.substr(begin, message.find('\'', begin) - begin);
    for (const auto& index : table.indexes) {
        if (index.physical == physical)
            return index.name;
    }
    return std::nullopt;
}

}  // namespace malvorn::localserver
