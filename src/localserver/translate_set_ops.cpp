// Whole queries: WITH, inline views, UNION/MINUS/INTERSECT, ROWNUM, and
// OFFSET/FETCH FIRST.
#include <algorithm>
#include <cmath>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/parser.h"
#include "localserver/sql_functions.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

// Views within views, as deep as queries may nest.
constexpr int kMaxViewDepth = 40;

using ast::Expr;

const char* typeName(SqlType type) {
    switch (type) {
        case SqlType::kNumber:
            return "NUMBER";
        case SqlType::kDate:
            return "DATE";
        case SqlType::kChar:
            return "CHAR";
        case SqlType::kLob:
            return "CLOB";
        case SqlType::kText:
        case SqlType::kUnknown:
            break;
    }
    return "VARCHAR2";
}

const char* setWord(ast::SetOperation::Kind kind) {
    switch (kind) {
        case ast::SetOperation::Kind::kUnion:
            return " UNION ";
        case ast::SetOperation::Kind::kUnionAll:
            return " UNION ALL ";
        case ast::SetOperation::Kind::kMinus:
            return " EXCEPT ";
        case ast::SetOperation::Kind::kIntersect:
            return " INTERSECT ";
    }
    return " UNION ";
}

// The branches of a compound must agree column by column: numbers, dates and
// character values do not mix (NULL goes with any).
SqlType agreed(SqlType a, SqlType b) {
    const auto family = [](SqlType t) {
        return t == SqlType::kChar || t == SqlType::kLob ? SqlType::kText : t;
    };
    if (a == SqlType::kUnknown)
        return b;
    if (b == SqlType::kUnknown)
        return a;
    if (family(a) != family(b))
        oraThrow(1790, "expression must have same datatype as corresponding expression");
    return a;
}

bool isRownum(const Expr& e) {
    return e.kind == Expr::Kind::kFunction && e.text == "ROWNUM" && e.args.empty();
}

bool mentionsRownum(const Expr& e) {
    if (isRownum(e))
        return true;
    return std::any_of(e.args.begin(), e.args.end(),
                       [](const auto& a) { return mentionsRownum(*a); });
}

// How many rows a WHERE term on ROWNUM lets through. ROWNUM counts the rows
// that passed, so it only grows: ROWNUM > 1 or ROWNUM = 2 never holds.
std::optional<std::int64_t> rownumBound(const Expr& term) {
    if (term.kind != Expr::Kind::kBinary || term.args.size() != 2)
        return std::nullopt;
    std::string op = term.text;
    const Expr* value = term.args[1].get();
    if (!isRownum(*term.args[0])) {
        if (!isRownum(*term.args[1]))
            return std::nullopt;
        value = term.args[0].get();
        static const std::pair<const char*, const char*> flipped[] = {
            {"<", ">"}, {">", "<"}, {"<=", ">="}, {">=", "<="}};
        for (const auto& [from, to] : flipped) {
            if (op == from) {
                op = to;
                break;
            }
        }
    }
    if (value->kind != Expr::Kind::kNumber)
        return std::nullopt;
    const auto number = Number::parse(value->text);
    if (!number)
        return std::nullopt;
    const double n = number->toDouble();
    const auto whole = [](double d) {
        return static_cast<std::int64_t>(std::clamp(d, -1.0, 9e18));
    };
    constexpr std::int64_t kAll = -1;
    if (op == "<=")
        return std::max<std::int64_t>(0, whole(std::floor(n)));
    if (op == "<")
        return std::max<std::int64_t>(0, whole(std::ceil(n)) - 1);
    if (op == "=")
        return n == 1 ? 1 : 0;
    if (op == ">")
        return n < 1 ? kAll : 0;
    if (op == ">=")
        return n <= 1 ? kAll : 0;
    if (op == "<>")
        return n >= 1 && n == std::floor(n) ? whole(n) - 1 : kAll;
    return std::nullopt;
}

// Whether a row limit is worked out over numbered rows rather than by
// SQLite's LIMIT, which cannot read the enclosing query's columns: WITH TIES,
// PERCENT, and counts that name a column or hold a subquery.
bool numbersRows(const ast::RowLimit& limit) {
    const auto names = [](const auto& self, const Expr* e) -> bool {
        if (!e)
            return false;
        if (e->kind == Expr::Kind::kColumn || e->subquery)
            return true;
        return std::any_of(e->args.begin(), e->args.end(),
                           [&](const auto& a) { return self(self, a.get()); });
    };
    return limit.withTies || limit.percent || names(names, limit.offset.get()) ||
           names(names, limit.count.get());
}

}  // namespace

