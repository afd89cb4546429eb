#include "core/complex_tables.h"

#include <algorithm>
#include <set>

#include "convert/safe_names.h"
#include "encoding/ascii.h"
#include "jet/jet_error.h"

namespace malvorn::core {
namespace {

using ColumnPairs = std::vector<std::pair<std::string, std::string>>;

// The flat table's columns an attachment keeps, under the child's names.
const ColumnPairs kAttachmentColumns = {
    {"FileName", "FILE_NAME"}, {"FileType", "FILE_TYPE"},   {"FileTimeStamp", "FILE_TIMESTAMP"},
    {"FileURL", "FILE_URL"},   {"FileFlags", "FILE_FLAGS"}, {"FileData", "FILE_DATA"},
};

bool hasField(const model::JetTableDef& table, const std::string& name) {
    return std::any_of(table.fields.begin(), table.fields.end(),
                       [&](const model::JetFieldDef& field) { return field.name == name; });
}

// Rows of another cursor, some columns picked, renamed and retyped, the
// links turned into numbers.
class PickedRows : public jet::JetRowCursor {
  public:
    PickedRows(std::unique_ptr<jet::JetRowCursor> rows, std::vector<jet::JetColumn> columns,
               std::vector<std::size_t> from, std::vector<bool> links, std::string table)
        : rows_(std::move(rows)),
          columns_(std::move(columns)),
          from_(std::move(from)),
          links_(std::move(links)),
          table_(std::move(table)) {}
    const std::vector<jet::JetColumn>& columns() const override { return columns_; }
    std::int64_t recordedRowCount() const override { return rows_->recordedRowCount(); }
    std::int64_t deliveredRowCount() const override { return rows_->deliveredRowCount(); }
    bool next(jet::JetRow& row) override {
        if (!rows_->next(read_))
            return false;
        row.resize(from_.size());
        for (std::size_t i = 0; i < from_.size(); ++i) {
            if (from_[i] >= read_.size())
                throw jet::makeJetError(jet::JetErrorKind::kDamaged, table_, "行の列が足りません");
            row[i] =
                links_[i] ? jet::complexLink(read_[from_[i]], table_) : std::move(read_[from_[i]]);
        }
        return true;
    }

