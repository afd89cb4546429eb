// The reader against Jet files made by the test builder: every type, the
// properties, index shapes, Japanese names, long memos, dates and amounts
// beyond what the library's text forms carry, Nulls and long tables.
#include <gtest/gtest.h>

#include <optional>

#include "jet_builder/jet_builder.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using testing::JetBuildField;
using testing::JetBuildIndex;
using testing::JetBuildTable;
using testing::JetBuildValue;
using testing::JetVersion;
using testing::writeJetFile;

class BuiltFiles : public ::testing::TestWithParam<Way> {
  protected:
    std::unique_ptr<JetSource> build(const std::vector<JetBuildTable>& tables,
                                     JetVersion version = JetVersion::kJet4, int codePage = 932) {
        const std::string path = dir_.path() + "/built" + std::to_string(++files_) + ".mdb";
        writeJetFile(path, tables, version, codePage);
        return GetParam().open(path);
    }

  private:
    TempDir dir_;
    int files_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Ways, BuiltFiles, bothWays(), wayName);

// Every type with its size, properties and a value, then a row of Nulls:
// Yes/No has no Null (the bit is the value); an empty text is no Null.
TEST_P(BuiltFiles, EveryTypeWithItsPropertiesValueAndNullInBothVersions) {
    struct Column {
        const char* name;
        std::int16_t type;
        JetBuildValue stored;
        JetValue read;
        int size = 50;  // text: characters, not bytes
        bool allowZeroLength = false;
        const char* defaultValue = "";
    };
    const std::string ole("\x15\x1c\0p", 4);
    const char* const guid = "{6B29FC40-CA47-1067-B31D-00DD010662DA}";
    const Column columns[] = {
        {"YesNo", 1, true, true, 50, false, "=No"},
        {"Byte", 2, std::int64_t{255}, std::int64_t{255}},
        {"Int", 3, std::int64_t{-32768}, std::int64_t{-32768}},
        {"Long", 4, std::int64_t{2147483647}, std::int64_t{2147483647}, 50, false, "0"},
        {"Money", 5, std::int64_t{123456}, JetCurrency{123456}, 50, false, "100.5"},
        {"Single", 6, 0.1, 0.1f},
        {"Double", 7, 1.0 / 3.0, 1.0 / 3.0},
        {"When", 8, 36925.4375, JetDate{36925.4375}, 50, false, "Date()"},
        {"Code", 10, std::string("O'Neil"), std::string("O'Neil"), 10, false, "\"abc\""},
        {"Wide", 10, std::string(255, 'w'), std::string(255, 'w'), 255},
        {"Notes", 12, std::string("memo"), std::string("memo"), 50, true, "\"長い\""},
        {"Picture", 11, ole, JetBinary{ole}},
        {"Guid", 15, std::string(guid), JetGuid{guid}},
        {"Empty", 10, std::string(), std::string(), 50, true},
        {"EmptyMemo", 12, std::string(), std::string(), 50, true},
    };
    JetBuildTable table{"AllTypes", {}, {}, {{}, std::vector<JetBuildValue>(std::size(columns))}};
    for (const auto& c : columns) {
        table.fields.push_back({.name = c.name,
                                .type = c.type,
                                .size = c.size,
                                .allowZeroLength = c.allowZeroLength,
                                .defaultValue = c.defaultValue});
        table.rows[0].push_back(c.stored);
    }
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3}) {
        SCOPED_TRACE(version == JetVersion::kJet4 ? "Jet 4" : "Jet 3");
        const auto source = build({table}, version);
        const model::JetTableDef def = source->readTable("AllTypes");
        EXPECT_FALSE(def.firstIndex.has_value());
        auto cursor = source->openRows("AllTypes");
        ASSERT_EQ(def.fields.size(), std::size(columns));
        ASSERT_EQ(cursor->columns().size(), std::size(columns));
        JetRow row;
        ASSERT_TRUE(cursor->next(row));
        for (std::size_t i = 0; i < std::size(columns); ++i) {
            SCOPED_TRACE(columns[i].name);
            EXPECT_EQ(def.fields[i].name, columns[i].name);
            EXPECT_EQ(def.fields[i].typeCode, columns[i].type);
            EXPECT_EQ(cursor->columns()[i].typeCode, columns[i].type);
            EXPECT_EQ(def.fields[i].allowZeroLength, columns[i].allowZeroLength);
            EXPECT_EQ(def.fields[i].defaultValue, columns[i].defaultValue);
            if (columns[i].type == 10) {
                EXPECT_EQ(def.fields[i].size, columns[i].size);
            }
            EXPECT_EQ(row[i], columns[i].read);
        }
        JetRow nulls;
        ASSERT_TRUE(cursor->next(nulls));
        for (std::size_t i = 0; i < std::size(columns); ++i)
            EXPECT_EQ(nulls[i], columns[i].type == 1 ? JetValue(false) : JetValue()) << i;
        EXPECT_FALSE(cursor->next(nulls));
    }
}

