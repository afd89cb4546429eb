// The read-back over the local server: files whose rows are stored out of key
// order (sorted in memory, through spill files, through merge passes), keyless
// tables changed behind the migration's back, duplicate rows as a multiset.
#include "core/migrate_verify.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/migrate.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "localserver/server_fixture.h"
#include "support/local_migration.h"
#include "support/scripted_messages.h"

namespace malvorn::core {
namespace {

using testing::JetBuildField;
using testing::JetBuildTable;

constexpr int kRows = 1000;
constexpr std::size_t kInMemory = std::size_t{64} << 20;

JetBuildField field(const std::string& name, int type, int size = 20) {
    return {.name = name, .type = type, .size = size, .allowZeroLength = true};
}

// K runs from -500 to 499; CODE is "c" and K's remainder by 7 (negative for a
// negative K), so text order and number order differ. `shuffled` stores the
// rows in a scattered order (a step coprime to the row count).
JetBuildTable keyedTable(const std::vector<std::string>& key, bool shuffled) {
    JetBuildTable table{
        "T", {field("K", 4), field("CODE", 10), field("NAME", 10), field("WHEN", 8)}, {}, {}};
    table.indexes.push_back({"PrimaryKey", key, true});
    for (int i = 0; i < kRows; ++i) {
        const std::int64_t k = (shuffled ? (i * 7919) % kRows : i) - kRows / 2;
        table.rows.push_back(
            {k, "c" + std::to_string(k % 7), "n" + std::to_string(k), 40000.25 + k});
    }
    return table;
}

class VerifyTest : public localserver::ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        std::filesystem::create_directory(spill());
    }
    std::string spill() const { return dir_.path() + "/spill"; }
    bool spillLeftEmpty() const { return std::filesystem::is_empty(spill()); }

    Outcome migrate(const std::vector<JetBuildTable>& tables, bool verify, std::size_t budget) {
        path_ = dir_.path() + "/db.mdb";
        std::filesystem::remove(path_);
        testing::writeJetFile(path_, tables);
        MigrateFields fields;
        fields.dbPath = path_;
        fields.connection = {"scott", "tiger", folder()};
        fields.oracleSafe = true;
        fields.replace = true;
        fields.verify = verify;
        fields.verifyLimits = {budget, spill()};
        Services services = localMigrationServices(messages_, front_);
        MigrateProgress quiet;
        report_ = {};
        return migrateDatabase(fields, services, quiet, report_);
    }

    VerifyResult verify(std::size_t budget) {
        const auto source = jet::openJetFileHere(path_);
        return verifyTable(*scott_, *source, source->readTable("T"), true, {budget, spill()});
    }

    std::unique_ptr<oracle::Session> scott_;
    ScriptedMessages messages_;
    Front front_;
    MigrateReport report_;
    std::string path_;
};

TEST_F(VerifyTest, KeyOrderSortsTheFileWhenItsOrderIsNotTheKeys) {
    struct Case {
        const char* name;
        std::vector<std::string> key;
        bool shuffled;
        std::size_t budget;
        std::vector<std::string> changes;
        const char* difference;  // "none" when the rows agree
        bool sorted;
        std::size_t minRuns;  // spill files written, at least
        std::size_t maxRuns;  // and at most
    };
    const Case cases[] = {
        {"file in key order", {"K"}, false, 1024, {}, "none", false, 0, 0},
        {"scattered, sorted in memory", {"K"}, true, kInMemory, {}, "none", true, 0, 0},
        {"scattered, spilled", {"K"}, true, 16 * 1024, {}, "none", true, 2, 32},
        {"scattered, merged in passes", {"K"}, true, 1024, {}, "none", true, 33, kRows},
        {"scattered, value changed",
         {"K"},
         true,
         4096,
         {"UPDATE T SET NAME = 'x' WHERE K = -498"},
         "3 行目の NAME: Jet n-498 / サーバー x",
         true,
         1,
         kRows},
        {"scattered, date changed",
         {"K"},
         true,
         4096,
         {"UPDATE T SET \"WHEN\" = \"WHEN\" + 1 WHERE K = 499"},
         "1000 行目の WHEN: Jet 2010-11-17 06:00:00 / サーバー 2010-11-18 06:00:00",
         true,
         1,
         kRows},
        {"in key order, last row gone",
         {"K"},
         false,
         4096,
         {"DELETE FROM T WHERE K = 499"},
         "1000 行目以降がサーバーにありません",
         false,
         0,
         0},
        {"text and number key, first row changed",
         {"CODE", "K"},
         true,
         4096,
         {"UPDATE T SET NAME = 'x' WHERE CODE = 'c-1' AND K = -498"},
         "1 行目の NAME: Jet n-498 / サーバー x",
         true,
         1,
         kRows},
        {"text and number key, a row too many",
         {"CODE", "K"},
         true,
         4096,
         {"INSERT INTO T (K, CODE, NAME) VALUES (1000, 'c9', 'extra')"},
         "サーバーに Jet より多くの行があります",
         true,
         1,
         kRows},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(migrate({keyedTable(c.key, c.shuffled)}, false, kInMemory), Outcome::kDone);
        for (const auto& change : c.changes)
            scott_->execute(change);
        const VerifyResult result = verify(c.budget);
        EXPECT_EQ(result.difference.value_or("none"), c.difference);
        EXPECT_EQ(result.method, VerifyMethod::kKeyOrder);
        EXPECT_EQ(result.sorted, c.sorted);
        EXPECT_GE(result.spilledRuns, c.minRuns);
        EXPECT_LE(result.spilledRuns, c.maxRuns);
        if (!result.difference) {
            EXPECT_EQ(result.rowsVerified, kRows);
        }
        EXPECT_TRUE(spillLeftEmpty());
    }
}