std::string Translator::select(const ast::Select& s, std::vector<std::string>& names) {
    for (const auto& table : s.with)
        tables_.push_back(&table);
    if (s.forUpdate && !s.setOps.empty())
        oraThrow(1786, "FOR UPDATE of this query expression is not allowed");
    std::vector<SortKey> keys;
    const bool keyed = s.limit && numbersRows(*s.limit);
    std::string sql = s.setOps.empty() ? queryBlock(s, names, true, keyed ? &keys : nullptr)
                                       : compound(s, names, keyed ? &keys : nullptr);
    if (s.limit)
        sql = limitRows(s, std::move(sql), names.size(), keys);
    return sql;
}

std::vector<const ast::CommonTable*> Translator::visibleTables() const {
    std::vector<const ast::CommonTable*> all;
    if (parent_)
        all = parent_->visibleTables();
    for (const auto* table : tables_) {
        if (std::find(all.begin(), all.end(), table) == all.end())
            all.push_back(table);
    }
    return all;
}

// A table, a WITH query named like one, or an inline view.
Translator::Source Translator::fromSource(const ast::FromItem& item) {
    Source source;
    if (item.subquery) {
        // An inline view sees the enclosing query's names, not its neighbours'.
        source = inlineView(*item.subquery, {}, parent_, visibleTables());
    } else {
        std::vector<const ast::CommonTable*> tables =
            item.table.schema.empty() ? visibleTables() : std::vector<const ast::CommonTable*>{};
        const auto named = std::find_if(tables.rbegin(), tables.rend(),
                                        [&](const auto* t) { return t->name == item.table.name; });
        if (named != tables.rend()) {
            // Its query sees the WITH queries before it, and no outer names.
            const ast::CommonTable& table = **named;
            tables.erase(tables.end() - (named - tables.rbegin()) - 1, tables.end());
            source = inlineView(*table.query, table.columns, nullptr, std::move(tables));
        } else if (auto view = session_.findView(item.table, readAs_)) {
            source = storedView(*view);
        } else {
            source.table = resolveAsReader(item.table);
        }
        source.qualifier = item.table.name;
    }
    if (item.alias)
        source.qualifier = *item.alias;
    source.sqlAlias = aliasPrefix_ + std::to_string(sources_.size());
    return source;
}

// A table named in a query; inside another user's view an unqualified name
// is that user's table, else a dictionary view (DUAL, USER_TABLES, ...).
std::shared_ptr<const TableInfo> Translator::resolveAsReader(const ast::TableRef& ref) {
    if (!ref.schema.empty() || readAs_.empty())
        return session_.resolveTable(ref);
    try {
        return session_.resolveTable({readAs_, ref.name});
    } catch (const oracle::OracleError& e) {
        if (!e.description().starts_with("ORA-00942"))
            throw;
    }
    return session_.resolveTable({"SYS", ref.name});
}

// A view made by CREATE VIEW: its query read again, its names its owner's.
// A query that no longer stands (a FORCE view, a table dropped since) makes
// the view's use fail as the server says it.
Translator::Source Translator::storedView(const StoredView& view) {
    if (viewDepth_ >= kMaxViewDepth)
        oraThrow(1731, "circular view definition encountered");
    const std::string outer = std::move(readAs_);
    readAs_ = view.owner == session_.userName() ? std::string() : view.owner;
    ++viewDepth_;
    Source source;
    try {
        source = inlineView(parseViewQuery(view.query), view.columns, nullptr, {});
    } catch (const oracle::OracleError& e) {
        if (e.description().starts_with("ORA-01731"))
            throw;
        oraThrow(4063, "view \"" + view.owner + "." + view.name + "\" has errors");
    }
    --viewDepth_;
    readAs_ = outer;
    return source;
}

Translator::Source Translator::inlineView(const ast::Select& q,
                                          const std::vector<std::string>& columns,
                                          Translator* parent,
                                          std::vector<const ast::CommonTable*> tables) {
    Translator inner(session_, *this);
    inner.parent_ = parent;
    inner.tables_ = std::move(tables);
    std::vector<std::string> names;
    const std::string sql = inner.select(q, names);
    if (!columns.empty()) {
        if (columns.size() != names.size())
            oraThrow(32038,
                     "number of WITH clause column names does not match number of "
                     "elements in select list");
        names = columns;
    }
    auto table = std::make_shared<TableInfo>();
    table->view = true;  // not a target of INSERT, UPDATE or DELETE
    table->sqlName = "(" + sql + ")";
    for (std::size_t i = 0; i < names.size(); ++i) {
        ColumnDef column;
        column.name = names[i];
        column.dataType =
            typeName(i < inner.itemTypes_.size() ? inner.itemTypes_[i] : SqlType::kUnknown);
        if (i < inner.itemKinds_.size() && inner.itemKinds_[i] != BinaryKind::kNone)
            column.dataType = binaryTypeName(inner.itemKinds_[i]);
        table->columns.push_back(std::move(column));
    }
    Source source;
    source.table = std::move(table);
    source.columnPrefix = "x";
    return source;
}

