// The kinds of constraint ALTER TABLE adds: keys, foreign keys and CHECK.
// Each runs inside the caller's catalog transaction.
#include <algorithm>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/oracle_types.h"
#include "localserver/parser.h"
#include "localserver/password.h"

namespace malvorn::localserver {
namespace {

std::string schemaOf(const TableInfo& table) {
    return table.sqlName.substr(0, table.sqlName.find('.'));
}

std::string physicalOf(const TableInfo& table) {
    return table.sqlName.substr(table.sqlName.find('.') + 1);
}

// A condition may name the table's columns and constants only.
void checkCondition(const ast::Expr& e) {
    if (e.kind == ast::Expr::Kind::kSubquery || e.kind == ast::Expr::Kind::kExists || e.subquery)
        oraThrow(2251, "subquery not allowed here");
    if (e.kind == ast::Expr::Kind::kSysdate ||
        (e.kind == ast::Expr::Kind::kFunction && (e.text == "USER" || e.text == "UID")))
        oraThrow(2436, "date or system variable wrongly specified in CHECK constraint");
    for (const auto& arg : e.args)
        checkCondition(*arg);
}

void columnsNamed(const ast::Expr& e, const TableInfo& table, std::vector<std::string>& out) {
    if (e.kind == ast::Expr::Kind::kColumn && !e.path.empty()) {
        const std::string& name = e.path.back();
        if (table.findColumn(name) >= 0 && std::find(out.begin(), out.end(), name) == out.end())
            out.push_back(name);
    }
    for (const auto& arg : e.args)
        columnsNamed(*arg, table, out);
}

}  // namespace

void LocalSession::addKeyConstraint(const TableInfo& table, ConstraintEntry& entry,
                                    const std::vector<int>& columns) {
    for (const auto& key : table.keys) {
        if (key.primary && entry.kind == 'P')
            oraThrow(2260, "table can have only one primary key");
        if (key.columns == columns)
            oraThrow(2261, "such unique or primary key already exists in the table");
    }
    checkPermanentTablespace(entry.indexTablespace);
    entry.physical = "i" + randomHex(8);
    entry = addConstraint(db_, entry);
    const std::string qualified = table.owner + "." + entry.name;
    if (entry.kind == 'P') {
        // The columns of a primary key are NOT NULL.
        std::string nulls;
        for (const int c : columns)
            nulls += (nulls.empty() ? "" : " OR ") + ("c" + std::to_string(c)) + " IS NULL";
        auto any = db_.prepare("SELECT 1 FROM " + table.sqlName + " WHERE " + nulls + " LIMIT 1");
        if (any->step())
            oraThrow(1449, "column contains NULL values; cannot alter to NOT NULL");
        for (const auto& name : entry.columns)
            setNullable(db_, table.id, name, false);
    }
    try {
        db_.exec(indexSql(schemaOf(table), entry.physical, physicalOf(table), true, columns,
                          std::vector<bool>(columns.size(), false)));
    } catch (const SqliteError& e) {
        if (e.kind() != SqliteError::Kind::kUniqueKey)
            throw;
        if (entry.kind == 'P')
            oraThrow(2437, "cannot validate (" + qualified + ") - primary key violated");
        oraThrow(2299, "cannot validate (" + qualified + ") - duplicate keys found");
    }
}

void LocalSession::addForeignKey(const TableInfo& table, ConstraintEntry& entry,
                                 const ast::ConstraintDef& def, const std::vector<int>& columns) {
    const auto parent = resolveTable(def.parent);
    if (parent->view)
        tableDoesNotExist();
    // The triggers must live in one schema file with both tables.
    if (schemaOf(*parent) != schemaOf(table))
        oraThrow(3001, "unimplemented feature");
    std::vector<int> parentColumns;
    for (const auto& name : def.parentColumns) {
        const int index = parent->findColumn(name);
        if (index < 0)
            invalidIdentifier(name);
        parentColumns.push_back(index);
    }
    const TableInfo::Key* key = nullptr;
    for (const auto& k : parent->keys) {
        if (parentColumns.empty() ? k.primary : k.columns == parentColumns)
            key = &k;
    }
    if (!key && parentColumns.empty())
        oraThrow(2268, "referenced table does not have a primary key");
    if (parentColumns.empty())
        parentColumns = key->columns;
    if (parentColumns.size() != columns.size())
        oraThrow(2256, "number of referencing columns must match referenced columns");
    if (!key)
        oraThrow(2270, "no matching unique or primary key for this column-list");
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto& mine = table.columns[static_cast<std::size_t>(columns[i])];
        const auto& theirs = parent->columns[static_cast<std::size_t>(parentColumns[i])];
        if (columnKind(mine) != columnKind(theirs))
            oraThrow(2267, "column type incompatible with referenced column type");
    }
    const auto keyEntry = findConstraint(db_, parent->owner, key->name);
    if (!keyEntry)
        oraThrow(2270, "no matching unique or primary key for this column-list");
    entry.parentKey = keyEntry->id;
    entry.deleteRule = def.deleteRule;
    entry.physical = "k" + randomHex(8);
    entry = addConstraint(db_, entry);
    const ForeignKeySql sql{
        schemaOf(table), entry.physical, physicalOf(table), physicalOf(*parent),
        columns,         parentColumns,  def.deleteRule,    table.owner + "." + entry.name};
    if (def.validate && db_.prepare(orphanQuery(sql))->step())
        oraThrow(2298, "cannot validate (" + sql.qualifiedName + ") - parent keys not found");
    for (const auto& trigger : foreignKeyTriggers(sql))
        db_.exec(trigger);
}

