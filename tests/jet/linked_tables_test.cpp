// Front-end files whose catalogs link to tables of back-end files (.mdb and
// .accdb, built): the links read both ways, listed by `tables`, named by
// `migrate`, and migrated from the back end with --follow-links.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/files.h"
#include "built_files.h"
#include "cli_migration.h"
#include "jet/linked_tables.h"

namespace malvorn::jet {
namespace {

using ::testing::HasSubstr;

using namespace malvorn::testing;

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

using LinkedTables = BuiltFiles;
INSTANTIATE_TEST_SUITE_P(Ways, LinkedTables, bothWays(), wayName);

// A Jet 4 front end here; an ACE one through the commands below.
TEST_P(LinkedTables, LinksAreReadWithWhereTheyPointNotAsTables) {
    const std::string front = dir_.path() + "/front.mdb";
    writeJetFileWithLinks(front, {kLocal}, frontLinks("C:\\data\\back.mdb"), JetVersion::kJet4);
    const auto source = GetParam().open(front);
    EXPECT_EQ(source->userTableNames(), std::vector<std::string>{"Local"});
    const std::vector<LinkedTable> expected = {
        {"Kunden", "Customers", "C:\\data\\back.mdb", ";DATABASE=C:\\data\\back.mdb", false},
        {"Remote", "dbo.Orders", "", "ODBC;DSN=Sales", true}};
    EXPECT_EQ(readLinkedTables(*source), expected);
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
        {"at its path", dir.path() + "/data/back.accdb", false, dir.path() + "/data/back.accdb"},
        {"another machine's path", "C:\\Users\\x\\beside.accdb", false,
         dir.path() + "/app/beside.accdb"},
        {"nowhere", "/gone/back.accdb", false, {}},
        {"ODBC", "", true, {}},
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
    EXPECT_THAT(plain.out, HasSubstr("1 表中 1 表 ok、1 行"));
    EXPECT_THAT(plain.out,
                HasSubstr("リンク Kunden → C:\\data\\back.accdb の Customers: 移行しません"));
    EXPECT_THAT(plain.out, HasSubstr("リンク Remote → ODBC;DSN=Sales の dbo.Orders: ODBC"));
    EXPECT_THAT(report("plain.json"),
                HasSubstr("\"links\": [\n  {\"link\": \"Kunden\", \"database\": "
                          "\"C:\\\\data\\\\back.accdb\", \"foreignName\": \"Customers\", "
                          "\"status\": \"not followed\"},\n  {\"link\": \"Remote\", "
                          "\"connect\": \"ODBC;DSN=Sales\", \"foreignName\": \"dbo.Orders\", "
                          "\"status\": \"odbc\"}\n]"));

    const CommandRun followed = cli({"migrate", front_, "--oracle-safe", "--verify", "--replace",
                                     "--follow-links", "--report", dir_.path() + "/followed.html"});
    EXPECT_EQ(followed.status, 0) << followed.out << followed.err;
    EXPECT_THAT(followed.out, HasSubstr("2 表中 2 表 ok、3 行"));
    EXPECT_EQ(sql("SELECT ID, NAME FROM KUNDEN ORDER BY ID"), "ID\tNAME\n1\tAda\n2\t紫式部\n");
    EXPECT_THAT(report("followed.html"),
                HasSubstr("<tr><td>Kunden</td><td>C:\\data\\back.accdb</td>"
                          "<td>Customers</td><td>リンク先 " +
                          backEnd() + " から読みました"));

    // Without its back end a followed link fails its table, named.
    std::filesystem::remove(backEnd());
    const CommandRun lost = cli({"migrate", front_, "--oracle-safe", "--replace", "--follow-links",
                                 "--report", dir_.path() + "/lost.json"});
    EXPECT_NE(lost.status, 0) << lost.out;
    EXPECT_THAT(lost.out + lost.err, HasSubstr("C:\\data\\back.accdb"));
    EXPECT_THAT(report("lost.json"), HasSubstr("\"status\": \"back end not found\""));
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
        const char* summary;  // after "リンク Kunden → C:\\data\\back.accdb の Customers: "
    };
    const Case cases[] = {
        {"not followed", false, true, 0, false, "移行しません"},
        {"followed", true, true, 0, true, "リンク先 "},
        {"back end gone", true, false, 1, false, "リンク先のファイルが見つからず"},
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
        EXPECT_THAT(run.out, HasSubstr("リンク Kunden → C:\\data\\back.accdb の Customers: " +
                                       std::string(c.summary)))
            << c.what;
        EXPECT_THAT(run.out, HasSubstr("リンク Remote → ODBC;DSN=Sales の dbo.Orders: ODBC"))
            << c.what;
        EXPECT_TRUE(std::filesystem::exists(folder + "/Local.sql")) << c.what;
        EXPECT_EQ(std::filesystem::exists(folder + "/Kunden.sql"), c.linkScripted) << c.what;
        if (c.linkScripted) {
            const std::string script = base::readFileBytes(folder + "/Kunden.sql");
            // The back end's columns under the link's name.
            EXPECT_THAT(script, HasSubstr("CREATE TABLE Kunden\n(ID "));
            EXPECT_THAT(script, HasSubstr(",Name "));
        }
    }
}

}  // namespace
}  // namespace malvorn::jet