// ROWNUM numbers the rows that pass WHERE before grouping and sorting: a
// block that names it reads its rows through a numbered subquery, and the
// WHERE terms that bound ROWNUM become that subquery's LIMIT. Empty when the
// block does not name ROWNUM.
std::string Translator::rownumFrom(const ast::Select& s) {
    bool uses = s.where && mentionsRownum(*s.where);
    for (const auto& item : s.items)
        uses = uses || (item.expr && mentionsRownum(*item.expr));
    for (const auto& item : s.orderBy)
        uses = uses || mentionsRownum(*item.expr);
    if (!uses)
        return {};
    std::set<const Expr*> bounds;
    std::int64_t limit = -1;
    std::vector<const Expr*> terms;
    if (s.where && s.where->kind == Expr::Kind::kBinary && s.where->text == "AND") {
        for (const auto& a : s.where->args)
            terms.push_back(a.get());
    } else if (s.where) {
        terms.push_back(s.where.get());
    }
    for (const Expr* t : terms) {
        const auto bound = rownumBound(*t);
        if (!bound)
            continue;
        bounds.insert(t);
        if (*bound >= 0)
            limit = limit < 0 ? *bound : std::min(limit, *bound);
    }
    // Other uses in WHERE would need the count as each row passes.
    for (const Expr* t : terms) {
        if (!bounds.count(t) && mentionsRownum(*t))
            oraThrow(976, "Specified pseudocolumn or operator not allowed here.");
    }
    std::string columns;
    for (const Source& src : sources_) {
        for (std::size_t i = 0; i < src.table->columns.size(); ++i) {
            const std::string name = src.columnPrefix + std::to_string(i);
            columns += src.sqlAlias + "." + name + " AS " + src.sqlAlias + name + ", ";
        }
    }
    std::string sql = "(SELECT " + columns + "row_number() OVER () AS mv_rn FROM " +
                      fromAndWhere(s, &bounds) + " LIMIT " + std::to_string(limit) + ")";
    const std::string alias = aliasPrefix_ + "r";
    for (Source& src : sources_) {
        src.columnPrefix = src.sqlAlias + src.columnPrefix;
        src.sqlAlias = alias;
    }
    rownum_ = num(alias + ".mv_rn");
    return sql + " AS " + alias;
}

// One branch of a compound: a query block, or a whole query in parentheses.
// The first is the compound's own block, whose clauses after it are the
// compound's.
std::string Translator::branch(const ast::Select& s, std::vector<std::string>& names,
                               std::vector<SqlType>& types, std::vector<BinaryKind>& kinds,
                               bool first) {
    Translator inner(session_, *this);
    std::string sql;
    if (first || (s.setOps.empty() && !s.limit && s.with.empty() && s.orderBy.empty()))
        sql = inner.queryBlock(s, names, false, nullptr);
    else
        sql = "SELECT * FROM (" + inner.select(s, names) + ")";
    types = inner.itemTypes_;
    kinds = inner.itemKinds_;
    return sql;
}

std::string Translator::compound(const ast::Select& s, std::vector<std::string>& names,
                                 std::vector<SortKey>* keys) {
    std::vector<SqlType> types;
    std::vector<BinaryKind> kinds;
    std::string sql = branch(s, names, types, kinds, true);
    for (const auto& op : s.setOps) {
        std::vector<std::string> otherNames;
        std::vector<SqlType> otherTypes;
        std::vector<BinaryKind> otherKinds;
        const std::string other = branch(*op.right, otherNames, otherTypes, otherKinds, false);
        if (otherNames.size() != names.size())
            oraThrow(1789, "query block has incorrect number of result columns");
        for (std::size_t i = 0; i < types.size() && i < otherTypes.size(); ++i)
            types[i] = agreed(types[i], otherTypes[i]);
        // The highest numeric type of the branches is the column's.
        for (std::size_t i = 0; i < kinds.size() && i < otherKinds.size(); ++i)
            kinds[i] = std::max(kinds[i], otherKinds[i]);
        sql += setWord(op.kind) + other;
    }
    itemTypes_ = types;
    itemKinds_ = kinds;
    if (s.orderBy.empty())
        return sql;
    // ORDER BY of a compound names its result columns: by position, by the
    // first branch's names, or by the aliases it gives.
    sql += " ORDER BY ";
    for (std::size_t i = 0; i < s.orderBy.size(); ++i) {
        const ast::OrderItem& item = s.orderBy[i];
        const Expr& o = *item.expr;
        std::optional<std::size_t> position;
        if (o.kind == Expr::Kind::kNumber) {
            dependsOnValue(o);
            const auto number = Number::parse(o.text);
            const auto whole = number ? number->toInt() : std::nullopt;
            if (whole && *whole >= 1 && *whole <= static_cast<std::int64_t>(names.size()))
                position = static_cast<std::size_t>(*whole - 1);
        } else if (o.kind == Expr::Kind::kColumn && o.path.size() == 1) {
            const auto at = std::find(names.begin(), names.end(), o.path[0]);
            if (at == names.end())
                invalidIdentifier(o.path[0]);
            position = static_cast<std::size_t>(at - names.begin());
        }
        if (!position)
            oraThrow(1785, "ORDER BY item must be the number of a SELECT-list expression");
        const bool nullsFirst = item.nullsFirst.value_or(item.descending);
        const SortKey key{"x" + std::to_string(*position),
                          std::string(item.descending ? " DESC" : "") +
                              (nullsFirst ? " NULLS FIRST" : " NULLS LAST")};
        sql += (i ? ", " : "") + key.term + key.direction;
        if (keys)
            keys->push_back(key);
    }
    return sql;
}

