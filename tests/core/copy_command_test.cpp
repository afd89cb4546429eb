// The data copy against the real local server, from Jet files made by the
// builder: values read back, the clear, the progress texts, and the state
// after each kind of failure.
#include "core/copy_command.h"

#include <gtest/gtest.h>

#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "localserver/server_fixture.h"
#include "shell/file_system.h"
#include "support/recorder.h"
#include "support/tapped_session.h"

namespace malvorn::core {
namespace {

using testing::JetBuildTable;
using testing::JetBuildValue;
using Row = std::vector<JetBuildValue>;
using V = std::monostate;
using Strings = std::vector<std::string>;

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

// A Jet file whose recorded row count says `recorded`, whatever it holds.
class MiscountedSource : public jet::JetSource {
  public:
    MiscountedSource(std::unique_ptr<jet::JetSource> inner, std::int64_t recorded)
        : inner_(std::move(inner)), recorded_(recorded) {}
    std::vector<std::string> tableNames() override { return inner_->tableNames(); }
    model::JetTableDef readTable(const std::string& name) override {
        return inner_->readTable(name);
    }
    std::unique_ptr<jet::JetRowCursor> openRows(const std::string& name) override {
        return std::make_unique<Cursor>(inner_->openRows(name), recorded_);
    }

  private:
    struct Cursor : jet::JetRowCursor {
        Cursor(std::unique_ptr<jet::JetRowCursor> in, std::int64_t count)
            : inner(std::move(in)), recorded(count) {}
        const std::vector<jet::JetColumn>& columns() const override { return inner->columns(); }
        std::int64_t recordedRowCount() const override { return recorded; }
        std::int64_t deliveredRowCount() const override { return inner->deliveredRowCount(); }
        bool next(jet::JetRow& row) override { return inner->next(row); }
        std::unique_ptr<jet::JetRowCursor> inner;
        std::int64_t recorded;
    };
    std::unique_ptr<jet::JetSource> inner_;
    std::int64_t recorded_;
};

// Jet table T1 and its Oracle twin: a full-width field name, every literal
// kind, CODE the key.
JetBuildTable jetTable(std::vector<Row> rows) {
    return {"T1",
            {{"CODE", 10, 10},
             {"ＮＡＭＥ", 10, 50, true},
             {"PRICE", 5},
             {"QTY", 4},
             {"RATIO", 7},
             {"UPD", 8},
             {"NOTE", 12, 50, true}},
            {},
            std::move(rows)};
}

Row numbered(int i) {
    const std::int64_t n = i;
    return {"C" + std::to_string(1000 + i), "n", n * 10000, n, 0.5, 1.0, "m"};
}

class CopyTest : public localserver::ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        scott_->execute(
            "CREATE TABLE T1 (CODE VARCHAR2(10) NOT NULL, NAME VARCHAR2(50), PRICE NUMBER(19,4), "
            "QTY NUMBER(10), RATIO FLOAT, UPD DATE, NOTE CLOB, CONSTRAINT pkT1 PRIMARY KEY(CODE))");
    }

    Outcome copy(const std::vector<Row>& rows, bool clear = false, const std::string& table = "T1",
                 const std::string& password = "tiger", const std::string& file = "copy.mdb") {
        testing::writeJetFile(dir_.path() + "/copy.mdb", {jetTable(rows)});
        const std::string path = dir_.path() + "/" + file;
        recorder_ = Recorder();
        tap_ = Tap();
        logins_ = 0;
        Services services{recorder_,
                          recorder_,
                          [this](const model::ConnectionFields& f) {
                              ++logins_;
                              return std::make_unique<TappedSession>(
                                  oracle::openSession(f, {localserver::openLocalServer, {}}), tap_);
                          },
                          [this](const std::string& opened) -> std::unique_ptr<jet::JetSource> {
                              if (recorded_ < 0)
                                  return jet::openJetFileHere(opened);
                              return std::make_unique<MiscountedSource>(
                                  jet::openJetFileHere(opened), recorded_);
                          },
                          shell::gFso(),
                          {}};
        return copyTable({table, path, clear, {"scott", password, folder()}}, services);
    }

    Strings held() { return rows(*scott_, "SELECT * FROM T1 ORDER BY CODE"); }
    // The keys a table holds, in order, by a space.
    std::string codes(const std::string& table) {
        std::string joined;
        for (const auto& code : rows(*scott_, "SELECT CODE FROM " + table + " ORDER BY 1"))
            joined += (joined.empty() ? "" : " ") + code;
        return joined;
    }

    // Whatever happened: one session, closed; each status drawn at once.
    void expectClosedDown() {
        EXPECT_EQ(logins_, 1);
        EXPECT_EQ(tap_.live, 0);
        EXPECT_TRUE(recorder_.statusesRepainted);
    }

    std::unique_ptr<oracle::Session> scott_;
    Recorder recorder_;
    Tap tap_;
    int logins_ = 0;
    std::int64_t recorded_ = -1;  // the row count the Jet file claims, when set
};

TEST_F(CopyTest, ValuesReadBackAsTheJetFileHoldsThem) {
    const std::vector<Row> rows = {
        {"A1", "商品 O'Neil", std::int64_t{123400}, std::int64_t{12}, 0.1, 36925.4375, "備考"},
        {"A2", V{}, V{}, V{}, V{}, V{}, V{}},
        {"A3", "", std::int64_t{-30000}, std::int64_t{-5}, 12.25, 36925.0, "''"},
    };
    ASSERT_EQ(copy(rows), Outcome::kDone);
    EXPECT_EQ(held(), (std::vector<std::string>{
                          "A1|商品 O'Neil|12.34|12|0.1|2001-02-03 10:30:00|備考",
                          "A2|<null>|0|0|0|<null>|<null>",
                          "A3|<null>|-3|-5|12.25|2001-02-03 00:00:00|''",
                      }));
    EXPECT_EQ(recorder_.events, framed(progress(4, 3), "beep"));
    expectClosedDown();
}

