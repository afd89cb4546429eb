// migrate --oracle-safe --replace over a schema a first run made, and that
// an application has used since: the second run ends in the dictionary of the
// first (the same names, not numbered past the old ones; the identity
// restarted past the copied rows, not past the application's), on a built
// file and on nwind.mdb.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "core/migrate.h"
#include "localserver/server_fixture.h"
#include "support/local_migration.h"
#include "support/schema_dictionary.h"
#include "support/scripted_messages.h"
#include "support/shop_schema.h"

namespace malvorn::core {
namespace {

using testing::countedLines;
using testing::schemaDictionary;

class ReplaceTest : public localserver::ServerTest {
  protected:
    void SetUp() override { scott_ = appUser(); }

    // One run with --replace --verify; every table and its schema ok.
    void migrate(const std::string& db,
                 const std::map<std::string, testing::DescribedSource::Extra>& extra) {
        MigrateFields fields;
        fields.dbPath = db;
        fields.oracleSafe = true;
        fields.replace = true;
        fields.verify = true;
        fields.views = false;
        fields.connection = {"scott", "tiger", folder()};
        Services services = localMigrationServices(messages_, front_);
        services.openJet = testing::describedOpener(extra);
        MigrateProgress quiet;
        MigrateReport report;
        EXPECT_EQ(migrateDatabase(fields, services, quiet, report), Outcome::kDone);
        ASSERT_FALSE(report.tables.empty());
        for (const auto& t : report.tables)
            EXPECT_EQ(std::tie(t.result, t.schema), std::tie("ok", "ok")) << t.table;
    }

    // What the application does between the runs: an insert takes an
    // identity value, a delete cascades.
    struct Use {
        const char* insert;  // a row without its key: the identity gives it
        const char* key;     // SELECT of the key the row got
        const char* expectedKey;
        const char* remove;  // a parent row whose children go with it
    };

    // Runs twice around `use`, comparing the dictionaries; the next key
    // after the second run is the one after the first.
    void replaceTwice(const std::string& db,
                      const std::map<std::string, testing::DescribedSource::Extra>& extra,
                      const Use& use) {
        migrate(db, extra);
        first_ = schemaDictionary(*scott_, true);
        scott_->execute(use.insert);
        EXPECT_EQ(rows(*scott_, use.key), std::vector<std::string>{use.expectedKey});
        scott_->execute(use.remove);
        migrate(db, extra);
        const std::vector<std::string> second = schemaDictionary(*scott_, true);
        std::vector<std::string> onlyFirst, onlySecond;
        std::set_difference(first_.begin(), first_.end(), second.begin(), second.end(),
                            std::back_inserter(onlyFirst));
        std::set_difference(second.begin(), second.end(), first_.begin(), first_.end(),
                            std::back_inserter(onlySecond));
        EXPECT_EQ(onlyFirst, std::vector<std::string>{});
        EXPECT_EQ(onlySecond, std::vector<std::string>{});
        scott_->execute(use.insert);
        EXPECT_EQ(rows(*scott_, use.key), std::vector<std::string>{use.expectedKey});
    }

    std::unique_ptr<oracle::Session> scott_;
    ScriptedMessages messages_;
    Front front_;
    std::vector<std::string> first_;
};

TEST_F(ReplaceTest, ASecondRunOnABuiltFileGivesTheFirstsDictionary) {
    const std::string db = dir_.path() + "/shop.mdb";
    testing::writeJetFile(db, testing::shop());
    replaceTwice(db, testing::shopSchema(),
                 {.insert = "INSERT INTO Kunden (Name, Stadt) VALUES ('Cy', 'Ulm')",
                  .key = "SELECT ID FROM Kunden WHERE Name = 'Cy'",
                  .expectedKey = "3",
                  .remove = "DELETE FROM Kunden WHERE ID = 2"});
    // The comparison is about something: each kind of object is there.
    const struct {
        const char* prefix;
        const char* part;
        std::size_t count;
    } expected[] = {
        {.prefix = "INDEX_NAME, TABLE_NAME, UNIQUE", .part = "", .count = 6},
        {.prefix = "CONSTRAINT_NAME, CONSTRAINT_TY", .part = "|R|", .count = 2},
        {.prefix = "CONSTRAINT_NAME, CONSTRAINT_TY", .part = "|C|", .count = 2},
        {.prefix = "TABLE_NAME, COLUMN_NAME, GENER", .part = "START WITH: 3", .count = 1},
        {.prefix = "TABLE_NAME, COLUMN_NAME, COMME", .part = "", .count = 1},
    };
    for (const auto& e : expected)
        EXPECT_EQ(countedLines(first_, e.prefix, e.part), e.count) << e.prefix << e.part;
}

TEST_F(ReplaceTest, ASecondRunOfNwindGivesTheFirstsDictionary) {
    const std::string nwind = (std::filesystem::path(MALVORN_REAL_FIXTURES) / "nwind.mdb").string();
    if (!std::filesystem::exists(nwind))
        GTEST_SKIP() << "no engine-written Jet files at " << MALVORN_REAL_FIXTURES;
    replaceTwice(nwind, {},
                 {.insert = "INSERT INTO Categories (CategoryName) VALUES ('Tee')",
                  .key = "SELECT CategoryID FROM Categories WHERE CategoryName = 'Tee'",
                  .expectedKey = "9",
                  .remove = "DELETE FROM Orders WHERE OrderID = 10248"});
    EXPECT_EQ(countedLines(first_, "INDEX_NAME, TABLE_NAME, UNIQUE"), 33u);  // 9 keys, 24 more
    EXPECT_EQ(countedLines(first_, "CONSTRAINT_NAME, CONSTRAINT_TY", "|R|"), 7u);
    EXPECT_EQ(countedLines(first_, "TABLE_NAME, COLUMN_NAME, GENER"), 7u);
    EXPECT_EQ(countedLines(first_, "TABLE_NAME, COMMENTS FROM USER"), 9u);
}

}  // namespace
}  // namespace malvorn::core
