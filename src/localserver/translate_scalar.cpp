// Translation of the text, number and date functions kept beside their
// implementations in scalar_functions.cpp and date_functions.cpp.
#include "localserver/errors.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;
using F = ServerFunction;

bool isBytes(const ColumnDef* c) {
    return c && (c->dataType == "RAW" || c->dataType == "BLOB");
}

}  // namespace

SqlType Translator::typeOnly(const ast::Expr& e, bool aggregates) {
    const std::size_t mark = params_->size();
    const std::size_t originMark = origins_ ? origins_->params.size() : 0;
    const int own = ownColumns_;
    const int outer = outerColumns_;
    SqlType type = SqlType::kUnknown;
    expr(e, &type, aggregates);
    dropParams(mark);
    if (origins_)
        origins_->params.resize(originMark);
    ownColumns_ = own;
    outerColumns_ = outer;
    return type;
}

const ColumnDef* Translator::columnDefOf(const ast::Expr& e) {
    if (e.kind != Expr::Kind::kColumn)
        return nullptr;
    const int own = ownColumns_;
    const int outer = outerColumns_;
    const std::string sql = column(e, nullptr);
    ownColumns_ = own;
    outerColumns_ = outer;
    for (const Source& s : sources_) {
        const std::string prefix = s.sqlAlias + "." + s.columnPrefix;
        if (sql.rfind(prefix, 0) != 0 ||
            sql.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
            continue;
        const auto index = std::stoul(sql.substr(prefix.size()));
        return index < s.table->columns.size() ? &s.table->columns[index] : nullptr;
    }
    return nullptr;
}

void Translator::refuseLob(const ast::Expr& e, SqlType type) {
    std::string name = type == SqlType::kLob ? "CLOB" : "";
    if (const ColumnDef* c = columnDefOf(e)) {
        if (c->dataType == "CLOB" || c->dataType == "NCLOB" || c->dataType == "BLOB")
            name = c->dataType;
    }
    if (!name.empty())
        oraThrow(932, "inconsistent datatypes: expected - got " + name);
}

// INSTR, LPAD, RPAD, INITCAP, TRIM(... FROM ...), TO_NUMBER and TO_CHAR
// with a number format, LENGTH of bytes, CAST, DBMS_LOB; then the dates.
std::optional<std::string> Translator::scalarFunction(const ast::Expr& e, SqlType* type,
                                                      bool aggregates) {
    const std::string& name = e.text;
    const std::size_t n = e.args.size();
    auto arg = [&](std::size_t i, SqlType* t = nullptr) { return expr(*e.args[i], t, aggregates); };
    auto text = [&](std::size_t i) { return textOf(*e.args[i], arg(i)); };
    if (name == "INSTR") {
        if (n < 2 || n > 4)
            wrongArguments();
        set(type, SqlType::kNumber);
        return sqlCall(F::kInstr,
                       {text(0), text(1), n > 2 ? num(arg(2)) : "1", n > 3 ? num(arg(3)) : "1"});
    }
    if (name == "LPAD" || name == "RPAD") {
        if (n < 2 || n > 3)
            wrongArguments();
        set(type, SqlType::kText);
        return sqlCall(
            F::kPad, {text(0), num(arg(1)), n > 2 ? text(2) : "NULL", name == "LPAD" ? "1" : "0"});
    }
    if (name == "INITCAP") {
        if (n != 1)
            wrongArguments();
        set(type, SqlType::kText);
        return sqlCall(F::kInitCap, {text(0)});
    }
    if (name == "TRIM" && !e.keywords.empty()) {
        set(type, SqlType::kText);
        return sqlCall(F::kTrimSide,
                       {text(0), n > 1 ? text(1) : "NULL", "'" + e.keywords[0] + "'"});
    }
    if (name == "TO_NUMBER" && n == 2) {
        set(type, SqlType::kNumber);
        return sqlCall(F::kToNumberFmt, {text(0), text(1)});
    }
    if (name == "TO_CHAR" && n == 2 && typeOnly(*e.args[0], aggregates) != SqlType::kDate) {
        set(type, SqlType::kText);
        return sqlCall(F::kToCharNum, {num(arg(0)), text(1)});
    }
    if ((name == "LENGTH" || name == "LENGTHB") && n == 1) {
        const ast::Expr& a = *e.args[0];
        const bool raw =
            isBytes(columnDefOf(a)) || (a.kind == Expr::Kind::kFunction && a.text == "HEXTORAW");
        if (!raw)
            return std::nullopt;
        set(type, SqlType::kNumber);
        return sqlCall(F::kRawLength, {arg(0)});
    }
    if (name == "CAST")
        return cast(e, type, aggregates);
    if (name == "DBMS_LOB.GETLENGTH" || name == "DBMS_LOB.SUBSTR") {
        const bool length = name == "DBMS_LOB.GETLENGTH";
        if (length ? n != 1 : (n < 1 || n > 3))
            wrongArguments();
        const bool bytes = isBytes(columnDefOf(*e.args[0]));
        if (length) {
            set(type, SqlType::kNumber);
            return sqlCall(bytes ? F::kRawLength : F::kLength, {arg(0)});
        }
        set(type, SqlType::kText);
        return sqlCall(F::kLobSubstr, {arg(0), n > 1 ? num(arg(1)) : "32767",
                                       n > 2 ? num(arg(2)) : "1", bytes ? "1" : "0"});
    }
    return dateFunction(e, type, aggregates);
}

std::optional<std::string> Translator::dateFunction(const ast::Expr& e, SqlType* type,
                                                    bool aggregates) {
    const std::string& name = e.text;
    const std::size_t n = e.args.size();
    auto date = [&](std::size_t i) {
        return asDate(*e.args[i], operand(*e.args[i], SqlType::kDate, aggregates, nullptr));
    };
    auto arg = [&](std::size_t i) { return expr(*e.args[i], nullptr, aggregates); };
    if (name == "ADD_MONTHS" || name == "MONTHS_BETWEEN") {
        if (n != 2)
            wrongArguments();
        const bool add = name == "ADD_MONTHS";
        set(type, add ? SqlType::kDate : SqlType::kNumber);
        return add ? sqlCall(F::kAddMonths, {date(0), num(arg(1))})
                   : sqlCall(F::kMonthsBetween, {date(0), date(1)});
    }
    if (name == "LAST_DAY") {
        if (n != 1)
            wrongArguments();
        set(type, SqlType::kDate);
        return sqlCall(F::kLastDay, {date(0)});
    }
    if ((name == "TRUNC" && n == 2) || (name == "ROUND" && (n == 1 || n == 2))) {
        if (typeOnly(*e.args[0], aggregates) != SqlType::kDate)
            return std::nullopt;
        set(type, SqlType::kDate);
        const std::string format = n == 2 ? sqlCall(F::kText, {arg(1)}) : "'DD'";
        return sqlCall(name == "TRUNC" ? F::kDateTruncTo : F::kDateRound, {date(0), format});
    }
    if (name == "EXTRACT") {
        const std::string& field = e.keywords.at(0);
        const ColumnDef* column = columnDefOf(*e.args[0]);
        const bool timestamp = column && column->dataType.rfind("TIMESTAMP", 0) == 0;
        const bool dayField = field == "YEAR" || field == "MONTH" || field == "DAY";
        if (typeOnly(*e.args[0], aggregates) != SqlType::kDate || (!dayField && !timestamp))
            oraThrow(30076, "invalid extract field for extract source");
        set(type, SqlType::kNumber);
        return sqlCall(F::kExtract, {arg(0), "'" + field + "'"});
    }
    return std::nullopt;
}

// CAST(value AS type): numbers, character types and DATE.
std::string Translator::cast(const ast::Expr& e, SqlType* type, bool aggregates) {
    const std::vector<std::string>& k = e.keywords;
    const std::string& target = k.at(0);
    SqlType from = SqlType::kUnknown;
    const std::string value = expr(*e.args[0], &from, aggregates);
    auto sizeAt = [&](std::size_t i) { return k.size() > i ? k[i] : std::string("NULL"); };
    // The length is written into the SQL: a kept INSERT must not reuse it.
    if (origins_ && k.size() > 1)
        origins_->valueDependent = true;
    if (target == "NUMBER" || target == "INTEGER" || target == "INT" || target == "DECIMAL" ||
        target == "SMALLINT" || target == "FLOAT" || target == "BINARY_DOUBLE" ||
        target == "BINARY_FLOAT") {
        if (from == SqlType::kDate || from == SqlType::kLob)
            oraThrow(932, "inconsistent datatypes: expected NUMBER got DATE");
        set(type, SqlType::kNumber);
        if (const BinaryKind kind = binaryKindOf(target); kind != BinaryKind::kNone)
            return toBinarySql(value, kind);
        const bool whole = target == "INTEGER" || target == "INT" || target == "SMALLINT";
        const bool exact = target == "NUMBER" || target == "DECIMAL";
        return sqlCall(F::kCastNumber, {num(value), exact ? sizeAt(1) : "NULL",
                                        whole   ? "0"
                                        : exact ? sizeAt(2)
                                                : "NULL"});
    }
    if (target == "VARCHAR2" || target == "NVARCHAR2" || target == "VARCHAR" || target == "CHAR" ||
        target == "NCHAR") {
        const bool fixed = target == "CHAR" || target == "NCHAR";
        if (k.size() < 2 && !fixed)
            oraThrow(906, "missing left parenthesis");
        const int length = k.size() < 2 ? 1 : std::stoi(k[1]);
        if (length < 1 || length > (fixed ? 2000 : 4000))
            oraThrow(910, "specified length too long for its datatype");
        set(type, fixed ? SqlType::kChar : SqlType::kText);
        const std::string text = from == SqlType::kDate ? sqlCall(F::kToChar, {value, "NULL", "1"})
                                                        : textOf(*e.args[0], value);
        return sqlCall(F::kCastText, {text, std::to_string(length), fixed ? "1" : "0"});
    }
    if (target == "DATE") {
        if (from == SqlType::kNumber)
            oraThrow(932, "inconsistent datatypes: expected DATE got NUMBER");
        set(type, SqlType::kDate);
        return from == SqlType::kDate ? value : sqlCall(F::kToDate, {value, "NULL"});
    }
    oraThrow(902, "invalid datatype");
}

}  // namespace malvorn::localserver
