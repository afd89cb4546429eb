#include "jet/complex_columns.h"

#include <algorithm>
#include <map>
#include <optional>

#include "jet/jet_decode.h"

namespace malvorn::jet {
namespace {

// The positions of the named columns in `columns`; a missing one throws.
std::vector<std::size_t> positions(const std::vector<JetColumn>& columns,
                                   const std::vector<std::string>& names,
                                   const std::string& table) {
    std::vector<std::size_t> found;
    for (const auto& name : names) {
        const auto it = std::find_if(columns.begin(), columns.end(),
                                     [&](const JetColumn& column) { return column.name == name; });
        if (it == columns.end())
            throw makeJetError(JetErrorKind::kDamaged, table, "列 " + name + " がありません");
        found.push_back(static_cast<std::size_t>(it - columns.begin()));
    }
    return found;
}

std::optional<std::int64_t> number(const JetValue& value) {
    if (const auto* n = std::get_if<std::int64_t>(&value))
        return *n;
    return std::nullopt;
}

std::string text(const JetValue& value) {
    if (const auto* s = std::get_if<std::string>(&value))
        return *s;
    return {};
}

bool holds(const std::vector<std::string>& names, const std::string& wanted) {
    return std::find(names.begin(), names.end(), wanted) != names.end();
}

// Catalog id to name of every table object.
std::map<std::int64_t, std::string> tableIds(JetSource& source) {
    const std::string catalog = "MSysObjects";
    const auto rows = source.openRows(catalog);
    const auto at = positions(rows->columns(), {"Id", "Name"}, catalog);
    std::map<std::int64_t, std::string> ids;
    JetRow row;
    while (rows->next(row)) {
        if (const auto id = number(row[at[0]]))
            ids[*id] = text(row[at[1]]);
    }
    return ids;
}

}  // namespace

std::vector<ComplexColumn> readComplexColumns(JetSource& source) {
    const std::string catalog = "MSysComplexColumns";
    if (!holds(source.tableNames(), catalog))
        return {};
    const auto ids = tableIds(source);
    const auto rows = source.openRows(catalog);
    const auto at =
        positions(rows->columns(), {"ColumnName", "ConceptualTableID", "FlatTableID"}, catalog);
    auto nameOf = [&](const JetValue& id) {
        const auto n = number(id);
        const auto it = n ? ids.find(*n) : ids.end();
        if (it == ids.end())
            throw makeJetError(JetErrorKind::kDamaged, catalog,
                               "カタログにないテーブル ID を指しています");
        return it->second;
    };
    std::vector<ComplexColumn> columns;
    JetRow row;
    while (rows->next(row)) {
        // The link of an append-only memo to its history: the reader leaves
        // that column out.
        if (isVersionHistoryLink(text(row[at[0]]), kStoredComplex))
            continue;
        columns.push_back({nameOf(row[at[1]]), text(row[at[0]]), nameOf(row[at[2]])});
    }
    return columns;
}

JetValue complexLink(const JetValue& stored, const std::string& table) {
    if (isNull(stored))
        return stored;
    const auto* binary = std::get_if<JetBinary>(&stored);
    if (!binary || binary->bytes.size() != 4)
        throw makeJetError(JetErrorKind::kDamaged, table,
                           "複数値またはアタッチメントの列のリンク番号が 4 バイトではありません");
    std::uint32_t link = 0;
    for (int i = 3; i >= 0; --i)
        link = (link << 8) | static_cast<unsigned char>(binary->bytes[static_cast<std::size_t>(i)]);
    return static_cast<std::int64_t>(link);
}

}  // namespace malvorn::jet
