// Definitions: CREATE TABLE with its columns and keys, users, GRANT and REVOKE.
#include "localserver/parser_impl.h"

namespace malvorn::localserver::parsing {

std::string Parser::indexTablespace() {
    if (!acceptWord("USING"))
        return {};
    expectWord("INDEX");
    expectWord("TABLESPACE");
    return name(959, "tablespace '' does not exist");
}

ast::CreateTable Parser::createTable() {
    ast::CreateTable ct;
    ct.table = tableRef();
    if (atTableAs()) {
        tableAs(ct);
        return ct;
    }
    expectOpen();
    do {
        if (peek().isWord("CONSTRAINT") || peek().isWord("PRIMARY") || peek().isWord("UNIQUE") ||
            peek().isWord("FOREIGN") || peek().isWord("CHECK")) {
            ast::ConstraintClause c;
            if (acceptWord("CONSTRAINT"))
                c.name = name();
            if (peek().isWord("FOREIGN") || peek().isWord("CHECK")) {
                ct.references.push_back(constraintBody(c.name, {}));
                constraintState(ct.references.back());
                continue;
            }
            if (acceptWord("PRIMARY")) {
                expectWord("KEY");
                c.primaryKey = true;
            } else if (!acceptWord("UNIQUE")) {
                oraThrow(2253, "constraint clause not allowed here");
            }
            c.columns = nameList();
            c.indexTablespace = indexTablespace();
            ct.constraints.push_back(std::move(c));
        } else {
            ct.columns.push_back(columnClause(ct));
        }
    } while (acceptSymbol(","));
    expectClose();
    while (peek().kind != Kind::kEnd) {
        if (acceptWord("TABLESPACE"))
            ct.tablespace = name(959, "tablespace '' does not exist");
        else if (!acceptWord("LOGGING") && !acceptWord("NOLOGGING"))
            oraThrow(922, "missing or invalid option");
    }
    return ct;
}

ast::ColumnClause Parser::columnClause(ast::CreateTable& ct) {
    ast::ColumnClause c;
    c.name = name();
    if (peek().kind != Kind::kWord)
        oraThrow(902, "invalid datatype");
    c.typeName = take().text;
    static const std::set<std::string> types = {
        "VARCHAR2",  "VARCHAR", "NVARCHAR2", "CHAR", "NCHAR",    "NUMBER",        "NUMERIC",
        "DECIMAL",   "DEC",     "INTEGER",   "INT",  "SMALLINT", "FLOAT",         "DATE",
        "TIMESTAMP", "CLOB",    "BLOB",      "RAW",  "LONG",     "BINARY_DOUBLE", "BINARY_FLOAT"};
    if (!types.count(c.typeName))
        oraThrow(902, "invalid datatype");
    if (c.typeName == "LONG" && acceptWord("RAW"))
        oraThrow(902, "invalid datatype");
    if (peek().isSymbol("(")) {
        take();
        if (acceptSymbol("*")) {
            c.precisionStar = true;
        } else {
            c.length = integer(910, "specified length too long for its datatype");
        }
        if (acceptSymbol(","))
            c.scale = (acceptSymbol("-") ? -1 : 1) *
                      integer(1728, "numeric scale specifier is out of range (-84 to 127)");
        if (acceptWord("BYTE"))
            c.charSemantics = false;
        else if (acceptWord("CHAR"))
            c.charSemantics = true;
        expectClose();
    }
    if (c.typeName == "TIMESTAMP" && peek().isWord("WITH"))
        oraThrow(902, "invalid datatype");
    for (;;) {
        if (acceptWord("DEFAULT")) {
            const std::size_t begin = peek().begin;
            expression();
            c.defaultText = text_.substr(begin, lastEnd() - begin);
            continue;
        }
        std::string constraintName;
        if (acceptWord("CONSTRAINT"))
            constraintName = name();
        if (acceptWord("NOT")) {
            expectWord("NULL");
            c.notNull = true;
        } else if (acceptWord("NULL")) {
            // explicitly nullable
        } else if (acceptWord("PRIMARY") || peek().isWord("UNIQUE")) {
            ast::ConstraintClause k;
            k.primaryKey = !acceptWord("UNIQUE");
            if (k.primaryKey)
                expectWord("KEY");
            k.name = constraintName;
            k.columns = {c.name};
            k.indexTablespace = indexTablespace();
            ct.constraints.push_back(std::move(k));
        } else if (constraintName.empty() && acceptWord("GENERATED")) {
            c.identity = identityClause();
        } else if (peek().isWord("REFERENCES") || peek().isWord("CHECK")) {
            ct.references.push_back(constraintBody(constraintName, c.name));
            constraintState(ct.references.back());
        } else if (!constraintName.empty()) {
            oraThrow(2253, "constraint clause not allowed here");
        } else {
            break;
        }
    }
    return c;
}

ast::CreateUser Parser::createUser() {
    ast::CreateUser cu;
    cu.name = name(1935, "missing user or role name");
    expectWord("IDENTIFIED");
    expectWord("BY");
    cu.password = password();
    for (;;) {
        if (acceptWord("DEFAULT")) {
            expectWord("TABLESPACE");
            cu.defaultTablespace = name(959, "tablespace '' does not exist");
        } else if (acceptWord("TEMPORARY")) {
            expectWord("TABLESPACE");
            cu.temporaryTablespace = name(959, "tablespace '' does not exist");
        } else if (acceptWord("QUOTA")) {
            if (!acceptWord("UNLIMITED")) {
                integer(2187, "invalid quota clause");
                if (peek().kind == Kind::kWord &&
                    (peek().text == "K" || peek().text == "M" || peek().text == "G"))
                    take();
            }
            expectWord("ON");
            name(959, "tablespace '' does not exist");
        } else {
            break;
        }
    }
    return cu;
}

ast::Statement Parser::grantOrRevoke() {
    const bool grant = take().text == "GRANT";
    std::vector<std::string> roles;
    do {
        if (peek().kind != Kind::kWord && peek().kind != Kind::kQuoted)
            oraThrow(990, "missing or invalid privilege");
        roles.push_back(take().text);
    } while (acceptSymbol(","));
    if (grant)
        expectWord("TO");
    else
        expectWord("FROM");
    std::vector<std::string> users;
    do {
        users.push_back(name(987, "missing or invalid username(s)"));
    } while (acceptSymbol(","));
    if (grant && acceptWord("WITH")) {
        expectWord("ADMIN");
        expectWord("OPTION");
    }
    if (grant)
        return ast::Grant{std::move(roles), std::move(users)};
    return ast::Revoke{std::move(roles), std::move(users)};
}

}  // namespace malvorn::localserver::parsing
