#include "convert/script_files.h"

#include <ctime>

#include "base/files.h"
#include "base/paths.h"
#include "convert/fixed_scripts.h"

namespace malvorn::convert {

ScriptDate localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

int writeFixedScriptsIfMissing(const std::string& folder, const model::ConnectionFields& connection,
                               const ScriptDate& date) {
    const std::string base = base::withTrailingSlash(folder);
    int written = 0;
    const std::string lfidno = base + std::string(kLfidnoScriptName);
    if (!base::fileExists(lfidno)) {
        base::writeFileAtomically(lfidno, toScriptFileBytes(lfidnoScriptLines(date)));
        ++written;
    }
    const std::string admin = base + std::string(kAdminScriptName);
    if (!base::fileExists(admin)) {
        // It holds the administrator's password in clear: owner only.
        base::writeFileAtomically(
            admin, toScriptFileBytes(adminScriptLines(connection.user, connection.password)), 0600);
        ++written;
    }
    return written;
}

std::string writeBatchScript(const std::string& folder, const model::ConnectionFields& connection,
                             const ScriptDate& date) {
    if (trimSpaces(folder).empty())
        throw InputError("格納先ディレクトリを入力してください");
    if (!base::folderExists(folder))
        throw InputError("格納先ディレクトリが存在しません");
    auto scripts = base::listFiles(folder, ".sql");
    if (scripts.empty())
        throw InputError("格納先ディレクトリにSQLファイルが存在しません");

    const std::string path = base::withTrailingSlash(folder) + std::string(kBatchScriptName);
    const auto lines = batchScriptLines(connection.user, connection.password,
                                        connection.netServiceName, date, scripts);
    // The batch names the password too.
    base::writeFileAtomically(path, toScriptFileBytes(lines), 0600);
    return path;
}

}  // namespace malvorn::convert
