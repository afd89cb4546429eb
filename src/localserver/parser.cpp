#include "localserver/parser.h"

#include <set>

#include "localserver/errors.h"
#include "localserver/lexer.h"
#include "shell/sql_text.h"

namespace malvorn::localserver {
namespace {

using ast::Expr;
using ast::ExprPtr;
using Kind = Token::Kind;

// Keywords that may name a column or table but never stand as an alias:
// they start the next part of the statement.
const std::set<std::string>& clauseWords() {
    static const std::set<std::string> words = {
        "CROSS", "FULL",       "INNER",   "JOIN",       "LEFT",  "NATURAL", "OUTER",  "RIGHT",
        "USING", "CONSTRAINT", "PRIMARY", "TABLESPACE", "NULLS", "FETCH",   "OFFSET", "RETURNING",
    };
    return words;
}

// How deeply expressions and queries may nest: the translation for SQLite
// must stay within SQLite's parser stack, and no input may exhaust ours.
constexpr int kMaxDepth = 40;

class Parser {
  public:
    explicit Parser(const std::string& text) : text_(text), tokens_(tokenize(text)) {}
    Parser(const std::string& text, std::vector<Token> tokens)
        : text_(text), tokens_(std::move(tokens)), literalTokens_(true) {}

    ast::Statement statement() {
        const Token& first = peek();
        if (first.kind == Kind::kEnd)
            invalidStatement();
        ast::Statement result = dispatch();
        if (peek().kind != Kind::kEnd)
            oraThrow(933, "SQL command not properly ended");
        return result;
    }

    ExprPtr lone() {
        ExprPtr e = expression();
        if (peek().kind != Kind::kEnd)
            oraThrow(933, "SQL command not properly ended");
        return e;
    }

