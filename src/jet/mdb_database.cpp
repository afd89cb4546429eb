// The one place the Jet reading library (libmdb) is used. Its types stay in
// this file.
#include <glib.h>  // mdbtools.h includes it inside extern "C"; it must come first

#include <mdbtools.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>

#include "base/file_descriptor.h"
#include "jet/attachment_data.h"
#include "jet/file_header.h"
#include "jet/guarded_file.h"
#include "jet/jet_decode.h"
#include "jet/jet_error.h"
#include "jet/mdb_calculated.h"
#include "jet/mdb_database.h"
#include "jet/mdb_handles.h"
#include "jet/mdb_rows.h"
#include "jet/mdb_schema.h"
#include "jet/stored_text.h"

namespace malvorn::jet {
namespace {

constexpr int kRowOffsetMask = 0x1FFF;
constexpr int kMemoOverhead = 12;
constexpr std::uint32_t kLvalInline = 0x80000000u;
constexpr std::uint32_t kLvalSinglePage = 0x40000000u;
constexpr std::uint32_t kLvalLengthMask = 0x3FFFFFFFu;

MdbColumn* columnAt(MdbTableDef* table, unsigned i) {
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
}

HandlePtr openHandle(const std::string& path, const std::string& jet3Charset, GuardedFile& file) {
    // The library reads both at open; the reader process is single-threaded.
    ::setenv("MDBICONV", "UTF-8", 1);
    ::setenv("MDB_JET3_CHARSET", jet3Charset.c_str(), 1);
    HandlePtr handle(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!handle)
        throw makeJetError(JetErrorKind::kDamaged, path);
    // Every page after the header is read through the guarded stream.
    std::FILE* guarded = file.stream(handle->fmt->pg_size);
    if (guarded == nullptr)
        throw makeJetError(JetErrorKind::kReaderFailed, path, std::strerror(errno));
    std::fclose(handle->f->stream);
    handle->f->stream = guarded;
    return handle;
}

// A Jet database opened through the library, closed on destruction.
class MdbDatabase : public JetSource {
  public:
    explicit MdbDatabase(const std::string& path) : path_(path) {
        checkJetHeader(path);
        file_ = std::make_unique<GuardedFile>(path);
        handle_ = openHandle(path, "CP1252", *file_);
        if (IS_JET3(handle_.get())) {
            const std::string charset = jet3Charset(handle_->f->code_page, handle_->f->lang_id);
            if (charset != "CP1252") {
                handle_.reset();
                handle_ = openHandle(path, charset, *file_);
            }
        }
        const std::uint64_t before = file_->pagesRead();
        const bool read = mdb_read_catalog(handle_.get(), MDB_TABLE) != nullptr;
        checkPages();
        if (!read)
            throw makeJetError(JetErrorKind::kDamaged, path);
        checkCatalog();
        // The catalog and the tables' properties take each page a few times
        // at most; a chain of pages that loops takes them until the heap's
        // ceiling stops the library, which then goes on without what it
        // could not hold.
        if (file_->pagesRead() - before > 16 * file_->pages() + 1024)
            throw makeJetError(JetErrorKind::kDamaged, path,
                               "カタログを読む間に同じページを繰り返し読みました"
                               "(ページの連鎖が循環しています)");
    }

    // After every call into the library: a page it could not read is damage,
    // whatever the library made of it.
    void checkPages() const {
        if (!file_->problem().empty())
            throw makeJetError(JetErrorKind::kDamaged, path_, file_->problem());
    }

    // A file always lists its own catalog; a catalog without it, or with a
    // table name no engine writes, was not read whole.
    void checkCatalog() const {
        bool catalogListed = false;
        for (unsigned i = 0; i < handle_->num_catalog; ++i) {
            const auto* entry =
                static_cast<MdbCatalogEntry*>(g_ptr_array_index(handle_->catalog, i));
            if (entry->object_type != MDB_TABLE)
                continue;
            if (entry->object_name[0] == '\0' || hasControlCharacter(entry->object_name))
                throw makeJetError(JetErrorKind::kDamaged, path_,
                                   "カタログのテーブル名が空か、制御文字を含みます");
            catalogListed = catalogListed || std::strcmp(entry->object_name, "MSysObjects") == 0;
        }
        if (!catalogListed)
            throw makeJetError(JetErrorKind::kDamaged, path_,
                               "カタログを読み切れません (システムテーブルがありません)");
    }

