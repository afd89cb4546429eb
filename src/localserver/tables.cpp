// CREATE TABLE, DROP TABLE and TRUNCATE TABLE.
#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/oracle_types.h"
#include "localserver/parser.h"
#include "localserver/password.h"
#include "localserver/translator.h"

namespace malvorn::localserver {

// The user a new table is created for, after the privilege checks: another
// schema takes DBA, one's own RESOURCE (or DBA).
UserInfo LocalSession::tableOwner(const std::string& owner) {
    if (owner == me_.name) {
        if (!me_.isDba() && !me_.roles.count("RESOURCE"))
            insufficientPrivileges();
        return me_;
    }
    requireDba();
    auto user = findUser(owner);
    if (!user)
        oraThrow(1918, "user '" + owner + "' does not exist");
    return *user;
}

void LocalSession::createTable(const ast::CreateTable& ct) {
    const UserInfo owner = tableOwner(ownerFor(ct.table));
    TableInfo table;
    table.owner = owner.name;
    table.name = ct.table.name;
    table.tablespace = ct.tablespace.empty() ? owner.defaultTablespace : ct.tablespace;
    checkPermanentTablespace(table.tablespace);
    for (const auto& clause : ct.columns) {
        ColumnDef column = declareColumn(clause, table.columns);
        if (!column.defaultText.empty()) {
            // The default must be an expression of constants.
            Translator check(*this);
            check.expr(*parseExpression(column.defaultText));
        }
        // An identity column is NOT NULL.
        if (clause.identity)
            column.nullable = false;
        table.columns.push_back(std::move(column));
    }
    if (table.columns.empty())
        oraThrow(904, "invalid identifier");
    const std::vector<KeyDef> keys = declareKeys(ct.constraints, table.columns, table.tablespace);

    // The rows live in the owner's schema file under a name of their own;
    // the catalog entry that makes the table visible is written after it, so
    // a crash in between leaves only an unused table behind.
    const std::string physical = "t" + randomHex(8);
    const std::string sqlName = attachSchema(owner.id) + "." + physical;
    db_.exec(rowTableSql(sqlName, table.columns, keys));
    try {
        const ChangeSignal::Change change(signal_);
        CatalogTransaction tx(db_);
        addTable(db_, table, physical, keys);
        addNotNullChecks(db_, table, keys);
        createIdentity(ct, table, sqlName);
        bumpGeneration(db_);
        tx.commit();
    } catch (...) {
        db_.clearCache();
        try {
            db_.exec("DROP TABLE IF EXISTS " + sqlName);
        } catch (const SqliteError&) {
            // Left behind unused; it is invisible without its catalog entry.
        }
        throw;
    }
    addConstraintsOfNewTable(ct);
}

void LocalSession::dropTable(const ast::DropTable& dt) {
    const auto table = resolveTable(dt.table);
    if (table->storedView)
        tableDoesNotExist();
    if (table->view)
        insufficientPrivileges();
    {
        const ChangeSignal::Change change(signal_);
        CatalogTransaction tx(db_);
        dropConstraintsOf(*table, dt.cascadeConstraints);
        removeTable(db_, table->id);
        bumpGeneration(db_);
        tx.commit();
    }
    db_.clearCache();
    db_.exec("DROP TABLE IF EXISTS " + table->sqlName);
}

void LocalSession::truncateTable(const ast::TruncateTable& tt) {
    const auto table = resolveTable(tt.table);
    checkWritable(*table);
    checkTruncatable(*table);
    rewriting_ = true;
    try {
        runWrite("DELETE FROM " + table->sqlName, {}, table);
    } catch (...) {
        rewriting_ = false;
        throw;
    }
    rewriting_ = false;
}

}  // namespace malvorn::localserver
