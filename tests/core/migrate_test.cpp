// Whole-database migration from built Jet files to the local server: the Oracle-safe rules,
// a refused table among good ones, existing tables, and the read-back finding a change.
#include "core/migrate.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_system.h"
#include "base/files.h"
#include "convert/table_script.h"
#include "core/migrate_verify.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "support/local_migrate_test.h"

namespace malvorn::core {
namespace {

using testing::JetBuildField;
using testing::JetBuildIndex;
using testing::JetBuildTable;
using testing::JetBuildValue;
using V = std::monostate;

JetBuildField field(const std::string& name, int type, int size = 50) {
    return {.name = name, .type = type, .size = size, .allowZeroLength = true};
}

// A small table the window's rules take too.
JetBuildTable plainTable(const std::string& name, int rows) {
    JetBuildTable table{name, {field("CODE", 4), field("NAME", 10, 20)}, {}, {}};
    table.indexes.push_back({"pkkey", {"CODE"}, true});
    for (int i = 1; i <= rows; ++i)
        table.rows.push_back({std::int64_t{i}, "n" + std::to_string(i)});
    return table;
}

const convert::ScriptDate kDate{2024, 5, 6};

class MigrateTest : public LocalMigrateTest {
  protected:
    Outcome migrate(const std::vector<JetBuildTable>& tables, MigrateFields fields) {
        path_ = dir_.path() + "/db" + std::to_string(++files_) + ".mdb";
        testing::writeJetFile(path_, tables);
        return migrateFile(path_, fields);
    }

    std::vector<std::string> results() const {
        std::vector<std::string> out;
        for (const auto& t : report_.tables)
            out.push_back(t.table + ": " + t.result);
        return out;
    }

