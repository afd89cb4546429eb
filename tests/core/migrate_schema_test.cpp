// The schema steps of an Oracle-safe migration: indexes made after the rows
// on the local server, a duplicate of the key left out, a unique index that
// old rows break failing its table; constraints that old rows break, with
// and without --allow-invalid; the journal taking up what was done.
#include <gtest/gtest.h>

#include "core/migrate_report.h"
#include "core/migrate_schema.h"
#include "migrate_fixture.h"
#include "support/temp_dir.h"

namespace malvorn::core {
namespace {

using testing::JetBuildTable;

JetBuildTable customers(bool duplicateCity) {
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
    table.rows = {{std::int64_t{1}, "Oslo", "0150"},
                  {std::int64_t{2}, duplicateCity ? "Oslo" : "Bergen", "0150"}};
    return table;
}

class MigrateSchemaTest : public MigrateFixture {
  protected:
    Outcome migrate(const JetBuildTable& table, bool replace = false) {
        return MigrateFixture::migrate(write({table}, "schema.mdb"),
                                       Ask{.replace = replace, .oracleSafe = true});
    }
};

TEST_F(MigrateSchemaTest, IndexesArriveAfterTheRowsAndADuplicateOfTheKeyIsLeftOut) {
    ASSERT_EQ(migrate(customers(false)), Outcome::kDone) << report_.tables.at(0).result;
    const TableOutcome& t = report_.tables.at(0);
    EXPECT_EQ(std::tie(t.indexes, t.schema), std::tuple(std::size_t{2}, std::string("ok")));
    EXPECT_EQ(rows(*scott_,
                   "SELECT INDEX_NAME, UNIQUENESS FROM USER_INDEXES WHERE INDEX_NAME "
                   "LIKE 'CUSTOMERS%' ORDER BY 1"),
              (Strings{"CUSTOMERS_CITYZIP|UNIQUE", "CUSTOMERS_ZIP|NONUNIQUE"}));
    EXPECT_EQ(rows(*scott_,
                   "SELECT COLUMN_NAME FROM USER_IND_COLUMNS WHERE INDEX_NAME = "
                   "'CUSTOMERS_CITYZIP' ORDER BY COLUMN_POSITION"),
              (Strings{"CITY", "ZIP"}));
    const bool noted = std::any_of(t.notes.begin(), t.notes.end(), [](const std::string& n) {
        return n.find("SameAsKey") != std::string::npos;
    });
    EXPECT_TRUE(noted);
    const std::string json = migrateReportJson(report_);
    EXPECT_NE(json.find("\"indexes\": 2, \"foreignKeys\": 0, \"schema\": \"ok\""),
              std::string::npos)
        << json;

    // Replaced, the table ends with the same indexes under the same names.
    ASSERT_EQ(migrate(customers(false), true), Outcome::kDone) << report_.tables.at(0).result;
    EXPECT_EQ(rows(*scott_,
                   "SELECT INDEX_NAME FROM USER_INDEXES WHERE INDEX_NAME LIKE "
                   "'CUSTOMERS%' ORDER BY 1"),
              (Strings{"CUSTOMERS_CITYZIP", "CUSTOMERS_ZIP"}));
}

TEST_F(MigrateSchemaTest, AUniqueIndexOldRowsBreakFailsItsTableNamingIt) {
    EXPECT_EQ(migrate(customers(true)), Outcome::kFailed);
    const TableOutcome& t = report_.tables.at(0);
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(t.rowsOnServer, std::optional<std::int64_t>(2));
    EXPECT_NE(t.result.find("Customers_CityZip"), std::string::npos) << t.result;
    EXPECT_EQ(t.schema, t.result);
    EXPECT_EQ(t.indexes, 1u);
}

// A server that refuses the statements it is told to and counts 3 broken rows.
class RefusingSession : public oracle::Session {
  public:
    std::set<std::string> refused;
    Strings sent;
    void execute(const std::string& statement) override {
        sent.push_back(statement);
        if (refused.count(statement))
            throw oracle::OracleError(2298, "ORA-02298: cannot validate - parent keys not found",
                                      "test");
    }
    oracle::Value queryValue(const std::string& query) override {
        sent.push_back(query);
        return "3";
    }
    std::unique_ptr<oracle::ResultSet> query(const std::string&) override { return nullptr; }
    void setAutoCommit(bool) override {}
    void commit() override {}
    void rollback() override {}
};

convert::SchemaPlan foreignKeyPlan() {
    return {.statements = {{.step = convert::SchemaStep::kForeignKey,
                            .table = "Child",
                            .jetName = "ParentChild",
                            .name = "fk_Child_Parent",
                            .sql = "ADD FK",
                            .keepOldRowsSql = "ADD FK NOVALIDATE",
                            .brokenRowsSql = "COUNT ORPHANS"},
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

TEST(SchemaSteps, OldRowsThatBreakAConstraintFailItOrKeepItWithAllowInvalid) {
    struct Case {
        const char* what;
        bool allowInvalid;
        bool ok;
        Strings sent;
        const char* inResult;
    };
    const Case cases[] = {
        {"the count of orphans is named",
         false,
         false,
         {"ADD FK", "COUNT ORPHANS", "ADD INDEX"},
         "foreignKey fk_Child_Parent: 既存の 3 行が規則を破ります"},
        {"--allow-invalid keeps the old rows",
         true,
         true,
         {"ADD FK", "COUNT ORPHANS", "ADD FK NOVALIDATE", "ADD INDEX"},
         "ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RefusingSession session;
        session.refused = {"ADD FK"};
        std::vector<TableOutcome> outcomes = childOk();
        runSchemaSteps(session, foreignKeyPlan(), c.allowInvalid, nullptr, outcomes);
        EXPECT_EQ(session.sent, c.sent);
        EXPECT_EQ(outcomes[0].ok, c.ok);
        EXPECT_NE(outcomes[0].result.find(c.inResult), std::string::npos) << outcomes[0].result;
        EXPECT_EQ(outcomes[0].foreignKeys, c.ok ? 1u : 0u);
        EXPECT_EQ(outcomes[0].indexes, 1u);
        EXPECT_EQ(outcomes[0].notes.front(), "a note");
    }
}

TEST(SchemaSteps, TheJournalTakesUpWhatWasDone) {
    TempDir dir;
    const std::string db = dir.path() + "/x.mdb";
    testing::writeJetFile(db, {JetBuildTable{"Child", {{.name = "A", .type = 4}}, {}, {}}});
    const std::string path = dir.path() + "/journal.json";
    {
        JournalFile journal(path, db, true, false);
        RefusingSession session;
        std::vector<TableOutcome> outcomes = childOk();
        runSchemaSteps(session, foreignKeyPlan(), false, &journal, outcomes);
        EXPECT_EQ(journal.journal().schemaDone,
                  (Strings{"foreignKey\tChild\tParentChild", "index\tChild\tByName"}));
        journal.markInterrupted();
    }
    JournalFile resumed(path, db, true, true);
    RefusingSession session;
    std::vector<TableOutcome> outcomes = childOk();
    runSchemaSteps(session, foreignKeyPlan(), false, &resumed, outcomes);
    EXPECT_TRUE(session.sent.empty());
    EXPECT_EQ(std::tie(outcomes[0].foreignKeys, outcomes[0].indexes),
              std::tuple(std::size_t{1}, std::size_t{1}));
}

}  // namespace
}  // namespace malvorn::core
