// migrate --scripts-only: the scripts, run in the master script's order as
// SQL*Plus reads them, leave the same dictionary as a live migration of the
// same file; the options that need a server are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "core/migrate.h"
#include "core/migrate_scripts.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "localserver/server_fixture.h"
#include "support/local_migration.h"
#include "support/schema_dictionary.h"
#include "support/scripted_messages.h"
#include "support/shop_schema.h"
#include "support/sqlplus_runner.h"

namespace malvorn::core {
namespace {

using testing::DescribedSource;
using testing::shop;
using testing::shopSchema;

using testing::countedLines;
using testing::schemaDictionary;

class ScriptsOnlyTest : public localserver::ServerTest {
  protected:
    Services services(const std::map<std::string, DescribedSource::Extra>& extra) {
        Services s = localMigrationServices(messages_, front_);
        s.openJet = testing::describedOpener(extra);
        return s;
    }

    // The live migration as scott, the scripts run as adam: both
    // dictionaries, and what the server refused of each.
    void compare(const std::string& db, const std::map<std::string, DescribedSource::Extra>& extra,
                 std::size_t refusedViews) {
        auto scott = appUser("scott", "tiger");
        MigrateFields live;
        live.dbPath = db;
        live.oracleSafe = true;
        live.connection = {"scott", "tiger", folder()};
        Services liveServices = services(extra);
        MigrateProgress quiet;
        MigrateReport report;
        migrateDatabase(live, liveServices, quiet, report);
        for (const auto& table : report.tables)
            ASSERT_TRUE(table.ok) << table.table << ": " << table.result;
        // A view the live run did not make is sent by the scripts all the
        // same (the server refuses it, or one it reads is missing).
        const auto refused = std::count_if(report.views.begin(), report.views.end(), [](auto& v) {
            return v.status == ViewStatus::kRefused;
        });
        EXPECT_EQ(static_cast<std::size_t>(refused), refusedViews);
        const auto unmade = std::count_if(report.views.begin(), report.views.end(), [](auto& v) {
            return v.status != ViewStatus::kCreated && !v.sql.empty();
        });

        const std::string sql = dir_.path() + "/sql";
        std::filesystem::create_directory(sql);
        MigrateFields written = live;
        written.scriptsOnly = true;
        written.sqlFolder = sql;
        written.connection = {};
        Services writtenServices = services(extra);
        MigrationScripts scripts;
        ASSERT_EQ(writeMigrationScripts(written, writtenServices, scripts), Outcome::kDone)
            << scriptsSummary(scripts);
        // The names the report lists are those of the live run.
        ASSERT_EQ(scripts.tables.size(), report.tables.size());
        for (std::size_t i = 0; i < report.tables.size(); ++i) {
            const auto& a = scripts.tables[i].names;
            const auto& b = report.tables[i].names;
            EXPECT_FALSE(a.empty());
            ASSERT_EQ(a.size(), b.size()) << report.tables[i].table;
            for (std::size_t n = 0; n < a.size(); ++n)
                EXPECT_EQ(std::tie(a[n].kind, a[n].access, a[n].oracle),
                          std::tie(b[n].kind, b[n].access, b[n].oracle));
        }

        auto adam = appUser("adam", "eve");
        testing::ScriptRun run;
        testing::runLikeSqlPlus(sql, kMasterName, *adam, run);
        // The master names every file it wrote, in the order written.
        std::vector<std::string> files;
        for (const auto& file : scripts.files)
            files.push_back(file.name);
        std::rotate(files.begin(), files.end() - 1, files.end());
        EXPECT_EQ(run.files, files);
        EXPECT_EQ(run.refused.size(), static_cast<std::size_t>(unmade))
            << ::testing::PrintToString(run.refused);
        for (const auto& refusal : run.refused)
            EXPECT_EQ(refusal.rfind(std::string(kViewsScriptName) + ": ", 0), 0u) << refusal;
        dictionary_ = schemaDictionary(*scott);
        const std::vector<std::string> theirs = schemaDictionary(*adam);
        std::vector<std::string> onlyLive, onlyScripts;
        std::set_difference(dictionary_.begin(), dictionary_.end(), theirs.begin(), theirs.end(),
                            std::back_inserter(onlyLive));
        std::set_difference(theirs.begin(), theirs.end(), dictionary_.begin(), dictionary_.end(),
                            std::back_inserter(onlyScripts));
        EXPECT_EQ(onlyLive, std::vector<std::string>{});
        EXPECT_EQ(onlyScripts, std::vector<std::string>{});
    }

