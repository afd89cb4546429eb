// Complex columns as the migration sees them under the Oracle-safe rules:
// the parent's link as a number, each column's values as a child table.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "core/complex_tables.h"
#include "jet/jet_error.h"

namespace malvorn::core {
namespace {

using jet::JetBinary;
using jet::JetColumn;
using jet::JetRow;
using jet::JetValue;

struct MemoryTable {
    std::vector<model::JetFieldDef> fields;
    std::vector<JetRow> rows;
};

// A Jet file in memory. The flat tables hold their files unpacked already,
// as the reader's openFlatRows gives them.
class MemorySource : public jet::JetSource {
  public:
    std::map<std::string, MemoryTable> tables;
    std::vector<std::string> flatOpened;

    std::vector<std::string> tableNames() override {
        std::vector<std::string> names;
        for (const auto& [name, table] : tables)
            names.push_back(name);
        return names;
    }
    std::vector<std::string> userTableNames() override { return tableNames(); }
    model::JetTableDef readTable(const std::string& name) override {
        model::JetTableDef def;
        def.name = name;
        def.fields = at(name).fields;
        return def;
    }
    std::unique_ptr<jet::JetRowCursor> openRows(const std::string& name) override {
        return std::make_unique<Cursor>(at(name));
    }
    model::JetTableSchema readSchema(const std::string& name) override {
        at(name);
        return {.name = name};
    }
    std::unique_ptr<jet::JetRowCursor> openFlatRows(const std::string& name) override {
        flatOpened.push_back(name);
        return openRows(name);
    }

