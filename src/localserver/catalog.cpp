#include "localserver/catalog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/file_descriptor.h"
#include "localserver/errors.h"
#include "localserver/schema_catalog.h"
#include "localserver/sequence_catalog.h"

namespace malvorn::localserver {
namespace {

namespace fs = std::filesystem;

}  // namespace

// Key columns are kept as one text, the names separated by a unit separator.
std::string joinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : "\x1f") + n;
    return out;
}

std::vector<std::string> splitNames(const std::string& joined) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = joined.find('\x1f', start);
        out.push_back(joined.substr(start, at - start));
        if (at == std::string::npos)
            return out;
        start = at + 1;
    }
}

namespace {

void readColumns(SqliteDb& db, TableInfo& info) {
    auto cols = db.cached(
        "SELECT name, data_type, data_length, data_precision, data_scale, nullable, char_length, "
        "char_used, default_text FROM mv_column WHERE table_id = ?1 ORDER BY column_id");
    cols.bind(1, info.id);
    while (cols.step()) {
        ColumnDef c;
        c.name = cols.columnText(0);
        c.dataType = cols.columnText(1);
        c.dataLength = static_cast<int>(cols.columnInt(2));
        if (!cols.columnIsNull(3))
            c.precision = static_cast<int>(cols.columnInt(3));
        if (!cols.columnIsNull(4))
            c.scale = static_cast<int>(cols.columnInt(4));
        c.nullable = cols.columnText(5) == "Y";
        c.charLength = static_cast<int>(cols.columnInt(6));
        c.charSemantics = cols.columnText(7) == "C";
        c.defaultText = cols.columnText(8);
        info.columns.push_back(std::move(c));
    }
    cols.reset();
}

void readKeys(SqliteDb& db, TableInfo& info) {
    auto keys = db.cached(
        "SELECT name, kind, columns FROM mv_constraint WHERE table_id = ?1 AND kind IN ('P', "
        "'U')");
    keys.bind(1, info.id);
    while (keys.step()) {
        TableInfo::Key key;
        key.name = keys.columnText(0);
        key.primary = keys.columnText(1) == "P";
        for (const auto& column : splitNames(keys.columnText(2)))
            key.columns.push_back(info.findColumn(column));
        info.keys.push_back(std::move(key));
    }
    keys.reset();
}

void addColumns(SqliteDb& db, std::int64_t tableId, const std::vector<ColumnDef>& columns) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        writeColumn(db, tableId, i, columns[i]);
}

}  // namespace

std::string nextKeyName(SqliteDb& db) {
    auto next = db.cached("SELECT ifnull(max(id), 0) + 1 FROM mv_constraint");
    next.step();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "SYS_C%07lld", static_cast<long long>(next.columnInt(0)));
    next.reset();
    return buffer;
}

namespace {

void addKeys(SqliteDb& db, const std::string& owner, std::int64_t tableId,
             const std::vector<KeyDef>& keys) {
    auto addKey = db.cached(
        "INSERT INTO mv_constraint(owner, name, table_id, kind, columns, index_tablespace) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    for (const auto& k : keys) {
        const std::string name = k.name.empty() ? nextKeyName(db) : k.name;
        auto used = db.cached("SELECT 1 FROM mv_constraint WHERE owner = ?1 AND name = ?2");
        used.bindAll({owner, name});
        if (used.step())
            oraThrow(2264, "name already used by an existing constraint");
        used.reset();
        addKey.reset();
        addKey.bindAll({owner, name, tableId, std::string(k.primary ? "P" : "U"),
                        joinNames(k.columns), k.indexTablespace});
        addKey.step();
    }
}

void deleteWhere(SqliteDb& db, const char* sql, const SqlValue& value) {
    auto stmt = db.cached(sql);
    stmt.bind(1, value);
    stmt.step();
}

}  // namespace

int TableInfo::findColumn(const std::string& column) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == column)
            return static_cast<int>(i);
    }
    return -1;
}