    std::vector<std::string> tableNames() override { return names(false); }
    std::vector<std::string> userTableNames() override { return names(true); }

    model::JetTableDef readTable(const std::string& name) override;
    std::unique_ptr<JetRowCursor> openRows(const std::string& name) override;
    std::unique_ptr<JetRowCursor> openFlatRows(const std::string& name) override {
        return withAttachmentFiles(openRows(name), name);
    }
    model::JetTableSchema readSchema(const std::string& name) override;

    // Reads the table definition page with its columns (and indexes).
    TablePtr loadTable(const std::string& name, bool withIndexes) {
        MdbCatalogEntry* entry = findEntry(name);
        TablePtr table(mdb_read_table(entry));
        checkPages();
        if (!table)
            throw makeJetError(JetErrorKind::kDamaged, path_);
        const bool columns = mdb_read_columns(table.get()) != nullptr;
        checkPages();
        if (!columns || table->columns->len != table->num_cols)
            throw makeJetError(JetErrorKind::kDamaged, path_);
        // The index entries follow the columns on the same pages; read them
        // before anything else moves the page buffer.
        if (withIndexes) {
            mdb_read_indices(table.get());
            checkPages();
        }
        std::vector<std::string> names;
        for (unsigned i = 0; i < table->num_cols; ++i)
            names.emplace_back(columnAt(table.get(), i)->name);
        if (const std::string stranger = foreignProperty(*entry, names); !stranger.empty())
            throw makeJetError(JetErrorKind::kDamaged, path_,
                               "テーブル " + name + " の定義が別のものです (カタログにある列 " +
                                   stranger + " がありません)");
        const std::string damage = definitionDamage(
            names, withIndexes ? storedIndexes(table.get()) : std::vector<StoredIndex>{});
        if (!damage.empty())
            throw makeJetError(JetErrorKind::kDamaged, path_,
                               "テーブル " + name + " の定義: " + damage);
        return table;
    }

    MdbHandle* handle() { return handle_.get(); }
    const std::string& path() const { return path_; }
    bool jet4() { return !IS_JET3(handle_.get()); }

  private:
    std::vector<std::string> names(bool userOnly) {
        std::vector<std::string> names;
        for (unsigned i = 0; i < handle_->num_catalog; ++i) {
            const auto* entry = entryAt(i);
            if (entry->object_type != MDB_TABLE)
                continue;
            if (!userOnly ||
                isUserTable(entry->object_name, static_cast<std::uint32_t>(entry->flags)))
                names.emplace_back(entry->object_name);
        }
        sortNamesIgnoringCase(names);
        return names;
    }

    MdbCatalogEntry* entryAt(unsigned i) {
        return static_cast<MdbCatalogEntry*>(g_ptr_array_index(handle_->catalog, i));
    }

    // The catalog keeps the properties of a table's columns under their
    // names: a name the definition read from the table's page does not have
    // means the page holds another table's definition. Empty when all match.
    static std::string foreignProperty(const MdbCatalogEntry& entry,
                                       const std::vector<std::string>& columns) {
        for (unsigned i = 0; entry.props != nullptr && i < entry.props->len; ++i) {
            const auto* block = static_cast<MdbProperties*>(g_ptr_array_index(entry.props, i));
            if (block->name == nullptr || sameNameIgnoringCase(block->name, entry.object_name))
                continue;
            const bool known = std::any_of(columns.begin(), columns.end(), [&](const auto& column) {
                return sameNameIgnoringCase(column, block->name);
            });
            if (!known)
                return block->name;
        }
        return std::string();
    }

