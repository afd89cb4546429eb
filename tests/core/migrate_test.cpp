// Whole-database migration from built Jet files to the local server: the Oracle-safe rules,
// a refused table among good ones, existing tables, a table that stops at a row, and the
// views step.
#include "core/migrate.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_system.h"
#include "base/files.h"
#include "convert/table_script.h"
#include "migrate_fixture.h"
#include "name_rules.h"

namespace malvorn::core {
namespace {

using testing::JetBuildField;
using testing::JetBuildQuery;
using testing::JetBuildTable;
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

using MigrateTest = MigrateFixture;

TEST_F(MigrateTest, OracleSafeMovesEveryShapeAndReadsEveryValueBack) {
    const std::string memo(100 * 1024, 'm');
    const std::string ole(5000, '\x7f');
    // Nine characters in ten UTF-16 units (the last past U+FFFF), 28 bytes.
    const std::string japanese = "日本語のテキスト\xF0\xA0\xAE\xB7";
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
    ASSERT_EQ(migrate(write({every, ab1, ab2}), Ask{.oracleSafe = true, .verify = true}),
              Outcome::kDone)
        << ::testing::PrintToString(results());
    for (const auto& t : report_.tables)
        EXPECT_EQ(t.rowsVerified, t.rowsRead) << t.table;
    EXPECT_EQ(report_.tables[2].rowsRead, 2);  // the tables go in name order
    EXPECT_EQ(rows(*scott_, "SELECT CONSTRAINT_NAME FROM USER_CONSTRAINTS ORDER BY 1"),
              (Strings{"PKA_B", "PKA_B_2", "PKEVERY_TYPE"}));
    EXPECT_EQ(rows(*scott_,
                   "SELECT LENGTH(Memo), LENGTH(\"名前\"), LENGTH(Picture), "
                   "Flag, \"Level\" FROM \"Every Type\" WHERE \"Order ID\" = 1"),
              (Strings{"102400|9|5000|-1|0.0000001"}));
    EXPECT_EQ(rows(*scott_, "SELECT \"名前\" FROM \"Every Type\" WHERE \"Order ID\" = 1"),
              (Strings{japanese}));
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
    const std::string path = write({plainTable("AAA", 3), pictures, plainTable("ZZZ", 2)});
    EXPECT_EQ(migrate(path, Ask{.sqlFolder = sql, .verify = true}), Outcome::kFailed);
    EXPECT_EQ(results(), (Strings{"AAA: ok", "PICS: ORA-00902: invalid datatype", "ZZZ: ok"}));
    EXPECT_FALSE(report_.tables[1].rowsOnServer.has_value());
    EXPECT_EQ(report_.tables[2].rowsVerified, 2);
    const auto source = jet::openJetFileHere(path);
    for (const char* table : {"AAA", "PICS"}) {
        const auto expected = convert::fMakeTableSQL(source->readTable(table), {"indx", "users"},
                                                     convert::ScriptDate{2024, 5, 6});
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
    const std::string path = write({plainTable("t", 3)});
    ASSERT_EQ(migrate(path, Ask{}), Outcome::kDone);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        scott_->execute("INSERT INTO T (CODE, NAME) VALUES (99, 'kept')");
        migrate(path, Ask{.replace = c.replace, .clear = c.clear});
        EXPECT_EQ(report_.tables[0].result, c.result);
        EXPECT_EQ(scott_->queryValue("SELECT COUNT(*) FROM T"), c.held);
        scott_->execute("DELETE FROM T WHERE CODE = 99");
    }
}

// Typed text that would change a statement: a tablespace refuses the run; a
// table's name fails that table, under either rules, before its DELETE.
TEST_F(MigrateTest, TypedNamesThatWouldChangeAStatementAreRefused) {
    scott_->execute("CREATE TABLE T1 (CODE NUMBER(10), NAME VARCHAR2(20))");
    scott_->execute("INSERT INTO T1 VALUES (1, 'n')");
    const std::string path = write({plainTable("T1", 1)});
    MigrateFields spaced = Ask{.clear = true}.fields();
    spaced.tableTablespace = "users) --";
    EXPECT_EQ(migrate(path, spaced), Outcome::kRefused);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "表領域名「users) --" + kNameRule);
    const struct {
        const char* table;
        bool oracleSafe;
        std::string result;  // how it begins
    } cases[] = {
        {"T1 WHERE CODE = 1", false, "テーブル名「T1 WHERE CODE = 1" + kNameRule},
        {"T\"1", true, "テーブル名「T\"1」の二重引用符"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        EXPECT_EQ(
            migrate(path, Ask{.tables = {c.table}, .clear = true, .oracleSafe = c.oracleSafe}),
            Outcome::kFailed);
        EXPECT_TRUE(table(c.table).result.starts_with(c.result)) << table(c.table).result;
    }
    EXPECT_EQ(rows(*scott_, "SELECT TABLE_NAME FROM USER_TABLES"), Strings{"T1"});
    EXPECT_EQ(rows(*scott_, "SELECT COUNT(*) FROM T1"), Strings{"1"});
}

// Rows 1..rows; row `failing` repeats row 1's code, or with `badDate` has a
// date no statement can carry.
JetBuildTable tableFailingAt(int rows, int failing, bool badDate) {
    JetBuildTable table{"T", {field("CODE", 4), field("NAME", 10, 20), field("UPD", 8)}, {}, {}};
    for (int i = 1; i <= rows; ++i) {
        const bool bad = i == failing;
        table.rows.push_back({std::int64_t{bad && !badDate ? 1 : i}, "n" + std::to_string(i),
                              bad && badDate ? 1.0e7 : 36925.5});
    }
    return table;
}

// A table that stops at a row, one statement per row and in batches: rows
// 1..k-1 stay on the server and nothing after, the report counts the rows
// read up to the one it stopped at, and both paths tell the same.
TEST_F(MigrateTest, RowByRowAndBatchesKeepExactlyTheRowsBeforeAFailedRow) {
    struct Case {
        const char* name;
        int rows;
        int failing;   // the row the copy stops at, from 1
        bool badDate;  // the row has no statement; otherwise the server refuses it
        const char* resultStart;
    };
    const Case cases[] = {
        {"the server refuses the third row", 7, 3, false, "ORA-00001"},
        {"the first row has no statement", 7, 1, true, ""},
    };
    scott_->execute("CREATE TABLE T (CODE NUMBER(10) PRIMARY KEY, NAME VARCHAR2(20), UPD DATE)");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = write({tableFailingAt(c.rows, c.failing, c.badDate)});
        Strings ended;  // each run's rows read, result, and codes held as "count/highest"
        for (const std::size_t batch : {std::size_t{0}, std::size_t{1}, std::size_t{100}}) {
            scott_->execute("DELETE FROM T");  // into the table made above, with its key
            EXPECT_EQ(migrate(path, Ask{.clear = true, .bulkBatch = batch}), Outcome::kFailed);
            const TableOutcome& t = report_.tables.at(0);
            EXPECT_FALSE(t.ok);
            EXPECT_EQ(t.result.rfind(c.resultStart, 0), 0u) << t.result;
            EXPECT_FALSE(t.result.empty());
            ended.push_back(std::to_string(t.rowsRead) + " " + t.result + " " +
                            scott_->queryValue("SELECT COUNT(*) || '/' || NVL(MAX(CODE), 0) FROM T")
                                .value_or("none"));
        }
        const std::string k = std::to_string(c.failing), before = std::to_string(c.failing - 1);
        EXPECT_EQ(ended[0].substr(0, k.size() + 1), k + " ");
        EXPECT_TRUE(ended[0].ends_with(" " + before + "/" + before)) << ended[0];
        EXPECT_EQ(ended, Strings(3, ended[0]));
    }
}

// The views step: after the tables, only under the safe rules for the whole file.
TEST_F(MigrateTest, ViewsAfterTheTablesOnlyUnderTheSafeRulesForTheWholeFile) {
    JetBuildTable codes{"T", {{.name = "CODE", .type = 4}}, {{"pkkey", {"CODE"}, true}}, {}};
    for (std::int64_t i = 1; i <= 3; ++i)
        codes.rows.push_back({i});
    const std::vector<JetBuildQuery> queries = {
        {.name = "Big",
         .rows = {{.attribute = 1, .flag = 1},
                  {.attribute = 5, .name1 = "T"},
                  {.attribute = 6, .expression = "T.CODE", .flag = 0},
                  {.attribute = 8, .expression = "T.CODE>1"}}}};
    const std::string path = write({codes}, "q.mdb", queries);
    ASSERT_EQ(migrate(path, Ask{.replace = true, .oracleSafe = true, .verify = true}),
              Outcome::kDone);
    ASSERT_EQ(report_.views.size(), 1u);
    EXPECT_EQ(std::tie(report_.views[0].query, report_.views[0].status, report_.views[0].rows),
              std::tuple("Big", ViewStatus::kCreated, std::optional<std::int64_t>(2)));
    EXPECT_EQ(rows(*scott_, "SELECT CODE FROM Big ORDER BY 1"), (Strings{"2", "3"}));
    EXPECT_EQ(report_.tables.at(0).result, "ok");
    const Ask noViews[] = {
        {.replace = true, .oracleSafe = true, .views = false},
        {.tables = {"T"}, .replace = true, .oracleSafe = true},
        {.replace = true},
    };
    for (const Ask& fields : noViews) {
        EXPECT_EQ(migrate(path, fields), Outcome::kDone);
        EXPECT_TRUE(report_.views.empty());
    }
}

}  // namespace
}  // namespace malvorn::core
