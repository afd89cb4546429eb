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
        case Expr::Kind::kFunction:
            if (e.text == "TO_BINARY_DOUBLE")
                return BinaryKind::kDouble;
            if (e.text == "TO_BINARY_FLOAT")
                return BinaryKind::kFloat;
            if (e.text == "CAST" && !e.keywords.empty())
                return binaryKindOf(e.keywords[0]);
            if ((e.text == "ABS" || e.text == "MIN" || e.text == "MAX") && e.args.size() == 1)
                return binaryKind(*e.args[0]);
            return BinaryKind::kNone;
        default:
            return BinaryKind::kNone;
    }
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

// TO_BINARY_DOUBLE(x), TO_BINARY_FLOAT(x) (a number, or text read as one),
// and TO_CHAR of a binary value without a format: Oracle's scientific form,
// as long as the value's significant digits.
std::optional<std::string> Translator::binaryCall(const ast::Expr& e, SqlType* type) {
    const bool toChar =
        e.text == "TO_CHAR" && e.args.size() == 1 && binaryKind(*e.args[0]) != BinaryKind::kNone;
    if (!toChar && e.text != "TO_BINARY_DOUBLE" && e.text != "TO_BINARY_FLOAT")
        return std::nullopt;
    if (e.args.size() != 1)
        wrongArguments();
    if (toChar) {
        set(type, SqlType::kText);
        return binaryTextSql(expr(*e.args[0]), binaryKind(*e.args[0]));
    }
    set(type, SqlType::kNumber);
    const bool single = e.text == "TO_BINARY_FLOAT";
    return sqlCall(F::kToBinary, {num(expr(*e.args[0])), bind(std::int64_t{single ? 1 : 0})});
}

std::string binaryTextSql(const std::string& sql, BinaryKind kind) {
    return sqlCall(F::kBinaryText, {num(sql), kind == BinaryKind::kFloat ? "1" : "0"});
}

bool takesText(const ColumnDef& c) {
    return columnKind(c) == ColumnKind::kCharacter;
}

std::string Translator::storedValue(const ast::Expr& e, const ColumnDef& c) {
    std::string sql = expr(e);
    return takesText(c) ? binaryAsText(e, std::move(sql)) : sql;
}

std::string Translator::textOf(const ast::Expr& e, const std::string& sql) const {
    const BinaryKind kind = binaryKind(e);
    return kind == BinaryKind::kNone ? sqlCall(F::kText, {sql}) : binaryTextSql(sql, kind);
}

std::string Translator::binaryAsText(const ast::Expr& e, std::string sql) const {
    const BinaryKind kind = binaryKind(e);
    return kind == BinaryKind::kNone ? sql : binaryTextSql(sql, kind);
}

}  // namespace malvorn::localserver
