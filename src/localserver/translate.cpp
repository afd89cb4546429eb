// Translation of the server's expressions and queries into SQLite SQL.
#include <algorithm>
#include <cctype>
#include <optional>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/sql_functions.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;
using F = ServerFunction;

std::string num(const std::string& sql) {
    return sqlCall(F::kNum, {sql});
}

SqlType typeOf(const ColumnDef& c) {
    if (c.dataType == "NUMBER" || c.dataType == "FLOAT")
        return SqlType::kNumber;
    if (c.dataType == "DATE" || c.dataType.rfind("TIMESTAMP", 0) == 0)
        return SqlType::kDate;
    if (c.dataType == "CHAR" || c.dataType == "NCHAR")
        return SqlType::kChar;
    return SqlType::kText;
}

bool isCharacter(SqlType t) {
    return t == SqlType::kText || t == SqlType::kChar;
}

void set(SqlType* out, SqlType value) {
    if (out)
        *out = value;
}

// The heading the server gives an unnamed select-list expression: its text
// without blanks, ASCII letters upper-cased outside quotes.
std::string headingOf(const std::string& source) {
    std::string out;
    char quote = 0;
    for (const char c : source) {
        if (quote) {
            out += c;
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            continue;
        } else {
            out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    return out;
}

}  // namespace

std::string Translator::canonical(const std::string& sql) const {
    // Parameters are numbered in order of appearance, so the same expression
    // written twice binds different numbers; compare the values instead.
    std::string out;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] != '?') {
            out += sql[i];
            continue;
        }
        std::size_t j = i + 1;
        std::size_t index = 0;
        while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])))
            index = index * 10 + static_cast<std::size_t>(sql[j++] - '0');
        const SqlValue& v = params_->at(index - 1);
        out += std::holds_alternative<std::string>(v) ? "'" + std::get<std::string>(v) + "'"
                                                      : formatNumber(v);
        i = j - 1;
    }
    return out;
}

bool isAggregate(const ast::Expr& e) {
    if (e.kind != Expr::Kind::kFunction)
        return false;
    return e.text == "COUNT" || e.text == "MAX" || e.text == "MIN" || e.text == "SUM" ||
           e.text == "AVG";
}

std::string Translator::bind(SqlValue value) {
    params_->push_back(std::move(value));
    return "?" + std::to_string(params_->size());
}

std::string Translator::column(const ast::Expr& e, SqlType* type) {
    if (e.outerMark && !allowOuterMark_)
        oraThrow(1719, "outer join operator (+) not allowed in operand of OR or IN");
    const auto& path = e.path;
    const std::string& name = path.back();
    const Source* found = nullptr;
    int index = -1;
    for (const Source& s : sources_) {
        if (path.size() >= 2) {
            if (path[path.size() - 2] != s.qualifier)
                continue;
            if (path.size() == 3 && path[0] != s.table->owner)
                continue;
        }
        const int i = s.table->findColumn(name);
        if (i < 0)
            continue;
        if (found)
            oraThrow(918, "column ambiguously defined");
        found = &s;
        index = i;
    }
    if (!found && parent_) {
        // A correlated name: the enclosing query's tables.
        try {
            std::string sql = parent_->column(e, type);
            ++outerColumns_;
            return sql;
        } catch (const oracle::OracleError&) {
            // Reported below as this query's own unknown name.
        }
    }
    if (!found) {
        if (sources_.empty())
            oraThrow(984, "column not allowed here");
        std::string shown;
        for (const auto& part : path)
            shown += (shown.empty() ? "" : ".") + part;
        invalidIdentifier(shown);
    }
    set(type, typeOf(found->table->columns[static_cast<std::size_t>(index)]));
    ++ownColumns_;
    return found->sqlAlias + ".c" + std::to_string(index);
}

