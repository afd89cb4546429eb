// Access 2007 (ACE) files the test builder made, and the engine's own when
// they are present: the tables the user sees, the types only ACE stores
// (large numbers, extended dates, calculated fields, multi-value and
// attachment columns) read both ways and migrated under the Oracle-safe rules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "built_files.h"
#include "cli_migration.h"
#include "jet/complex_columns.h"
#include "jet/jet_decode.h"
#include "jet_builder/ace_complex.h"
#include "jet_builder/ace_types.h"
#include "jet_built_bytes.h"

namespace malvorn::jet {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using namespace malvorn::testing;
using ::testing::ElementsAreArray;
using AceFiles = BuiltFiles;

INSTANTIATE_TEST_SUITE_P(Ways, AceFiles, bothWays(), wayName);

// The user's tables are those the catalog does not flag as the engine's
// (the system-object bits, or an MSys name; the hidden bit does not count);
// the full list (the window's table box) still holds every table.
TEST_P(AceFiles, UserTablesLeaveOutSystemFlaggedOnesAndKeepHiddenOnes) {
    struct Case {
        const char* name;
        std::uint32_t flags;
        bool user;
    };
    const Case cases[] = {
        {"Orders", 0, true},
        {"Kept", 0x40000, true},  // as the engine flags a plain table
        {"Hidden", 0x8, true},    // hidden by the user: still the user's data
        {"f_63A2725FD5F0424B858BA73DA673639B_Data", 0x800A0000, false},
        {"SystemBitOnly", 0x2, false},
        {"HighBitOnly", 0x80000000, false},
        {"MSysLookalike", 0, false},
    };
    std::vector<JetBuildTable> tables;
    std::vector<std::string> all{"MSysObjects"}, user;
    for (const Case& c : cases) {
        tables.push_back({.name = c.name,
                          .fields = {{.name = "A", .type = 4}},
                          .rows = {{Int{1}}},
                          .catalogFlags = c.flags});
        all.push_back(c.name);
        if (c.user)
            user.push_back(c.name);
    }
    sortNamesIgnoringCase(all);
    sortNamesIgnoringCase(user);
    const auto source = build(tables, JetVersion::kAce12);
    EXPECT_THAT(source->userTableNames(), ElementsAreArray(user));
    EXPECT_THAT(source->tableNames(), ElementsAreArray(all));
}

// The engine's files list only the user's tables; its complex columns read
// as the built ones do, the history link left out.
TEST_P(AceFiles, TheEnginesTablesAndComplexColumnsReadAsBuiltOnes) {
    SKIP_WITHOUT_REAL_FILE("complex-v2007.accdb");
    struct Case {
        const char* file;
        std::vector<std::string> tables;
    };
    const Case cases[] = {
        {"complex-v2007.accdb", {"Table1"}},
        {"types-v2007.accdb", {"Table1", "Table2", "Table3", "Table4"}},
        {"types-v2000.mdb", {"Table1", "Table2", "Table3", "Table4"}},
    };
    for (const Case& c : cases)
        EXPECT_THAT(GetParam().open(realFile(c.file))->userTableNames(), ElementsAreArray(c.tables))
            << c.file;
    const auto source = GetParam().open(realFile("complex-v2007.accdb"));
    const auto table = source->readTable("Table1");
    std::vector<std::pair<std::string, int>> fields;
    for (const auto& field : table.fields)
        fields.emplace_back(field.name, field.typeCode);
    EXPECT_EQ(fields, (std::vector<std::pair<std::string, int>>{{"id", 10},
                                                                {"memo-data", 12},
                                                                {"append-memo-data", 12},
                                                                {"multi-value-data", 18},
                                                                {"attach-data", 18}}));
    EXPECT_EQ(table.leftOut,
              std::vector<std::string>{"VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880"});
    const auto rows = allRows(*source, "Table1");
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 5u);
        const std::string link{static_cast<char>(i + 1), 0, 0, 0};
        EXPECT_EQ(rows[i][3], JetValue(JetBinary{link})) << i;
        EXPECT_EQ(rows[i][4], JetValue(JetBinary{link})) << i;
    }
    EXPECT_EQ(rows[2][2], JetValue(std::string("row3-memo-again")));
}

