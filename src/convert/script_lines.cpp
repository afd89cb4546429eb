#include "convert/script_lines.h"

#include <algorithm>

#include "convert/script_text.h"

namespace malvorn::convert {

std::string ScriptLines::fileForm() const {
    std::vector<std::string> trimmed;
    trimmed.reserve(count());
    for (std::size_t i = 1; i <= count(); ++i)
        trimmed.emplace_back(trimSpaces(lines_[i]));
    return toScriptFileBytes(trimmed);
}

std::string ScriptLines::statementForm() const {
    std::string statement;
    for (std::size_t i = 1; i <= count(); ++i) {
        if (lines_[i].starts_with("/*"))
            continue;
        statement += lines_[i];
        statement += '\r';
    }
    std::erase(statement, ';');
    return statement;
}

}  // namespace malvorn::convert