std::string Translator::operand(const ast::Expr& e, SqlType other, bool aggregates, SqlType* type) {
    // A text literal next to a DATE or NUMBER is converted once, here, the way
    // the server converts it, so that comparisons see like with like.
    if (e.kind == Expr::Kind::kString && !e.text.empty()) {
        if (other == SqlType::kDate) {
            set(type, SqlType::kDate);
            return bind(formatStoredDate(parseDateLiteral(e.text)));
        }
        if (other == SqlType::kNumber) {
            auto number = parseNumber(e.text);
            if (!number)
                oraThrow(1722, "invalid number");
            set(type, SqlType::kNumber);
            return bind(*number);
        }
    }
    return expr(e, type, aggregates);
}

std::string Translator::comparison(const std::string& op, const ast::Expr& left,
                                   const ast::Expr& right, bool aggregates) {
    SqlType leftType = SqlType::kUnknown;
    SqlType rightType = SqlType::kUnknown;
    std::string l;
    std::string r;
    if (left.kind == Expr::Kind::kString) {
        r = expr(right, &rightType, aggregates);
        l = operand(left, rightType, aggregates, &leftType);
    } else {
        l = expr(left, &leftType, aggregates);
        r = operand(right, leftType, aggregates, &rightType);
    }
    // A character value compared with a number is converted to a number.
    if (isCharacter(leftType) && rightType == SqlType::kNumber)
        l = num(l);
    if (isCharacter(rightType) && leftType == SqlType::kNumber)
        r = num(r);
    // CHAR against CHAR or a literal compares without trailing blanks, as the
    // server's blank-padded comparison does.
    const bool leftPadded = leftType == SqlType::kChar || left.kind == Expr::Kind::kString;
    const bool rightPadded = rightType == SqlType::kChar || right.kind == Expr::Kind::kString;
    if ((leftType == SqlType::kChar || rightType == SqlType::kChar) && leftPadded && rightPadded)
        return "(rtrim(" + l + ", ' ') " + op + " rtrim(" + r + ", ' '))";
    return "(" + l + " " + op + " " + r + ")";
}

std::string Translator::expr(const ast::Expr& e, SqlType* type, bool aggregates) {
    switch (e.kind) {
        case Expr::Kind::kNull:
            set(type, SqlType::kUnknown);
            return "NULL";
        case Expr::Kind::kString:
            set(type, SqlType::kText);
            // '' is NULL, as the server has it.
            return e.text.empty() ? std::string("NULL") : bind(e.text);
        case Expr::Kind::kNumber: {
            set(type, SqlType::kNumber);
            auto number = parseNumber(e.text);
            if (!number)
                oraThrow(1722, "invalid number");
            return bind(*number);
        }
        case Expr::Kind::kColumn:
            return column(e, type);
        case Expr::Kind::kStar:
            oraThrow(936, "missing expression");
        case Expr::Kind::kSysdate:
            set(type, SqlType::kDate);
            return bind(session_.sysdate());
        case Expr::Kind::kUnary: {
            if (e.text == "NOT") {
                set(type, SqlType::kUnknown);
                return "(NOT " + expr(*e.args[0], nullptr, aggregates) + ")";
            }
            set(type, SqlType::kNumber);
            const std::string inner = num(expr(*e.args[0], nullptr, aggregates));
            return e.text == "-" ? sqlCall(F::kNeg, {inner}) : inner;
        }
        case Expr::Kind::kBinary:
            return binary(e, type, aggregates);
        case Expr::Kind::kIsNull:
            set(type, SqlType::kUnknown);
            return "(" + expr(*e.args[0], nullptr, aggregates) +
                   (e.negated ? " IS NOT NULL)" : " IS NULL)");
        case Expr::Kind::kSubquery:
            set(type, SqlType::kUnknown);
            return scalarSubquery(*e.subquery);
        case Expr::Kind::kExists:
            set(type, SqlType::kUnknown);
            return "(EXISTS (" + subquery(*e.subquery, false) + "))";
        case Expr::Kind::kInList: {
            set(type, SqlType::kUnknown);
            if (e.subquery) {
                return "(" + expr(*e.args[0], nullptr, aggregates) +
                       (e.negated ? " NOT IN (" : " IN (") + subquery(*e.subquery, true) + "))";
            }
            return inList(e, aggregates);
        }
        case Expr::Kind::kBetween: {
            set(type, SqlType::kUnknown);
            SqlType valueType = SqlType::kUnknown;
            const std::string value = expr(*e.args[0], &valueType, aggregates);
            return "(" + value + (e.negated ? " NOT BETWEEN " : " BETWEEN ") +
                   operand(*e.args[1], valueType, aggregates, nullptr) + " AND " +
                   operand(*e.args[2], valueType, aggregates, nullptr) + ")";
        }
        case Expr::Kind::kLike:
            set(type, SqlType::kUnknown);
            return "(" + expr(*e.args[0], nullptr, aggregates) +
                   (e.negated ? " NOT LIKE " : " LIKE ") + expr(*e.args[1], nullptr, aggregates) +
                   ")";
        case Expr::Kind::kFunction:
            return function(e, type, aggregates);
        case Expr::Kind::kCase:
            return caseExpr(e, type, aggregates);
    }
    oraThrow(936, "missing expression");
}

