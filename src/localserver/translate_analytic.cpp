// Translation of analytic functions (OVER) into SQLite's window functions,
// and of LISTAGG.
#include "localserver/errors.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;
using F = ServerFunction;

std::string boundSql(const ast::FrameBound& b) {
    using K = ast::FrameBound::Kind;
    switch (b.kind) {
        case K::kUnboundedPreceding:
            return "UNBOUNDED PRECEDING";
        case K::kPreceding:
            return std::to_string(b.offset) + " PRECEDING";
        case K::kCurrentRow:
            return "CURRENT ROW";
        case K::kFollowing:
            return std::to_string(b.offset) + " FOLLOWING";
        case K::kUnboundedFollowing:
            return "UNBOUNDED FOLLOWING";
    }
    return "CURRENT ROW";
}

bool hasOffset(const ast::FrameBound& b) {
    return b.kind == ast::FrameBound::Kind::kPreceding ||
           b.kind == ast::FrameBound::Kind::kFollowing;
}

// The server's order: Nulls last going up, first going down, unless told.
std::string direction(const ast::OrderItem& o) {
    const bool nullsFirst = o.nullsFirst.value_or(o.descending);
    return std::string(o.descending ? " DESC" : "") + (nullsFirst ? " NULLS FIRST" : " NULLS LAST");
}

// A RANGE reaching n before or after the current row measures its one key,
// a number or a date in days; the ORDER BY of such a frame "must be a
// numeric or DATE data type" (Oracle's SQL reference, Analytic Functions).
bool measuredFrame(const ast::Window& w) {
    if (!w.frame || w.frame->rows || !(hasOffset(w.frame->start) || hasOffset(w.frame->end)))
        return false;
    if (w.orderBy.size() != 1)
        oraThrow(30486, "invalid window aggregation group in the window clause");
    return true;
}

}  // namespace

std::string Translator::windowSql(const ast::Window& w) {
    std::string sql = "OVER (";
    for (std::size_t i = 0; i < w.partitionBy.size(); ++i)
        sql += (i ? ", " : "PARTITION BY ") + expr(*w.partitionBy[i], nullptr, true);
    for (std::size_t i = 0; i < w.orderBy.size(); ++i) {
        sql += (i                       ? ", "
                : w.partitionBy.empty() ? "ORDER BY "
                                        : " ORDER BY ") +
               expr(*w.orderBy[i].expr, nullptr, true) + direction(w.orderBy[i]);
    }
    if (measuredFrame(w)) {
        // mv_range measures each row's frame itself over the whole partition;
        // the ranking functions and LAG/LEAD read no frame.
        sql += " ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING";
    } else if (w.frame) {
        sql += std::string(w.frame->rows ? " ROWS" : " RANGE") + " BETWEEN " +
               boundSql(w.frame->start) + " AND " + boundSql(w.frame->end);
    }
    return sql + ")";
}

// mv_range(value, key, "FUNCTION key-kind direction nulls start offset end
// offset") over the whole partition.
std::string Translator::rangeAggregate(const std::string& function, const std::string& value,
                                       const ast::Window& w, BinaryKind kind) {
    SqlType t = SqlType::kUnknown;
    const ast::OrderItem& o = w.orderBy[0];
    const std::string key = expr(*o.expr, &t, true);
    if (t == SqlType::kText || t == SqlType::kChar || t == SqlType::kLob)
        oraThrow(902, "invalid datatype");
    const auto bound = [](const ast::FrameBound& b) {
        return std::to_string(static_cast<int>(b.kind)) + " " + std::to_string(b.offset);
    };
    const std::string shape = function + (t == SqlType::kDate ? " D" : " N") +
                              (o.descending ? " D" : " A") +
                              (o.nullsFirst.value_or(o.descending) ? " F " : " L ") +
                              bound(w.frame->start) + " " + bound(w.frame->end) +
                              (kind == BinaryKind::kNone    ? ""
                               : kind == BinaryKind::kFloat ? " BF"
                                                            : " BD");
    return "mv_range(" + value + ", " + key + ", " + bind(shape) + ") " + windowSql(w);
}

