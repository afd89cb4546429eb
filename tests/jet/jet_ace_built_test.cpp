// The reader against Access 2007 (ACE) files the test builder made, and
// against the engine's own when they are present.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "jet/jet_decode.h"
#include "jet_builder/ace_types.h"
#include "jet_builder/jet_builder.h"
#include "support/command.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using namespace malvorn::testing;
using ::testing::ElementsAreArray;
using Int = std::int64_t;

class AceFiles : public ::testing::TestWithParam<Way> {
  protected:
    std::unique_ptr<JetSource> build(const std::vector<JetBuildTable>& tables) {
        const std::string path = dir_.path() + "/built" + std::to_string(++files_) + ".accdb";
        writeJetFile(path, tables, JetVersion::kAce12);
        return GetParam().open(path);
    }
    TempDir dir_;
    int files_ = 0;
};

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
    const auto source = build(tables);
    EXPECT_THAT(source->userTableNames(), ElementsAreArray(user));
    EXPECT_THAT(source->tableNames(), ElementsAreArray(all));
}

TEST_P(AceFiles, EngineWrittenFilesListOnlyTheUsersTables) {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_THAT(GetParam().open(realFile(c.file))->userTableNames(),
                    ElementsAreArray(c.tables));
    }
}

// What the builder writes is what the engine wrote: the header's name,
// version and masked (zero) page key; and the engine's complex columns read
// as the built ones do, the history link left out.
TEST_P(AceFiles, BuiltShapesMatchTheEnginesFile) {
    SKIP_WITHOUT_REAL_FILE("complex-v2007.accdb");
    const std::string real = realFile("complex-v2007.accdb");
    const std::string engine = readWholeFile(real);
    const auto builtBytes =
        buildJetFile({{.name = "T", .fields = {{.name = "A", .type = 4}}}}, JetVersion::kAce12);
    const std::string built(builtBytes.begin(), builtBytes.end());
    EXPECT_EQ(built.substr(0, 0x18), engine.substr(0, 0x18));
    EXPECT_EQ(built.substr(0x3E, 4), engine.substr(0x3E, 4));

    const auto source = GetParam().open(real);
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
// attachment column gives its link number's bytes.
TEST_P(AceFiles, LargeNumberAndExtendedDateReadExactly) {
    struct Case {
        JetBuildValue stored;
        JetValue big;
        JetBuildValue storedStamp;
        JetValue stamp;
    };
    const Case cases[] = {
        {Int{INT64_MIN}, Int{INT64_MIN}, std::string("0001-01-01 00:00:00.0000000"),
         JetTimestamp{"0001-01-01 00:00:00.0000000"}},
        {Int{INT64_MAX}, Int{INT64_MAX}, std::string("9999-12-31 23:59:59.9999999"),
         JetTimestamp{"9999-12-31 23:59:59.9999999"}},
        {Int{9007199254740993}, Int{9007199254740993}, std::string("2021-12-30 12:34:56.7891234"),
         JetTimestamp{"2021-12-30 12:34:56.7891234"}},
        {Int{-1}, Int{-1}, std::string("2000-02-29 00:00:00.0000001"),
         JetTimestamp{"2000-02-29 00:00:00.0000001"}},
        {{}, {}, {}, {}},
    };
    JetBuildTable table{.name = "Ace",
                        .fields = {{.name = "Big", .type = ace::kLargeNumber},
                                   {.name = "Stamp", .type = ace::kExtendedDate},
                                   {.name = "Files", .type = ace::kComplex}}};
    std::vector<JetRow> expected;
    for (const Case& c : cases) {
        table.rows.push_back({c.stored, c.storedStamp, Int{7}});
        expected.push_back({c.big, c.stamp, JetBinary{std::string("\x07\0\0\0", 4)}});
    }
    const auto source = build({table});
    const auto definition = source->readTable("Ace");
    ASSERT_EQ(definition.fields.size(), 3u);
    EXPECT_EQ(definition.fields[0].typeCode, model::kJetBigInt);
    EXPECT_EQ(definition.fields[1].typeCode, model::kJetDateTimeExtended);
    EXPECT_EQ(definition.fields[2].typeCode, model::kJetComplex);
    EXPECT_EQ(allRows(*source, "Ace"), expected);
}

// A stored Date/Time Extended the engine never writes is damage, named.
TEST_P(AceFiles, AnExtendedDateOutOfShapeIsDamage) {
    const char* const stored[] = {
        "0000000000003652059:0000000000000000000:7 ",  // the day after 9999-12-31
        "0000000000000000000:0000000864000000000:7 ",  // a whole day of ticks
        "00000000000000000x0:0000000000000000000:7 ",
    };
    for (const char* value : stored) {
        SCOPED_TRACE(value);
        const auto source = build({{.name = "Ace",
                                    .fields = {{.name = "Stamp", .type = ace::kExtendedDate}},
                                    .rows = {{std::string(value)}}}});
        try {
            allRows(*source, "Ace");
            ADD_FAILURE() << "no error";
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), JetErrorKind::kDamaged);
            EXPECT_NE(std::string(e.what()).find("Stamp"), std::string::npos) << e.what();
        }
    }
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
                                .rows = {{std::string("a"), Int{3}, std::string("now")}}}});
    const auto definition = source->readTable("Memos");
    ASSERT_EQ(definition.fields.size(), 2u);
    EXPECT_EQ(definition.fields[1].name, "notes");
    EXPECT_EQ(definition.leftOut, std::vector<std::string>{link});
    ASSERT_TRUE(definition.primaryIndex.has_value());
    EXPECT_EQ(definition.primaryIndex->fieldNames, std::vector<std::string>{"notes"});
    const auto rows = source->openRows("Memos");
    EXPECT_EQ(rows->columns(), (std::vector<JetColumn>{{"id", 10}, {"notes", 12}}));
    JetRow row;
    ASSERT_TRUE(rows->next(row));
    EXPECT_EQ(row, (JetRow{std::string("a"), std::string("now")}));
}