std::string Translator::binary(const ast::Expr& e, SqlType* type, bool aggregates) {
    const std::string& op = e.text;
    if (op == "AND" || op == "OR") {
        set(type, SqlType::kUnknown);
        std::string out = "(";
        for (std::size_t i = 0; i < e.args.size(); ++i)
            out += (i ? " " + op + " " : "") + expr(*e.args[i], nullptr, aggregates);
        return out + ")";
    }
    if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
        set(type, SqlType::kUnknown);
        return comparison(op, *e.args[0], *e.args[1], aggregates);
    }
    std::vector<std::string> terms;
    std::vector<SqlType> types;
    for (const auto& a : e.args) {
        SqlType t = SqlType::kUnknown;
        terms.push_back(expr(*a, &t, aggregates));
        types.push_back(t);
    }
    if (op == "||") {
        set(type, SqlType::kText);
        return sqlCall(F::kConcat, terms);
    }
    const bool anyDate = std::find(types.begin(), types.end(), SqlType::kDate) != types.end();
    if (anyDate)
        return dateArithmetic(op, terms, types, type);
    set(type, SqlType::kNumber);
    const F function = op == "+" ? F::kAdd : op == "-" ? F::kSub : op == "*" ? F::kMul : F::kDiv;
    return sqlCall(function, terms);
}

// Dates with + and -: date + days, date - days, date - date; left to right.
std::string Translator::dateArithmetic(const std::string& op, const std::vector<std::string>& terms,
                                       const std::vector<SqlType>& types, SqlType* type) {
    std::string l = terms[0];
    SqlType lt = types[0];
    for (std::size_t i = 1; i < terms.size(); ++i) {
        const std::string& r = terms[i];
        const SqlType rt = types[i];
        if (lt == SqlType::kDate && (op == "+" || op == "-") && rt != SqlType::kDate) {
            l = sqlCall(F::kDateAdd, {l, op == "-" ? sqlCall(F::kNeg, {num(r)}) : num(r)});
        } else if (op == "+" && rt == SqlType::kDate && lt != SqlType::kDate) {
            l = sqlCall(F::kDateAdd, {r, num(l)});
            lt = SqlType::kDate;
        } else if (lt == SqlType::kDate && rt == SqlType::kDate && op == "-") {
            l = sqlCall(F::kDateDiff, {l, r});
            lt = SqlType::kNumber;
        } else {
            oraThrow(932, "inconsistent datatypes: expected NUMBER got DATE");
        }
    }
    set(type, lt);
    return l;
}

