// A batch's rows written several to a statement, against the same rows sent
// one to a batch (one statement each): the same values stored, the same row
// refused with the same error, the rows before it kept.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

using oracle::BoundBytes;
using oracle::BoundDateTime;
using oracle::BoundNumber;
using oracle::BoundRow;
using Strings = std::vector<std::string>;

const char* const kInsert = "INSERT INTO T (ID, N, S, D, R, P) VALUES (?, ?, ?, ?, ?, ?)";

// Row `i` of a batch, its values taken in turn from each column's edges.
BoundRow goodRow(std::size_t i) {
    const char* const numbers[] = {"0",     "1.0005",       "-123456789.999",
                                   "0.001", "99999999.999", " -3 "};
    const oracle::BoundValue texts[] = {std::string("a"),       std::string("ｱｲ"),
                                        std::monostate{},       std::string("12345678"),
                                        std::string("O'Neil "), std::string("")};
    const oracle::BoundValue dates[] = {BoundDateTime{2001, 2, 3, 4, 5, 6}, std::monostate{},
                                        BoundDateTime{1, 1, 1, 0, 0, 0},
                                        BoundDateTime{9999, 12, 31, 23, 59, 59}};
    const oracle::BoundValue bytes[] = {BoundBytes{"\x01\xff"}, BoundBytes{""}, std::monostate{}};
    const oracle::BoundValue parents[] = {BoundNumber{"1"}, std::monostate{}, BoundNumber{"2"}};
    return {BoundNumber{std::to_string(i + 1)},
            BoundNumber{numbers[i % 6]},
            texts[i % 6],
            dates[i % 4],
            bytes[i % 3],
            parents[i % 3]};
}

std::vector<BoundRow> goodRows(std::size_t count) {
    std::vector<BoundRow> rows;
    for (std::size_t i = 0; i < count; ++i)
        rows.push_back(goodRow(i));
    return rows;
}

class BatchRowsTest : public ScottTest {
  protected:
    void SetUp() override {
        ScottTest::SetUp();
        s().execute("CREATE TABLE P (ID NUMBER CONSTRAINT P_PK PRIMARY KEY)");
        s().execute("INSERT INTO P VALUES (1)");
        s().execute("INSERT INTO P VALUES (2)");
        s().execute(
            "CREATE TABLE T (ID NUMBER(6) CONSTRAINT T_PK PRIMARY KEY, N NUMBER(12,3), "
            "S VARCHAR2(8), D DATE, R RAW(4), P NUMBER CONSTRAINT T_P REFERENCES P, "
            "CONSTRAINT T_N CHECK (N < 999999999))");
    }
    Strings held() {
        return rows(s(),
                    "SELECT ID, N, S, TO_CHAR(D, 'YYYY-MM-DD HH24:MI:SS'), R, P FROM T "
                    "ORDER BY ID");
    }
    // `rows` as one batch, checked ahead as the copy checks them or not;
    // the refused row's index and error, or an empty error.
    std::pair<std::size_t, std::string> sendTogether(const std::vector<BoundRow>& rows,
                                                     bool checkedAhead) {
        std::unique_ptr<oracle::PreparedRows> prepared;
        if (checkedAhead) {
            const auto preparer = s().rowPreparer(kInsert);
            if (!preparer) {
                ADD_FAILURE() << "no preparer";
                return {0, ""};
            }
            preparer->prepare(rows, prepared);
        }
        try {
            s().insertPreparedRows(kInsert, rows, prepared.get());
        } catch (const oracle::BatchRowError& e) {
            return {e.row(), e.description()};
        }
        return {0, ""};
    }
    // The same rows one to a batch, up to the first refused.
    std::pair<std::size_t, std::string> sendOneByOne(const std::vector<BoundRow>& rows) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            try {
                s().insertRows(kInsert, {rows[i]});
            } catch (const oracle::BatchRowError& e) {
                return {i, e.description()};
            }
        }
        return {0, ""};
    }
};

// Batches shorter than a statement's rows, as long, one row longer, and
// several statements with rows left over: the values stored row by row.
TEST_F(BatchRowsTest, RowsWrittenTogetherAreStoredAsRowsWrittenAlone) {
    for (const std::size_t count : {1, 19, 20, 21, 41, 60}) {
        for (const bool checkedAhead : {false, true}) {
            SCOPED_TRACE(std::to_string(count) + (checkedAhead ? " rows checked ahead" : " rows"));
            const auto batch = goodRows(count);
            ASSERT_EQ(sendOneByOne(batch).second, "");
            const Strings alone = held();
            ASSERT_EQ(alone.size(), count);
            s().execute("DELETE FROM T");
            EXPECT_EQ(sendTogether(batch, checkedAhead).second, "");
            EXPECT_EQ(held(), alone);
            s().execute("DELETE FROM T");
        }
    }
}

// A row refused by SQLite (a key, a trigger's foreign key, a CHECK) or by
// the checks before it (a text too long, NULL for the key) at the start,
// inside and at the ends of the statements of several rows.
TEST_F(BatchRowsTest, ARefusedRowEndsTheBatchAsWhenSentAlone) {
    const struct {
        const char* name;
        std::size_t at;      // the refused row
        std::size_t column;  // the value replaced in it
        oracle::BoundValue value;
    } cases[] = {
        {"first row's key repeated in the same statement", 7, 0, BoundNumber{"1"}},
        {"key repeated from an earlier statement", 20, 0, BoundNumber{"3"}},
        {"key repeated within the second statement", 25, 0, BoundNumber{"22"}},
        {"no parent in the first row", 0, 5, BoundNumber{"9"}},
        {"no parent in the last row of a statement", 19, 5, BoundNumber{"9"}},
        {"check broken in the last row, left over", 44, 1, BoundNumber{"999999999"}},
        {"check broken in the middle", 33, 1, BoundNumber{"999999999.5"}},
        {"text too long", 12, 2, std::string("123456789")},
        {"no key", 40, 0, std::monostate{}},
        {"not a number", 30, 1, BoundNumber{"x"}},
    };
    for (const auto& c : cases) {
        for (const bool checkedAhead : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (checkedAhead ? ", checked ahead" : ""));
            auto batch = goodRows(45);
            batch[c.at][c.column] = c.value;
            const auto alone = sendOneByOne(batch);
            ASSERT_NE(alone.second, "");
            ASSERT_EQ(alone.first, c.at);
            const Strings kept = held();
            s().execute("DELETE FROM T");
            const auto together = sendTogether(batch, checkedAhead);
            EXPECT_EQ(together.first, c.at);
            EXPECT_EQ(together.second, alone.second);
            EXPECT_EQ(held(), kept);
            s().execute("DELETE FROM T");
        }
    }
}

}  // namespace
}  // namespace malvorn::localserver