// "name(key columns)", or "" for none.
std::string shape(const std::optional<model::JetIndexDef>& index) {
    std::string text;
    for (const auto& name : index ? index->fieldNames : std::vector<std::string>{})
        text += (text.empty() ? "" : ",") + name;
    return index ? index->name + "(" + text + ")" : "";
}

// The first index follows the listed order with its keys in key order; the
// key is the index marked primary wherever it is listed, else the first
// unique one, never a relationship's entry or a plain index.
TEST_P(BuiltFiles, FirstIndexByListedOrderPrimaryByMarkThenFirstUnique) {
    JetBuildIndex related{"CustomersOrders", {"B"}, false};
    related.relationship = true;
    const JetBuildIndex byB{"ByB", {"B"}, false};
    const JetBuildIndex pkA{"PrimaryKey", {"A"}, true};
    const struct {
        const char* table;
        std::vector<JetBuildIndex> indexes;
        const char* first;
        const char* primary;
    } cases[] = {
        {"KeyFirst", {{"PrimaryKey", {"B", "A"}, true}, byB}, "PrimaryKey(B,A)", "PrimaryKey(B,A)"},
        {"OtherFirst", {{"ByC", {"C", "A"}, false}, pkA}, "ByC(C,A)", "PrimaryKey(A)"},
        {"Pk", {{"pkkey", {"A", "B", "C"}, true}}, "pkkey(A,B,C)", "pkkey(A,B,C)"},
        // A relationship's entry is listed like any index.
        {"Related", {related, byB, pkA}, "CustomersOrders(B)", "PrimaryKey(A)"},
        {"RelationshipFirst", {related, byB}, "CustomersOrders(B)", ""},
        {"UniqueOnly",
         {byB, {.name = "ByC", .columns = {"C"}, .unique = true}},
         "ByB(B)",
         "ByC(C)"},
        // No key columns: no index, so the script gets no "PRIMARY KEY()".
        {"Damaged", {{"PrimaryKey", {}, true}, byB}, "", ""},
        {"NoIndex", {}, "", ""},
    };
    std::vector<JetBuildTable> tables;
    for (const auto& c : cases)
        tables.push_back({c.table,
                          {{.name = "A", .type = 4}, {.name = "B"}, {.name = "C", .type = 8}},
                          c.indexes,
                          {}});
    const auto source = build(tables);
    EXPECT_EQ(source->tableNames().size(), std::size(cases) + 1);  // and the catalog
    for (const auto& c : cases) {
        const auto def = source->readTable(c.table);
        EXPECT_EQ(shape(def.firstIndex), c.first) << c.table;
        EXPECT_EQ(shape(def.primaryIndex), c.primary) << c.table;
    }
    // Names match whole, so these are missing tables, and the source stays usable.
    for (const char* missing : {"Other", "", "Pk "}) {
        try {
            source->readTable(missing);
            ADD_FAILURE() << "read '" << missing << "'";
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), JetErrorKind::kNoSuchTable) << missing;
        }
        EXPECT_THROW(source->openRows(missing), JetError) << missing;
    }
    EXPECT_EQ(source->readTable("pk").fields.size(), 3u);  // regardless of case
}

