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

ast::DropIndex Parser::dropIndex() {
    ast::DropIndex di{tableRef()};
    acceptWord("ONLINE");
    return di;
}

}  // namespace malvorn::localserver::parsing
