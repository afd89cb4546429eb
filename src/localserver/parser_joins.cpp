// FROM lists: sources joined by commas and ANSI joins, joins in parentheses
// nested as written.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

using Join = ast::FromItem::Join;

void Parser::fromList(ast::Select& s) {
    joinOperand(s.from, Join::kFirst);
    for (;;) {
        if (acceptSymbol(","))
            joinOperand(s.from, Join::kComma);
        else if (!joinClause(s.from))
            return;
    }
}

// A join word, its right operand and its ON; false when no join follows.
bool Parser::joinClause(std::vector<ast::FromItem>& out) {
    Join join = Join::kInner;
    if (acceptWord("JOIN")) {
        join = Join::kInner;
    } else if (acceptWord("INNER")) {
        expectWord("JOIN");
    } else if (acceptWord("CROSS")) {
        expectWord("JOIN");
        join = Join::kCross;
    } else if (peek().isWord("LEFT") || peek().isWord("RIGHT") || peek().isWord("FULL")) {
        const std::string side = take().text;
        acceptWord("OUTER");
        expectWord("JOIN");
        join = side == "LEFT" ? Join::kLeft : side == "RIGHT" ? Join::kRight : Join::kFull;
    } else {
        return false;
    }
    const std::size_t at = out.size();
    joinOperand(out, join);
    if (join != Join::kCross) {
        expectWord("ON");
        out[at].on = expression();
    }
    return true;
}

// A table, an inline view, or joins in parentheses: the group's items go
// into `out` in order, the first taking the join that reaches the group.
void Parser::joinOperand(std::vector<ast::FromItem>& out, Join join) {
    if (!peek().isSymbol("(") || !joinGroupAt(pos_)) {
        ast::FromItem item;
        item.join = join;
        fromSource(item);
        out.push_back(std::move(item));
        return;
    }
    const Nesting nesting(depth_);
    take();
    const std::size_t first = out.size();
    joinOperand(out, Join::kFirst);
    bool joined = out[first].opens > 0;
    while (joinClause(out))
        joined = true;
    // A lone table in parentheses is neither a join nor a query.
    if (!joined)
        oraThrow(903, "invalid table name");
    expectClose();
    out[first].join = join;
    ++out[first].opens;
    ++out.back().closes;
}

// Whether the parenthesis at token `at` opens joins rather than a query:
// a query starts with SELECT or WITH, or is a parenthesized query that a set
// operator, ORDER BY or a row limit may follow.
bool Parser::joinGroupAt(std::size_t at) const {
    for (int level = 0; level < kMaxDepth; ++level, ++at) {
        const Token& next = tokens_[std::min(at + 1, tokens_.size() - 1)];
        if (next.isWord("SELECT") || next.isWord("WITH"))
            return false;
        if (!next.isSymbol("("))
            return true;
        const std::size_t close = matchingClose(at + 1);
        const Token& after = tokens_[std::min(close + 1, tokens_.size() - 1)];
        if (after.isSymbol(")"))
            continue;  // the same answer as the group inside
        return !(after.isWord("UNION") || after.isWord("MINUS") || after.isWord("INTERSECT") ||
                 after.isWord("ORDER") || after.isWord("OFFSET") || after.isWord("FETCH"));
    }
    return true;  // deeper than any statement may nest: refused while parsing
}

// The token closing the parenthesis at `at`, or the last token.
std::size_t Parser::matchingClose(std::size_t at) const {
    int depth = 0;
    for (std::size_t i = at; i < tokens_.size(); ++i) {
        if (tokens_[i].isSymbol("("))
            ++depth;
        else if (tokens_[i].isSymbol(")") && --depth == 0)
            return i;
    }
    return tokens_.size() - 1;
}

}  // namespace malvorn::localserver::parsing
