#include "localserver/lexer.h"

#include <algorithm>

#include "encoding/letter_case.h"
#include "encoding/name_characters.h"
#include "localserver/errors.h"

namespace malvorn::localserver {
namespace {

constexpr std::size_t kMaxLiteralBytes = 4000;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
using encoding::isNamePartByte;
using encoding::isNameStartByte;

// The ideographic space U+3000, typed with the Japanese input mode on, is no
// blank to the server: ORA-00911 wherever it stands outside quotes.
using encoding::isIdeographicSpaceAt;

// Each scanner reads one token starting at `i` into `t` and returns the
// offset past it.

std::size_t scanString(const std::string& s, std::size_t i, Token& t) {
    const std::size_t n = s.size();
    t.kind = Token::Kind::kString;
    ++i;
    for (;;) {
        if (i >= n)
            oraThrow(1756, "quoted string not properly terminated");
        if (s[i] == '\'') {
            if (i + 1 < n && s[i + 1] == '\'') {
                t.text += '\'';
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        // The run up to the next quote in one piece.
        const std::size_t quote = std::min(s.find('\'', i), n);
        t.text.append(s, i, quote - i);
        i = quote;
    }
    // The server's limit for one literal; longer values go in pieces.
    if (t.text.size() > kMaxLiteralBytes)
        oraThrow(1704, "string literal too long");
    return i;
}

std::size_t scanQuotedName(const std::string& s, std::size_t i, Token& t) {
    t.kind = Token::Kind::kQuoted;
    const std::size_t close = s.find('"', i + 1);
    if (close == std::string::npos)
        oraThrow(1740, "missing double quote in identifier");
    t.text.assign(s, i + 1, close - i - 1);
    if (t.text.empty())
        oraThrow(1741, "illegal zero-length identifier");
    return close + 1;
}

std::size_t scanNumber(const std::string& s, std::size_t i, Token& t) {
    const std::size_t n = s.size();
    const std::size_t begin = i;
    t.kind = Token::Kind::kNumber;
    // The end is found first and the text taken in one piece.
    while (i < n && isDigit(s[i]))
        ++i;
    if (i < n && s[i] == '.' && !(i + 1 < n && s[i + 1] == '.')) {
        ++i;
        while (i < n && isDigit(s[i]))
            ++i;
    }
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < n && isDigit(s[j])) {
            i = j;
            while (i < n && isDigit(s[i]))
                ++i;
        }
    }
    // 1.5d, 2e3f: a BINARY_DOUBLE or BINARY_FLOAT literal.
    if (i < n && (s[i] == 'd' || s[i] == 'D' || s[i] == 'f' || s[i] == 'F') &&
        !(i + 1 < n && isNamePartByte(s[i + 1])))
        ++i;
    t.text.assign(s, begin, i - begin);
    return i;
}

std::size_t scanWord(const std::string& s, std::size_t i, Token& t) {
    t.kind = Token::Kind::kWord;
    bool ascii = true;
    while (i < s.size() && isNamePartByte(s[i])) {
        if (isIdeographicSpaceAt(s, i))
            oraThrow(911, "invalid character");
        ascii = ascii && static_cast<unsigned char>(s[i]) < 0x80;
        ++i;
    }
    const std::string_view word = std::string_view(s).substr(t.begin, i - t.begin);
    if (!ascii) {
        t.text = encoding::upperCaseName(word);
        return i;
    }
    // ASCII folds in place, in the token's kept memory.
    t.text.assign(word);
    for (char& c : t.text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return i;
}

std::size_t scanSymbol(const std::string& s, std::size_t i, Token& t) {
    t.kind = Token::Kind::kSymbol;
    const char c = s[i];
    const char d = i + 1 < s.size() ? s[i + 1] : '\0';
    // || <> != ^= <= >=
    const bool two = (c == '|' && d == '|') || (c == '<' && (d == '>' || d == '=')) ||
                     ((c == '!' || c == '^' || c == '>') && d == '=');
    if (two) {
        t.text = {c, d};
        return i + 2;
    }
    switch (c) {
        case '(':
        case ')':
        case ',':
        case '.':
        case '*':
        case '+':
        case '-':
        case '/':
        case '=':
        case '<':
        case '>':
            break;
        default:
            oraThrow(911, "invalid character");
    }
    t.text.assign(1, c);
    return i + 1;
}

// Past blanks and comments from `i`; the ideographic space is refused.
std::size_t skipSpace(const std::string& s, std::size_t i) {
    const std::size_t n = s.size();
    while (i < n) {
        if (isBlank(s[i])) {
            ++i;
        } else if (isIdeographicSpaceAt(s, i)) {
            oraThrow(911, "invalid character");
        } else if (s[i] == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n')
                ++i;
        } else if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') {
            const std::size_t close = s.find("*/", i + 2);
            if (close == std::string::npos)
                oraThrow(1742, "comment not terminated properly");
            i = close + 2;
        } else {
            break;
        }
    }
    return i;
}

}  // namespace

void tokenize(const std::string& s, std::vector<Token>& tokens) {
    // The tokens already there are filled again, keeping their texts'
    // memory: a copy sends statements of one shape, row after row.
    std::size_t count = 0;
    const auto next = [&]() -> Token& {
        if (count == tokens.size())
            tokens.emplace_back();
        Token& t = tokens[count++];
        t.kind = Token::Kind::kEnd;
        t.text.clear();
        return t;
    };
    const std::size_t n = s.size();
    for (std::size_t i = skipSpace(s, 0); i < n; i = skipSpace(s, i)) {
        const char c = s[i];
        Token& t = next();
        t.begin = i;
        if (c == '\'')
            i = scanString(s, i, t);
        else if (c == '"')
            i = scanQuotedName(s, i, t);
        else if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(s[i + 1])))
            i = scanNumber(s, i, t);
        else if (isNameStartByte(c))
            i = scanWord(s, i, t);
        else
            i = scanSymbol(s, i, t);
        t.end = i;
    }
    Token& end = next();
    end.begin = end.end = n;
    tokens.resize(count);
}

std::size_t scanLiteral(const std::string& s, std::size_t i, Token& t) {
    if (i >= s.size())
        return i;
    t.text.clear();
    if (s[i] == '\'')
        return scanString(s, i, t);
    if (isDigit(s[i]) || (s[i] == '.' && i + 1 < s.size() && isDigit(s[i + 1])))
        return scanNumber(s, i, t);
    return i;
}

std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> tokens;
    // About one token in four bytes of a row's INSERT: spares the regrowths.
    tokens.reserve(s.size() / 4 + 1);
    tokenize(s, tokens);
    return tokens;
}

}  // namespace malvorn::localserver
