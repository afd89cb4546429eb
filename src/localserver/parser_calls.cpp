// Function calls: plain arguments, the calls written with keywords (CAST,
// EXTRACT, TRIM ... FROM), LISTAGG's WITHIN GROUP and analytic OVER clauses.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

ExprPtr Parser::call(std::string name) {
    expectOpen();
    ExprPtr e = make(Expr::Kind::kFunction, std::move(name));
    if (e->text == "CAST") {
        e->args.push_back(expression());
        expectWord("AS");
        castType(*e);
    } else if (e->text == "EXTRACT") {
        extractField(*e);
    } else if (e->text == "TRIM") {
        trimForm(*e);
    } else if (acceptSymbol("*")) {
        e->args.push_back(make(Expr::Kind::kStar));
    } else if (!peek().isSymbol(")")) {
        if (acceptWord("DISTINCT"))
            e->distinct = true;
        else
            acceptWord("ALL");
        do {
            e->args.push_back(expression());
        } while (acceptSymbol(","));
    }
    expectClose();
    if (e->text == "LISTAGG" && acceptWord("WITHIN")) {
        expectWord("GROUP");
        expectOpen();
        expectWord("ORDER");
        expectWord("BY");
        e->withinGroup = std::make_shared<ast::Window>();
        e->withinGroup->orderBy = orderItems();
        expectClose();
    }
    if (acceptWord("OVER"))
        e->over = window();
    return e;
}

// CAST's target: a type name with its length, or precision and scale.
void Parser::castType(Expr& e) {
    if (peek().kind != Kind::kWord)
        oraThrow(902, "invalid datatype");
    e.keywords.push_back(take().text);
    if (!acceptSymbol("("))
        return;
    e.keywords.push_back(
        std::to_string(integer(910, "specified length too long for its datatype")));
    if (acceptSymbol(","))
        e.keywords.push_back(std::to_string(integer(910, "invalid scale")));
    else if (!acceptWord("CHAR"))
        acceptWord("BYTE");
    expectClose();
}

// EXTRACT(field FROM value).
void Parser::extractField(Expr& e) {
    static const std::set<std::string> fields = {"YEAR", "MONTH",  "DAY",
                                                 "HOUR", "MINUTE", "SECOND"};
    if (peek().kind != Kind::kWord || !fields.count(peek().text))
        oraThrow(907, "missing right parenthesis");
    e.keywords.push_back(take().text);
    expectWord("FROM");
    e.args.push_back(expression());
}

// TRIM([LEADING | TRAILING | BOTH] [character] FROM value) or TRIM(value):
// the FROM form keeps its side in `keywords` and its arguments as value,
// then the character when given.
void Parser::trimForm(Expr& e) {
    std::string side;
    if (peek().isWord("LEADING") || peek().isWord("TRAILING") || peek().isWord("BOTH"))
        side = take().text;
    ExprPtr character;
    if (!peek().isWord("FROM")) {
        character = expression();
        if (side.empty() && !peek().isWord("FROM")) {
            e.args.push_back(std::move(character));
            return;
        }
    }
    expectWord("FROM");
    e.keywords.push_back(side.empty() ? "BOTH" : side);
    e.args.push_back(expression());
    if (character)
        e.args.push_back(std::move(character));
}

// OVER ([PARTITION BY ...] [ORDER BY ... [ROWS | RANGE frame]]).
std::shared_ptr<ast::Window> Parser::window() {
    const Nesting nesting(depth_);
    expectOpen();
    auto w = std::make_shared<ast::Window>();
    if (acceptWord("PARTITION")) {
        expectWord("BY");
        do {
            w->partitionBy.push_back(expression());
        } while (acceptSymbol(","));
    }
    if (acceptWord("ORDER")) {
        expectWord("BY");
        w->orderBy = orderItems();
        if (peek().isWord("ROWS") || peek().isWord("RANGE")) {
            ast::Frame frame;
            frame.rows = take().text == "ROWS";
            if (acceptWord("BETWEEN")) {
                frame.start = frameBound();
                expectWord("AND");
                frame.end = frameBound();
            } else {
                frame.start = frameBound();
            }
            w->frame = frame;
        }
    }
    expectClose();
    return w;
}

// UNBOUNDED PRECEDING | UNBOUNDED FOLLOWING | CURRENT ROW | n PRECEDING | n FOLLOWING.
ast::FrameBound Parser::frameBound() {
    using K = ast::FrameBound::Kind;
    ast::FrameBound bound;
    if (acceptWord("UNBOUNDED")) {
        if (acceptWord("PRECEDING"))
            bound.kind = K::kUnboundedPreceding;
        else if (acceptWord("FOLLOWING"))
            bound.kind = K::kUnboundedFollowing;
        else
            oraThrow(905, "missing keyword");
        return bound;
    }
    if (acceptWord("CURRENT")) {
        expectWord("ROW");
        return bound;
    }
    bound.offset = integer(905, "missing keyword");
    if (acceptWord("PRECEDING"))
        bound.kind = K::kPreceding;
    else if (acceptWord("FOLLOWING"))
        bound.kind = K::kFollowing;
    else
        oraThrow(905, "missing keyword");
    return bound;
}

}  // namespace malvorn::localserver::parsing