    std::string path_;
    int files_ = 0;
};

TEST_F(MigrateTest, OracleSafeMovesEveryShapeAndReadsEveryValueBack) {
    const std::string memo(100 * 1024, 'm');
    const std::string ole(5000, '\x7f');
    const std::string japanese = "日本語のテキスト十字";  // ten characters, thirty bytes
    const JetBuildField amount{
        .name = "Amount", .type = 20, .allowZeroLength = true, .precision = 12, .scale = 3};
    JetBuildTable every{
        "Every Type",
        {field("Order ID", 4), field("Flag", 1), field("Tiny", 2), field("Small", 3),
         field("Price", 5), field("Ratio", 6), field("Date", 8), field("名前", 10, 10),
         field("Picture", 11), field("Memo", 12), field("Guid", 15), amount, field("Level", 7)},
        {{"City", {"Tiny"}, false}, {"PrimaryKey", {"Order ID"}, true}},
        {}};
    every.rows.push_back({std::int64_t{1}, true, std::int64_t{7}, std::int64_t{-3},
                          std::int64_t{123456}, 0.5, 45000.25, japanese, ole, memo,
                          std::string("{6B29FC40-CA47-1067-B31D-00DD010662DA}"),
                          std::string("-123.456"), 1e-7});
    every.rows.push_back({std::int64_t{2}, false, std::int64_t{7}, V{}, V{}, V{}, V{}, V{}, V{},
                          V{}, V{}, V{}, V{}});
    // Two more tables whose primary index is also called PrimaryKey, and
    // whose names meet once made plain.
    JetBuildTable ab1{"A B", {field("K", 4)}, {{"PrimaryKey", {"K"}, true}}, {{std::int64_t{1}}}};
    JetBuildTable ab2{"A_B", {field("K", 4)}, {{"PrimaryKey", {"K"}, true}}, {{std::int64_t{1}}}};
    MigrateFields fields;
    fields.oracleSafe = true;
    fields.verify = true;
    ASSERT_EQ(migrate({every, ab1, ab2}, fields), Outcome::kDone)
        << ::testing::PrintToString(results());
    for (const auto& t : report_.tables)
        EXPECT_EQ(t.rowsVerified, t.rowsRead) << t.table;
    EXPECT_EQ(report_.tables[2].rowsRead, 2);  // the tables go in name order
    EXPECT_EQ(rows(*scott_, "SELECT CONSTRAINT_NAME FROM USER_CONSTRAINTS ORDER BY 1"),
              (std::vector<std::string>{"PKA_B", "PKA_B_2", "PKEVERY_TYPE"}));
    EXPECT_EQ(rows(*scott_,
                   "SELECT LENGTH(Memo), LENGTH(\"名前\"), LENGTH(Picture), "
                   "Flag, \"Level\" FROM \"Every Type\" WHERE \"Order ID\" = 1"),
              (std::vector<std::string>{"102400|10|5000|-1|0.0000001"}));
    // The memo went in pieces because the server refuses one literal that long.
    EXPECT_EQ(
        oraCode([&] {
            scott_->execute("UPDATE \"Every Type\" SET Memo = '" + std::string(4001, 'm') + "'");
        }),
        "ORA-01704");
    // The key is the marked index, not the first one (both rows share Tiny).
    EXPECT_EQ(
        oraCode([&] { scott_->execute("INSERT INTO \"Every Type\" (\"Order ID\") VALUES (1)"); }),
        "ORA-00001");
}

TEST_F(MigrateTest, WindowRulesReportARefusedTableAndGoOnWithTheScriptsUnchanged) {
    JetBuildTable pictures{"PICS", {field("CODE", 4), field("PIC", 11)}, {}, {}};
    const std::string sql = dir_.path() + "/sql";
    std::filesystem::create_directory(sql);
    MigrateFields fields;
    fields.sqlFolder = sql;
    fields.verify = true;
    EXPECT_EQ(migrate({plainTable("AAA", 3), pictures, plainTable("ZZZ", 2)}, fields),
              Outcome::kFailed);
    EXPECT_EQ(results(), (std::vector<std::string>{"AAA: ok", "PICS: ORA-00902: invalid datatype",
                                                   "ZZZ: ok"}));
    EXPECT_FALSE(report_.tables[1].rowsOnServer.has_value());
    EXPECT_EQ(report_.tables[2].rowsVerified, 2);
    const auto source = jet::openJetFileHere(path_);
    for (const char* table : {"AAA", "PICS"}) {
        const auto expected =
            convert::fMakeTableSQL(source->readTable(table), {"indx", "users"}, kDate);
        EXPECT_EQ(base::readFileBytes(sql + "/" + table + ".sql"), expected.fileForm()) << table;
    }
    EXPECT_TRUE(base::gFso().FileExists(sql + "/CreateTables.sql"));
}

TEST_F(MigrateTest, AnExistingTableIsReplacedClearedOrLeftAsAsked) {
    struct Case {
        bool replace;
        bool clear;
        const char* result;
        const char* held;  // T's rows afterwards: the file's 3, and the row added when left
    };
    const Case cases[] = {
        {false, false, "表が既にあります (--replace で作り直し、--clear で行を入れ替え)", "4"},
        {false, true, "ok", "3"},
        {true, false, "ok", "3"},
    };
    MigrateFields fields;
    ASSERT_EQ(migrate({plainTable("t", 3)}, fields), Outcome::kDone);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        scott_->execute("INSERT INTO T (CODE, NAME) VALUES (99, 'kept')");
        fields.replace = c.replace;
        fields.clear = c.clear;
        migrate({plainTable("t", 3)}, fields);
        EXPECT_EQ(report_.tables[0].result, c.result);
        EXPECT_EQ(scott_->queryValue("SELECT COUNT(*) FROM T"), c.held);
        scott_->execute("DELETE FROM T WHERE CODE = 99");
    }
}

TEST_F(MigrateTest, ReadBackFindsTheFirstValueChangedOnTheServer) {
    JetBuildTable table{"T", {field("K", 4), field("NAME", 10, 20), field("WHEN", 8)}, {}, {}};
    table.indexes.push_back({"PrimaryKey", {"K"}, true});
    for (int i = 1; i <= 3; ++i)
        table.rows.push_back({std::int64_t{i}, "n" + std::to_string(i), 45000.5 + i});
    const std::pair<const char*, const char*> cases[] = {
        // the change, the difference named
        {"UPDATE T SET NAME = 'x' WHERE K = 2", "2 行目の NAME: Jet n2 / サーバー x"},
        {"UPDATE T SET NAME = NULL WHERE K = 1", "1 行目の NAME: Jet n1 / サーバー NULL"},
        {"UPDATE T SET K = 30 WHERE K = 3", "3 行目の K: Jet 3 / サーバー 30"},
        {"UPDATE T SET \"WHEN\" = \"WHEN\" + 1/86400 WHERE K = 1",
         "1 行目の WHEN: Jet 2023-03-16 12:00:00 / サーバー 2023-03-16 12:00:01"},
        {"DELETE FROM T WHERE K = 3", "3 行目以降がサーバーにありません"},
        {"INSERT INTO T (K) VALUES (4)", "サーバーに Jet より多くの行があります"},
    };
    MigrateFields fields;
    fields.oracleSafe = true;
    fields.replace = true;
    for (const auto& [change, difference] : cases) {
        SCOPED_TRACE(change);
        ASSERT_EQ(migrate({table}, fields), Outcome::kDone);
        scott_->execute(change);
        const auto source = jet::openJetFileHere(path_);
        const VerifyResult result = verifyTable(*scott_, *source, source->readTable("T"), true);
        EXPECT_EQ(result.difference.value_or("none"), difference);
    }
}

}  // namespace
}  // namespace malvorn::core
