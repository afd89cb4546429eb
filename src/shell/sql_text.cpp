#include "shell/sql_text.h"

namespace malvorn::shell {

std::string quoteSqlText(std::string_view text) {
    std::string literal;
    literal.reserve(text.size() + 2);
    literal += '\'';
    for (const char c : text) {
        literal += c;
        if (c == '\'')
            literal += '\'';
    }
    literal += '\'';
    return literal;
}

}  // namespace malvorn::shell
