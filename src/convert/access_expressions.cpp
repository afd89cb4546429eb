// Access SQL expressions read and written the Oracle way.
#include "convert/access_translator.h"
#include "convert/safe_names.h"

namespace malvorn::convert::access {
namespace {

bool textConstant(const Expr& a, const Expr& b) {
    return a.textLiteral || b.textLiteral;
}

}  // namespace

Expr Parser::expression() {
    Expr left = andExpr();
    while (acceptWord("or")) {
        const Expr right = andExpr();
        left = {operand(left, kOr) + " OR " + operand(right, kOr), kOr};
    }
    if (isWord("xor") || isWord("eqv") || isWord("imp"))
        throw TranslationRefused("演算子 " + peek().text + " は Oracle にありません");
    return left;
}

Expr Parser::andExpr() {
    Expr left = notExpr();
    while (acceptWord("and")) {
        const Expr right = notExpr();
        left = {operand(left, kAnd) + " AND " + operand(right, kAnd), kAnd};
    }
    return left;
}

Expr Parser::notExpr() {
    if (acceptWord("not")) {
        const Expr e = notExpr();
        return {"NOT " + operand(e, kNot), kNot};
    }
    return comparison();
}

Expr Parser::comparison() {
    const Expr left = concatenation();
    return comparisonRest(left);
}

Expr Parser::comparisonRest(const Expr& left) {
    for (const char* op : {"=", "<>", "<", ">", "<=", ">="}) {
        if (acceptSymbol(op)) {
            const Expr right = concatenation();
            comparesText_ = comparesText_ || textConstant(left, right);
            return {operand(left, kAdd) + " " + op + " " + operand(right, kAdd), kCompare};
        }
    }
    if (acceptWord("is")) {
        const bool negated = acceptWord("not");
        expectWord("null");
        return {operand(left, kAdd) + (negated ? " IS NOT NULL" : " IS NULL"), kCompare};
    }
    const bool negated =
        isWord("not") && (isWord("between", 1) || isWord("in", 1) || isWord("like", 1));
    if (negated)
        ++pos_;
    const std::string no = negated ? " NOT" : "";
    if (acceptWord("between")) {
        const Expr low = concatenation();
        expectWord("and");
        const Expr high = concatenation();
        comparesText_ = comparesText_ || textConstant(low, high);
        return {operand(left, kAdd) + no + " BETWEEN " + operand(low, kAdd) + " AND " +
                    operand(high, kAdd),
                kCompare};
    }
    if (acceptWord("in")) {
        expectSymbol("(");
        std::string list;
        if (isWord("select")) {
            list = statement(false);
        } else {
            do {
                const Expr item = expression();
                comparesText_ = comparesText_ || item.textLiteral;
                list += (list.empty() ? "" : ", ") + item.text;
            } while (acceptSymbol(","));
        }
        expectSymbol(")");
        return {operand(left, kAdd) + no + " IN (" + list + ")", kCompare};
    }
    if (acceptWord("like"))
        return like(left, negated);
    return left;
}

// Access's wildcards * ? # as LIKE's % and _; a % or _ of the pattern is
// an ordinary character there and is escaped.
Expr Parser::like(const Expr& left, bool negated) {
    const Expr pattern = concatenation();
    if (!pattern.textLiteral)
        throw TranslationRefused("Like の右辺が文字列の定数ではありません: " + pattern.text);
    std::string converted;
    bool escaped = false;
    for (const char c : pattern.literal) {
        switch (c) {
            case '*':
                converted += '%';
                break;
            case '?':
                converted += '_';
                break;
            case '#':
                converted += '_';
                notes_.push_back("Like の # (数字1文字) を任意の1文字にしました");
                break;
            case '[':
                throw TranslationRefused("Like の文字の範囲 [...] は翻訳できません: " +
                                         pattern.literal);
            case '%':
            case '_':
            case '\\':
                converted += '\\';
                converted += c;
                escaped = true;
                break;
            default:
                converted += c;
        }
    }
    comparesText_ = true;
    return {operand(left, kAdd) + (negated ? " NOT LIKE " : " LIKE ") + stringLiteral(converted) +
                (escaped ? " ESCAPE '\\'" : ""),
            kCompare};
}

Expr Parser::concatenation() {
    Expr left = additive();
    while (acceptSymbol("&")) {
        const Expr right = additive();
        // & binds less than + and - in Access; || as much in Oracle.
        left = {operand(left, kAdd) + " || " + operand(right, kMultiply), kAdd};
    }
    return left;
}

Expr Parser::additive() {
    Expr left = modulo();
    for (;;) {
        const char* op = isSymbol("+") ? "+" : isSymbol("-") ? "-" : nullptr;
        if (op == nullptr)
            return left;
        ++pos_;
        const Expr right = modulo();
        left = {operand(left, kAdd) + " " + op + " " + operand(right, kMultiply), kAdd};
    }
}

Expr Parser::modulo() {
    Expr left = integerDivision();
    while (acceptWord("mod")) {
        const Expr right = integerDivision();
        left = {"MOD(" + left.text + ", " + right.text + ")"};
    }
    return left;
}

Expr Parser::integerDivision() {
    Expr left = multiplicative();
    while (acceptSymbol("\\")) {
        const Expr right = multiplicative();
        left = {"TRUNC(" + operand(left, kMultiply) + " / " + operand(right, kUnary) + ")"};
    }
    return left;
}

Expr Parser::multiplicative() {
    Expr left = unary();
    for (;;) {
        const char* op = isSymbol("*") ? "*" : isSymbol("/") ? "/" : nullptr;
        if (op == nullptr)
            return left;
        ++pos_;
        const Expr right = unary();
        left = {operand(left, kMultiply) + " " + op + " " + operand(right, kUnary), kMultiply};
    }
}

Expr Parser::unary() {
    if (acceptSymbol("-")) {
        const Expr e = unary();
        return {"-" + operand(e, kUnary), kUnary};
    }
    acceptSymbol("+");
    return power();
}

Expr Parser::power() {
    Expr left = primary();
    while (acceptSymbol("^")) {
        const Expr right = isSymbol("-") ? unary() : primary();
        left = {"POWER(" + left.text + ", " + right.text + ")"};
    }
    return left;
}

Expr Parser::primary() {
    const AccessToken token = peek();
    switch (token.kind) {
        case K::kNumber:
            ++pos_;
            return {token.text};
        case K::kString: {
            ++pos_;
            Expr e{stringLiteral(token.text)};
            e.textLiteral = true;
            e.literal = token.text;
            return e;
        }
        case K::kDate:
            ++pos_;
            return {dateLiteral(token.text)};
        case K::kWord:
            return wordOrName();
        case K::kBracket:
            return nameReference();
        default:
            break;
    }
    if (acceptSymbol("(")) {
        if (isWord("select")) {
            const std::string sub = statement(false);
            expectSymbol(")");
            return {"(" + sub + ")"};
        }
        const Expr inner = expression();
        expectSymbol(")");
        Expr e{"(" + inner.text + ")"};
        e.column = inner.column;
        e.qualifier = inner.qualifier;
        return e;
    }
    unexpected("式");
}

Expr Parser::wordOrName() {
    const std::string word = lower(peek().text);
    if (word == "true" || word == "yes" || word == "on") {
        ++pos_;
        return {"-1"};
    }
    if (word == "false" || word == "no" || word == "off") {
        ++pos_;
        return {"0"};
    }
    if (word == "null") {
        ++pos_;
        return {"NULL"};
    }
    if (!isSymbol("(", 1)) {
        if (kClauseWords.count(word) != 0)
            unexpected("式");
        return nameReference();
    }
    const std::string written = peek().text;
    pos_ += 2;
    std::vector<Expr> args;
    if (!acceptSymbol(")")) {
        do {
            if (word == "count" && acceptSymbol("*"))
                args.push_back({"*"});
            else
                args.push_back(expression());
        } while (acceptSymbol(","));
        expectSymbol(")");
    }
    if (kAggregates.count(word) != 0 && columns_ != nullptr)
        columns_->aggregate = true;
    return translateFunction(written, args, notes_);
}

Expr Parser::nameReference() {
    std::vector<std::string> parts{name()};
    bool star = false;
    for (;;) {
        if (isSymbol("!")) {
            const std::string first = lower(parts.front());
            if (first == "forms" || first == "reports")
                throw TranslationRefused("フォームかレポートのコントロールを参照します ([" +
                                         parts.front() + "]!...)");
            throw TranslationRefused("! で書いた参照は翻訳できません: " + parts.front() + "!");
        }
        if (!acceptSymbol("."))
            break;
        if (acceptSymbol("*")) {
            star = true;
            break;
        }
        parts.push_back(name());
    }
    Expr e;
    for (const auto& part : parts)
        e.text += (e.text.empty() ? "" : ".") + oracleName(part);
    e.column = star ? "*" : parts.back();
    if (star)
        e.text += ".*";
    if (star || parts.size() > 1)
        e.qualifier = star ? parts.back() : parts[parts.size() - 2];
    if (columns_ != nullptr) {
        if (e.qualifier.empty())
            columns_->unqualified = true;
        else
            columns_->qualifiers.insert(lower(e.qualifier));
    }
    return e;
}

}  // namespace malvorn::convert::access
