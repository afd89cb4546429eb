// Calculated fields (Access 2010) in built ACE files: read as plain columns
// of their result's type with the results the engine stored, the expression
// kept beside them; migrated exactly under the Oracle-safe rules.
#include <gtest/gtest.h>

#include <fstream>

#include "cli_migration.h"
#include "jet/jet_decode.h"
#include "jet_builder/ace_types.h"
#include "jet_builder/jet_builder.h"
#include "jet_built_bytes.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using namespace malvorn::testing;
using Int = std::int64_t;

// Between the plain columns, so that a result read from the wrong place
// (the head, or a neighbour) shows.
const JetBuildTable kOrders{
    .name = "Orders",
    .fields = {{.name = "ID", .type = 4},
               {.name = "Price", .type = 7},
               {.name = "Label", .type = 10, .size = 20, .expression = "[Name] & \"!\""},
               {.name = "Name", .type = 10, .size = 10},
               {.name = "Twice", .type = 4, .expression = "[ID]*2"},
               {.name = "Gross", .type = 7, .expression = "[Price]*1.1"},
               {.name = "Due", .type = 8, .expression = "#2024-01-31#+[ID]"}},
    .indexes = {{"PrimaryKey", {"ID"}, true}},
    .rows = {{Int{1}, 2.5, std::string("紫式部!"), std::string("紫式部"), Int{2}, 2.75, 45322.5},
             {Int{2}, 0.1, std::string("Ada!"), std::string("Ada"), Int{-2147483648},
              0.11000000000000001, 45323.0},
             {Int{3}, {}, {}, std::string("x"), {}, {}, {}}}};

class CalculatedFields : public ::testing::TestWithParam<Way> {
  protected:
    std::unique_ptr<JetSource> build(const std::vector<JetBuildTable>& tables) {
        const std::string path = dir_.path() + "/calc.accdb";
        writeJetFile(path, tables, JetVersion::kAce12);
        return GetParam().open(path);
    }
    TempDir dir_;
};
INSTANTIATE_TEST_SUITE_P(Ways, CalculatedFields, bothWays(), wayName);

TEST_P(CalculatedFields, ResultsAreReadInTheirTypeWithTheExpressionBeside) {
    const auto source = build({kOrders});
    const auto definition = source->readTable("Orders");
    struct Field {
        const char* name;
        std::int16_t type;
        std::int32_t size;  // checked for text only
        std::optional<std::string> expression;
    };
    const Field fields[] = {
        {.name = "ID", .type = model::kJetLong, .size = 0, .expression = {}},
        {.name = "Price", .type = model::kJetDouble, .size = 0, .expression = {}},
        {.name = "Label", .type = model::kJetText, .size = 20, .expression = "[Name] & \"!\""},
        {.name = "Name", .type = model::kJetText, .size = 10, .expression = {}},
        {.name = "Twice", .type = model::kJetLong, .size = 0, .expression = "[ID]*2"},
        {.name = "Gross", .type = model::kJetDouble, .size = 0, .expression = "[Price]*1.1"},
        {.name = "Due", .type = model::kJetDate, .size = 0, .expression = "#2024-01-31#+[ID]"},
    };
    ASSERT_EQ(definition.fields.size(), std::size(fields));
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const auto& got = definition.fields[i];
        EXPECT_EQ(got.name, fields[i].name);
        EXPECT_EQ(got.typeCode, fields[i].type) << fields[i].name;
        EXPECT_EQ(got.expression, fields[i].expression) << fields[i].name;
        if (got.typeCode == model::kJetText) {
            EXPECT_EQ(got.size, fields[i].size) << fields[i].name;
        }
    }
    const std::vector<JetRow> expected = {{Int{1}, 2.5, std::string("紫式部!"),
                                           std::string("紫式部"), Int{2}, 2.75, JetDate{45322.5}},
                                          {Int{2}, 0.1, std::string("Ada!"), std::string("Ada"),
                                           Int{-2147483648}, 0.11000000000000001, JetDate{45323.0}},
                                          {Int{3}, {}, {}, std::string("x"), {}, {}, {}}};
    EXPECT_EQ(allRows(*source, "Orders"), expected);

    const auto schema = source->readSchema("Orders");
    ASSERT_EQ(schema.fields.size(), std::size(fields));
    EXPECT_EQ(schema.fields[4].description, "計算フィールド: [ID]*2");
    EXPECT_EQ(schema.fields[3].description, "");
}

