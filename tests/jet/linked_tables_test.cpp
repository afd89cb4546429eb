// Front-end files whose catalogs link to tables of back-end files (.mdb and
// .accdb, built): the links read both ways, listed by `tables`, named by
// `migrate`, and migrated from the back end with --follow-links.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_migration.h"
#include "jet/linked_tables.h"
#include "jet_builder/jet_builder.h"
#include "support/jet_sources.h"

namespace malvorn::jet {
namespace {

using namespace malvorn::testing;
using Int = std::int64_t;

struct Version {
    const char* name;
    JetVersion version;
    const char* extension;
};
const Version kVersions[] = {
    {.name = "mdb", .version = JetVersion::kJet4, .extension = ".mdb"},
    {.name = "accdb", .version = JetVersion::kAce12, .extension = ".accdb"}};

const JetBuildTable kLocal{
    .name = "Local", .fields = {{.name = "ID", .type = 4}}, .rows = {{Int{1}}}};

// The front end's links: a Jet table (under another name than the back
// end's), an ODBC table, and a link the catalog marks as the system's.
std::vector<JetBuildLink> frontLinks(const std::string& backEnd) {
    return {{.name = "Kunden", .database = backEnd, .foreignName = "Customers"},
            {.name = "Remote", .foreignName = "dbo.Orders", .connect = "ODBC;DSN=Sales"},
            {.name = "Hidden",
             .database = backEnd,
             .foreignName = "Customers",
             .catalogFlags = 0x80000002u}};
}

class LinkedTables : public ::testing::TestWithParam<Way> {
  protected:
    TempDir dir_;
};
INSTANTIATE_TEST_SUITE_P(Ways, LinkedTables, bothWays(), wayName);

TEST_P(LinkedTables, LinksAreReadWithWhereTheyPointNotAsTables) {
    for (const Version& v : kVersions) {
        const std::string front = dir_.path() + "/front" + v.extension;
        writeJetFileWithLinks(front, {kLocal}, frontLinks("C:\\data\\back.mdb"), v.version);
        const auto source = GetParam().open(front);
        EXPECT_EQ(source->userTableNames(), std::vector<std::string>{"Local"}) << v.name;
        const std::vector<LinkedTable> expected = {{.name = "Kunden",
                                                    .foreignName = "Customers",
                                                    .database = "C:\\data\\back.mdb",
                                                    .connect = ";DATABASE=C:\\data\\back.mdb"},
                                                   {.name = "Remote",
                                                    .foreignName = "dbo.Orders",
                                                    .connect = "ODBC;DSN=Sales",
                                                    .odbc = true}};
        EXPECT_EQ(readLinkedTables(*source), expected) << v.name;
    }
}

TEST(LinkedBackEnd, FoundAtItsPathOrBesideTheFrontEnd) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "/app");
    std::filesystem::create_directories(dir.path() + "/data");
    const std::string front = dir.path() + "/app/front.accdb";
    for (const char* file : {"/data/back.accdb", "/app/beside.accdb"})
        writeJetFile(dir.path() + file, {kLocal}, JetVersion::kAce12);
    struct Case {
        const char* what;
        std::string database;
        bool odbc;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {.what = "at its path",
         .database = dir.path() + "/data/back.accdb",
         .odbc = false,
         .expected = dir.path() + "/data/back.accdb"},
        {.what = "another machine's path",
         .database = "C:\\Users\\x\\beside.accdb",
         .odbc = false,
         .expected = dir.path() + "/app/beside.accdb"},
        {.what = "nowhere", .database = "/gone/back.accdb", .odbc = false, .expected = {}},
        {.what = "ODBC", .database = "", .odbc = true, .expected = {}},
    };
    for (const Case& c : cases) {
        const LinkedTable link{
            .name = "L", .foreignName = "Local", .database = c.database, .odbc = c.odbc};
        EXPECT_EQ(findBackEnd(link, front), c.expected) << c.what;
    }
}

class MigrateLinks : public CliMigration {};

TEST_F(MigrateLinks, TablesNamesLinksAndMigrateFollowsThemOnlyWhenAsked) {
    const JetBuildTable customers{
        .name = "Customers",
        .fields = {{.name = "ID", .type = 4}, {.name = "Name", .type = 10}},
        .rows = {{Int{1}, std::string("Ada")}, {Int{2}, std::string("紫式部")}}};
    std::filesystem::create_directories(dir_.path() + "/app");
    writeJetFile(dir_.path() + "/app/back.accdb", {customers}, JetVersion::kAce12);
    // The stored path is the machine's that made the link: the back end is
    // found beside the front end.
    const std::string front = dir_.path() + "/app/front.accdb";
    writeJetFileWithLinks(front, {kLocal}, frontLinks("C:\\data\\back.accdb"), JetVersion::kAce12);

    const CommandRun tables = runProgram(MALVORN_CLI, {"tables", front});
    EXPECT_EQ(tables.status, 0) << tables.err;
    EXPECT_EQ(tables.out,
              "Local\nKunden\t(リンク: C:\\data\\back.accdb の Customers)\n"
              "Remote\t(ODBC リンク: ODBC;DSN=Sales の dbo.Orders)\n");

    const CommandRun plain = cli({"migrate", front, "--oracle-safe", "--verify"});
    EXPECT_EQ(plain.status, 0) << plain.out << plain.err;
    EXPECT_NE(plain.out.find("1 表中 1 表 ok、1 行"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("リンク Kunden → C:\\data\\back.accdb の Customers: 移行しません"),
              std::string::npos)
        << plain.out;
    EXPECT_NE(plain.out.find("リンク Remote → ODBC;DSN=Sales の dbo.Orders: ODBC"),
              std::string::npos)
        << plain.out;

    const CommandRun followed =
        cli({"migrate", front, "--oracle-safe", "--verify", "--replace", "--follow-links"});
    EXPECT_EQ(followed.status, 0) << followed.out << followed.err;
    EXPECT_NE(followed.out.find("2 表中 2 表 ok、3 行"), std::string::npos) << followed.out;
    EXPECT_EQ(sql("SELECT ID, NAME FROM KUNDEN ORDER BY ID"), "ID\tNAME\n1\tAda\n2\t紫式部\n");

    // Without its back end a followed link fails its table, named.
    std::filesystem::remove(dir_.path() + "/app/back.accdb");
    const CommandRun lost = cli({"migrate", front, "--oracle-safe", "--replace", "--follow-links"});
    EXPECT_NE(lost.status, 0) << lost.out;
    EXPECT_NE((lost.out + lost.err).find("C:\\data\\back.accdb"), std::string::npos)
        << lost.out << lost.err;
}

}  // namespace
}  // namespace malvorn::jet