std::string Translator::inList(const ast::Expr& e, bool aggregates) {
    // Oracle's limit on the values of one list.
    if (e.args.size() > 1001)
        oraThrow(1795, "maximum number of expressions in a list is 1000");
    SqlType valueType = SqlType::kUnknown;
    std::string value = expr(*e.args[0], &valueType, aggregates);
    std::string list;
    bool numbers = false;
    for (std::size_t i = 1; i < e.args.size(); ++i) {
        SqlType t = SqlType::kUnknown;
        list += (i > 1 ? ", " : "") + operand(*e.args[i], valueType, aggregates, &t);
        numbers = numbers || t == SqlType::kNumber;
    }
    if (isCharacter(valueType) && numbers)
        value = num(value);
    return "(" + value + (e.negated ? " NOT IN (" : " IN (") + list + "))";
}

std::string Translator::caseExpr(const ast::Expr& e, SqlType* type, bool aggregates) {
    std::size_t i = 0;
    SqlType subject = SqlType::kUnknown;
    std::string out = "CASE";
    if (e.distinct)
        out += " " + expr(*e.args[i++], &subject, aggregates);
    const std::size_t pairsEnd = e.args.size() - (e.negated ? 1 : 0);
    SqlType result = SqlType::kUnknown;
    for (; i < pairsEnd; i += 2) {
        const std::string when = e.distinct ? operand(*e.args[i], subject, aggregates, nullptr)
                                            : expr(*e.args[i], nullptr, aggregates);
        SqlType t = SqlType::kUnknown;
        out += " WHEN " + when + " THEN " + expr(*e.args[i + 1], &t, aggregates);
        if (result == SqlType::kUnknown)
            result = t;
    }
    if (e.negated)
        out += " ELSE " + expr(*e.args.back(), nullptr, aggregates);
    set(type, result);
    return out + " END";
}

