#include "jet/jet_schema_rules.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace malvorn::jet {

std::vector<model::JetIndexSchema> userIndexesOf(const std::vector<StoredIndex>& indexes,
                                                 const std::vector<model::JetFieldDef>& fields) {
    std::vector<model::JetIndexSchema> result;
    constexpr int kPrimaryIndex = 1;
    for (const StoredIndex& index : indexes) {
        if (index.name.starts_with(".") || index.kind == kRelationshipIndex)
            continue;
        // Entries that share a stored index: the key lives on one of them.
        const StoredIndex* keys = &index;
        if (index.keyColumns.empty()) {
            const auto holder =
                std::find_if(indexes.begin(), indexes.end(), [&](const StoredIndex& other) {
                    return other.number == index.number && !other.keyColumns.empty() &&
                           other.kind != kRelationshipIndex;
                });
            if (holder == indexes.end())
                continue;
            keys = &*holder;
        }
        model::JetIndexSchema schema;
        schema.name = index.name;
        schema.primary = index.kind == kPrimaryIndex;
        schema.unique = keys->unique || schema.primary;
        schema.ignoreNulls = keys->ignoreNulls;
        schema.required = keys->required;
        bool named = true;
        for (std::size_t k = 0; k < keys->keyColumns.size(); ++k) {
            const int column = keys->keyColumns[k];
            // The engine keeps its own index over each complex column's links;
            // no index of the user's holds one.
            if (column < 0 || static_cast<std::size_t>(column) >= fields.size() ||
                fields[static_cast<std::size_t>(column)].typeCode == model::kJetComplex) {
                named = false;
                break;
            }
            const bool descending = k < keys->descending.size() && keys->descending[k];
            schema.columns.push_back({fields[static_cast<std::size_t>(column)].name, descending});
        }
        if (named)
            result.push_back(std::move(schema));
    }
    return result;
}

Relationships relationshipsOf(std::vector<RelationshipRow> rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return std::tie(a.name, a.position) < std::tie(b.name, b.position);
    });
    Relationships out;
    for (std::size_t at = 0; at < rows.size();) {
        const RelationshipRow& first = rows[at];
        model::JetRelationship relationship;
        relationship.name = first.name;
        relationship.table = first.table;
        relationship.referencedTable = first.referencedTable;
        relationship.attributes = first.attributes;
        std::size_t end = at;
        for (; end < rows.size() && rows[end].name == first.name; ++end) {
            const RelationshipRow& row = rows[end];
            if (row.position != static_cast<std::int64_t>(end - at) || row.table != first.table ||
                row.referencedTable != first.referencedTable || row.column.empty() ||
                row.referencedColumn.empty()) {
                out.damage = "リレーションシップ " + first.name + " の列の記録が揃っていません";
                return out;
            }
            relationship.columns.push_back(row.column);
            relationship.referencedColumns.push_back(row.referencedColumn);
        }
        if (first.columnCount != static_cast<std::int64_t>(end - at)) {
            out.damage = "リレーションシップ " + first.name + " の列の数が記録と違います";
            return out;
        }
        out.relationships.push_back(std::move(relationship));
        at = end;
    }
    return out;
}

std::vector<model::JetRelationship> relationshipsOfTable(
    const std::vector<model::JetRelationship>& all, const std::string& table) {
    std::vector<model::JetRelationship> result;
    for (const auto& relationship : all) {
        if (sameNameIgnoringCase(relationship.table, table) ||
            sameNameIgnoringCase(relationship.referencedTable, table))
            result.push_back(relationship);
    }
    return result;
}

}  // namespace malvorn::jet
