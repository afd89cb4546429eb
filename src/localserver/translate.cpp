// Translation of the server's expressions and queries into SQLite SQL.
#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include "localserver/errors.h"
#include "localserver/local_session.h"
#include "localserver/sql_functions.h"
#include "localserver/translator.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;
using F = ServerFunction;

// A column a source refuses to show (MERGE's target inside the INSERT): a
// subquery naming it gets this error, not its own ORA-00904.
class RefusedName : public oracle::OracleError {
  public:
    using OracleError::OracleError;
};

}  // namespace

SqlType typeOf(const ColumnDef& c) {
    if (columnKind(c) == ColumnKind::kNumber)
        return SqlType::kNumber;
    if (c.dataType == "DATE" || c.dataType.rfind("TIMESTAMP", 0) == 0)
        return SqlType::kDate;
    if (c.dataType == "CHAR" || c.dataType == "NCHAR")
        return SqlType::kChar;
    return SqlType::kText;
}

namespace {

bool isCharacter(SqlType t) {
    return t == SqlType::kText || t == SqlType::kChar || t == SqlType::kLob;
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
        i = j - 1;
        // A value a nested statement is passed: what the call passes.
        const Capture* captured = nullptr;
        for (const Capture& c : statement_ ? statement_->captures_ : captures_)
            captured = c.param == index ? &c : captured;
        if (captured) {
            out += "{" + statement_->host_->canonical(captured->sql) + "}";
            continue;
        }
        const SqlValue& v = params_->at(index - 1);
        if (origins_)
            origins_->valueDependent = true;
        out += std::holds_alternative<std::string>(v) ? "'" + std::get<std::string>(v) + "'"
                                                      : formatNumber(v);
    }
    return out;
}

bool isAggregate(const ast::Expr& e) {
    if (e.kind != Expr::Kind::kFunction || e.over)
        return false;
    return e.text == "COUNT" || e.text == "MAX" || e.text == "MIN" || e.text == "SUM" ||
           e.text == "AVG" || e.text == "LISTAGG";
}

std::string Translator::bind(SqlValue value) {
    params_->push_back(std::move(value));
    if (origins_)
        origins_->params.emplace_back();
    return "?" + std::to_string(params_->size());
}

std::string Translator::bindLiteral(const ast::Expr& e, SqlValue value, ParamOrigin::Kind kind) {
    std::string sql = bind(std::move(value));
    if (origins_ && e.token >= 0) {
        ParamOrigin& origin = origins_->params.back();
        origin.kind = kind;
        origin.token = e.token;
        // A folded sign is all the tree adds to a number's token.
        if (kind == ParamOrigin::Kind::kNumber)
            origin.sign = e.text.substr(0, e.text.find_first_not_of('-'));
    }
    return sql;
}

void Translator::dependsOnValue(const ast::Expr& e) {
    if (origins_ && (e.kind == Expr::Kind::kString || e.kind == Expr::Kind::kNumber))
        origins_->valueDependent = true;
}

