// ALTER TABLE ... ADD and MODIFY columns.
//
// A table's i-th column is the SQLite column c<i> of its rows' table. A new
// column is added at the end; a column whose SQLite affinity must change
// (NUMBER to text, which Oracle allows only while it holds no value) is made
// again under its own name.
#include <algorithm>

#include "localserver/alter_columns.h"
#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/oracle_types.h"
#include "localserver/parser.h"
#include "localserver/sql_functions.h"

namespace malvorn::localserver {

std::string columnAffinity(const ColumnDef& column) {
    return columnKind(column) == ColumnKind::kNumber ? " NUMERIC" : " TEXT";
}

void LocalSession::forgetTable(const TableInfo& table) {
    tables_.erase({table.owner, table.name});
    tablesById_.erase(table.id);
    plans_.clear();
}

bool LocalSession::anyRow(const TableInfo& table, const std::string& where) {
    auto row = db_.prepare("SELECT 1 FROM " + table.sqlName + where + " LIMIT 1");
    return row->step();
}

void LocalSession::checkDefault(const std::string& text) {
    if (text.empty())
        return;
    Translator check(*this);
    check.expr(*parseExpression(text));
}

void LocalSession::alterTableColumns(const ast::AlterTableColumns& at) {
    using Action = ast::AlterTableColumns::Action;
    const auto table = resolveTable(at.table);
    if (table->storedView && at.action == Action::kRenameTable)
        oraThrow(942, "table or view does not exist");
    if (table->view)
        insufficientPrivileges();
    if (table->owner != me_.name)
        requireDba();
    switch (at.action) {
        case Action::kAdd:
            addColumns(*table, at);
            break;
        case Action::kModify:
            for (std::size_t i = 0; i < at.columns.size(); ++i)
                modifyColumn(at, i);
            break;
        case Action::kDrop:
            dropColumns(*table, at.names, at.cascadeConstraints);
            break;
        case Action::kRenameColumn:
            renameColumn(*table, at.names[0], at.names[1]);
            break;
        case Action::kRenameTable:
            renameObject(table->owner, table->name, at.names.back());
            break;
    }
}

void LocalSession::addColumns(const TableInfo& table, const ast::AlterTableColumns& at) {
    std::vector<ColumnDef> all = table.columns;
    std::vector<std::size_t> added;
    for (const auto& clause : at.columns) {
        if (std::any_of(all.begin(), all.end(),
                        [&](const auto& c) { return c.name == clause.name; }))
            oraThrow(1430, "column being added already exists in table");
        if (clause.identity)
            oraThrow(3001, "unimplemented feature");
        ColumnDef column = declareColumn(clause, all);
        checkDefault(column.defaultText);
        added.push_back(all.size());
        all.push_back(std::move(column));
    }
    if (all.size() > 1000)
        oraThrow(1792, "maximum number of columns in a table or view is 1000");
    const bool rows = anyRow(table, "");
    for (const std::size_t i : added) {
        if (!all[i].nullable && all[i].defaultText.empty() && rows)
            oraThrow(1758, "table must be empty to add mandatory (NOT NULL) column");
    }
    {
        const ChangeSignal::Change change(signal_);
        CatalogTransaction tx(db_);
        TableInfo newOnly;
        newOnly.owner = table.owner;
        newOnly.name = table.name;
        for (const std::size_t i : added) {
            db_.exec("ALTER TABLE " + table.sqlName + " ADD COLUMN c" + std::to_string(i) +
                     columnAffinity(all[i]));
            writeColumn(db_, table.id, i, all[i]);
            newOnly.columns.push_back(all[i]);
        }
        addNotNullChecks(db_, newOnly, {});
        bumpGeneration(db_);
        forgetTable(table);
        // The rows already there take the new column's default.
        const auto current = resolveTable({table.owner, table.name});
        for (const std::size_t i : added) {
            if (all[i].defaultText.empty() || !rows)
                continue;
            Translator tr(*this);
            const std::string value = tr.expr(*parseExpression(all[i].defaultText));
            runWrite("UPDATE " + table.sqlName + " SET c" + std::to_string(i) + " = " +
                         sqlCall(ServerFunction::kPut,
                                 {value, std::to_string(table.id), std::to_string(i), "1"}),
                     tr.params(), current);
        }
        tx.commit();
    }
    db_.clearCache();
    // The new columns' own keys and constraints, as ALTER TABLE ADD CONSTRAINT makes them.
    for (const auto& key : at.keys) {
        ast::ConstraintDef def;
        def.name = key.name;
        def.kind = key.primaryKey ? 'P' : 'U';
        def.columns = key.columns;
        def.indexTablespace = key.indexTablespace;
        addConstraintTo(*resolveTable({table.owner, table.name}), def);
    }
    for (const auto& def : at.references)
        addConstraintTo(*resolveTable({table.owner, table.name}), def);
}

namespace {

bool isLob(const std::string& type) {
    return type == "CLOB" || type == "BLOB" || type == "NCLOB";
}

bool decreases(const std::optional<int>& now, const std::optional<int>& was) {
    return now && (!was || *now < *was);
}

}  // namespace

// A type change Oracle refuses for the values the column holds: ORA-22858
// to or from a LOB, ORA-01439 to another kind of value, ORA-01440 for less
// precision or scale, ORA-01441 for a length some value exceeds.
void LocalSession::checkTypeChange(const TableInfo& table, std::size_t index, const ColumnDef& to) {
    const ColumnDef& from = table.columns[index];
    if (from.dataType != to.dataType && (isLob(from.dataType) || isLob(to.dataType)))
        oraThrow(22858, "invalid alteration of datatype");
    const std::string column = "c" + std::to_string(index);
    if (!anyRow(table, " WHERE " + column + " IS NOT NULL"))
        return;
    if (columnKind(from) != columnKind(to) ||
        from.dataType.starts_with("TIMESTAMP") != to.dataType.starts_with("TIMESTAMP"))
        oraThrow(1439, "column to be modified must be empty to change datatype");
    if (columnKind(to) == ColumnKind::kNumber &&
        (decreases(to.precision, from.precision) || decreases(to.scale, from.scale)))
        oraThrow(1440, "column to be modified must be empty to decrease precision or scale");
    auto values = db_.prepare("SELECT " + column + " FROM " + table.sqlName + " WHERE " + column +
                              " IS NOT NULL");
    const ColumnTarget target{table.owner, table.name, &to, true};
    while (values->step()) {
        try {
            coerceForColumn(target, values->column(0));
        } catch (const oracle::OracleError&) {
            oraThrow(1441, "cannot decrease column length because some value is too big");
        }
    }
}

void LocalSession::modifyColumn(const ast::AlterTableColumns& at, std::size_t i) {
    const auto table = resolveTable(at.table);
    const ast::ColumnClause& clause = at.columns[i];
    const int found = table->findColumn(clause.name);
    if (found < 0)
        invalidIdentifier(clause.name);
    const auto index = static_cast<std::size_t>(found);
    const ColumnDef& before = table->columns[index];
    ColumnDef after = before;
    if (at.typeGiven[i]) {
        const ColumnDef declared = declareColumn(clause, {});
        after.dataType = declared.dataType;
        after.dataLength = declared.dataLength;
        after.precision = declared.precision;
        after.scale = declared.scale;
        after.charLength = declared.charLength;
        after.charSemantics = declared.charSemantics;
        checkTypeChange(*table, index, after);
    }
    if (at.defaultGiven[i]) {
        after.defaultText = clause.defaultText;
        checkDefault(after.defaultText);
    }
    // NULL / NOT NULL first: of what the clause asks, only it may still fail.
    if (at.nullable[i]) {
        if (*at.nullable[i]) {
            makeNullable(*table, clause.name);
        } else {
            ast::ConstraintDef def;
            def.kind = 'N';
            def.columns = {clause.name};
            addConstraintTo(*table, def);
        }
        forgetTable(*table);
        after.nullable = *at.nullable[i];
    }
    if (at.typeGiven[i] || at.defaultGiven[i]) {
        const ChangeSignal::Change change(signal_);
        CatalogTransaction tx(db_);
        writeColumn(db_, table->id, index, after);
        const std::string column = "c" + std::to_string(index);
        if (columnAffinity(before) != columnAffinity(after)) {
            // The column holds no value: made again with the new affinity.
            try {
                db_.exec("ALTER TABLE " + table->sqlName + " RENAME COLUMN " + column +
                         " TO mv_old");
                db_.exec("ALTER TABLE " + table->sqlName + " ADD COLUMN " + column +
                         columnAffinity(after));
                db_.exec("ALTER TABLE " + table->sqlName + " DROP COLUMN mv_old");
            } catch (const SqliteError&) {
                db_.clearCache();
                oraThrow(3001, "unimplemented feature");  // a key or index holds it
            }
        }
        bumpGeneration(db_);
        forgetTable(*table);
        if (at.typeGiven[i]) {
            // Each value stored again as the new type stores it (CHAR pads).
            runWrite("UPDATE " + table->sqlName + " SET " + column + " = " +
                         sqlCall(ServerFunction::kPut,
                                 {column, std::to_string(table->id), std::to_string(index), "1"}) +
                         " WHERE " + column + " IS NOT NULL",
                     {}, resolveTable(at.table));
        }
        tx.commit();
        db_.clearCache();
    }
}

}  // namespace malvorn::localserver
