#pragma once

// The parts of the Access SQL translation that the function table shares
// with the statement and expression parser. Internal to malvorn_convert.
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "convert/access_sql_lexer.h"
#include "convert/access_to_oracle.h"

namespace malvorn::convert::access {

// Oracle's binding strength of an expression's top operator: an operand
// binding less than its operator is put in parentheses.
enum Level : int {
    kOr = 1,
    kAnd = 2,
    kNot = 3,
    kCompare = 4,
    kAdd = 5,  // + - ||
    kMultiply = 6,
    kUnary = 7,
    kPrimary = 10,
};

struct Expr {
    Expr() = default;
    Expr(std::string oracle, int binding = kPrimary) : text(std::move(oracle)), level(binding) {}

    std::string text;
    int level = kPrimary;
    bool textLiteral = false;  // a string constant
    std::string literal{};     // its value, when textLiteral
    std::string column{};      // a column reference: the column's name as written
    std::string qualifier{};   // ...and its table or alias, when written
};

// Wraps in parentheses when `e` binds less than `level`.
std::string operand(const Expr& e, int level);

// A function call of Access SQL as Oracle writes it; `notes` collects
// where the meaning differs. Throws TranslationRefused for a function or a
// form of one with no translation.
Expr translateFunction(const std::string& name, const std::vector<Expr>& args,
                       std::vector<std::string>& notes);

// A #date# literal as DATE '...' or TO_DATE(...).
std::string dateLiteral(const std::string& text);

// A string constant for Oracle.
std::string stringLiteral(const std::string& value);

std::string lower(std::string text);

using K = AccessTokenKind;

inline const std::set<std::string> kAggregates = {"sum",  "avg",   "count",  "min", "max", "first",
                                                  "last", "stdev", "stdevp", "var", "varp"};

// Words that end a name's alias or an expression rather than continue it.
inline const std::set<std::string> kClauseWords = {
    "inner", "left",  "right", "outer", "join", "on",      "where", "group",  "having",
    "order", "union", "from",  "as",    "in",   "with",    "and",   "or",     "not",
    "by",    "asc",   "desc",  "like",  "is",   "between", "mod",   "select", "into"};

// One SELECT's columns as the DISTINCTROW decision needs them.
struct SelectInfo {
    std::vector<std::string> fromNames;  // how each FROM item is referred to, lower case
    std::set<std::string> qualifiers;    // tables the select list reads, lower case
    bool unqualified = false;            // a column without its table, or *
    bool aggregate = false;
};

struct SelectItem {
    Expr expr{};
    std::string alias{};
};

class Parser {
  public:
    explicit Parser(const std::string& sql) : tokens_(tokenizeAccessSql(sql)) {}

    OracleTranslation run() {
        OracleTranslation result;
        result.sql = statement(true);
        if (comparesText_)
            notes_.push_back(
                "Access は文字列を大文字と小文字を区別せずに比べますが、Oracle は"
                "区別します (条件に文字列の比較があります)");
        result.notes = notes_;
        result.sources = sources_;
        return result;
    }

  private:
    const AccessToken& peek(std::size_t ahead = 0) const {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    bool isWord(const char* word, std::size_t ahead = 0) const {
        const AccessToken& t = peek(ahead);
        return t.kind == K::kWord && lower(t.text) == word;
    }
    bool isSymbol(const char* symbol, std::size_t ahead = 0) const {
        const AccessToken& t = peek(ahead);
        return t.kind == K::kSymbol && t.text == symbol;
    }
    bool acceptWord(const char* word) {
        if (!isWord(word))
            return false;
        ++pos_;
        return true;
    }
    bool acceptSymbol(const char* symbol) {
        if (!isSymbol(symbol))
            return false;
        ++pos_;
        return true;
    }
    void expectWord(const char* word) {
        if (!acceptWord(word))
            unexpected(word);
    }
    void expectSymbol(const char* symbol) {
        if (!acceptSymbol(symbol))
            unexpected(symbol);
    }
    [[noreturn]] void unexpected(const std::string& wanted) const {
        const AccessToken& t = peek();
        throw TranslationRefused("Access SQL を読めません: " + wanted + " の所に「" +
                                 (t.kind == K::kEnd ? std::string("文の終わり") : t.text) + "」");
    }

    bool nameAhead() const {
        const AccessToken& t = peek();
        return t.kind == K::kBracket ||
               (t.kind == K::kWord && kClauseWords.count(lower(t.text)) == 0);
    }
    std::string name() {
        if (peek().kind != K::kBracket && peek().kind != K::kWord)
            unexpected("名前");
        return tokens_[pos_++].text;
    }

    std::string statement(bool top);
    std::string select(bool top);
    std::string selectList(bool top, SelectInfo& info);
    std::string fromItem(SelectInfo& info);
    std::string fromPrimary(SelectInfo& info);
    std::string tailClauses(std::string& orderBy);
    Expr expression();
    Expr andExpr();
    Expr notExpr();
    Expr comparison();
    Expr comparisonRest(const Expr& left);
    Expr concatenation();
    Expr additive();
    Expr modulo();
    Expr integerDivision();
    Expr multiplicative();
    Expr unary();
    Expr power();
    Expr primary();
    Expr wordOrName();
    Expr nameReference();
    Expr like(const Expr& left, bool negated);

    std::vector<AccessToken> tokens_;
    std::size_t pos_ = 0;
    std::vector<std::string> notes_;
    std::vector<std::string> sources_;
    bool comparesText_ = false;
    SelectInfo* columns_ = nullptr;  // the select list being read
};

}  // namespace malvorn::convert::access
