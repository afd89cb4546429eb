#include "convert/validation_rule.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "base/sql_text.h"
#include "encoding/ascii.h"

namespace malvorn::convert {
namespace {

enum class Kind { kWord, kNumber, kText, kDate, kField, kSymbol, kEnd };

struct Token {
    Kind kind = Kind::kEnd;
    std::string text;
};

// Thrown inside the parser: the rule does not translate.
struct Untranslatable {};

bool isWordByte(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

std::string closedBy(const std::string& rule, std::size_t& at, char close) {
    const std::size_t end = rule.find(close, at + 1);
    if (end == std::string::npos)
        throw Untranslatable{};
    std::string inside = rule.substr(at + 1, end - at - 1);
    at = end + 1;
    return inside;
}

std::vector<Token> tokens(const std::string& rule) {
    std::vector<Token> out;
    for (std::size_t at = 0; at < rule.size();) {
        const char c = rule[at];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++at;
        } else if (c == '"' || c == '\'') {
            // A doubled quote inside stands for one.
            std::string text;
            for (++at;; ++at) {
                if (at >= rule.size())
                    throw Untranslatable{};
                if (rule[at] == c && at + 1 < rule.size() && rule[at + 1] == c)
                    text += rule[++at];
                else if (rule[at] == c)
                    break;
                else
                    text += rule[at];
            }
            ++at;
            out.push_back({Kind::kText, text});
        } else if (c == '#') {
            out.push_back({Kind::kDate, closedBy(rule, at, '#')});
        } else if (c == '[') {
            out.push_back({Kind::kField, closedBy(rule, at, ']')});
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            std::size_t end = at;
            while (end < rule.size() &&
                   (std::isdigit(static_cast<unsigned char>(rule[end])) || rule[end] == '.'))
                ++end;
            out.push_back({Kind::kNumber, rule.substr(at, end - at)});
            at = end;
        } else if (isWordByte(c)) {
            std::size_t end = at;
            while (end < rule.size() && isWordByte(rule[end]))
                ++end;
            out.push_back({Kind::kWord, rule.substr(at, end - at)});
            at = end;
        } else {
            const std::string two = rule.substr(at, 2);
            if (two == "<>" || two == "<=" || two == ">=") {
                out.push_back({Kind::kSymbol, two});
                at += 2;
            } else if (std::string("=<>()+-*/,").find(c) != std::string::npos) {
                out.push_back({Kind::kSymbol, std::string(1, c)});
                ++at;
            } else {
                throw Untranslatable{};
            }
        }
    }
    out.push_back({Kind::kEnd, ""});
    return out;
}

// "m/d/yyyy" or "yyyy-mm-dd", with "hh:mm[:ss]" after it, as Oracle's DATE.
std::string dateLiteral(const std::string& text) {
    int a = 0, b = 0, c = 0, hour = 0, minute = 0, second = 0, used = 0;
    int year = 0, month = 0, day = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d%n", &a, &b, &c, &used) == 3)
        year = a, month = b, day = c;
    else if (std::sscanf(text.c_str(), "%d/%d/%d%n", &a, &b, &c, &used) == 3)
        month = a, day = b, year = c;
    else
        throw Untranslatable{};
    const std::string rest = text.substr(static_cast<std::size_t>(used));
    int timeUsed = 0;
    if (rest.find_first_not_of(' ') != std::string::npos &&
        std::sscanf(rest.c_str(), " %d:%d%n:%d%n", &hour, &minute, &timeUsed, &second, &timeUsed) <
            2)
        throw Untranslatable{};
    if (rest.find_first_not_of(' ') != std::string::npos &&
        rest.find_first_not_of(' ', static_cast<std::size_t>(timeUsed)) != std::string::npos)
        throw Untranslatable{};
    if (year < 100 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 59)
        throw Untranslatable{};
    char buffer[128];
    std::snprintf(buffer, sizeof buffer,
                  "TO_DATE('%04d-%02d-%02d %02d:%02d:%02d','YYYY-MM-DD HH24:MI:SS')", year, month,
                  day, hour, minute, second);
    return buffer;
}

class Parser {
  public:
    Parser(std::vector<Token> tokens, std::string field, const FieldNamer& names)
        : tokens_(std::move(tokens)), field_(std::move(field)), names_(names) {}