    // Exact name first; the engine's names are otherwise case-insensitive.
    MdbCatalogEntry* findEntry(const std::string& name) {
        MdbCatalogEntry* caseless = nullptr;
        for (unsigned i = 0; i < handle_->num_catalog; ++i) {
            MdbCatalogEntry* entry = entryAt(i);
            if (entry->object_type != MDB_TABLE)
                continue;
            if (name == entry->object_name)
                return entry;
            if (caseless == nullptr && sameNameIgnoringCase(name, entry->object_name))
                caseless = entry;
        }
        if (caseless == nullptr)
            throw makeJetError(JetErrorKind::kNoSuchTable, name,
                               "ファイル: " + path_ +
                                   "。名前が正しければ、ファイルのテーブル一覧が壊れている可能性が"
                                   "あります");
        return caseless;
    }

    // Whether the table's properties are there but unreadable; the catalog
    // is read again once, when a table first comes without properties.
    bool propertiesUnreadable(const std::string& table) {
        if (!propertiesChecked_) {
            unreadableProperties_ = tablesWithUnreadableProperties(handle_.get());
            propertiesChecked_ = true;
            checkPages();
        }
        return !unreadableProperties_ || unreadableProperties_->count(table) != 0;
    }

    // The relationship catalog, read once for the whole file.
    const std::vector<model::JetRelationship>& allRelationships();