  private:
    // ---- token helpers ----
    const Token& peek(std::size_t ahead = 0) const {
        const std::size_t i = std::min(pos_ + ahead, tokens_.size() - 1);
        return tokens_[i];
    }
    const Token& take() {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size())
            ++pos_;
        return t;
    }
    bool acceptWord(const char* word) {
        if (peek().isWord(word)) {
            take();
            return true;
        }
        return false;
    }
    bool acceptSymbol(const char* symbol) {
        if (peek().isSymbol(symbol)) {
            take();
            return true;
        }
        return false;
    }
    void expectWord(const char* word) {
        if (!acceptWord(word))
            oraThrow(905, "missing keyword");
    }
    void expectOpen() {
        if (!acceptSymbol("("))
            oraThrow(906, "missing left parenthesis");
    }
    void expectClose() {
        if (!acceptSymbol(")"))
            oraThrow(907, "missing right parenthesis");
    }
    bool atAlias() const {
        return atName() && !(peek().kind == Kind::kWord && clauseWords().count(peek().text));
    }
    bool atName() const {
        const Token& t = peek();
        return t.kind == Kind::kQuoted || (t.kind == Kind::kWord && !shell::isReservedWord(t.text));
    }
    // A name; `error` is the server's code for a missing one.
    std::string name(int error = 904, const char* wording = nullptr) {
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
    ast::TableRef tableRef() {
        ast::TableRef ref;
        ref.name = name(903, "invalid table name");
        if (peek().isSymbol(".")) {
            take();
            ref.schema = ref.name;
            ref.name = name(903, "invalid table name");
        }
        return ref;
    }
    int integer(int error, const char* wording) {
        const Token& t = peek();
        if (t.kind != Kind::kNumber ||
            t.text.find_first_not_of("0123456789") != std::string::npos || t.text.size() > 9) {
            oraThrow(error, wording);
        }
        take();
        return std::stoi(t.text);
    }

    // ---- statements ----
    ast::Statement dispatch() {
        const Token& t = peek();
        if (t.isWord("SELECT"))
            return std::move(*select());
        if (t.isWord("INSERT"))
            return insert();
        if (t.isWord("UPDATE"))
            return update();
        if (t.isWord("DELETE"))
            return deleteStatement();
        if (t.isWord("CREATE")) {
            take();
            if (acceptWord("TABLE"))
                return createTable();
            if (acceptWord("USER"))
                return createUser();
            invalidStatement();
        }
        if (t.isWord("DROP")) {
            take();
            if (acceptWord("TABLE")) {
                ast::DropTable drop{tableRef()};
                if (acceptWord("CASCADE"))
                    expectWord("CONSTRAINTS");
                acceptWord("PURGE");
                return drop;
            }
            if (acceptWord("USER")) {
                ast::DropUser drop;
                drop.name = name();
                drop.cascade = acceptWord("CASCADE");
                return drop;
            }
            invalidStatement();
        }
        if (t.isWord("TRUNCATE")) {
            take();
            expectWord("TABLE");
            return ast::TruncateTable{tableRef()};
        }
        if (t.isWord("GRANT") || t.isWord("REVOKE"))
            return grantOrRevoke();
        if (t.isWord("ALTER")) {
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
        if (t.isWord("COMMIT") || t.isWord("ROLLBACK")) {
            take();
            acceptWord("WORK");
            return ast::TransactionControl{};
        }
        invalidStatement();
    }

    std::unique_ptr<ast::Select> select() {
        const Nesting nesting(depth_);
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
        if (peek().isWord("ORDER")) {
            take();
            expectWord("BY");
            do {
                ast::OrderItem item;
                item.expr = expression();
                if (acceptWord("DESC"))
                    item.descending = true;
                else
                    acceptWord("ASC");
                if (acceptWord("NULLS")) {
                    if (!acceptWord("FIRST") && !acceptWord("LAST"))
                        oraThrow(905, "missing keyword");
                }
                s->orderBy.push_back(std::move(item));
            } while (acceptSymbol(","));
        }
        if (peek().isWord("UNION") || peek().isWord("MINUS") || peek().isWord("INTERSECT"))
            invalidStatement();
        return s;
    }

    void fromList(ast::Select& s) {
        ast::FromItem first;
        first.table = tableRef();
        first.alias = optionalAlias();
        s.from.push_back(std::move(first));
        for (;;) {
            ast::FromItem item;
            if (acceptSymbol(",")) {
                item.join = ast::FromItem::Join::kComma;
            } else if (acceptWord("JOIN")) {
                item.join = ast::FromItem::Join::kInner;
            } else if (acceptWord("INNER")) {
                expectWord("JOIN");
                item.join = ast::FromItem::Join::kInner;
            } else if (acceptWord("CROSS")) {
                expectWord("JOIN");
                item.join = ast::FromItem::Join::kCross;
            } else if (peek().isWord("LEFT") || peek().isWord("RIGHT") || peek().isWord("FULL")) {
                const std::string side = take().text;
                acceptWord("OUTER");
                expectWord("JOIN");
                item.join = side == "LEFT"    ? ast::FromItem::Join::kLeft
                            : side == "RIGHT" ? ast::FromItem::Join::kRight
                                              : ast::FromItem::Join::kFull;
            } else {
                return;
            }
            item.table = tableRef();
            item.alias = optionalAlias();
            if (item.join != ast::FromItem::Join::kComma &&
                item.join != ast::FromItem::Join::kCross) {
                expectWord("ON");
                item.on = expression();
            }
            s.from.push_back(std::move(item));
        }
    }

    std::optional<std::string> optionalAlias() {
        if (atAlias())
            return name();
        return std::nullopt;
    }

    ast::Insert insert() {
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
        if (peek().isWord("SELECT")) {
            ins.select = select();
            return ins;
        }
        if (!acceptWord("VALUES"))
            oraThrow(926, "missing VALUES keyword");
        expectOpen();
        do {
            ins.values.push_back(expression());
        } while (acceptSymbol(","));
        expectClose();
        return ins;
    }

    ast::Update update() {
        expectWord("UPDATE");
        ast::Update up;
        up.table = tableRef();
        if (!peek().isWord("SET"))
            up.alias = optionalAlias();
        expectWord("SET");
        do {
            ast::Assignment a;
            a.column = name();
            if (peek().isSymbol(".")) {  // alias.column
                take();
                a.column = name();
            }
            if (!acceptSymbol("="))
                oraThrow(927, "missing equal sign");
            a.value = expression();
            up.assignments.push_back(std::move(a));
        } while (acceptSymbol(","));
        if (acceptWord("WHERE"))
            up.where = expression();
        return up;
    }

    ast::Delete deleteStatement() {
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

    std::string indexTablespace() {
        if (!acceptWord("USING"))
            return {};
        expectWord("INDEX");
        expectWord("TABLESPACE");
        return name(959, "tablespace '' does not exist");
    }

    std::vector<std::string> nameList() {
        expectOpen();
        std::vector<std::string> names;
        do {
            names.push_back(name());
        } while (acceptSymbol(","));
        expectClose();
        return names;
    }

    ast::CreateTable createTable() {
        ast::CreateTable ct;
        ct.table = tableRef();
        expectOpen();
        do {
            if (peek().isWord("CONSTRAINT") || peek().isWord("PRIMARY") ||
                peek().isWord("UNIQUE")) {
                ast::ConstraintClause c;
                if (acceptWord("CONSTRAINT"))
                    c.name = name();
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

    ast::ColumnClause columnClause(ast::CreateTable& ct) {
        ast::ColumnClause c;
        c.name = name();
        if (peek().kind != Kind::kWord)
            oraThrow(902, "invalid datatype");
        c.typeName = take().text;
        static const std::set<std::string> types = {
            "VARCHAR2",  "VARCHAR", "NVARCHAR2", "CHAR", "NCHAR",    "NUMBER", "NUMERIC",
            "DECIMAL",   "DEC",     "INTEGER",   "INT",  "SMALLINT", "FLOAT",  "DATE",
            "TIMESTAMP", "CLOB",    "BLOB",      "RAW",  "LONG"};
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
            } else if (!constraintName.empty()) {
                oraThrow(2253, "constraint clause not allowed here");
            } else {
                break;
            }
        }
        return c;
    }

    std::size_t lastEnd() const { return pos_ == 0 ? 0 : tokens_[pos_ - 1].end; }

    std::string password() {
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

    ast::CreateUser createUser() {
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

    ast::Statement grantOrRevoke() {
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

    // ---- expressions ----
    ExprPtr literal(Expr::Kind kind) {
        const std::size_t at = pos_;
        ExprPtr e = make(kind, take().text);
        if (literalTokens_)
            e->token = static_cast<int>(at);
        return e;
    }
    ExprPtr make(Expr::Kind kind, std::string text = {}) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->text = std::move(text);
        return e;
    }

    ExprPtr expression() {
        const Nesting nesting(depth_);
        const std::size_t begin = peek().begin;
        ExprPtr e = orExpr();
        e->source = text_.substr(begin, lastEnd() - begin);
        return e;
    }

    // a op b; a chain of an associative operator (AND, OR, ||, +, *) is kept
    // as one node of many operands, so that its depth does not grow with it.
    ExprPtr binary(std::string op, ExprPtr left, ExprPtr right) {
        const bool associative = op == "AND" || op == "OR" || op == "||" || op == "+" || op == "*";
        if (associative && left->kind == Expr::Kind::kBinary && left->text == op &&
            !left->parenthesized) {
            left->args.push_back(std::move(right));
            return left;
        }
        auto e = make(Expr::Kind::kBinary, std::move(op));
        e->args.push_back(std::move(left));
        e->args.push_back(std::move(right));
        return e;
    }

    ExprPtr orExpr() {
        ExprPtr left = andExpr();
        while (acceptWord("OR"))
            left = binary("OR", std::move(left), andExpr());
        return left;
    }
    ExprPtr andExpr() {
        ExprPtr left = notExpr();
        while (acceptWord("AND"))
            left = binary("AND", std::move(left), notExpr());
        return left;
    }
    ExprPtr notExpr() {
        if (acceptWord("NOT")) {
            const Nesting nesting(depth_);
            auto e = make(Expr::Kind::kUnary, "NOT");
            e->args.push_back(notExpr());
            return e;
        }
        return comparison();
    }
    ExprPtr comparison() {
        ExprPtr left = additive();
        const Token& t = peek();
        if (t.kind == Kind::kSymbol) {
            static const std::set<std::string> ops = {"=", "<>", "!=", "^=", "<", ">", "<=", ">="};
            if (ops.count(t.text)) {
                std::string op = take().text;
                if (op == "!=" || op == "^=")
                    op = "<>";
                return binary(op, std::move(left), additive());
            }
            return left;
        }
        if (acceptWord("IS")) {
            auto e = make(Expr::Kind::kIsNull);
            e->negated = acceptWord("NOT");
            expectWord("NULL");
            e->args.push_back(std::move(left));
            return e;
        }
        bool negated = false;
        if (peek().isWord("NOT") &&
            (peek(1).isWord("IN") || peek(1).isWord("BETWEEN") || peek(1).isWord("LIKE"))) {
            take();
            negated = true;
        }
        if (acceptWord("IN")) {
            auto e = make(Expr::Kind::kInList);
            e->negated = negated;
            e->args.push_back(std::move(left));
            expectOpen();
            if (peek().isWord("SELECT")) {
                e->subquery = select();
                expectClose();
                return e;
            }
            do {
                e->args.push_back(expression());
            } while (acceptSymbol(","));
            expectClose();
            return e;
        }
        if (acceptWord("BETWEEN")) {
            auto e = make(Expr::Kind::kBetween);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(additive());
            expectWord("AND");
            e->args.push_back(additive());
            return e;
        }
        if (acceptWord("LIKE")) {
            auto e = make(Expr::Kind::kLike);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(additive());
            if (acceptWord("ESCAPE"))
                invalidStatement();
            return e;
        }
        return left;
    }
    ExprPtr additive() {
        ExprPtr left = multiplicative();
        for (;;) {
            const Token& t = peek();
            if (t.isSymbol("+") || t.isSymbol("-") || t.isSymbol("||")) {
                std::string op = take().text;
                left = binary(op, std::move(left), multiplicative());
            } else {
                return left;
            }
        }
    }
    ExprPtr multiplicative() {
        ExprPtr left = unary();
        for (;;) {
            const Token& t = peek();
            if (t.isSymbol("*") || t.isSymbol("/")) {
                std::string op = take().text;
                left = binary(op, std::move(left), unary());
            } else {
                return left;
            }
        }
    }
    ExprPtr unary() {
        if (peek().isSymbol("-") || peek().isSymbol("+")) {
            const Nesting nesting(depth_);
            const std::string op = take().text;
            ExprPtr operand = unary();
            if (operand->kind == Expr::Kind::kNumber) {
                if (op == "-")
                    operand->text = "-" + operand->text;
                return operand;
            }
            auto e = make(Expr::Kind::kUnary, op);
            e->args.push_back(std::move(operand));
            return e;
        }
        return primary();
    }
    ExprPtr primary() {
        const Token& t = peek();
        const std::size_t begin = t.begin;
        ExprPtr e;
        if (t.kind == Kind::kNumber) {
            e = literal(Expr::Kind::kNumber);
        } else if (t.kind == Kind::kString) {
            e = literal(Expr::Kind::kString);
        } else if (t.isWord("NULL")) {
            take();
            e = make(Expr::Kind::kNull);
        } else if (t.isWord("SYSDATE")) {
            take();
            e = make(Expr::Kind::kSysdate);
        } else if (t.isWord("CASE")) {
            take();
            e = make(Expr::Kind::kCase);
            if (!peek().isWord("WHEN")) {
                e->distinct = true;
                e->args.push_back(expression());
            }
            if (!peek().isWord("WHEN"))
                oraThrow(905, "missing keyword");
            while (acceptWord("WHEN")) {
                e->args.push_back(expression());
                expectWord("THEN");
                e->args.push_back(expression());
            }
            if (acceptWord("ELSE")) {
                e->negated = true;
                e->args.push_back(expression());
            }
            expectWord("END");
        } else if (t.isWord("ROWNUM") || t.isWord("ROWID") || t.isWord("LEVEL") ||
                   t.isWord("PRIOR")) {
            // Pseudo-columns and hierarchical queries are outside the language.
            invalidStatement();
        } else if (t.isWord("USER")) {
            take();
            e = make(Expr::Kind::kFunction, "USER");
        } else if (t.isWord("DATE") && peek(1).kind == Kind::kString) {
            // ANSI date literal DATE 'YYYY-MM-DD'.
            take();
            e = make(Expr::Kind::kFunction, "TO_DATE");
            e->args.push_back(literal(Expr::Kind::kString));
            e->args.push_back(make(Expr::Kind::kString, "YYYY-MM-DD"));
        } else if (t.isSymbol("(")) {
            take();
            if (peek().isWord("SELECT")) {
                e = make(Expr::Kind::kSubquery);
                e->subquery = select();
            } else {
                e = expression();
                e->parenthesized = true;
            }
            expectClose();
        } else if (t.isWord("EXISTS")) {
            take();
            expectOpen();
            if (!peek().isWord("SELECT"))
                oraThrow(928, "missing SELECT keyword");
            e = make(Expr::Kind::kExists);
            e->subquery = select();
            expectClose();
        } else if (atName() || t.isWord("DATE")) {
            std::string first = take().text;
            if (peek().isSymbol("(")) {
                take();
                e = make(Expr::Kind::kFunction, first);
                if (acceptSymbol("*")) {
                    e->args.push_back(make(Expr::Kind::kStar));
                } else if (!peek().isSymbol(")")) {
                    if (acceptWord("DISTINCT"))
                        e->distinct = true;
                    else
                        acceptWord("ALL");
                    do {
                        e->args.push_back(expression());
                    } while (acceptSymbol(","));
                }
                expectClose();
            } else {
                e = make(Expr::Kind::kColumn);
                e->path.push_back(first);
                while (acceptSymbol("."))
                    e->path.push_back(name());
                if (e->path.size() > 3)
                    oraThrow(904, "invalid identifier");
                // The outer-join mark: column(+).
                if (peek().isSymbol("(") && peek(1).isSymbol("+") && peek(2).isSymbol(")")) {
                    take();
                    take();
                    take();
                    e->outerMark = true;
                }
            }
        } else {
            oraThrow(936, "missing expression");
        }
        e->source = text_.substr(begin, lastEnd() - begin);
        return e;
    }

    // Counts one level of nesting while alive.
    class Nesting {
      public:
        explicit Nesting(int& depth) : depth_(depth) {
            if (++depth_ > kMaxDepth)
                tooComplex();
        }
        ~Nesting() { --depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

      private:
        int& depth_;
    };

    const std::string& text_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    bool literalTokens_ = false;
};

}  // namespace

void tooComplex() {
    oraThrow(kTooComplexCode, kTooComplexText);
}

ast::Statement parseStatement(const std::string& statement) {
    return Parser(statement).statement();
}

ast::Statement parseStatement(const std::string& statement, std::vector<Token> tokens) {
    return Parser(statement, std::move(tokens)).statement();
}

ast::ExprPtr parseExpression(const std::string& text) {
    return Parser(text).lone();
}

}  // namespace malvorn::localserver