// The types only ACE stores, read exactly, and Null; a multi-value or
// attachment column gives its link number's bytes. A stored Date/Time
// Extended the engine never writes is damage, named (which shapes:
// jet_decode_test).
TEST_P(AceFiles, LargeNumberAndExtendedDateReadExactly) {
    struct Case {
        Int big;
        const char* stamp;
    };
    const Case cases[] = {
        {INT64_MIN, "0001-01-01 00:00:00.0000000"},
        {INT64_MAX, "9999-12-31 23:59:59.9999999"},
        {9007199254740993, "2021-12-30 12:34:56.7891234"},
        {-1, "2000-02-29 00:00:00.0000001"},
    };
    JetBuildTable table{.name = "Ace",
                        .fields = {{.name = "Big", .type = ace::kLargeNumber},
                                   {.name = "Stamp", .type = ace::kExtendedDate},
                                   {.name = "Files", .type = ace::kComplex}}};
    std::vector<JetRow> expected;
    const JetBinary seven{std::string("\x07\0\0\0", 4)};
    for (const Case& c : cases) {
        table.rows.push_back({c.big, std::string(c.stamp), Int{7}});
        expected.push_back({c.big, JetTimestamp{c.stamp}, seven});
    }
    table.rows.push_back({{}, {}, Int{7}});
    expected.push_back({{}, {}, seven});
    const auto source = build({table}, JetVersion::kAce12);
    std::vector<int> types;
    for (const auto& field : source->readTable("Ace").fields)
        types.push_back(field.typeCode);
    EXPECT_EQ(types, (std::vector<int>{model::kJetBigInt, model::kJetDateTimeExtended,
                                       model::kJetComplex}));
    EXPECT_EQ(allRows(*source, "Ace"), expected);

    table.rows = {{Int{1}, std::string("00000000000000000x0:0000000000000000000:7 "), Int{7}}};
    const auto damaged = build({table}, JetVersion::kAce12);
    expectJetError([&] { allRows(*damaged, "Ace"); }, JetErrorKind::kDamaged, {"Stamp"});
}

// The append-only memo's link to its history is the engine's: left out of
// the definition and the rows alike, and named.
TEST_P(AceFiles, TheVersionHistoryLinkIsLeftOutAndNamed) {
    const std::string link = "VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880";
    const auto source = build({{.name = "Memos",
                                .fields = {{.name = "id", .size = 10},
                                           {.name = link, .type = ace::kComplex},
                                           {.name = "notes", .type = 12}},
                                .indexes = {{"PrimaryKey", {"notes"}, true}},
                                .rows = {{std::string("a"), Int{3}, std::string("now")}}}},
                              JetVersion::kAce12);
    const auto definition = source->readTable("Memos");
    EXPECT_EQ(definition.leftOut, std::vector<std::string>{link});
    ASSERT_TRUE(definition.primaryIndex.has_value());
    EXPECT_EQ(definition.primaryIndex->fieldNames, std::vector<std::string>{"notes"});
    const auto rows = source->openRows("Memos");
    EXPECT_EQ(rows->columns(), (std::vector<JetColumn>{{"id", 10}, {"notes", 12}}));
    JetRow row;
    ASSERT_TRUE(rows->next(row));
    EXPECT_EQ(row, (JetRow{std::string("a"), std::string("now")}));
}

