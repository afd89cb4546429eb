#pragma once
// The parser's class, shared by parser*.cpp only. The token helpers stay
// inline here: every statement passes through them many times.

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/sql_text.h"
#include "localserver/ast.h"
#include "localserver/errors.h"
#include "localserver/lexer.h"
#include "localserver/parser.h"

namespace malvorn::localserver::parsing {

using ast::Expr;
using ast::ExprPtr;
using Kind = Token::Kind;

// Keywords that may name a column or table but never stand as an alias:
// they start the next part of the statement.
const std::set<std::string>& clauseWords();

// How deeply expressions and queries may nest (a scalar subquery counts about
// three): far past what a written statement needs, and no input may exhaust
// our stack. The translation keeps what reaches SQLite shallow (see
// Translator::scalarSubquery).
constexpr int kMaxDepth = 255;

class Parser {
  public:
    explicit Parser(const std::string& text) : text_(text), tokens_(tokenize(text)) {}
    Parser(const std::string& text, std::vector<Token> tokens)
        : text_(text), tokens_(std::move(tokens)), literalTokens_(true) {}

    ast::Statement statement();
    ExprPtr lone();

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
        return t.kind == Kind::kQuoted || (t.kind == Kind::kWord && !base::isReservedWord(t.text));
    }
    std::size_t lastEnd() const { return pos_ == 0 ? 0 : tokens_[pos_ - 1].end; }

    // A name; `error` is the server's code for a missing one.
    std::string name(int error = 904, const char* wording = nullptr);
    ast::TableRef tableRef();
    int integer(int error, const char* wording);
    std::optional<std::string> optionalAlias();
    std::vector<std::string> nameList();
    std::string password();

    // ---- statements ----
    ast::Statement dispatch();
    ast::Statement dropStatement();
    std::unique_ptr<ast::Select> select();  // a whole query, with WITH and set operations
    std::unique_ptr<ast::Select> queryBlock();
    std::unique_ptr<ast::Select> queryTerm();
    void commonTables(ast::Select& s);
    void orderByList(ast::Select& s);
    std::vector<ast::OrderItem> orderItems();
    ast::RowLimit rowLimit();
    void fromSource(ast::FromItem& item);
    bool atQuery() const {
        return peek().isWord("SELECT") || peek().isWord("WITH") ||
               (peek().isSymbol("(") &&
                (peek(1).isWord("SELECT") || peek(1).isWord("WITH") || peek(1).isSymbol("(")));
    }
    ast::ForUpdate forUpdate();
    ast::TransactionControl transactionControl();
    void fromList(ast::Select& s);
    // ---- joins (parser_joins.cpp) ----
    bool joinClause(std::vector<ast::FromItem>& out);
    void joinOperand(std::vector<ast::FromItem>& out, ast::FromItem::Join join);
    bool joinGroupAt(std::size_t at) const;
    std::size_t matchingClose(std::size_t at) const;
    ast::Insert insert();
    ast::Update update();
    std::vector<ast::Assignment> assignmentList();
    ast::Delete deleteStatement();
    ast::Merge merge();  // parser_merge.cpp

    // ---- definitions ----
    std::string indexTablespace();
    ast::CreateTable createTable();
    ast::ColumnClause columnClause(ast::CreateTable& ct);
    ast::CreateUser createUser();
    ast::Statement grantOrRevoke();

    // ---- schema objects (parser_schema.cpp) ----
    ast::CreateIndex createIndex();
    ast::DropIndex dropIndex();
    ast::IdentityOptions identityClause();
    ast::Comment comment();
    // ---- constraints (parser_constraints.cpp) ----
    bool atConstraintAlter() const;
    ast::AlterTableConstraints alterTableConstraints();
    ast::ConstraintDef constraintBody(std::string name, const std::string& column);
    void constraintState(ast::ConstraintDef& c);
    // ---- views (parser_views.cpp) ----
    ast::Statement createView();
    // ---- sequences (parser_sequences.cpp) ----
    ast::CreateSequence createSequence();
    ast::AlterSequence alterSequence();
    ast::SequenceOptions sequenceOptions(bool alter);
    std::string signedInteger();
    // ---- columns (parser_alter_columns.cpp) ----
    ast::AlterTableColumns alterTableColumns();
    void modifyClause(ast::AlterTableColumns& alter);
    ast::Rename rename();
    // A value of VALUES or SET: an expression, or DEFAULT (a Null marked so).
    ExprPtr valueOrDefault();
    // CREATE TABLE ... AS query (parser_alter_columns.cpp).
    bool atTableAs() const;
    void tableAs(ast::CreateTable& ct);

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
    ExprPtr expression();
    ExprPtr binary(std::string op, ExprPtr left, ExprPtr right);
    ExprPtr orExpr();
    ExprPtr andExpr();
    ExprPtr notExpr();
    ExprPtr comparison();
    ExprPtr additive();
    ExprPtr multiplicative();
    ExprPtr unary();
    ExprPtr primary();
    ExprPtr caseExpression();
    ExprPtr nameOrCall();
    // ---- calls (parser_calls.cpp) ----
    ExprPtr call(std::string name);  // after the name, at its "("
    void castType(Expr& e);
    void extractField(Expr& e);
    void trimForm(Expr& e);
    std::shared_ptr<ast::Window> window();
    ast::FrameBound frameBound();

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

}  // namespace malvorn::localserver::parsing
