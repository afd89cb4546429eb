// Translation of the server's function calls.
#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "encoding/ascii.h"
#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/sql_functions.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;
using F = ServerFunction;

}  // namespace

std::string Translator::function(const ast::Expr& e, SqlType* type, bool aggregates) {
    const std::string& name = e.text;
    const std::size_t n = e.args.size();
    if (name == "ROWNUM" && n == 0) {
        // Numbered in rownumFrom; UPDATE and DELETE have no numbering.
        if (rownum_.empty())
            oraThrow(976, "Specified pseudocolumn or operator not allowed here.");
        set(type, SqlType::kNumber);
        return rownum_;
    }
    if (e.over || e.withinGroup || name == "LISTAGG")
        return analytic(e, type, aggregates);
    if (isAggregate(e)) {
        if (!aggregates)
            oraThrow(934, "group function is not allowed here");
        if (n != 1)
            wrongArguments();
        const std::string distinct = e.distinct ? "DISTINCT " : "";
        if (name == "COUNT" && e.args[0]->kind == Expr::Kind::kStar) {
            set(type, SqlType::kNumber);
            return num("count(*)");
        }
        for (const auto& a : e.args) {
            if (isAggregate(*a))
                oraThrow(935, "group function is nested too deeply");
        }
        SqlType inner = SqlType::kUnknown;
        const int own = ownColumns_;
        const int outer = outerColumns_;
        const std::string value = expr(*e.args[0], &inner, false);
        // Over the enclosing query's columns alone SQLite would give the
        // aggregate to that query; the server's subset leaves it out.
        if (outerColumns_ > outer && ownColumns_ == own)
            oraThrow(934, "group function is not allowed here");
        if (name == "COUNT") {
            set(type, SqlType::kNumber);
            return num("count(" + distinct + value + ")");
        }
        if (name == "MAX" || name == "MIN") {
            set(type, inner);
            return (name == "MAX" ? "max(" : "min(") + distinct + value + ")";
        }
        set(type, SqlType::kNumber);
        return sumFunction(name, binaryKind(*e.args[0])) + "(" + distinct + num(value) + ")";
    }
    if (e.distinct)
        oraThrow(30482, "DISTINCT option not allowed for this function");
    if (auto sql = timestampFunction(e, type, aggregates))
        return *sql;
    if (auto sql = scalarFunction(e, type, aggregates))
        return *sql;
    if (auto sql = textFunction(e, type, aggregates))
        return *sql;
    if (auto sql = valueFunction(e, type, aggregates))
        return *sql;
    invalidIdentifier(name);
}

// A call of one of the text functions being translated: the handlers below
// turn it into SQLite's SQL, one handler per function name.
struct Translator::Call {
    Translator& t;
    const ast::Expr& e;
    SqlType* type;
    bool aggregates;

    std::size_t count() const { return e.args.size(); }
    std::string arg(std::size_t i, SqlType* argType = nullptr) {
        return t.expr(*e.args[i], argType, aggregates);
    }
    std::string text(std::size_t i) { return t.textOf(*e.args[i], arg(i)); }
    // An argument compared with or standing in for a value of type `other`.
    std::string operand(std::size_t i, SqlType other, SqlType* argType) {
        return t.operand(*e.args[i], other, aggregates, argType);
    }
    void takes(bool countIsRight) const {
        if (!countIsRight)
            wrongArguments();
    }

    using Handler = std::optional<std::string> (*)(Call&);
    static const std::unordered_map<std::string_view, Handler>& handlers();

    // DECODE takes two NULLs as equal; SQLite's IS does the same. The value
    // and the searches are compared as the first search's type: a number
    // against text compares as numbers, text against a number as text.
    static std::optional<std::string> decode(Call& c) {
        const std::size_t n = c.count();
        c.takes(n >= 3);
        SqlType subject = SqlType::kUnknown;
        std::string out = "CASE";
        std::string value = c.arg(0, &subject);
        const auto character = [](SqlType t) {
            return t == SqlType::kText || t == SqlType::kChar || t == SqlType::kLob;
        };
        const auto as = [&](std::string sql, SqlType from, SqlType to) {
            if (to == SqlType::kNumber && character(from))
                return num(sql);
            if (character(to) && from == SqlType::kNumber)
                return sqlCall(F::kText, {sql});
            return sql;
        };
        SqlType target = SqlType::kUnknown;
        SqlType result = SqlType::kUnknown;
        std::size_t i = 1;
        for (; i + 1 < n; i += 2) {
            SqlType searchType = SqlType::kUnknown;
            const bool dates = subject == SqlType::kDate;
            std::string search = dates ? c.operand(i, subject, &searchType) : c.arg(i, &searchType);
            if (i == 1) {
                target = searchType;
                value = as(value, subject, target);
            }
            search = as(search, searchType, target);
            SqlType t = SqlType::kUnknown;
            out += " WHEN " + value + " IS " + search + " THEN " + c.arg(i + 1, &t);
            if (result == SqlType::kUnknown)
                result = t;
        }
        if (i < n)
            out += " ELSE " + c.arg(i);
        set(c.type, result);
        return out + " END";
    }

