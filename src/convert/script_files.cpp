#include "convert/script_files.h"

#include <ctime>

#include "convert/fixed_scripts.h"
#include "shell/files.h"
#include "shell/paths.h"

namespace malvorn::convert {

ScriptDate localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

int writeFixedScriptsIfMissing(const std::string& folder, const model::ConnectionFields& connection,
                               const ScriptDate& date) {
    const std::string base = shell::withTrailingSlash(folder);
    int written = 0;
    const std::string lfidno = base + std::string(kLfidnoScriptName);
    if (!shell::fileExists(lfidno)) {
        shell::writeFileAtomically(lfidno, toScriptFileBytes(lfidnoScriptLines(date)));
        ++written;
    }
    const std::string admin = base + std::string(kAdminScriptName);
    if (!shell::fileExists(admin)) {
        // It holds the administrator's password in clear: owner only.
        shell::writeFileAtomically(
            admin, toScriptFileBytes(adminScriptLines(connection.user, connection.password)), 0600);
        ++written;
    }
    return written;
}

std::string writeBatchScript(const std::string& folder, const model::ConnectionFields& connection,
                             const ScriptDate& date) {
    if (trimSpaces(folder).empty())
        throw InputError("格納先ディレクトリを入力してください");
    if (!shell::folderExists(folder))
        throw InputError("格納先ディレクトリが存在しません");
    auto scripts = shell::listFiles(folder, ".sql");
    if (scripts.empty())
        throw InputError("格納先ディレクトリにSQLファイルが存在しません");

    const std::string path = shell::withTrailingSlash(folder) + std::string(kBatchScriptName);
    const auto lines = batchScriptLines(connection.user, connection.password,
                                        connection.netServiceName, date, scripts);
    // The batch names the password too.
    shell::writeFileAtomically(path, toScriptFileBytes(lines), 0600);
    return path;
}

}  // namespace malvorn::convert
