// MERGE INTO target [alias] USING table | (query) [alias] ON (condition)
// [WHEN MATCHED THEN UPDATE SET ... [WHERE ...] [DELETE WHERE ...]]
// [WHEN NOT MATCHED THEN INSERT [(columns)] VALUES (...) [WHERE ...]].
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

ast::Merge Parser::merge() {
    expectWord("MERGE");
    expectWord("INTO");
    ast::Merge m;
    m.table = tableRef();
    if (!peek().isWord("USING"))
        m.alias = optionalAlias();
    expectWord("USING");
    fromSource(m.source);
    expectWord("ON");
    expectOpen();
    m.on = expression();
    expectClose();
    while (acceptWord("WHEN")) {
        const bool matched = !acceptWord("NOT");
        expectWord("MATCHED");
        expectWord("THEN");
        if (matched) {
            if (m.matched)
                oraThrow(905, "missing keyword");
            m.matched = true;
            expectWord("UPDATE");
            m.assignments = assignmentList();
            if (acceptWord("WHERE"))
                m.updateWhere = expression();
            if (acceptWord("DELETE")) {
                expectWord("WHERE");
                m.deleteWhere = expression();
            }
            continue;
        }
        if (m.notMatched)
            oraThrow(905, "missing keyword");
        m.notMatched = true;
        expectWord("INSERT");
        if (acceptSymbol("(")) {
            do {
                std::string column = name();
                if (acceptSymbol("."))  // alias.column
                    column = name();
                m.columns.push_back(std::move(column));
            } while (acceptSymbol(","));
            expectClose();
        }
        if (!acceptWord("VALUES"))
            oraThrow(926, "missing VALUES keyword");
        expectOpen();
        do {
            m.values.push_back(expression());
        } while (acceptSymbol(","));
        expectClose();
        if (acceptWord("WHERE"))
            m.insertWhere = expression();
    }
    if (!m.matched && !m.notMatched)
        oraThrow(905, "missing keyword");
    return m;
}

}  // namespace malvorn::localserver::parsing
