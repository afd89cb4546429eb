#include "jet/mdb_schema.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "jet/jet_error.h"

namespace malvorn::jet {
namespace {

std::string property(const char* value) {
    return value != nullptr ? std::string(value) : std::string();
}

bool yes(const char* value) {
    return value != nullptr && std::strcmp(value, "yes") == 0;
}

struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

}  // namespace

model::JetFieldSchema fieldSchemaOf(MdbColumn* column) {
    model::JetFieldSchema field;
    field.name = column->name;
    field.autoIncrement = column->is_long_auto != 0 && column->col_type == MDB_LONGINT;
    field.guidAuto = column->is_uuid_auto != 0 && column->col_type == MDB_REPID;
    field.required = yes(mdb_col_get_prop(column, "Required"));
    field.allowZeroLength = yes(mdb_col_get_prop(column, "AllowZeroLength"));
    field.validationRule = property(mdb_col_get_prop(column, "ValidationRule"));
    field.validationText = property(mdb_col_get_prop(column, "ValidationText"));
    field.description = property(mdb_col_get_prop(column, "Description"));
    return field;
}

void readTableProperties(MdbTableDef* table, model::JetTableSchema& schema) {
    schema.validationRule = property(mdb_table_get_prop(table, "ValidationRule"));
    schema.validationText = property(mdb_table_get_prop(table, "ValidationText"));
    schema.description = property(mdb_table_get_prop(table, "Description"));
}

std::optional<std::vector<RelationshipRow>> readRelationshipRows(MdbHandle* mdb,
                                                                 const std::string& path) {
    MdbCatalogEntry* entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* candidate = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (candidate->object_type == MDB_TABLE &&
            std::strcmp(candidate->object_name, "MSysRelationships") == 0)
            entry = candidate;
    }
    if (entry == nullptr)
        return std::nullopt;
    std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(entry));
    if (!table || mdb_read_columns(table.get()) == nullptr)
        throw makeJetError(JetErrorKind::kDamaged, path, "リレーションシップの一覧を読めません");
    const char* names[] = {"szRelationship",     "szObject", "szColumn", "szReferencedObject",
                           "szReferencedColumn", "icolumn",  "ccolumn",  "grbit"};
    constexpr std::size_t kColumns = sizeof(names) / sizeof(names[0]);
    std::vector<std::vector<char>> bound(kColumns, std::vector<char>(mdb->bind_size + 1, '\0'));
    for (std::size_t i = 0; i < kColumns; ++i) {
        std::string name = names[i];
        if (mdb_bind_column_by_name(table.get(), name.data(), bound[i].data(), nullptr) == -1)
            throw makeJetError(JetErrorKind::kDamaged, path,
                               "リレーションシップの一覧に列 " + name + " がありません");
    }
    std::vector<RelationshipRow> rows;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
        RelationshipRow row;
        row.name = bound[0].data();
        row.table = bound[1].data();
        row.column = bound[2].data();
        row.referencedTable = bound[3].data();
        row.referencedColumn = bound[4].data();
        row.position = std::strtoll(bound[5].data(), nullptr, 10);
        row.columnCount = std::strtoll(bound[6].data(), nullptr, 10);
        // Stored as a signed long: the high bits come back negative.
        row.attributes = static_cast<std::uint32_t>(std::strtoll(bound[7].data(), nullptr, 10));
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace malvorn::jet
