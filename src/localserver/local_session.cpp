#include "localserver/local_session.h"

#include "base/sql_text.h"
#include "localserver/dictionary.h"
#include "localserver/errors.h"
#include "localserver/sql_functions.h"

namespace malvorn::localserver {

LocalSession::LocalSession(const std::string& folder, const std::string& user,
                           const std::string& password)
    : folder_(folder), db_(openCatalogFile(folder)), signal_(folder + "/catalog-changes") {
    db_.setBusyWait(kLockWait);
    createCatalogTables(db_);
    // The server's LIKE tells upper from lower case.
    db_.exec("PRAGMA case_sensitive_like=ON");
    // A checkpoint once the log holds 8,000 pages (32 MiB), not SQLite's
    // 1,000: rows copied out of key order touch most of the key index's pages
    // in each commit, and every checkpoint wrote them all back again.
    db_.exec("PRAGMA wal_autocheckpoint=8000");
    login(user, password);
    defineServerFunctions(db_, [this](std::int64_t id) { return tableById(id); });
    defineSchemaFunctions();
    defineSequenceFunctions();
    createDictionaryViews(db_, me_);
    attachSchema(me_.id);
}

std::string LocalSession::schemaPath(std::int64_t userId) const {
    return folder_ + "/schema-" + std::to_string(userId) + ".db";
}

std::string LocalSession::attachSchema(std::int64_t userId) {
    auto it = attached_.find(userId);
    if (it != attached_.end())
        return it->second;
    const std::string path = schemaPath(userId);
    createPrivateFile(path);
    const std::string alias = "s" + std::to_string(userId);
    db_.exec("ATTACH DATABASE " + base::quoteSqlText(path) + " AS " + alias);
    db_.exec("PRAGMA " + alias + ".journal_mode=WAL");
    db_.exec("PRAGMA " + alias + ".synchronous=NORMAL");
    attached_[userId] = alias;
    return alias;
}

void LocalSession::refreshCacheIfStale() {
    // The catalog is read again only when a change may have ended since.
    const auto settled = signal_.settled();
    if (settled && settled == signalSeen_)
        return;
    const std::int64_t generation = catalogGeneration(db_);
    // A transaction reads the catalog as it was when it began: look again
    // once it has ended.
    if (!db_.inTransaction())
        signalSeen_ = settled;
    if (generation != generation_) {
        tables_.clear();
        tablesById_.clear();
        plans_.clear();
        generation_ = generation;
    }
}

std::string LocalSession::ownerFor(const ast::TableRef& ref) {
    return ref.schema.empty() ? me_.name : ref.schema;
}

std::shared_ptr<const TableInfo> LocalSession::tableById(std::int64_t id) {
    auto it = tablesById_.find(id);
    if (it != tablesById_.end())
        return it->second;
    const auto names = tableNameById(db_, id);
    if (!names || (names->first != me_.name && !me_.isDba()))
        return nullptr;
    return resolveTable({names->first, names->second});
}

std::shared_ptr<const TableInfo> LocalSession::resolveTable(const ast::TableRef& ref) {
    const std::string owner = ownerFor(ref);
    auto cached = tables_.find({owner, ref.name});
    if (cached != tables_.end())
        return cached->second;
    const bool dictionary = ref.schema == "SYS" || ref.schema == "PUBLIC";
    if (owner != me_.name && !me_.isDba() && !dictionary) {
        // Without DBA another schema's tables are out of sight.
        tableDoesNotExist();
    }
    auto entry = readTable(db_, owner, ref.name);
    if (!entry && readView(db_, owner, ref.name)) {
        // Only a target that is refused: queries read views as inline views.
        auto view = std::make_shared<TableInfo>();
        view->owner = owner;
        view->name = ref.name;
        view->view = view->storedView = true;
        tables_[{owner, ref.name}] = view;
        return view;
    }
    if (!entry) {
        auto view =
            ref.schema.empty() || dictionary ? dictionaryView(ref.name, me_.isDba()) : nullptr;
        if (!view)
            tableDoesNotExist();
        tables_[{owner, ref.name}] = view;
        return view;
    }
    entry->table->sqlName = attachSchema(entry->ownerId) + "." + entry->physical;
    tables_[{owner, ref.name}] = entry->table;
    tablesById_[entry->table->id] = entry->table;
    return entry->table;
}

}  // namespace malvorn::localserver
