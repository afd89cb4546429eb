#include "jet/mdb_rows.h"

#include <memory>
#include <stdexcept>
#include <string>

#include "jet/mdb_handles.h"
#include "jet/split_rows.h"

namespace malvorn::jet {
namespace {

constexpr int kRowOffsetMask = 0x1FFF;
constexpr int kDeletedRow = 0x4000;

unsigned int16At(const unsigned char* page, unsigned at) {
    return static_cast<unsigned>(page[at]) | (static_cast<unsigned>(page[at + 1]) << 8);
}

// mdb_crack_row for a Jet 4 or ACE row, step by step and with its checks,
// without its allocation and debug switches a row: the row's column count,
// or -1 when the row's own layout does not hold. `offsets` is scratch.
int splitJet4Row(MdbTableDef* table, unsigned rowStart, size_t rowSize, MdbField* fields,
                 std::vector<unsigned>& offsets) {
    unsigned char* page = table->entry->mdb->pg_buf;
    const unsigned rowEnd = rowStart + static_cast<unsigned>(rowSize) - 1;
    const unsigned rowCols = int16At(page, rowStart);
    const unsigned maskBytes = (rowCols + 7) / 8;
    if (maskBytes + 1 >= rowEnd)
        return -1;
    const unsigned char* nullMask = page + rowEnd - maskBytes + 1;
    unsigned rowVarCols = 0;
    if (table->num_var_cols > 0) {
        rowVarCols = int16At(page, rowEnd - maskBytes - 1);
        if (maskBytes + 3 + rowVarCols * 2 + 2 > rowEnd)
            return -1;
        offsets.resize(rowVarCols + 1);
        for (unsigned i = 0; i <= rowVarCols; ++i)
            offsets[i] = int16At(page, rowEnd - maskBytes - 3 - i * 2);
    }
    const unsigned rowFixedCols = rowCols - rowVarCols;
    unsigned fixedFound = 0;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        MdbField& field = fields[i];
        field.colnum = static_cast<int>(i);
        field.is_fixed = column->is_fixed;
        const auto columnNumber = static_cast<unsigned>(column->col_num);
        field.is_null = (nullMask[columnNumber / 8] & (1u << (columnNumber % 8))) != 0 ? 0 : 1;
        if (field.is_fixed && fixedFound < rowFixedCols) {
            const unsigned at = rowStart + static_cast<unsigned>(column->fixed_offset) + 2;
            field.start = static_cast<int>(at);
            field.value = page + at;
            field.siz = column->col_size;
            ++fixedFound;
        } else if (!field.is_fixed && column->var_col_num < rowVarCols) {
            const unsigned from = offsets[column->var_col_num];
            field.start = static_cast<int>(rowStart + from);
            field.value = page + rowStart + from;
            field.siz = static_cast<int>(offsets[column->var_col_num + 1] - from);
        } else {
            field.start = 0;
            field.value = nullptr;
            field.siz = 0;
            field.is_null = 1;
        }
        if (static_cast<size_t>(field.start + field.siz) > rowStart + rowSize)
            return -1;
    }
    return static_cast<int>(rowCols);
}

// One row of the page in the buffer, as mdb_read_row takes it: false for a
// slot the library skips.
bool splitRow(MdbTableDef* table, unsigned row, std::vector<MdbField>& fields) {
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(table->entry->mdb, static_cast<int>(row), &start, &size) != 0 || size == 0)
        return false;
    if (!table->noskip_del && (start & kDeletedRow) != 0)
        return false;
    MdbHandle* mdb = table->entry->mdb;
    if (IS_JET3(mdb))
        return mdb_crack_row(table, start & kRowOffsetMask, size, fields.data()) >= 0;
    // Scratch for the variable columns' offsets, written whole for each row
    // before it is read.
    thread_local std::vector<unsigned> offsets;
    return splitJet4Row(table, static_cast<unsigned>(start & kRowOffsetMask), size, fields.data(),
                        offsets) >= 0;
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
    const HandlePtr mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb || mdb_read_catalog(mdb.get(), MDB_TABLE) == nullptr)
        throw std::runtime_error("cannot open " + path);
    std::string tableName = name;
    const TablePtr table(mdb_read_table_by_name(mdb.get(), tableName.data(), MDB_TABLE));
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