TEST_F(CopyTest, ClearEmptiesTheTableFirstOnlyWhenChecked) {
    struct Case {
        bool clear;
        std::vector<Row> rows;
        const char* held;
    };
    const Case cases[] = {
        {true, {numbered(1)}, "C1001"},
        {false, {numbered(1)}, "C1001 Z"},
        {true, {}, ""},  // an empty table: nothing sent, but the clear still done
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clear);
        scott_->execute("DELETE FROM T1");
        scott_->execute("INSERT INTO T1 (CODE) VALUES ('Z')");
        ASSERT_EQ(copy(c.rows, c.clear), Outcome::kDone);
        EXPECT_EQ(codes("T1"), c.held);
        EXPECT_EQ(recorder_.events,
                  framed(progress(static_cast<int>(c.rows.size()) + 1, c.rows.size()), "beep"));
    }
}

// A file that records fewer or more rows than it holds: every row is sent,
// the count shown is the rows met, and the last status says the two differ.
TEST_F(CopyTest, EveryRowGoesWhateverTheFileRecords) {
    for (const std::int64_t recorded : {1, 5}) {
        SCOPED_TRACE(recorded);
        scott_->execute("DELETE FROM T1");
        recorded_ = recorded;
        ASSERT_EQ(copy({numbered(1), numbered(2), numbered(3)}), Outcome::kDone);
        Strings shown = progress(4, recorded);
        shown.push_back(shown.back() + " (定義の行数と異なります)");
        EXPECT_EQ(recorder_.events, framed(shown, "beep"));
        EXPECT_EQ(scott_->queryValue("SELECT COUNT(*) FROM T1"), "3");
    }
}

// Each failure: the report (whole), how far the status line went, and what
// the server holds afterwards.
TEST_F(CopyTest, AFailureIsReportedAndLeavesWhatWasSent) {
    const std::string head = "ﾃﾞｰﾀｾｯﾄｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：fCopyTableData\rｴﾗｰNo:";
    const std::string server = "\rｴﾗｰｿｰｽ:Malvorn Local Server";
    Row badDate = numbered(3);
    badDate[5] = 1.0e7;
    const std::vector<Row> sources[] = {{numbered(1), numbered(2)},
                                        {numbered(1), numbered(2), numbered(1), numbered(4)},
                                        {numbered(1), numbered(2), badDate}};
    struct Case {
        const char* name;
        int source;  // of `sources`
        bool clear;
        const char *table, *password, *file;
        std::string report;
        int statuses;  // "0 / n" up to this count
        const char* heldOf;
        const char* held;  // CODE values, by a space
    };
    const Case cases[] = {
        {"refused row", 1, false, "T1", "tiger", "copy.mdb",
         head + "-2147467259\r説 明:ORA-00001: unique constraint (SCOTT.PKT1) violated" + server, 4,
         "T1", "C1001 C1002 Z"},
        {"unwritable date", 2, false, "T1", "tiger", "copy.mdb",
         head + "3900\r説 明:日付の値が範囲外のため、SQLに書けません (ファイル: " + dir_.path() +
             "/copy.mdb、テーブル: T1、行: 3、列: UPD)\rｴﾗｰｿｰｽ:Malvorn",
         4, "T1", "C1001 C1002 Z"},
        {"missing Jet table, cleared first", 0, true, "T2", "tiger", "copy.mdb",
         head + "3104\r説 明:テーブルがデータベースにありません: T2 (ファイル: " + dir_.path() +
             "/copy.mdb。名前が正しければ、ファイルのテーブル一覧が壊れている可能性があります)"
             "\rｴﾗｰｿｰｽ:Jet",
         0, "T2", ""},
        {"missing Jet file, cleared first", 0, true, "T1", "tiger", "none.mdb",
         head + "3101\r説 明:Jetデータベースファイルが見つかりません: " + dir_.path() +
             "/none.mdb\rｴﾗｰｿｰｽ:Jet",
         0, "T1", ""},
        {"clear refused", 0, true, "T9", "tiger", "copy.mdb",
         head + "-2147467259\r説 明:ORA-00942: table or view does not exist" + server, 0, "T1",
         "Z"},
        {"session refused", 0, true, "T1", "wrong", "copy.mdb",
         head + "-2147467259\r説 明:ORA-01017: invalid username/password; logon denied" + server, 0,
         "T1", "Z"},
    };
    scott_->execute("CREATE TABLE T2 (CODE VARCHAR2(10))");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* table : {"T1", "T2"}) {
            scott_->execute(std::string("DELETE FROM ") + table);
            scott_->execute(std::string("INSERT INTO ") + table + " (CODE) VALUES ('Z')");
        }
        const auto& source = sources[c.source];
        EXPECT_EQ(copy(source, c.clear, c.table, c.password, c.file), Outcome::kFailed);
        EXPECT_EQ(recorder_.events, framed(progress(c.statuses, source.size()), "box " + c.report));
        EXPECT_EQ(codes(c.heldOf), c.held);
        expectClosedDown();
    }
}

}  // namespace
}  // namespace malvorn::core
