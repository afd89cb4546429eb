// The copy in batches of bound values on both drivers (the local server and
// SQLite's ODBC driver) and the row-by-row copy of the same rows: every kind
// of value, and the state after a row is refused.
#include <gtest/gtest.h>

#include "app/drivers.h"
#include "copy_fixture.h"
#include "odbc/sqlite_data_source.h"
#include "support/command.h"

namespace malvorn::core {
namespace {

struct Driver {
    const char* name;
    std::string table;  // the server's T1
    Strings held;       // T1's rows after the copy of `everyKind(100 KB)`
};

void PrintTo(const Driver& d, std::ostream* os) {
    *os << d.name;
}

// A memo of `memoBytes` (a literal holds at most 4,000).
std::vector<Row> everyKind(std::size_t memoBytes) {
    std::string memo;
    while (memo.size() < memoBytes)
        memo += "備考memo";
    return {
        {"A1", kTen, std::int64_t{123400}, std::int64_t{-12}, 0.1, -1000.75, memo, true,
         std::string("\x00\xff\x41", 3)},
        {"A2", V{}, V{}, V{}, V{}, V{}, V{}, V{}, V{}},
        {"A3", "O'Neil", std::int64_t{-5}, std::int64_t{2147483647}, 1e-5, 36925.0, "", false,
         std::string()},
    };
}

class BulkCopyTest : public CopyFixture, public ::testing::WithParamInterface<Driver> {
  protected:
    void SetUp() override {
        if (odbc()) {
            SqliteDataSource::instance().reset();
            service_ = SqliteDataSource::kDataSource;
        } else {
            appUser();
            service_ = folder();
        }
        openSession_ = sessionOpener(app::defaultDrivers());
        server_ = openSession_({"scott", "tiger", service_});
        server_->execute(GetParam().table);
    }
    bool odbc() const { return std::string(GetParam().name) == "odbc"; }

    // The copy of `rows` into the emptied T1, one INSERT per row when `batch` is 0.
    Outcome copy(const std::vector<Row>& rows, std::size_t batch) {
        server_->execute("DELETE FROM T1");
        return CopyFixture::copy(rows,
                                 {"T1", jetPath(), false, {"scott", "tiger", service_}, batch});
    }
    Strings held(const char* columns = "*") {
        return rows(*server_, std::string("SELECT ") + columns + " FROM T1 ORDER BY CODE");
    }

