#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "localserver/sqlite_db.h"
#include "localserver/values.h"

namespace malvorn::localserver {

// A table (or dictionary view) as statements see it.
struct TableInfo {
    struct Key {
        std::string name;
        bool primary = false;
        std::vector<int> columns;  // indexes into `columns`
    };
    std::int64_t id = 0;
    std::string owner;
    std::string name;
    std::string tablespace;
    std::string sqlName;  // where SQLite finds the rows
    std::vector<ColumnDef> columns;
    std::vector<Key> keys;
    // Indexes made by CREATE INDEX; a unique one is enforced by a SQLite
    // index of that physical name.
    struct Index {
        std::string name;
        bool unique = false;
        std::vector<int> columns;
        std::vector<bool> descending;
        std::string physical;
    };
    std::vector<Index> indexes;
    // The identity column: ALWAYS, BY DEFAULT or BY DEFAULT ON NULL.
    int identityColumn = -1;
    std::string identity;
    const std::string& identityOf(std::size_t column) const {
        static const std::string none;
        return static_cast<int>(column) == identityColumn ? identity : none;
    }
    bool view = false;
    bool storedView = false;  // made by CREATE VIEW: no rows of its own

    int findColumn(const std::string& column) const;
    // The columns an INSERT names, in order, or all when it names none:
    // ORA-00904 for an unknown name, ORA-00957 for one named twice.
    std::vector<int> insertTargets(const std::vector<std::string>& names) const;
};

struct UserInfo {
    std::int64_t id = 0;
    std::string name;
    std::set<std::string> roles;
    std::string defaultTablespace;
    bool isDba() const { return roles.count("DBA") != 0; }
};

// A key as CREATE TABLE declares it; an empty name is left to the server.
struct KeyDef {
    std::string name;
    bool primary = false;
    std::vector<std::string> columns;
    std::string indexTablespace;
};

// The catalog is the main database of every connection: users, roles,
// tables, columns and keys in mv_* tables, and a generation number that
// every change of a table definition raises so other sessions drop their
// cached definitions.

// The catalog file of a server folder, making the folder (mode 0700) and the
// file (0600) on first use. ORA-12154 for a folder that cannot hold a server.
std::string openCatalogFile(const std::string& folder);
// Creates a file readable by its owner only, unless it exists.
void createPrivateFile(const std::string& path);
void createCatalogTables(SqliteDb& db);
[[noreturn]] void cannotReach();  // ORA-12154

// A transaction on the catalog, holding its write lock from the start.
class CatalogTransaction : public SqliteTransaction {
  public:
    explicit CatalogTransaction(SqliteDb& db);
};

std::int64_t catalogGeneration(SqliteDb& db);
void bumpGeneration(SqliteDb& db);

// A table's entry: its definition (without sqlName), the name of its rows'
// table in the owner's schema file, and the owner's user id.
struct CatalogEntry {
    std::shared_ptr<TableInfo> table;
    std::string physical;
    std::int64_t ownerId = 0;
};
std::optional<CatalogEntry> readTable(SqliteDb& db, const std::string& owner,
                                      const std::string& name);
// Owner and name of the table with that id.
std::optional<std::pair<std::string, std::string>> tableNameById(SqliteDb& db, std::int64_t id);

// Writes a new table's entry inside the caller's transaction; unnamed keys
// get the server's SYS_Cnnnnnnn names. ORA-00955 when the name is taken,
// ORA-02264 when a key name is.
void addTable(SqliteDb& db, const TableInfo& table, const std::string& physical,
              const std::vector<KeyDef>& keys);
// Removes a table's entry; ORA-00942 when another session removed it first.
void removeTable(SqliteDb& db, std::int64_t id);
// Writes (or rewrites) the i-th column's mv_column row (column_id i + 1).
void writeColumn(SqliteDb& db, std::int64_t tableId, std::size_t index, const ColumnDef& column);
// Names kept as one text, separated by a unit separator.
std::string joinNames(const std::vector<std::string>& names);
std::vector<std::string> splitNames(const std::string& joined);
// A constraint name of the server's: SYS_Cnnnnnnn.
std::string nextKeyName(SqliteDb& db);

// A view made by CREATE VIEW: its query as written and the column names its
// definition gave (none: the query's own).
struct StoredView {
    std::string owner;
    std::string name;
    std::string query;
    std::vector<std::string> columns;
};
std::optional<StoredView> readView(SqliteDb& db, const std::string& owner, const std::string& name);
// Writes or replaces a view's entry inside the caller's transaction.
void writeView(SqliteDb& db, const StoredView& view);
// Removes a view's entry; false when there was none.
bool removeView(SqliteDb& db, const std::string& owner, const std::string& name);

// Removes every table and view entry of an owner.
void removeTablesOf(SqliteDb& db, const std::string& owner);
bool ownsTables(SqliteDb& db, const std::string& owner);  // or views, or sequences

}  // namespace malvorn::localserver
