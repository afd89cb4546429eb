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

// The name of the unique index a SQLite error names, if it is one of the table's.
std::optional<std::string> uniqueIndexNamed(const TableInfo& table, const SqliteError& e);

}  // namespace malvorn::localserver
