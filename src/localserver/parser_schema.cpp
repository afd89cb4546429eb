// Schema objects beyond tables: indexes, constraints added to a table,
// identity columns and comments.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

// After CREATE: [UNIQUE] INDEX [schema.]name ON [schema.]table (column
// [ASC | DESC], ...) and the storage words a script may carry.
ast::CreateIndex Parser::createIndex() {
    ast::CreateIndex ci;
    ci.unique = acceptWord("UNIQUE");
    expectWord("INDEX");
    ci.index = tableRef();
    expectWord("ON");
    ci.table = tableRef();
    expectOpen();
    do {
        ast::IndexColumn column{name(), false};
        // An expression (a function-based index) is not kept by this server.
        if (!peek().isSymbol(",") && !peek().isSymbol(")") && !peek().isWord("ASC") &&
            !peek().isWord("DESC"))
            oraThrow(3001, "unimplemented feature");
        if (acceptWord("DESC"))
            column.descending = true;
        else
            acceptWord("ASC");
        ci.columns.push_back(std::move(column));
    } while (acceptSymbol(","));
    expectClose();
    while (peek().kind != Kind::kEnd) {
        if (acceptWord("TABLESPACE"))
            ci.tablespace = name(959, "tablespace '' does not exist");
        else if (acceptWord("COMPUTE"))
            expectWord("STATISTICS");
        else if (!acceptWord("LOGGING") && !acceptWord("NOLOGGING") && !acceptWord("ONLINE"))
            oraThrow(922, "missing or invalid option");
    }
    return ci;
}

// After GENERATED.
ast::IdentityOptions Parser::identityClause() {
    ast::IdentityOptions identity;
    if (acceptWord("ALWAYS")) {
        identity.always = true;
    } else {
        expectWord("BY");
        expectWord("DEFAULT");
        if (acceptWord("ON")) {
            expectWord("NULL");
            identity.onNull = true;
        }
    }
    expectWord("AS");
    expectWord("IDENTITY");
    if (!acceptSymbol("("))
        return identity;
    const auto number = [&] {
        const bool negative = acceptSymbol("-");
        const long long n = integer(2017, "integer value required");
        return negative ? -n : n;
    };
    while (!acceptSymbol(")")) {
        if (acceptWord("START")) {
            expectWord("WITH");
            if (acceptWord("LIMIT")) {
                expectWord("VALUE");
                identity.startLimitValue = true;
            } else {
                identity.startWith = number();
                identity.startGiven = true;
            }
        } else if (acceptWord("INCREMENT")) {
            expectWord("BY");
            identity.incrementBy = number();
            if (identity.incrementBy == 0)
                oraThrow(4002, "INCREMENT must be a non-zero integer");
        } else if (acceptWord("NOCACHE") || acceptWord("NOCYCLE") || acceptWord("NOORDER")) {
            continue;
        } else if (acceptWord("CACHE")) {
            number();
        } else {
            oraThrow(907, "missing right parenthesis");
        }
        acceptSymbol(",");
    }
    return identity;
}

ast::Comment Parser::comment() {
    take();
    expectWord("ON");
    ast::Comment c;
    const bool column = acceptWord("COLUMN");
    if (!column && !acceptWord("TABLE"))
        oraThrow(905, "missing keyword");
    std::vector<std::string> path = {name(903, "invalid table name")};
    while (acceptSymbol("."))
        path.push_back(name());
    if (path.size() > (column ? 3U : 2U) || (column && path.size() < 2))
        oraThrow(column ? 904 : 903, column ? "invalid identifier" : "invalid table name");
    if (column) {
        c.column = path.back();
        path.pop_back();
    }
    c.table.name = path.back();
    if (path.size() == 2)
        c.table.schema = path.front();
    expectWord("IS");
    if (peek().kind != Kind::kString)
        oraThrow(1780, "string literal required");
    c.text = take().text;
    return c;
}

ast::DropIndex Parser::dropIndex() {
    ast::DropIndex di{tableRef()};
    acceptWord("ONLINE");
    return di;
}

}  // namespace malvorn::localserver::parsing
