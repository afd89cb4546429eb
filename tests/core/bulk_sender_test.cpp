// The batches of a bulk copy against a scripted server: the next batch is
// read while one is sent, a refusal or an unreadable row ends the copy with
// exactly the rows before it sent, and rows made ready ahead reach the
// server with their own batch.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/bulk_sender.h"
#include "core/row_sender.h"
#include "jet/jet_error.h"
#include "support/quiet_session.h"

namespace malvorn::core {
namespace {

using Codes = std::vector<std::string>;

// What the rows and the server share: the rows read so far, and whether the
// server waits for the batch after each one to be read before answering.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::int64_t read = 0;
    bool ended = false;  // next() gave false or threw
};

// Rows "R1".."Rn" of one text column; row `unreadable` (from 1) throws.
class ScriptedRows : public jet::JetRowCursor {
  public:
    ScriptedRows(Shared& shared, std::int64_t count, std::int64_t unreadable)
        : shared_(shared), count_(count), unreadable_(unreadable) {}
    const std::vector<jet::JetColumn>& columns() const override { return columns_; }
    std::int64_t recordedRowCount() const override { return count_; }
    std::int64_t deliveredRowCount() const override { return delivered_; }
    bool next(jet::JetRow& row) override {
        const std::lock_guard lock(shared_.mutex);
        shared_.changed.notify_all();
        if (delivered_ == count_ || delivered_ + 1 == unreadable_) {
            shared_.ended = true;
            if (delivered_ + 1 == unreadable_)
                throw jet::JetError(jet::JetErrorKind::kDamaged, "unreadable");
            return false;
        }
        ++delivered_;
        shared_.read = delivered_;
        row = {std::string("R") + std::to_string(delivered_)};
        return true;
    }

  private:
    Shared& shared_;
    std::vector<jet::JetColumn> columns_{{"CODE", model::kJetText}};
    std::int64_t count_;
    std::int64_t unreadable_;
    std::int64_t delivered_ = 0;
};

// The first values of a batch, as the scripted preparer made them ready.
struct FirstValues : oracle::PreparedRows {
    Codes codes;
};

class CopyingPreparer : public oracle::RowPreparer {
  public:
    void prepare(const std::vector<oracle::BoundRow>& rows,
                 std::unique_ptr<oracle::PreparedRows>& into) const override {
        auto made = std::make_unique<FirstValues>();
        for (const auto& row : rows)
            made->codes.push_back(std::get<std::string>(row.at(0)));
        into = std::move(made);
    }
};

// A server that keeps what it commits and refuses row `refused` (from 1).
// With `waitForNext`, each batch waits until the rows after it are being
// read, which only a copy that reads ahead lets happen.
class ScriptedServer : public testing::QuietSession {
  public:
    ScriptedServer(Shared& shared, std::int64_t refused, bool waitForNext)
        : shared_(shared), refused_(refused), waitForNext_(waitForNext) {}
    // One statement per row: the `refused`th is refused.
    void execute(const std::string& text) override {
        if (static_cast<std::int64_t>(kept.size()) + 1 == refused_)
            throw oracle::OracleError(1, "ORA-00001", "server");
        kept.push_back(text);
    }

    std::unique_ptr<oracle::RowPreparer> rowPreparer(const std::string&) override {
        return std::make_unique<CopyingPreparer>();
    }
    void insertPreparedRows(const std::string& insert, const std::vector<oracle::BoundRow>& rows,
                            const oracle::PreparedRows* prepared) override {
        statement = insert;
        const auto* made = dynamic_cast<const FirstValues*>(prepared);
        Codes codes;
        for (const auto& row : rows)
            codes.push_back(std::get<std::string>(row.at(0)));
        preparedMatched = preparedMatched && made && made->codes == codes;
        const auto first = static_cast<std::int64_t>(kept.size()) + 1;
        if (waitForNext_) {
            std::unique_lock lock(shared_.mutex);
            const auto last = first + static_cast<std::int64_t>(rows.size()) - 1;
            // A guard against a copy that never reads ahead, not a measure.
            readAhead = readAhead && shared_.changed.wait_for(lock, std::chrono::seconds(60), [&] {
                return shared_.read > last || shared_.ended;
            });
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (first + static_cast<std::int64_t>(i) == refused_)
                throw oracle::BatchRowError(oracle::OracleError(1, "ORA-00001", "server"), i);
            kept.push_back(codes[i]);
        }
    }

    std::string statement;
    Codes kept;
    bool preparedMatched = true;
    bool readAhead = true;

