// ALTER TABLE ... ADD / DROP CONSTRAINT and MODIFY column [NOT] NULL, and what
// DROP TABLE, TRUNCATE and a retried UPDATE owe to foreign keys.
//
// SQLite cannot add a constraint to a table that exists. A primary or unique
// key added later is a unique index (indexes.cpp); a foreign key and a CHECK
// are triggers on the tables (constraint_sql.cpp) that raise the server's
// error; NOT NULL is the column's flag, which every write checks. Each is
// validated and made in one transaction with its catalog entry, so a refusal
// leaves nothing behind.
#include <algorithm>

#include "localserver/errors.h"
#include "localserver/local_session.h"

namespace malvorn::localserver {

void LocalSession::defineSchemaFunctions() {
    db_.defineFunction("mv_rewriting", 0, [this](const std::vector<SqlValue>&) -> SqlValue {
        return std::int64_t{rewriting_ ? 1 : 0};
    });
    db_.defineFunction("mv_identity_next", 2, [this](const std::vector<SqlValue>& args) {
        return nextIdentity(std::get<std::int64_t>(args.at(0)));
    });
    // A cascade may delete rows of its own table (a table referencing itself).
    db_.exec("PRAGMA recursive_triggers=ON");
}

void LocalSession::alterTableConstraints(const ast::AlterTableConstraints& at) {
    const auto table = resolveTable(at.table);
    if (table->view)
        insufficientPrivileges();
    if (table->owner != me_.name)
        requireDba();
    if (!at.dropName.empty()) {
        dropConstraint(*table, at.dropName, at.cascade);
        return;
    }
    if (!at.nullColumn.empty())
        makeNullable(*table, at.nullColumn);
    if (!at.identityColumn.empty())
        modifyIdentity(*table, at.identityColumn, at.identity);
    for (const auto& def : at.add) {
        // Each constraint sees the ones before it.
        addConstraintTo(*resolveTable({table->owner, table->name}), def);
    }
}

void LocalSession::addConstraintsOfNewTable(const ast::CreateTable& ct) {
    try {
        for (const auto& def : ct.references)
            addConstraintTo(*resolveTable(ct.table), def);
    } catch (...) {
        ast::DropTable drop{ct.table, true};
        dropTable(drop);
        throw;
    }
}

void LocalSession::addConstraintTo(const TableInfo& table, const ast::ConstraintDef& def) {
    ConstraintEntry entry;
    entry.owner = table.owner;
    entry.name = def.name;
    entry.tableId = table.id;
    entry.kind = def.kind == 'N' ? 'C' : def.kind;
    entry.validated = def.validate;
    std::vector<int> columns;
    for (const auto& name : def.columns) {
        const int index = table.findColumn(name);
        if (index < 0)
            invalidIdentifier(name);
        if (std::find(columns.begin(), columns.end(), index) != columns.end())
            oraThrow(957, "duplicate column name");
        columns.push_back(index);
        entry.columns.push_back(name);
    }
    if (!entry.name.empty() && constraintNameUsed(db_, entry.owner, entry.name))
        oraThrow(2264, "name already used by an existing constraint");
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    try {
        if (def.kind == 'P' || def.kind == 'U') {
            entry.indexTablespace =
                def.indexTablespace.empty() ? table.tablespace : def.indexTablespace;
            addKeyConstraint(table, entry, columns);
        } else if (def.kind == 'R') {
            addForeignKey(table, entry, def, columns);
        } else if (def.kind == 'C') {
            addCheck(table, entry, def);
        } else {
            const ColumnDef& column = table.columns[static_cast<std::size_t>(columns[0])];
            if (!column.nullable)
                oraThrow(1442, "column to be modified to NOT NULL is already NOT NULL");
            entry.notNull = true;
            entry.condition = "\"" + column.name + "\" IS NOT NULL";
            entry = addConstraint(db_, entry);
            auto nulls = db_.prepare("SELECT 1 FROM " + table.sqlName + " WHERE c" +
                                     std::to_string(columns[0]) + " IS NULL LIMIT 1");
            if (def.validate && nulls->step())
                oraThrow(2296, "cannot enable (" + table.owner + "." +
                                   (entry.generatedName ? "" : entry.name) +
                                   ") - null values found");
            setNullable(db_, table.id, column.name, false);
        }
        bumpGeneration(db_);
        tx.commit();
    } catch (const SqliteError& e) {
        db_.clearCache();
        throwServerError(e, nullptr);
    } catch (...) {
        db_.clearCache();
        throw;
    }
}

void LocalSession::removeConstraintObjects(const ConstraintEntry& entry) {
    const auto table = tableById(entry.tableId);
    if (!table || entry.physical.empty())
        return;
    const std::string schema = table->sqlName.substr(0, table->sqlName.find('.'));
    if (entry.kind == 'P' || entry.kind == 'U') {
        db_.exec("DROP INDEX IF EXISTS " + schema + "." + entry.physical);
        return;
    }
    for (const auto& trigger : triggerNames(entry.physical))
        db_.exec("DROP TRIGGER IF EXISTS " + schema + "." + trigger);
}

void LocalSession::dropConstraint(const TableInfo& table, const std::string& name, bool cascade) {
    const auto entry = findConstraint(db_, table.owner, name);
    if (!entry || entry->tableId != table.id)
        oraThrow(2443, "Cannot drop constraint  - nonexistent constraint");
    // A key of CREATE TABLE is part of the SQLite table, which cannot lose it.
    if ((entry->kind == 'P' || entry->kind == 'U') && entry->physical.empty())
        oraThrow(3001, "unimplemented feature");
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    if (entry->kind == 'P' || entry->kind == 'U') {
        for (const auto& fk : foreignKeysTo(db_, table.id)) {
            if (fk.parentKey != entry->id)
                continue;
            if (!cascade)
                oraThrow(2273, "this unique/primary key is referenced by some foreign keys");
            removeConstraintObjects(fk);
            removeConstraint(db_, fk.id);
        }
    }
    removeConstraintObjects(*entry);
    removeConstraint(db_, entry->id);
    // A column loses NOT NULL with its check, or with the primary key that
    // made it so when no check of its own remains.
    for (const auto& column : entry->columns) {
        if (entry->notNull) {
            setNullable(db_, table.id, column, true);
        } else if (entry->kind == 'P') {
            bool ownCheck = false;
            for (const auto& other : constraintsOfTable(db_, table.id))
                ownCheck = ownCheck || (other.notNull && other.columns.front() == column);
            if (!ownCheck)
                setNullable(db_, table.id, column, true);
        }
    }
    bumpGeneration(db_);
    tx.commit();
    db_.clearCache();
}

void LocalSession::makeNullable(const TableInfo& table, const std::string& column) {
    const int index = table.findColumn(column);
    if (index < 0)
        invalidIdentifier(column);
    bool inPrimaryKey = false;
    for (const auto& key : table.keys) {
        inPrimaryKey = inPrimaryKey ||
                       (key.primary && std::find(key.columns.begin(), key.columns.end(), index) !=
                                           key.columns.end());
    }
    if (table.columns[static_cast<std::size_t>(index)].nullable || inPrimaryKey)
        oraThrow(1451, "column to be modified to NULL cannot be modified to NULL");
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    for (const auto& entry : constraintsOfTable(db_, table.id)) {
        if (entry.notNull && entry.columns.front() == column)
            removeConstraint(db_, entry.id);
    }
    setNullable(db_, table.id, column, true);
    bumpGeneration(db_);
    tx.commit();
}

void LocalSession::dropConstraintsOf(const TableInfo& table, bool cascade) {
    for (const auto& fk : foreignKeysTo(db_, table.id)) {
        if (fk.tableId == table.id)
            continue;
        if (!cascade)
            oraThrow(2449, "unique/primary keys in table referenced by foreign keys");
        removeConstraintObjects(fk);
        removeConstraint(db_, fk.id);
    }
    // Its own foreign keys have triggers on their parents.
    for (const auto& own : constraintsOfTable(db_, table.id)) {
        if (own.kind == 'R')
            removeConstraintObjects(own);
    }
}

void LocalSession::checkTruncatable(const TableInfo& table) {
    for (const auto& fk : foreignKeysTo(db_, table.id)) {
        if (fk.tableId != table.id)
            oraThrow(2266, "unique/primary keys in table referenced by enabled foreign keys");
    }
}

void LocalSession::checkChildrenAfterRewrite(const TableInfo& table) {
    for (const auto& fk : foreignKeysTo(db_, table.id)) {
        const auto sql = foreignKeySql(fk);
        if (!sql)
            continue;
        auto orphans = db_.prepare(orphanQuery(*sql));
        if (orphans->step())
            oraThrow(2292, "integrity constraint (" + sql->qualifiedName +
                               ") violated - child record found");
    }
}

}  // namespace malvorn::localserver
