// BINARY_DOUBLE and BINARY_FLOAT in expressions: which expressions are of
// those types (Oracle's numeric precedence: BINARY_DOUBLE, then
// BINARY_FLOAT, then NUMBER), their literals and the functions that make them.
#include <algorithm>

#include "localserver/binary_float.h"
#include "localserver/errors.h"
#include "localserver/translator.h"
#include "localserver/values.h"

namespace malvorn::localserver {

using ast::Expr;
using F = ServerFunction;

BinaryKind Translator::binaryKind(const ast::Expr& e) const {
    switch (e.kind) {
        case Expr::Kind::kNumber:
            return binaryLiteralKind(e.text);
        case Expr::Kind::kColumn: {
            const auto& path = e.path;
            for (std::size_t k = scopeBegin_; k < sources_.size() && k < scopeEnd_; ++k) {
                const Source& s = sources_[k];
                if (path.size() >= 2 && path[path.size() - 2] != s.qualifier)
                    continue;
                const int i = s.table->findColumn(path.back());
                if (i >= 0)
                    return binaryKindOf(s.table->columns[static_cast<std::size_t>(i)].dataType);
            }
            return parent_ ? parent_->binaryKind(e) : BinaryKind::kNone;
        }
        case Expr::Kind::kUnary:
            return e.text == "-" ? binaryKind(*e.args[0]) : BinaryKind::kNone;
        case Expr::Kind::kBinary: {
            if (e.text != "+" && e.text != "-" && e.text != "*" && e.text != "/")
                return BinaryKind::kNone;
            BinaryKind kind = BinaryKind::kNone;
            for (const auto& a : e.args)
                kind = std::max(kind, binaryKind(*a));
            return kind;
        }
        case Expr::Kind::kCase:
            return resultsKind(e);
        case Expr::Kind::kSubquery: {
            // Known once the subquery is translated, which its callers do first.
            const auto found = subqueryKinds_.find(e.subquery.get());
            return found == subqueryKinds_.end() ? BinaryKind::kNone : found->second;
        }
        case Expr::Kind::kFunction:
            if (isChoice(e))
                return resultsKind(e);
            if (e.text == "TO_BINARY_DOUBLE")
                return BinaryKind::kDouble;
            if (e.text == "TO_BINARY_FLOAT")
                return BinaryKind::kFloat;
            if (e.text == "CAST" && !e.keywords.empty())
                return binaryKindOf(e.keywords[0]);
            if ((e.text == "LAG" || e.text == "LEAD") && !e.args.empty())
                return binaryKind(*e.args[0]);
            if ((e.text == "ABS" || e.text == "MIN" || e.text == "MAX" || e.text == "SUM" ||
                 e.text == "AVG") &&
                e.args.size() == 1)
                return binaryKind(*e.args[0]);
            return BinaryKind::kNone;
        default:
            return BinaryKind::kNone;
    }
}

namespace {

// The positions of a choice's results: CASE's THEN and ELSE, DECODE's
// results and default, NVL2's last two, every argument of the others.
std::vector<std::size_t> resultPositions(const ast::Expr& e) {
    std::vector<std::size_t> at;
    const std::size_t n = e.args.size();
    if (e.kind == Expr::Kind::kCase) {
        const std::size_t pairsEnd = n - (e.negated ? 1 : 0);
        for (std::size_t i = e.distinct ? 2 : 1; i < pairsEnd; i += 2)
            at.push_back(i);
        if (e.negated)
            at.push_back(n - 1);
    } else if (e.text == "DECODE") {
        std::size_t i = 1;
        for (; i + 1 < n; i += 2)
            at.push_back(i + 1);
        if (i < n)
            at.push_back(i);
    } else {
        for (std::size_t i = e.text == "NVL2" ? 1 : 0; i < n; ++i)
            at.push_back(i);
    }
    return at;
}

}  // namespace

bool isChoice(const ast::Expr& e) {
    if (e.kind == Expr::Kind::kCase)
        return true;
    return e.kind == Expr::Kind::kFunction && !e.over &&
           (e.text == "NVL" || e.text == "NVL2" || e.text == "COALESCE" || e.text == "DECODE" ||
            e.text == "GREATEST" || e.text == "LEAST");
}

// Oracle gives a choice the highest numeric type among its results;
// GREATEST and LEAST whose first argument is text or a date give its type.
BinaryKind Translator::resultsKind(const ast::Expr& e) const {
    if (nonNumericFirst_.contains(&e))
        return BinaryKind::kNone;
    BinaryKind kind = BinaryKind::kNone;
    for (const std::size_t i : resultPositions(e)) {
        if (i < e.args.size())
            kind = std::max(kind, binaryKind(*e.args[i]));
    }
    return kind;
}

// A choice of binary type converts whichever result it takes to that type.
std::string Translator::binaryChoice(const ast::Expr& e, std::string sql, SqlType* type) const {
    if (!isChoice(e))
        return sql;
    const BinaryKind kind = resultsKind(e);
    if (kind == BinaryKind::kNone)
        return sql;
    set(type, SqlType::kNumber);
    return toBinarySql(sql, kind);
}

std::string toBinarySql(const std::string& sql, BinaryKind kind) {
    // Text goes in as it is: 'INF' and 'NaN' are values of the type.
    return sqlCall(F::kToBinary, {sql, kind == BinaryKind::kFloat ? "1" : "0"});
}

std::string Translator::numberLiteral(const ast::Expr& e, SqlType* type) {
    if (binaryLiteralKind(e.text) != BinaryKind::kNone)
        return binaryLiteral(e, type);
    set(type, SqlType::kNumber);
    auto number = parseNumber(e.text);
    if (!number)
        oraThrow(1722, "invalid number");
    return bindLiteral(e, *number, ParamOrigin::Kind::kNumber);
}

// 1.5d, 2e3f: the value rounded to the type; a literal's value then depends
// on the type, so no kept INSERT plan reads it again from its token.
std::string Translator::binaryLiteral(const ast::Expr& e, SqlType* type) {
    set(type, SqlType::kNumber);
    dependsOnValue(e);
    if (const auto constant = binaryConstant(e.text))
        return bind(constant->first);
    const auto number =
        binaryFromText(e.text.substr(0, e.text.size() - 1), binaryLiteralKind(e.text));
    if (!number)
        oraThrow(1722, "invalid number");
    return bind(*number);
}

// + - * / with a BINARY_DOUBLE or BINARY_FLOAT operand, in that arithmetic.
std::string Translator::binaryArithmetic(const std::string& op, BinaryKind kind,
                                         const std::vector<std::string>& terms) {
    std::string sql = num(terms[0]);
    for (std::size_t i = 1; i < terms.size(); ++i) {
        sql = sqlCall(F::kBinaryOp, {bind(op), sql, num(terms[i]),
                                     bind(std::int64_t{kind == BinaryKind::kFloat ? 1 : 0})});
    }
    return sql;
}

// TO_BINARY_DOUBLE(x), TO_BINARY_FLOAT(x) (a number, or text read as one);
// TO_CHAR(x) and TO_NUMBER(x), which a binary x changes: the first gives
// Oracle's scientific form, as long as the value's significant digits, the
// second refuses an infinity or NaN (ORA-01426). x's kind is known once it
// is translated (a scalar subquery's, for one).
std::optional<std::string> Translator::binaryCall(const ast::Expr& e, SqlType* type,
                                                  bool aggregates) {
    if ((e.text == "TO_CHAR" || e.text == "TO_NUMBER") && e.args.size() == 1) {
        SqlType valueType = SqlType::kUnknown;
        const std::string value = expr(*e.args[0], &valueType, aggregates);
        const BinaryKind kind = binaryKind(*e.args[0]);
        set(type, e.text == "TO_CHAR" ? SqlType::kText : SqlType::kNumber);
        if (e.text == "TO_NUMBER")
            return kind == BinaryKind::kNone
                       ? num(value)
                       : sqlCall(F::kCastNumber, {num(value), "NULL", "NULL"});
        if (kind != BinaryKind::kNone)
            return binaryTextSql(value, kind);
        return sqlCall(F::kToChar, {value, "NULL", valueType == SqlType::kDate ? "1" : "0"});
    }
    if (e.text != "TO_BINARY_DOUBLE" && e.text != "TO_BINARY_FLOAT")
        return std::nullopt;
    if (e.args.size() != 1)
        wrongArguments();
    set(type, SqlType::kNumber);
    const bool single = e.text == "TO_BINARY_FLOAT";
    return toBinarySql(expr(*e.args[0], nullptr, aggregates),
                       single ? BinaryKind::kFloat : BinaryKind::kDouble);
}

std::string binaryTextSql(const std::string& sql, BinaryKind kind) {
    return sqlCall(F::kBinaryText, {num(sql), kind == BinaryKind::kFloat ? "1" : "0"});
}

std::string storedAs(std::string sql, BinaryKind kind, const ColumnDef& c) {
    if (kind == BinaryKind::kNone || columnKind(c) != ColumnKind::kCharacter)
        return sql;
    return binaryTextSql(sql, kind);
}

std::string Translator::storedValue(const ast::Expr& e, const ColumnDef& c) {
    std::string sql = expr(e);
    return storedAs(std::move(sql), binaryKind(e), c);
}

std::string Translator::textOf(const ast::Expr& e, const std::string& sql) const {
    const BinaryKind kind = binaryKind(e);
    return kind == BinaryKind::kNone ? sqlCall(F::kText, {sql}) : binaryTextSql(sql, kind);
}

std::string Translator::binaryAsText(const ast::Expr& e, std::string sql) const {
    const BinaryKind kind = binaryKind(e);
    return kind == BinaryKind::kNone ? sql : binaryTextSql(sql, kind);
}

// x IS [NOT] NAN, x IS [NOT] INFINITE: of a NUMBER (or text read as one)
// always false; unknown for NULL, as a comparison is.
std::string Translator::binaryCondition(const ast::Expr& e, bool aggregates) {
    const std::string test = sqlCall(e.text == "NAN" ? F::kIsNan : F::kIsInfinite,
                                     {num(expr(*e.args[0], nullptr, aggregates))});
    return e.negated ? "(NOT " + test + ")" : "(" + test + ")";
}

}  // namespace malvorn::localserver
