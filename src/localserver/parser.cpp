// The parser's entry points, its small readers of names and numbers, and the
// choice of statement.
#include "localserver/parser.h"

#include "localserver/parser_impl.h"

namespace malvorn::localserver {
namespace parsing {

const std::set<std::string>& clauseWords() {
    static const std::set<std::string> words = {
        "CROSS", "FULL",       "INNER",   "JOIN",       "LEFT",  "NATURAL", "OUTER",  "RIGHT",
        "USING", "CONSTRAINT", "PRIMARY", "TABLESPACE", "NULLS", "FETCH",   "OFFSET", "RETURNING",
    };
    return words;
}

ast::Statement Parser::statement() {
    const Token& first = peek();
    if (first.kind == Kind::kEnd)
        invalidStatement();
    ast::Statement result = dispatch();
    if (peek().kind != Kind::kEnd)
        oraThrow(933, "SQL command not properly ended");
    return result;
}

ExprPtr Parser::lone() {
    ExprPtr e = expression();
    if (peek().kind != Kind::kEnd)
        oraThrow(933, "SQL command not properly ended");
    return e;
}

std::string Parser::name(int error, const char* wording) {
    if (!atName()) {
        if (error == 904)
            oraThrow(904, "\"" + peek().text + "\": invalid identifier");
        oraThrow(error, wording);
    }
    const Token& t = take();
    if (t.text.size() > 128)
        oraThrow(972, "identifier is too long");
    return t.text;
}

ast::TableRef Parser::tableRef() {
    ast::TableRef ref;
    ref.name = name(903, "invalid table name");
    if (peek().isSymbol(".")) {
        take();
        ref.schema = ref.name;
        ref.name = name(903, "invalid table name");
    }
    return ref;
}

int Parser::integer(int error, const char* wording) {
    const Token& t = peek();
    if (t.kind != Kind::kNumber || t.text.find_first_not_of("0123456789") != std::string::npos ||
        t.text.size() > 9) {
        oraThrow(error, wording);
    }
    take();
    return std::stoi(t.text);
}

std::optional<std::string> Parser::optionalAlias() {
    if (atAlias())
        return name();
    return std::nullopt;
}

std::vector<std::string> Parser::nameList() {
    expectOpen();
    std::vector<std::string> names;
    do {
        names.push_back(name());
    } while (acceptSymbol(","));
    expectClose();
    return names;
}

std::string Parser::password() {
    const Token& t = peek();
    if (t.kind == Kind::kQuoted) {
        return take().text;
    }
    if (t.kind != Kind::kWord)
        oraThrow(988, "missing or invalid password(s)");
    take();
    // Passwords keep the case they were typed in.
    return text_.substr(t.begin, t.end - t.begin);
}

ast::TransactionControl Parser::transactionControl() {
    using Control = ast::TransactionControl::Kind;
    ast::TransactionControl tc;
    if (acceptWord("SAVEPOINT")) {
        tc.kind = Control::kSavepoint;
        tc.savepoint = name();
        return tc;
    }
    tc.kind = take().isWord("COMMIT") ? Control::kCommit : Control::kRollback;
    acceptWord("WORK");
    if (tc.kind == Control::kRollback && acceptWord("TO")) {
        acceptWord("SAVEPOINT");
        tc.kind = Control::kRollbackTo;
        tc.savepoint = name();
    }
    return tc;
}

// DROP TABLE | USER | INDEX | VIEW | SEQUENCE.
ast::Statement Parser::dropStatement() {
    take();
    if (acceptWord("TABLE")) {
        ast::DropTable drop{tableRef()};
        if (acceptWord("CASCADE")) {
            expectWord("CONSTRAINTS");
            drop.cascadeConstraints = true;
        }
        acceptWord("PURGE");
        return drop;
    }
    if (acceptWord("USER")) {
        ast::DropUser drop;
        drop.name = name();
        drop.cascade = acceptWord("CASCADE");
        return drop;
    }
    if (acceptWord("INDEX"))
        return dropIndex();
    if (acceptWord("VIEW"))
        return ast::DropView{tableRef()};
    if (acceptWord("SEQUENCE"))
        return ast::DropSequence{tableRef()};
    invalidStatement();
}

ast::Statement Parser::dispatch() {
    const Token& t = peek();
    if (atQuery())
        return std::move(*select());
    if (t.isWord("INSERT"))
        return insert();
    if (t.isWord("UPDATE"))
        return update();
    if (t.isWord("DELETE"))
        return deleteStatement();
    if (t.isWord("MERGE"))
        return merge();
    if (t.isWord("CREATE")) {
        take();
        if (peek().isWord("OR") || peek().isWord("FORCE") || peek().isWord("NOFORCE") ||
            peek().isWord("VIEW"))
            return createView();
        if (acceptWord("TABLE"))
            return createTable();
        if (acceptWord("USER"))
            return createUser();
        if (peek().isWord("UNIQUE") || peek().isWord("INDEX"))
            return createIndex();
        if (acceptWord("SEQUENCE"))
            return createSequence();
        invalidStatement();
    }
    if (t.isWord("DROP"))
        return dropStatement();
    if (t.isWord("COMMENT"))
        return comment();
    if (t.isWord("RENAME"))
        return rename();
    if (t.isWord("TRUNCATE")) {
        take();
        expectWord("TABLE");
        return ast::TruncateTable{tableRef()};
    }
    if (t.isWord("GRANT") || t.isWord("REVOKE"))
        return grantOrRevoke();
    if (t.isWord("ALTER")) {
        if (atConstraintAlter())
            return alterTableConstraints();
        if (peek(1).isWord("SEQUENCE"))
            return alterSequence();
        if (peek(1).isWord("TABLE"))
            return alterTableColumns();
        take();
        if (!acceptWord("USER"))
            invalidStatement();
        ast::AlterUser alter;
        alter.name = name();
        expectWord("IDENTIFIED");
        expectWord("BY");
        alter.password = password();
        return alter;
    }
    if (t.isWord("COMMIT") || t.isWord("ROLLBACK") || t.isWord("SAVEPOINT"))
        return transactionControl();
    invalidStatement();
}

}  // namespace parsing

void tooComplex() {
    oraThrow(kTooComplexCode, kTooComplexText);
}

ast::Statement parseStatement(const std::string& statement) {
    return parsing::Parser(statement).statement();
}

ast::Statement parseStatement(const std::string& statement, std::vector<Token> tokens) {
    return parsing::Parser(statement, std::move(tokens)).statement();
}

ast::ExprPtr parseExpression(const std::string& text) {
    return parsing::Parser(text).lone();
}

}  // namespace malvorn::localserver