    std::string path_;
    std::optional<std::vector<model::JetRelationship>> relationships_;
    bool propertiesChecked_ = false;
    std::optional<std::set<std::string>> unreadableProperties_;  // nullopt: catalog unreadable
    std::unique_ptr<GuardedFile> file_;  // outlives the handle, which reads through it
    HandlePtr handle_;
};

model::JetFieldDef fieldOf(MdbColumn* column, bool jet4, bool calculated) {
    model::JetFieldDef field;
    field.name = column->name;
    field.typeCode = programTypeCode(column->col_type);
    field.size = programFieldSize(field.typeCode, column->col_size, jet4);
    const char* allowZeroLength = mdb_col_get_prop(column, "AllowZeroLength");
    field.allowZeroLength = allowZeroLength != nullptr && std::strcmp(allowZeroLength, "yes") == 0;
    if (const char* defaultValue = mdb_col_get_prop(column, "DefaultValue"))
        field.defaultValue = defaultValue;
    if (column->col_type == MDB_NUMERIC) {
        // The library's names for the two are the wrong way round.
        field.precision = column->col_scale;
        field.scale = column->col_prec;
    }
    if (calculated)
        markCalculated(column, field);
    return field;
}

model::JetTableDef MdbDatabase::readTable(const std::string& name) {
    TablePtr table = loadTable(name, true);
    model::JetTableDef definition;
    definition.name = name;
    const std::vector<bool> calculated = calculatedColumns(handle(), table.get(), path_);
    for (unsigned i = 0; i < table->num_cols; ++i)
        definition.fields.push_back(fieldOf(columnAt(table.get(), i), jet4(), calculated[i]));

    const std::vector<StoredIndex> indexes = storedIndexes(table.get());
    definition.firstIndex = firstIndexOf(indexes, definition.fields);
    definition.primaryIndex = primaryIndexOf(indexes, definition.fields);
    // The index positions above count every column; the link of an
    // append-only memo to its history goes only now.
    for (unsigned i = table->num_cols; i-- > 0;) {
        MdbColumn* column = columnAt(table.get(), i);
        if (isVersionHistoryLink(column->name, column->col_type)) {
            definition.leftOut.insert(definition.leftOut.begin(), column->name);
            definition.fields.erase(definition.fields.begin() + i);
        }
    }
    if (table->entry->props == nullptr && propertiesUnreadable(table->entry->object_name)) {
        checkPages();
        throw makeJetError(
            JetErrorKind::kDamaged, path_,
            "テーブル " + name + " のプロパティ (既定値、長さ0の文字列の許可など) を読めません");
    }
    checkPages();
    return definition;
}

const std::vector<model::JetRelationship>& MdbDatabase::allRelationships() {
    if (!relationships_) {
        auto rows = readRelationshipRows(handle_.get(), path_);
        checkPages();
        Relationships read = relationshipsOf(rows.value_or(std::vector<RelationshipRow>{}));
        if (!read.damage.empty())
            throw makeJetError(JetErrorKind::kDamaged, path_, read.damage);
        relationships_ = std::move(read.relationships);
    }
    return *relationships_;
}

model::JetTableSchema MdbDatabase::readSchema(const std::string& name) {
    const auto& relationships = allRelationships();
    TablePtr table = loadTable(name, true);
    model::JetTableSchema schema;
    schema.name = name;
    std::vector<model::JetFieldDef> fields;
    const std::vector<bool> calculated = calculatedColumns(handle(), table.get(), path_);
    for (unsigned i = 0; i < table->num_cols; ++i) {
        fields.push_back(fieldOf(columnAt(table.get(), i), jet4(), calculated[i]));
        schema.fields.push_back(fieldSchemaOf(columnAt(table.get(), i)));
        if (calculated[i])
            markCalculated(columnAt(table.get(), i), schema.fields.back());
    }
    schema.indexes = userIndexesOf(storedIndexes(table.get()), fields);
    for (unsigned i = table->num_cols; i-- > 0;) {
        if (isVersionHistoryLink(columnAt(table.get(), i)->name,
                                 columnAt(table.get(), i)->col_type))
            schema.fields.erase(schema.fields.begin() + i);
    }
    readTableProperties(table.get(), schema);
    schema.relationships = relationshipsOfTable(relationships, table->entry->object_name);
    checkPages();
    return schema;
}

// Rows straight from the data pages: the library finds and splits each row,
// the values are decoded here from their stored bytes (the library's text
// forms lose digits and dates).
class MdbRowCursor : public JetRowCursor {
  public:
    MdbRowCursor(MdbDatabase& database, TablePtr table)
        : database_(database),
          table_(std::move(table)),
          fields_(table_->num_cols),
          calculated_(calculatedColumns(database.handle(), table_.get(), database.path())),
          text_(database.jet4()
                    ? std::string()
                    : jet3Charset(database.handle()->f->code_page, database.handle()->f->lang_id),
                [this](std::string_view stored) { return libraryText(stored); }) {
        for (unsigned i = 0; i < table_->num_cols; ++i) {
            MdbColumn* column = columnAt(table_.get(), i);
            if (isVersionHistoryLink(column->name, column->col_type))
                leftOut_.push_back(i);
            else
                columns_.push_back({column->name, programTypeCode(column->col_type)});
        }
        mdb_rewind_table(table_.get());
    }

    const std::vector<JetColumn>& columns() const override { return columns_; }
    std::int64_t recordedRowCount() const override { return table_->num_rows; }
    std::int64_t deliveredRowCount() const override { return delivered_; }

    bool next(JetRow& row) override {
        if (table_->num_cols == 0)
            return false;
        const SplitRow split = nextSplitRow(table_.get(), fields_);
        database_.checkPages();
        if (split == SplitRow::kEnd)
            return false;
        if (split == SplitRow::kUnsplittable)
            throw damaged();
        // Every column's slot is assigned below (the split names each once):
        // the row keeps its memory from the last.
        row.resize(table_->num_cols);
        for (unsigned i = 0; i < table_->num_cols; ++i) {
            const MdbField& field = fields_[i];
            if (field.colnum < 0 || static_cast<unsigned>(field.colnum) >= table_->num_cols)
                throw damaged();
            column_ = columnAt(table_.get(), static_cast<unsigned>(field.colnum));
            row[static_cast<unsigned>(field.colnum)] =
                calculated_[static_cast<unsigned>(field.colnum)] ? calculatedValue(column_, field)
                                                                 : decode(column_, field);
        }
        column_ = nullptr;
        for (auto at = leftOut_.rbegin(); at != leftOut_.rend(); ++at)
            row.erase(row.begin() + *at);
        ++delivered_;
        return true;
    }

