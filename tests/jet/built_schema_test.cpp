// The schema facts the builder writes, read back both ways as the engine's
// own are: AutoNumber, the field properties the Oracle-safe rules carry, and
// relationships (several columns in order, the cascade and enforcement bits,
// a table referring to itself); the relationship catalog laid out as in
// nwind.mdb.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "jet_builder/jet_relations.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using testing::JetBuildRelationship;
using testing::JetBuildTable;

std::vector<JetBuildTable> orderTables() {
    JetBuildTable orders{"Orders",
                         {{.name = "Nr", .type = 4, .autoNumber = true},
                          {.name = "Kunde", .type = 10, .size = 20, .required = true},
                          {.name = "Note",
                           .type = 10,
                           .allowZeroLength = true,
                           .description = "Bemerkung & Hinweis",
                           .validationRule = "Len([Note])<9",
                           .validationText = "zu lang"},
                          {.name = "Boss", .type = 4}},
                         {{.name = "PrimaryKey", .columns = {"Nr"}, .primary = true}},
                         {{std::int64_t{1}, "Ada", "", std::int64_t{1}}}};
    JetBuildTable lines{"Lines",
                        {{.name = "Nr", .type = 4},
                         {.name = "Pos", .type = 3},
                         {.name = "Menge", .type = 3, .validationRule = ">0"}},
                        {{.name = "PrimaryKey", .columns = {"Nr", "Pos"}, .primary = true},
                         {.name = "Most", .columns = {"Nr", "Menge"}, .descending = {"Menge"}}},
                        {}};
    JetBuildTable notes{"Notes", {{.name = "Nr", .type = 4}, {.name = "Pos", .type = 3}}, {}, {}};
    return {orders, lines, notes};
}

const JetBuildRelationship kRelationships[] = {
    {.name = "OrdersLines",
     .table = "Lines",
     .columns = {"Nr"},
     .referencedTable = "Orders",
     .referencedColumns = {"Nr"},
     .attributes = model::kRelationCascadeDeletes | model::kRelationCascadeUpdates},
    // The columns in the order given, not the order of the fields.
    {.name = "LinesNotes",
     .table = "Notes",
     .columns = {"Pos", "Nr"},
     .referencedTable = "Lines",
     .referencedColumns = {"Pos", "Nr"},
     .attributes = model::kRelationNotEnforced},
    {.name = "OrdersOrders",
     .table = "Orders",
     .columns = {"Boss"},
     .referencedTable = "Orders",
     .referencedColumns = {"Nr"}},
};

class BuiltSchema : public ::testing::TestWithParam<Way> {
  protected:
    std::unique_ptr<JetSource> open(testing::JetVersion version) {
        const std::string path = dir_.path() + "/schema.mdb";
        std::vector<JetBuildRelationship> relationships(std::begin(kRelationships),
                                                        std::end(kRelationships));
        testing::writeJetFile(path, testing::withRelationships(orderTables(), relationships),
                              version);
        return GetParam().open(path);
    }
    TempDir dir_;
};
INSTANTIATE_TEST_SUITE_P(Ways, BuiltSchema, bothWays(), wayName);

