#include "oracle/session.h"

#include <cctype>
#include <cstdlib>

#include "encoding/ascii.h"

namespace malvorn::oracle {
Value ResultSet::value(const std::string& columnName) const {
    const auto& names = columnNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (encoding::equalsIgnoringAsciiCase(names[i], columnName))
            return value(i);
    }
    throw OracleError(kServerErrorNumber, "結果に列 " + columnName + " がありません", "Malvorn");
}

std::unique_ptr<ResultSet> Session::run(const std::string& statement) {
    std::size_t start = 0;
    while (start < statement.size() &&
           (std::isspace(static_cast<unsigned char>(statement[start])) || statement[start] == '('))
        ++start;
    std::size_t end = start;
    while (end < statement.size() && std::isalpha(static_cast<unsigned char>(statement[end])))
        ++end;
    const std::string word = statement.substr(start, end - start);
    if (encoding::equalsIgnoringAsciiCase(word, "SELECT") ||
        encoding::equalsIgnoringAsciiCase(word, "WITH"))
        return query(statement);
    execute(statement);
    return nullptr;
}

void Session::insertRows(const std::string&, const std::vector<BoundRow>&) {
    throw OracleError(-1, "この接続先のドライバーは行のまとめ送りができません", "Malvorn");
}

std::unique_ptr<RowPreparer> Session::rowPreparer(const std::string&) {
    return nullptr;
}

void Session::insertPreparedRows(const std::string& insert, const std::vector<BoundRow>& rows,
                                 const PreparedRows*) {
    insertRows(insert, rows);
}

Route routeFor(const std::string& netServiceName) {
    if (netServiceName.empty())
        return {Route::Kind::kLocalServer, defaultLocalServerFolder()};
    if (netServiceName.front() == '/')
        return {Route::Kind::kLocalServer, netServiceName};
    return {Route::Kind::kOdbc, netServiceName};
}

std::string defaultLocalServerFolder() {
    if (const char* explicitFolder = std::getenv("MALVORN_LOCAL_SERVER");
        explicitFolder && *explicitFolder) {
        return explicitFolder;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return std::string(data) + "/malvorn/localserver";
    }
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/malvorn/localserver";
}

std::unique_ptr<Session> openSession(const ConnectionFields& fields, const Drivers& drivers) {
    const Route route = routeFor(fields.netServiceName);
    const DriverOpen& open =
        route.kind == Route::Kind::kLocalServer ? drivers.localServer : drivers.odbc;
    if (!open) {
        throw OracleError(-1, "この接続先に使えるドライバーがありません: " + fields.netServiceName,
                          "Malvorn");
    }
    return open(route.target, fields.user, fields.password);
}

}  // namespace malvorn::oracle
