#pragma once

// A small reader over libmdb for checking the files the builder writes. It reads
// through libmdb directly, as a second opinion independent of the program's own
// Jet reader.
#include <glib.h>
// glib first: mdbtools.h includes it inside extern "C".
#include <mdbtools.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace malvorn::testing {

struct MdbCell {
    bool null = true;
    std::string text;  // libmdb's own text form of the value
    std::string raw;   // the stored bytes (fixed fields, text, memo field); whole value for OLE
};
using MdbRow = std::vector<MdbCell>;

struct MdbColumnInfo {
    std::string name;
    int type = 0;
    int size = 0;
    std::optional<std::string> allowZeroLength;
    std::optional<std::string> defaultValue;
    std::optional<std::string> required;
    // Decimal columns. libmdb 1.0.0 names these two the other way round: its
    // col_scale holds the precision and its col_prec the scale.
    int precision = 0;
    int scale = 0;
};

struct MdbIndexInfo {
    std::string name;
    int type = 0;  // 1 primary
    int flags = 0;
    std::vector<std::string> columns;
};

struct MdbCatalogInfo {
    std::string name;
    int type = 0;
    bool system = false;
};

// Sets MDB_JET3_CHARSET for the lifetime of the object (libmdb reads it when a file opens).
class ScopedCharset {
  public:
    explicit ScopedCharset(const char* charset) {
        if (const char* old = std::getenv("MDB_JET3_CHARSET"))
            old_ = old;
        if (charset != nullptr)
            ::setenv("MDB_JET3_CHARSET", charset, 1);
        else
            ::unsetenv("MDB_JET3_CHARSET");
    }
    ~ScopedCharset() {
        if (old_)
            ::setenv("MDB_JET3_CHARSET", old_->c_str(), 1);
        else
            ::unsetenv("MDB_JET3_CHARSET");
    }
    ScopedCharset(const ScopedCharset&) = delete;
    ScopedCharset& operator=(const ScopedCharset&) = delete;

  private:
    std::optional<std::string> old_;
};

class MdbDatabase {
  public:
    explicit MdbDatabase(const std::string& path, const char* jet3Charset = nullptr) {
        ScopedCharset charset(jet3Charset);
        mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
        if (mdb_ == nullptr)
            throw std::runtime_error("libmdb cannot open " + path);
        if (mdb_read_catalog(mdb_, MDB_ANY) == nullptr) {
            mdb_close(mdb_);
            throw std::runtime_error("libmdb cannot read the catalog of " + path);
        }
    }
    ~MdbDatabase() { mdb_close(mdb_); }
    MdbDatabase(const MdbDatabase&) = delete;
    MdbDatabase& operator=(const MdbDatabase&) = delete;

    bool jet4() const { return mdb_->f->jet_version == MDB_VER_JET4; }
    int codePage() const { return mdb_->f->code_page; }

    std::vector<MdbCatalogInfo> catalog() const {
        std::vector<MdbCatalogInfo> out;
        for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
            out.push_back(
                {entry->object_name, entry->object_type, mdb_is_system_table(entry) != 0});
        }
        return out;
    }

    class Table {
      public:
        Table(MdbHandle* mdb, MdbCatalogEntry* entry) : mdb_(mdb), table_(mdb_read_table(entry)) {
            if (table_ == nullptr)
                throw std::runtime_error("libmdb cannot read table " +
                                         std::string(entry->object_name));
            mdb_read_columns(table_);
            mdb_read_indices(table_);
        }
        ~Table() { mdb_free_tabledef(table_); }
        Table(const Table&) = delete;
        Table& operator=(const Table&) = delete;

        unsigned rowCountInDefinition() const { return table_->num_rows; }

        std::vector<MdbColumnInfo> columns() const {
            std::vector<MdbColumnInfo> out;
            for (unsigned i = 0; i < table_->num_cols; ++i) {
                auto* col = column(i);
                auto prop = [&](const char* key) -> std::optional<std::string> {
                    const char* value = mdb_col_get_prop(col, key);
                    return value ? std::optional<std::string>(value) : std::nullopt;
                };
                out.push_back({col->name, col->col_type, col->col_size, prop("AllowZeroLength"),
                               prop("DefaultValue"), prop("Required"), col->col_scale,
                               col->col_prec});
            }
            return out;
        }

        std::vector<MdbIndexInfo> indexes() const {
            std::vector<MdbIndexInfo> out;
            for (unsigned i = 0; i < table_->num_idxs; ++i) {
                auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(table_->indices, i));
                MdbIndexInfo info{idx->name, idx->index_type, idx->flags, {}};
                for (unsigned k = 0; k < idx->num_keys; ++k)
                    info.columns.push_back(column(idx->key_col_num[k] - 1)->name);
                out.push_back(info);
            }
            return out;
        }

        // Every row, with libmdb's text of each value (up to `bindSize` bytes)
        // and the stored bytes as mdb_crack_row finds them.
        std::vector<MdbRow> rows(std::size_t bindSize = 16384) const {
            mdb_set_bind_size(mdb_, bindSize);
            const unsigned n = table_->num_cols;
            std::vector<std::string> buffers(n, std::string(bindSize + 1, '\0'));
            std::vector<int> lengths(n, 0);
            for (unsigned i = 0; i < n; ++i)
                mdb_bind_column(table_, static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
            std::vector<MdbRow> out;
            mdb_rewind_table(table_);
            while (mdb_fetch_row(table_)) {
                int start = 0;
                std::size_t size = 0;
                if (mdb_find_row(mdb_, static_cast<int>(table_->cur_row) - 1, &start, &size) != 0)
                    throw std::runtime_error("libmdb cannot find the row it just read");
                std::vector<MdbField> fields(n);
                mdb_crack_row(table_, start & 0x1FFF, size, fields.data());
                MdbRow row(n);
                for (unsigned i = 0; i < n; ++i) {
                    MdbCell& cell = row[i];
                    cell.null = fields[i].is_null != 0;
                    cell.text = buffers[i].c_str();
                    if (fields[i].value != nullptr && fields[i].siz > 0)
                        cell.raw.assign(static_cast<const char*>(fields[i].value),
                                        static_cast<std::size_t>(fields[i].siz));
                }
                for (unsigned i = 0; i < n; ++i) {
                    auto* col = column(i);
                    if (col->col_type == MDB_OLE && !row[i].null) {
                        std::size_t length = 0;
                        void* whole = mdb_ole_read_full(mdb_, col, &length);
                        row[i].raw.assign(static_cast<const char*>(whole), length);
                        std::free(whole);
                    }
                }
                out.push_back(std::move(row));
            }
            return out;
        }

      private:
        MdbColumn* column(unsigned i) const {
            return static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
        }

        MdbHandle* mdb_;
        MdbTableDef* table_;
    };

    std::unique_ptr<Table> table(const std::string& name) const {
        for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
            if (entry->object_type == MDB_TABLE && name == entry->object_name)
                return std::make_unique<Table>(mdb_, entry);
        }
        throw std::runtime_error("no table " + name);
    }

  private:
    MdbHandle* mdb_ = nullptr;
};

}  // namespace malvorn::testing