// Damage that once gave a quiet wrong answer, and a catalog whose definition
// the library cannot read: each is an error.
TEST_P(AceFiles, DamageThatHidTablesOrSwappedDefinitionsIsAnError) {
    const std::string bytes =
        builtBytes({{.name = "First", .fields = {{.name = "A", .type = 4, .defaultValue = "1"}}},
                    {.name = "Second", .fields = {{.name = "B", .type = 4, .defaultValue = "2"}}}},
                   JetVersion::kAce12);
    const std::size_t page = jetPageSize(JetVersion::kAce12);
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        bool atOpen;  // else when the first table is read
    };
    const Case cases[] = {
        {"catalog definition zeroed",
         [&](std::string& b) { b.replace(2 * page, page, page, '\0'); }, true},
        {"catalog rows zeroed",
         [&](std::string& b) {
             // The catalog's rows: the first data page its definition (page 2) owns.
             for (std::size_t p = 3; p * page < b.size(); ++p) {
                 if (b[p * page] == 0x01 && b[p * page + 4] == 2) {
                     b.replace(p * page, page, page, '\0');
                     return;
                 }
             }
         },
         true},
        {"definitions swapped",
         [&](std::string& b) {
             std::swap_ranges(b.begin() + static_cast<std::ptrdiff_t>(3 * page),
                              b.begin() + static_cast<std::ptrdiff_t>(4 * page),
                              b.begin() + static_cast<std::ptrdiff_t>(4 * page));
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string damaged = bytes;
        c.damage(damaged);
        const std::string path = dir_.path() + "/damaged.accdb";
        writeWholeFile(path, damaged);
        expectJetError(
            [&] {
                const auto source = GetParam().open(path);
                EXPECT_FALSE(c.atOpen) << "opened";
                source->readTable("First");
            },
            JetErrorKind::kDamaged);
    }
}

// A password-encrypted ACE file is named as such at once; the same bytes in
// a Jet 4 header are the key the library undoes itself.
TEST_P(AceFiles, AnEncryptedFileIsNamedAsEncrypted) {
    std::string bytes =
        builtBytes({{.name = "T", .fields = {{.name = "A", .type = 4}}}}, JetVersion::kAce12);
    bytes[0x3E] ^= 0x5A;  // the page key, under the header's mask, no longer zero
    const std::string path = dir_.path() + "/locked.accdb";
    writeWholeFile(path, bytes);
    expectJetError([&] { GetParam().open(path)->tableNames(); }, JetErrorKind::kEncrypted,
                   {"暗号化"});
}

// Calculated fields (Access 2010) between plain columns, so that a result
// read from the wrong place (the head, or a neighbour) shows: read as plain
// columns of their result's type, the expression kept beside them.
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

TEST_P(AceFiles, CalculatedResultsAreReadInTheirTypeWithTheExpressionBeside) {
    const auto source = build({kOrders}, JetVersion::kAce12);
    std::vector<std::string> fields;
    for (const auto& f : source->readTable("Orders").fields)
        fields.push_back(f.name + " " + std::to_string(f.typeCode) +
                         (f.typeCode == model::kJetText ? "(" + std::to_string(f.size) + ")" : "") +
                         (f.expression ? " = " + *f.expression : ""));
    EXPECT_EQ(fields,
              (std::vector<std::string>{"ID 4", "Price 7", "Label 10(20) = [Name] & \"!\"",
                                        "Name 10(10)", "Twice 4 = [ID]*2", "Gross 7 = [Price]*1.1",
                                        "Due 8 = #2024-01-31#+[ID]"}));
    const std::vector<JetRow> expected = {{Int{1}, 2.5, std::string("紫式部!"),
                                           std::string("紫式部"), Int{2}, 2.75, JetDate{45322.5}},
                                          {Int{2}, 0.1, std::string("Ada!"), std::string("Ada"),
                                           Int{-2147483648}, 0.11000000000000001, JetDate{45323.0}},
                                          {Int{3}, {}, {}, std::string("x"), {}, {}, {}}};
    EXPECT_EQ(allRows(*source, "Orders"), expected);
    const auto schema = source->readSchema("Orders");
    ASSERT_EQ(schema.fields.size(), 7u);
    EXPECT_EQ(schema.fields[4].description, "計算フィールド: [ID]*2");
    EXPECT_EQ(schema.fields[3].description, "");
}

// A stored result whose stated length runs past it is damage, named.
TEST_P(AceFiles, ACalculatedResultLongerThanItsValueIsDamage) {
    std::string bytes =
        builtBytes({{.name = "Bad",
                     .fields = {{.name = "Text", .type = 10, .size = 10, .expression = "1"}},
                     .rows = {{std::string("ab")}}}},
                   JetVersion::kAce12);
    // The value: 16 zero bytes, its length (4), then "ab" in two bytes a
    // character (compressed it would be no shorter). Its length stated as
    // 200 instead.
    const std::string value = std::string(16, '\0') + std::string("\x04\0\0\0a\0b\0", 8);
    const std::size_t at = bytes.find(value);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes.find(value, at + 1), std::string::npos);
    bytes[at + 16] = static_cast<char>(200);
    const std::string path = dir_.path() + "/bad.accdb";
    writeWholeFile(path, bytes);
    const auto source = GetParam().open(path);
    expectJetError([&] { allRows(*source, "Bad"); }, JetErrorKind::kDamaged, {"Text"});
}

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