void LocalSession::addCheck(const TableInfo& table, ConstraintEntry& entry,
                            const ast::ConstraintDef& def) {
    checkCondition(*def.condition);
    const auto translate = [&](const std::string& alias, std::vector<SqlValue>& params) {
        Translator tr(*this);
        tr.addSource({table.name, resolveTable({table.owner, table.name}), alias});
        std::string sql = tr.condition(*def.condition);
        params = tr.params();
        return sql;
    };
    std::vector<SqlValue> params;
    const std::string onRows = translate("a0", params);
    columnsNamed(*def.condition, table, entry.columns);
    entry.condition = def.conditionText;
    entry.physical = "k" + randomHex(8);
    entry = addConstraint(db_, entry);
    const std::string qualified = table.owner + "." + entry.name;
    if (def.validate) {
        auto broken = db_.prepare("SELECT 1 FROM " + table.sqlName + " AS a0 WHERE coalesce(NOT (" +
                                  onRows + "), 0) LIMIT 1");
        broken->bindAll(params);
        if (broken->step())
            oraThrow(2293, "cannot validate (" + qualified + ") - check constraint violated");
    }
    const std::string onNew = inlineParams(translate("NEW", params), params);
    for (const auto& trigger :
         checkTriggers(schemaOf(table), entry.physical, physicalOf(table), onNew, qualified))
        db_.exec(trigger);
}

std::optional<ForeignKeySql> LocalSession::foreignKeySql(const ConstraintEntry& fk) {
    const auto key = constraintById(db_, fk.parentKey);
    const auto child = tableById(fk.tableId);
    const auto parent = key ? tableById(key->tableId) : nullptr;
    if (!child || !parent)
        return std::nullopt;
    ForeignKeySql sql{schemaOf(*child),
                      fk.physical,
                      physicalOf(*child),
                      physicalOf(*parent),
                      {},
                      {},
                      fk.deleteRule,
                      fk.owner + "." + fk.name};
    for (const auto& c : fk.columns)
        sql.childColumns.push_back(child->findColumn(c));
    for (const auto& c : key->columns)
        sql.parentColumns.push_back(parent->findColumn(c));
    return sql;
}

}  // namespace malvorn::localserver