// Damage that once gave a quiet wrong answer: each is an error now.
TEST_P(AceFiles, DamageThatHidTablesOrSwappedDefinitionsIsAnError) {
    const std::vector<JetBuildTable> tables{
        {.name = "First", .fields = {{.name = "A", .type = 4, .defaultValue = "1"}}},
        {.name = "Second", .fields = {{.name = "B", .type = 4, .defaultValue = "2"}}}};
    const auto bytes = buildJetFile(tables, JetVersion::kAce12);
    const std::size_t page = jetPageSize(JetVersion::kAce12);
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        bool atOpen;  // else when the first table is read
    };
    const Case cases[] = {
        {"catalog rows zeroed",
         [&](auto& b) {
             // The catalog's rows: the first data page its definition (page 2) owns.
             for (std::size_t p = 3; p * page < b.size(); ++p) {
                 if (b[p * page] == 0x01 && b[p * page + 4] == 2) {
                     std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(p * page), page, 0);
                     return;
                 }
             }
         },
         true},
        {"definitions swapped",
         [&](auto& b) {
             std::swap_ranges(b.begin() + static_cast<std::ptrdiff_t>(3 * page),
                              b.begin() + static_cast<std::ptrdiff_t>(4 * page),
                              b.begin() + static_cast<std::ptrdiff_t>(4 * page));
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto damaged = bytes;
        c.damage(damaged);
        const std::string path = dir_.path() + "/damaged.accdb";
        writeWholeFile(path, std::string(damaged.begin(), damaged.end()));
        try {
            const auto source = GetParam().open(path);
            EXPECT_FALSE(c.atOpen) << "opened";
            source->readTable("First");
            ADD_FAILURE() << "no error";
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), JetErrorKind::kDamaged) << e.what();
        }
    }
}

// A password-encrypted ACE file is named as such at once; the same bytes in
// a Jet 4 header are the key the library undoes itself.
TEST_P(AceFiles, AnEncryptedFileIsNamedAsEncrypted) {
    auto bytes =
        buildJetFile({{.name = "T", .fields = {{.name = "A", .type = 4}}}}, JetVersion::kAce12);
    bytes[0x3E] ^= 0x5A;  // the page key, under the header's mask, no longer zero
    const std::string path = dir_.path() + "/locked.accdb";
    writeWholeFile(path, std::string(bytes.begin(), bytes.end()));
    try {
        GetParam().open(path)->tableNames();
        ADD_FAILURE() << "no error";
    } catch (const JetError& e) {
        EXPECT_EQ(e.kind(), JetErrorKind::kEncrypted);
        EXPECT_NE(std::string(e.what()).find("暗号化"), std::string::npos) << e.what();
    }
}

// The command line on an ACE file: only the user's tables; values exact;
// the window's script marks as before; a column left behind is named.
TEST(AceCommands, TablesInsertsAndScriptSayWhatTheyCarry) {
    TempDir dir;
    const std::string path = dir.path() + "/ace.accdb";
    writeJetFile(path,
                 {{.name = "Ace",
                   .fields = {{.name = "Big", .type = ace::kLargeNumber},
                              {.name = "Stamp", .type = ace::kExtendedDate},
                              {.name = "Files", .type = ace::kComplex},
                              {.name = "VersionHistory_F5F8918F0A2F4", .type = ace::kComplex}},
                   .rows = {{Int{9007199254740993}, std::string("2021-12-30 12:34:56.7891234"),
                             Int{1}, Int{2}}}},
                  {.name = "f_3B07F994AD0A4B56A3A1E13B3A1D3B70_attach-data",
                   .fields = {{.name = "A", .type = 4}},
                   .catalogFlags = 0x800A0000}},
                 JetVersion::kAce12);
    const CommandRun tables = runProgram(MALVORN_CLI, {"tables", path});
    EXPECT_EQ(tables.status, 0);
    EXPECT_EQ(tables.out, "Ace\n");

    const CommandRun inserts = runProgram(MALVORN_CLI, {"inserts", path, "Ace"});
    EXPECT_EQ(inserts.status, 0) << inserts.err;
    EXPECT_EQ(inserts.out,
              "INSERT INTO Ace (Big, Stamp, Files) VALUES (9007199254740993, "
              "TO_TIMESTAMP('2021-12-30 12:34:56.7891234','YYYY-MM-DD HH24:MI:SS.FF7'), "
              "HEXTORAW('01000000'))\n");
    EXPECT_NE(inserts.err.find("Files"), std::string::npos) << inserts.err;
    EXPECT_NE(inserts.err.find("VersionHistory_F5F8918F0A2F4 は長文の履歴"), std::string::npos)
        << inserts.err;
    EXPECT_EQ(std::count(inserts.err.begin(), inserts.err.end(), '\n'), 2) << inserts.err;

    const CommandRun script = runProgram(MALVORN_CLI, {"script", path, "Ace"});
    EXPECT_EQ(script.status, 0) << script.err;
    for (const char* mark : {"ERROR TYPE=19", "ERROR TYPE=26", "ERROR TYPE=18"})
        EXPECT_NE(script.out.find(mark), std::string::npos) << mark;
}

}  // namespace
}  // namespace malvorn::jet