    std::string condition() {
        std::string result = orExpression();
        if (peek().kind != Kind::kEnd)
            throw Untranslatable{};
        return result;
    }

  private:
    const Token& peek() const { return tokens_[at_]; }
    Token take() { return tokens_[at_++]; }
    bool isWord(const char* word) const {
        return peek().kind == Kind::kWord && encoding::equalsIgnoringAsciiCase(peek().text, word);
    }
    bool isSymbol(const char* symbol) const {
        return peek().kind == Kind::kSymbol && peek().text == symbol;
    }
    void expectSymbol(const char* symbol) {
        if (!isSymbol(symbol))
            throw Untranslatable{};
        ++at_;
    }

    std::string orExpression() {
        std::string left = andExpression();
        while (isWord("Or")) {
            ++at_;
            left = left + " OR " + andExpression();
        }
        return left;
    }

    std::string andExpression() {
        std::string left = notExpression();
        while (isWord("And")) {
            ++at_;
            left = left + " AND " + notExpression();
        }
        return left;
    }

    std::string notExpression() {
        if (isWord("Not") && !startsPredicateAfterNot()) {
            ++at_;
            return "NOT (" + notExpression() + ")";
        }
        return predicate();
    }

    // "Not In (…)" and "Not Like …" in a field's rule are predicates.
    bool startsPredicateAfterNot() const {
        const Token& next = tokens_[at_ + 1];
        return next.kind == Kind::kWord && (encoding::equalsIgnoringAsciiCase(next.text, "In") ||
                                            encoding::equalsIgnoringAsciiCase(next.text, "Like"));
    }

    bool startsWithOperator() const {
        return isSymbol("=") || isSymbol("<>") || isSymbol("<") || isSymbol(">") ||
               isSymbol("<=") || isSymbol(">=") || isWord("Between") || isWord("In") ||
               isWord("Like") || isWord("Is") || isWord("Not");
    }

    std::string predicate() {
        std::string left;
        if (startsWithOperator()) {
            if (field_.empty())
                throw Untranslatable{};
            left = fieldName(field_);
        } else if (isSymbol("(") && groupIsCondition()) {
            ++at_;
            std::string inner = orExpression();
            expectSymbol(")");
            return "(" + inner + ")";
        } else {
            left = arithmetic();
        }
        return left + " " + rest();
    }

    // Whether the parenthesis at the cursor holds a condition rather than
    // a value: a comparison or a keyword of one comes before its close.
    bool groupIsCondition() const {
        static const char* const kConditionWords[] = {"And", "Or",   "Not", "Between",
                                                      "In",  "Like", "Is"};
        int depth = 0;
        for (std::size_t i = at_; tokens_[i].kind != Kind::kEnd; ++i) {
            const Token& token = tokens_[i];
            if (token.kind == Kind::kSymbol && token.text == "(")
                ++depth;
            else if (token.kind == Kind::kSymbol && token.text == ")" && --depth == 0)
                return false;
            else if (token.kind == Kind::kSymbol &&
                     std::string("=<>").find(token.text[0]) != std::string::npos)
                return true;
            for (const char* word : kConditionWords) {
                if (token.kind == Kind::kWord &&
                    encoding::equalsIgnoringAsciiCase(token.text, word))
                    return true;
            }
        }
        return false;
    }

