#include "localserver/constraint_sql.h"

#include <cctype>
#include <cstdio>

#include "base/sql_text.h"

namespace malvorn::localserver {
namespace {

std::string col(const std::string& alias, int index) {
    return alias + ".c" + std::to_string(index);
}

// alias1.c = alias2.c for each pair of columns.
std::string matches(const std::string& a, const std::vector<int>& aColumns, const std::string& b,
                    const std::vector<int>& bColumns) {
    std::string sql;
    for (std::size_t i = 0; i < aColumns.size(); ++i)
        sql += (i ? " AND " : "") + col(a, aColumns[i]) + " = " + col(b, bColumns[i]);
    return sql;
}

// A key with a Null column references nothing and is not checked.
std::string allNotNull(const std::string& alias, const std::vector<int>& columns) {
    std::string sql;
    for (std::size_t i = 0; i < columns.size(); ++i)
        sql += (i ? " AND " : "") + col(alias, columns[i]) + " IS NOT NULL";
    return sql;
}

std::string raise(const std::string& message) {
    return "BEGIN SELECT RAISE(ABORT, " + base::quoteSqlText(message) + "); END";
}

std::string hex(const std::string& bytes) {
    std::string out;
    char buffer[3];
    for (const unsigned char c : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X", c);
        out += buffer;
    }
    return out;
}

std::string literal(const SqlValue& value) {
    if (std::holds_alternative<std::monostate>(value))
        return "NULL";
    if (const auto* i = std::get_if<std::int64_t>(&value))
        return std::to_string(*i);
    if (const auto* n = std::get_if<Number>(&value))
        return "X'" + hex(n->key()) + "'";
    return base::quoteSqlText(std::get<std::string>(value));
}

}  // namespace

std::string inlineParams(const std::string& sql, const std::vector<SqlValue>& params) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'')
            quoted = !quoted;
        if (quoted || c != '?') {
            out += c;
            continue;
        }
        std::size_t end = i + 1;
        while (end < sql.size() && std::isdigit(static_cast<unsigned char>(sql[end])))
            ++end;
        const std::size_t number = std::stoul(sql.substr(i + 1, end - i - 1));
        out += literal(params.at(number - 1));
        i = end - 1;
    }
    return out;
}

std::vector<std::string> foreignKeyTriggers(const ForeignKeySql& fk) {
    const std::string on = " ON " + fk.child + " FOR EACH ROW WHEN ";
    const std::string parentRow = "EXISTS (SELECT 1 FROM " + fk.parent + " AS p WHERE " +
                                  matches("p", fk.parentColumns, "NEW", fk.childColumns) + ")";
    const std::string noParent = allNotNull("NEW", fk.childColumns) + " AND NOT " + parentRow;
    const std::string parentMissing = raise("ORA-02291: integrity constraint (" + fk.qualifiedName +
                                            ") violated - parent key not found");
    std::string childColumnList;
    for (std::size_t i = 0; i < fk.childColumns.size(); ++i)
        childColumnList += (i ? ", c" : "c") + std::to_string(fk.childColumns[i]);
    std::string parentColumnList;
    std::string keyChanged;
    for (std::size_t i = 0; i < fk.parentColumns.size(); ++i) {
        parentColumnList += (i ? ", c" : "c") + std::to_string(fk.parentColumns[i]);
        keyChanged += (i ? " OR " : "") + col("OLD", fk.parentColumns[i]) + " IS NOT " +
                      col("NEW", fk.parentColumns[i]);
    }
    const std::string childOf =
        " WHERE " + matches(fk.child, fk.childColumns, "OLD", fk.parentColumns);
    const std::string children = "EXISTS (SELECT 1 FROM " + fk.child + childOf + ")";
    const std::string childFound = raise("ORA-02292: integrity constraint (" + fk.qualifiedName +
                                         ") violated - child record found");
    const std::string create = "CREATE TRIGGER " + fk.schema + "." + fk.prefix;
    std::vector<std::string> sql = {
        // After the row is written, so that a row may reference itself.
        create + "_ci AFTER INSERT" + on + noParent + " " + parentMissing,
        create + "_cu AFTER UPDATE OF " + childColumnList + on + noParent + " " + parentMissing,
        create + "_pu BEFORE UPDATE OF " + parentColumnList + " ON " + fk.parent +
            " FOR EACH ROW WHEN NOT mv_rewriting() AND (" + keyChanged + ") AND " + children + " " +
            childFound,
    };
    const std::string onDelete = " ON " + fk.parent + " FOR EACH ROW WHEN NOT mv_rewriting() ";
    if (fk.deleteRule == "CASCADE") {
        sql.push_back(create + "_pd AFTER DELETE" + onDelete + "BEGIN DELETE FROM " + fk.child +
                      childOf + "; END");
    } else if (fk.deleteRule == "SET NULL") {
        std::string set;
        for (std::size_t i = 0; i < fk.childColumns.size(); ++i)
            set += (i ? ", c" : "c") + std::to_string(fk.childColumns[i]) + " = NULL";
        sql.push_back(create + "_pd AFTER DELETE" + onDelete + "BEGIN UPDATE " + fk.child +
                      " SET " + set + childOf + "; END");
    } else {
        sql.push_back(create + "_pd BEFORE DELETE" + onDelete + "AND " + children + " " +
                      childFound);
    }
    return sql;
}

std::string orphanQuery(const ForeignKeySql& fk) {
    return "SELECT 1 FROM " + fk.schema + "." + fk.child + " AS ch WHERE " +
           allNotNull("ch", fk.childColumns) + " AND NOT EXISTS (SELECT 1 FROM " + fk.schema + "." +
           fk.parent + " AS p WHERE " + matches("p", fk.parentColumns, "ch", fk.childColumns) +
           ") LIMIT 1";
}

std::vector<std::string> checkTriggers(const std::string& schema, const std::string& prefix,
                                       const std::string& table, const std::string& condition,
                                       const std::string& qualifiedName) {
    // Only a condition that is false refuses the row; Null (unknown) passes.
    const std::string rest = " ON " + table + " FOR EACH ROW WHEN coalesce(NOT (" + condition +
                             "), 0) " +
                             raise("ORA-02290: check constraint (" + qualifiedName + ") violated");
    const std::string create = "CREATE TRIGGER " + schema + "." + prefix;
    return {create + "_ki BEFORE INSERT" + rest, create + "_ku BEFORE UPDATE" + rest};
}

std::vector<std::string> triggerNames(const std::string& prefix) {
    std::vector<std::string> names;
    for (const char* suffix : {"_ci", "_cu", "_pu", "_pd", "_ki", "_ku"})
        names.push_back(prefix + suffix);
    return names;
}

}  // namespace malvorn::localserver
