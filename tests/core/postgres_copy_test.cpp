// The data copy against a networked server: PostgreSQL over loopback through
// its ODBC driver, one server for the whole executable. The literal path's
// statements run unchanged: small stand-ins for TO_DATE, HEXTORAW and TO_CLOB
// sit in a schema searched before pg_catalog.
#include <gtest/gtest.h>

#include "app/drivers.h"
#include "copy_fixture.h"
#include "odbc/postgres_server.h"
#include "support/command.h"

namespace malvorn::core {
namespace {

// T1 of the copy fixture as PostgreSQL holds it.
const char* const kPgT1 =
    "CREATE TABLE T1 (CODE VARCHAR(10) PRIMARY KEY, NAME VARCHAR(10), PRICE NUMERIC(19,4), "
    "QTY INTEGER, RATIO DOUBLE PRECISION, UPD TIMESTAMP, NOTE TEXT, OK SMALLINT, PIC BYTEA)";

// Starts (once) the server; skips, or fails under CI, when it cannot run.
PostgresServer* serverOrSkip() {
    PostgresServer& server = PostgresServer::instance();
    if (server.whyNot().empty())
        return &server;
    if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
        ADD_FAILURE() << "the PostgreSQL tests must run in CI: " << server.whyNot();
    return nullptr;
}

class PostgresCopy : public CopyFixture {
  protected:
    void SetUp() override {
        pg_ = serverOrSkip();
        if (!pg_)
            GTEST_SKIP() << "no PostgreSQL server: " << PostgresServer::instance().whyNot();
        openSession_ = sessionOpener(app::defaultDrivers());
        server_ = connect();
        for (const char* statement : kOracleStandIns)
            server_->execute(statement);
        server_ = connect();  // a new session takes the search path
        server_->execute("DROP TABLE IF EXISTS T1");
        server_->execute(kPgT1);
    }
    std::unique_ptr<oracle::Session> connect() {
        return openSession_({PostgresServer::kUser, PostgresServer::kPassword, service()});
    }
    static std::string service() { return PostgresServer::kDataSource; }

    Outcome copy(const std::vector<Row>& rows, std::size_t batch) {
        server_->execute("DELETE FROM T1");
        return CopyFixture::copy(rows,
                                 {"T1",
                                  jetPath(),
                                  false,
                                  {PostgresServer::kUser, PostgresServer::kPassword, service()},
                                  batch});
    }
    Strings held() {
        return rows(*server_,
                    "SELECT CODE, NULLIF(NAME, ''), PRICE, QTY, RATIO, UPD, "
                    "LENGTH(NULLIF(NOTE, '')), OCTET_LENGTH(NULLIF(NOTE, '')), OK, "
                    "NULLIF(ENCODE(PIC, 'hex'), '') FROM T1 ORDER BY CODE");
    }
    // malvorn-cli copy of T1 from the Jet file at jetPath().
    CommandRun cli(const Strings& more) {
        Strings words{"copy",
                      jetPath(),
                      "T1",
                      "--user",
                      PostgresServer::kUser,
                      "--password",
                      PostgresServer::kPassword,
                      "--service",
                      service()};
        words.insert(words.end(), more.begin(), more.end());
        return runProgram(MALVORN_CLI, words);
    }