    // The operator and right side of a predicate whose left side is done.
    std::string rest() {
        if (peek().kind == Kind::kSymbol && peek().text != "(" && peek().text != ")" &&
            std::string("=<>").find(peek().text[0]) != std::string::npos) {
            const std::string op = take().text;
            return op + " " + arithmetic();
        }
        bool negated = false;
        if (isWord("Not")) {
            ++at_;
            negated = true;
        }
        if (isWord("Between") && !negated) {
            ++at_;
            std::string low = arithmetic();
            if (!isWord("And"))
                throw Untranslatable{};
            ++at_;
            return "BETWEEN " + low + " AND " + arithmetic();
        }
        if (isWord("In")) {
            ++at_;
            expectSymbol("(");
            std::string list = arithmetic();
            while (isSymbol(",")) {
                ++at_;
                list += ", " + arithmetic();
            }
            expectSymbol(")");
            return std::string(negated ? "NOT " : "") + "IN (" + list + ")";
        }
        if (isWord("Like")) {
            ++at_;
            if (peek().kind != Kind::kText)
                throw Untranslatable{};
            return std::string(negated ? "NOT " : "") + "LIKE " + likePattern(take().text);
        }
        if (isWord("Is") && !negated) {
            ++at_;
            const bool isNot = isWord("Not");
            if (isNot)
                ++at_;
            if (!isWord("Null"))
                throw Untranslatable{};
            ++at_;
            return isNot ? "IS NOT NULL" : "IS NULL";
        }
        throw Untranslatable{};
    }

    static std::string likePattern(const std::string& pattern) {
        std::string out;
        for (const char c : pattern) {
            if (c == '[' || c == '#' || c == '%' || c == '_')
                throw Untranslatable{};
            out += c == '*' ? '%' : c == '?' ? '_' : c;
        }
        return base::quoteSqlText(out);
    }

    std::string arithmetic() {
        std::string left = term();
        while (isSymbol("+") || isSymbol("-")) {
            const std::string op = take().text;
            left += " " + op + " " + term();
        }
        return left;
    }

    std::string term() {
        std::string left = operand();
        while (isSymbol("*") || isSymbol("/")) {
            const std::string op = take().text;
            left += " " + op + " " + operand();
        }
        return left;
    }

    std::string operand() {
        const Token token = take();
        switch (token.kind) {
            case Kind::kNumber:
                if (token.text.find('.') != token.text.rfind('.') || token.text == ".")
                    throw Untranslatable{};
                return token.text;
            case Kind::kText:
                return base::quoteSqlText(token.text);
            case Kind::kDate:
                return dateLiteral(token.text);
            case Kind::kField:
                return fieldName(token.text);
            case Kind::kWord:
                if (encoding::equalsIgnoringAsciiCase(token.text, "True") ||
                    encoding::equalsIgnoringAsciiCase(token.text, "Yes"))
                    return "-1";
                if (encoding::equalsIgnoringAsciiCase(token.text, "False") ||
                    encoding::equalsIgnoringAsciiCase(token.text, "No"))
                    return "0";
                if (isSymbol("("))
                    throw Untranslatable{};  // a function call
                return fieldName(token.text);
            case Kind::kSymbol:
                if (token.text == "-")
                    return "-" + operand();
                if (token.text == "(") {
                    std::string inner = arithmetic();
                    expectSymbol(")");
                    return "(" + inner + ")";
                }
                throw Untranslatable{};
            case Kind::kEnd:
                break;
        }
        throw Untranslatable{};
    }

    std::string fieldName(const std::string& jetName) {
        const auto name = names_(jetName);
        if (!name)
            throw Untranslatable{};
        return *name;
    }

    std::vector<Token> tokens_;
    std::size_t at_ = 0;
    std::string field_;
    const FieldNamer& names_;
};

}  // namespace

std::optional<std::string> translateValidationRule(const std::string& rule,
                                                   const std::string& field,
                                                   const FieldNamer& names) {
    try {
        auto list = tokens(rule);
        if (list.size() == 1)
            return std::nullopt;
        return Parser(std::move(list), field, names).condition();
    } catch (const Untranslatable&) {
        return std::nullopt;
    }
}

}  // namespace malvorn::convert
