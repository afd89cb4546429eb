// The data copy against the real local server, from Jet files made by the
// builder: the clear, the progress texts, and the state after each kind of
// failure (a refused row: bulk_copy_test, both ways; a file that records
// other than it holds: short_tables_test).
#include <gtest/gtest.h>

#include "copy_fixture.h"
#include "name_rules.h"
#include "support/tapped_session.h"

namespace malvorn::core {
namespace {

// "status k / total" for k from 0 up to `shown` - 1.
Strings progress(int shown, std::size_t total) {
    Strings texts;
    for (int k = 0; k < shown; ++k)
        texts.push_back("status " + std::to_string(k) + " / " + std::to_string(total));
    return texts;
}

// What a copy shows around its progress: the settings saved first, the
// pointer blocked until the end, a beep only on success.
Strings framed(const Strings& progress, const std::string& last) {
    Strings events{"blocked", "save"};
    events.insert(events.end(), progress.begin(), progress.end());
    events.insert(events.end(), {last, "idle"});
    return events;
}

class CopyTest : public CopyFixture {
  protected:
    void SetUp() override {
        scott_ = appUser();
        scott_->execute(kLocalT1);
        openSession_ = [this](const model::ConnectionFields& f) {
            ++logins_;
            return std::make_unique<TappedSession>(
                oracle::openSession(f, {localserver::openLocalServer, {}}), tap_);
        };
    }

    Outcome copyAs(const std::vector<Row>& rows, bool clear = false,
                   const std::string& table = "T1", const std::string& password = "tiger",
                   const std::string& file = "copy.mdb") {
        tap_ = Tap();
        logins_ = 0;
        return copy(rows, {table, dir_.path() + "/" + file, clear, {"scott", password, folder()}});
    }

    // Whatever happened: one session, closed; each status drawn at once.
    void expectClosedDown() {
        EXPECT_EQ(logins_, 1);
        EXPECT_EQ(tap_.live, 0);
        EXPECT_TRUE(recorder_.statusesRepainted);
    }

    std::unique_ptr<oracle::Session> scott_;
    Tap tap_;
    int logins_ = 0;
};

// The clear only when checked; the count shown the rows met, the last
// status saying so.
TEST_F(CopyTest, ClearOnlyWhenChecked) {
    const struct {
        bool clear;
        int count;
        const char* held;
    } cases[] = {
        {true, 1, "C1"},
        {false, 1, "C1 Z"},
        {true, 0, ""},  // an empty table: nothing sent, but the clear still done
        {false, 3, "C1 C2 C3 Z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.held);
        scott_->execute("DELETE FROM T1");
        scott_->execute("INSERT INTO T1 (CODE) VALUES ('Z')");
        std::vector<Row> rows;
        for (int i = 1; i <= c.count; ++i)
            rows.push_back(numbered(i));
        ASSERT_EQ(copyAs(rows, c.clear), Outcome::kDone);
        EXPECT_EQ(codes(*scott_, "T1"), c.held);
        EXPECT_EQ(recorder_.events, framed(progress(c.count + 1, c.count), "beep"));
        expectClosedDown();
    }
}

// Each failure before the first row, the table cleared first: the report
// (whole), no status past "0 / n", and what the server holds afterwards.
TEST_F(CopyTest, AFailureIsReportedAndLeavesWhatWasSent) {
    const std::string head = "ﾃﾞｰﾀｾｯﾄｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：fCopyTableData\rｴﾗｰNo:";
    const std::string server = "\rｴﾗｰｿｰｽ:Malvorn Local Server";
    const struct {
        const char *table, *password, *file;
        std::string report;
        const char *heldOf, *held;  // a table and its CODE values, by a space
    } cases[] = {
        {"T2", "tiger", "copy.mdb",
         head + "3104\r説 明:テーブルがデータベースにありません: T2 (ファイル: " + jetPath() +
             "。名前が正しければ、ファイルのテーブル一覧が壊れている可能性があります)"
             "\rｴﾗｰｿｰｽ:Jet",
         "T2", ""},
        {"T1", "tiger", "none.mdb",
         head + "3101\r説 明:Jetデータベースファイルが見つかりません: " + dir_.path() +
             "/none.mdb\rｴﾗｰｿｰｽ:Jet",
         "T1", ""},
        {"T9", "tiger", "copy.mdb",
         head + "-2147467259\r説 明:ORA-00942: table or view does not exist" + server, "T1", "Z"},
        {"T1", "wrong", "copy.mdb",
         head + "-2147467259\r説 明:ORA-01017: invalid username/password; logon denied" + server,
         "T1", "Z"},
    };
    scott_->execute("CREATE TABLE T2 (CODE VARCHAR2(10))");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        for (const char* table : {"T1", "T2"}) {
            scott_->execute(std::string("DELETE FROM ") + table);
            scott_->execute(std::string("INSERT INTO ") + table + " (CODE) VALUES ('Z')");
        }
        EXPECT_EQ(copyAs({numbered(1), numbered(2)}, true, c.table, c.password, c.file),
                  Outcome::kFailed);
        EXPECT_EQ(recorder_.events, framed({}, "box " + c.report));
        EXPECT_EQ(codes(*scott_, c.heldOf), c.held);
        expectClosedDown();
    }
}

// A table name that would change the DELETE is refused before anything is sent.
TEST_F(CopyTest, ATableNameThatWouldChangeAStatementIsRefused) {
    scott_->execute("INSERT INTO T1 (CODE) VALUES ('Z')");
    EXPECT_EQ(copyAs({numbered(1)}, true, "T1 WHERE CODE = 'Z'"), Outcome::kRefused);
    EXPECT_EQ(logins_, 0);
    EXPECT_EQ(recorder_.events,
              (Strings{"box テーブル名「T1 WHERE CODE = 'Z'" + kNameRule,
                       "focus " + std::to_string(static_cast<int>(Field::kTable))}));
    EXPECT_EQ(codes(*scott_, "T1"), "Z");
}

// A stop asked for once "2 / 5" is shown: the copy ends at that boundary,
// row by row or in batches of two, with the two rows committed, no report
// and no beep.
TEST_F(CopyTest, AStopEndsTheCopyAtTheNextRowOrBatch) {
    for (const std::size_t batch : {0, 2}) {
        SCOPED_TRACE(batch);
        scott_->execute("DELETE FROM T1");
        CopyFields fields{"T1", jetPath(), false, {"scott", "tiger", folder()}, batch};
        fields.stopRequested = [this] {
            return !recorder_.events.empty() && recorder_.events.back() == "status 2 / 5";
        };
        std::vector<Row> rows;
        for (int i = 1; i <= 5; ++i)
            rows.push_back(numbered(i));
        EXPECT_EQ(copy(rows, fields), Outcome::kInterrupted);
        EXPECT_EQ(codes(*scott_, "T1"), "C1 C2");
        Strings shown = batch ? Strings{"status 0 / 5", "status 2 / 5"} : progress(3, 5);
        Strings events{"blocked", "save"};
        events.insert(events.end(), shown.begin(), shown.end());
        events.push_back("idle");
        EXPECT_EQ(recorder_.events, events);
    }
}

}  // namespace
}  // namespace malvorn::core