    PostgresServer* pg_ = nullptr;
    std::unique_ptr<oracle::Session> server_;
};

// Every kind of value the literals carry, one statement per row and in
// batches: the same rows, exact. (PostgreSQL keeps '' and empty bytes apart
// from NULL where Oracle does not: both paths write a Null memo as ''.)
TEST_F(PostgresCopy, EveryKindArrivesExactByBothPaths) {
    std::string memo;
    while (memo.size() < 100 * 1024)
        memo += "備考memo";
    const std::vector<Row> source = {
        {"A1", kTen, std::int64_t{123400}, std::int64_t{-12}, 0.1, -1000.75, memo, true,
         std::string("\x00\xff\x41", 3)},
        {"A2", V{}, V{}, V{}, V{}, V{}, V{}, V{}, V{}},
        {"A3", "O'Neil", std::int64_t{-5}, std::int64_t{2147483647}, 1e-5, 36925.0, "", false,
         std::string()},
        {"A4", "半角ｶﾅ", std::int64_t{1}, std::int64_t{0}, -2.5e300, 36925.5, "x", true,
         std::string("\x01", 1)},
    };
    const std::string memoLength = std::to_string(memo.size());
    const Strings expected = {
        "A1|" + kTen + "|12.3400|-12|0.1|1897-04-04 18:00:00|" +
            std::to_string(memo.size() / 10 * 6) + "|" + memoLength + "|-1|00ff41",
        "A2|<null>|0.0000|0|0|<null>|<null>|<null>|0|<null>",
        "A3|O'Neil|-0.0005|2147483647|1e-05|2001-02-03 00:00:00|<null>|<null>|0|<null>",
        "A4|半角ｶﾅ|0.0001|0|-2.5e+300|2001-02-03 12:00:00|1|1|-1|01",
    };
    for (const std::size_t batch : {std::size_t{0}, std::size_t{3}}) {
        SCOPED_TRACE("batch " + std::to_string(batch));
        ASSERT_EQ(copy(source, batch), Outcome::kDone) << box();
        EXPECT_EQ(held(), expected);
    }
}

// A row refused in the middle of a batch: the rows before it stay, nothing
// after, and the report is the row-by-row copy's. PostgreSQL's driver marks
// every row of a failed array as failed, which names no row: the copy finds
// it by sending the rows one at a time.
TEST_F(PostgresCopy, ARefusedRowInABatchKeepsTheRowsBeforeIt) {
    std::vector<Row> rows;
    for (int i = 1; i <= 7; ++i)
        rows.push_back(numbered(i == 5 ? 2 : i));
    Strings boxes;
    for (const std::size_t batch : {std::size_t{3}, std::size_t{10}, std::size_t{0}}) {
        SCOPED_TRACE("batch " + std::to_string(batch));
        ASSERT_EQ(copy(rows, batch), Outcome::kFailed);
        EXPECT_EQ(codes(*server_, "T1"), "C1 C2 C3 C4");
        EXPECT_EQ(lastStatus(), "status 5 / 7");
        boxes.push_back(box());
    }
    EXPECT_EQ(boxes[0], boxes[2]);
    EXPECT_EQ(boxes[1], boxes[2]);
    EXPECT_NE(boxes[2].find("duplicate key"), std::string::npos) << boxes[2];
}

// The connection dropped by the server in the middle of the copy, then the
// server stopped: each a clear error naming the table and the row, exit 1,
// nothing reported as copied. Started again, the rerun with --clear ends
// with exactly the source rows.
TEST_F(PostgresCopy, ADroppedConnectionAndAStoppedServerFailAndTheRerunIsExact) {
    std::vector<Row> rows;
    for (int i = 1; i <= 6; ++i)
        rows.push_back(numbered(i));
    ASSERT_EQ(CopyFixture::copy(rows, {"T1", jetPath(), false, {"nobody", "x", service()}, 0}),
              Outcome::kFailed);  // writes the Jet file; the login is refused
    server_->execute(
        "CREATE FUNCTION drop_me() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN "
        "IF NEW.CODE = ''C4'' THEN PERFORM pg_terminate_backend(pg_backend_pid()); END IF; "
        "RETURN NEW; END'");
    server_->execute(
        "CREATE TRIGGER t1_drop BEFORE INSERT ON T1 FOR EACH ROW EXECUTE FUNCTION "
        "drop_me()");
    struct Case {
        Strings how;
        const char* stoppedAt;  // a batch stops at its first row: none of it was committed
        const char* kept;
    };
    const Case cases[] = {
        {{"--clear"}, "T1: 4 / 6 で停止しました", "C1 C2 C3"},
        {{"--clear", "--bulk", "--batch", "2"}, "T1: 3 / 6 で停止しました", "C1 C2"}};
    for (const Case& c : cases) {
        const CommandRun run = cli(c.how);
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.stoppedAt), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("terminating connection"), std::string::npos) << run.err;
        EXPECT_EQ(codes(*server_, "T1"), c.kept);
    }
    server_->execute("DROP TRIGGER t1_drop ON T1");
    server_.reset();
    ASSERT_TRUE(pg_->stop());
    const CommandRun stopped = cli({"--clear"});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.out, "");
    EXPECT_NE(stopped.err.find("127.0.0.1"), std::string::npos) << stopped.err;
    ASSERT_TRUE(pg_->start()) << pg_->log();
    server_ = connect();
    EXPECT_EQ(codes(*server_, "T1"), "C1 C2");
    const CommandRun rerun = cli({"--clear", "--bulk"});
    EXPECT_EQ(rerun.status, 0) << rerun.err;
    EXPECT_NE(rerun.out.find("T1: 6 行をコピーしました"), std::string::npos) << rerun.out;
    EXPECT_EQ(codes(*server_, "T1"), "C1 C2 C3 C4 C5 C6");
}

}  // namespace
}  // namespace malvorn::core
