#include "convert/access_sql_lexer.h"

#include <cstring>

namespace malvorn::convert {
namespace {

bool wordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
           (u >= '0' && u <= '9') || u == '_' || u == '$';
}

bool digit(char c) {
    return c >= '0' && c <= '9';
}

// Up to `close`; a doubled `close` inside a string stands for one.
std::size_t readQuoted(const std::string& sql, std::size_t at, char close, bool doubling,
                       std::string& value) {
    for (std::size_t i = at + 1; i < sql.size(); ++i) {
        if (sql[i] != close) {
            value += sql[i];
            continue;
        }
        if (doubling && i + 1 < sql.size() && sql[i + 1] == close) {
            value += close;
            ++i;
            continue;
        }
        return i + 1;
    }
    throw TranslationRefused("文字列か名前か日付が閉じていません: " + sql.substr(at, 40));
}

}  // namespace

std::vector<AccessToken> tokenizeAccessSql(const std::string& sql) {
    std::vector<AccessToken> tokens;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '"' || c == '\'') {
            AccessToken token{AccessTokenKind::kString, {}};
            i = readQuoted(sql, i, c, true, token.text);
            tokens.push_back(std::move(token));
        } else if (c == '[') {
            AccessToken token{AccessTokenKind::kBracket, {}};
            i = readQuoted(sql, i, ']', false, token.text);
            tokens.push_back(std::move(token));
        } else if (c == '#') {
            AccessToken token{AccessTokenKind::kDate, {}};
            i = readQuoted(sql, i, '#', false, token.text);
            tokens.push_back(std::move(token));
        } else if (digit(c) || (c == '.' && i + 1 < sql.size() && digit(sql[i + 1]))) {
            std::size_t end = i;
            while (end < sql.size() && (digit(sql[end]) || sql[end] == '.'))
                ++end;
            if (end < sql.size() && (sql[end] == 'e' || sql[end] == 'E')) {
                std::size_t exponent = end + 1;
                if (exponent < sql.size() && (sql[exponent] == '+' || sql[exponent] == '-'))
                    ++exponent;
                if (exponent < sql.size() && digit(sql[exponent])) {
                    end = exponent;
                    while (end < sql.size() && digit(sql[end]))
                        ++end;
                }
            }
            tokens.push_back({AccessTokenKind::kNumber, sql.substr(i, end - i)});
            i = end;
        } else if (wordByte(c)) {
            std::size_t end = i;
            while (end < sql.size() && wordByte(sql[end]))
                ++end;
            tokens.push_back({AccessTokenKind::kWord, sql.substr(i, end - i)});
            i = end;
        } else if ((c == '<' || c == '>') && i + 1 < sql.size() &&
                   (sql[i + 1] == '=' || (c == '<' && sql[i + 1] == '>'))) {
            tokens.push_back({AccessTokenKind::kSymbol, sql.substr(i, 2)});
            i += 2;
        } else if (std::strchr("(),.!;&+-*/\\^=<>", c) != nullptr) {
            tokens.push_back({AccessTokenKind::kSymbol, std::string(1, c)});
            ++i;
        } else {
            throw TranslationRefused("Access SQL にない文字です: " + std::string(1, c));
        }
    }
    tokens.push_back({AccessTokenKind::kEnd, {}});
    return tokens;
}

}  // namespace malvorn::convert