    std::string service_;
    std::unique_ptr<oracle::Session> server_;
};

// Every kind of value in batches of two: held as the driver holds it, and as
// the row-by-row copy leaves it where that copy can write every value.
TEST_P(BulkCopyTest, EveryKindOfValueIsStoredAsTheLiteralsStoreIt) {
    ASSERT_EQ(copy(everyKind(100 * 1024), 2), Outcome::kDone) << box();
    EXPECT_EQ(held("CODE, NAME, PRICE, QTY, RATIO, UPD, LENGTH(NOTE), OK, PIC"), GetParam().held);
    EXPECT_NE(std::find(recorder_.events.begin(), recorder_.events.end(), "status 3 / 3"),
              recorder_.events.end());
    if (odbc()) {  // SQLite knows neither TO_DATE nor HEXTORAW; values keep their kinds
        EXPECT_EQ(held("typeof(PRICE), typeof(QTY), typeof(RATIO), typeof(PIC)"),
                  (Strings{"real|integer|real|blob", "integer|integer|real|null",
                           "real|integer|real|blob"}));
        return;
    }
    // Also into a table with a column the copy leaves to its default.
    for (const char* more : {"", ", EXTRA NUMBER DEFAULT 7 NOT NULL"}) {
        server_->execute("DROP TABLE T1");
        std::string create = GetParam().table;
        server_->execute(create.insert(create.size() - 1, more));
        ASSERT_EQ(copy(everyKind(3000), 2), Outcome::kDone) << box();
        const Strings bulk = held();
        ASSERT_EQ(copy(everyKind(3000), 0), Outcome::kDone) << box();
        EXPECT_EQ(held(), bulk);
        EXPECT_EQ(bulk[0].ends_with("|00FF41|7"), *more != '\0') << bulk[0];
    }
}

// A row refused, or one without a value to send, in the middle or at the
// start of a batch: rows 1..k-1 stay, nothing after; the report and the row
// the status line stops at are the row-by-row copy's.
TEST_P(BulkCopyTest, ARefusedRowLeavesExactlyTheRowsBeforeIt) {
    const std::string head = "box ﾃﾞｰﾀｾｯﾄｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：fCopyTableData\rｴﾗｰNo:";
    const std::string unique = head +
                               "-2147467259\r説 明:ORA-00001: unique constraint (SCOTT.PKT1) "
                               "violated\rｴﾗｰｿｰｽ:Malvorn Local Server";
    const auto date = [&](int row) {
        return head +
               "3900\r説 明:日付の値が範囲外のため、SQLに書けません (ファイル: " + jetPath() +
               "、テーブル: T1、行: " + std::to_string(row) + "、列: UPD)\rｴﾗｰｿｰｽ:Malvorn";
    };
    // Keys repeated at other places in a batch (local server): BulkEdges.
    const struct {
        std::size_t batch;
        int failing;  // repeats row 1's key, or with badDate has a date of no year
        bool badDate;
        const char* kept;
        std::string report;
    } cases[] = {
        {.batch = 3, .failing = 5, .badDate = false, .kept = "C1 C2 C3 C4", .report = unique},
        {.batch = 3, .failing = 5, .badDate = true, .kept = "C1 C2 C3 C4", .report = date(5)},
        {.batch = 10, .failing = 1, .badDate = true, .kept = "", .report = date(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.batch) + " " + std::to_string(c.failing));
        std::vector<Row> rows;
        for (int i = 1; i <= 7; ++i)
            rows.push_back(i != c.failing ? numbered(i)
                           : c.badDate    ? numbered(i, 1.0e7)
                                          : numbered(1));
        Strings boxes;
        for (const std::size_t size : {c.batch, std::size_t{0}}) {
            ASSERT_EQ(copy(rows, size), Outcome::kFailed);
            EXPECT_EQ(codes(*server_, "T1"), c.kept);
            EXPECT_EQ(lastStatus(), "status " + std::to_string(c.failing) + " / 7");
            boxes.push_back(box());
        }
        EXPECT_EQ(boxes[0], boxes[1]);
        if (!odbc() || c.badDate) {  // the ODBC driver words its own refusals
            EXPECT_EQ(boxes[0], c.report);
        }
    }
}

// The command line's batch size, and the row a copy in batches stops at
// (--batch without --bulk: tests/cli/options_test.cpp).
class BulkCommandLine : public localserver::ServerTest {};

TEST_F(BulkCommandLine, OptionsAndTheRowItStoppedAt) {
    const auto server = appUser();
    server->execute("CREATE TABLE T (CODE VARCHAR2(10) PRIMARY KEY)");
    const std::string file = dir_.path() + "/t.mdb";
    const auto code = [](const char* text) { return Row{std::string(text)}; };
    const struct {
        std::vector<Row> stored;
        Strings options;
        int status;
        std::string told;  // in what it prints
    } cases[] = {
        {{code("A")}, {"--bulk", "--batch", "0"}, 2, "までの行数を指定してください: 0\n"},
        {{code("A")}, {"--bulk", "--batch", "2x"}, 2, "までの行数を指定してください: 2x\n"},
        {{code("A"), code("B"), code("A")},
         {"--bulk", "--batch", "2"},
         1,
         "3 / 3 で停止しました\n"},
        {{code("A"), code("B"), code("C")}, {"--bulk"}, 0, "T: 3 行をコピーしました"},
    };
    for (const auto& c : cases) {
        testing::writeJetFile(file, {{"T", {{"CODE", 10, 10}}, {}, c.stored}});
        Strings words{"copy",       file,    "T",         "--user", "scott",
                      "--password", "tiger", "--service", folder(), "--clear"};
        words.insert(words.end(), c.options.begin(), c.options.end());
        const CommandRun run = runProgram(MALVORN_CLI, words);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((run.out + run.err).find(c.told), std::string::npos) << run.out << run.err;
    }
    EXPECT_EQ(rows(*server, "SELECT CODE FROM T ORDER BY 1"), (Strings{"A", "B", "C"}));
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, BulkCopyTest,
    ::testing::Values(
        Driver{"local",
               kLocalT1,
               {"A1|" + kTen + "|12.34|-12|0.1|1897-04-04 18:00:00|61440|-1|00FF41",
                "A2|<null>|0|0|0|<null>|<null>|0|<null>",
                "A3|O'Neil|-0.0005|2147483647|0.00001|2001-02-03 00:00:00|<null>|0|<null>"}},
        Driver{"odbc",
               "CREATE TABLE T1 (CODE VARCHAR(10) PRIMARY KEY, NAME VARCHAR(10), "
               "PRICE NUMERIC, QTY INTEGER, RATIO REAL, UPD TIMESTAMP, NOTE TEXT, OK INTEGER, "
               "PIC BLOB)",
               {"A1|" + kTen + "|12.34|-12|0.1|1897-04-04 18:00:00.000|61440|-1|X'00FF41'",
                "A2||0|0|0.0|<null>|0|0|<null>",
                "A3|O'Neil|-0.0005|2147483647|1.0e-05|2001-02-03 00:00:00.000|0|0|X''"}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace malvorn::core
