#pragma once

// The words of an Access SQL text.
#include <stdexcept>
#include <string>
#include <vector>

namespace malvorn::convert {

// Why a saved query cannot become a view; the text says it for the user.
class TranslationRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class AccessTokenKind {
    kWord,     // a name or keyword as written
    kBracket,  // [a name], without the brackets
    kString,   // "text" or 'text', its value
    kNumber,
    kDate,    // #...#, without the hashes
    kSymbol,  // ( ) , . ! ; & + - * / \ ^ = <> <= >= < >
    kEnd,
};

struct AccessToken {
    AccessTokenKind kind = AccessTokenKind::kEnd;
    std::string text;
};

// The tokens of `sql`, ending in one kEnd. Throws TranslationRefused for an
// unterminated string, name or date, or a character Access SQL has no use for.
std::vector<AccessToken> tokenizeAccessSql(const std::string& sql);

}  // namespace malvorn::convert
