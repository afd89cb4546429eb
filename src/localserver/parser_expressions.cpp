// Expressions, by precedence: OR, AND, NOT, comparisons, + - ||, * /, signs,
// then the primaries.
#include "localserver/binary_float.h"
#include "localserver/parser_impl.h"
#include "localserver/timestamps.h"

namespace malvorn::localserver::parsing {

ExprPtr Parser::expression() {
    const Nesting nesting(depth_);
    const std::size_t begin = peek().begin;
    ExprPtr e = orExpr();
    e->source = text_.substr(begin, lastEnd() - begin);
    return e;
}

// a op b; a chain of an associative operator (AND, OR, ||, +, *) is kept
// as one node of many operands, so that its depth does not grow with it.
ExprPtr Parser::binary(std::string op, ExprPtr left, ExprPtr right) {
    const bool associative = op == "AND" || op == "OR" || op == "||" || op == "+" || op == "*";
    if (associative && left->kind == Expr::Kind::kBinary && left->text == op &&
        !left->parenthesized) {
        left->args.push_back(std::move(right));
        return left;
    }
    auto e = make(Expr::Kind::kBinary, std::move(op));
    e->args.push_back(std::move(left));
    e->args.push_back(std::move(right));
    return e;
}

ExprPtr Parser::orExpr() {
    ExprPtr left = andExpr();
    while (acceptWord("OR"))
        left = binary("OR", std::move(left), andExpr());
    return left;
}

ExprPtr Parser::andExpr() {
    ExprPtr left = notExpr();
    while (acceptWord("AND"))
        left = binary("AND", std::move(left), notExpr());
    return left;
}

ExprPtr Parser::notExpr() {
    if (acceptWord("NOT")) {
        const Nesting nesting(depth_);
        auto e = make(Expr::Kind::kUnary, "NOT");
        e->args.push_back(notExpr());
        return e;
    }
    return comparison();
}

ExprPtr Parser::comparison() {
    ExprPtr left = additive();
    const Token& t = peek();
    if (t.kind == Kind::kSymbol) {
        static const std::set<std::string> ops = {"=", "<>", "!=", "^=", "<", ">", "<=", ">="};
        if (ops.count(t.text)) {
            std::string op = take().text;
            if (op == "!=" || op == "^=")
                op = "<>";
            return binary(op, std::move(left), additive());
        }
        return left;
    }
    if (acceptWord("IS")) {
        auto e = make(Expr::Kind::kIsNull);
        e->negated = acceptWord("NOT");
        // IS [NOT] NAN and IS [NOT] INFINITE keep the word they test for.
        if (peek().isWord("NAN") || peek().isWord("INFINITE"))
            e->text = take().text;
        else
            expectWord("NULL");
        e->args.push_back(std::move(left));
        return e;
    }
    bool negated = false;
    if (peek().isWord("NOT") &&
        (peek(1).isWord("IN") || peek(1).isWord("BETWEEN") || peek(1).isWord("LIKE"))) {
        take();
        negated = true;
    }
    if (acceptWord("IN")) {
        auto e = make(Expr::Kind::kInList);
        e->negated = negated;
        e->args.push_back(std::move(left));
        expectOpen();
        if (peek().isWord("SELECT") || peek().isWord("WITH")) {
            e->subquery = select();
            expectClose();
            return e;
        }
        do {
            e->args.push_back(expression());
        } while (acceptSymbol(","));
        expectClose();
        return e;
    }
    if (acceptWord("BETWEEN")) {
        auto e = make(Expr::Kind::kBetween);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(additive());
        expectWord("AND");
        e->args.push_back(additive());
        return e;
    }
    if (acceptWord("LIKE")) {
        auto e = make(Expr::Kind::kLike);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(additive());
        if (acceptWord("ESCAPE"))
            invalidStatement();
        return e;
    }
    return left;
}

ExprPtr Parser::additive() {
    ExprPtr left = multiplicative();
    for (;;) {
        const Token& t = peek();
        if (t.isSymbol("+") || t.isSymbol("-") || t.isSymbol("||")) {
            std::string op = take().text;
            left = binary(op, std::move(left), multiplicative());
        } else {
            return left;
        }
    }
}

ExprPtr Parser::multiplicative() {
    ExprPtr left = unary();
    for (;;) {
        const Token& t = peek();
        if (t.isSymbol("*") || t.isSymbol("/")) {
            std::string op = take().text;
            left = binary(op, std::move(left), unary());
        } else {
            return left;
        }
    }
}

ExprPtr Parser::unary() {
    if (peek().isSymbol("-") || peek().isSymbol("+")) {
        const Nesting nesting(depth_);
        const std::string op = take().text;
        ExprPtr operand = unary();
        if (operand->kind == Expr::Kind::kNumber) {
            if (op == "-")
                operand->text = "-" + operand->text;
            return operand;
        }
        auto e = make(Expr::Kind::kUnary, op);
        e->args.push_back(std::move(operand));
        return e;
    }
    return primary();
}

ExprPtr Parser::primary() {
    const Token& t = peek();
    const std::size_t begin = t.begin;
    ExprPtr e;
    if (t.kind == Kind::kNumber) {
        e = literal(Expr::Kind::kNumber);
    } else if (t.kind == Kind::kString) {
        e = literal(Expr::Kind::kString);
    } else if (t.isWord("NULL")) {
        take();
        e = make(Expr::Kind::kNull);
    } else if (t.isWord("SYSDATE")) {
        take();
        e = make(Expr::Kind::kSysdate);
    } else if (t.isWord("CASE")) {
        take();
        e = caseExpression();
    } else if (t.isWord("ROWNUM")) {
        take();
        e = make(Expr::Kind::kFunction, "ROWNUM");
    } else if (t.isWord("ROWID") || t.isWord("LEVEL") || t.isWord("PRIOR")) {
        // Pseudo-columns and hierarchical queries are outside the language.
        invalidStatement();
    } else if (t.isWord("USER")) {
        take();
        e = make(Expr::Kind::kFunction, "USER");
    } else if (t.isWord("DATE") && peek(1).kind == Kind::kString) {
        // ANSI date literal DATE 'YYYY-MM-DD'.
        take();
        e = make(Expr::Kind::kFunction, "TO_DATE");
        e->args.push_back(literal(Expr::Kind::kString));
        e->args.push_back(make(Expr::Kind::kString, "YYYY-MM-DD"));
    } else if (t.isWord("TIMESTAMP") && peek(1).kind == Kind::kString) {
        take();
        e = make(Expr::Kind::kFunction, kTimestampLiteral);
        e->args.push_back(literal(Expr::Kind::kString));
    } else if (t.isWord("SYSTIMESTAMP")) {
        take();
        e = make(Expr::Kind::kFunction, "SYSTIMESTAMP");
    } else if (t.isSymbol("(")) {
        take();
        if (peek().isWord("SELECT") || peek().isWord("WITH")) {
            e = make(Expr::Kind::kSubquery);
            e->subquery = select();
        } else {
            e = expression();
            e->parenthesized = true;
        }
        expectClose();
    } else if (t.isWord("EXISTS")) {
        take();
        expectOpen();
        if (!atQuery())
            oraThrow(928, "missing SELECT keyword");
        e = make(Expr::Kind::kExists);
        e->subquery = select();
        expectClose();
    } else if (t.kind == Kind::kWord && binaryConstant(t.text)) {
        // BINARY_DOUBLE_INFINITY and the like are literals of their type.
        e = make(Expr::Kind::kNumber, take().text);
    } else if (atName() || t.isWord("DATE")) {
        e = nameOrCall();
    } else {
        oraThrow(936, "missing expression");
    }
    e->source = text_.substr(begin, lastEnd() - begin);
    return e;
}

// CASE [operand] WHEN ... THEN ... [ELSE ...] END, after CASE: `distinct`
// marks the operand, `negated` the ELSE.
ExprPtr Parser::caseExpression() {
    ExprPtr e = make(Expr::Kind::kCase);
    if (!peek().isWord("WHEN")) {
        e->distinct = true;
        e->args.push_back(expression());
    }
    if (!peek().isWord("WHEN"))
        oraThrow(905, "missing keyword");
    while (acceptWord("WHEN")) {
        e->args.push_back(expression());
        expectWord("THEN");
        e->args.push_back(expression());
    }
    if (acceptWord("ELSE")) {
        e->negated = true;
        e->args.push_back(expression());
    }
    expectWord("END");
    return e;
}

// A function call or a column, qualified by up to two names.
ExprPtr Parser::nameOrCall() {
    ExprPtr e;
    std::string first = take().text;
    if (peek().isSymbol("(")) {
        e = call(first);
    } else {
        e = make(Expr::Kind::kColumn);
        e->path.push_back(first);
        while (acceptSymbol("."))
            e->path.push_back(name());
        if (e->path.size() > 3)
            oraThrow(904, "invalid identifier");
        // The outer-join mark: column(+).
        if (peek().isSymbol("(") && peek(1).isSymbol("+") && peek(2).isSymbol(")")) {
            take();
            take();
            take();
            e->outerMark = true;
        } else if (e->path.size() == 2 && peek().isSymbol("(")) {
            // A package's function: DBMS_LOB.GETLENGTH(...).
            return call(e->path[0] + "." + e->path[1]);
        }
    }
    return e;
}

}  // namespace malvorn::localserver::parsing
