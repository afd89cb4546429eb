#include "base/statement_folding.h"

namespace malvorn::base {

std::string foldStatementLines(const std::vector<std::string>& lines, LineJoin join) {
    std::string statement;
    bool inLiteral = false;
    for (const auto& line : lines) {
        if (line.starts_with("/*"))
            continue;
        if (join == LineJoin::kBlankBefore)
            statement += ' ';
        for (const char c : line) {
            if (c == '\'')
                inLiteral = !inLiteral;  // '' inside a literal toggles twice
            if (c == ';' && !inLiteral)
                continue;
            statement += c;
        }
        if (join == LineJoin::kCrAfter)
            statement += '\r';
    }
    return statement;
}

}  // namespace malvorn::base
