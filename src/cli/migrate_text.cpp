#include "cli/migrate_text.h"

#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <utility>

#include "cli/command.h"

namespace malvorn::cli {
namespace {

// Server refusals the --oracle-safe rules avoid, with what those rules do
// differently.
constexpr std::pair<const char*, const char*> kSafeRulesAvoid[] = {
    {"ORA-00902", "型"},        // every Jet type gets an Oracle type
    {"ORA-00903", "名前"},      // names Oracle cannot take unquoted are quoted
    {"ORA-00904", "名前"},      //
    {"ORA-00911", "名前"},      //
    {"ORA-00972", "名前"},      //
    {"ORA-02264", "制約名"},    // a constraint name already used is renamed
    {"ORA-02260", "主キー"},    // the key is the primary index Jet marks
    {"ORA-02261", "主キー"},    //
    {"ORA-01400", "NOT NULL"},  // no column is NOT NULL
    {"ORA-01704", "長い値"},    // long values go in pieces
};

const char* safeRulesAvoid(const std::string& result) {
    for (const auto& [code, what] : kSafeRulesAvoid) {
        if (result.starts_with(code))
            return what;
    }
    return nullptr;
}

}  // namespace

std::string failedTablesText(const core::MigrateReport& report) {
    std::string text;
    for (const auto& table : report.tables) {
        if (!table.ok)
            text += "  " + table.table + ": " + table.result + "\n";
    }
    return text.empty() ? text : "失敗した表:\n" + text;
}

std::string oracleSafeHint(const core::MigrateReport& report) {
    std::string tables;
    for (const auto& table : report.tables) {
        if (table.ok)
            continue;
        if (const char* what = safeRulesAvoid(table.result))
            tables += (tables.empty() ? "" : ", ") + table.table + " (" + what + ")";
    }
    if (tables.empty())
        return tables;
    return "--oracle-safe (どの Access ファイルでも通る規則) なら避けられる失敗の表: " + tables +
           "\n";
}

void checkReportPath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_directory(path, error))
        throw UsageError("--report はフォルダです: " + path);
    const fs::path parent = fs::path(path).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    if (!fs::is_directory(folder, error))
        throw UsageError("--report のフォルダがありません: " + folder + " (" + path + ")");
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw UsageError("--report のフォルダに書けません: " + folder + " (" + path + ")");
}

}  // namespace malvorn::cli