// After a column was deleted the stored column numbers have gaps; keys name
// the columns by position, and each value still finds its null bit.
TEST_P(BuiltFiles, KeyColumnsAndValuesAfterADeletedColumn) {
    const struct {
        std::vector<std::string> keys;
    } cases[] = {{{"C"}}, {{"B"}}, {{"D", "A"}}, {{"B", "C", "D"}}};
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3}) {
        JetBuildTable base{"Gap",
                           {{.name = "A", .type = 4},
                            {.name = "B", .deletedBefore = 1},
                            {.name = "C", .type = 8},
                            {.name = "D", .type = 1, .deletedBefore = 3}},
                           {},
                           {{std::int64_t{7}, std::string("b"), 2.5, true},
                            {JetBuildValue(), JetBuildValue(), 3.5, false}}};
        std::vector<JetBuildTable> tables;
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            tables.push_back(base);
            tables.back().name += std::to_string(i);
            tables.back().indexes = {{"PrimaryKey", cases[i].keys, true}};
        }
        const auto source = build(tables, version);
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(tables[i].name);
            const auto def = source->readTable(tables[i].name);
            ASSERT_TRUE(def.firstIndex.has_value());
            EXPECT_EQ(def.firstIndex->fieldNames, cases[i].keys);
        }
        EXPECT_EQ(allRows(*source, "Gap0"),
                  (std::vector<JetRow>{{std::int64_t{7}, std::string("b"), JetDate{2.5}, true},
                                       {JetValue(), JetValue(), JetDate{3.5}, false}}));
    }
}

// Jet 4 keeps UCS-2; Jet 3 keeps the code page its header names.
TEST_P(BuiltFiles, JapaneseAndWesternNamesAndTextInEitherVersion) {
    const JetBuildTable japanese{"得意先マスタ",
                                 {{.name = "得意先ＣＯＤＥ１", .type = 4},
                                  {.name = "名前", .type = 10, .size = 40},
                                  {.name = "ｶﾅ", .type = 10, .size = 20},
                                  {.name = "備考", .type = 12}},
                                 {{"PrimaryKey", {"得意先ＣＯＤＥ１"}, true}},
                                 {{std::int64_t{1}, std::string("株式会社　髙島屋"),
                                   std::string("ﾀｶｼﾏﾔ"), std::string("①～③ ∥ 〒100-0001")}}};
    const JetBuildTable western{
        "Umsätze", {{.name = "Straße", .type = 10, .size = 20}}, {}, {{std::string("Größe €")}}};
    const struct {
        const JetBuildTable* table;
        JetVersion version;
        int codePage;
    } cases[] = {{&japanese, JetVersion::kJet4, 932},
                 {&japanese, JetVersion::kJet3, 932},
                 {&western, JetVersion::kJet4, 1252},
                 {&western, JetVersion::kJet3, 1252}};
    for (const auto& c : cases) {
        const JetBuildTable& table = *c.table;
        SCOPED_TRACE(table.name + (c.version == JetVersion::kJet4 ? " Jet 4" : " Jet 3"));
        const auto source = build({table}, c.version, c.codePage);
        const auto names = source->tableNames();
        EXPECT_NE(std::find(names.begin(), names.end(), table.name), names.end());
        const auto def = source->readTable(table.name);
        ASSERT_EQ(def.fields.size(), table.fields.size());
        for (std::size_t i = 0; i < def.fields.size(); ++i) {
            EXPECT_EQ(def.fields[i].name, table.fields[i].name);
            if (table.fields[i].type == 10) {
                EXPECT_EQ(def.fields[i].size, table.fields[i].size);
            }
        }
        EXPECT_EQ(def.firstIndex.has_value(), !table.indexes.empty());
        const auto rows = allRows(*source, table.name);
        ASSERT_EQ(rows.size(), 1u);
        for (std::size_t i = 0; i < def.fields.size(); ++i)
            EXPECT_EQ(rows[0][i],
                      std::visit([](const auto& v) { return JetValue(v); }, table.rows[0][i]));
    }
}

// A 100 KB memo, ASCII and Japanese, and pictures long and short.
TEST_P(BuiltFiles, LongMemosAndPicturesComeThroughWhole) {
    std::string ascii;
    while (ascii.size() < 100 * 1024)
        ascii += "line " + std::to_string(ascii.size()) + " of a long memo\r\n";
    std::string japanese;
    while (japanese.size() < 100 * 1024)
        japanese += "長い備考の本文です。";
    std::string picture;
    for (int i = 0; i < 60000; ++i)
        picture.push_back(static_cast<char>((i * 7) % 256));
    const std::pair<std::string, std::string> cases[] = {
        {ascii, picture}, {japanese, "tiny"}, {std::string(), std::string(1, '\0')}};
    JetBuildTable table{
        "Memos", {{.name = "Body", .type = 12}, {.name = "Picture", .type = 11}}, {}, {}};
    for (const auto& [memo, bytes] : cases)
        table.rows.push_back({memo, bytes});
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3}) {
        const auto rows = allRows(*build({table}, version), "Memos");
        ASSERT_EQ(rows.size(), std::size(cases));
        for (std::size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(rows[i], (JetRow{cases[i].first, JetBinary{cases[i].second}})) << i;
    }
}

