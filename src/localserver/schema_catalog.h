#pragma once
// The catalog's entries for schema objects beyond tables and their keys:
// indexes (mv_index, mv_index_column).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "localserver/catalog.h"
#include "localserver/sqlite_db.h"

namespace malvorn::localserver {

void createSchemaObjectTables(SqliteDb& db);
void readIndexes(SqliteDb& db, TableInfo& table);
// Removes what belongs to a dropped table, or to every table of an owner.
void removeSchemaObjectsOfTable(SqliteDb& db, std::int64_t tableId);
void removeSchemaObjectsOf(SqliteDb& db, const std::string& owner);

// An index as CREATE INDEX writes it.
struct IndexEntry {
    std::string owner;
    std::string name;
    std::int64_t tableId = 0;
    bool unique = false;
    std::vector<std::string> columns;
    std::vector<bool> descending;
    std::string physical;
    std::string tablespace;
};
// Whether an index of the owner has that name; the index of a primary or
// unique key has the key's name.
bool indexNameUsed(SqliteDb& db, const std::string& owner, const std::string& name);
void addIndex(SqliteDb& db, const IndexEntry& index, int tableColumnCount);

struct FoundIndex {
    std::int64_t id = 0;
    std::int64_t tableId = 0;
    std::string physical;
};
std::optional<FoundIndex> findIndex(SqliteDb& db, const std::string& owner,
                                    const std::string& name);
// Whether the name is a primary or unique key's, whose index cannot be dropped.
bool keyNamed(SqliteDb& db, const std::string& owner, const std::string& name);
void removeIndex(SqliteDb& db, std::int64_t id);

// CREATE [UNIQUE] INDEX for the columns (indexes into the table's), a unique
// one with the server's rule for Null keys.
std::string indexSql(const std::string& schema, const std::string& physical,
                     const std::string& table, bool unique, const std::vector<int>& columns,
                     const std::vector<bool>& descending);

// The name of the unique index a SQLite error names, if it is one of the table's.
std::optional<std::string> uniqueIndexNamed(const TableInfo& table, const SqliteError& e);

}  // namespace malvorn::localserver

namespace malvorn::localserver {

// A constraint's entry: mv_constraint, with what keys from CREATE TABLE do
// not have in mv_constraint_rule.
struct ConstraintEntry {
    std::int64_t id = 0;
    std::string owner;
    std::string name;
    std::int64_t tableId = 0;
    char kind = 'P';  // P, U, R, C; a NOT NULL check is C with notNull
    std::vector<std::string> columns;
    std::string indexTablespace;
    std::int64_t parentKey = 0;  // R: the id of the key referenced
    std::string deleteRule;      // R
    std::string condition;       // C
    bool validated = true;
    bool generatedName = false;
    bool notNull = false;
    std::string physical;  // the SQLite index (P, U) or the triggers' prefix (R, C)
};

bool constraintNameUsed(SqliteDb& db, const std::string& owner, const std::string& name);
// Writes the entry, naming it SYS_Cnnnnnnn when it has no name; the id and
// the name as written.
ConstraintEntry addConstraint(SqliteDb& db, ConstraintEntry entry);
std::optional<ConstraintEntry> findConstraint(SqliteDb& db, const std::string& owner,
                                              const std::string& name);
std::optional<ConstraintEntry> constraintById(SqliteDb& db, std::int64_t id);
std::vector<ConstraintEntry> constraintsOfTable(SqliteDb& db, std::int64_t tableId);
// The foreign keys referencing any key of the table.
std::vector<ConstraintEntry> foreignKeysTo(SqliteDb& db, std::int64_t tableId);
void removeConstraint(SqliteDb& db, std::int64_t id);
// The NOT NULL checks of a new table's columns, but for its primary key's.
void addNotNullChecks(SqliteDb& db, const TableInfo& table, const std::vector<KeyDef>& keys);
void setNullable(SqliteDb& db, std::int64_t tableId, const std::string& column, bool nullable);

}  // namespace malvorn::localserver
