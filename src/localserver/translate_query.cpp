// Translation of the server's queries: FROM with its joins, the select
// list, grouping and ORDER BY.
#include <algorithm>

#include "encoding/letter_case.h"
#include "localserver/errors.h"
#include "localserver/lexer.h"
#include "localserver/local_session.h"
#include "localserver/sqlite_errors.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;

// The heading the server gives an unnamed select-list expression: its text
// without blanks, ASCII letters upper-cased outside quotes.
std::string headingOf(const std::string& source) {
    std::string out;
    std::string plain;  // a run outside quotes, upper-cased as names are
    char quote = 0;
    for (const char c : source) {
        if (quote) {
            out += c;
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            out += encoding::upperCaseName(plain);
            plain.clear();
            quote = c;
            out += c;
        } else if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            plain += c;
        }
    }
    return out + encoding::upperCaseName(plain);
}

// One column a star stands for.
struct StarColumn {
    std::string sql;
    SqlType type;
    std::string name;
    BinaryKind kind;
};

// The columns of a select-list star: every source's, or one qualifier's.
std::vector<StarColumn> starColumns(const std::vector<Translator::Source>& sources,
                                    const std::string& qualifier) {
    std::vector<StarColumn> columns;
    bool any = false;
    for (const Translator::Source& src : sources) {
        if (!qualifier.empty() && src.qualifier != qualifier)
            continue;
        any = true;
        for (std::size_t i = 0; i < src.table->columns.size(); ++i) {
            const ColumnDef& c = src.table->columns[i];
            columns.push_back({src.sqlAlias + "." + src.columnPrefix + std::to_string(i), typeOf(c),
                               c.name, binaryKindOf(c.dataType)});
        }
    }
    if (!any)
        invalidIdentifier(qualifier);
    return columns;
}

// The name of a select-list expression's result column.
std::string itemName(const ast::SelectItem& item) {
    if (item.alias)
        return *item.alias;
    if (item.expr->kind == Expr::Kind::kColumn)
        return item.expr->path.back();
    return headingOf(item.expr->source);
}

}  // namespace

namespace {

bool holdsSubquery(const ast::Expr& e) {
    return e.subquery || std::any_of(e.args.begin(), e.args.end(),
                                     [](const auto& a) { return holdsSubquery(*a); });
}

}  // namespace

void Translator::checkGrouped(const ast::Expr& e, const std::set<std::string>& groups,
                              bool hasGroupBy) {
    // A scalar subquery is checked as a query of its own.
    if (isAggregate(e) || e.kind == Expr::Kind::kSubquery)
        return;
    // No grouping expression holds a subquery: an expression that does is
    // checked by its parts, not translated again (each level of nesting
    // would double the work).
    if (!holdsSubquery(e)) {
        const std::size_t mark = params_->size();
        const int own = ownColumns_;
        const std::string sql = canonical(expr(e, nullptr, true));
        dropParams(mark);
        if (groups.count(sql))
            return;
        // A column of an enclosing query is one value for all of this one's groups.
        if (e.kind == Expr::Kind::kColumn && ownColumns_ == own)
            return;
        if (e.kind == Expr::Kind::kColumn) {
            if (hasGroupBy)
                oraThrow(979, "not a GROUP BY expression");
            oraThrow(937, "not a single-group group function");
        }
    }
    for (const auto& a : e.args)
        checkGrouped(*a, groups, hasGroupBy);
}

namespace {

bool containsAggregate(const ast::Expr& e) {
    if (isAggregate(e))
        return true;
    return std::any_of(e.args.begin(), e.args.end(),
                       [](const auto& a) { return containsAggregate(*a); });
}

}  // namespace

std::string Translator::subquery(const ast::Select& s, bool single) {
    Translator inner(session_, *this);
    std::vector<std::string> names;
    const std::string sql = inner.select(s, names);
    if (single && names.size() > 1)
        oraThrow(913, "too many values");
    return sql;
}