// Dates outside 1899..4637, currency and decimals to the last digit.
TEST_P(BuiltFiles, DatesBeyondTheLibrarysRangeAndAmountsToTheLastDigit) {
    const struct {
        double serial;
        std::int64_t currency;
        const char* stored;  // decimal; nullptr: Null
        const char* read;
    } cases[] = {{-657434.0, 1, "-123.45", "-123.4500"},
                 {-36522.25, -1, "123456789012345678901234.5678", "123456789012345678901234.5678"},
                 {-1.5, 99999, nullptr, nullptr},
                 {0.0, 123456789012345678LL, "0", "0.0000"},
                 {0.999988426, std::numeric_limits<std::int64_t>::max(), "1", "1.0000"},
                 {1000001.5, std::numeric_limits<std::int64_t>::min(), "-0.0001", "-0.0001"},
                 {2958465.0, 0, "7", "7.0000"}};
    const JetBuildField amount{
        .name = "Exact", .type = jet::kJetDecimalType, .precision = 28, .scale = 4};
    JetBuildTable table{
        "Extremes", {{.name = "When", .type = 8}, {.name = "Amount", .type = 5}, amount}, {}, {}};
    for (const auto& c : cases)
        table.rows.push_back({c.serial, c.currency,
                              c.stored ? JetBuildValue(std::string(c.stored)) : JetBuildValue()});
    const auto source = build({table});
    const auto def = source->readTable("Extremes");
    EXPECT_EQ(def.fields.at(2).typeCode, jet::kJetDecimalType);
    EXPECT_EQ(def.fields[2].precision, 28);
    EXPECT_EQ(def.fields[2].scale, 4);
    EXPECT_EQ(def.fields[1].precision, 0);
    const auto rows = allRows(*source, "Extremes");
    ASSERT_EQ(rows.size(), std::size(cases));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(rows[i], (JetRow{JetDate{c.serial}, JetCurrency{c.currency},
                                   c.read ? JetValue(JetDecimal{c.read}) : JetValue()}))
            << i;
    }
}

TEST_P(BuiltFiles, ManyRowsStreamInOrder) {
    constexpr std::int64_t kRows = 20000;
    JetBuildTable table{
        "Many", {{.name = "ID", .type = 4}, {.name = "Name", .type = 10, .size = 30}}, {}, {}};
    for (std::int64_t i = 1; i <= kRows; ++i)
        table.rows.push_back({i, "行" + std::to_string(i)});
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3}) {
        const auto source = build({table}, version);
        auto cursor = source->openRows("Many");
        EXPECT_EQ(cursor->recordedRowCount(), kRows);
        JetRow row;
        std::int64_t count = 0;
        while (cursor->next(row)) {
            ++count;
            ASSERT_EQ(row[0], JetValue(count));
            ASSERT_EQ(row[1], JetValue("行" + std::to_string(count)));
        }
        EXPECT_EQ(count, kRows);
    }
}

// 120 long names and properties need several table definition pages.
TEST_P(BuiltFiles, ManyColumnsSpanSeveralDefinitionPages) {
    JetBuildTable table{"Wide", {}, {}, {{}}};
    for (int i = 0; i < 120; ++i) {
        table.fields.push_back({.name = "列名" + std::to_string(i) + std::string(40, 'x'),
                                .type = i % 2 ? 4 : 10,
                                .size = 5,
                                .defaultValue = "=" + std::to_string(i)});
        table.rows[0].push_back(i % 2 ? JetBuildValue(std::int64_t{i}) : std::to_string(i));
    }
    table.indexes = {{"ix", {table.fields[3].name, table.fields[0].name}, false}};
    const auto source = build({table});
    const auto def = source->readTable("Wide");
    ASSERT_EQ(def.fields.size(), 120u);
    EXPECT_EQ(def.fields[119].name, table.fields[119].name);
    EXPECT_EQ(def.fields[77].defaultValue, "=77");
    ASSERT_TRUE(def.firstIndex.has_value());
    EXPECT_EQ(def.firstIndex->fieldNames, table.indexes[0].columns);
    const auto rows = allRows(*source, "Wide");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][118], JetValue(std::string("118")));
    EXPECT_EQ(rows[0][119], JetValue(std::int64_t{119}));
}

}  // namespace
}  // namespace malvorn::jet
