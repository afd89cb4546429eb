// CREATE TABLE ... AS query: the columns take the query's names and types,
// then its rows are copied; a failed copy leaves no table behind.
//
// A column read plainly from a table keeps that column's type, length and
// NOT NULL (not its default), as on the server. The type of any other
// expression is its kind: BINARY_DOUBLE or BINARY_FLOAT for a binary value
// (Oracle's numeric precedence), NUMBER, DATE, CLOB, or VARCHAR2 as long as the
// longest value it gives (the server computes that length from the
// expression itself; for a literal it would make CHAR).
#include <algorithm>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/parser.h"

namespace malvorn::localserver {
namespace {

ast::ColumnClause clauseOf(const ColumnDef& c) {
    ast::ColumnClause clause;
    clause.name = c.name;
    clause.typeName = c.dataType.starts_with("TIMESTAMP") ? "TIMESTAMP" : c.dataType;
    if (c.charLength > 0) {
        clause.length = c.charLength;
        clause.charSemantics = c.charSemantics;
    } else if (c.dataType == "RAW") {
        clause.length = c.dataLength;
    } else if (c.dataType == "NUMBER" || c.dataType == "FLOAT") {
        clause.precision = c.precision;
        clause.length = c.precision;
        clause.scale = c.scale;
        clause.precisionStar = !c.precision && c.scale;
    }
    clause.notNull = !c.nullable;
    return clause;
}

// The source column of each plain item of the select list (none for the
// others); empty when a * covers an inline view.
std::vector<std::optional<ColumnDef>> plainColumns(
    const ast::Select& query,
    const std::function<std::shared_ptr<const TableInfo>(const ast::TableRef&)>& resolve) {
    std::vector<std::optional<ColumnDef>> out;
    if (!query.setOps.empty())
        return out;
    const auto qualifierOf = [](const ast::FromItem& f) {
        return f.alias ? *f.alias : f.table.name;
    };
    for (const auto& item : query.items) {
        if (item.star) {
            for (const auto& from : query.from) {
                if (!item.starQualifier.empty() && item.starQualifier != qualifierOf(from))
                    continue;
                if (from.subquery)
                    return {};
                for (const auto& column : resolve(from.table)->columns)
                    out.emplace_back(column);
            }
            continue;
        }
        std::optional<ColumnDef> found;
        const auto& path = item.expr->path;
        for (const auto& from : query.from) {
            if (item.expr->kind != ast::Expr::Kind::kColumn || from.subquery || found)
                break;
            if (path.size() >= 2 && path[path.size() - 2] != qualifierOf(from))
                continue;
            const auto table = resolve(from.table);
            const int index = table->findColumn(path.back());
            if (index >= 0)
                found = table->columns[static_cast<std::size_t>(index)];
        }
        out.push_back(std::move(found));
    }
    return out;
}

}  // namespace

std::vector<ColumnDef> LocalSession::columnsOfQuery(const ast::Select& query,
                                                    const std::string& sql,
                                                    const std::vector<SqlValue>& params,
                                                    const std::vector<SqlType>& types,
                                                    const std::vector<BinaryKind>& kinds) {
    const auto plain =
        plainColumns(query, [&](const ast::TableRef& ref) { return resolveTable(ref); });
    std::vector<ColumnDef> columns;
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (i < plain.size() && plain[i]) {
            ColumnDef c = *plain[i];
            c.defaultText.clear();
            columns.push_back(std::move(c));
            continue;
        }
        ColumnDef c;
        if (i < kinds.size() && kinds[i] != BinaryKind::kNone) {
            c.dataType = binaryTypeName(kinds[i]);
        } else if (types[i] == SqlType::kNumber) {
            c.dataType = "NUMBER";
        } else if (types[i] == SqlType::kDate) {
            c.dataType = "DATE";
        } else if (types[i] == SqlType::kLob) {
            c.dataType = "CLOB";
        } else {
            // Text, or a kind the values tell: the longest value in bytes.
            auto values = db_.prepare("SELECT x" + std::to_string(i) + " FROM (" + sql + ")");
            values->bindAll(params);
            std::size_t longest = 0;
            bool numbers = false;
            bool any = false;
            while (values->step()) {
                const SqlValue v = values->column(0);
                if (std::holds_alternative<std::monostate>(v))
                    continue;
                any = true;
                numbers = numbers || !std::holds_alternative<std::string>(v);
                longest = std::max(longest, valueToText(v).size());
            }
            if (!any && types[i] == SqlType::kUnknown)
                oraThrow(1723, "zero-length columns are not allowed");
            c.dataType = numbers && types[i] == SqlType::kUnknown ? "NUMBER" : "VARCHAR2";
            c.charLength = static_cast<int>(std::max<std::size_t>(longest, 1));
            if (c.charLength > 4000) {
                c.dataType = "CLOB";
                c.charLength = 0;
            }
            if (c.dataType == "NUMBER")
                c.charLength = 0;
        }
        columns.push_back(std::move(c));
    }
    return columns;
}

void LocalSession::createTableAs(const ast::CreateTable& ct) {
    const ast::Select query = parseViewQuery(ct.asQuery);
    Translator tr(*this);
    std::vector<std::string> names;
    const std::string sql = tr.select(query, names);
    std::vector<ColumnDef> columns =
        columnsOfQuery(query, sql, tr.params(), tr.itemTypes(), tr.itemKinds());
    if (!ct.asNames.empty() && ct.asNames.size() != columns.size())
        oraThrow(1730, "invalid number of column names specified");
    // An expression needs a name of its own.
    if (ct.asNames.empty() && query.setOps.empty()) {
        for (const auto& item : query.items) {
            if (!item.star && !item.alias && item.expr->kind != ast::Expr::Kind::kColumn)
                oraThrow(998, "must name this expression with a column alias");
        }
    }
    ast::CreateTable def;
    def.table = ct.table;
    def.tablespace = ct.tablespace;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        columns[i].name = ct.asNames.empty() ? names[i] : ct.asNames[i];
        def.columns.push_back(clauseOf(columns[i]));
    }
    createTable(def);
    ast::Insert copy;
    copy.table = ct.table;
    copy.select = std::make_unique<ast::Select>(parseViewQuery(ct.asQuery));
    try {
        insert(copy);
    } catch (...) {
        ast::DropTable drop{ct.table, true};
        dropTable(drop);
        throw;
    }
}

}  // namespace malvorn::localserver