  private:
    // Names the table, the row (counted from 1) and the column being read.
    JetError damaged(const std::string& what = std::string()) const {
        std::string where =
            std::string("テーブル ") + table_->name + " の行 " + std::to_string(delivered_ + 1);
        if (column_ != nullptr)
            where += std::string("、列 ") + column_->name;
        if (!what.empty())
            where += "、" + what;
        return makeJetError(JetErrorKind::kDamaged, database_.path(), where);
    }

    const unsigned char* bytesOf(const MdbField& field, int need) const {
        const long pageSize = database_.handle()->fmt->pg_size;
        if (field.start < 0 || field.siz < need || field.start + field.siz > pageSize)
            throw damaged();
        return database_.handle()->pg_buf + field.start;
    }

    // A text without a faithful UTF-8 form (half of a surrogate pair, a byte
    // its code page has no character for) is refused with its row and
    // column rather than carried with a stand-in.
    std::string text(const char* bytes, std::size_t length) {
        try {
            return text_(std::string_view(bytes, length));
        } catch (const UnreadableText& e) {
            throw damaged(e.what());
        }
    }

    std::string libraryText(std::string_view stored) {
        // Every stored byte can become at most three bytes of UTF-8.
        std::string out(stored.size() * 3 + 8, '\0');
        const int written = mdb_unicode2ascii(database_.handle(), stored.data(), stored.size(),
                                              out.data(), out.size());
        out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
        return out;
    }

    // The bytes of a memo or OLE value: in the row, on one other page, or on
    // a chain of pages. A chain that loops or runs past its stated length is
    // a damaged file.
    std::string longValue(const MdbField& field) {
        const unsigned char* head = bytesOf(field, kMemoOverhead);
        const std::uint32_t word = static_cast<std::uint32_t>(readInt32(head));
        const std::uint32_t length = word & kLvalLengthMask;
        if (word & kLvalInline)
            return std::string(reinterpret_cast<const char*>(head) + kMemoOverhead,
                               static_cast<std::size_t>(field.siz - kMemoOverhead));
        MdbHandle* mdb = database_.handle();
        std::int32_t pageRow = readInt32(head + 4);
        std::string bytes;
        std::set<std::int32_t> visited;
        const bool singlePage = (word & kLvalSinglePage) != 0;
        // The stated length ends the walk: a chain that points on past it, or
        // back into itself, cannot keep the reader busy.
        while (pageRow != 0 && bytes.size() < length) {
            if (!visited.insert(pageRow).second)
                throw damaged();
            void* page = nullptr;
            int offset = 0;
            size_t size = 0;
            const int found = mdb_find_pg_row(mdb, pageRow, &page, &offset, &size);
            database_.checkPages();
            if (found != 0)
                throw damaged();
            offset &= kRowOffsetMask;
            if (offset + static_cast<long>(size) > mdb->fmt->pg_size)
                throw damaged();
            const char* data = static_cast<const char*>(page) + offset;
            if (singlePage) {
                bytes.assign(data, std::min<std::size_t>(size, length));
                break;
            }
            if (size < 4)
                throw damaged();
            pageRow = readInt32(reinterpret_cast<const unsigned char*>(data));
            bytes.append(data + 4, size - 4);
        }
        if (bytes.size() > length)
            bytes.resize(length);
        return bytes;
    }

