#include "jet/linked_tables.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "jet/jet_decode.h"
#include "jet/jet_error.h"

namespace malvorn::jet {
namespace {

constexpr std::int64_t kJetLinkType = 6;
constexpr std::int64_t kOdbcLinkType = 4;

std::optional<std::size_t> position(const std::vector<JetColumn>& columns,
                                    const std::string& name) {
    const auto it = std::find_if(columns.begin(), columns.end(),
                                 [&](const JetColumn& column) { return column.name == name; });
    if (it == columns.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - columns.begin());
}

std::string textAt(const JetRow& row, std::optional<std::size_t> at) {
    if (!at || *at >= row.size())
        return {};
    const auto* s = std::get_if<std::string>(&row[*at]);
    return s ? *s : std::string();
}

std::int64_t numberAt(const JetRow& row, std::optional<std::size_t> at) {
    if (!at || *at >= row.size())
        return 0;
    const auto* n = std::get_if<std::int64_t>(&row[*at]);
    return n ? *n : 0;
}

// The path in a Jet link's Connect, ";DATABASE=<path>[;...]".
std::string databaseInConnect(const std::string& connect) {
    const std::string key = "DATABASE=";
    std::string upper = connect;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::size_t at = upper.find(key);
    if (at == std::string::npos)
        return {};
    const std::size_t begin = at + key.size();
    return connect.substr(begin, connect.find(';', begin) - begin);
}

[[noreturn]] void damaged(const std::string& what) {
    throw makeJetError(JetErrorKind::kDamaged, "MSysObjects", what);
}

}  // namespace

std::vector<LinkedTable> readLinkedTables(JetSource& source) {
    const auto rows = source.openRows("MSysObjects");
    const auto& columns = rows->columns();
    const auto name = position(columns, "Name");
    const auto type = position(columns, "Type");
    if (!name || !type)
        damaged("列 Name と Type がありません");
    const auto flags = position(columns, "Flags");
    const auto connect = position(columns, "Connect");
    const auto database = position(columns, "Database");
    const auto foreignName = position(columns, "ForeignName");
    std::vector<LinkedTable> links;
    JetRow row;
    while (rows->next(row)) {
        // Exactly 4 or 6: the engine's documents carry the high bit (0x8004
        // is a report's, not a link).
        const std::int64_t kind = numberAt(row, type);
        if (kind != kJetLinkType && kind != kOdbcLinkType)
            continue;
        LinkedTable link{.name = textAt(row, name),
                         .foreignName = textAt(row, foreignName),
                         .database = textAt(row, database),
                         .connect = textAt(row, connect),
                         .odbc = kind == kOdbcLinkType};
        if (!isUserTable(link.name, static_cast<std::uint32_t>(numberAt(row, flags))))
            continue;
        if (!link.odbc && link.database.empty())
            link.database = databaseInConnect(link.connect);
        if (link.foreignName.empty() || (!link.odbc && link.database.empty()))
            damaged("リンクテーブル " + link.name + " のリンク先がカタログにありません");
        links.push_back(std::move(link));
    }
    // In the order of the table names' listing.
    std::vector<std::string> names;
    for (const auto& link : links)
        names.push_back(link.name);
    sortNamesIgnoringCase(names);
    std::vector<LinkedTable> sorted;
    for (const auto& n : names) {
        const auto it = std::find_if(links.begin(), links.end(),
                                     [&](const LinkedTable& l) { return l.name == n; });
        sorted.push_back(std::move(*it));
        links.erase(it);
    }
    return sorted;
}

std::optional<std::string> findBackEnd(const LinkedTable& link, const std::string& frontEnd) {
    if (link.odbc)
        return std::nullopt;
    std::error_code error;
    if (std::filesystem::is_regular_file(link.database, error))
        return link.database;
    // The stored path may be written with either separator.
    const std::size_t slash = link.database.find_last_of("/\\");
    const std::string fileName =
        slash == std::string::npos ? link.database : link.database.substr(slash + 1);
    const std::filesystem::path beside =
        std::filesystem::path(frontEnd).parent_path() / std::filesystem::path(fileName);
    if (!fileName.empty() && std::filesystem::is_regular_file(beside, error))
        return beside.string();
    return std::nullopt;
}

std::string describeLink(const LinkedTable& link) {
    if (link.odbc)
        return link.name + "\t(ODBC リンク: " + link.connect + " の " + link.foreignName + ")";
    return link.name + "\t(リンク: " + link.database + " の " + link.foreignName + ")";
}

}  // namespace malvorn::jet
