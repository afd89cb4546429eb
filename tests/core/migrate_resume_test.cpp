// A migration stopped part way and taken up again from its journal: every
// way the server and the journal can disagree after a stop ends with each
// row once, read back clean; a changed file or other rules are refused.
#include <gtest/gtest.h>

#include <functional>

#include "base/files.h"
#include "core/migrate_journal.h"
#include "migrate_fixture.h"

namespace malvorn::core {
namespace {

using testing::JetBuildTable;

JetBuildTable numberedTable(const std::string& name, int rows) {
    JetBuildTable table{name, {{.name = "ID", .type = 4}, {.name = "NAME", .type = 10}}, {}, {}};
    table.indexes.push_back({"pkkey", {"ID"}, true});
    for (int i = 1; i <= rows; ++i)
        table.rows.push_back({std::int64_t{i}, "n" + std::to_string(i)});
    return table;
}

const std::vector<JetBuildTable> kTables = {numberedTable("A", 2500), numberedTable("B", 1200)};

// Counts the rows copied over all tables; the stop is wanted from `after`.
class StopAfter : public MigrateProgress {
  public:
    explicit StopAfter(std::int64_t after) : after_(after) {}
    void tableFinished(const TableOutcome& outcome) override { earlier_ += outcome.rowsRead; }
    void rowsCopied(std::int64_t done, std::int64_t) override { seen_ = earlier_ + done; }
    bool wanted() const { return seen_ >= after_; }

  private:
    std::int64_t after_;
    std::int64_t earlier_ = 0;
    std::int64_t seen_ = 0;
};

// Where each table's copy began: "A@1500" for table A going on after row 1500.
class Starts : public MigrateProgress {
  public:
    void tableStarted(const std::string& table, std::size_t, std::size_t) override {
        table_ = table;
    }
    void rowsCopied(std::int64_t done, std::int64_t) override {
        if (!table_.empty())
            starts.push_back(table_ + "@" + std::to_string(done));
        table_.clear();
    }
    std::vector<std::string> starts;

  private:
    std::string table_;
};

class MigrateResumeTest : public MigrateFixture {
  protected:
    void SetUp() override {
        MigrateFixture::SetUp();
        write(kTables);
    }
    std::string dbPath() const { return dir_.path() + "/db.mdb"; }
    std::string journalPath() const { return dir_.path() + "/journal.json"; }

    Outcome run(MigrateFields fields, MigrateProgress& progress) {
        fields.journalPath = journalPath();
        return migrate(dbPath(), fields, &progress);
    }

  public:
    MigrateJournal journal() const {
        return parseJournal(base::readFileBytes(journalPath()), journalPath());
    }
    void rewriteJournal(const std::function<void(MigrateJournal&)>& change) {
        MigrateJournal j = journal();
        change(j);
        base::writeFileAtomically(journalPath(), journalJson(j));
    }

