#include "jet/mdb_rows.h"

#include <memory>
#include <stdexcept>
#include <string>

#include "jet/split_rows.h"

namespace malvorn::jet {
namespace {

constexpr int kRowOffsetMask = 0x1FFF;
constexpr int kDeletedRow = 0x4000;

// One row of the page in the buffer, as mdb_read_row takes it: false for a
// slot the library skips.
bool splitRow(MdbTableDef* table, unsigned row, std::vector<MdbField>& fields) {
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(table->entry->mdb, static_cast<int>(row), &start, &size) != 0 || size == 0)
        return false;
    if (!table->noskip_del && (start & kDeletedRow) != 0)
        return false;
    return mdb_crack_row(table, start & kRowOffsetMask, size, fields.data()) >= 0;
}

}  // namespace

SplitRow nextSplitRowByFetch(MdbTableDef* table, std::vector<MdbField>& fields) {
    if (mdb_fetch_row(table) == 0)
        return SplitRow::kEnd;
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(table->entry->mdb, static_cast<int>(table->cur_row) - 1, &start, &size) != 0 ||
        mdb_crack_row(table, start & kRowOffsetMask, size, fields.data()) < 0)
        return SplitRow::kUnsplittable;
    return SplitRow::kRow;
}

SplitRow nextSplitRow(MdbTableDef* table, std::vector<MdbField>& fields) {
    if (table->is_temp_table || table->strategy != MDB_TABLE_SCAN || table->sarg_tree != nullptr)
        return nextSplitRowByFetch(table, fields);
    if (table->num_cols == 0 || table->columns == nullptr)
        return SplitRow::kEnd;
    MdbHandle* mdb = table->entry->mdb;
    // mdb_fetch_row's table scan, step by step, without its mdb_read_row.
    if (table->cur_pg_num == 0) {
        table->cur_pg_num = 1;
        table->cur_row = 0;
        if (mdb_read_next_dpg(table) == 0)
            return SplitRow::kEnd;
    }
    bool split = false;
    do {
        const auto rows =
            static_cast<unsigned>(mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset));
        if (table->cur_row >= rows) {
            table->cur_row = 0;
            if (mdb_read_next_dpg(table) == 0)
                return SplitRow::kEnd;
        }
        split = splitRow(table, table->cur_row, fields);
        ++table->cur_row;
    } while (!split);
    return SplitRow::kRow;
}

std::vector<std::string> splitRowsOf(const std::string& path, const std::string& name,
                                     bool byFetch) {
    struct Closer {
        void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
        void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
    };
    const std::unique_ptr<MdbHandle, Closer> mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb || mdb_read_catalog(mdb.get(), MDB_TABLE) == nullptr)
        throw std::runtime_error("cannot open " + path);
    std::string tableName = name;
    const std::unique_ptr<MdbTableDef, Closer> table(
        mdb_read_table_by_name(mdb.get(), tableName.data(), MDB_TABLE));
    if (!table || mdb_read_columns(table.get()) == nullptr)
        throw std::runtime_error("cannot read table " + name);
    mdb_rewind_table(table.get());
    std::vector<MdbField> fields(table->num_cols);
    std::vector<std::string> rows;
    for (;;) {
        const SplitRow got =
            byFetch ? nextSplitRowByFetch(table.get(), fields) : nextSplitRow(table.get(), fields);
        if (got == SplitRow::kEnd)
            return rows;
        std::string row = std::to_string(table->cur_phys_pg) + "/" +
                          std::to_string(table->cur_row) +
                          (got == SplitRow::kRow ? ": " : ": unsplittable");
        for (unsigned i = 0; got == SplitRow::kRow && i < table->num_cols; ++i)
            row += std::to_string(fields[i].colnum) + "@" + std::to_string(fields[i].start) + ":" +
                   std::to_string(fields[i].siz) + (fields[i].is_null ? "N " : " ");
        rows.push_back(std::move(row));
    }
}

}  // namespace malvorn::jet