// A scalar subquery, written once: its one value through mv_single, which
// refuses a second row as the server does.
std::string Translator::scalarSubquery(const ast::Select& s, SqlType* type) {
    if (depth_ >= kShallowQueries)
        return nestedQuery(s, type);
    Translator inner(session_, *this);
    inner.singleValue_ = true;
    std::vector<std::string> names;
    std::string sql = inner.select(s, names);
    if (names.size() > 1)
        oraThrow(913, "too many values");
    if (type)
        *type = inner.itemTypes_.empty() ? SqlType::kUnknown : inner.itemTypes_[0];
    if (!inner.itemKinds_.empty())
        subqueryKinds_[&s] = inner.itemKinds_[0];
    return inner.singleDone_ ? "(" + sql + ")" : "(SELECT mv_single(x0) FROM (" + sql + "))";
}

SqlValue LocalSession::valueNow(const std::string& sql, const std::vector<SqlValue>& params) {
    try {
        auto statement = db_.prepare(sql);
        const std::size_t used = static_cast<std::size_t>(statement->parameterCount());
        for (std::size_t i = 0; i < used && i < params.size(); ++i)
            statement->bind(static_cast<int>(i + 1), params[i]);
        return statement->step() ? statement->column(0) : SqlValue{};
    } catch (const SqliteError& e) {
        throwServerError(e, nullptr);
    }
}

namespace {

// Sort keys a row limit needs beside the result columns, as columns k<i>;
// keys that are result columns stay as they are.
std::string hiddenKeys(std::vector<Translator::SortKey>* keys) {
    std::string list;
    for (std::size_t i = 0; keys && i < keys->size(); ++i) {
        std::string& term = (*keys)[i].term;
        if (term.size() > 1 && term[0] == 'x' &&
            term.find_first_not_of("0123456789", 1) == std::string::npos)
            continue;
        list += ", " + term + " AS k" + std::to_string(i);
        term = "k" + std::to_string(i);
    }
    return list;
}

bool hasOuterMark(const ast::Expr& e) {
    if (e.outerMark)
        return true;
    return std::any_of(e.args.begin(), e.args.end(),
                       [](const auto& a) { return hasOuterMark(*a); });
}

}  // namespace

// FROM and WHERE; equality terms of the WHERE with the (+) mark become LEFT
// JOINs of the marked table.
std::string Translator::fromAndWhere(const ast::Select& s, const std::set<const ast::Expr*>* skip) {
    std::vector<const ast::Expr*> terms;
    if (s.where && s.where->kind == Expr::Kind::kBinary && s.where->text == "AND") {
        for (const auto& a : s.where->args)
            terms.push_back(a.get());
    } else if (s.where) {
        terms.push_back(s.where.get());
    }
    std::vector<std::vector<const ast::Expr*>> outer(sources_.size());
    std::vector<const ast::Expr*> rest;
    for (const ast::Expr* t : terms) {
        if (skip && skip->count(t))
            continue;
        if (!hasOuterMark(*t)) {
            rest.push_back(t);
            continue;
        }
        outer[outerSource(*t)].push_back(t);
    }
    bool anyOuter = false;
    for (std::size_t i = 0; i < s.from.size(); ++i) {
        if (outer[i].empty())
            continue;
        anyOuter = true;
        for (const auto& item : s.from) {
            if (item.join != ast::FromItem::Join::kFirst &&
                item.join != ast::FromItem::Join::kComma)
                oraThrow(25156, "old style outer join (+) cannot be used with ANSI joins");
        }
    }
    // With (+) every source is a comma's: no ON.
    std::string sql = anyOuter ? std::string() : joinedSources(s);
    for (std::size_t i = 0; anyOuter && i < s.from.size(); ++i) {
        if (outer[i].empty())
            sql += (sql.empty() ? "" : ", ") + sources_[i].table->sqlName + " AS " +
                   sources_[i].sqlAlias;
    }
    if (sql.empty())
        oraThrow(1416, "two tables cannot be outer-joined to each other");
    for (std::size_t i = 0; i < s.from.size(); ++i) {
        if (outer[i].empty())
            continue;
        sql += " LEFT JOIN " + sources_[i].table->sqlName + " AS " + sources_[i].sqlAlias + " ON ";
        allowOuterMark_ = true;
        for (std::size_t k = 0; k < outer[i].size(); ++k)
            sql += (k ? " AND " : "") + expr(*outer[i][k]);
        allowOuterMark_ = false;
    }
    for (std::size_t k = 0; k < rest.size(); ++k)
        sql += (k ? " AND " : " WHERE ") + condition(*rest[k]);
    return sql;
}

