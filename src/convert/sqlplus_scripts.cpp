#include "convert/sqlplus_scripts.h"

#include "convert/script_text.h"
#include "encoding/letter_case.h"
#include "encoding/utf8.h"

namespace malvorn::convert {
namespace {

bool keptAscii(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

// Blanks and controls beyond ASCII: a shell splits words at some of them,
// and none of them is visible in a listing.
bool blankOrControl(char32_t c) {
    return (c >= 0x80 && c <= 0xA0) || c == 0x1680 || (c >= 0x2000 && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202F) || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// Windows keeps these names for devices, whatever the extension.
bool deviceName(const std::string& stem) {
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    const std::string upper = encoding::upperCaseName(stem);
    for (const char* device : kDevices) {
        if (upper == device)
            return true;
    }
    return upper.size() == 4 && (upper.rfind("COM", 0) == 0 || upper.rfind("LPT", 0) == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

std::string safeStem(const std::string& wanted) {
    std::string stem;
    for (const char32_t c : encoding::decodeUtf8(wanted)) {
        if (c < 0x80 ? keptAscii(c) && !(stem.empty() && c == '-') : !blankOrControl(c))
            encoding::appendUtf8(stem, c);
        else
            stem += '_';
    }
    if (stem.empty())
        return "table";
    return deviceName(stem) ? stem + "_" : stem;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

}  // namespace

void ScriptFileNames::reserve(const std::string& fileName) {
    taken_.insert(encoding::upperCaseName(fileName));
}

bool ScriptFileNames::free(const std::string& fileName) const {
    return taken_.count(encoding::upperCaseName(fileName)) == 0;
}

std::string ScriptFileNames::take(const std::string& wanted) {
    const std::string stem = safeStem(wanted);
    std::string name = stem + ".sql";
    for (int n = 2; !free(name); ++n)
        name = stem + "_" + std::to_string(n) + ".sql";
    reserve(name);
    return name;
}

std::string sqlPlusHeader(const std::string& what) {
    return "-- 文字コード UTF-8: " + what +
           "\n"
           "SET DEFINE OFF\n"
           "SET SQLBLANKLINES ON\n"
           "SET BLOCKTERMINATOR OFF\n";
}

std::optional<std::string> sqlPlusTrap(const std::string& sql) {
    const std::vector<std::string> lines = splitLines(sql);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string line(trimSpaces(lines[i]));
        if (i > 0 && line == "/")
            return "「/」だけの行があり、SQL*Plus はそこで文を実行します";
        if (i > 0 && !line.empty() && line[0] == '#')
            return "「#」で始まる行があり、SQL*Plus はそれを自分のコマンドとして読みます";
        if (i + 1 < lines.size() && !line.empty() && line.back() == ';')
            return "「;」で終わる行があり、SQL*Plus はそこで文を終えます";
    }
    return std::nullopt;
}

std::string sqlPlusStatement(const std::string& sql) {
    return sql + ";\n";
}

std::string utf8TableScript(const ScriptLines& lines, const std::string& what) {
    std::string text = sqlPlusHeader(what);
    for (std::size_t i = 1; i <= lines.count(); ++i)
        text += std::string(trimSpaces(lines[i])) + "\n";
    return text;
}

std::string schemaMasterScript(const std::string& database, const std::vector<std::string>& files) {
    std::string text =
        sqlPlusHeader(database + " のスキーマを順に作ります (sqlplus USER@SERVICE @" +
                      std::string(kSchemaMasterScriptName) + ")");
    text += "WHENEVER SQLERROR EXIT FAILURE\n";
    for (const auto& file : files)
        text += "@@" + file + "\n";
    return text + "EXIT\n";
}

}  // namespace malvorn::convert
