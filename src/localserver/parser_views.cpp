// CREATE VIEW: the query is kept as written and read again when the view is
// used.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

ast::Statement Parser::createView() {
    ast::CreateView cv;
    if (acceptWord("OR")) {
        expectWord("REPLACE");
        cv.orReplace = true;
    }
    if (acceptWord("FORCE"))
        cv.force = true;
    else
        acceptWord("NOFORCE");
    if (!acceptWord("VIEW"))
        invalidStatement();
    cv.view = tableRef();
    if (peek().isSymbol("("))
        cv.columns = nameList();
    expectWord("AS");
    if (!atQuery())
        oraThrow(928, "missing SELECT keyword");
    const std::size_t begin = peek().begin;
    select();
    cv.query = text_.substr(begin, lastEnd() - begin);
    if (acceptWord("WITH")) {
        // No view takes changes here, so both constraints hold already.
        if (acceptWord("READ")) {
            expectWord("ONLY");
        } else {
            expectWord("CHECK");
            expectWord("OPTION");
        }
    }
    return cv;
}

}  // namespace malvorn::localserver::parsing
