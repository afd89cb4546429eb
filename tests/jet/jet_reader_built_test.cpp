// The reader against Jet 3 and Jet 4 files the test builder made: types,
// keys, text, long values, and the schema facts (AutoNumber, the field
// properties, relationships) read as the engine's own are.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "built_files.h"
#include "jet_builder/jet_relations.h"

namespace malvorn::jet {
namespace {

using namespace malvorn::testing;
using namespace std::string_literals;

constexpr JetVersion kVersions[] = {JetVersion::kJet4, JetVersion::kJet3};

INSTANTIATE_TEST_SUITE_P(Ways, BuiltFiles, bothWays(), wayName);

struct TypeOf {
    int operator()(const JetBuildField& f) const { return f.type; }
    int operator()(const model::JetFieldDef& f) const { return f.typeCode; }
};

// Name, type, text size (text only), zero-length allowed, default: as stored and as read.
using FieldView = std::tuple<std::string, int, int, bool, std::string>;
template <typename Field>
std::vector<FieldView> view(const std::vector<Field>& fields) {
    std::vector<FieldView> out;
    for (const auto& f : fields)
        out.emplace_back(f.name, TypeOf{}(f), TypeOf{}(f) == 10 ? f.size : 0, f.allowZeroLength,
                         f.defaultValue);
    return out;
}

// "name(key columns)", or "" for none.
std::string shape(const std::optional<model::JetIndexDef>& index) {
    std::string text;
    for (const auto& name : index ? index->fieldNames : std::vector<std::string>{})
        text += (text.empty() ? "" : ",") + name;
    return index ? index->name + "(" + text + ")" : "";
}

// Every type with its size, properties and a value, then a row of Nulls:
// Yes/No has no Null (the bit is the value); an empty text is no Null.
// Japanese names and text: Jet 4 keeps UCS-2, Jet 3 the code page its
// header names (932 here).
TEST_P(BuiltFiles, EveryTypeWithItsPropertiesValueAndNullInBothVersions) {
    const std::string ole("\x15\x1c\0p", 4);
    const char* const guid = "{6B29FC40-CA47-1067-B31D-00DD010662DA}";
    // Field (text sizes in characters, not bytes), value stored, value read.
    const std::tuple<JetBuildField, JetBuildValue, JetValue> columns[] = {
        {{.name = "YesNo", .type = 1, .defaultValue = "=No"}, true, true},
        {{.name = "Byte", .type = 2}, Int{255}, Int{255}},
        {{.name = "Int", .type = 3}, Int{-32768}, Int{-32768}},
        {{.name = "得意先ＣＯＤＥ１", .type = 4, .defaultValue = "0"},
         Int{2147483647},
         Int{2147483647}},
        {{.name = "Money", .type = 5, .defaultValue = "100.5"}, Int{123456}, JetCurrency{123456}},
        {{.name = "Single", .type = 6}, 0.1, 0.1f},
        {{.name = "Double", .type = 7}, 1.0 / 3.0, 1.0 / 3.0},
        {{.name = "When", .type = 8, .defaultValue = "Date()"}, 36925.4375, JetDate{36925.4375}},
        {{.name = "Code", .size = 10, .defaultValue = "\"abc\""}, "O'Neil"s, "O'Neil"s},
        {{.name = "名前", .size = 40}, "株式会社　髙島屋"s, "株式会社　髙島屋"s},
        {{.name = "ｶﾅ", .size = 20}, "ﾀｶｼﾏﾔ"s, "ﾀｶｼﾏﾔ"s},
        {{.name = "備考", .type = 12, .allowZeroLength = 1, .defaultValue = "\"長\""},
         "①～③ ∥ 〒100-0001"s,
         "①～③ ∥ 〒100-0001"s},
        {{.name = "Picture", .type = 11}, ole, JetBinary{ole}},
        {{.name = "Guid", .type = 15}, std::string(guid), JetGuid{guid}},
        {{.name = "Empty", .allowZeroLength = true}, ""s, ""s},
    };
    JetBuildTable table{"得意先マスタ",
                        {},
                        {{"PrimaryKey", {"得意先ＣＯＤＥ１"}, true}},
                        {{}, std::vector<JetBuildValue>(std::size(columns))}};
    JetRow values, nulls;
    for (const auto& [field, stored, read] : columns) {
        table.fields.push_back(field);
        table.rows[0].push_back(stored);
        values.push_back(read);
        nulls.push_back(field.type == 1 ? JetValue(false) : JetValue());
    }
    for (const JetVersion version : kVersions) {
        SCOPED_TRACE(version == JetVersion::kJet4 ? "Jet 4" : "Jet 3");
        const auto source = build({table}, version);
        EXPECT_EQ(source->tableNames(), (std::vector<std::string>{"MSysObjects", table.name}));
        const model::JetTableDef def = source->readTable(table.name);
        EXPECT_EQ(view(def.fields), view(table.fields));
        EXPECT_EQ(shape(def.firstIndex), "PrimaryKey(得意先ＣＯＤＥ１)");
        EXPECT_EQ(allRows(*source, table.name), (std::vector<JetRow>{values, nulls}));
    }
}

// The first index follows the listed order with its keys in key order; the
// key is the index marked primary wherever it is listed, else the first
// unique one, never a relationship's entry or a plain index.
TEST_P(BuiltFiles, FirstIndexByListedOrderPrimaryByMarkThenFirstUnique) {
    const JetBuildIndex related{.name = "CustomersOrders", .columns = {"B"}, .relationship = true};
    const JetBuildIndex byB{"ByB", {"B"}, false};
    const JetBuildIndex pkA{"PrimaryKey", {"A"}, true};
    const std::tuple<const char*, std::vector<JetBuildIndex>, std::string, std::string> cases[] = {
        {"OtherFirst", {{"ByC", {"C", "A"}, false}, pkA}, "ByC(C,A)", "PrimaryKey(A)"},
        // A relationship's entry is listed like any index.
        {"Related", {related, byB, pkA}, "CustomersOrders(B)", "PrimaryKey(A)"},
        {"UniqueOnly",
         {byB, {.name = "ByC", .columns = {"C"}, .unique = true}},
         "ByB(B)",
         "ByC(C)"},
    };
    std::vector<JetBuildTable> tables;
    for (const auto& [name, indexes, first, primary] : cases)
        tables.push_back(
            {name, {{.name = "A", .type = 4}, {.name = "B"}, {.name = "C", .type = 8}}, indexes});
    const auto source = build(tables);
    for (const auto& [name, indexes, first, primary] : cases) {
        const auto def = source->readTable(name);
        EXPECT_EQ(std::pair(shape(def.firstIndex), shape(def.primaryIndex)),
                  std::pair(first, primary))
            << name;
    }
    // Names match whole, without letter case.
    EXPECT_THAT([&] { source->readTable("Related "); },
                ::testing::Throws<JetError>(
                    ::testing::Property(&JetError::kind, JetErrorKind::kNoSuchTable)));
    EXPECT_EQ(source->readTable("related").fields.size(), 3u);
}

// After a column was deleted the stored column numbers have gaps; keys name
// the columns by position, and each value still finds its null bit.
TEST_P(BuiltFiles, KeyColumnsAndValuesAfterADeletedColumn) {
    const JetBuildTable table{
        "Gap",
        {{.name = "A", .type = 4},
         {.name = "B", .deletedBefore = 1},
         {.name = "C", .type = 8},
         {.name = "D", .type = 1, .deletedBefore = 3}},
        {{"PrimaryKey", {"D", "A"}, true}},
        {{Int{7}, "b"s, 2.5, true}, {JetBuildValue(), JetBuildValue(), 3.5, false}}};
    for (const JetVersion version : kVersions) {
        const auto source = build({table}, version);
        EXPECT_EQ(shape(source->readTable("Gap").firstIndex), "PrimaryKey(D,A)");
        EXPECT_EQ(allRows(*source, "Gap"),
                  (std::vector<JetRow>{{Int{7}, "b"s, JetDate{2.5}, true},
                                       {JetValue(), JetValue(), JetDate{3.5}, false}}));
    }
}

// A 100 KB memo, ASCII and Japanese, pictures long and short, then many rows in order.
TEST_P(BuiltFiles, LongMemosAndPicturesAndManyRowsComeThroughWhole) {
    std::string ascii, japanese, picture;
    while (ascii.size() < 100 * 1024)
        ascii += "line " + std::to_string(ascii.size()) + " of a long memo\r\n";
    while (japanese.size() < 100 * 1024)
        japanese += "長い備考の本文です。";
    for (int i = 0; i < 60000; ++i)
        picture.push_back(static_cast<char>((i * 7) % 256));
    JetBuildTable table{
        "Memos", {{.name = "Body", .type = 12}, {.name = "Picture", .type = 11}}, {}, {}};
    std::vector<JetRow> expected;
    const auto add = [&](const std::string& memo, const std::string& bytes) {
        table.rows.push_back({memo, bytes});
        expected.push_back({memo, JetBinary{bytes}});
    };
    add(ascii, picture), add(japanese, "tiny"), add("", std::string(1, '\0'));
    for (int i = 1; i <= 20000; ++i)
        add("行" + std::to_string(i), std::to_string(i));
    for (const JetVersion version : kVersions) {
        const auto source = build({table}, version);
        EXPECT_EQ(source->openRows("Memos")->recordedRowCount(), Int{20003});
        EXPECT_EQ(allRows(*source, "Memos"), expected);
    }
}

// Dates outside 1899..4637, currency and decimals to the last digit.
TEST_P(BuiltFiles, DatesBeyondTheLibrarysRangeAndAmountsToTheLastDigit) {
    const std::tuple<double, std::int64_t, const char*, const char*> cases[] = {
        {-657434.0, 1, "-123.45", "-123.4500"},
        {-36522.25, -1, "123456789012345678901234.5678", "123456789012345678901234.5678"},
        {0.999988426, std::numeric_limits<std::int64_t>::max(), "1", "1.0000"},
        {1000001.5, std::numeric_limits<std::int64_t>::min(), "-0.0001", "-0.0001"},
        {2958465.0, 0, "7", "7.0000"}};
    const JetBuildField amount{
        .name = "Exact", .type = jet::kJetDecimalType, .precision = 28, .scale = 4};
    JetBuildTable table{
        "Extremes", {{.name = "When", .type = 8}, {.name = "Amount", .type = 5}, amount}, {}, {}};
    std::vector<JetRow> expected;
    for (const auto& [serial, currency, stored, read] : cases) {
        table.rows.push_back({serial, currency, std::string(stored)});
        expected.push_back({JetDate{serial}, JetCurrency{currency}, JetDecimal{read}});
    }
    const auto source = build({table});
    const auto fields = source->readTable("Extremes").fields;
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(std::make_tuple(fields[2].typeCode, fields[2].precision, fields[2].scale,
                              fields[1].precision),
              std::make_tuple(jet::kJetDecimalType, 28, 4, 0));
    EXPECT_EQ(allRows(*source, "Extremes"), expected);
}

// Orders (an AutoNumber key, the field properties, a key to itself), Lines
// (a key of two columns, an index sorted descending) and Notes.
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
                         {{Int{1}, "Ada", "", Int{1}}}};
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

// Several columns in the order given (not the fields'), the cascade and
// enforcement bits, a table referring to itself.
const std::vector<JetBuildRelationship> kRelationships = {
    {"OrdersLines",
     "Lines",
     {"Nr"},
     "Orders",
     {"Nr"},
     model::kRelationCascadeDeletes | model::kRelationCascadeUpdates},
    {"LinesNotes", "Notes", {"Pos", "Nr"}, "Lines", {"Pos", "Nr"}, model::kRelationNotEnforced},
    {"OrdersOrders", "Orders", {"Boss"}, "Orders", {"Nr"}, 0},
};

TEST_P(BuiltFiles, SchemaFactsAndRelationshipsReadBackInBothVersions) {
    for (const JetVersion version : kVersions) {
        const auto source = build(withRelationships(orderTables(), kRelationships), version);
        std::vector<std::string> fields, indexes;
        for (const auto& f : source->readSchema("Orders").fields)
            fields.push_back(f.name + (f.autoIncrement ? " auto" : "") +
                             (f.required ? " required" : "") + " [" + f.description + "|" +
                             f.validationRule + "|" + f.validationText + "]");
        // A plain Long Integer is no AutoNumber.
        EXPECT_EQ(fields, (std::vector<std::string>{
                              "Nr auto [||]", "Kunde required [||]",
                              "Note [Bemerkung & Hinweis|Len([Note])<9|zu lang]", "Boss [||]"}));
        const auto lines = source->readSchema("Lines");
        for (const auto& index : lines.indexes)
            indexes.push_back(indexText(index));
        EXPECT_THAT(indexes, ::testing::Contains("Most(Nr, Menge desc)"));
        // The referenced table lists the relationship too.
        EXPECT_EQ(lines.relationships.size(), 2u);
        for (const JetBuildRelationship& r : kRelationships) {
            const auto all = source->readSchema(r.table).relationships;
            const auto found = std::find_if(all.begin(), all.end(),
                                            [&](const auto& s) { return s.name == r.name; });
            ASSERT_NE(found, all.end()) << r.name;
            EXPECT_EQ(
                std::tie(found->table, found->columns, found->referencedTable,
                         found->referencedColumns, found->attributes),
                std::tie(r.table, r.columns, r.referencedTable, r.referencedColumns, r.attributes))
                << r.name;
        }
        // The catalog is the engine's, not a table of the user's.
        EXPECT_THAT(source->userTableNames(),
                    ::testing::Not(::testing::Contains("MSysRelationships")));
    }
}

// The built catalog has the columns, types and order of the engine's.
TEST_P(BuiltFiles, TheRelationshipCatalogIsLaidOutAsTheEnginesIs) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    const auto real = GetParam().open(realFile("nwind.mdb"))->readTable("MSysRelationships");
    const auto built = build(withRelationships(orderTables(), kRelationships), JetVersion::kJet3)
                           ->readTable("MSysRelationships");
    ASSERT_EQ(built.fields.size(), real.fields.size());
    for (std::size_t i = 0; i < real.fields.size(); ++i)
        EXPECT_EQ(std::tie(built.fields[i].name, built.fields[i].typeCode),
                  std::tie(real.fields[i].name, real.fields[i].typeCode));
}

// The builder refuses what it cannot write as the engine would.
TEST(Builder, RefusesKeysAndRelationshipsThatDoNotPairUp) {
    EXPECT_THROW(buildJetFile({{"T",
                                {{.name = "A", .type = 4}},
                                {{.name = "X", .columns = {"A"}, .descending = {"B"}}},
                                {}}}),
                 std::runtime_error);
    EXPECT_THROW(
        withRelationships({}, {{.name = "R", .columns = {"A", "B"}, .referencedColumns = {"A"}}}),
        std::runtime_error);
    EXPECT_THROW(withRelationships({}, {{.name = "R"}}), std::runtime_error);
}

}  // namespace
}  // namespace malvorn::jet
