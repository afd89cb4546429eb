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

std::vector<std::string> fieldNames(const model::JetTableDef& table) {
    std::vector<std::string> names;
    for (const auto& f : table.fields)
        names.push_back(f.name);
    return names;
}

std::vector<JetRow> rowsOf(jet::JetSource& source, const std::string& table) {
    const auto rows = source.openRows(table);
    std::vector<JetRow> all;
    JetRow row;
    while (rows->next(row))
        all.push_back(row);
    return all;
}

TEST(ComplexTables, ChildTablesFollowTheirParentUnderUniqueNames) {
    MemorySource file = orders();
    const ComplexTables complex(file);
    EXPECT_EQ(complex.withChildTables({"Orders", "orders_tags"}),
              (std::vector<std::string>{"Orders", "Orders_Tags_2", "Orders_Files", "Orders_Value",
                                        "orders_tags"}));
}

TEST(ComplexTables, TheParentKeepsTheLinkAsANumber) {
    MemorySource file = orders();
    ComplexTables complex(file);
    const auto parent = complex.readTable("Orders");
    ASSERT_EQ(parent.fields.size(), 5u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(parent.fields[i].typeCode, model::kJetLong) << parent.fields[i].name;
    // A complex column the catalog does not know is not made up: the
    // Oracle-safe rules then refuse it.
    EXPECT_EQ(parent.fields[4].typeCode, model::kJetComplex);

    const auto rows = rowsOf(complex, "Orders");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (JetRow{n(1), n(7), n(8), n(9), link(5)}));
    EXPECT_EQ(rows[1], (JetRow{n(2), JetValue{}, n(0x01000000), n(3), link(6)}));
}

TEST(ComplexTables, ChildTablesHoldTheLinkAndTheElements) {
    MemorySource file = orders();
    ComplexTables complex(file);
    struct Case {
        std::string child;
        std::vector<std::string> columns;
        std::vector<JetRow> rows;
    };
    const Case cases[] = {
        {"Orders_Tags_2",
         {"Tags", "VALUE"},
         {{n(7), std::string("red")}, {n(7), std::string("blue")}}},
        {"Orders_Files",
         {"Files", "FILE_NAME", "FILE_TYPE", "FILE_TIMESTAMP", "FILE_URL", "FILE_FLAGS",
          "FILE_DATA"},
         {{n(8), std::string("a.pdf"), std::string("pdf"), JetValue{}, JetValue{}, JetValue{},
           JetBinary{std::string("\0PDF", 4)}}}},
        // The link would clash with the element's column: it gets a name of its own.
        {"Orders_Value", {"LINK_ID", "VALUE"}, {{n(9), 2.5}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fieldNames(complex.readTable(c.child)), c.columns) << c.child;
        EXPECT_EQ(rowsOf(complex, c.child), c.rows) << c.child;
    }
    EXPECT_EQ(complex.readTable("Orders_Files").fields.back().typeCode, model::kJetOle);
    // The elements come through the flat-table way, which unpacks attachments.
    EXPECT_EQ(file.flatOpened, (std::vector<std::string>{"f_A_Tags", "f_B_Files", "f_C_Value"}));
}

// Each child's link refers to its parent's column, which is unique; the
// column the catalog does not know gets neither.
TEST(ComplexTables, ChildLinksReferToTheParentsUniqueColumn) {
    MemorySource file = orders();
    ComplexTables complex(file);
    struct Case {
        std::string child;
        std::string link;    // the child's column
        std::string parent;  // the parent's column it refers to
    };
    const Case cases[] = {
        {.child = "Orders_Tags_2", .link = "Tags", .parent = "Tags"},
        {.child = "Orders_Files", .link = "Files", .parent = "Files"},
        {.child = "Orders_Value", .link = "LINK_ID", .parent = "Value"},
    };
    const model::JetTableSchema parent = complex.readSchema("Orders");
    std::vector<std::string> unique;
    for (const auto& index : parent.indexes) {
        EXPECT_TRUE(index.unique && !index.primary) << index.name;
        ASSERT_EQ(index.columns.size(), 1u) << index.name;
        unique.push_back(index.columns[0].field);
    }
    EXPECT_EQ(unique, (std::vector<std::string>{"Tags", "Files", "Value"}));
    EXPECT_EQ(parent.relationships.size(), 3u);
    for (const auto& c : cases) {
        const model::JetTableSchema child = complex.readSchema(c.child);
        ASSERT_EQ(child.relationships.size(), 1u) << c.child;
        const model::JetRelationship& r = child.relationships[0];
        EXPECT_EQ(r.table, c.child);
        EXPECT_EQ(r.columns, std::vector<std::string>{c.link}) << c.child;
        EXPECT_EQ(r.referencedTable, "Orders") << c.child;
        EXPECT_EQ(r.referencedColumns, std::vector<std::string>{c.parent}) << c.child;
        EXPECT_TRUE(r.enforced()) << c.child;
        EXPECT_TRUE(child.indexes.empty()) << c.child;
    }
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
