// Front-end files whose catalogs link to tables of back-end files (.mdb and
// .accdb, built): the links read both ways, listed by `tables`, named by
// `migrate`, and migrated from the back end with --follow-links.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/files.h"
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

const JetBuildTable kCustomers{
    .name = "Customers",
    .fields = {{.name = "ID", .type = 4}, {.name = "Name", .type = 10}},
    .rows = {{Int{1}, std::string("Ada")}, {Int{2}, std::string("紫式部")}}};

// A front end in app/ whose link's stored path is the machine's that made
// it: the back end is found beside the front end.
class MigrateLinks : public CliMigration {
  protected:
    void SetUp() override {
        CliMigration::SetUp();
        std::filesystem::create_directories(dir_.path() + "/app");
        writeJetFile(backEnd(), {kCustomers}, JetVersion::kAce12);
        writeJetFileWithLinks(front_, {kLocal}, frontLinks("C:\\data\\back.accdb"),
                              JetVersion::kAce12);
    }
    std::string backEnd() const { return dir_.path() + "/app/back.accdb"; }
    std::string report(const std::string& name) const {
        return base::readFileBytes(dir_.path() + "/" + name);
    }
    const std::string front_ = dir_.path() + "/app/front.accdb";
};

TEST_F(MigrateLinks, TablesNamesLinksAndMigrateFollowsThemOnlyWhenAsked) {
    const CommandRun tables = runProgram(MALVORN_CLI, {"tables", front_});
    EXPECT_EQ(tables.status, 0) << tables.err;
    EXPECT_EQ(tables.out,
              "Local\nKunden\t(リンク: C:\\data\\back.accdb の Customers)\n"
              "Remote\t(ODBC リンク: ODBC;DSN=Sales の dbo.Orders)\n");

    const CommandRun plain = cli(
        {"migrate", front_, "--oracle-safe", "--verify", "--report", dir_.path() + "/plain.json"});
    EXPECT_EQ(plain.status, 0) << plain.out << plain.err;
    EXPECT_NE(plain.out.find("1 表中 1 表 ok、1 行"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("リンク Kunden → C:\\data\\back.accdb の Customers: 移行しません"),
              std::string::npos)
        << plain.out;
    EXPECT_NE(plain.out.find("リンク Remote → ODBC;DSN=Sales の dbo.Orders: ODBC"),
              std::string::npos)
        << plain.out;
    EXPECT_NE(report("plain.json")
                  .find("\"links\": [\n  {\"link\": \"Kunden\", \"database\": "
                        "\"C:\\\\data\\\\back.accdb\", \"foreignName\": \"Customers\", "
                        "\"status\": \"not followed\"},\n  {\"link\": \"Remote\", "
                        "\"connect\": \"ODBC;DSN=Sales\", \"foreignName\": \"dbo.Orders\", "
                        "\"status\": \"odbc\"}\n]"),
              std::string::npos)
        << report("plain.json");

    const CommandRun followed = cli({"migrate", front_, "--oracle-safe", "--verify", "--replace",
                                     "--follow-links", "--report", dir_.path() + "/followed.html"});
    EXPECT_EQ(followed.status, 0) << followed.out << followed.err;
    EXPECT_NE(followed.out.find("2 表中 2 表 ok、3 行"), std::string::npos) << followed.out;
    EXPECT_EQ(sql("SELECT ID, NAME FROM KUNDEN ORDER BY ID"), "ID\tNAME\n1\tAda\n2\t紫式部\n");
    EXPECT_NE(report("followed.html")
                  .find("<tr><td>Kunden</td><td>C:\\data\\back.accdb</td>"
                        "<td>Customers</td><td>リンク先 " +
                        backEnd() + " から読みました"),
              std::string::npos)
        << report("followed.html");

    // Without its back end a followed link fails its table, named.
    std::filesystem::remove(backEnd());
    const CommandRun lost = cli({"migrate", front_, "--oracle-safe", "--replace", "--follow-links",
                                 "--report", dir_.path() + "/lost.json"});
    EXPECT_NE(lost.status, 0) << lost.out;
    EXPECT_NE((lost.out + lost.err).find("C:\\data\\back.accdb"), std::string::npos)
        << lost.out << lost.err;
    EXPECT_NE(report("lost.json").find("\"status\": \"back end not found\""), std::string::npos)
        << report("lost.json");
}

// The scripts follow the links exactly when the live run would, and fail
// where it would fail.
TEST_F(MigrateLinks, ScriptsOnlyTreatsLinksAsTheLiveRunDoes) {
    struct Case {
        const char* what;
        bool follow;
        bool backEndThere;
        int status;
        bool linkScripted;
        const char* summary;
    };
    const Case cases[] = {
        {.what = "not followed",
         .follow = false,
         .backEndThere = true,
         .status = 0,
         .linkScripted = false,
         .summary = "リンク Kunden → C:\\data\\back.accdb の Customers: 移行しません"},
        {.what = "followed",
         .follow = true,
         .backEndThere = true,
         .status = 0,
         .linkScripted = true,
         .summary = "リンク Kunden → C:\\data\\back.accdb の Customers: リンク先 "},
        {.what = "back end gone",
         .follow = true,
         .backEndThere = false,
         .status = 1,
         .linkScripted = false,
         .summary =
             "リンク Kunden → C:\\data\\back.accdb の Customers: リンク先のファイルが見つからず"},
    };
    for (const Case& c : cases) {
        const std::string folder = dir_.path() + "/" + c.what;
        std::filesystem::create_directories(folder);
        if (!c.backEndThere)
            std::filesystem::remove(backEnd());
        std::vector<std::string> words = {"migrate",        front_,         "--oracle-safe",
                                          "--scripts-only", "--sql-folder", folder};
        if (c.follow)
            words.push_back("--follow-links");
        const CommandRun run = runProgram(MALVORN_CLI, words);
        EXPECT_EQ(run.status, c.status) << c.what << run.out << run.err;
        EXPECT_NE(run.out.find(c.summary), std::string::npos) << c.what << run.out;
        EXPECT_NE(run.out.find("リンク Remote → ODBC;DSN=Sales の dbo.Orders: ODBC"),
                  std::string::npos)
            << c.what << run.out;
        EXPECT_TRUE(std::filesystem::exists(folder + "/Local.sql")) << c.what;
        EXPECT_EQ(std::filesystem::exists(folder + "/Kunden.sql"), c.linkScripted) << c.what;
        if (c.linkScripted) {
            const std::string script = base::readFileBytes(folder + "/Kunden.sql");
            // The back end's columns under the link's name.
            EXPECT_NE(script.find("CREATE TABLE Kunden\n(ID "), std::string::npos) << script;
            EXPECT_NE(script.find(",Name "), std::string::npos) << script;
        }
    }
}

}  // namespace
}  // namespace malvorn::jet
