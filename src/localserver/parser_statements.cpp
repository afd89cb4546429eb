// Queries and the statements that change rows: SELECT, INSERT, UPDATE, DELETE.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

// One query block: SELECT ... FROM ... [WHERE] [GROUP BY] [HAVING].
std::unique_ptr<ast::Select> Parser::queryBlock() {
    expectWord("SELECT");
    auto s = std::make_unique<ast::Select>();
    if (acceptWord("DISTINCT") || acceptWord("UNIQUE"))
        s->distinct = true;
    else
        acceptWord("ALL");
    do {
        ast::SelectItem item;
        if (acceptSymbol("*")) {
            item.star = true;
        } else if (atName() && peek(1).isSymbol(".") && peek(2).isSymbol("*")) {
            item.star = true;
            item.starQualifier = take().text;
            take();
            take();
        } else {
            item.expr = expression();
            if (acceptWord("AS"))
                item.alias = name();
            else if (atAlias())
                item.alias = name();
        }
        s->items.push_back(std::move(item));
    } while (acceptSymbol(","));
    if (!acceptWord("FROM"))
        oraThrow(923, "FROM keyword not found where expected");
    fromList(*s);
    if (acceptWord("WHERE"))
        s->where = expression();
    if (peek().isWord("GROUP")) {
        take();
        expectWord("BY");
        do {
            s->groupBy.push_back(expression());
        } while (acceptSymbol(","));
    }
    if (acceptWord("HAVING"))
        s->having = expression();
    return s;
}

ast::ForUpdate Parser::forUpdate() {
    expectWord("FOR");
    expectWord("UPDATE");
    ast::ForUpdate f;
    if (acceptWord("OF")) {
        // The columns name the tables to lock; every table of the query is.
        do {
            name();
            while (acceptSymbol("."))
                name();
        } while (acceptSymbol(","));
    }
    if (acceptWord("NOWAIT"))
        f.nowait = true;
    else if (acceptWord("WAIT"))
        f.waitSeconds = integer(30005, "missing or invalid WAIT interval");
    return f;
}

ast::Insert Parser::insert() {
    expectWord("INSERT");
    expectWord("INTO");
    ast::Insert ins;
    ins.table = tableRef();
    if (peek().isSymbol("(")) {
        take();
        do {
            ins.columns.push_back(name());
        } while (acceptSymbol(","));
        expectClose();
    }
    if (atQuery()) {
        ins.select = select();
        return ins;
    }
    if (!acceptWord("VALUES"))
        oraThrow(926, "missing VALUES keyword");
    expectOpen();
    do {
        ins.values.push_back(valueOrDefault());
    } while (acceptSymbol(","));
    expectClose();
    return ins;
}

ast::Update Parser::update() {
    expectWord("UPDATE");
    ast::Update up;
    up.table = tableRef();
    if (!peek().isWord("SET"))
        up.alias = optionalAlias();
    up.assignments = assignmentList();
    if (acceptWord("WHERE"))
        up.where = expression();
    return up;
}

// SET column = value, ...
std::vector<ast::Assignment> Parser::assignmentList() {
    expectWord("SET");
    std::vector<ast::Assignment> list;
    do {
        ast::Assignment a;
        a.column = name();
        if (peek().isSymbol(".")) {  // alias.column
            take();
            a.column = name();
        }
        if (!acceptSymbol("="))
            oraThrow(927, "missing equal sign");
        a.value = valueOrDefault();
        list.push_back(std::move(a));
    } while (acceptSymbol(","));
    return list;
}

ast::Delete Parser::deleteStatement() {
    expectWord("DELETE");
    acceptWord("FROM");
    ast::Delete del;
    del.table = tableRef();
    if (!peek().isWord("WHERE"))
        del.alias = optionalAlias();
    if (acceptWord("WHERE"))
        del.where = expression();
    return del;
}

}  // namespace malvorn::localserver::parsing
