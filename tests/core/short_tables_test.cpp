// Tables that read fewer rows than their definition records: the window's
// copy names the difference and goes on; the command line's inserts, copy
// and migrate fail unless --accept-short-tables, and a stale count (more
// rows) stays a note. Built files damaged as damaged real files are.
#include <gtest/gtest.h>

#include "base/file_system.h"
#include "core/copy_command.h"
#include "core/migrate.h"
#include "jet/jet_damage.h"
#include "jet/jet_error.h"
#include "jet/mdb_database.h"
#include "localserver/server_fixture.h"
#include "support/command.h"
#include "support/local_migration.h"
#include "support/recorder.h"

namespace malvorn::core {
namespace {

using Strings = std::vector<std::string>;

// Six rows; "short" loses the first two, "stale" records one.
class ShortTablesTest : public localserver::ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        testing::JetBuildTable table{"T1", {{"CODE", 4, 4}, {"NAME", 10, 20, true}}, {}, {}};
        table.indexes.push_back({"pkkey", {"CODE"}, true});
        for (std::int64_t i = 1; i <= 6; ++i)
            table.rows.push_back({i, "n" + std::to_string(i)});
        const std::string whole = jet::builtBytes({table});
        writeWholeFile(path("short"), jet::rowsLost(whole, 2));
        writeWholeFile(path("lost"), jet::rowsLost(whole, 6));
        writeWholeFile(path("stale"), jet::recordedRows(whole, 1));
    }
    std::string path(const std::string& name) const { return dir_.path() + "/" + name + ".mdb"; }
    model::ConnectionFields scott() const { return {"scott", "tiger", folder()}; }
    Services services() { return localMigrationServices(recorder_, recorder_); }
    std::string onServer() { return rows(*scott_, "SELECT COUNT(*) FROM T1").at(0); }

    std::unique_ptr<oracle::Session> scott_;
    Recorder recorder_;
};

TEST_F(ShortTablesTest, CopyFailsOnlyWhenAskedTo) {
    scott_->execute("CREATE TABLE T1 (CODE NUMBER(10), NAME VARCHAR2(20))");
    struct Case {
        std::string file;
        bool accept;
        Outcome outcome;
        std::string lastEvent;  // the last status or box
        std::string onServer;   // rows sent stay either way
    };
    const std::string damaged = "box ﾃﾞｰﾀｾｯﾄｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：fCopyTableData\rｴﾗｰNo:3103\r説 明:";
    const Case cases[] = {
        {"short", true, Outcome::kDone, "status 4 / 6 (定義の行数と異なります)", "4"},
        {"short", false, Outcome::kFailed,
         damaged + jet::shortTableMessage(path("short"), "T1", 4, 6) + "\rｴﾗｰｿｰｽ:Jet", "4"},
        {"lost", false, Outcome::kFailed,
         damaged + jet::shortTableMessage(path("lost"), "T1", 0, 6) + "\rｴﾗｰｿｰｽ:Jet", "0"},
        {"stale", false, Outcome::kDone, "status 6 / 1 (定義の行数と異なります)", "6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + (c.accept ? " accepted" : ""));
        recorder_ = Recorder();
        auto s = services();
        CopyFields fields{"T1", path(c.file), true, scott(), 0};
        fields.acceptShortTables = c.accept;
        EXPECT_EQ(copyTable(fields, s), c.outcome);
        auto last = recorder_.events.rbegin();
        while (last != recorder_.events.rend() && (*last == "idle" || *last == "beep"))
            ++last;
        EXPECT_EQ(*last, c.lastEvent);
        EXPECT_EQ(onServer(), c.onServer);
    }
}

TEST_F(ShortTablesTest, MigrateFailsAShortTableUnlessAccepted) {
    struct Case {
        std::string file;
        bool accept;
        Outcome outcome;
        std::int64_t rowsRead;
        std::int64_t recorded;  // the rows the definition records
    };
    const Case cases[] = {{"short", false, Outcome::kFailed, 4, 6},
                          {"lost", false, Outcome::kFailed, 0, 6},
                          {"short", true, Outcome::kDone, 4, 6},
                          {"stale", false, Outcome::kDone, 6, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + (c.accept ? " accepted" : ""));
        MigrateFields fields;
        fields.dbPath = path(c.file);
        fields.replace = true;
        fields.verify = true;
        fields.connection = scott();
        fields.acceptShortTables = c.accept;
        MigrateProgress quiet;
        MigrateReport report;
        auto s = services();
        EXPECT_EQ(migrateDatabase(fields, s, quiet, report), c.outcome);
        ASSERT_EQ(report.tables.size(), 1u);
        const TableOutcome& t = report.tables[0];
        const bool ok = c.outcome == Outcome::kDone;
        EXPECT_EQ(t.result,
                  ok ? "ok" : jet::shortTableMessage(path(c.file), "T1", c.rowsRead, c.recorded));
        EXPECT_EQ(t.rowsRead, c.rowsRead);
        EXPECT_EQ(t.rowsOnServer, c.rowsRead);
        EXPECT_EQ(t.rowsVerified, ok ? c.rowsRead : 0);
        EXPECT_EQ(t.notes, Strings{"定義の行数 " + std::to_string(c.recorded) + " と読めた行数 " +
                                   std::to_string(c.rowsRead) + " が異なります"});
    }
}

// Through malvorn-cli: exit status, and what it says and reports; the copy
// in batches only here.
TEST_F(ShortTablesTest, CommandLineFailsUnlessAccepted) {
    scott_->execute("CREATE TABLE T1 (CODE NUMBER(10), NAME VARCHAR2(20))");
    const Strings login{"--user", "scott", "--password", "tiger", "--service", folder()};
    const std::string report = dir_.path() + "/report.json";
    struct Case {
        std::string what;
        Strings words;  // the login is added to copy and migrate
        int status;
        std::string said;  // in stderr, or in the report when --report is given
    };
    const std::string shortFile = path("short");
    const std::string shortMessage = jet::shortTableMessage(shortFile, "T1", 4, 6);
    const std::string warning = jet::rowCountWarning(shortFile, "T1", 4, 6);
    const Case cases[] = {
        {"inserts", {"inserts", shortFile, "T1"}, 1, shortMessage},
        {"inserts accepted", {"inserts", shortFile, "T1", "--accept-short-tables"}, 0, warning},
        {"inserts stale",
         {"inserts", path("stale"), "T1"},
         0,
         jet::rowCountWarning(path("stale"), "T1", 6, 1)},
        {"copy in batches", {"copy", shortFile, "T1", "--clear", "--bulk"}, 1, shortMessage},
        {"copy in batches accepted",
         {"copy", shortFile, "T1", "--clear", "--bulk", "--accept-short-tables"},
         0,
         warning},
        {"migrate accepted",
         {"migrate", shortFile, "--replace", "--verify", "--accept-short-tables", "--report",
          report},
         0,
         "定義の行数 6 と読めた行数 4 が異なります"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(report);
        Strings words = c.words;
        if (words[0] != "inserts")
            words.insert(words.end(), login.begin(), login.end());
        const CommandRun run = runProgram(MALVORN_CLI, words);
        EXPECT_EQ(run.status, c.status) << run.err;
        const std::string said = words[0] == "migrate" ? readWholeFile(report) : run.err;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
}

}  // namespace
}  // namespace malvorn::core
