// The schema steps of an Oracle-safe migration: a unique index that old rows
// break fails its table; the journal takes up what was done.
#include <gtest/gtest.h>

#include "core/migrate_schema.h"
#include "migrate_fixture.h"
#include "support/quiet_session.h"
#include "support/temp_dir.h"

namespace malvorn::core {
namespace {

using testing::JetBuildTable;

// Two rows that share City and Zip: the unique index CityZip cannot be made.
JetBuildTable customers() {
    JetBuildTable table{"Customers",
                        {{.name = "ID", .type = 4},
                         {.name = "City", .type = 10, .size = 20},
                         {.name = "Zip", .type = 10, .size = 10}},
                        {},
                        {}};
    table.indexes = {{.name = "PrimaryKey", .columns = {"ID"}, .primary = true},
                     {.name = "SameAsKey", .columns = {"ID"}, .unique = true},
                     {.name = "CityZip", .columns = {"City", "Zip"}, .unique = true},
                     {.name = "Zip", .columns = {"Zip"}}};
    table.rows = {{std::int64_t{1}, "Oslo", "0150"}, {std::int64_t{2}, "Oslo", "0150"}};
    return table;
}

using MigrateSchemaTest = MigrateFixture;

TEST_F(MigrateSchemaTest, AUniqueIndexOldRowsBreakFailsItsTableNamingIt) {
    EXPECT_EQ(migrate(write({customers()}), Ask{.oracleSafe = true}), Outcome::kFailed);
    const TableOutcome& t = report_.tables.at(0);
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(t.rowsOnServer, std::optional<std::int64_t>(2));
    EXPECT_NE(t.result.find("Customers_CityZip"), std::string::npos) << t.result;
    EXPECT_EQ(t.schema, t.result);
    EXPECT_EQ(t.indexes, 1u);
}

// A server that takes every statement, recording it.
class RecordingSession : public testing::QuietSession {
  public:
    Strings sent;
    void execute(const std::string& statement) override { sent.push_back(statement); }
    oracle::Value queryValue(const std::string& query) override {
        sent.push_back(query);
        return "0";
    }
};

convert::SchemaPlan foreignKeyPlan() {
    return {.statements = {{.step = convert::SchemaStep::kForeignKey,
                            .table = "Child",
                            .jetName = "ParentChild",
                            .name = "fk_Child_Parent",
                            .sql = "ADD FK"},
                           {.step = convert::SchemaStep::kIndex,
                            .table = "Child",
                            .jetName = "ByName",
                            .name = "Child_ByName",
                            .sql = "ADD INDEX"}},
            .notes = {{"Child", "a note"}, {"Elsewhere", "not migrated"}}};
}

// One table's outcomes, ok so far.
std::vector<TableOutcome> childOk() {
    std::vector<TableOutcome> outcomes(1);
    outcomes[0].table = "Child";
    outcomes[0].ok = true;
    outcomes[0].result = "ok";
    return outcomes;
}

TEST(SchemaSteps, TheJournalTakesUpWhatWasDone) {
    TempDir dir;
    const std::string db = dir.path() + "/x.mdb";
    testing::writeJetFile(db, {JetBuildTable{"Child", {{.name = "A", .type = 4}}, {}, {}}});
    const std::string path = dir.path() + "/journal.json";
    {
        JournalFile journal(path, db, true, false);
        RecordingSession session;
        std::vector<TableOutcome> outcomes = childOk();
        runSchemaSteps(session, foreignKeyPlan(), false, &journal, outcomes);
        EXPECT_EQ(journal.journal().schemaDone,
                  (Strings{"foreignKey\tChild\tParentChild", "index\tChild\tByName"}));
        journal.markInterrupted();
    }
    JournalFile resumed(path, db, true, true);
    RecordingSession session;
    std::vector<TableOutcome> outcomes = childOk();
    runSchemaSteps(session, foreignKeyPlan(), false, &resumed, outcomes);
    EXPECT_TRUE(session.sent.empty());
    EXPECT_EQ(std::tie(outcomes[0].foreignKeys, outcomes[0].indexes, outcomes[0].notes),
              std::tuple(std::size_t{1}, std::size_t{1}, Strings{"a note"}));
}

}  // namespace
}  // namespace malvorn::core
