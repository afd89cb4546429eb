// The read-back over the local server: files whose rows are stored out of key
// order (sorted through spill files), keyless
// tables changed behind the migration's back, duplicate rows as a multiset.
#include "core/migrate_verify.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "migrate_fixture.h"

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

class VerifyTest : public MigrateFixture {
  protected:
    void SetUp() override {
        MigrateFixture::SetUp();
        std::filesystem::create_directory(spill());
    }
    std::string spill() const { return dir_.path() + "/spill"; }
    bool spillLeftEmpty() const { return std::filesystem::is_empty(spill()); }

    Outcome migrate(const std::vector<JetBuildTable>& tables, bool verify, std::size_t budget) {
        path_ = write(tables);
        return MigrateFixture::migrate(path_, Ask{.replace = true,
                                                  .oracleSafe = true,
                                                  .verify = verify,
                                                  .verifyLimits = {budget, spill()}});
    }

    VerifyResult verify(std::size_t budget) {
        const auto source = jet::openJetFileHere(path_);
        return verifyTable(*scott_, *source, source->readTable("T"), true, {budget, spill()});
    }

    std::string path_;
};

// The first row that differs is named, sorted through spill files when the
// file's order is not the key's.
TEST_F(VerifyTest, KeyOrderNamesTheFirstDifference) {
    struct Case {
        Strings key;
        bool shuffled;
        const char* change;
        const char* difference;
    };
    const Strings k = {"K"}, codeK = {"CODE", "K"};
    const Case cases[] = {
        {k, true, "UPDATE T SET NAME = 'x' WHERE K = -498",
         "3 行目の NAME: Jet n-498 / サーバー x"},
        {k, true, "UPDATE T SET \"WHEN\" = \"WHEN\" + 1 WHERE K = 499",
         "1000 行目の WHEN: Jet 2010-11-17 06:00:00 / サーバー 2010-11-18 06:00:00"},
        {k, false, "UPDATE T SET NAME = NULL WHERE K = -500",
         "1 行目の NAME: Jet n-500 / サーバー NULL"},
        {k, false, "UPDATE T SET K = 1000 WHERE K = 499", "1000 行目の K: Jet 499 / サーバー 1000"},
        {k, false, "UPDATE T SET \"WHEN\" = \"WHEN\" + 1/86400 WHERE K = -500",
         "1 行目の WHEN: Jet 2008-02-22 06:00:00 / サーバー 2008-02-22 06:00:01"},
        {k, false, "DELETE FROM T WHERE K = 499", "1000 行目以降がサーバーにありません"},
        {codeK, true, "UPDATE T SET NAME = 'x' WHERE CODE = 'c-1' AND K = -498",
         "1 行目の NAME: Jet n-498 / サーバー x"},
        {codeK, true, "INSERT INTO T (K, CODE, NAME) VALUES (1000, 'c9', 'extra')",
         "サーバーに Jet より多くの行があります"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        ASSERT_EQ(migrate({keyedTable(c.key, c.shuffled)}, false, kInMemory), Outcome::kDone);
        scott_->execute(c.change);
        const VerifyResult result = verify(4096);
        EXPECT_EQ(result.difference.value_or("none"), c.difference);
        EXPECT_EQ(std::tie(result.method, result.sorted),
                  std::tuple(VerifyMethod::kKeyOrder, c.shuffled));
        EXPECT_EQ(result.spilledRuns > 0, c.shuffled);
        EXPECT_LE(result.spilledRuns, kRows);
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
        {"a number changed in its last digit",
         {"UPDATE T SET AMOUNT = -0.00000010000001 WHERE K = 3"},
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

}  // namespace
}  // namespace malvorn::core