void Translator::checkGrouped(const ast::Expr& e, const std::set<std::string>& groups,
                              bool hasGroupBy) {
    if (isAggregate(e))
        return;
    const std::size_t mark = params_->size();
    const std::string sql = canonical(expr(e, nullptr, true));
    params_->resize(mark);
    if (groups.count(sql))
        return;
    if (e.kind == Expr::Kind::kColumn) {
        if (hasGroupBy)
            oraThrow(979, "not a GROUP BY expression");
        oraThrow(937, "not a single-group group function");
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

const char* joinWord(ast::FromItem::Join join) {
    switch (join) {
        case ast::FromItem::Join::kFirst:
            return "";
        case ast::FromItem::Join::kComma:
            return ", ";
        case ast::FromItem::Join::kInner:
            return " JOIN ";
        case ast::FromItem::Join::kLeft:
            return " LEFT JOIN ";
        case ast::FromItem::Join::kRight:
            return " RIGHT JOIN ";
        case ast::FromItem::Join::kFull:
            return " FULL JOIN ";
        case ast::FromItem::Join::kCross:
            return " CROSS JOIN ";
    }
    return ", ";
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
std::string Translator::scalarSubquery(const ast::Select& s) {
    Translator inner(session_, *this);
    inner.singleValue_ = true;
    std::vector<std::string> names;
    const std::string sql = inner.select(s, names);
    if (names.size() > 1)
        oraThrow(913, "too many values");
    if (inner.singleDone_)
        return "(" + sql + ")";
    return "(SELECT mv_single(x0) FROM (" + sql + "))";
}

namespace {

bool hasOuterMark(const ast::Expr& e) {
    if (e.outerMark)
        return true;
    return std::any_of(e.args.begin(), e.args.end(),
                       [](const auto& a) { return hasOuterMark(*a); });
}

}  // namespace

// FROM and WHERE; equality terms of the WHERE with the (+) mark become LEFT
// JOINs of the marked table.
std::string Translator::fromAndWhere(const ast::Select& s) {
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
    std::string sql;
    for (std::size_t i = 0; i < s.from.size(); ++i) {
        if (!outer[i].empty())
            continue;
        const char* word = sql.empty() ? "" : (anyOuter ? ", " : joinWord(s.from[i].join));
        sql += word + sources_[i].table->sqlName + " AS " + sources_[i].sqlAlias;
        if (s.from[i].on)
            sql += " ON " + expr(*s.from[i].on);
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
        sql += (k ? " AND " : " WHERE ") + expr(*rest[k]);
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
    params_->resize(mark);
    allowOuterMark_ = false;
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        if (sql.rfind(sources_[i].sqlAlias + ".", 0) == 0)
            return i;
    }
    oraThrow(1719, "outer join operator (+) not allowed in operand of OR or IN");
}

std::string Translator::select(const ast::Select& s, std::vector<std::string>& names) {
    for (const auto& item : s.from) {
        Source source;
        source.table = session_.resolveTable(item.table);
        source.qualifier = item.alias ? *item.alias : item.table.name;
        source.sqlAlias = aliasPrefix_ + std::to_string(sources_.size());
        sources_.push_back(std::move(source));
    }
    // Select list.
    std::vector<std::string> items;
    std::vector<const ast::Expr*> itemExprs;  // null for columns of a star
    bool grouped = !s.groupBy.empty() || (s.having != nullptr);
    std::vector<std::size_t> positionOf;  // select-list item -> result column
    for (const auto& item : s.items) {
        positionOf.push_back(items.size());
        if (item.star) {
            bool any = false;
            for (const Source& src : sources_) {
                if (!item.starQualifier.empty() && src.qualifier != item.starQualifier)
                    continue;
                any = true;
                for (std::size_t i = 0; i < src.table->columns.size(); ++i) {
                    items.push_back(src.sqlAlias + ".c" + std::to_string(i));
                    itemExprs.push_back(nullptr);
                    names.push_back(src.table->columns[i].name);
                }
            }
            if (!any)
                invalidIdentifier(item.starQualifier);
            continue;
        }
        items.push_back(expr(*item.expr, nullptr, true));
        itemExprs.push_back(item.expr.get());
        if (containsAggregate(*item.expr))
            grouped = true;
        if (item.alias)
            names.push_back(*item.alias);
        else if (item.expr->kind == Expr::Kind::kColumn)
            names.push_back(item.expr->path.back());
        else
            names.push_back(headingOf(item.expr->source));
    }
    // A scalar subquery of one plain value takes mv_single in place, keeping
    // the SQL one level shallower; an aggregate without GROUP BY needs none.
    // SQLite gives an aggregate over the enclosing query's columns alone to
    // that query, so such an item keeps the outer wrapper.
    const bool ownItem = ownColumns_ > 0 || outerColumns_ == 0;
    if (singleValue_ && items.size() == 1 && !s.distinct && s.orderBy.empty()) {
        if (!grouped && ownItem) {
            items[0] = "mv_single(" + items[0] + ")";
            singleDone_ = true;
        } else if (s.groupBy.empty()) {
            singleDone_ = true;
        }
    }
    std::string sql = s.distinct ? "SELECT DISTINCT " : "SELECT ";
    for (std::size_t i = 0; i < items.size(); ++i)
        sql += (i ? ", " : "") + items[i] + " AS x" + std::to_string(i);
    sql += " FROM " + fromAndWhere(s);
    std::set<std::string> groups;
    if (!s.groupBy.empty()) {
        sql += " GROUP BY ";
        for (std::size_t i = 0; i < s.groupBy.size(); ++i) {
            const std::string g = expr(*s.groupBy[i]);
            groups.insert(canonical(g));
            sql += (i ? ", " : "") + g;
        }
    }
    if (s.having)
        sql += " HAVING " + expr(*s.having, nullptr, true);
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
    if (!s.orderBy.empty())
        sql += orderBy(s, items, positionOf, groups, grouped);
    return sql;
}

// ORDER BY: select-list positions, aliases or expressions.
std::string Translator::orderBy(const ast::Select& s, const std::vector<std::string>& items,
                                const std::vector<std::size_t>& positionOf,
                                const std::set<std::string>& groups, bool grouped) {
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
        // The server puts NULLs last going up and first going down.
        sql += (i ? ", " : "") + term +
               (s.orderBy[i].descending ? " DESC NULLS FIRST" : " NULLS LAST");
    }
    return sql;
}

}  // namespace malvorn::localserver