// The table a join term with (+) makes optional: the term must be an
// equality whose one marked side names a column of this query.
std::size_t Translator::outerSource(const ast::Expr& term) {
    const bool equality = term.kind == Expr::Kind::kBinary && term.text == "=";
    const ast::Expr* marked = nullptr;
    if (equality) {
        for (const auto& side : term.args) {
            if (side->kind == Expr::Kind::kColumn && side->outerMark)
                marked = marked ? nullptr : side.get();
        }
    }
    if (!marked || hasOuterMark(*term.args[marked == term.args[0].get() ? 1 : 0]))
        oraThrow(1719, "outer join operator (+) not allowed in operand of OR or IN");
    allowOuterMark_ = true;
    const std::size_t mark = params_->size();
    const std::string sql = column(*marked, nullptr);
    dropParams(mark);
    allowOuterMark_ = false;
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        if (sql.rfind(sources_[i].sqlAlias + ".", 0) == 0)
            return i;
    }
    oraThrow(1719, "outer join operator (+) not allowed in operand of OR or IN");
}

std::string Translator::queryBlock(const ast::Select& s, std::vector<std::string>& names,
                                   bool ordered, std::vector<SortKey>* keys) {
    for (const auto& item : s.from)
        sources_.push_back(fromSource(item));
    const std::string from = rownumFrom(s);
    const int ownBefore = ownColumns_, outerBefore = outerColumns_;  // WHERE's, for ROWNUM
    std::vector<std::string> items;
    std::vector<const ast::Expr*> itemExprs;  // null for columns of a star
    bool grouped = !s.groupBy.empty() || (s.having != nullptr);
    std::vector<std::size_t> positionOf;  // select-list item -> result column
    for (const auto& item : s.items) {
        positionOf.push_back(items.size());
        if (item.star) {
            for (StarColumn& column : starColumns(sources_, item.starQualifier)) {
                items.push_back(std::move(column.sql));
                itemTypes_.push_back(column.type);
                itemKinds_.push_back(column.kind);
                itemExprs.push_back(nullptr);
                names.push_back(std::move(column.name));
            }
            continue;
        }
        SqlType itemType = SqlType::kUnknown;
        items.push_back(expr(*item.expr, &itemType, true));
        itemTypes_.push_back(itemType);
        itemKinds_.push_back(binaryKind(*item.expr));
        itemExprs.push_back(item.expr.get());
        if (containsAggregate(*item.expr))
            grouped = true;
        names.push_back(itemName(item));
    }
    // A scalar subquery of one plain value takes mv_single in place, keeping
    // the SQL one level shallower; an aggregate without GROUP BY needs none.
    // SQLite gives an aggregate over enclosing queries' columns alone to them:
    // such an item keeps the outer wrapper.
    const bool ownItem = ownColumns_ > ownBefore || outerColumns_ == outerBefore;
    if (singleValue_ && items.size() == 1 && !s.distinct && s.orderBy.empty() && !s.limit) {
        if (!grouped && ownItem) {
            items[0] = "mv_single(" + items[0] + ")";
            singleDone_ = true;
        } else if (s.groupBy.empty()) {
            singleDone_ = true;
        }
    }
    std::string sql = " FROM " + (from.empty() ? fromAndWhere(s) : from);
    std::set<std::string> groups;
    if (!s.groupBy.empty()) {
        sql += " GROUP BY ";
        for (std::size_t i = 0; i < s.groupBy.size(); ++i) {
            const std::string g = expr(*s.groupBy[i]);
            groups.insert(canonical(g));
            sql += (i ? ", " : "") + g;
        }
    }
    if (s.having) {
        // Group functions, but no analytic ones (ORA-30483): these come after HAVING.
        inAnalytic_ = true;
        sql += " HAVING " + condition(*s.having, true);
        inAnalytic_ = false;
    }
    if (grouped) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!itemExprs[i]) {
                if (!groups.count(items[i]))
                    oraThrow(s.groupBy.empty() ? 937 : 979,
                             s.groupBy.empty() ? "not a single-group group function"
                                               : "not a GROUP BY expression");
                continue;
            }
            checkGrouped(*itemExprs[i], groups, !s.groupBy.empty());
        }
        if (s.having)
            checkGrouped(*s.having, groups, !s.groupBy.empty());
    }
    std::string order;
    if (ordered && !s.orderBy.empty())
        order = orderBy(s, items, positionOf, groups, grouped, keys);
    std::string list = s.distinct ? "SELECT DISTINCT " : "SELECT ";
    for (std::size_t i = 0; i < items.size(); ++i)
        list += (i ? ", " : "") + items[i] + " AS x" + std::to_string(i);
    return list + hiddenKeys(keys) + sql + order;
}