    // A calculated field's stored result, decoded as its type's column would
    // be. A Decimal result has a layout of its own, which is refused.
    JetValue calculatedValue(MdbColumn* column, const MdbField& field) {
        if (column->col_type == MDB_NUMERIC || column->col_type == MDB_OLE)
            throw makeJetError(JetErrorKind::kDamaged, database_.path(),
                               "テーブル " + std::string(table_->name) + " の計算フィールド " +
                                   column->name + " の結果の型は読めません");
        // A Yes/No result lives with the others, not in the null mask.
        if (field.is_null && column->col_type != MDB_BOOL)
            return JetValue();
        if (column->col_type == MDB_MEMO) {
            const std::string stored = longValue(field);
            const auto result = calculatedResult(
                reinterpret_cast<const unsigned char*>(stored.data()), stored.size());
            if (!result)
                throw damaged();
            return text(result->data(), result->size());
        }
        if (column->col_type == MDB_BOOL && field.siz == 0)
            return JetValue();
        const auto result =
            calculatedResult(bytesOf(field, 0), static_cast<std::size_t>(field.siz));
        if (!result)
            throw damaged();
        if (column->col_type == MDB_BOOL)
            return !result->empty() && (*result)[0] != 0;
        MdbField inner = field;
        inner.start = field.start + static_cast<int>(kCalculatedResultAt);
        inner.siz = static_cast<int>(result->size());
        return decode(column, inner);
    }

    JetValue decode(MdbColumn* column, const MdbField& field) {
        if (column->col_type == MDB_BOOL)
            return !field.is_null;  // Yes/No lives in the null mask
        if (field.is_null)
            return JetValue();
        switch (column->col_type) {
            case MDB_BYTE:
                return static_cast<std::int64_t>(*bytesOf(field, 1));
            case MDB_INT:
                return static_cast<std::int64_t>(readInt16(bytesOf(field, 2)));
            case MDB_LONGINT:
                return static_cast<std::int64_t>(readInt32(bytesOf(field, 4)));
            case MDB_MONEY:
                return JetCurrency{readInt64(bytesOf(field, 8))};
            case MDB_FLOAT:
                return readSingle(bytesOf(field, 4));
            case MDB_DOUBLE:
                return readDouble(bytesOf(field, 8));
            case MDB_DATETIME:
                return JetDate{readDouble(bytesOf(field, 8))};
            case MDB_TEXT: {
                const unsigned char* bytes = bytesOf(field, 0);
                return text(reinterpret_cast<const char*>(bytes),
                            static_cast<std::size_t>(field.siz));
            }
            case MDB_MEMO: {
                const std::string stored = longValue(field);
                return text(stored.data(), stored.size());
            }
            case MDB_REPID:
                return JetGuid{guidText(bytesOf(field, 16))};
            case MDB_NUMERIC:
                // The library's names for the two bytes are the wrong way round:
                // col_scale holds the precision, col_prec the scale.
                return JetDecimal{decimalText(bytesOf(field, 17), column->col_prec)};
            case MDB_OLE:
                return JetBinary{longValue(field)};
            case kStoredBigInt:
                return readInt64(bytesOf(field, 8));
            case kStoredDateTimeExtended: {
                const unsigned char* bytes = bytesOf(field, kExtendedDateBytes);
                const auto text = extendedDateText(bytes, static_cast<std::size_t>(field.siz));
                if (!text)
                    throw damaged();
                return JetTimestamp{*text};
            }
            default: {
                const unsigned char* bytes = bytesOf(field, 0);
                return JetBinary{std::string(reinterpret_cast<const char*>(bytes),
                                             static_cast<std::size_t>(field.siz))};
            }
        }
    }

    MdbDatabase& database_;
    TablePtr table_;
    std::vector<MdbField> fields_;
    std::vector<bool> calculated_;  // by column position
    StoredText text_;
    std::vector<JetColumn> columns_;
    std::vector<unsigned> leftOut_;  // positions of the engine's link columns, ascending
    std::int64_t delivered_ = 0;
    MdbColumn* column_ = nullptr;  // while its value is decoded
};

std::unique_ptr<JetRowCursor> MdbDatabase::openRows(const std::string& name) {
    return std::make_unique<MdbRowCursor>(*this, loadTable(name, false));
}

}  // namespace

std::unique_ptr<JetSource> openJetFileHere(const std::string& path) {
    return std::make_unique<MdbDatabase>(path);
}

}  // namespace malvorn::jet
