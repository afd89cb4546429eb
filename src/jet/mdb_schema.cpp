#include "jet/mdb_schema.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "jet/jet_error.h"
#include "jet/mdb_handles.h"

namespace malvorn::jet {
namespace {

std::string property(const char* value) {
    return value != nullptr ? std::string(value) : std::string();
}

bool yes(const char* value) {
    return value != nullptr && std::strcmp(value, "yes") == 0;
}

// Whether a property blob the library read back as nothing is really
// unreadable: it could not be read whole, or is not a property list.
bool blobUnreadable(MdbHandle* mdb, MdbColumn* blobColumn) {
    std::size_t size = 0;
    void* bytes = mdb_ole_read_full(mdb, blobColumn, &size);
    if (bytes == nullptr)
        return true;
    GPtrArray* properties = mdb_kkd_to_props(mdb, bytes, size);
    std::free(bytes);
    if (properties == nullptr)
        return true;
    for (unsigned i = 0; i < properties->len; ++i)
        mdb_free_props(static_cast<MdbProperties*>(g_ptr_array_index(properties, i)));
    g_ptr_array_free(properties, TRUE);
    return false;
}

}  // namespace

// The tables whose catalog row holds a property blob the library could not
// read. The library then leaves such a table without properties, which looks
// like "none set": every text column required, no defaults. Told apart here
// by reading the catalog's blobs again, once for the whole file; nullopt when
// the catalog itself cannot be read again.
std::optional<std::set<std::string>> tablesWithUnreadableProperties(MdbHandle* mdb) {
    MdbCatalogEntry catalog{};
    catalog.mdb = mdb;
    catalog.object_type = MDB_TABLE;
    catalog.table_pg = 2;  // the catalog's own definition page
    std::snprintf(catalog.object_name, sizeof(catalog.object_name), "%s", "MSysObjects");
    TablePtr table(mdb_read_table(&catalog));
    if (!table || mdb_read_columns(table.get()) == nullptr)
        return std::nullopt;
    std::vector<char> objectName(mdb->bind_size), objectType(mdb->bind_size), blob(mdb->bind_size);
    int blobLength = 0;
    char nameColumn[] = "Name", typeColumn[] = "Type", blobColumn[] = "LvProp";
    const int blobAt = mdb_bind_column_by_name(table.get(), blobColumn, blob.data(), &blobLength);
    if (mdb_bind_column_by_name(table.get(), nameColumn, objectName.data(), nullptr) == -1 ||
        mdb_bind_column_by_name(table.get(), typeColumn, objectType.data(), nullptr) == -1 ||
        blobAt == -1)
        return std::nullopt;
    auto* blobColumnDef = static_cast<MdbColumn*>(
        g_ptr_array_index(table->columns, static_cast<unsigned>(blobAt - 1)));
    std::set<std::string> unreadable;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
        if (std::atoi(objectType.data()) == MDB_TABLE && blobLength != 0 &&
            blobUnreadable(mdb, blobColumnDef))
            unreadable.insert(objectName.data());
    }
    return unreadable;
}

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
    TablePtr table(mdb_read_table(entry));
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

std::vector<StoredIndex> storedIndexes(MdbTableDef* table) {
    std::vector<StoredIndex> indexes;
    for (unsigned i = 0; table->indices != nullptr && i < table->indices->len; ++i) {
        const auto* index = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
        StoredIndex stored;
        stored.name = index->name;
        stored.number = index->index_num;
        stored.kind = index->index_type;
        stored.unique = (index->flags & MDB_IDX_UNIQUE) != 0;
        stored.ignoreNulls = (index->flags & MDB_IDX_IGNORENULLS) != 0;
        stored.required = (index->flags & MDB_IDX_REQUIRED) != 0;
        const unsigned keys = std::min<unsigned>(index->num_keys, MDB_MAX_IDX_COLS);
        // The library has already turned the stored column number into the
        // column's position, counted from 1; the two differ once a column
        // was deleted.
        for (unsigned k = 0; k < keys; ++k) {
            stored.keyColumns.push_back(index->key_col_num[k] - 1);
            stored.descending.push_back(index->key_col_order[k] == MDB_DESC);
        }
        indexes.push_back(std::move(stored));
    }
    return indexes;
}

}  // namespace malvorn::jet
