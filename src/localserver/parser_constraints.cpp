// ALTER TABLE forms on constraints: ADD [CONSTRAINT name] PRIMARY KEY | UNIQUE
// | FOREIGN KEY ... REFERENCES | CHECK, MODIFY column [NOT] NULL and
// DROP CONSTRAINT. Other ALTER TABLE forms are not chosen here.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {
namespace {

bool startsConstraint(const Token& t) {
    return t.isWord("CONSTRAINT") || t.isWord("PRIMARY") || t.isWord("UNIQUE") ||
           t.isWord("FOREIGN") || t.isWord("CHECK");
}

}  // namespace

bool Parser::atConstraintAlter() const {
    if (!peek(1).isWord("TABLE"))
        return false;
    std::size_t at = peek(3).isSymbol(".") ? 4 : 2;
    const Token& action = peek(++at);
    std::size_t next = at + 1;
    if (peek(next).isSymbol("("))
        ++next;
    if (action.isWord("ADD"))
        return startsConstraint(peek(next));
    if (action.isWord("DROP"))
        return peek(next).isWord("CONSTRAINT");
    if (action.isWord("MODIFY")) {
        const Token& after = peek(next + 1);
        return after.isWord("CONSTRAINT") || after.isWord("NOT") || after.isWord("NULL") ||
               after.isWord("GENERATED");
    }
    return false;
}

ast::AlterTableConstraints Parser::alterTableConstraints() {
    ast::AlterTableConstraints alter;
    take();
    take();
    alter.table = tableRef();
    if (acceptWord("DROP")) {
        expectWord("CONSTRAINT");
        alter.dropName = name();
        alter.cascade = acceptWord("CASCADE");
        return alter;
    }
    const bool add = acceptWord("ADD");
    if (!add)
        expectWord("MODIFY");
    const bool parenthesized = acceptSymbol("(");
    do {
        std::string column;
        if (!add)
            column = name();
        if (!add && acceptWord("GENERATED")) {
            alter.identityColumn = column;
            alter.identity = identityClause();
            continue;
        }
        std::string constraintName;
        if (acceptWord("CONSTRAINT"))
            constraintName = name();
        if (!add && acceptWord("NULL")) {
            if (!constraintName.empty())
                oraThrow(2253, "constraint clause not allowed here");
            alter.nullColumn = column;
            continue;
        }
        alter.add.push_back(constraintBody(constraintName, column));
        constraintState(alter.add.back());
    } while (parenthesized && acceptSymbol(","));
    if (parenthesized)
        expectClose();
    return alter;
}

// The constraint after its name; `column` is the column of a column
// constraint (MODIFY), empty for a table constraint.
ast::ConstraintDef Parser::constraintBody(std::string name, const std::string& column) {
    ast::ConstraintDef c;
    c.name = std::move(name);
    const auto columns = [&] {
        return column.empty() ? nameList() : std::vector<std::string>{column};
    };
    if (acceptWord("PRIMARY")) {
        expectWord("KEY");
        c.kind = 'P';
        c.columns = columns();
    } else if (acceptWord("UNIQUE")) {
        c.kind = 'U';
        c.columns = columns();
    } else if (acceptWord("NOT")) {
        expectWord("NULL");
        if (column.empty())
            oraThrow(904, "invalid identifier");
        c.kind = 'N';
        c.columns = {column};
    } else if (acceptWord("CHECK")) {
        c.kind = 'C';
        expectOpen();
        const std::size_t begin = peek().begin;
        c.condition = expression();
        c.conditionText = text_.substr(begin, lastEnd() - begin);
        expectClose();
    } else {
        if (column.empty()) {
            expectWord("FOREIGN");
            expectWord("KEY");
        }
        c.kind = 'R';
        c.columns = columns();
        expectWord("REFERENCES");
        c.parent = tableRef();
        if (peek().isSymbol("("))
            c.parentColumns = nameList();
        if (acceptWord("ON")) {
            expectWord("DELETE");
            if (acceptWord("CASCADE")) {
                c.deleteRule = "CASCADE";
            } else {
                expectWord("SET");
                expectWord("NULL");
                c.deleteRule = "SET NULL";
            }
        }
    }
    return c;
}

void Parser::constraintState(ast::ConstraintDef& c) {
    for (;;) {
        if (acceptWord("ENABLE") || acceptWord("VALIDATE")) {
            continue;
        } else if (acceptWord("NOVALIDATE")) {
            c.validate = false;
        } else if (peek().isWord("USING")) {
            c.indexTablespace = indexTablespace();
        } else if (peek().isWord("DISABLE") || peek().isWord("DEFERRABLE") ||
                   peek().isWord("RELY")) {
            // A constraint that does not check is not kept by this server.
            oraThrow(3001, "unimplemented feature");
        } else {
            return;
        }
    }
}

}  // namespace malvorn::localserver::parsing