  private:
    std::unique_ptr<jet::JetRowCursor> rows_;
    std::vector<jet::JetColumn> columns_;
    std::vector<std::size_t> from_;
    std::vector<bool> links_;
    std::string table_;
    jet::JetRow read_;
};

}  // namespace

ComplexTables::ComplexTables(jet::JetSource& inner) : inner_(inner) {
    std::set<std::string> taken;
    for (const auto& name : inner_.tableNames())
        taken.insert(convert::dictionaryName(name));
    for (auto& column : jet::readComplexColumns(inner_)) {
        const std::string base = column.table + "_" + column.field;
        std::string name = base;
        for (int n = 2; taken.count(convert::dictionaryName(name)) != 0; ++n)
            name = base + "_" + std::to_string(n);
        taken.insert(convert::dictionaryName(name));
        children_.push_back({name, std::move(column)});
    }
}

std::vector<std::string> ComplexTables::withChildTables(
    const std::vector<std::string>& tables) const {
    std::vector<std::string> all;
    for (const auto& table : tables) {
        all.push_back(table);
        for (const auto& c : children_) {
            if (c.column.table == table)
                all.push_back(c.name);
        }
    }
    return all;
}

const ComplexTables::Child* ComplexTables::child(const std::string& name) const {
    for (const auto& c : children_) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

bool ComplexTables::isLink(const std::string& table, const std::string& field) const {
    return std::any_of(children_.begin(), children_.end(), [&](const Child& c) {
        return c.column.table == table && c.column.field == field;
    });
}

ColumnPairs ComplexTables::childColumns(const Child& c, const model::JetTableDef& flat) {
    const bool attachment = hasField(flat, "FileData");
    if (!attachment && !hasField(flat, "Value"))
        throw jet::makeJetError(jet::JetErrorKind::kDamaged, c.column.flatTable,
                                "複数値でもアタッチメントでもない平坦テーブルです");
    ColumnPairs columns = attachment ? kAttachmentColumns : ColumnPairs{{"Value", "VALUE"}};
    // The link is named after the parent's column, unless an element column
    // has that name already.
    std::string link = c.column.field;
    for (const auto& [from, to] : columns) {
        if (encoding::equalsIgnoringAsciiCase(to, link))
            link = "LINK_ID";
    }
    columns.insert(columns.begin(), {"_" + c.column.field, link});
    return columns;
}

model::JetRelationship ComplexTables::linkRelationship(const Child& c) {
    const auto columns = childColumns(c, inner_.readTable(c.column.flatTable));
    return {.name = c.name,
            .table = c.name,
            .columns = {columns.front().second},
            .referencedTable = c.column.table,
            .referencedColumns = {c.column.field}};
}

model::JetTableSchema ComplexTables::readSchema(const std::string& name) {
    if (const Child* c = child(name))
        return {.name = name, .relationships = {linkRelationship(*c)}};
    model::JetTableSchema schema = inner_.readSchema(name);
    for (const auto& c : children_) {
        if (c.column.table != name)
            continue;
        schema.indexes.push_back({.name = c.column.field + "_link",
                                  .columns = {{.field = c.column.field}},
                                  .unique = true,
                                  .ignoreNulls = true});
        schema.relationships.push_back(linkRelationship(c));
    }
    return schema;
}

model::JetTableDef ComplexTables::readTable(const std::string& name) {
    const Child* c = child(name);
    if (!c) {
        model::JetTableDef table = inner_.readTable(name);
        for (auto& field : table.fields) {
            if (field.typeCode == model::kJetComplex && isLink(name, field.name))
                field.typeCode = model::kJetLong;
        }
        return table;
    }
    const model::JetTableDef flat = inner_.readTable(c->column.flatTable);
    model::JetTableDef table;
    table.name = name;
    for (const auto& [from, to] : childColumns(*c, flat)) {
        const auto it =
            std::find_if(flat.fields.begin(), flat.fields.end(),
                         [&](const model::JetFieldDef& field) { return field.name == from; });
        if (it == flat.fields.end())
            throw jet::makeJetError(jet::JetErrorKind::kDamaged, c->column.flatTable,
                                    "列 " + from + " がありません");
        model::JetFieldDef field = *it;
        field.name = to;
        table.fields.push_back(std::move(field));
    }
    return table;
}

std::unique_ptr<jet::JetRowCursor> ComplexTables::openRows(const std::string& name) {
    const Child* c = child(name);
    // The definition first: any request to the reader ends an open cursor.
    const ColumnPairs picked =
        c ? childColumns(*c, inner_.readTable(c->column.flatTable)) : ColumnPairs{};
    std::unique_ptr<jet::JetRowCursor> rows =
        c ? inner_.openFlatRows(c->column.flatTable) : inner_.openRows(name);
    const auto& read = rows->columns();
    std::vector<jet::JetColumn> columns;
    std::vector<std::size_t> from;
    std::vector<bool> links;
    auto position = [&](const std::string& column) {
        const auto it = std::find_if(read.begin(), read.end(),
                                     [&](const jet::JetColumn& r) { return r.name == column; });
        if (it == read.end())
            throw jet::makeJetError(jet::JetErrorKind::kDamaged, name,
                                    "列 " + column + " がありません");
        return static_cast<std::size_t>(it - read.begin());
    };
    if (c) {
        for (const auto& [flatName, childName] : picked) {
            from.push_back(position(flatName));
            columns.push_back({childName, read[from.back()].typeCode});
            links.push_back(false);
        }
    } else {
        for (std::size_t i = 0; i < read.size(); ++i) {
            const bool link = read[i].typeCode == model::kJetComplex && isLink(name, read[i].name);
            const std::int16_t type = link ? std::int16_t{model::kJetLong} : read[i].typeCode;
            columns.push_back({read[i].name, type});
            from.push_back(i);
            links.push_back(link);
        }
    }
    return std::make_unique<PickedRows>(std::move(rows), std::move(columns), std::move(from),
                                        std::move(links), name);
}

}  // namespace malvorn::core