TEST_P(BuiltSchema, FieldFactsReadBackInBothVersions) {
    for (const auto version : {testing::JetVersion::kJet3, testing::JetVersion::kJet4}) {
        const auto source = open(version);
        const auto schema = source->readSchema("Orders");
        struct Expected {
            const char* field;
            bool autoIncrement;
            bool required;
            const char* description;
            const char* rule;
            const char* text;
        };
        const Expected expected[] = {
            {.field = "Nr",
             .autoIncrement = true,
             .required = false,
             .description = "",
             .rule = "",
             .text = ""},
            {.field = "Kunde",
             .autoIncrement = false,
             .required = true,
             .description = "",
             .rule = "",
             .text = ""},
            {.field = "Note",
             .autoIncrement = false,
             .required = false,
             .description = "Bemerkung & Hinweis",
             .rule = "Len([Note])<9",
             .text = "zu lang"},
            // A plain Long Integer is no AutoNumber.
            {.field = "Boss",
             .autoIncrement = false,
             .required = false,
             .description = "",
             .rule = "",
             .text = ""},
        };
        ASSERT_EQ(schema.fields.size(), std::size(expected));
        for (std::size_t i = 0; i < schema.fields.size(); ++i) {
            const auto& f = schema.fields[i];
            const Expected& e = expected[i];
            EXPECT_EQ(std::tie(f.name, f.autoIncrement, f.required, f.description, f.validationRule,
                               f.validationText),
                      std::tie(e.field, e.autoIncrement, e.required, e.description, e.rule, e.text))
                << e.field;
        }
        // The catalog is the engine's, not a table of the user's.
        const auto names = source->userTableNames();
        EXPECT_EQ(std::count(names.begin(), names.end(), "MSysRelationships"), 0);
    }
}

TEST_P(BuiltSchema, RelationshipsKeepTheirColumnsAndBits) {
    const auto source = open(testing::JetVersion::kJet4);
    for (const JetBuildRelationship& r : kRelationships) {
        const auto schema = source->readSchema(r.table);
        const auto found = std::find_if(schema.relationships.begin(), schema.relationships.end(),
                                        [&](const auto& s) { return s.name == r.name; });
        ASSERT_NE(found, schema.relationships.end()) << r.name;
        EXPECT_EQ(
            std::tie(found->table, found->columns, found->referencedTable, found->referencedColumns,
                     found->attributes),
            std::tie(r.table, r.columns, r.referencedTable, r.referencedColumns, r.attributes))
            << r.name;
    }
    // The referenced table lists the relationship too.
    const auto lines = source->readSchema("Lines");
    EXPECT_EQ(lines.relationships.size(), 2u);
}

TEST_P(BuiltSchema, ADescendingKeyColumnReadsBackDescending) {
    for (const auto version : {testing::JetVersion::kJet3, testing::JetVersion::kJet4}) {
        const auto schema = open(version)->readSchema("Lines");
        const auto most = std::find_if(schema.indexes.begin(), schema.indexes.end(),
                                       [](const auto& index) { return index.name == "Most"; });
        ASSERT_NE(most, schema.indexes.end());
        ASSERT_EQ(most->columns.size(), 2u);
        EXPECT_EQ(std::tie(most->columns[0].field, most->columns[0].descending),
                  std::tuple("Nr", false));
        EXPECT_EQ(std::tie(most->columns[1].field, most->columns[1].descending),
                  std::tuple("Menge", true));
    }
    // A column sorted descending must be one of the key's.
    JetBuildTable bad{"T", {{.name = "A", .type = 4}}, {{.name = "X", .columns = {"A"}}}, {}};
    bad.indexes[0].descending = {"B"};
    EXPECT_THROW(testing::buildJetFile({bad}), std::runtime_error);
}

// The built catalog has the columns, types and order of the engine's.
TEST_P(BuiltSchema, TheCatalogIsLaidOutAsTheEnginesIs) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    const auto real = GetParam().open(realFile("nwind.mdb"))->readTable("MSysRelationships");
    const auto built = open(testing::JetVersion::kJet3)->readTable("MSysRelationships");
    ASSERT_EQ(built.fields.size(), real.fields.size());
    for (std::size_t i = 0; i < real.fields.size(); ++i)
        EXPECT_EQ(std::tie(built.fields[i].name, built.fields[i].typeCode),
                  std::tie(real.fields[i].name, real.fields[i].typeCode));
}

TEST(BuiltRelationships, ColumnListsThatDoNotPairUpAreRefused) {
    EXPECT_THROW(testing::withRelationships(
                     {}, {{.name = "R", .columns = {"A", "B"}, .referencedColumns = {"A"}}}),
                 std::runtime_error);
    EXPECT_THROW(testing::withRelationships({}, {{.name = "R"}}), std::runtime_error);
}

}  // namespace
}  // namespace malvorn::jet