TEST_F(VerifyTest, KeylessTablesAreComparedAsAMultisetOfRows) {
    JetBuildTable table{"T", {field("K", 4), field("NAME", 10), field("AMOUNT", 7)}, {}, {}};
    table.rows = {{std::int64_t{1}, "a", 1.5},
                  {std::int64_t{1}, "a", 1.5},
                  {std::int64_t{2}, "b", 0.25},
                  {std::int64_t{3}, std::monostate{}, -1e-7}};
    struct Case {
        const char* name;
        std::vector<std::string> changes;
        const char* difference;
    };
    const char* changed = "キーのない表の行の内容が異なります (全列のチェックサムが不一致)";
    const Case cases[] = {
        {"unchanged", {}, "none"},
        {"rows stored in another order",
         {"DELETE FROM T WHERE K = 1", "INSERT INTO T VALUES (1, 'a', 1.5)",
          "INSERT INTO T VALUES (1, 'a', 1.5)"},
         "none"},
        {"one text changed", {"UPDATE T SET NAME = 'z' WHERE K = 2"}, changed},
        {"a Null filled", {"UPDATE T SET NAME = 'c' WHERE K = 3"}, changed},
        {"a number changed in its last digit",
         {"UPDATE T SET AMOUNT = -0.00000010000001 WHERE K = 3"},
         changed},
        {"a duplicate traded for another row",
         {"DELETE FROM T WHERE K = 1", "INSERT INTO T VALUES (1, 'a', 1.5)",
          "INSERT INTO T VALUES (2, 'b', 0.25)"},
         changed},
        {"a row gone", {"DELETE FROM T WHERE K = 3"}, "行数が異なります (Jet 4 / サーバー 3)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(migrate({table}, false, kInMemory), Outcome::kDone);
        for (const auto& change : c.changes)
            scott_->execute(change);
        const VerifyResult result = verify(kInMemory);
        EXPECT_EQ(result.method, VerifyMethod::kChecksum);
        EXPECT_EQ(result.difference.value_or("none"), c.difference);
        EXPECT_EQ(result.rowsVerified, result.difference ? 0 : 4);
    }
}

TEST_F(VerifyTest, TheReportSaysHowEachTableWasCheckedAndTheSpillFilesGo) {
    JetBuildTable keyless{"Loose", {field("K", 4), field("NAME", 10)}, {}, {}};
    for (int i = 0; i < 50; ++i)
        keyless.rows.push_back({std::int64_t{i % 5}, "same"});
    ASSERT_EQ(migrate({keyedTable({"K"}, true), keyless}, true, 4096), Outcome::kDone);
    ASSERT_EQ(report_.tables.size(), 2u);
    EXPECT_EQ(report_.tables[0].verifiedBy, "checksum");  // "Loose" comes first by name
    EXPECT_EQ(report_.tables[0].rowsVerified, 50);
    EXPECT_EQ(report_.tables[1].verifiedBy, "key order");
    EXPECT_EQ(report_.tables[1].rowsVerified, kRows);
    EXPECT_TRUE(spillLeftEmpty());
}

}  // namespace
}  // namespace malvorn::core
