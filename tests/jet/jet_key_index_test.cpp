// The key a table really has and the Decimal digits, read from built files
// in this process and through the reader process alike.
#include <gtest/gtest.h>

#include "jet_builder/jet_builder.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using testing::JetBuildField;
using testing::JetBuildIndex;
using testing::JetBuildTable;

class KeyIndex : public ::testing::TestWithParam<Way> {
  protected:
    std::unique_ptr<JetSource> build(const std::vector<JetBuildTable>& tables) {
        const std::string path = dir_.path() + "/keys.mdb";
        testing::writeJetFile(path, tables);
        return GetParam().open(path);
    }

  private:
    TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(Ways, KeyIndex, bothWays(), wayName);

JetBuildField field(const std::string& name, int type) {
    JetBuildField f;
    f.name = name;
    f.type = type;
    return f;
}

TEST_P(KeyIndex, PrimaryMarkThenFirstUniqueThenNone) {
    struct Case {
        const char* table;
        std::vector<JetBuildIndex> indexes;
        const char* key;  // nullptr: no key
        std::vector<std::string> columns;
    };
    JetBuildIndex related{"CustomersOrders", {"B"}, false};
    related.relationship = true;
    JetBuildIndex uniqueC{"ByC", {"C"}, false};
    uniqueC.unique = true;
    const Case cases[] = {
        // The first index by name is not the key: the marked one is.
        {"MarkedSecond",
         {{"City", {"C"}, false}, {"PrimaryKey", {"A"}, true}},
         "PrimaryKey",
         {"A"}},
        {"UniqueOnly", {{"ByB", {"B"}, false}, uniqueC}, "ByC", {"C"}},
        {"RelationshipFirst", {related, {"ByB", {"B"}, false}}, nullptr, {}},
        {"PlainOnly", {{"ByB", {"B"}, false}}, nullptr, {}},
        {"NoIndex", {}, nullptr, {}},
    };
    std::vector<JetBuildTable> tables;
    for (const auto& c : cases)
        tables.push_back({c.table, {field("A", 4), field("B", 10), field("C", 8)}, c.indexes, {}});
    const auto source = build(tables);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        const auto def = source->readTable(c.table);
        ASSERT_EQ(def.primaryIndex.has_value(), c.key != nullptr);
        if (c.key) {
            EXPECT_EQ(def.primaryIndex->name, c.key);
            EXPECT_EQ(def.primaryIndex->fieldNames, c.columns);
        }
    }
}

TEST_P(KeyIndex, DecimalCarriesPrecisionAndScale) {
    JetBuildField amount = field("Amount", 20);
    amount.precision = 12;
    amount.scale = 3;
    const auto source = build({{"T", {field("A", 4), amount}, {}, {}}});
    const auto def = source->readTable("T");
    EXPECT_EQ(def.fields[1].precision, 12);
    EXPECT_EQ(def.fields[1].scale, 3);
    EXPECT_EQ(def.fields[0].precision, 0);
}

}  // namespace
}  // namespace malvorn::jet