// ORDER BY: select-list positions, aliases or expressions.
std::string Translator::orderBy(const ast::Select& s, const std::vector<std::string>& items,
                                const std::vector<std::size_t>& positionOf,
                                const std::set<std::string>& groups, bool grouped,
                                std::vector<SortKey>* keys) {
    const std::size_t itemCount = items.size();
    std::set<std::string> selected;
    for (const auto& item : items)
        selected.insert(canonical(item));
    std::string sql;
    sql += " ORDER BY ";
    for (std::size_t i = 0; i < s.orderBy.size(); ++i) {
        const ast::Expr& o = *s.orderBy[i].expr;
        std::string term;
        if (o.kind == Expr::Kind::kNumber) {
            dependsOnValue(o);
            const auto number = Number::parse(o.text);
            const auto position = number ? number->toInt() : std::nullopt;
            const std::int64_t* whole = position ? &*position : nullptr;
            if (!whole || *whole < 1 || *whole > static_cast<std::int64_t>(itemCount))
                oraThrow(1785, "ORDER BY item must be the number of a SELECT-list expression");
            term = "x" + std::to_string(*whole - 1);
        } else if (o.kind == Expr::Kind::kColumn && o.path.size() == 1) {
            for (std::size_t k = 0; k < s.items.size() && term.empty(); ++k) {
                if (s.items[k].alias && *s.items[k].alias == o.path[0])
                    term = "x" + std::to_string(positionOf[k]);
            }
        }
        if (term.empty()) {
            term = expr(o, nullptr, true);
            if (grouped)
                checkGrouped(o, groups, !s.groupBy.empty());
            else if (containsAggregate(o))
                oraThrow(937, "not a single-group group function");
            // After DISTINCT only what the select list gives can be sorted.
            if (s.distinct && std::find(items.begin(), items.end(), term) == items.end() &&
                selected.count(canonical(term)) == 0)
                oraThrow(1791, "not a SELECTed expression");
        }
        // The server puts NULLs last going up and first going down, unless
        // told otherwise.
        const bool descending = s.orderBy[i].descending;
        const bool nullsFirst = s.orderBy[i].nullsFirst.value_or(descending);
        const std::string direction =
            std::string(descending ? " DESC" : "") + (nullsFirst ? " NULLS FIRST" : " NULLS LAST");
        sql += (i ? ", " : "") + term + direction;
        if (keys)
            keys->push_back({term, direction});
    }
    return sql;
}

}  // namespace malvorn::localserver
