// Whole queries: WITH, set operations, ORDER BY, OFFSET/FETCH and inline
// views; the query blocks themselves are parser_statements.cpp's.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

namespace {

std::optional<ast::SetOperation::Kind> setOperation(const Token& t) {
    using K = ast::SetOperation::Kind;
    if (t.isWord("UNION"))
        return K::kUnion;
    if (t.isWord("MINUS"))
        return K::kMinus;
    if (t.isWord("INTERSECT"))
        return K::kIntersect;
    return std::nullopt;
}

// SELECT * FROM (query): a parenthesized query that more clauses follow.
std::unique_ptr<ast::Select> wrapped(std::unique_ptr<ast::Select> query) {
    auto outer = std::make_unique<ast::Select>();
    ast::SelectItem star;
    star.star = true;
    outer->items.push_back(std::move(star));
    ast::FromItem from;
    from.subquery = std::move(query);
    outer->from.push_back(std::move(from));
    return outer;
}

}  // namespace

std::unique_ptr<ast::Select> Parser::select() {
    const Nesting nesting(depth_);
    std::vector<ast::CommonTable> with;
    if (acceptWord("WITH")) {
        ast::Select holder;
        commonTables(holder);
        with = std::move(holder.with);
    }
    std::unique_ptr<ast::Select> s = queryTerm();
    const bool more = setOperation(peek()) || peek().isWord("ORDER") || peek().isWord("OFFSET") ||
                      peek().isWord("FETCH");
    // A parenthesized first branch keeps its own clauses inside.
    if (more && (!s->setOps.empty() || !s->orderBy.empty() || s->limit || !s->with.empty()))
        s = wrapped(std::move(s));
    while (const auto op = setOperation(peek())) {
        take();
        ast::SetOperation branch;
        branch.kind = *op;
        if (*op == ast::SetOperation::Kind::kUnion && acceptWord("ALL"))
            branch.kind = ast::SetOperation::Kind::kUnionAll;
        branch.right = queryTerm();
        s->setOps.push_back(std::move(branch));
    }
    if (peek().isWord("ORDER"))
        orderByList(*s);
    if (peek().isWord("OFFSET") || peek().isWord("FETCH"))
        s->limit = rowLimit();
    if (peek().isWord("FOR"))
        s->forUpdate = forUpdate();
    if (!with.empty()) {
        if (!s->with.empty())
            s = wrapped(std::move(s));
        s->with = std::move(with);
    }
    return s;
}

// A query block, or a whole query in parentheses.
std::unique_ptr<ast::Select> Parser::queryTerm() {
    if (acceptSymbol("(")) {
        auto s = select();
        expectClose();
        return s;
    }
    if (!peek().isWord("SELECT"))
        oraThrow(928, "missing SELECT keyword");
    return queryBlock();
}

void Parser::commonTables(ast::Select& s) {
    do {
        ast::CommonTable table;
        table.name = name();
        if (peek().isSymbol("("))
            table.columns = nameList();
        expectWord("AS");
        expectOpen();
        table.query = select();
        expectClose();
        for (const auto& earlier : s.with) {
            if (earlier.name == table.name)
                oraThrow(32039, "unsupported column aliasing");
        }
        s.with.push_back(std::move(table));
    } while (acceptSymbol(","));
}

void Parser::orderByList(ast::Select& s) {
    expectWord("ORDER");
    acceptWord("SIBLINGS");
    expectWord("BY");
    s.orderBy = orderItems();
}

// expression [ASC | DESC] [NULLS FIRST | LAST], ...
std::vector<ast::OrderItem> Parser::orderItems() {
    std::vector<ast::OrderItem> items;
    do {
        ast::OrderItem item;
        item.expr = expression();
        if (acceptWord("DESC"))
            item.descending = true;
        else
            acceptWord("ASC");
        if (acceptWord("NULLS")) {
            if (acceptWord("FIRST"))
                item.nullsFirst = true;
            else if (acceptWord("LAST"))
                item.nullsFirst = false;
            else
                oraThrow(905, "missing keyword");
        }
        items.push_back(std::move(item));
    } while (acceptSymbol(","));
    return items;
}

// [OFFSET n {ROW | ROWS}] [FETCH {FIRST | NEXT} [n [PERCENT]] {ROW | ROWS}
// {ONLY | WITH TIES}]
ast::RowLimit Parser::rowLimit() {
    ast::RowLimit limit;
    if (acceptWord("OFFSET")) {
        limit.offset = additive();
        if (!acceptWord("ROWS") && !acceptWord("ROW"))
            oraThrow(905, "missing keyword");
    }
    if (!acceptWord("FETCH"))
        return limit;
    if (!acceptWord("FIRST") && !acceptWord("NEXT"))
        oraThrow(905, "missing keyword");
    if (!peek().isWord("ROWS") && !peek().isWord("ROW")) {
        limit.count = additive();
        limit.percent = acceptWord("PERCENT");
    } else {
        limit.count = make(Expr::Kind::kNumber, "1");  // FETCH FIRST ROW ONLY
    }
    if (!acceptWord("ROWS") && !acceptWord("ROW"))
        oraThrow(905, "missing keyword");
    if (acceptWord("WITH"))
        expectWord("TIES");
    else if (!acceptWord("ONLY"))
        oraThrow(905, "missing keyword");
    else
        return limit;
    limit.withTies = true;
    return limit;
}

// A table, or an inline view (query) with its alias.
void Parser::fromSource(ast::FromItem& item) {
    if (peek().isSymbol("(")) {
        take();
        if (!peek().isWord("SELECT") && !peek().isWord("WITH") && !peek().isSymbol("("))
            oraThrow(903, "invalid table name");
        item.subquery = select();
        expectClose();
    } else {
        item.table = tableRef();
    }
    item.alias = optionalAlias();
}

}  // namespace malvorn::localserver::parsing