const std::vector<ace::JetBuildAttachment> kFiles = {
    {.link = 1, .name = "a.txt", .extension = "txt", .bytes = std::string("hello\0world", 11)},
    {.link = 2, .name = "b.bin", .extension = "bin", .bytes = pattern(9000), .compressed = false},
    {.link = 2, .name = "c", .extension = "", .bytes = pattern(70000)},
};

// Orders: three rows, a multi-value column Tags and an attachment column Files.
TEST_P(AceFiles, ComplexCatalogFlatTablesAndFilesReadBack) {
    const JetBuildTable orders{
        .name = "Orders",
        .fields = {{.name = "ID", .type = 4},
                   {.name = "Tags", .type = ace::kComplex},
                   {.name = "Files", .type = ace::kComplex}},
        .rows = {{Int{1}, Int{1}, Int{1}}, {Int{2}, Int{2}, Int{2}}, {Int{3}, Int{3}, Int{3}}}};
    const ace::JetBuildComplexColumn tags{
        .table = "Orders",
        .field = "Tags",
        .elements = {{1, std::string("red")}, {1, std::string("blue")}, {2, std::string("緑")}}};
    const auto source = build(
        ace::withComplexColumns(
            {orders},
            {tags, {.table = "Orders", .field = "Files", .attachment = true, .files = kFiles}}),
        JetVersion::kAce12);
    EXPECT_EQ(source->userTableNames(), std::vector<std::string>{"Orders"});
    const auto columns = readComplexColumns(*source);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(std::tie(columns[0].table, columns[0].field, columns[1].table, columns[1].field),
              std::tuple("Orders", "Tags", "Orders", "Files"));
    auto files = source->openFlatRows(columns[1].flatTable);
    std::vector<std::string> bytes, expected;
    for (JetRow row; files->next(row);)
        bytes.push_back(std::get<JetBinary>(row.at(2)).bytes);
    for (const auto& file : kFiles)
        expected.push_back(file.bytes);
    EXPECT_EQ(bytes, expected);
    // The plain way gives the stored form, header and all.
    const auto stored = allRows(*source, columns[1].flatTable);
    EXPECT_EQ(std::get<JetBinary>(stored.at(0).at(2)).bytes, ace::attachmentFileData(kFiles[0]));
}

// The inserts of an ACE table: values exact, and each column left behind
// named on its own line.
TEST(AceCommands, InsertsCarryTheValuesAndNameWhatTheyLeave) {
    TempDir dir;
    const std::string path = dir.path() + "/ace.accdb";
    writeJetFile(path,
                 {{.name = "Ace",
                   .fields = {{.name = "Big", .type = ace::kLargeNumber},
                              {.name = "Stamp", .type = ace::kExtendedDate},
                              {.name = "Files", .type = ace::kComplex},
                              {.name = "VersionHistory_F5F8918F0A2F4", .type = ace::kComplex}},
                   .rows = {{Int{9007199254740993}, std::string("2021-12-30 12:34:56.7891234"),
                             Int{1}, Int{2}}}}},
                 JetVersion::kAce12);
    const CommandRun inserts = runProgram(MALVORN_CLI, {"inserts", path, "Ace"});
    EXPECT_EQ(inserts.status, 0) << inserts.err;
    EXPECT_EQ(inserts.out,
              "INSERT INTO Ace (Big, Stamp, Files) VALUES (9007199254740993, "
              "TO_TIMESTAMP('2021-12-30 12:34:56.7891234','YYYY-MM-DD HH24:MI:SS.FF7'), "
              "HEXTORAW('01000000'))\n");
    EXPECT_THAT(inserts.err, HasSubstr("Files"));
    EXPECT_THAT(inserts.err, HasSubstr("VersionHistory_F5F8918F0A2F4 は長文の履歴"));
    EXPECT_EQ(std::count(inserts.err.begin(), inserts.err.end(), '\n'), 2) << inserts.err;
}

