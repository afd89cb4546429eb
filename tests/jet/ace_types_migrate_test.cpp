// The types only ACE files store, migrated under the Oracle-safe rules into
// the local server and read back exactly.
#include <gtest/gtest.h>

#include "cli_migration.h"
#include "jet_builder/ace_types.h"
#include "jet_builder/jet_builder.h"

namespace malvorn::jet {
namespace {

using namespace malvorn::testing;
using Int = std::int64_t;

class MigrateAceTypes : public CliMigration {};

// Date/Time Extended keeps every 100 ns tick, over the whole range of years,
// as TIMESTAMP(7): the statements' TO_TIMESTAMP literals and --verify's
// TO_CHAR(..., 'FF7') both go through the server's TIMESTAMP.
TEST_F(MigrateAceTypes, ExtendedDatesGoOverToTheHundredNanoseconds) {
    struct Row {
        Int id;
        const char* stamp;  // nullptr: Null
    };
    const Row rows[] = {
        {.id = 1, .stamp = "0001-01-01 00:00:00.0000001"},
        {.id = 2, .stamp = "9999-12-31 23:59:59.9999999"},
        {.id = 3, .stamp = "2021-12-30 12:34:56.7891234"},
        {.id = 4, .stamp = nullptr},
        {.id = 5, .stamp = "2000-02-29 00:00:00.0000000"},
    };
    JetBuildTable table{
        .name = "Stamps",
        .fields = {{.name = "ID", .type = 4}, {.name = "Stamp", .type = ace::kExtendedDate}}};
    std::string expected = "ID\tSTAMP\n";
    for (const Row& r : rows) {
        table.rows.push_back(
            {r.id, r.stamp ? JetBuildValue(std::string(r.stamp)) : JetBuildValue()});
        expected += std::to_string(r.id) + "\t" + (r.stamp ? r.stamp : "") + "\n";
    }
    const std::string path = dir_.path() + "/stamps.accdb";
    writeJetFile(path, {table}, JetVersion::kAce12);

    const CommandRun run = cli({"migrate", path, "--oracle-safe", "--verify"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("1 表中 1 表 ok、5 行"), std::string::npos) << run.out;
    EXPECT_EQ(sql("SELECT ID, TO_CHAR(STAMP, 'YYYY-MM-DD HH24:MI:SS.FF7') STAMP FROM STAMPS "
                  "ORDER BY ID"),
              expected);
    EXPECT_EQ(sql("SELECT DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'STAMPS' AND "
                  "COLUMN_NAME = 'STAMP'"),
              "DATA_TYPE\nTIMESTAMP(7)\n");

    // Bound values carry whole seconds: the copy is refused, not cut.
    const CommandRun bulk = cli({"migrate", path, "--oracle-safe", "--replace", "--bulk"});
    EXPECT_NE(bulk.status, 0) << bulk.out;
    EXPECT_NE((bulk.out + bulk.err).find("--bulk を付けずに"), std::string::npos)
        << bulk.out << bulk.err;
}

}  // namespace
}  // namespace malvorn::jet