    // USER without parentheses' arguments; with them it is no function.
    static std::optional<std::string> user(Call& c) {
        if (c.count() != 0)
            return std::nullopt;
        set(c.type, SqlType::kText);
        return c.t.bind(c.t.session_.userName());
    }

    static std::optional<std::string> nvl(Call& c) {
        const bool nvl = c.e.text == "NVL";
        c.takes(nvl ? c.count() == 2 : c.count() >= 2);
        SqlType first = SqlType::kUnknown;
        std::string out = (nvl ? "ifnull(" : "coalesce(") + c.arg(0, &first);
        for (std::size_t i = 1; i < c.count(); ++i) {
            SqlType t = SqlType::kUnknown;
            out += ", " + c.operand(i, first, &t);
            if (first == SqlType::kUnknown)
                first = t;
        }
        set(c.type, first);
        return out + ")";
    }

    // UPPER, LOWER, TRIM, and LTRIM and RTRIM with their optional set of
    // characters. An empty result is NULL on the server.
    static std::optional<std::string> caseOrTrim(Call& c) {
        const std::string& name = c.e.text;
        const bool takesSet = name == "LTRIM" || name == "RTRIM";
        c.takes(c.count() == 1 || (takesSet && c.count() == 2));
        set(c.type, SqlType::kText);
        std::string sqliteName = name;
        std::transform(name.begin(), name.end(), sqliteName.begin(), encoding::asciiLower);
        std::string out = "nullif(" + sqliteName + "(" + c.text(0);
        if (c.count() == 2)
            out += ", " + c.arg(1);
        return out + "), '')";
    }

    static std::optional<std::string> length(Call& c) {
        c.takes(c.count() == 1);
        set(c.type, SqlType::kNumber);
        return sqlCall(c.e.text == "LENGTH" ? F::kLength : F::kLengthB,
                       {c.t.binaryAsText(*c.e.args[0], c.arg(0))});
    }

    // Position 0 counts as 1 on the server.
    static std::optional<std::string> substr(Call& c) {
        c.takes(c.count() == 2 || c.count() == 3);
        set(c.type, SqlType::kText);
        const std::string position = sqlCall(F::kWhole, {c.arg(1)});
        std::string out = "nullif(substr(" + c.text(0) + ", CASE WHEN " + position +
                          " = 0 THEN 1 ELSE " + position + " END";
        if (c.count() == 3)
            out += ", " + sqlCall(F::kWhole, {c.arg(2)});
        return out + "), '')";
    }

    static std::optional<std::string> replace(Call& c) {
        c.takes(c.count() == 2 || c.count() == 3);
        set(c.type, SqlType::kText);
        return "nullif(replace(" + c.text(0) + ", " + c.arg(1) + ", " +
               (c.count() == 3 ? "ifnull(" + c.arg(2) + ", '')" : std::string("''")) + "), '')";
    }

    // GREATEST and LEAST compare as the first argument's type, the others
    // converted to it, and give NULL when any argument is NULL, as SQLite's
    // max() and min() of several values do (numbers are keys in numeric order).
    static std::optional<std::string> extreme(Call& c) {
        c.takes(c.count() >= 1);
        SqlType first = SqlType::kUnknown;
        const std::string value = c.arg(0, &first);
        set(c.type, first);
        if (first != SqlType::kNumber && first != SqlType::kUnknown)
            c.t.nonNumericFirst_.insert(&c.e);
        if (c.count() == 1)
            return value;
        const auto character = [](SqlType t) {
            return t == SqlType::kText || t == SqlType::kChar || t == SqlType::kLob;
        };
        std::string out = (c.e.text == "GREATEST" ? "max(" : "min(") + value;
        for (std::size_t i = 1; i < c.count(); ++i) {
            SqlType t = SqlType::kUnknown;
            std::string other = c.operand(i, first, &t);
            if (first == SqlType::kNumber && character(t))
                other = num(other);
            else if (character(first) && !character(t))
                other = c.t.textOf(*c.e.args[i], other);
            out += ", " + other;
        }
        return out + ")";
    }

    static std::optional<std::string> concat(Call& c) {
        c.takes(c.count() == 2);
        set(c.type, SqlType::kText);
        return sqlCall(F::kConcat, {c.t.binaryAsText(*c.e.args[0], c.arg(0)),
                                    c.t.binaryAsText(*c.e.args[1], c.arg(1))});
    }

    // Large objects are kept as text (bytes as hexadecimal), so the
    // conversions only pass the value on; the column checks the hex.
    static std::optional<std::string> largeObject(Call& c) {
        c.takes(c.count() == 1);
        set(c.type, SqlType::kLob);
        return c.arg(0);
    }
};

