#include "base/script_folding.h"

#include "base/files.h"
#include "base/statement_folding.h"
#include "encoding/cp932.h"
#include "encoding/utf8.h"

namespace malvorn::base {

std::string foldScript(const std::vector<std::string>& lines) {
    return base::foldStatementLines(lines, base::LineJoin::kBlankBefore);
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string foldScriptFile(const std::string& path) {
    const std::string bytes = base::readFileBytes(path);
    const std::string text = encoding::isValidUtf8(bytes) ? bytes : encoding::Cp932::toUtf8(bytes);
    return foldScript(splitLines(text));
}

}  // namespace malvorn::base
