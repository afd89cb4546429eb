// migrate --scripts-only: the scripts, run in the master script's order as
// SQL*Plus reads them, leave the same dictionary as a live migration of the
// same file; the options that need a server are refused. migrate
// --oracle-safe --replace over a schema a first run made and an application
// has used since ends in the first run's dictionary (the same names, the
// identity restarted past the copied rows, not past the application's).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "core/migrate_scripts.h"
#include "migrate_fixture.h"
#include "support/jet_sources.h"
#include "support/schema_dictionary.h"
#include "support/shop_schema.h"
#include "support/sqlplus_runner.h"

namespace malvorn::core {
namespace {

using testing::DescribedSource;
using testing::shop;
using testing::shopSchema;

using testing::countedLines;
using testing::schemaDictionary;

// Neither dictionary holds a line the other does not.
void expectSameDictionary(const Strings& a, const Strings& b) {
    Strings onlyA, onlyB;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(onlyA));
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(onlyB));
    EXPECT_EQ(onlyA, Strings{});
    EXPECT_EQ(onlyB, Strings{});
}

using Extra = std::map<std::string, DescribedSource::Extra>;

class ScriptsOnlyTest : public MigrateFixture {
  protected:
    // The live migration as scott, the scripts run as adam: both
    // dictionaries, and what the server refused of each.
    void compare(const std::string& db, const Extra& extra, std::size_t refusedViews) {
        openJet_ = testing::describedOpener(extra);
        migrate(db, Ask{.oracleSafe = true});
        for (const auto& table : report_.tables)
            ASSERT_TRUE(table.ok) << table.table << ": " << table.result;
        // A view the live run did not make is sent by the scripts all the
        // same (the server refuses it, or one it reads is missing).
        const auto& views = report_.views;
        const auto refused = std::count_if(
            views.begin(), views.end(), [](auto& v) { return v.status == ViewStatus::kRefused; });
        EXPECT_EQ(static_cast<std::size_t>(refused), refusedViews);
        const auto unmade = std::count_if(views.begin(), views.end(), [](auto& v) {
            return v.status != ViewStatus::kCreated && !v.sql.empty();
        });

        const std::string sql = dir_.path() + "/sql";
        std::filesystem::create_directory(sql);
        MigrateFields written =
            Ask{.sqlFolder = sql, .oracleSafe = true, .scriptsOnly = true}.fields();
        written.dbPath = db;
        Services services = localMigrationServices(messages_, front_);
        services.openJet = openJet_;
        MigrationScripts scripts;
        ASSERT_EQ(writeMigrationScripts(written, services, scripts), Outcome::kDone)
            << scriptsSummary(scripts);
        // The names the report lists are those of the live run.
        ASSERT_EQ(scripts.tables.size(), report_.tables.size());
        for (std::size_t i = 0; i < report_.tables.size(); ++i) {
            const auto& a = scripts.tables[i].names;
            const auto& b = report_.tables[i].names;
            EXPECT_FALSE(a.empty());
            ASSERT_EQ(a.size(), b.size()) << report_.tables[i].table;
            for (std::size_t n = 0; n < a.size(); ++n)
                EXPECT_EQ(std::tie(a[n].kind, a[n].access, a[n].oracle),
                          std::tie(b[n].kind, b[n].access, b[n].oracle));
        }

        auto adam = appUser("adam", "eve");
        testing::ScriptRun run;
        testing::runLikeSqlPlus(sql, kMasterName, *adam, run);
        // The master names every file it wrote, in the order written.
        Strings files;
        for (const auto& file : scripts.files)
            files.push_back(file.name);
        std::rotate(files.begin(), files.end() - 1, files.end());
        EXPECT_EQ(run.files, files);
        EXPECT_EQ(run.refused.size(), static_cast<std::size_t>(unmade))
            << ::testing::PrintToString(run.refused);
        for (const auto& refusal : run.refused)
            EXPECT_EQ(refusal.rfind(std::string(kViewsScriptName) + ": ", 0), 0u) << refusal;
        dictionary_ = schemaDictionary(*scott_);
        expectSameDictionary(dictionary_, schemaDictionary(*adam));
    }

    static constexpr const char* kMasterName = "CreateSchema.sql";
    Strings dictionary_;
};

TEST_F(ScriptsOnlyTest, TheScriptsGiveTheDictionaryOfALiveMigration) {
    compare(write(shop(), "shop.mdb"), shopSchema(), 0);
    // The comparison is about something: every kind of object is there.
    const struct {
        const char* prefix;
        std::size_t count;
    } expected[] = {
        {"INDEX_NAME, TABLE_NAME, UNIQUE", 6},              // 3 keys, Name, StadtName, KundeBetrag
        {"TABLE_NAME, COLUMN_NAME, GENER", 2},              // Kunden.ID, Umsätze.Nr
        {"TABLE_NAME, COMMENTS FROM USER", 1},              // Die Kunden
        {"TABLE_NAME, COLUMN_NAME, COMME", 1},              // Stadt
        {"CONSTRAINT_NAME, CONSTRAINT_TY", 3 + 1 + 1 + 2},  // keys, NOT NULL, CHECK, FKs
    };
    for (const auto& e : expected)
        EXPECT_EQ(countedLines(dictionary_, e.prefix), e.count) << e.prefix;
    EXPECT_EQ(countedLines(dictionary_, "INDEX_NAME, COLUMN_NAME, COLUM", "KUNDEBETRAG|SYS_NC"), 1u)
        << "the descending column of KundeBetrag";
}

