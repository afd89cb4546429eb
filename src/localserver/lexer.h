#pragma once

#include <string>
#include <vector>

namespace malvorn::localserver {

struct Token {
    enum class Kind {
        kWord,    // unquoted identifier or keyword, folded to upper case
        kQuoted,  // "quoted identifier", kept as written
        kString,  // 'text' with '' undoubled
        kNumber,
        kSymbol,  // ( ) , . * + - / || = <> != ^= < > <= >=
        kEnd,
    };
    Kind kind = Kind::kEnd;
    std::string text;
    std::size_t begin = 0;  // byte offsets in the statement
    std::size_t end = 0;

    bool isWord(const char* word) const { return kind == Kind::kWord && text == word; }
    bool isSymbol(const char* symbol) const { return kind == Kind::kSymbol && text == symbol; }
};

// Splits a statement into tokens the way the server reads it: CR, LF, tabs
// and blanks separate; -- and /* */ comments are dropped; unquoted names fold
// to upper case by Unicode's rules (Japanese names stay as they are). A ";",
// the ideographic space or any other character outside the language is
// ORA-00911.
std::vector<Token> tokenize(const std::string& statement);
// The same into `tokens`, whose elements are used again.
void tokenize(const std::string& statement, std::vector<Token>& tokens);
// Reads the string or number literal that starts at byte `i` of `statement`
// into `t` as tokenize does (and throws as it does); returns the offset past
// it, or `i` when no literal starts there. `t`'s offsets are left as they were.
std::size_t scanLiteral(const std::string& statement, std::size_t i, Token& t);

}  // namespace malvorn::localserver
