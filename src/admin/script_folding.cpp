#include "admin/script_folding.h"

#include "encoding/cp932.h"
#include "shell/files.h"

namespace malvorn::admin {
namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t min = 0;
        char32_t cp = 0;
        if (byte < 0x80) {
            ++i;
            continue;
        } else if ((byte & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = byte & 0x1F;
        } else if ((byte & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = byte & 0x0F;
        } else if ((byte & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = byte & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

std::string foldScript(const std::vector<std::string>& lines) {
    std::string statement;
    bool inLiteral = false;
    for (const auto& line : lines) {
        if (line.starts_with("/*"))
            continue;
        statement += ' ';
        for (char c : line) {
            if (c == '\'')
                inLiteral = !inLiteral;  // '' inside a literal toggles twice
            if (c == ';' && !inLiteral)
                continue;
            statement += c;
        }
    }
    return statement;
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
    const std::string bytes = shell::readFileBytes(path);
    const std::string text = isValidUtf8(bytes) ? bytes : encoding::Cp932::toUtf8(bytes);
    return foldScript(splitLines(text));
}

}  // namespace malvorn::admin