    static constexpr const char* kMasterName = "CreateSchema.sql";
    ScriptedMessages messages_;
    Front front_;
    std::vector<std::string> dictionary_;
};

TEST_F(ScriptsOnlyTest, TheScriptsGiveTheDictionaryOfALiveMigration) {
    const std::string db = dir_.path() + "/shop.mdb";
    testing::writeJetFile(db, shop());
    compare(db, shopSchema(), 0);
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
    const std::string nwind = (std::filesystem::path(MALVORN_REAL_FIXTURES) / "nwind.mdb").string();
    if (!std::filesystem::exists(nwind))
        GTEST_SKIP() << "no engine-written Jet files at " << MALVORN_REAL_FIXTURES;
    // Every view the live run makes, the scripts make too.
    compare(nwind, {}, 0);
    EXPECT_EQ(countedLines(dictionary_, "INDEX_NAME, TABLE_NAME, UNIQUE"), 33u);  // 9 keys, 24 more
    EXPECT_EQ(countedLines(dictionary_, "CONSTRAINT_NAME, CONSTRAINT_TY", "|R|"), 7u);
    EXPECT_EQ(countedLines(dictionary_, "TABLE_NAME, COLUMN_NAME, GENER"), 7u);   // 7 AutoNumbers
    EXPECT_EQ(countedLines(dictionary_, "VIEW_NAME, TEXT FROM USER_VIEW"), 18u);  // 4 left out
}

TEST(MigrateOptions, WhatNeedsAServerOrTheSafeRulesIsRefused) {
    struct Case {
        const char* what;
        std::function<void(MigrateFields&)> set;
        const char* problem;  // nullptr: none
    };
    const Case cases[] = {
        {.what = "the safe rules alone", .set = [](MigrateFields&) {}, .problem = nullptr},
        {.what = "--allow-invalid without --oracle-safe",
         .set = [](MigrateFields& f) { f.oracleSafe = false, f.allowInvalid = true; },
         .problem = "--allow-invalid は --oracle-safe"},
        {.what = "scripts under the safe rules into a folder",
         .set = [](MigrateFields& f) { f.scriptsOnly = true, f.sqlFolder = "/tmp"; },
         .problem = nullptr},
        {.what = "scripts under the window's rules",
         .set = [](MigrateFields& f) { f.scriptsOnly = true, f.oracleSafe = false; },
         .problem = "--scripts-only は --oracle-safe"},
        {.what = "scripts without a folder",
         .set = [](MigrateFields& f) { f.scriptsOnly = true; },
         .problem = "--sql-folder DIR"},
        {.what = "scripts and --verify",
         .set =
             [](MigrateFields& f) { f.scriptsOnly = true, f.sqlFolder = "/tmp", f.verify = true; },
         .problem = "--verify"},
        {.what = "scripts and --bulk",
         .set =
             [](MigrateFields& f) { f.scriptsOnly = true, f.sqlFolder = "/tmp", f.bulkBatch = 5; },
         .problem = "--bulk"},
        {.what = "scripts and --journal",
         .set =
             [](MigrateFields& f) {
                 f.scriptsOnly = true, f.sqlFolder = "/tmp", f.journalPath = "j";
             },
         .problem = "--journal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MigrateFields fields;
        fields.oracleSafe = true;
        c.set(fields);
        const auto problem = migrateOptionsProblem(fields);
        ASSERT_EQ(problem.has_value(), c.problem != nullptr) << problem.value_or("");
        if (c.problem) {
            EXPECT_NE(problem->find(c.problem), std::string::npos) << *problem;
        }
    }
}

}  // namespace
}  // namespace malvorn::core
