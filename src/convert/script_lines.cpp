#include "convert/script_lines.h"

#include "convert/script_text.h"
#include "shell/statement_folding.h"

namespace malvorn::convert {

std::string ScriptLines::fileForm() const {
    std::vector<std::string> trimmed;
    trimmed.reserve(count());
    for (std::size_t i = 1; i <= count(); ++i)
        trimmed.emplace_back(trimSpaces(lines_[i]));
    return toScriptFileBytes(trimmed);
}

std::string ScriptLines::statementForm() const {
    const std::vector<std::string> numbered(lines_.begin() + 1, lines_.end());
    return shell::foldStatementLines(numbered, shell::LineJoin::kCrAfter);
}

}  // namespace malvorn::convert
