// The catalog's entries of constraints added by ALTER TABLE (and the NOT NULL
// checks): mv_constraint as for CREATE TABLE's keys, the rest in
// mv_constraint_rule.
#include <algorithm>

#include "localserver/errors.h"
#include "localserver/schema_catalog.h"

namespace malvorn::localserver {
namespace {

constexpr const char* kSelect =
    "SELECT k.id, k.owner, k.name, k.table_id, k.kind, k.columns, k.index_tablespace, "
    "ifnull(r.r_id, 0), ifnull(r.delete_rule, ''), ifnull(r.search_condition, ''), "
    "ifnull(r.validated, 'VALIDATED'), ifnull(r.generated, ''), ifnull(r.not_null, 0), "
    "ifnull(r.physical, '') FROM mv_constraint k LEFT JOIN mv_constraint_rule r ON r.id = k.id ";

ConstraintEntry readEntry(SqliteStatement& row) {
    ConstraintEntry e;
    e.id = row.columnInt(0);
    e.owner = row.columnText(1);
    e.name = row.columnText(2);
    e.tableId = row.columnInt(3);
    e.kind = row.columnText(4).empty() ? 'P' : row.columnText(4)[0];
    e.columns = splitNames(row.columnText(5));
    e.indexTablespace = row.columnText(6);
    e.parentKey = row.columnInt(7);
    e.deleteRule = row.columnText(8);
    e.condition = row.columnText(9);
    e.validated = row.columnText(10) == "VALIDATED";
    e.generatedName = row.columnText(11) == "GENERATED NAME";
    e.notNull = row.columnInt(12) != 0;
    e.physical = row.columnText(13);
    return e;
}

std::vector<ConstraintEntry> readAll(SqliteDb& db, const std::string& where,
                                     const std::vector<SqlValue>& values) {
    auto stmt = db.cached(kSelect + where);
    stmt.bindAll(values);
    std::vector<ConstraintEntry> out;
    while (stmt.step())
        out.push_back(readEntry(stmt));
    stmt.reset();
    return out;
}

void deleteWhere(SqliteDb& db, const char* sql, const SqlValue& value) {
    auto stmt = db.cached(sql);
    stmt.bind(1, value);
    stmt.step();
}

}  // namespace

bool constraintNameUsed(SqliteDb& db, const std::string& owner, const std::string& name) {
    return findConstraint(db, owner, name).has_value();
}

ConstraintEntry addConstraint(SqliteDb& db, ConstraintEntry entry) {
    entry.generatedName = entry.name.empty();
    if (entry.generatedName)
        entry.name = nextKeyName(db);
    if (constraintNameUsed(db, entry.owner, entry.name))
        oraThrow(2264, "name already used by an existing constraint");
    auto add = db.cached(
        "INSERT INTO mv_constraint(owner, name, table_id, kind, columns, index_tablespace) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    add.bindAll({entry.owner, entry.name, entry.tableId, std::string(1, entry.kind),
                 joinNames(entry.columns), entry.indexTablespace});
    add.step();
    auto lastId = db.cached("SELECT last_insert_rowid()");
    lastId.step();
    entry.id = lastId.columnInt(0);
    lastId.reset();
    auto rule = db.cached("INSERT INTO mv_constraint_rule VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    rule.bindAll({entry.id, entry.parentKey ? SqlValue(entry.parentKey) : SqlValue(),
                  entry.kind == 'R' ? SqlValue(entry.deleteRule) : SqlValue(),
                  entry.kind == 'C' ? SqlValue(entry.condition) : SqlValue(),
                  std::string(entry.validated ? "VALIDATED" : "NOT VALIDATED"),
                  std::string(entry.generatedName ? "GENERATED NAME" : "USER NAME"),
                  std::int64_t{entry.notNull ? 1 : 0},
                  entry.physical.empty() ? SqlValue() : SqlValue(entry.physical)});
    rule.step();
    return entry;
}

std::optional<ConstraintEntry> findConstraint(SqliteDb& db, const std::string& owner,
                                              const std::string& name) {
    auto found = readAll(db, "WHERE k.owner = ?1 AND k.name = ?2", {owner, name});
    if (found.empty())
        return std::nullopt;
    return found.front();
}

std::optional<ConstraintEntry> constraintById(SqliteDb& db, std::int64_t id) {
    auto found = readAll(db, "WHERE k.id = ?1", {id});
    if (found.empty())
        return std::nullopt;
    return found.front();
}

std::vector<ConstraintEntry> constraintsOfTable(SqliteDb& db, std::int64_t tableId) {
    return readAll(db, "WHERE k.table_id = ?1 ORDER BY k.id", {tableId});
}

std::vector<ConstraintEntry> foreignKeysTo(SqliteDb& db, std::int64_t tableId) {
    return readAll(db,
                   "WHERE k.kind = 'R' AND r.r_id IN (SELECT id FROM mv_constraint WHERE "
                   "table_id = ?1) ORDER BY k.id",
                   {tableId});
}

void removeConstraint(SqliteDb& db, std::int64_t id) {
    deleteWhere(db, "DELETE FROM mv_constraint_rule WHERE id = ?1", id);
    deleteWhere(db, "DELETE FROM mv_constraint WHERE id = ?1", id);
}

void addNotNullChecks(SqliteDb& db, const TableInfo& table, const std::vector<KeyDef>& keys) {
    auto id = db.cached("SELECT id FROM mv_table WHERE owner = ?1 AND name = ?2");
    id.bindAll({table.owner, table.name});
    id.step();
    const std::int64_t tableId = id.columnInt(0);
    id.reset();
    for (const auto& column : table.columns) {
        bool inPrimaryKey = false;
        for (const auto& key : keys) {
            inPrimaryKey =
                inPrimaryKey || (key.primary && std::find(key.columns.begin(), key.columns.end(),
                                                          column.name) != key.columns.end());
        }
        if (column.nullable || inPrimaryKey)
            continue;
        ConstraintEntry check;
        check.owner = table.owner;
        check.tableId = tableId;
        check.kind = 'C';
        check.columns = {column.name};
        check.notNull = true;
        check.condition = "\"" + column.name + "\" IS NOT NULL";
        addConstraint(db, check);
    }
}

void setNullable(SqliteDb& db, std::int64_t tableId, const std::string& column, bool nullable) {
    auto set = db.cached("UPDATE mv_column SET nullable = ?3 WHERE table_id = ?1 AND name = ?2");
    set.bindAll({tableId, column, std::string(nullable ? "Y" : "N")});
    set.step();
}

}  // namespace malvorn::localserver
