// Rows of a batch checked ahead by the session's preparer: stored as the
// session stores them itself, and checked again when the table changed
// between the checking and the sending.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

using oracle::BoundNumber;
using Strings = std::vector<std::string>;

const char* const kInsert = "INSERT INTO T (N, S, D, R) VALUES (?, ?, ?, ?)";
const char* const kTable = "CREATE TABLE T (N NUMBER(6,2), S VARCHAR2(4), D DATE, R RAW(2))";

class BatchPrepareTest : public ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        scott_->execute(kTable);
    }
    // `rows` checked ahead, then sent; the error's code, or "" when it went
    // through.
    std::string sendPrepared(const std::vector<oracle::BoundRow>& rows) {
        const auto preparer = scott_->rowPreparer(kInsert);
        if (!preparer) {
            ADD_FAILURE() << "no preparer";
            return "";
        }
        std::unique_ptr<oracle::PreparedRows> prepared;
        preparer->prepare(rows, prepared);
        return oraCode([&] { scott_->insertPreparedRows(kInsert, rows, prepared.get()); });
    }
    Strings held() { return rows(*scott_, "SELECT N, S, D, R FROM T ORDER BY S"); }
    std::unique_ptr<oracle::Session> scott_;
};

// Checked ahead or not, the same values are stored and the same rows refused.
TEST_F(BatchPrepareTest, RowsCheckedAheadAreStoredAsTheSessionStoresThem) {
    const std::vector<oracle::BoundRow> batches[] = {
        {{BoundNumber{"1.005"}, std::string("ab"), oracle::BoundDateTime{2001, 2, 3, 4, 5, 6},
          oracle::BoundBytes{"\x0a\xff"}},
         {std::monostate{}, std::string(""), std::monostate{}, oracle::BoundBytes{""}},
         {BoundNumber{" -3 "}, std::string("ｱ"), oracle::BoundDateTime{1, 1, 1, 0, 0, 0},
          std::monostate{}}},
        {{BoundNumber{"1"}, std::string("a"), std::monostate{}, std::monostate{}},
         {BoundNumber{"1"}, std::string("abcde"), std::monostate{}, std::monostate{}},
         {BoundNumber{"2"}, std::string("b"), std::monostate{}, std::monostate{}}},
        {{BoundNumber{"x"}, std::string("a"), std::monostate{}, std::monostate{}}},
    };
    for (const auto& batch : batches) {
        scott_->execute("DELETE FROM T");
        const std::string plainCode = oraCode([&] { scott_->insertRows(kInsert, batch); });
        const Strings plain = held();
        scott_->execute("DELETE FROM T");
        EXPECT_EQ(sendPrepared(batch), plainCode);
        EXPECT_EQ(held(), plain);
    }
}

// A table changed after its rows were checked: the rows are checked as the
// table is when they are sent, as the same values in a literal INSERT then.
TEST_F(BatchPrepareTest, ATableChangedSinceTheCheckIsCheckedAgain) {
    const std::vector<oracle::BoundRow> batch{
        {BoundNumber{"1.5"}, std::string("abc"), std::monostate{}, std::monostate{}}};
    const char* const literal = "INSERT INTO T (N, S, D, R) VALUES (1.5, 'abc', NULL, NULL)";
    const struct {
        const char* name;
        const char* table;  // T as it is made again after the check; nullptr: dropped
    } cases[] = {
        {"the same", kTable},
        {"narrower text", "CREATE TABLE T (N NUMBER(6,2), S VARCHAR2(2), D DATE, R RAW(2))"},
        {"no decimals", "CREATE TABLE T (N NUMBER(6), S VARCHAR2(4), D DATE, R RAW(2))"},
        {"text for the number", "CREATE TABLE T (N VARCHAR2(9), S VARCHAR2(4), D DATE, R RAW(2))"},
        {"a date for the text", "CREATE TABLE T (N NUMBER(6,2), S DATE, D DATE, R RAW(2))"},
        {"not null", "CREATE TABLE T (N NUMBER(6,2), S VARCHAR2(4), D DATE NOT NULL, R RAW(2))"},
        {"gone", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto preparer = scott_->rowPreparer(kInsert);
        ASSERT_NE(preparer, nullptr);
        std::unique_ptr<oracle::PreparedRows> prepared;
        preparer->prepare(batch, prepared);
        scott_->execute("DROP TABLE T");
        if (c.table)
            scott_->execute(c.table);
        const std::string literalCode = oraCode([&] { scott_->execute(literal); });
        const Strings literalHeld = c.table ? held() : Strings{};
        if (c.table)
            scott_->execute("DELETE FROM T");
        EXPECT_EQ(oraCode([&] { scott_->insertPreparedRows(kInsert, batch, prepared.get()); }),
                  literalCode);
        EXPECT_EQ(c.table ? held() : Strings{}, literalHeld);
        if (c.table)
            scott_->execute("DROP TABLE T");
        scott_->execute(kTable);
    }
}

}  // namespace
}  // namespace malvorn::localserver