  protected:
    std::string count(const std::string& table) {
        return scott_->queryValue("SELECT COUNT(*) || '/' || COUNT(DISTINCT ID) FROM " + table)
            .value_or("none");
    }
};

struct ResumeCase {
    const char* name;
    std::size_t bulkBatch;
    std::int64_t stopAfter;
    bool verifyFirst;  // the stopped run read its tables back
    // What happened between the stop and the resume; empty: nothing.
    std::function<void(MigrateResumeTest&, oracle::Session&)> meanwhile;
    const char* noteOnA;              // the note the resumed run gives table A ("" for none)
    std::vector<std::string> starts;  // where the resumed run began each table it copied
};

using Meanwhile = std::function<void(MigrateResumeTest&, oracle::Session&)>;
// A kill inside `phase` of table A: the journal says so, the server holds
// what the stop left.
Meanwhile killedIn(TablePhase phase) {
    return [phase](MigrateResumeTest& t, oracle::Session&) {
        t.rewriteJournal([phase](MigrateJournal& j) { j.tables[0].phase = phase; });
    };
}
// Killed between two writes: the journal counts fewer rows of A than the server holds.
Meanwhile journalAt(std::int64_t rows) {
    return [rows](MigrateResumeTest& t, oracle::Session&) {
        t.rewriteJournal([rows](MigrateJournal& j) { j.tables[0].rows = rows; });
    };
}
Meanwhile onServer(const std::string& statement) {
    return [statement](MigrateResumeTest&, oracle::Session& s) { s.execute(statement); };
}

TEST_F(MigrateResumeTest, EveryStopEndsWithEachRowOnceAndReadBackClean) {
    const Strings both = {"A@0", "B@0"};
    const ResumeCase cases[] = {
        {"row by row, in the first table", 0, 1500, false, {}, "", {"A@1500", "B@0"}},
        {"in batches, in the second table",
         100,
         3000,
         true,
         {},
         "前回の移行で済んでいます (ジャーナル)",
         {"B@500"}},
        {"journal behind the server", 0, 1500, false, journalAt(1000), "", {"A@1500", "B@0"}},
        {"rows gone from the server: copied anew", 100, 1500, true,
         onServer("DELETE FROM A WHERE ID > 1490"), "", both},
        {"killed while making the table", 0, 10, false, killedIn(TablePhase::kCreating), "", both},
        {"killed while emptying the table", 0, 700, false, killedIn(TablePhase::kClearing), "",
         both}};
    for (const ResumeCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& table : rows(*scott_, "SELECT TABLE_NAME FROM USER_TABLES"))
            scott_->execute("DROP TABLE " + table);
        MigrateFields fields =
            Ask{.oracleSafe = true, .verify = c.verifyFirst, .bulkBatch = c.bulkBatch}.fields();
        StopAfter stop(c.stopAfter);
        fields.stopRequested = [&stop] { return stop.wanted(); };
        ASSERT_EQ(run(fields, stop), Outcome::kInterrupted);
        EXPECT_TRUE(report_.interrupted);
        EXPECT_TRUE(report_.tables.back().interrupted);
        EXPECT_TRUE(journal().interrupted);
        const JournalTable last = journal().tables.back();
        EXPECT_EQ(last.phase, TablePhase::kCopying);
        // Stopped at a boundary: the journal's count is the server's.
        EXPECT_EQ(count(last.table), std::to_string(last.rows) + "/" + std::to_string(last.rows));
        EXPECT_EQ(report_.tables.back().rowsRead, last.rows);
        if (c.meanwhile)
            c.meanwhile(*this, *scott_);

        fields.stopRequested = {};
        fields.resume = true;
        fields.verify = true;
        Starts resumed;
        ASSERT_EQ(run(fields, resumed), Outcome::kDone) << report_.tables[0].result;
        EXPECT_EQ(resumed.starts, c.starts);
        EXPECT_EQ(count("A"), "2500/2500");
        EXPECT_EQ(count("B"), "1200/1200");
        EXPECT_EQ(report_.tables[0].rowsVerified, 2500);
        EXPECT_EQ(report_.tables[1].rowsVerified, 1200);
        EXPECT_EQ(report_.tables[0].notes.empty() ? "" : report_.tables[0].notes[0],
                  std::string(c.noteOnA));
        EXPECT_EQ(journal().tables[0].phase, TablePhase::kVerified);
    }
}

// Stopped after the last row, before the read-back: the table stays copied
// in the journal, and the resumed run only reads it back.
TEST_F(MigrateResumeTest, AStopBeforeTheReadBackLeavesTheTableCopied) {
    MigrateFields fields;
    fields.verify = true;
    StopAfter stop(3700);
    fields.stopRequested = [&stop] { return stop.wanted(); };
    ASSERT_EQ(run(fields, stop), Outcome::kInterrupted);
    EXPECT_EQ(report_.tables[1].result, "中断 (1200 行目まで)");
    EXPECT_EQ(report_.tables[1].rowsVerified, 0);
    EXPECT_EQ(journal().tables[0].phase, TablePhase::kVerified);
    EXPECT_EQ(journal().tables[1].phase, TablePhase::kCopied);
    EXPECT_EQ(journal().tables[1].rows, 1200);
    fields.stopRequested = {};
    fields.resume = true;
    Starts resumed;
    ASSERT_EQ(run(fields, resumed), Outcome::kDone);
    EXPECT_EQ(resumed.starts, (std::vector<std::string>{"B@1200"}));
    EXPECT_EQ(report_.tables[1].rowsVerified, 1200);
    EXPECT_EQ(count("B"), "1200/1200");
}

TEST_F(MigrateResumeTest, AChangedFileOtherRulesOrNoJournalAreRefusedUntouched) {
    MigrateFields fields;
    fields.oracleSafe = true;
    StopAfter stop(100);
    fields.stopRequested = [&stop] { return stop.wanted(); };
    ASSERT_EQ(run(fields, stop), Outcome::kInterrupted);
    fields.stopRequested = {};
    fields.resume = true;
    const std::string kept = base::readFileBytes(journalPath());
    const struct {
        const char* name;
        std::function<void(MigrateFields&)> change;
        std::string message;
    } cases[] = {
        {"the file written again",
         [this](MigrateFields&) { testing::writeJetFile(dbPath(), {numberedTable("A", 2500)}); },
         "データベースファイルが前回の移行のあとで変わっているため再開できません: " + dbPath()},
        {"the other rules", [](MigrateFields& f) { f.oracleSafe = false; },
         "ジャーナル " + journalPath() +
             " の移行は --oracle-safe 付きでした。同じ指定で再開してください"},
        {"no journal", [this](MigrateFields&) { std::filesystem::remove(journalPath()); },
         "ジャーナルがありません: " + journalPath()},
        {"a damaged journal",
         [this, &kept](MigrateFields&) {
             base::writeFileAtomically(journalPath(), kept.substr(0, 40));
         },
         "ジャーナルが壊れています: " + journalPath() + " (40 バイト目)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::writeJetFile(dbPath(), kTables);
        base::writeFileAtomically(journalPath(), kept);
        MigrateFields changed = fields;
        c.change(changed);
        messages_.shown.clear();
        MigrateProgress quiet;
        EXPECT_EQ(run(changed, quiet), Outcome::kRefused);
        ASSERT_EQ(messages_.shown.size(), 1u);
        EXPECT_EQ(messages_.shown[0].text, c.message);
        EXPECT_EQ(count("A"), "100/100");
    }
}

TEST(MigrateJournalText, ReadsBackWhatItWritesAndRefusesAnythingElse) {
    MigrateJournal j{"/d/\"x\"\n日本.mdb", {123, -5, "ab01"}, true, true, {}};
    j.set({"表 1", TablePhase::kCopying, 4000});
    j.set({"B", TablePhase::kVerified, 7});
    j.set({"表 1", TablePhase::kCopied, 4500});  // replaces, keeps the order
    const MigrateJournal back = parseJournal(journalJson(j), "j");
    EXPECT_EQ(back.database, j.database);
    EXPECT_EQ(back.file, j.file);
    EXPECT_TRUE(back.oracleSafe && back.interrupted);
    ASSERT_EQ(back.tables.size(), 2u);
    EXPECT_EQ(back.tables[0].table, "表 1");
    EXPECT_EQ(back.tables[0].phase, TablePhase::kCopied);
    EXPECT_EQ(back.tables[0].rows, 4500);
    EXPECT_EQ(back.find("B")->phase, TablePhase::kVerified);
    EXPECT_EQ(back.find("C"), nullptr);
    const std::string good = journalJson(j);
    for (const std::string& bad :
         {std::string(), good.substr(0, good.size() / 2), good + "x",
          std::string(R"({"version": 2, "database": "d"})"), std::string(R"({"database": "d"})"),
          std::string(R"({"version": 1, "database": "d", "tables": [{"phase": "done"}]})"),
          std::string(R"({"version": 1, "database": "d", "other": 1})")}) {
        EXPECT_THROW(parseJournal(bad, "j"), JournalError) << bad;
    }
}

}  // namespace
}  // namespace malvorn::core