using MigrateAce = CliMigration;

// One file through the Oracle-safe migration: Date/Time Extended keeps every
// 100 ns tick as TIMESTAMP(7) (the literals and --verify's TO_CHAR(..., 'FF7')
// both go through the server's TIMESTAMP); calculated results go as values,
// their expression named. Complex columns: the engine's file below; value by
// value: transfer's and core's tests.
TEST_F(MigrateAce, ExtendedDatesAndCalculatedFieldsGoOver) {
    const JetBuildTable stamps{
        .name = "Stamps",
        .fields = {{.name = "ID", .type = 4}, {.name = "Stamp", .type = ace::kExtendedDate}},
        .rows = {{Int{1}, std::string("0001-01-01 00:00:00.0000001")},
                 {Int{2}, std::string("9999-12-31 23:59:59.9999999")},
                 {Int{3}, {}},
                 {Int{4}, std::string("2000-02-29 00:00:00.0000000")}}};
    JetBuildTable calculated = kOrders;
    calculated.name = "Calc";
    const std::string path = dir_.path() + "/ace.accdb";
    writeJetFile(path, {stamps, calculated}, JetVersion::kAce12);
    const CommandRun run = cli({"migrate", path, "--oracle-safe", "--verify"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("2 表中 2 表 ok、7 行"));
    EXPECT_THAT(run.out, HasSubstr("Calc: 列 Twice は計算フィールドです"));
    EXPECT_THAT(run.err, Not(HasSubstr("警告")));
    EXPECT_EQ(sql("SELECT ID, TO_CHAR(STAMP, 'YYYY-MM-DD HH24:MI:SS.FF7') STAMP FROM STAMPS "
                  "ORDER BY ID"),
              "ID\tSTAMP\n1\t0001-01-01 00:00:00.0000001\n2\t9999-12-31 23:59:59.9999999\n3\t\n"
              "4\t2000-02-29 00:00:00.0000000\n");
    EXPECT_EQ(sql("SELECT ID, LABEL, TWICE, TO_CHAR(GROSS) G, TO_CHAR(DUE, 'YYYY-MM-DD HH24:MI') D "
                  "FROM CALC ORDER BY ID"),
              "ID\tLABEL\tTWICE\tG\tD\n1\t紫式部!\t2\t2.75\t2024-01-31 12:00\n"
              "2\tAda!\t-2147483648\t.11000000000000001\t2024-02-01 00:00\n3\t\t\t\t\n");

    // Bound values carry whole seconds: the copy is refused, not cut.
    const CommandRun bulk = cli({"migrate", path, "--oracle-safe", "--replace", "--bulk"});
    EXPECT_NE(bulk.status, 0) << bulk.out;
    EXPECT_THAT(bulk.out + bulk.err, HasSubstr("--bulk を付けずに"));
}

// Table1's 4 rows, 6 multi-value elements and 3 attachments: the parent's
// links each a unique key, each child's a foreign key to it, the files' bytes
// exact.
TEST_F(MigrateAce, EngineWrittenComplexFileGoesOverWhole) {
    SKIP_WITHOUT_REAL_FILE("complex-v2007.accdb");
    const CommandRun run =
        cli({"migrate", realFile("complex-v2007.accdb"), "--oracle-safe", "--verify"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("3 表中 3 表 ok、13 行"));
    EXPECT_EQ(sql("SELECT CONSTRAINT_TYPE, COUNT(*) FROM USER_CONSTRAINTS WHERE CONSTRAINT_TYPE "
                  "IN ('U', 'R') GROUP BY CONSTRAINT_TYPE ORDER BY CONSTRAINT_TYPE"),
              "CONSTRAINT_TYPE\tCOUNT(*)\nR\t2\nU\t2\n");
    EXPECT_EQ(sql("SELECT FILE_NAME, FILE_DATA FROM \"Table1_attach-data\" "
                  "WHERE \"attach-data\" = 4"),
              "FILE_NAME\tFILE_DATA\ntest_data2.txt\t"
              "7468697320697320736F6D65206D6F72652074657374206461746120666F72206174746163686D656E"
              "742E\n");
}

}  // namespace
}  // namespace malvorn::jet