std::string Translator::analytic(const ast::Expr& e, SqlType* type, bool aggregates) {
    const std::string& name = e.text;
    if (name == "LISTAGG" && !e.withinGroup)
        oraThrow(2000, "missing WITHIN keyword");
    if (!e.over)
        return listAggregate(e, type, aggregates);
    if (!aggregates || inAnalytic_)
        oraThrow(30483, "window  functions are not allowed here");
    // DISTINCT reads a whole partition: no ORDER BY (ORA-30487), no frame.
    if (e.distinct && (!e.over->orderBy.empty() || e.over->frame))
        oraThrow(30487, "ORDER BY not allowed here");
    struct Inside {
        bool& flag;
        ~Inside() { flag = false; }
    } inside{inAnalytic_};
    inAnalytic_ = true;
    const std::size_t n = e.args.size();
    const bool ordered = !e.over->orderBy.empty();
    auto arg = [&](std::size_t i, SqlType* t = nullptr) { return expr(*e.args[i], t, true); };
    if (name == "ROW_NUMBER" || name == "RANK" || name == "DENSE_RANK") {
        if (n != 0)
            wrongArguments();
        if (!ordered)
            oraThrow(30485, "missing ORDER BY expression in the OVER clause");
        set(type, SqlType::kNumber);
        std::string fn = name == "ROW_NUMBER" ? "row_number()"
                         : name == "RANK"     ? "rank()"
                                              : "dense_rank()";
        return num(fn + " " + windowSql(*e.over));
    }
    if (name == "LAG" || name == "LEAD") {
        if (n < 1 || n > 3)
            wrongArguments();
        if (!ordered)
            oraThrow(30485, "missing ORDER BY expression in the OVER clause");
        SqlType t = SqlType::kUnknown;
        std::string sql = (name == "LAG" ? "lag(" : "lead(") + arg(0, &t);
        if (n > 1)
            sql += ", " + sqlCall(F::kWhole, {num(arg(1))});
        if (n > 2)
            sql += ", " + operand(*e.args[2], t, true, nullptr);
        set(type, t);
        return sql + ") " + windowSql(*e.over);
    }
    if (name == "LISTAGG") {
        if (ordered)
            oraThrow(30487, "ORDER BY not allowed here");
        return listAggregate(e, type, true) + " " + windowSql(*e.over);
    }
    if (name != "SUM" && name != "AVG" && name != "COUNT" && name != "MIN" && name != "MAX")
        invalidIdentifier(name);
    if (n != 1)
        wrongArguments();
    const bool distinct = e.distinct && name != "MIN" && name != "MAX";
    if (distinct && e.args[0]->kind == Expr::Kind::kStar)
        oraThrow(936, "missing expression");
    const bool measured = measuredFrame(*e.over);
    if (name == "COUNT") {
        set(type, SqlType::kNumber);
        const bool star = e.args[0]->kind == Expr::Kind::kStar;
        if (measured)
            return rangeAggregate(name, star ? "1" : arg(0), *e.over);
        return num((distinct ? "mv_count_distinct(" : "count(") + (star ? "*" : arg(0)) + ") " +
                   windowSql(*e.over));
    }
    SqlType t = SqlType::kUnknown;
    const std::string value = arg(0, &t);
    if (name == "MIN" || name == "MAX") {
        set(type, t);
        if (measured)
            return rangeAggregate(name, value, *e.over);
        return (name == "MIN" ? "min(" : "max(") + value + ") " + windowSql(*e.over);
    }
    set(type, SqlType::kNumber);
    return windowSum(e, num(value), distinct, measured);
}

// SUM or AVG OVER a window: exact for NUMBERs, in the IEEE arithmetic of
// a binary argument's type, over a measured frame and DISTINCT too.
std::string Translator::windowSum(const ast::Expr& e, const std::string& value, bool distinct,
                                  bool measured) {
    const BinaryKind kind = binaryKind(*e.args[0]);
    if (measured)
        return rangeAggregate(e.text, value, *e.over, kind);
    return sumFunction(e.text, kind, distinct) + "(" + value + ") " + windowSql(*e.over);
}

// LISTAGG(value [, separator]) WITHIN GROUP (ORDER BY keys), as an
// aggregate: mv_listagg gets each key after its direction.
std::string Translator::listAggregate(const ast::Expr& e, SqlType* type, bool aggregates) {
    if (!aggregates)
        oraThrow(934, "group function is not allowed here");
    const std::size_t n = e.args.size();
    if (n < 1 || n > 2)
        wrongArguments();
    std::string sql = std::string(e.distinct ? "mv_listagg_distinct(" : "mv_listagg(") +
                      textOf(*e.args[0], expr(*e.args[0])) + ", " +
                      (n > 1 ? sqlCall(F::kText, {expr(*e.args[1])}) : std::string("NULL"));
    for (const ast::OrderItem& key : e.withinGroup->orderBy) {
        const bool nullsFirst = key.nullsFirst.value_or(key.descending);
        sql += std::string(", '") + (key.descending ? "D" : "A") + (nullsFirst ? "F" : "L") +
               "', " + expr(*key.expr);
    }
    set(type, SqlType::kText);
    return sql + ")";
}

}  // namespace malvorn::localserver
