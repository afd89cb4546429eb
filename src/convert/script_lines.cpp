#include "convert/script_lines.h"

#include "base/statement_folding.h"
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
    const std::vector<std::string> numbered(lines_.begin() + 1, lines_.end());
    return base::foldStatementLines(numbered, base::LineJoin::kCrAfter);
}

}  // namespace malvorn::convert
