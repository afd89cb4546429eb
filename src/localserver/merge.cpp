// MERGE: the target's rows matched by the source through ON are updated
// (and then maybe deleted), the source's unmatched rows inserted. Which rows
// match is decided before anything changes: rows inserted get rowids past
// the highest one before, and the update and delete look only below it.
#include <algorithm>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/parser.h"
#include "localserver/sql_functions.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;
using F = ServerFunction;

// Whether `e` names a column of the target: qualified with its name or
// alias, or unqualified and found in the target alone.
bool namesTarget(const Expr& e, const std::string& qualifier, const TableInfo& target,
                 const TableInfo& source, const std::string& column = {}) {
    if (e.kind == Expr::Kind::kColumn && (column.empty() || e.path.back() == column)) {
        const bool qualified = e.path.size() >= 2;
        if (qualified
                ? e.path[e.path.size() - 2] == qualifier
                : target.findColumn(e.path.back()) >= 0 && source.findColumn(e.path.back()) < 0)
            return true;
    }
    return std::any_of(e.args.begin(), e.args.end(), [&](const auto& a) {
        return namesTarget(*a, qualifier, target, source, column);
    });
}

}  // namespace

// One statement of several SQLite ones: undone as a whole when it fails,
// with autocommit as inside a transaction.
void LocalSession::merge(const ast::Merge& m) {
    db_.exec("SAVEPOINT mv_merge");
    try {
        mergeRows(m);
    } catch (...) {
        if (db_.inTransaction()) {
            db_.exec("ROLLBACK TO mv_merge");
            db_.exec("RELEASE mv_merge");
        }
        throw;
    }
    db_.exec("RELEASE mv_merge");
}

void LocalSession::mergeRows(const ast::Merge& m) {
    const auto table = resolveTable(m.table);
    checkWritable(*table);
    const std::string qualifier = m.alias ? *m.alias : table->name;
    // Each statement below has its own parameters: a translator over the
    // target (a0) and the source (a1), the source's SQL bound first.
    const auto translator = [&](Translator& tr) {
        tr.addSource({qualifier, table, "a0"});
        tr.addFrom(m.source);
        return tr.sources()[1].table->sqlName + " AS a1";
    };
    Translator probe(*this);
    translator(probe);
    const TableInfo& source = *probe.sources()[1].table;
    for (const auto& a : m.assignments) {
        if (namesTarget(*m.on, qualifier, *table, source, a.column))
            oraThrow(38104, "Columns referenced in the ON Clause cannot be updated: \"" +
                                table->owner + "\".\"" + table->name + "\".\"" + a.column + "\"");
    }
    const std::string target = table->sqlName + " AS a0";
    if (m.matched) {
        // A target row that more than one source row would update.
        Translator tr(*this);
        const std::string from = translator(tr);
        std::string join = tr.condition(*m.on);
        if (m.updateWhere)
            join += " AND " + tr.condition(*m.updateWhere);
        auto twice = db_.cached("SELECT 1 FROM " + target + " JOIN " + from + " ON " + join +
                                " GROUP BY a0.rowid HAVING count(*) > 1 LIMIT 1");
        twice.bindAll(tr.params());
        if (twice.step())
            oraThrow(30926, "unable to get a stable set of rows in the source tables");
    }
    auto highest = db_.cached("SELECT ifnull(max(rowid), 0) FROM " + table->sqlName);
    highest.bindAll({});
    highest.step();
    const std::string before = "a0.rowid <= " + formatNumber(highest.column(0));
    // A statement left on its row would keep its read snapshot past COMMIT.
    highest.reset();
    if (m.notMatched)
        mergeInsert(m, table, translator);
    if (!m.matched)
        return;
    mergeUpdate(m, table, translator, before);
    if (!m.deleteWhere)
        return;
    // The rows updated that the DELETE condition holds for, after the update.
    Translator del(*this);
    const std::string delFrom = translator(del);
    std::string rows = "SELECT a0.rowid FROM " + target + ", " + delFrom + " WHERE " + before +
                       " AND " + del.condition(*m.on);
    if (m.updateWhere)
        rows += " AND " + del.condition(*m.updateWhere);
    rows += " AND " + del.condition(*m.deleteWhere);
    runWrite("DELETE FROM " + table->sqlName + " WHERE rowid IN (" + rows + ")", del.params(),
             table);
}

// WHEN MATCHED THEN UPDATE, over the rows that were there before.
void LocalSession::mergeUpdate(const ast::Merge& m, const std::shared_ptr<const TableInfo>& table,
                               const std::function<std::string(Translator&)>& translator,
                               const std::string& before) {
    Translator tr(*this);
    const std::string from = translator(tr);
    std::string where = " WHERE " + before + " AND " + tr.condition(*m.on);
    if (m.updateWhere)
        where += " AND " + tr.condition(*m.updateWhere);
    updateRows(*table, m.assignments, tr, from, where);
}

// WHEN NOT MATCHED: the source rows no target row matches, inserted with the
// columns left out taking their defaults and identities, as INSERT does.
void LocalSession::mergeInsert(const ast::Merge& m, const std::shared_ptr<const TableInfo>& table,
                               const std::function<std::string(Translator&)>& translator) {
    const std::vector<int> targets = table->insertTargets(m.columns);
    if (m.values.size() > targets.size())
        oraThrow(913, "too many values");
    if (m.values.size() < targets.size())
        oraThrow(947, "not enough values");
    Translator tr(*this);
    const std::string from = translator(tr);
    // ON reads the target; the values and the WHERE read the source alone.
    const std::string on = tr.condition(*m.on);
    tr.refuseNames(0, 38101, "Invalid column in the INSERT VALUES Clause: ");
    std::vector<std::string> values(table->columns.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (table->identityOf(static_cast<std::size_t>(targets[i])) == "ALWAYS")
            oraThrow(32795, "cannot insert into a generated always identity column");
        const auto t = static_cast<std::size_t>(targets[i]);
        values[t] = tr.storedValue(*m.values[i], table->columns[t]);
    }
    const std::string id = std::to_string(table->id);
    std::string columns;
    std::string list;
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
        const std::string value = insertedValue(*table, i, values[i], tr);
        columns += (i ? ", c" : "c") + std::to_string(i);
        list += std::string(i ? ", " : "") + sqlCall(F::kPut, {value, id, std::to_string(i), "0"});
    }
    std::string where =
        " WHERE NOT EXISTS (SELECT 1 FROM " + table->sqlName + " AS a0 WHERE " + on + ")";
    if (m.insertWhere) {
        tr.refuseNames(0, 38102, "Invalid column in the INSERT WHERE Clause: ");
        where += " AND " + tr.condition(*m.insertWhere);
    }
    runWrite("INSERT INTO " + table->sqlName + "(" + columns + ") SELECT " + list + " FROM " +
                 from + where,
             tr.params(), table);
}

}  // namespace malvorn::localserver