const std::unordered_map<std::string_view, Translator::Call::Handler>&
Translator::Call::handlers() {
    static const std::unordered_map<std::string_view, Handler> table = {
        {"DECODE", decode},    {"USER", user},           {"NVL", nvl},
        {"COALESCE", nvl},     {"UPPER", caseOrTrim},    {"LOWER", caseOrTrim},
        {"LTRIM", caseOrTrim}, {"RTRIM", caseOrTrim},    {"TRIM", caseOrTrim},
        {"LENGTH", length},    {"LENGTHB", length},      {"SUBSTR", substr},
        {"REPLACE", replace},  {"TO_CLOB", largeObject}, {"TO_BLOB", largeObject},
        {"CONCAT", concat},    {"GREATEST", extreme},    {"LEAST", extreme},
    };
    return table;
}

// DECODE, USER, NVL, COALESCE and the text functions; nullopt for others.
std::optional<std::string> Translator::textFunction(const ast::Expr& e, SqlType* type,
                                                    bool aggregates) {
    const auto& handlers = Call::handlers();
    const auto handler = handlers.find(e.text);
    if (handler == handlers.end())
        return std::nullopt;
    Call call{*this, e, type, aggregates};
    return handler->second(call);
}

// The number and date functions; nullopt for others.
std::optional<std::string> Translator::valueFunction(const ast::Expr& e, SqlType* type,
                                                     bool aggregates) {
    const std::string& name = e.text;
    const std::size_t n = e.args.size();
    auto arg = [&](std::size_t i, SqlType* t = nullptr) { return expr(*e.args[i], t, aggregates); };
    if (auto binary = binaryCall(e, type, aggregates))
        return binary;
    if (name == "ABS" || name == "ROUND" || name == "MOD" || name == "TO_NUMBER") {
        set(type, SqlType::kNumber);
        if (name == "ABS" && n == 1)
            return sqlCall(F::kAbs, {arg(0)});
        if (name == "TO_NUMBER" && n == 1)
            return num(arg(0));
        if (name == "ROUND" && (n == 1 || n == 2))
            return sqlCall(F::kRound, {num(arg(0)), n == 2 ? num(arg(1)) : "0"});
        if (name == "MOD" && n == 2)
            return sqlCall(F::kMod, {num(arg(0)), num(arg(1))});
        wrongArguments();
    }
    if (name == "HEXTORAW" || name == "RAWTOHEX") {
        if (n != 1)
            wrongArguments();
        set(type, SqlType::kText);
        return sqlCall(F::kHexToRaw, {arg(0)});
    }
    if (name == "TO_DATE") {
        if (n != 1 && n != 2)
            wrongArguments();
        set(type, SqlType::kDate);
        return sqlCall(F::kToDate, {arg(0), n == 2 ? arg(1) : "NULL"});
    }
    if (name == "TO_CHAR") {
        if (n != 1 && n != 2)
            wrongArguments();
        SqlType valueType = SqlType::kUnknown;
        const std::string value = arg(0, &valueType);
        set(type, SqlType::kText);
        return sqlCall(F::kToChar,
                       {value, n == 2 ? arg(1) : "NULL", valueType == SqlType::kDate ? "1" : "0"});
    }
    if (name == "TRUNC" && n == 2) {
        SqlType valueType = SqlType::kUnknown;
        const std::string value = arg(0, &valueType);
        if (valueType == SqlType::kDate)
            return std::nullopt;  // TRUNC(date, format) is not in the subset
        set(type, SqlType::kNumber);
        return sqlCall(F::kTrunc, {num(value), num(arg(1))});
    }
    if ((name == "CEIL" || name == "FLOOR") && n == 1) {
        // The whole part, one further down (FLOOR) or up (CEIL) when a
        // fraction was cut off.
        set(type, SqlType::kNumber);
        const std::string value = num(arg(0));
        const std::string cut = sqlCall(F::kTrunc, {value, "0"});
        const bool floor = name == "FLOOR";
        return "CASE WHEN " + value + (floor ? " < " : " > ") + cut + " THEN " +
               sqlCall(floor ? F::kSub : F::kAdd, {cut, "1"}) + " ELSE " + cut + " END";
    }
    if (name == "NVL2") {
        if (n != 3)
            wrongArguments();
        SqlType result = SqlType::kUnknown;
        const std::string then = arg(1, &result);
        set(type, result);
        return "CASE WHEN " + arg(0) + " IS NOT NULL THEN " + then + " ELSE " + arg(2) + " END";
    }
    if (name == "TRUNC" && n == 1) {
        SqlType valueType = SqlType::kUnknown;
        const std::string value = arg(0, &valueType);
        if (valueType == SqlType::kDate) {
            set(type, SqlType::kDate);
            return sqlCall(F::kTruncDate, {asDate(*e.args[0], value)});
        }
        set(type, SqlType::kNumber);
        return sqlCall(F::kTrunc, {num(value), "0"});
    }
    return std::nullopt;
}

}  // namespace malvorn::localserver
