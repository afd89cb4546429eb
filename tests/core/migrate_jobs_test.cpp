// Tables migrated side by side: the pool hands every table out once, the
// turns keep the file's order, and over the local server N jobs end as one
// does (report, schema, journal); a failing table loses no other table's
// result; a stop ends every job and the journal takes the run up again.
#include "core/migrate_jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "migrate_fixture.h"

namespace malvorn::core {
namespace {

using testing::JetBuildTable;

TEST(MigrateJobs, EveryIndexRunsOnceAndTurnsKeepTheOrder) {
    struct Case {
        const char* name;
        std::size_t jobs;
        std::size_t count;
        std::size_t throwAt;    // count: nothing throws
        std::size_t stopAfter;  // no index starts once this many have started
    };
    const Case cases[] = {
        {"one job", 1, 10, 10, 10},         {"more jobs than tables", 8, 3, 3, 3},
        {"four jobs", 4, 40, 40, 40},       {"a throwing table", 3, 20, 7, 20},
        {"stopped part way", 3, 20, 20, 9}, {"stopped before the first", 2, 5, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TableTurns turns;
        std::mutex lock;
        std::vector<std::size_t> inTurn;
        std::vector<int> runs(c.count, 0);
        std::size_t handedOut = 0;  // more() is asked under the pool's lock, once a table
        const auto work = [&](std::size_t, std::size_t index) {
            TableTurn turn(&turns, index);
            {
                const std::lock_guard guard(lock);
                inTurn.push_back(index);
                ++runs[index];
            }
            turn.pass();
            if (index == c.throwAt)
                throw std::runtime_error("table " + std::to_string(index));
        };
        const auto more = [&] { return handedOut++ < c.stopAfter; };
        if (c.throwAt < c.count)
            EXPECT_THROW(runJobs(c.jobs, c.count, more, work), std::runtime_error);
        else
            runJobs(c.jobs, c.count, more, work);
        for (std::size_t i = 0; i < inTurn.size(); ++i)
            EXPECT_EQ(inTurn[i], i);
        const std::size_t ran = inTurn.size();
        for (std::size_t i = 0; i < c.count; ++i)
            EXPECT_EQ(runs[i], i < ran ? 1 : 0) << i;
        if (c.throwAt == c.count)
            EXPECT_EQ(ran, std::min(c.count, c.stopAfter));
        else
            EXPECT_GT(ran, c.throwAt);  // the throw stops new tables only
    }
}

JetBuildTable numbered(const std::string& name, int rows, bool keyed = true) {
    JetBuildTable table{name, {{.name = "ID", .type = 4}, {.name = "NAME", .type = 10}}, {}, {}};
    if (keyed)
        table.indexes.push_back({"PrimaryKey", {"ID"}, true});
    for (int i = rows; i >= 1; --i)  // stored against the key's order
        table.rows.push_back({std::int64_t{i}, "n" + std::to_string(i)});
    return table;
}

// Wants a stop once any table has copied `after` rows.
class StopAfter : public MigrateProgress {
  public:
    explicit StopAfter(std::int64_t after) : after_(after) {}
    void tableRowsCopied(const std::string&, std::int64_t done, std::int64_t) override {
        if (done >= after_)
            wanted = true;
    }
    std::atomic<bool> wanted = false;

  private:
    std::int64_t after_;
};

class MigrateJobsTest : public MigrateFixture {
  protected:
    void SetUp() override {
        MigrateFixture::SetUp();
        write({numbered("A", 900), numbered("B", 1500, false), numbered("C", 300),
               numbered("D", 1200)});
    }

    Outcome migrate(std::size_t jobs, MigrateProgress& progress, bool resume = false,
                    StopRequested stop = {}) {
        MigrateFields fields = Ask{.replace = !resume,
                                   .oracleSafe = true,
                                   .verify = true,
                                   .journalPath = dir_.path() + "/journal"}
                                   .fields();
        fields.resume = resume;
        fields.jobs = jobs;
        fields.stopRequested = std::move(stop);
        return MigrateFixture::migrate(dir_.path() + "/db.mdb", fields, &progress);
    }

    std::vector<std::string> summary() const {
        std::vector<std::string> out;
        for (const auto& t : report_.tables)
            out.push_back(t.table + " " + std::to_string(t.rowsRead) + " " +
                          std::to_string(t.rowsVerified) + " " + t.verifiedBy + " " + t.result);
        return out;
    }
};

TEST_F(MigrateJobsTest, AnyNumberOfJobsEndsAsOneJobAndAFailingTableFailsAlone) {
    const std::vector<std::string> expected = {"A 900 900 key order ok", "B 1500 1500 checksum ok",
                                               "C 300 300 key order ok",
                                               "D 1200 1200 key order ok"};
    std::vector<std::string> schemaOfOneJob;
    MigrateProgress quiet;
    for (const std::size_t jobs : {1, 2, 4}) {
        SCOPED_TRACE(jobs);
        ASSERT_EQ(migrate(jobs, quiet), Outcome::kDone);
        EXPECT_EQ(summary(), expected);
        const auto schema = rows(*scott_,
                                 "SELECT CONSTRAINT_NAME, TABLE_NAME FROM USER_CONSTRAINTS "
                                 "ORDER BY CONSTRAINT_NAME");
        EXPECT_EQ(schema.size(), 3u);  // the three keys
        if (jobs == 1)
            schemaOfOneJob = schema;
        EXPECT_EQ(schema, schemaOfOneJob);
    }
    // A failing table loses no other table's result: C made a view, which
    // no rule of this run may replace.
    scott_->execute("DROP TABLE C");
    scott_->execute("CREATE VIEW C AS SELECT 1 AS ID FROM DUAL");
    ASSERT_EQ(migrate(3, quiet), Outcome::kFailed);
    ASSERT_EQ(report_.tables.size(), 4u);
    for (const auto& t : report_.tables) {
        SCOPED_TRACE(t.table);
        EXPECT_EQ(t.ok, t.table != "C");
        EXPECT_EQ(t.rowsVerified, t.table == "C" ? 0 : t.rowsRead);
    }
}

TEST_F(MigrateJobsTest, AStopEndsEveryJobAndTheJournalTakesTheRunUp) {
    for (const std::size_t jobs : {2, 4}) {
        SCOPED_TRACE(jobs);
        StopAfter stop(250);
        ASSERT_EQ(migrate(jobs, stop, false, [&] { return stop.wanted.load(); }),
                  Outcome::kInterrupted);
        EXPECT_TRUE(report_.interrupted);
        bool anyInterrupted = false;
        for (const auto& t : report_.tables)
            anyInterrupted = anyInterrupted || t.interrupted;
        EXPECT_TRUE(anyInterrupted);
        MigrateProgress quiet;
        ASSERT_EQ(migrate(jobs, quiet, true), Outcome::kDone);
        const std::vector<std::int64_t> held = {900, 1500, 300, 1200};
        ASSERT_EQ(report_.tables.size(), held.size());
        for (std::size_t i = 0; i < held.size(); ++i) {
            EXPECT_EQ(report_.tables[i].rowsVerified, held[i]) << report_.tables[i].table;
            EXPECT_EQ(scott_->queryValue("SELECT COUNT(*) FROM " + report_.tables[i].table),
                      std::to_string(held[i]));
        }
    }
}

}  // namespace
}  // namespace malvorn::core