TEST_F(ScriptsOnlyTest, NwindsScriptsGiveTheDictionaryOfALiveMigration) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    // Every view the live run makes, the scripts make too.
    compare(jet::realFile("nwind.mdb"), {}, 0);
    EXPECT_EQ(countedLines(dictionary_, "INDEX_NAME, TABLE_NAME, UNIQUE"), 33u);  // 9 keys, 24 more
    EXPECT_EQ(countedLines(dictionary_, "CONSTRAINT_NAME, CONSTRAINT_TY", "|R|"), 7u);
    EXPECT_EQ(countedLines(dictionary_, "TABLE_NAME, COLUMN_NAME, GENER"), 7u);   // 7 AutoNumbers
    EXPECT_EQ(countedLines(dictionary_, "VIEW_NAME, TEXT FROM USER_VIEW"), 18u);  // 4 left out
    EXPECT_EQ(countedLines(dictionary_, "TABLE_NAME, COMMENTS FROM USER"), 9u);
}

TEST(MigrateOptions, WhatNeedsAServerOrTheSafeRulesIsRefused) {
    struct Case {
        const char* what;
        Ask fields;
        const char* problem;  // nullptr: none
    };
    const char* tmp = "/tmp";
    const Case cases[] = {
        {"the safe rules alone", {.oracleSafe = true}, nullptr},
        {"--allow-invalid without --oracle-safe",
         {.allowInvalid = true},
         "--allow-invalid は --oracle-safe"},
        {"scripts under the safe rules into a folder",
         {.sqlFolder = tmp, .oracleSafe = true, .scriptsOnly = true},
         nullptr},
        {"scripts under the window's rules",
         {.sqlFolder = tmp, .scriptsOnly = true},
         "--scripts-only は --oracle-safe"},
        {"scripts without a folder", {.oracleSafe = true, .scriptsOnly = true}, "--sql-folder DIR"},
        {"scripts and --verify",
         {.sqlFolder = tmp, .oracleSafe = true, .verify = true, .scriptsOnly = true},
         "--verify"},
        {"scripts and --bulk",
         {.sqlFolder = tmp, .oracleSafe = true, .bulkBatch = 5, .scriptsOnly = true},
         "--bulk"},
        {"scripts and --journal",
         {.sqlFolder = tmp, .oracleSafe = true, .journalPath = "j", .scriptsOnly = true},
         "--journal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto problem = migrateOptionsProblem(c.fields.fields());
        ASSERT_EQ(problem.has_value(), c.problem != nullptr) << problem.value_or("");
        if (c.problem) {
            EXPECT_NE(problem->find(c.problem), std::string::npos) << *problem;
        }
    }
}

// What the application does between the runs: an insert takes an identity
// value, a delete cascades.
struct Use {
    const char* insert;  // a row without its key: the identity gives it
    const char* key;     // SELECT of the key the row got
    const char* expectedKey;
    const char* remove;  // a parent row whose children go with it
};

class ReplaceTest : public MigrateFixture {
  protected:
    // One run with --replace --verify; every table and its schema ok.
    void migrateOk(const std::string& db) {
        EXPECT_EQ(
            migrate(db, Ask{.replace = true, .oracleSafe = true, .verify = true, .views = false}),
            Outcome::kDone);
        ASSERT_FALSE(report_.tables.empty());
        for (const auto& t : report_.tables)
            EXPECT_EQ(std::tie(t.result, t.schema), std::tie("ok", "ok")) << t.table;
    }

    // Runs twice around `use`, comparing the dictionaries; the next key
    // after the second run is the one after the first.
    void replaceTwice(const std::string& db, const Extra& extra, const Use& use) {
        openJet_ = testing::describedOpener(extra);
        migrateOk(db);
        const Strings first = schemaDictionary(*scott_, true);
        scott_->execute(use.insert);
        EXPECT_EQ(rows(*scott_, use.key), Strings{use.expectedKey});
        scott_->execute(use.remove);
        migrateOk(db);
        expectSameDictionary(first, schemaDictionary(*scott_, true));
        scott_->execute(use.insert);
        EXPECT_EQ(rows(*scott_, use.key), Strings{use.expectedKey});
    }
};

TEST_F(ReplaceTest, ASecondRunOnABuiltFileGivesTheFirstsDictionary) {
    replaceTwice(write(shop(), "shop.mdb"), shopSchema(),
                 {.insert = "INSERT INTO Kunden (Name, Stadt) VALUES ('Cy', 'Ulm')",
                  .key = "SELECT ID FROM Kunden WHERE Name = 'Cy'",
                  .expectedKey = "3",
                  .remove = "DELETE FROM Kunden WHERE ID = 2"});
}

TEST_F(ReplaceTest, ASecondRunOfNwindGivesTheFirstsDictionary) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    replaceTwice(jet::realFile("nwind.mdb"), {},
                 {.insert = "INSERT INTO Categories (CategoryName) VALUES ('Tee')",
                  .key = "SELECT CategoryID FROM Categories WHERE CategoryName = 'Tee'",
                  .expectedKey = "9",
                  .remove = "DELETE FROM Orders WHERE OrderID = 10248"});
}

}  // namespace
}  // namespace malvorn::core
