#include "jet/mdb_calculated.h"

#include <algorithm>
#include <map>
#include <set>

#include "jet/jet_decode.h"
#include "jet/jet_error.h"

namespace malvorn::jet {
namespace {

std::string expressionOf(MdbColumn* column) {
    const char* expression = mdb_col_get_prop(column, "Expression");
    return expression != nullptr ? expression : "(式を読めません)";
}

// The definition as one run of bytes, as the library reads it: the first
// page whole, each page after it without its 8-byte head, at least `need`
// bytes long. Read through the spare page buffer so that the library's page
// stays as it is.
std::string definitionBytes(MdbHandle* mdb, unsigned long firstPage, std::size_t need,
                            const std::string& path) {
    const auto pageSize = static_cast<std::size_t>(mdb->fmt->pg_size);
    std::string bytes;
    std::set<unsigned long> seen;
    unsigned long page = firstPage;
    while (bytes.size() < need) {
        if (page == 0 || !seen.insert(page).second ||
            mdb_read_alt_pg(mdb, page) != static_cast<ssize_t>(pageSize) ||
            mdb->alt_pg_buf[0] != 0x02)
            throw makeJetError(JetErrorKind::kDamaged, path, "テーブル定義のページを読めません");
        const char* start = reinterpret_cast<const char*>(mdb->alt_pg_buf);
        const std::size_t skip = bytes.empty() ? 0 : 8;
        bytes.append(start + skip, pageSize - skip);
        page = static_cast<std::uint32_t>(readInt32(mdb->alt_pg_buf + 4));
    }
    return bytes;
}

}  // namespace

std::vector<bool> calculatedColumns(MdbHandle* mdb, MdbTableDef* table, const std::string& path) {
    std::vector<bool> calculated(table->num_cols, false);
    // Only ACE files have calculated fields; Jet 3 entries have no such byte.
    if (mdb->f->jet_version < MDB_VER_ACCDB_2007 || table->num_cols == 0)
        return calculated;
    const MdbFormatConstants* fmt = mdb->fmt;
    // The count of index entries as stored: the library lowers its own
    // count once it has read the indexes.
    std::string bytes = definitionBytes(mdb, table->entry->table_pg, 1, path);
    const auto stored = static_cast<std::uint32_t>(readInt32(
        reinterpret_cast<const unsigned char*>(bytes.data()) + fmt->tab_num_ridxs_offset));
    const std::size_t first =
        fmt->tab_cols_start_offset + std::size_t{stored} * fmt->tab_ridx_entry_size;
    const std::size_t entry = fmt->tab_col_entry_size;
    bytes = definitionBytes(mdb, table->entry->table_pg, first + table->num_cols * entry, path);
    // The library sorts its list by column number: entries are matched by
    // the number that counts deleted columns too, which is unique.
    std::map<int, bool> byNumber;
    for (std::size_t i = 0; i < table->num_cols; ++i) {
        const auto* at = reinterpret_cast<const unsigned char*>(bytes.data()) + first + i * entry;
        byNumber[readInt16(at + fmt->tab_row_col_num_offset)] =
            (at[fmt->col_flags_offset + 1] & kCalculatedFlags) != 0;
    }
    for (unsigned i = 0; i < table->num_cols; ++i) {
        const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        const auto found = byNumber.find(column->row_col_num);
        if (found == byNumber.end())
            throw makeJetError(JetErrorKind::kDamaged, path,
                               std::string("テーブル ") + table->name + " の列 " + column->name +
                                   " の定義が見つかりません");
        calculated[i] = found->second;
    }
    return calculated;
}

void markCalculated(MdbColumn* column, model::JetFieldDef& field) {
    field.expression = expressionOf(column);
    if (column->col_type == MDB_TEXT)
        field.size = programFieldSize(field.typeCode,
                                      std::max(column->col_size - kCalculatedOverhead, 0), true);
}

void markCalculated(MdbColumn* column, model::JetFieldSchema& field) {
    const std::string words = "計算フィールド: " + expressionOf(column);
    field.description = field.description.empty() ? words : field.description + " (" + words + ")";
}

}  // namespace malvorn::jet
