// Translation of the server's function calls.
#include <optional>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/sql_functions.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;
using F = ServerFunction;

[[noreturn]] void wrongArguments() {
    oraThrow(909, "invalid number of arguments");
}

}  // namespace

std::string Translator::function(const ast::Expr& e, SqlType* type, bool aggregates) {
    const std::string& name = e.text;
    const std::size_t n = e.args.size();
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
        return (name == "SUM" ? "mv_sum(" : "mv_avg(") + distinct + num(value) + ")";
    }
    if (e.distinct)
        oraThrow(30482, "DISTINCT option not allowed for this function");
    if (auto sql = textFunction(e, type, aggregates))
        return *sql;
    if (auto sql = valueFunction(e, type, aggregates))
        return *sql;
    invalidIdentifier(name);
}

// DECODE, USER, NVL, COALESCE and the text functions; nullopt for others.
std::optional<std::string> Translator::textFunction(const ast::Expr& e, SqlType* type,
                                                    bool aggregates) {
    const std::string& name = e.text;
    const std::size_t n = e.args.size();
    auto arg = [&](std::size_t i, SqlType* t = nullptr) { return expr(*e.args[i], t, aggregates); };
    if (name == "DECODE") {
        if (n < 3)
            wrongArguments();
        // DECODE takes two NULLs as equal; SQLite's IS does the same.
        SqlType subject = SqlType::kUnknown;
        std::string out = "CASE";
        const std::string value = arg(0, &subject);
        SqlType result = SqlType::kUnknown;
        std::size_t i = 1;
        for (; i + 1 < n; i += 2) {
            SqlType t = SqlType::kUnknown;
            out += " WHEN " + value + " IS " + operand(*e.args[i], subject, aggregates, nullptr) +
                   " THEN " + arg(i + 1, &t);
            if (result == SqlType::kUnknown)
                result = t;
        }
        if (i < n)
            out += " ELSE " + arg(i);
        set(type, result);
        return out + " END";
    }
    if (name == "USER" && n == 0) {
        set(type, SqlType::kText);
        return bind(session_.userName());
    }
    if (name == "NVL" || name == "COALESCE") {
        if (name == "NVL" ? n != 2 : n < 2)
            wrongArguments();
        SqlType first = SqlType::kUnknown;
        std::string out = (name == "NVL" ? "ifnull(" : "coalesce(") + arg(0, &first);
        for (std::size_t i = 1; i < n; ++i) {
            SqlType t = SqlType::kUnknown;
            out += ", " + operand(*e.args[i], first, aggregates, &t);
            if (first == SqlType::kUnknown)
                first = t;
        }
        set(type, first);
        return out + ")";
    }
    if (name == "UPPER" || name == "LOWER" || name == "LTRIM" || name == "RTRIM" ||
        name == "TRIM") {
        if (n != 1 && !((name == "LTRIM" || name == "RTRIM") && n == 2))
            wrongArguments();
        set(type, SqlType::kText);
        std::string out = "nullif(" +
                          std::string(name == "UPPER"   ? "upper("
                                      : name == "LOWER" ? "lower("
                                      : name == "LTRIM" ? "ltrim("
                                      : name == "RTRIM" ? "rtrim("
                                                        : "trim(") +
                          sqlCall(F::kText, {arg(0)});
        if (n == 2)
            out += ", " + arg(1);
        return out + "), '')";
    }
    if (name == "LENGTH" || name == "LENGTHB") {
        if (n != 1)
            wrongArguments();
        set(type, SqlType::kNumber);
        return sqlCall(name == "LENGTH" ? F::kLength : F::kLengthB, {arg(0)});
    }
    if (name == "SUBSTR") {
        if (n != 2 && n != 3)
            wrongArguments();
        set(type, SqlType::kText);
        // Position 0 counts as 1 on the server.
        const std::string position = sqlCall(F::kWhole, {arg(1)});
        std::string out = "nullif(substr(" + sqlCall(F::kText, {arg(0)}) + ", CASE WHEN " +
                          position + " = 0 THEN 1 ELSE " + position + " END";
        if (n == 3)
            out += ", " + sqlCall(F::kWhole, {arg(2)});
        return out + "), '')";
    }
    if (name == "REPLACE") {
        if (n != 2 && n != 3)
            wrongArguments();
        set(type, SqlType::kText);
        return "nullif(replace(" + sqlCall(F::kText, {arg(0)}) + ", " + arg(1) + ", " +
               (n == 3 ? "ifnull(" + arg(2) + ", '')" : std::string("''")) + "), '')";
    }
    // Large objects are kept as text (bytes as hexadecimal), so the
    // conversions only pass the value on; the column checks the hex.
    if (name == "TO_CLOB" || name == "TO_BLOB") {
        if (n != 1)
            wrongArguments();
        set(type, SqlType::kLob);
        return arg(0);
    }
    return std::nullopt;
}

// The number and date functions; nullopt for others.
std::optional<std::string> Translator::valueFunction(const ast::Expr& e, SqlType* type,
                                                     bool aggregates) {
    const std::string& name = e.text;
    const std::size_t n = e.args.size();
    auto arg = [&](std::size_t i, SqlType* t = nullptr) { return expr(*e.args[i], t, aggregates); };
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
    if (name == "TRUNC" && n == 1) {
        SqlType valueType = SqlType::kUnknown;
        const std::string value = arg(0, &valueType);
        if (valueType == SqlType::kDate) {
            set(type, SqlType::kDate);
            return sqlCall(F::kTruncDate, {value});
        }
        set(type, SqlType::kNumber);
        return sqlCall(F::kTrunc, {num(value), "0"});
    }
    return std::nullopt;
}

}  // namespace malvorn::localserver