  private:
    const MemoryTable& at(const std::string& name) {
        const auto it = tables.find(name);
        if (it == tables.end())
            throw jet::makeJetError(jet::JetErrorKind::kNoSuchTable, name);
        return it->second;
    }
    struct Cursor : jet::JetRowCursor {
        explicit Cursor(const MemoryTable& t) : table(t) {
            for (const auto& field : t.fields)
                names.push_back({field.name, field.typeCode});
        }
        const std::vector<JetColumn>& columns() const override { return names; }
        std::int64_t recordedRowCount() const override {
            return static_cast<std::int64_t>(table.rows.size());
        }
        std::int64_t deliveredRowCount() const override { return next_; }
        bool next(JetRow& row) override {
            if (static_cast<std::size_t>(next_) >= table.rows.size())
                return false;
            row = table.rows[static_cast<std::size_t>(next_++)];
            return true;
        }
        const MemoryTable& table;
        std::vector<JetColumn> names;
        std::int64_t next_ = 0;
    };
};

model::JetFieldDef field(const std::string& name, std::int16_t type) {
    model::JetFieldDef def;
    def.name = name;
    def.typeCode = type;
    return def;
}

JetValue link(std::uint32_t n) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((n >> (8 * i)) & 0xFF);
    return JetBinary{bytes};
}

JetValue n(std::int64_t value) {
    return value;
}

// Orders with a multi-value column Tags, an attachment column Files and a
// multi-value column named Value; a user table whose name the first child
// would take (in other letter case); a complex column without a catalog row.
MemorySource orders() {
    MemorySource file;
    using namespace model;
    file.tables["MSysObjects"] = {{field("Id", kJetLong), field("Name", kJetText)},
                                  {{n(10), std::string("Orders")},
                                   {n(21), std::string("f_A_Tags")},
                                   {n(22), std::string("f_B_Files")},
                                   {n(23), std::string("f_C_Value")}}};
    file.tables["MSysComplexColumns"] = {
        {field("ColumnName", kJetText), field("ConceptualTableID", kJetLong),
         field("FlatTableID", kJetLong)},
        {{std::string("Tags"), n(10), n(21)},
         {std::string("VersionHistory_1234"), n(10), n(21)},
         {std::string("Files"), n(10), n(22)},
         {std::string("Value"), n(10), n(23)}}};
    file.tables["Orders"] = {
        {field("ID", kJetLong), field("Tags", kJetComplex), field("Files", kJetComplex),
         field("Value", kJetComplex), field("Stray", kJetComplex)},
        {{n(1), link(7), link(8), link(9), link(5)},
         {n(2), JetValue{}, link(0x01000000), link(3), link(6)}}};
    file.tables["orders_tags"] = {{field("X", kJetLong)}, {}};
    file.tables["f_A_Tags"] = {
        {field("_Tags", kJetLong), field("Orders_Tags", kJetLong), field("Value", kJetText)},
        {{n(7), n(1), std::string("red")}, {n(7), n(2), std::string("blue")}}};
    file.tables["f_B_Files"] = {
        {field("_Files", kJetLong), field("Orders_Files", kJetLong), field("FileData", kJetOle),
         field("FileFlags", kJetLong), field("FileName", kJetText),
         field("FileTimeStamp", kJetDate), field("FileType", kJetText), field("FileURL", kJetMemo)},
        {{n(8), n(1), JetBinary{std::string("\0PDF", 4)}, JetValue{}, std::string("a.pdf"),
          JetValue{}, std::string("pdf"), JetValue{}}}};
    file.tables["f_C_Value"] = {
        {field("_Value", kJetLong), field("Orders_Value", kJetLong), field("Value", kJetDouble)},
        {{n(9), n(1), 2.5}}};
    return file;
}

std::vector<JetRow> rowsOf(jet::JetSource& source, const std::string& table) {
    const auto rows = source.openRows(table);
    std::vector<JetRow> all;
    JetRow row;
    while (rows->next(row))
        all.push_back(row);
    return all;
}

// A table as the migration sees it: "name:type" of each column, then its
// indexes and relationships.
std::string shape(jet::JetSource& source, const std::string& table) {
    std::string text;
    for (const auto& f : source.readTable(table).fields)
        text += f.name + ":" + std::to_string(f.typeCode) + " ";
    const model::JetTableSchema schema = source.readSchema(table);
    for (const auto& index : schema.indexes) {
        text += "| " + index.name + (index.unique ? " unique" : "") +
                (index.primary ? " primary" : "") + " (";
        for (const auto& column : index.columns)
            text += column.field + " ";
        text += ") ";
    }
    for (const auto& r : schema.relationships) {
        text += "| " + r.table + "." + r.columns.at(0) + " -> " + r.referencedTable + "." +
                r.referencedColumns.at(0) + (r.enforced() ? " " : " not enforced ");
        EXPECT_EQ(r.columns.size() + r.referencedColumns.size(), 2u) << table;
    }
    return text;
}

TEST(ComplexTables, ChildTablesFollowTheirParentUnderUniqueNames) {
    MemorySource file = orders();
    const ComplexTables complex(file);
    EXPECT_EQ(complex.withChildTables({"Orders", "orders_tags"}),
              (std::vector<std::string>{"Orders", "Orders_Tags_2", "Orders_Files", "Orders_Value",
                                        "orders_tags"}));
}

// The parent keeps each link as a number (Long, 4) under a unique index; a
// complex column the catalog does not know is not made up (18: the
// Oracle-safe rules then refuse it). Each child holds the link, referring to
// the parent's column, and the elements.
TEST(ComplexTables, ParentAndChildTablesHoldTheLinksAndTheElements) {
    MemorySource file = orders();
    ComplexTables complex(file);
    const std::string links =
        "| Orders_Tags_2.Tags -> Orders.Tags | Orders_Files.Files -> "
        "Orders.Files | Orders_Value.LINK_ID -> Orders.Value ";
    struct Case {
        std::string table;
        std::string shape;
        std::vector<JetRow> rows;
    };
    const Case cases[] = {
        {"Orders",
         "ID:4 Tags:4 Files:4 Value:4 Stray:18 | Tags_link unique (Tags ) | Files_link unique "
         "(Files ) | Value_link unique (Value ) " +
             links,
         {{n(1), n(7), n(8), n(9), link(5)}, {n(2), JetValue{}, n(0x01000000), n(3), link(6)}}},
        {"Orders_Tags_2",
         "Tags:4 VALUE:10 | Orders_Tags_2.Tags -> Orders.Tags ",
         {{n(7), std::string("red")}, {n(7), std::string("blue")}}},
        {"Orders_Files",
         "Files:4 FILE_NAME:10 FILE_TYPE:10 FILE_TIMESTAMP:8 FILE_URL:12 FILE_FLAGS:4 "
         "FILE_DATA:11 | Orders_Files.Files -> Orders.Files ",
         {{n(8), std::string("a.pdf"), std::string("pdf"), JetValue{}, JetValue{}, JetValue{},
           JetBinary{std::string("\0PDF", 4)}}}},
        // The link would clash with the element's column: it gets a name of its own.
        {"Orders_Value",
         "LINK_ID:4 VALUE:7 | Orders_Value.LINK_ID -> Orders.Value ",
         {{n(9), 2.5}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shape(complex, c.table), c.shape) << c.table;
        EXPECT_EQ(rowsOf(complex, c.table), c.rows) << c.table;
    }
    // The elements come through the flat-table way, which unpacks attachments.
    EXPECT_EQ(file.flatOpened, (std::vector<std::string>{"f_A_Tags", "f_B_Files", "f_C_Value"}));
}

TEST(ComplexTables, DamageIsAnErrorNotAGuess) {
    struct Case {
        const char* what;
        std::function<void(MemorySource&)> damage;
        std::string table;
    };
    const Case cases[] = {
        {"a link of three bytes",
         [](MemorySource& f) { f.tables["Orders"].rows[0][1] = JetBinary{"abc"}; }, "Orders"},
        {"a flat table of neither kind",
         [](MemorySource& f) { f.tables["f_A_Tags"].fields[2].name = "Other"; }, "Orders_Tags_2"},
        {"a flat table without its link column",
         [](MemorySource& f) { f.tables["f_A_Tags"].fields[0].name = "_Other"; }, "Orders_Tags_2"},
    };
    for (const auto& c : cases) {
        MemorySource file = orders();
        c.damage(file);
        ComplexTables complex(file);
        EXPECT_THROW(rowsOf(complex, c.table), jet::JetError) << c.what;
    }
    MemorySource unknownId = orders();
    unknownId.tables["MSysComplexColumns"].rows[0][2] = n(99);
    EXPECT_THROW(ComplexTables{unknownId}, jet::JetError);
}

}  // namespace
}  // namespace malvorn::core
