// Translation of the TIMESTAMP calls. TIMESTAMPs travel as DATEs do (the
// translation's kDate, text that compares and sorts as the value does); what
// sets them apart, their fraction's precision, is found from the expression.
#include <algorithm>
#include <optional>

#include "localserver/errors.h"
#include "localserver/timestamps.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;

// The precision of CAST(... AS TIMESTAMP[(p)]); nullopt for any other target.
std::optional<int> castPrecision(const Expr& cast) {
    const std::vector<std::string>& k = cast.keywords;
    if (k.empty() || k[0] != "TIMESTAMP")
        return std::nullopt;
    const int precision = k.size() > 1 ? std::stoi(k[1]) : 6;
    if (precision > 9)
        oraThrow(30088, "datetime/interval precision is out of range");
    return precision;
}

}  // namespace

std::optional<int> Translator::timestampPrecision(const ast::Expr& e) {
    if (e.kind == Expr::Kind::kColumn) {
        // column() names the i-th column "<alias>.<prefix><i>"; its source
        // is this query's or an enclosing one's.
        const std::string sql = column(e, nullptr);
        const std::size_t dot = sql.rfind('.');
        const std::string alias = sql.substr(0, dot);
        for (const Translator* t = this; t; t = t->parent_) {
            for (const Source& s : t->sources_) {
                if (s.sqlAlias != alias)
                    continue;
                const auto index = std::stoul(sql.substr(dot + 1 + s.columnPrefix.size()));
                const ColumnDef& c = s.table->columns.at(index);
                if (c.dataType.rfind("TIMESTAMP", 0) != 0)
                    return std::nullopt;
                return c.scale.value_or(6);
            }
        }
        return std::nullopt;
    }
    if (e.kind != Expr::Kind::kFunction)
        return std::nullopt;
    const std::string& name = e.text;
    if (name == kTimestampLiteral || name == "TO_TIMESTAMP")
        return 9;
    if (name == "SYSTIMESTAMP")
        return 6;
    if (name == "CAST")
        return castPrecision(e);
    // These hand on their first argument's type.
    if ((name == "MAX" || name == "MIN" || name == "NVL" || name == "COALESCE") && !e.args.empty())
        return timestampPrecision(*e.args[0]);
    return std::nullopt;
}

std::string Translator::asDate(const ast::Expr& e, const std::string& sql) {
    return timestampPrecision(e) ? timestampCall(TimestampFunction::kToDate, {sql}) : sql;
}

void Translator::timestampsInArithmetic(const ast::Expr& e, std::vector<std::string>& terms,
                                        const std::vector<SqlType>& types) {
    if (std::count(types.begin(), types.end(), SqlType::kDate) != 1)
        return;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (types[i] == SqlType::kDate)
            terms[i] = asDate(*e.args[i], terms[i]);
    }
}

std::optional<std::string> Translator::timestampFunction(const ast::Expr& e, SqlType* type,
                                                         bool aggregates) {
    using TF = TimestampFunction;
    const std::string& name = e.text;
    const std::size_t n = e.args.size();
    auto arg = [&](std::size_t i) { return expr(*e.args[i], nullptr, aggregates); };
    if (name == "TO_CHAR") {
        const auto precision = n == 1 || n == 2 ? timestampPrecision(*e.args[0]) : std::nullopt;
        if (!precision)
            return std::nullopt;  // a DATE's, a number's: the common TO_CHAR
        set(type, SqlType::kText);
        return timestampCall(TF::kToChar,
                             {arg(0), n == 2 ? arg(1) : "NULL", std::to_string(*precision)});
    }
    if (name == kTimestampLiteral || name == "TO_TIMESTAMP") {
        if (n != 1 && n != 2)
            wrongArguments();
        set(type, SqlType::kDate);
        return timestampCall(TF::kToTimestamp, {arg(0), n == 2 ? arg(1) : "NULL"});
    }
    if (name == "SYSTIMESTAMP") {
        set(type, SqlType::kDate);
        return timestampCall(TF::kNow, {});
    }
    // The other casts, and a DATE's or a text's to DATE, are translate_scalar's.
    if (name == "CAST" && n == 1) {
        if (const auto precision = castPrecision(e)) {
            set(type, SqlType::kDate);
            return timestampCall(TF::kToPrecision, {arg(0), std::to_string(*precision)});
        }
        if (e.keywords.at(0) == "DATE" && timestampPrecision(*e.args[0])) {
            set(type, SqlType::kDate);
            return timestampCall(TF::kToDate, {arg(0)});
        }
    }
    return std::nullopt;
}

}  // namespace malvorn::localserver
