// ALTER TABLE on columns (ADD, MODIFY, DROP, RENAME COLUMN), ALTER TABLE ...
// RENAME TO and RENAME.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

// At ALTER TABLE, when no constraint form matched.
ast::AlterTableColumns Parser::alterTableColumns() {
    using Action = ast::AlterTableColumns::Action;
    take();
    take();
    ast::AlterTableColumns alter;
    alter.table = tableRef();
    if (acceptWord("ADD")) {
        alter.action = Action::kAdd;
        const bool parenthesized = acceptSymbol("(");
        ast::CreateTable inline_;
        do {
            alter.columns.push_back(columnClause(inline_));
        } while (parenthesized && acceptSymbol(","));
        if (parenthesized)
            expectClose();
        alter.keys = std::move(inline_.constraints);
        alter.references = std::move(inline_.references);
        return alter;
    }
    if (acceptWord("MODIFY")) {
        alter.action = Action::kModify;
        const bool parenthesized = acceptSymbol("(");
        do {
            modifyClause(alter);
        } while (parenthesized && acceptSymbol(","));
        if (parenthesized)
            expectClose();
        return alter;
    }
    if (acceptWord("DROP")) {
        alter.action = Action::kDrop;
        if (acceptWord("COLUMN"))
            alter.names = {name()};
        else if (peek().isSymbol("("))
            alter.names = nameList();
        else
            oraThrow(905, "missing keyword");
        if (acceptWord("CASCADE")) {
            expectWord("CONSTRAINTS");
            alter.cascadeConstraints = true;
        }
        return alter;
    }
    if (acceptWord("RENAME")) {
        if (acceptWord("COLUMN")) {
            alter.action = Action::kRenameColumn;
            alter.names = {name()};
            expectWord("TO");
        } else {
            expectWord("TO");
            alter.action = Action::kRenameTable;
        }
        alter.names.push_back(name());
        if (alter.action == Action::kRenameTable && peek().isSymbol("."))
            oraThrow(14047, "ALTER TABLE|INDEX RENAME may not be combined with other operations");
        return alter;
    }
    oraThrow(1735, "invalid ALTER TABLE option");
}

// One column of MODIFY: name [type] [DEFAULT expr] [NULL | NOT NULL].
void Parser::modifyClause(ast::AlterTableColumns& alter) {
    const std::size_t start = pos_;
    ast::ColumnClause c;
    c.name = name();
    std::optional<bool> nullable;
    bool defaultGiven = false;
    const Token& next = peek();
    const bool typed = next.kind == Kind::kWord && !next.isWord("DEFAULT") &&
                       !next.isWord("NULL") && !next.isWord("NOT");
    if (typed) {
        pos_ = start;
        ast::CreateTable inline_;
        c = columnClause(inline_);
        if (!inline_.constraints.empty() || !inline_.references.empty() || c.identity)
            oraThrow(3001, "unimplemented feature");
        // What the clause said of NULL and DEFAULT, outside parentheses.
        int depth = 0;
        for (std::size_t i = start; i < pos_; ++i) {
            const Token& t = tokens_[i];
            depth += t.isSymbol("(") ? 1 : t.isSymbol(")") ? -1 : 0;
            if (depth != 0)
                continue;
            if (t.isWord("DEFAULT"))
                defaultGiven = true;
            else if (t.isWord("NULL") && !tokens_[i - 1].isWord("DEFAULT"))
                nullable = !tokens_[i - 1].isWord("NOT");
        }
    } else {
        for (;;) {
            if (acceptWord("DEFAULT")) {
                const std::size_t begin = peek().begin;
                expression();
                c.defaultText = text_.substr(begin, lastEnd() - begin);
                defaultGiven = true;
            } else if (acceptWord("NOT")) {
                expectWord("NULL");
                nullable = false;
            } else if (acceptWord("NULL")) {
                nullable = true;
            } else {
                break;
            }
        }
        if (!defaultGiven && !nullable)
            oraThrow(902, "invalid datatype");
    }
    alter.columns.push_back(std::move(c));
    alter.nullable.push_back(nullable);
    alter.typeGiven.push_back(typed);
    alter.defaultGiven.push_back(defaultGiven);
}

ExprPtr Parser::valueOrDefault() {
    if (peek().isWord("DEFAULT") && (peek(1).isSymbol(",") || peek(1).isSymbol(")") ||
                                     peek(1).kind == Kind::kEnd || peek(1).isWord("WHERE"))) {
        take();
        return make(Expr::Kind::kNull, "DEFAULT");
    }
    return expression();
}

// After CREATE TABLE name: [(names)] [TABLESPACE t] AS, rather than columns.
bool Parser::atTableAs() const {
    std::size_t at = 0;
    if (peek().isSymbol("(")) {
        int depth = 0;
        do {
            const Token& t = peek(at++);
            if (t.kind == Kind::kEnd)
                return false;
            depth += t.isSymbol("(") ? 1 : t.isSymbol(")") ? -1 : 0;
        } while (depth > 0);
    }
    while (peek(at).isWord("TABLESPACE") || peek(at).isWord("LOGGING") ||
           peek(at).isWord("NOLOGGING"))
        at += peek(at).isWord("TABLESPACE") ? 2 : 1;
    return peek(at).isWord("AS");
}

void Parser::tableAs(ast::CreateTable& ct) {
    if (acceptSymbol("(")) {
        do {
            ct.asNames.push_back(name());
            if (!peek().isSymbol(",") && !peek().isSymbol(")"))
                oraThrow(1773, "may not specify column datatypes in this CREATE TABLE");
        } while (acceptSymbol(","));
        expectClose();
    }
    while (!peek().isWord("AS")) {
        if (acceptWord("TABLESPACE"))
            ct.tablespace = name(959, "tablespace '' does not exist");
        else
            take();  // LOGGING, NOLOGGING
    }
    take();
    const std::size_t begin = peek().begin;
    select();
    ct.asQuery = text_.substr(begin, lastEnd() - begin);
}

// RENAME old TO new: the user's own tables and views, no schema.
ast::Rename Parser::rename() {
    take();
    ast::Rename r;
    r.from.name = name(903, "invalid table name");
    if (peek().isSymbol("."))
        oraThrow(1765, "specifying owner's name of the table is not allowed");
    expectWord("TO");
    r.to = name(903, "invalid table name");
    if (peek().isSymbol("."))
        oraThrow(1765, "specifying owner's name of the table is not allowed");
    return r;
}

}  // namespace malvorn::localserver::parsing