std::string Translator::column(const ast::Expr& e, SqlType* type) {
    if (e.outerMark && !allowOuterMark_)
        oraThrow(1719, "outer join operator (+) not allowed in operand of OR or IN");
    const auto& path = e.path;
    const std::string& name = path.back();
    const Source* found = nullptr;
    int index = -1;
    for (std::size_t k = scopeBegin_; k < sources_.size() && k < scopeEnd_; ++k) {
        const Source& s = sources_[k];
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
    if (!found) {
        if (auto sequence = sequenceValue(e, type))
            return *sequence;
    }
    if (!found && parent_) {
        // A correlated name: the enclosing query's tables.
        try {
            std::string sql = parent_->column(e, type);
            ++outerColumns_;
            return lifted(std::move(sql), parent_->statement_);
        } catch (const RefusedName&) {
            throw;
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
    const ColumnDef& def = found->table->columns[static_cast<std::size_t>(index)];
    if (found->refusedCode)
        throw RefusedName(oracle::kServerErrorNumber,
                          oraMessage(found->refusedCode,
                                     found->refusedText + "\"" + found->table->owner + "\".\"" +
                                         found->table->name + "\".\"" + def.name + "\""),
                          kServerSource);
    set(type, typeOf(def));
    ++ownColumns_;
    return found->sqlAlias + "." + found->columnPrefix + std::to_string(index);
}

namespace {

bool isCondition(const ast::Expr& e) {
    switch (e.kind) {
        case Expr::Kind::kIsNull:
        case Expr::Kind::kInList:
        case Expr::Kind::kBetween:
        case Expr::Kind::kLike:
        case Expr::Kind::kExists:
            return true;
        case Expr::Kind::kUnary:
            return e.text == "NOT" && isCondition(*e.args[0]);
        case Expr::Kind::kBinary:
            if (e.text == "AND" || e.text == "OR") {
                return std::all_of(e.args.begin(), e.args.end(),
                                   [](const auto& a) { return isCondition(*a); });
            }
            return e.text == "=" || e.text == "<>" || e.text == "<" || e.text == ">" ||
                   e.text == "<=" || e.text == ">=";
        default:
            return false;
    }
}

}  // namespace

std::string Translator::condition(const ast::Expr& e, bool aggregates) {
    if (!isCondition(e))
        oraThrow(920, "invalid relational operator");
    // No sequence in a condition.
    const bool sequences = std::exchange(sequences_, false);
    std::string sql = expr(e, nullptr, aggregates);
    sequences_ = sequences;
    return sql;
}

std::string Translator::operand(const ast::Expr& e, SqlType other, bool aggregates, SqlType* type,
                                BinaryKind otherKind) {
    // A text literal next to a DATE or NUMBER is converted once, here, the way
    // the server converts it, so that comparisons see like with like.
    dependsOnValue(e);
    if (e.kind == Expr::Kind::kString && !e.text.empty()) {
        if (other == SqlType::kDate) {
            set(type, SqlType::kDate);
            return bind(formatStoredDate(parseDateLiteral(e.text)));
        }
        if (other == SqlType::kNumber && otherKind != BinaryKind::kNone) {
            set(type, SqlType::kNumber);
            return bind(binaryFromString(e.text, otherKind));
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
        l = operand(left, rightType, aggregates, &leftType, binaryKind(right));
    } else {
        l = expr(left, &leftType, aggregates);
        r = operand(right, leftType, aggregates, &rightType, binaryKind(left));
    }
    refuseLob(left, leftType);
    refuseLob(right, rightType);
    // A character value compared with a number is converted to a number.
    if (isCharacter(leftType) && rightType == SqlType::kNumber)
        l = num(l);
    if (isCharacter(rightType) && leftType == SqlType::kNumber)
        r = num(r);
    // CHAR against CHAR or a literal compares without trailing blanks, as the
    // server's blank-padded comparison does.
    // Two text literals compare blank-padded too.
    const bool leftPadded = leftType == SqlType::kChar || left.kind == Expr::Kind::kString;
    const bool rightPadded = rightType == SqlType::kChar || right.kind == Expr::Kind::kString;
    const bool literals = left.kind == Expr::Kind::kString && right.kind == Expr::Kind::kString;
    if ((leftType == SqlType::kChar || rightType == SqlType::kChar || literals) && leftPadded &&
        rightPadded)
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
            return e.text.empty() ? std::string("NULL")
                                  : bindLiteral(e, e.text, ParamOrigin::Kind::kText);
        case Expr::Kind::kNumber:
            return numberLiteral(e, type);
        case Expr::Kind::kColumn:
            return column(e, type);
        case Expr::Kind::kStar:
            oraThrow(936, "missing expression");
        case Expr::Kind::kSysdate:
            set(type, SqlType::kDate);
            bind(session_.sysdate());
            if (origins_)
                origins_->params.back().kind = ParamOrigin::Kind::kSysdate;
            return "?" + std::to_string(params_->size());
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
            return !e.text.empty() ? binaryCondition(e, aggregates)
                                   : "(" + expr(*e.args[0], nullptr, aggregates) +
                                         (e.negated ? " IS NOT NULL)" : " IS NULL)");
        case Expr::Kind::kSubquery:
            return scalarSubquery(*e.subquery, type);
        case Expr::Kind::kExists:
            set(type, SqlType::kUnknown);
            if (auto nested = nestedCondition(*e.subquery, nullptr, false))
                return *nested;
            return "(EXISTS (" + subquery(*e.subquery, false) + "))";
        case Expr::Kind::kInList: {
            set(type, SqlType::kUnknown);
            if (e.subquery) {
                const std::string probe = expr(*e.args[0], nullptr, aggregates);
                if (auto nested = nestedCondition(*e.subquery, &probe, e.negated))
                    return *nested;
                return "(" + probe + (e.negated ? " NOT IN (" : " IN (") +
                       subquery(*e.subquery, true) + "))";
            }
            return inList(e, aggregates);
        }
        case Expr::Kind::kBetween: {
            set(type, SqlType::kUnknown);
            SqlType valueType = SqlType::kUnknown;
            SqlType low = SqlType::kUnknown;
            SqlType high = SqlType::kUnknown;
            std::string value = expr(*e.args[0], &valueType, aggregates);
            const std::string from = operand(*e.args[1], valueType, aggregates, &low);
            const std::string to = operand(*e.args[2], valueType, aggregates, &high);
            if (isCharacter(valueType) && (low == SqlType::kNumber || high == SqlType::kNumber))
                value = num(value);
            return "(" + value + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + from + " AND " + to +
                   ")";
        }
        case Expr::Kind::kLike:
            set(type, SqlType::kUnknown);
            // LIKE compares text: a number takes its text form first.
            return "(" + textOf(*e.args[0], expr(*e.args[0], nullptr, aggregates)) +
                   (e.negated ? " NOT LIKE " : " LIKE ") +
                   textOf(*e.args[1], expr(*e.args[1], nullptr, aggregates)) + ")";
        case Expr::Kind::kFunction:
            return binaryChoice(e, function(e, type, aggregates), type);
        case Expr::Kind::kCase:
            return binaryChoice(e, caseExpr(e, type, aggregates), type);
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
        for (std::size_t i = 0; i < terms.size(); ++i)
            terms[i] = binaryAsText(*e.args[i], std::move(terms[i]));
        // A large object joins without the 4000-byte limit of text.
        const bool lob = std::find(types.begin(), types.end(), SqlType::kLob) != types.end();
        set(type, lob ? SqlType::kLob : SqlType::kText);
        return sqlCall(lob ? F::kConcatLob : F::kConcat, terms);
    }
    const bool anyDate = std::find(types.begin(), types.end(), SqlType::kDate) != types.end();
    if (anyDate) {
        timestampsInArithmetic(e, terms, types);
        return dateArithmetic(op, terms, types, type);
    }
    set(type, SqlType::kNumber);
    if (const BinaryKind kind = binaryKind(e); kind != BinaryKind::kNone)
        return binaryArithmetic(op, kind, terms);
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
                                            : condition(*e.args[i], aggregates);
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

}  // namespace malvorn::localserver