// A stored value whose stated length runs past it is damage, named.
TEST_P(CalculatedFields, AResultLongerThanItsValueIsDamage) {
    JetBuildTable table{.name = "Bad",
                        .fields = {{.name = "Text", .type = 10, .size = 10, .expression = "1"}},
                        .rows = {{std::string("ab")}}};
    const std::string path = dir_.path() + "/bad.accdb";
    std::string bytes = builtBytes({table}, JetVersion::kAce12);
    // The value: 16 zero bytes, its length (4), then "ab" in two bytes a
    // character (compressed it would be no shorter). Its length stated as
    // 200 instead.
    const std::string value = std::string(16, '\0') + std::string("\x04\0\0\0a\0b\0", 8);
    const std::size_t at = bytes.find(value);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes.find(value, at + 1), std::string::npos);
    bytes[at + 16] = static_cast<char>(200);
    std::ofstream(path, std::ios::binary) << bytes;
    const auto source = GetParam().open(path);
    try {
        allRows(*source, "Bad");
        ADD_FAILURE() << "no error";
    } catch (const JetError& e) {
        EXPECT_EQ(e.kind(), JetErrorKind::kDamaged);
        EXPECT_NE(std::string(e.what()).find("Text"), std::string::npos) << e.what();
    }
}

TEST(CalculatedResult, TheStatedLengthMustFitTheValue) {
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        std::optional<std::string> result;
    };
    const auto value = [](std::uint8_t length, const std::string& result) {
        std::string bytes(16, '\xAA');
        bytes += static_cast<char>(length);
        bytes += std::string(3, '\0') + result;
        return std::vector<unsigned char>(bytes.begin(), bytes.end());
    };
    const Case cases[] = {
        {.what = "a whole value", .bytes = value(2, "ab\0\0\0"), .result = "ab"},
        {.what = "an empty result", .bytes = value(0, ""), .result = ""},
        {.what = "the length past the end", .bytes = value(3, "ab"), .result = {}},
        {.what = "shorter than the head", .bytes = std::vector<unsigned char>(19, 0), .result = {}},
    };
    for (const Case& c : cases) {
        const auto got = calculatedResult(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(got ? std::optional<std::string>(*got) : std::nullopt, c.result) << c.what;
    }
}

class MigrateCalculated : public CliMigration {};

TEST_F(MigrateCalculated, ResultsGoOverExactlyAndTheExpressionIsKept) {
    const std::string path = dir_.path() + "/orders.accdb";
    writeJetFile(path, {kOrders}, JetVersion::kAce12);
    const CommandRun run = cli({"migrate", path, "--oracle-safe", "--verify"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("1 表中 1 表 ok、3 行"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Orders: 列 Twice は計算フィールドです"), std::string::npos) << run.out;
    EXPECT_EQ(sql("SELECT ID, LABEL, TWICE, TO_CHAR(GROSS) G, TO_CHAR(DUE, 'YYYY-MM-DD HH24:MI') D "
                  "FROM ORDERS ORDER BY ID"),
              "ID\tLABEL\tTWICE\tG\tD\n1\t紫式部!\t2\t2.75\t2024-01-31 12:00\n"
              "2\tAda!\t-2147483648\t.11000000000000001\t2024-02-01 00:00\n3\t\t\t\t\n");
    EXPECT_EQ(sql("SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'ORDERS' "
                  "AND COLUMN_NAME IN ('LABEL', 'TWICE', 'DUE') ORDER BY COLUMN_NAME"),
              "COLUMN_NAME\tDATA_TYPE\nDUE\tDATE\nLABEL\tVARCHAR2\nTWICE\tNUMBER\n");
    EXPECT_EQ(sql("SELECT COMMENTS FROM USER_COL_COMMENTS WHERE TABLE_NAME = 'ORDERS' AND "
                  "COLUMN_NAME = 'LABEL'"),
              "COMMENTS\n計算フィールド: [Name] & \"!\"\n");
}

}  // namespace
}  // namespace malvorn::jet
