// The reader against Jet 3 and Jet 4 files the test builder made: types,
// keys, text (characters past U+FFFF among it), long values, and the schema
// facts (AutoNumber, the field properties, relationships) read as the
// engine's own are.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "built_files.h"
#include "jet_builder/jet_relations.h"
#include "jet_built_bytes.h"

namespace malvorn::jet {
namespace {

using namespace malvorn::testing;
using ::testing::HasSubstr;
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
    struct Column {
        JetBuildField field;  // text sizes in characters, not bytes
        JetBuildValue stored;
        JetValue read;
    };
    const Column columns[] = {
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
    for (const Column& c : columns) {
        table.fields.push_back(c.field);
        table.rows[0].push_back(c.stored);
        values.push_back(c.read);
        nulls.push_back(c.field.type == 1 ? JetValue(false) : JetValue());
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
    struct Case {
        const char* table;
        std::vector<JetBuildIndex> indexes;
        std::string first;
        std::string primary;
    };
    const Case cases[] = {
        {"OtherFirst", {{"ByC", {"C", "A"}, false}, pkA}, "ByC(C,A)", "PrimaryKey(A)"},
        // A relationship's entry is listed like any index.
        {"Related", {related, byB, pkA}, "CustomersOrders(B)", "PrimaryKey(A)"},
        {"UniqueOnly",
         {byB, {.name = "ByC", .columns = {"C"}, .unique = true}},
         "ByB(B)",
         "ByC(C)"},
    };
    std::vector<JetBuildTable> tables;
    for (const Case& c : cases)
        tables.push_back({c.table,
                          {{.name = "A", .type = 4}, {.name = "B"}, {.name = "C", .type = 8}},
                          c.indexes});
    const auto source = build(tables);
    for (const Case& c : cases) {
        const auto def = source->readTable(c.table);
        EXPECT_EQ(shape(def.firstIndex), c.first) << c.table;
        EXPECT_EQ(shape(def.primaryIndex), c.primary) << c.table;
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
    struct Case {
        double serial;
        std::int64_t currency;
        const char* stored;  // the decimal
        const char* read;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        table.rows.push_back({c.serial, c.currency, std::string(c.stored)});
        expected.push_back({JetDate{c.serial}, JetCurrency{c.currency}, JetDecimal{c.read}});
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

// Characters past U+FFFF, which Jet 4 and ACE store as surrogate pairs: read
// back as written (kanji of JIS X 0213 in names, emoji in notes), and a half
// pair on its own refused with its row and column rather than carried as '?'.
const std::string kWide[] = {
    "\xF0\xA0\xAE\xB7\xE9\x87\x8E\xE5\xAE\xB6",   // 𠮷野家: a pair, then two of the plane
    "abc\xF0\x9F\x98\x80",                        // ASCII, then 😀 (whose 00 byte keeps it plain)
    "abcdefgh\xF0\xA0\xAE\xB7",                   // compressed: the pair in a run of two bytes
    "\xF0\xA9\xB8\xBD",                           // 𩸽 alone
    "\xF4\x8F\xBF\xBF",                           // U+10FFFF, the last there is
    "\xF0\x90\x80\x80" + std::string(3000, 'm'),  // U+10000 leading a memo on pages of its own
};

TEST_P(BuiltFiles, PairsComeBackAsTheCharactersWritten) {
    JetBuildTable table{
        "Wide", {{.name = "Name", .size = 20}, {.name = "Note", .type = 12}}, {}, {}};
    for (const std::string& text : kWide)
        table.rows.push_back({text.size() < 40 ? text : std::string("x"), text});
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kAce12}) {
        const std::vector<JetRow> rows = allRows(*build({table}, version), "Wide");
        ASSERT_EQ(rows.size(), std::size(kWide));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i][1], JetValue(kWide[i])) << "row " << i;
            if (kWide[i].size() < 40) {
                EXPECT_EQ(rows[i][0], JetValue(kWide[i])) << "row " << i;
            }
        }
    }
}

// Which halves alone are refused: stored_text_test.
TEST_P(BuiltFiles, AHalfPairAloneIsRefusedWithItsRowAndColumn) {
    JetBuildTable table{
        "Half", {{.name = "Note", .unicodeCompression = false}}, {}, {{std::string("ok")}}};
    table.rows.push_back({std::string("ab\xF0\x9F\x98\x80")});
    std::string bytes = builtBytes({table});
    // 😀 is D83D DE00, stored little-endian: its high half then a letter.
    const std::size_t at = bytes.find("\x3D\xD8\x00\xDE"s);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 4, "\x3D\xD8x\0"s);
    const std::string path = dir_.path() + "/half.mdb";
    writeWholeFile(path, bytes);
    expectJetError([&] { allRows(*GetParam().open(path), "Half"); }, JetErrorKind::kDamaged,
                   {"テーブル Half の行 2、列 Note、対になっていないサロゲート"});
}

}  // namespace
}  // namespace malvorn::jet