// An OFFSET or FETCH count: literals, binds, subqueries and the enclosing
// query's columns (it is worked out once, before the rows are limited); a
// name of the query's own rows, ROWNUM or an analytic function is ORA-62550.
std::string Translator::limitValue(const ast::Expr& e) {
    const auto rowValue = [](const auto& self, const ast::Expr& x) -> bool {
        if (isRownum(x) || (x.kind == Expr::Kind::kFunction && x.over))
            return true;
        return std::any_of(x.args.begin(), x.args.end(),
                           [&](const auto& a) { return self(self, *a); });
    };
    const int own = ownColumns_;
    std::string sql = rowValue(rowValue, e) ? std::string() : expr(e);
    if (sql.empty() || ownColumns_ != own)
        oraThrow(62550, "Invalid SQL ROW LIMITING expression was specified.");
    return sql;
}

// OFFSET and FETCH FIRST. Fractions are cut off, a negative offset counts as
// none, a count below one gives no rows, and so does NULL for either. WITH TIES adds the rows that
// sort equal to the last; PERCENT counts from the rows there are.
std::string Translator::limitRows(const ast::Select& s, std::string sql, std::size_t columns,
                                  const std::vector<SortKey>& keys) {
    const ast::RowLimit& limit = *s.limit;
    // A NULL count or offset gives no rows.
    const auto whole = [&](const ast::Expr& e, const char* null) {
        return "max(0, ifnull(" + sqlCall(ServerFunction::kWhole, {limitValue(e)}) + ", " + null +
               "))";
    };
    const char* kNoRows = "9223372036854775807";
    const std::string offset = limit.offset ? whole(*limit.offset, kNoRows) : "0";
    if (!numbersRows(limit)) {
        const std::string count = limit.count ? whole(*limit.count, "0") : "-1";
        return sql + " LIMIT " + count + " OFFSET " + offset;
    }
    std::string order;
    for (std::size_t i = 0; i < keys.size(); ++i)
        order += (i ? ", q." : "q.") + keys[i].term + keys[i].direction;
    const std::string over = order.empty() ? "OVER ()" : "OVER (ORDER BY " + order + ")";
    std::string count = limit.count ? whole(*limit.count, "0") : "9223372036854775807";
    if (limit.percent) {
        // A share of the rows, rounded up.
        const std::string share = "(CAST(" +
                                  sqlCall(ServerFunction::kText, {limitValue(*limit.count)}) +
                                  " AS REAL) * mv_all / 100.0)";
        count = "max(0, ifnull(CAST(" + share + " AS INTEGER) + (" + share + " > CAST(" + share +
                " AS INTEGER)), 0))";
    }
    // Without ORDER BY, WITH TIES has no ties to add.
    const std::string position = limit.withTies && !order.empty() ? "mv_rk" : "mv_rn";
    std::string list;
    for (std::size_t i = 0; i < columns; ++i)
        list += (i ? ", x" : "x") + std::to_string(i);
    return "SELECT " + list + " FROM (SELECT q.*, row_number() " + over + " AS mv_rn, rank() " +
           over + " AS mv_rk, count(*) OVER () AS mv_all FROM (" + sql + ") AS q) WHERE mv_rn > " +
           offset + " AND " + position + " <= " + offset + " + " + count + " ORDER BY mv_rn";
}

}  // namespace malvorn::localserver