  private:
    Shared& shared_;
    std::int64_t refused_;
    bool waitForNext_;
};

Codes firstCodes(std::int64_t n) {
    Codes codes;
    for (std::int64_t i = 1; i <= n; ++i)
        codes.push_back("R" + std::to_string(i));
    return codes;
}

struct SenderCase {
    const char* name;
    std::int64_t rows;
    std::size_t batch;
    std::int64_t refused;     // the row the server refuses, from 1 (0: none)
    std::int64_t unreadable;  // the row that cannot be read (0: none)
    bool waitForNext;         // the server answers a batch once the next is being read
    bool fails;
    std::int64_t stoppedAt;      // the row the status line stops at (the last sent when unreadable)
    std::int64_t kept;           // rows 1..kept on the server
    std::int64_t readBeforeEnd;  // rows read when the copy ended, at least
};

TEST(BulkSender, BatchesOverlapAndEndWithExactlyTheRowsBeforeAFailure) {
    const SenderCase cases[] = {
        {"all rows, reading ahead", 10, 3, 0, 0, true, false, 0, 10, 10},
        {"one batch", 3, 3, 0, 0, true, false, 0, 3, 3},
        {"refused in batch 2 while batch 3 was read", 9, 3, 5, 0, true, true, 5, 4, 7},
        {"refused first of batch 2, batch 3 read", 9, 3, 4, 0, true, true, 4, 3, 7},
        {"refused in the last batch", 8, 3, 8, 0, true, true, 8, 7, 8},
        {"refused in batch 1", 9, 3, 1, 0, true, true, 1, 0, 4},
        {"unreadable in batch 3, its first row sent", 9, 3, 0, 8, false, true, 7, 7, 7},
        {"unreadable first row", 9, 3, 0, 1, false, true, 0, 0, 0},
        {"refused before the unreadable row", 9, 3, 2, 8, true, true, 2, 1, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Shared shared;
        ScriptedRows rows(shared, c.rows, c.unreadable);
        ScriptedServer server(shared, c.refused, c.waitForNext);
        std::vector<std::int64_t> sent;
        std::int64_t stoppedAt = 0;
        const BulkProgress progress{[&](std::int64_t n) { sent.push_back(n); },
                                    [&](std::int64_t row) { stoppedAt = row; }};
        bool failed = false;
        try {
            EXPECT_EQ(sendInBatches(server, "INSERT INTO T (CODE)", rows, c.batch, false, nullptr,
                                    progress),
                      c.rows);
        } catch (const oracle::BatchRowError& e) {
            failed = true;
            EXPECT_EQ(e.number(), 1);
        } catch (const jet::JetError& e) {
            failed = true;
            EXPECT_STREQ(e.what(), "unreadable");
        }
        EXPECT_EQ(failed, c.fails);
        EXPECT_EQ(stoppedAt, c.stoppedAt);
        EXPECT_EQ(server.kept, firstCodes(c.kept));
        const bool anySent = c.refused > 0 || c.kept > 0;
        EXPECT_EQ(server.statement, anySent ? "INSERT INTO T (CODE) (?)" : "");
        EXPECT_TRUE(server.readAhead);
        EXPECT_TRUE(server.preparedMatched);
        EXPECT_GE(rows.deliveredRowCount(), c.readBeforeEnd);
        // Never more than the batch sent and the one after it.
        EXPECT_LE(rows.deliveredRowCount(), c.kept + 1 + 2 * static_cast<std::int64_t>(c.batch));
        // Progress after each batch sent whole, a refused one not counted.
        const auto whole = c.refused > 0 ? (c.refused - 1) / static_cast<std::int64_t>(c.batch) *
                                               static_cast<std::int64_t>(c.batch)
                                         : c.kept;
        EXPECT_EQ(sent.empty() ? 0 : sent.back(), whole);
    }
}

struct RowCase {
    const char* name;
    std::int64_t rows;
    std::int64_t refused;      // the statement the server refuses, from 1 (0: none)
    std::int64_t unreadable;   // the row that cannot be read (0: none)
    std::int64_t noStatement;  // the row whose statement cannot be made (0: none)
    int stopAfter;             // a stop asked for before row stopAfter + 1 (0: none)
    std::int64_t kept;         // rows 1..kept sent
    std::int64_t lastShown;    // the last row `sending` was called for
};

// One statement per row, made ahead on the reading thread: the rows before
// a failure are sent and none after, the status at the row the row-by-row
// copy stops at, also past the first rows made ahead.
TEST(RowSender, EndsWithExactlyTheRowsBeforeAFailure) {
    const RowCase cases[] = {
        {"all rows", 600, 0, 0, 0, 0, 600, 600},
        {"refused in the second chunk made ahead", 600, 300, 0, 0, 0, 299, 300},
        {"refused first", 600, 1, 0, 0, 0, 0, 1},
        {"unreadable", 600, 0, 400, 0, 0, 399, 399},
        {"unreadable first", 600, 0, 1, 0, 0, 0, 0},
        {"no statement for the row", 600, 0, 0, 257, 0, 256, 257},
        {"stopped", 600, 0, 0, 0, 290, 290, 290},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Shared shared;
        ScriptedRows rows(shared, c.rows, c.unreadable);
        ScriptedServer server(shared, c.refused, false);
        std::int64_t shown = 0;
        std::int64_t confirmed = 0;
        RowProgress progress{[&](std::int64_t k) { shown = k; },
                             [&](std::int64_t k) { confirmed = k; }};
        if (c.stopAfter > 0)
            progress.stop = [&] { return shown == c.stopAfter; };
        const auto statementFor = [&](const jet::JetRow& row, std::int64_t k) {
            if (k == c.noStatement)
                throw std::runtime_error("no statement");
            return std::to_string(k) + ":" + std::get<std::string>(row.at(0));
        };
        bool failed = false;
        try {
            EXPECT_EQ(sendRowByRow(server, rows, statementFor, progress), c.rows);
        } catch (const Interrupted& e) {
            failed = true;
            EXPECT_EQ(e.rows(), c.kept);
        } catch (const std::exception&) {
            failed = true;
        }
        EXPECT_EQ(failed, c.kept != c.rows);
        Codes expected;
        for (std::int64_t k = 1; k <= c.kept; ++k)
            expected.push_back(std::to_string(k) + ":R" + std::to_string(k));
        EXPECT_EQ(server.kept, expected);
        EXPECT_EQ(shown, c.lastShown);
        EXPECT_EQ(confirmed, c.kept);
    }
}

}  // namespace
}  // namespace malvorn::core
