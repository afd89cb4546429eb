// Reading a table's schema: which index entries are the user's, how the
// relationship catalog's rows become relationships, the reply's encoding,
// and the facts of a file the engine wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "jet/jet_protocol.h"
#include "jet/jet_schema_rules.h"
#include "jet/schema_protocol.h"
#include "support/jet_sources.h"

namespace malvorn::jet {
namespace {

std::vector<model::JetFieldDef> fieldsNamed(std::vector<std::string> names) {
    std::vector<model::JetFieldDef> fields;
    for (auto& name : names) {
        model::JetFieldDef field;
        field.name = std::move(name);
        fields.push_back(std::move(field));
    }
    return fields;
}

TEST(UserIndexes, OnlyTheIndexesTheUserSeesWithTheirKeys) {
    auto fields = fieldsNamed({"ID", "Name", "Date", "Tags"});
    fields[3].typeCode = model::kJetComplex;
    struct Case {
        const char* what;
        std::vector<StoredIndex> stored;
        std::vector<std::string> expectedNames;
        std::vector<std::vector<model::JetIndexColumn>> expectedColumns;
    };
    const Case cases[] = {
        {.what = "hidden and relationship entries are left out",
         .stored = {{.name = ".rB", .number = 0, .kind = 0, .keyColumns = {0}},
                    {.name = "Rel", .number = 0, .kind = 2, .keyColumns = {}},
                    {.name = "ByName", .number = 1, .kind = 0, .keyColumns = {1}}},
         .expectedNames = {"ByName"},
         .expectedColumns = {{{"Name", false}}}},
        {.what = "an entry sharing a stored index takes its keys and order",
         .stored = {{.name = "A",
                     .number = 0,
                     .kind = 0,
                     .keyColumns = {2, 0},
                     .descending = {true, false}},
                    {.name = "B", .number = 0, .kind = 0, .keyColumns = {}}},
         .expectedNames = {"A", "B"},
         .expectedColumns = {{{"Date", true}, {"ID", false}}, {{"Date", true}, {"ID", false}}}},
        {.what = "a key outside the table or no key at all gives nothing",
         .stored = {{.name = "Out", .number = 0, .kind = 0, .keyColumns = {7}},
                    {.name = "None", .number = 3, .kind = 0, .keyColumns = {}}},
         .expectedNames = {},
         .expectedColumns = {}},
        {.what = "the engine's own index over a complex column is left out",
         .stored = {{.name = "Tags_0A3F", .number = 0, .kind = 0, .keyColumns = {3}},
                    {.name = "ByDate", .number = 1, .kind = 0, .keyColumns = {2}}},
         .expectedNames = {"ByDate"},
         .expectedColumns = {{{"Date", false}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto indexes = userIndexesOf(c.stored, fields);
        std::vector<std::string> names;
        std::vector<std::vector<model::JetIndexColumn>> columns;
        for (const auto& index : indexes) {
            names.push_back(index.name);
            columns.push_back(index.columns);
        }
        EXPECT_EQ(names, c.expectedNames);
        ASSERT_EQ(columns.size(), c.expectedColumns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            ASSERT_EQ(columns[i].size(), c.expectedColumns[i].size());
            for (std::size_t k = 0; k < columns[i].size(); ++k)
                EXPECT_EQ(
                    std::tie(columns[i][k].field, columns[i][k].descending),
                    std::tie(c.expectedColumns[i][k].field, c.expectedColumns[i][k].descending));
        }
    }
}

TEST(UserIndexes, FlagsComeFromTheStoredIndexAndAPrimaryKeyIsUnique) {
    const auto indexes =
        userIndexesOf({{.name = "PrimaryKey", .number = 0, .kind = 1, .keyColumns = {0}},
                       {.name = "N",
                        .number = 1,
                        .kind = 0,
                        .keyColumns = {1},
                        .ignoreNulls = true,
                        .required = true}},
                      fieldsNamed({"ID", "Name"}));
    ASSERT_EQ(indexes.size(), 2u);
    EXPECT_TRUE(indexes[0].primary && indexes[0].unique);
    EXPECT_FALSE(indexes[1].primary || indexes[1].unique);
    EXPECT_TRUE(indexes[1].ignoreNulls && indexes[1].required);
}

RelationshipRow row(const char* name, std::int64_t position, std::int64_t count, const char* column,
                    const char* referenced, std::uint32_t attributes = 0) {
    return {.name = name,
            .table = "Child",
            .column = column,
            .referencedTable = "Parent",
            .referencedColumn = referenced,
            .position = position,
            .columnCount = count,
            .attributes = attributes};
}

TEST(Relationships, RowsMakeRelationshipsInTheirColumnOrder) {
    const auto read = relationshipsOf(
        {row("Two", 1, 2, "b", "y"), row("One", 0, 1, "c", "z", 4096), row("Two", 0, 2, "a", "x")});
    ASSERT_TRUE(read.damage.empty()) << read.damage;
    ASSERT_EQ(read.relationships.size(), 2u);
    EXPECT_EQ(read.relationships[0].name, "One");
    EXPECT_TRUE(read.relationships[0].cascadeDeletes());
    EXPECT_EQ(read.relationships[1].columns, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(read.relationships[1].referencedColumns, (std::vector<std::string>{"x", "y"}));

    const auto ofChild = relationshipsOfTable(read.relationships, "child");
    EXPECT_EQ(ofChild.size(), 2u);
    EXPECT_TRUE(relationshipsOfTable(read.relationships, "Other").empty());
}

TEST(Relationships, IncompleteRowsAreDamage) {
    struct Case {
        const char* what;
        std::vector<RelationshipRow> rows;
    };
    const Case cases[] = {
        {.what = "a position missing",
         .rows = {row("R", 0, 2, "a", "x"), row("R", 2, 2, "b", "y")}},
        {.what = "fewer rows than counted", .rows = {row("R", 0, 2, "a", "x")}},
        {.what = "an empty column", .rows = {row("R", 0, 1, "", "x")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto read = relationshipsOf(c.rows);
        EXPECT_NE(read.damage.find("R"), std::string::npos) << read.damage;
        EXPECT_TRUE(read.relationships.empty());
    }
}

model::JetTableSchema sampleSchema() {
    model::JetTableSchema schema;
    schema.name = "Orders";
    schema.description = "Bestellungen";
    schema.validationRule = "[A]<[B]";
    schema.fields = {{.name = "ID", .autoIncrement = true, .required = true},
                     {.name = "Note",
                      .allowZeroLength = true,
                      .validationRule = "Len([Note])<9",
                      .validationText = "short",
                      .description = "a note"}};
    schema.indexes = {{.name = "ByNote",
                       .columns = {{"Note", true}, {"ID", false}},
                       .unique = true,
                       .ignoreNulls = true}};
    schema.relationships = {{.name = "R",
                             .table = "Orders",
                             .columns = {"ID"},
                             .referencedTable = "P",
                             .referencedColumns = {"PID"},
                             .attributes = model::kRelationCascadeDeletes}};
    return schema;
}

TEST(SchemaProtocol, RoundTripsAndRefusesAShortPayload) {
    const auto schema = sampleSchema();
    const std::string bytes = protocol::encodeTableSchema(schema);
    const auto back = protocol::decodeTableSchema(bytes);
    EXPECT_EQ(protocol::encodeTableSchema(back), bytes);
    ASSERT_EQ(back.fields.size(), 2u);
    EXPECT_TRUE(back.fields[0].autoIncrement && back.fields[0].required);
    EXPECT_FALSE(back.fields[0].allowZeroLength || back.fields[0].guidAuto);
    EXPECT_EQ(back.fields[1].validationText, "short");
    ASSERT_EQ(back.indexes.size(), 1u);
    EXPECT_TRUE(back.indexes[0].columns[0].descending);
    EXPECT_FALSE(back.indexes[0].columns[1].descending);
    EXPECT_EQ(back.relationships.at(0).referencedColumns, std::vector<std::string>{"PID"});
    EXPECT_TRUE(back.relationships.at(0).cascadeDeletes());

    for (const std::size_t cut : {std::size_t{0}, bytes.size() / 2, bytes.size() - 1})
        EXPECT_THROW(protocol::decodeTableSchema(bytes.substr(0, cut)), protocol::ProtocolError);
    EXPECT_THROW(protocol::decodeTableSchema(bytes + "x"), protocol::ProtocolError);
}

class RealSchema : public ::testing::TestWithParam<Way> {};
INSTANTIATE_TEST_SUITE_P(Ways, RealSchema, bothWays(), wayName);

// nwind: 7 relationships (one cascading deletes, one updates), 24 indexes
// besides the keys (one unique), AutoNumber keys and descriptions.
TEST_P(RealSchema, TheEngineWrittenSampleDatabase) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    const auto source = GetParam().open(realFile("nwind.mdb"));
    std::size_t secondary = 0, unique = 0;
    std::set<std::string> relationships;
    int cascadeDeletes = 0, cascadeUpdates = 0;
    for (const auto& table : source->userTableNames()) {
        const auto schema = source->readSchema(table);
        for (const auto& index : schema.indexes) {
            secondary += index.primary ? 0 : 1;
            unique += !index.primary && index.unique ? 1 : 0;
        }
        for (const auto& relationship : schema.relationships) {
            if (relationships.insert(relationship.name).second) {
                cascadeDeletes += relationship.cascadeDeletes() ? 1 : 0;
                cascadeUpdates += relationship.cascadeUpdates() ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(secondary, 24u);
    EXPECT_EQ(unique, 1u);
    EXPECT_EQ(relationships.size(), 7u);
    EXPECT_EQ(std::tie(cascadeDeletes, cascadeUpdates), std::tuple(1, 1));

    const auto orders = source->readSchema("Orders");
    EXPECT_EQ(orders.description, "Customer name, order date, and freight charge for each order.");
    ASSERT_FALSE(orders.fields.empty());
    EXPECT_EQ(orders.fields[0].name, "OrderID");
    EXPECT_TRUE(orders.fields[0].autoIncrement);
    EXPECT_EQ(orders.fields[0].description, "Unique order number.");
    const auto details = source->readSchema("Order Details");
    const auto toOrders = std::find_if(
        details.relationships.begin(), details.relationships.end(),
        [](const auto& r) { return r.table == "Order Details" && r.referencedTable == "Orders"; });
    ASSERT_NE(toOrders, details.relationships.end());
    EXPECT_EQ(toOrders->columns, std::vector<std::string>{"OrderID"});
    EXPECT_THROW(source->readSchema("NoSuchTable"), JetError);
}

}  // namespace
}  // namespace malvorn::jet