std::vector<int> TableInfo::insertTargets(const std::vector<std::string>& names) const {
    std::vector<int> targets;
    for (const auto& column : names) {
        const int index = findColumn(column);
        if (index < 0)
            invalidIdentifier(column);
        if (std::find(targets.begin(), targets.end(), index) != targets.end())
            oraThrow(957, "duplicate column name");
        targets.push_back(index);
    }
    if (names.empty()) {
        for (std::size_t i = 0; i < columns.size(); ++i)
            targets.push_back(static_cast<int>(i));
    }
    return targets;
}

void cannotReach() {
    oraThrow(12154, "TNS:could not resolve the connect identifier specified");
}

// SQLite's -wal and -shm files copy the mode, so a private file keeps the
// hashes and the rows private.
void createPrivateFile(const std::string& path) {
    const base::FileDescriptor created(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
}

std::string openCatalogFile(const std::string& folder) {
    std::error_code ec;
    if (folder.empty())
        cannotReach();
    if (!fs::exists(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec)
            cannotReach();
    } else if (!fs::is_directory(folder, ec)) {
        cannotReach();
    }
    const std::string catalog = folder + "/catalog.db";
    if (!fs::exists(catalog, ec)) {
        // A new server: the folder is its owner's alone.
        ::chmod(folder.c_str(), 0700);
        createPrivateFile(catalog);
    }
    return catalog;
}

void createCatalogTables(SqliteDb& db) {
    db.exec(
        "CREATE TABLE IF NOT EXISTS mv_user(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT "
        "NULL UNIQUE, hash TEXT NOT NULL, default_ts TEXT, temp_ts TEXT, created TEXT);"
        "CREATE TABLE IF NOT EXISTS mv_role(user_id INTEGER, role TEXT, PRIMARY KEY(user_id, "
        "role));"
        "CREATE TABLE IF NOT EXISTS mv_table(id INTEGER PRIMARY KEY AUTOINCREMENT, owner TEXT, "
        "name TEXT, tablespace TEXT, physical TEXT, UNIQUE(owner, name));"
        "CREATE TABLE IF NOT EXISTS mv_column(table_id INTEGER, column_id INTEGER, name TEXT, "
        "data_type TEXT, data_length INTEGER, data_precision INTEGER, data_scale INTEGER, "
        "nullable TEXT, char_length INTEGER, char_used TEXT, default_text TEXT, "
        "PRIMARY KEY(table_id, column_id));"
        "CREATE TABLE IF NOT EXISTS mv_constraint(id INTEGER PRIMARY KEY AUTOINCREMENT, owner "
        "TEXT, name TEXT, table_id INTEGER, kind TEXT, columns TEXT, index_tablespace TEXT, "
        "UNIQUE(owner, name));"
        "CREATE TABLE IF NOT EXISTS mv_view(owner TEXT, name TEXT, query TEXT, columns TEXT, "
        "PRIMARY KEY(owner, name));"
        "CREATE TABLE IF NOT EXISTS mv_state(k TEXT PRIMARY KEY, v INTEGER);"
        "INSERT OR IGNORE INTO mv_state VALUES('generation', 0);");
    createSchemaObjectTables(db);
    createSequenceTables(db);
}

CatalogTransaction::CatalogTransaction(SqliteDb& db)
    : SqliteTransaction(db, "DELETE FROM main.mv_state WHERE 0") {}

std::int64_t catalogGeneration(SqliteDb& db) {
    auto stmt = db.cached("SELECT v FROM mv_state WHERE k = 'generation'");
    stmt.step();
    const std::int64_t generation = stmt.columnInt(0);
    stmt.reset();
    return generation;
}

void bumpGeneration(SqliteDb& db) {
    db.exec("UPDATE mv_state SET v = v + 1 WHERE k = 'generation'");
}

std::optional<CatalogEntry> readTable(SqliteDb& db, const std::string& owner,
                                      const std::string& name) {
    auto stmt = db.cached(
        "SELECT t.id, t.tablespace, t.physical, u.id FROM mv_table t JOIN mv_user u ON u.name = "
        "t.owner WHERE t.owner = ?1 AND t.name = ?2");
    stmt.bindAll({owner, name});
    if (!stmt.step())
        return std::nullopt;
    CatalogEntry entry;
    entry.table = std::make_shared<TableInfo>();
    TableInfo& info = *entry.table;
    info.id = stmt.columnInt(0);
    info.owner = owner;
    info.name = name;
    info.tablespace = stmt.columnText(1);
    entry.physical = stmt.columnText(2);
    entry.ownerId = stmt.columnInt(3);
    stmt.reset();
    readColumns(db, info);
    readKeys(db, info);
    readIndexes(db, info);
    return entry;
}

std::optional<std::pair<std::string, std::string>> tableNameById(SqliteDb& db, std::int64_t id) {
    auto stmt = db.cached("SELECT owner, name FROM mv_table WHERE id = ?1");
    stmt.bind(1, id);
    if (!stmt.step())
        return std::nullopt;
    auto names = std::make_pair(stmt.columnText(0), stmt.columnText(1));
    stmt.reset();
    return names;
}

void addTable(SqliteDb& db, const TableInfo& table, const std::string& physical,
              const std::vector<KeyDef>& keys) {
    if (objectNameTaken(db, table.owner, table.name))
        oraThrow(955, "name is already used by an existing object");
    auto add =
        db.cached("INSERT INTO mv_table(owner, name, tablespace, physical) VALUES(?1, ?2, ?3, ?4)");
    add.bindAll({table.owner, table.name, table.tablespace, physical});
    add.step();
    auto lastId = db.cached("SELECT last_insert_rowid()");
    lastId.step();
    const std::int64_t tableId = lastId.columnInt(0);
    lastId.reset();
    addColumns(db, tableId, table.columns);
    addKeys(db, table.owner, tableId, keys);
}

void removeTable(SqliteDb& db, std::int64_t id) {
    deleteWhere(db, "DELETE FROM mv_table WHERE id = ?1", id);
    if (db.changes() == 0)
        tableDoesNotExist();
    deleteWhere(db, "DELETE FROM mv_column WHERE table_id = ?1", id);
    deleteWhere(db, "DELETE FROM mv_constraint WHERE table_id = ?1", id);
    removeSchemaObjectsOfTable(db, id);
}

void removeTablesOf(SqliteDb& db, const std::string& owner) {
    removeSchemaObjectsOf(db, owner);
    removeSequencesOf(db, owner);
    for (const char* sql :
         {"DELETE FROM mv_column WHERE table_id IN (SELECT id FROM mv_table WHERE owner = ?1)",
          "DELETE FROM mv_constraint WHERE owner = ?1", "DELETE FROM mv_table WHERE owner = ?1",
          "DELETE FROM mv_view WHERE owner = ?1"})
        deleteWhere(db, sql, owner);
}

bool ownsTables(SqliteDb& db, const std::string& owner) {
    auto owns = db.cached(
        "SELECT (SELECT count(*) FROM mv_table WHERE owner = ?1) + (SELECT count(*) FROM mv_view "
        "WHERE owner = ?1) + (SELECT count(*) FROM mv_sequence WHERE owner = ?1)");
    owns.bind(1, owner);
    owns.step();
    const bool any = owns.columnInt(0) > 0;
    owns.reset();
    return any;
}

void writeColumn(SqliteDb& db, std::int64_t tableId, std::size_t index, const ColumnDef& c) {
    auto write = db.cached(
        "INSERT OR REPLACE INTO mv_column VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    const bool character = c.charLength > 0;
    write.bindAll({tableId, static_cast<std::int64_t>(index + 1), c.name, c.dataType,
                   static_cast<std::int64_t>(c.dataLength),
                   c.precision ? SqlValue(static_cast<std::int64_t>(*c.precision)) : SqlValue(),
                   c.scale ? SqlValue(static_cast<std::int64_t>(*c.scale)) : SqlValue(),
                   std::string(c.nullable ? "Y" : "N"), static_cast<std::int64_t>(c.charLength),
                   character ? SqlValue(std::string(c.charSemantics ? "C" : "B")) : SqlValue(),
                   c.defaultText.empty() ? SqlValue() : SqlValue(c.defaultText)});
    write.step();
}

}  // namespace malvorn::localserver
