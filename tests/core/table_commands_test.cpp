#include "core/table_commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/files.h"
#include "convert/table_script.h"
#include "encoding/cp932.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "localserver/local_server.h"
#include "localserver/server_fixture.h"
#include "name_rules.h"
#include "support/recorder.h"

namespace malvorn::core {
namespace {

using base::MessageAnswer;
using base::MessageIcon;
using base::TitleForm;
using Strings = std::vector<std::string>;

const convert::ScriptDate kDate{2001, 2, 3};

// SHOHIN with two rows, keyed by pkkey, beside a system table.
void writeShohin(const std::string& path) {
    testing::writeJetFile(path, {{"SHOHIN",
                                  {{"CODE", 10, 10}, {"NAME", 10, 50, true}, {"QTY", 4}},
                                  {{"pkkey", {"CODE"}, true}},
                                  {{"A1", "one", std::int64_t{1}}, {"A2", "two", std::int64_t{2}}}},
                                 {"MSysNotes", {{"X", 4}}, {}, {}},
                                 {"msysKept", {{"X", 4}}, {}, {}}});
}

class TableCommands : public localserver::ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        db_ = dir_.path() + "/shop.mdb";
        writeShohin(db_);
        sql_ = dir_.path() + "/sql";
        std::filesystem::create_directory(sql_);
    }

    Services services() {
        return {recorder_, recorder_, opener_, jet_, base::gFso(), [] { return kDate; }};
    }
    ConvertFields fields() const {
        return {
            "SHOHIN", db_, "users", "indx", sql_, false, true, true, {"scott", "tiger", folder()}};
    }

    Outcome convert(const ConvertFields& f) {
        Services s = services();
        return convertTable(f, s, script_);
    }

    std::string stored(const std::string& name) const {
        return base::readFileBytes(sql_ + "/" + name);
    }

    std::unique_ptr<oracle::Session> scott_;
    Recorder recorder_;
    convert::ScriptLines script_;
    std::string db_;
    std::string sql_;
    int jetOpens_ = 0;
    SessionOpener opener_ = sessionOpener({localserver::openLocalServer, {}});
    JetOpener jet_ = [this](const std::string& path) {
        ++jetOpens_;
        return jet::openJetFileHere(path);
    };
};

TEST_F(TableCommands, ConvertChecksInOrderAndTouchesNothingWhenOneFails) {
    struct Case {
        const char* name;
        void (*change)(ConvertFields&);
        std::string message;
        Field focus;
        MessageIcon icon = MessageIcon::kExclamation;
    };
    const auto critical = MessageIcon::kCritical;
    const Case cases[] = {
        {"blank table", [](ConvertFields& f) { f.table = "  "; }, "テーブル名が指定されていません",
         Field::kNone, critical},
        {"system owner", [](ConvertFields& f) { f.connection.user = "SyStem"; },
         "表の所有者がSYSTEMユーザになっています", Field::kNone, critical},
        {"blank tablespace", [](ConvertFields& f) { f.tableTablespace = " "; },
         "表領域名を入力してください", Field::kTablespace},
        {"blank index tablespace", [](ConvertFields& f) { f.indexTablespace = ""; },
         "索引表領域名を入力してください", Field::kIndex},
        {"blank folder", [](ConvertFields& f) { f.sqlFolder = "   "; },
         "格納先ディレクトリを入力してください", Field::kSqlFolder},
        {"missing folder", [](ConvertFields& f) { f.sqlFolder += "/nope"; },
         "格納先ディレクトリが存在しません", Field::kSqlFolder},
        {"table checked before the owner",
         [](ConvertFields& f) {
             f.table = "";
             f.connection.user = "system";
         },
         "テーブル名が指定されていません", Field::kNone, critical},
        // Typed text that would change a statement or a stored script.
        {"a table with a comment", [](ConvertFields& f) { f.table = "T1 (X NUMBER)--"; },
         "テーブル名「T1 (X NUMBER)--" + kNameRule, Field::kTable},
        {"a hostile login in the scripts",
         [](ConvertFields& f) { f.connection.user = "scott\nDROP USER system"; },
         "接続ユーザー名「scott?DROP USER system" + kNameRule, Field::kNone},
        {"a password SQL*Plus cannot take",
         [](ConvertFields& f) { f.connection.password = "ti\"ger"; }, kPasswordRule, Field::kNone},
        {"a tablespace with a clause",
         [](ConvertFields& f) { f.tableTablespace = "users PCTFREE 0"; },
         "表領域名「users PCTFREE 0" + kNameRule, Field::kTablespace},
        {"an index tablespace with a statement",
         [](ConvertFields& f) { f.indexTablespace = "indx;DROP TABLE T1"; },
         "表領域名「indx;DROP TABLE T1" + kNameRule, Field::kIndex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder_ = Recorder();
        ConvertFields f = fields();
        c.change(f);
        EXPECT_EQ(convert(f), Outcome::kRefused);
        Strings expected = {"box " + c.message};
        if (c.focus != Field::kNone)
            expected.push_back("focus " + std::to_string(static_cast<int>(c.focus)));
        EXPECT_EQ(recorder_.events, expected);
        ASSERT_EQ(recorder_.shown.size(), 1u);
        EXPECT_EQ(std::pair(recorder_.shown[0].icon, recorder_.shown[0].title),
                  std::pair(c.icon, TitleForm::kError));
    }
    EXPECT_EQ(jetOpens_, 0);
    EXPECT_TRUE(std::filesystem::is_empty(sql_));
}

TEST_F(TableCommands, ConvertAcceptsWhatOnlyTheOtherStepsWouldRefuse) {
    ConvertFields f = fields();
    f.createTable = false;
    f.connection.user = "system";  // files only: the owner does not matter
    f.saveSql = false;
    f.sqlFolder = "/nope";  // not looked at while nothing is stored
    EXPECT_EQ(convert(f), Outcome::kDone);
    EXPECT_EQ(recorder_.events,
              (Strings{"hourglass", "save", "beep", "status SHOHIN 完了", "idle"}));
    EXPECT_EQ(script_.statementForm().substr(0, 20), "CREATE TABLE SHOHIN\r");
}

// The first conversion stores the scripts and creates the table; a second
// drops it only with consent.
TEST_F(TableCommands, ASecondConversionDropsOnlyWithConsent) {
    ConvertFields first = fields();
    first.sqlFolder += "/";  // a final separator gives the same files
    ASSERT_EQ(convert(first), Outcome::kDone);
    EXPECT_EQ(recorder_.events,
              (Strings{"hourglass", "save", "beep", "status SHOHIN 完了", "idle"}));
    EXPECT_EQ(stored("SHOHIN.sql"), script_.fileForm());
    EXPECT_THAT(encoding::Cp932::toUtf8(stored("CreateAdmin.sql")),
                ::testing::HasSubstr("CREATE USER scott"));
    scott_->execute("INSERT INTO SHOHIN (CODE, QTY) VALUES ('OLD', 1)");
    EXPECT_EQ(rows(*scott_, "SELECT CODE, NAME, QTY FROM SHOHIN"), (Strings{"OLD|<null>|1"}));
    const std::string question = "box すでに同名のテーブルが存在します。\r削除しますか？";

    recorder_ = Recorder();
    recorder_.answers = {MessageAnswer::kYes};
    ASSERT_EQ(convert(fields()), Outcome::kDone);
    EXPECT_EQ(recorder_.events,
              (Strings{"hourglass", "save", question, "beep", "status SHOHIN 完了", "idle"}));
    EXPECT_EQ(rows(*scott_, "SELECT COUNT(*) FROM SHOHIN"), (Strings{"0"}));

    // No keeps the table; the CREATE is still sent and refused, and that is
    // the run's failure: reported, no beep, the failure text.
    recorder_ = Recorder();
    recorder_.answers = {MessageAnswer::kNo};
    scott_->execute("INSERT INTO SHOHIN (CODE) VALUES ('KEPT')");
    std::filesystem::remove(sql_ + "/SHOHIN.sql");
    EXPECT_EQ(convert(fields()), Outcome::kFailed);
    EXPECT_EQ(recorder_.events,
              (Strings{"hourglass", "save", question,
                       "box ﾃｰﾌﾞﾙ作成ｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：cmdConvert_Click\rｴﾗｰNo:-2147467259\r"
                       "説 明:ORA-00955: name is already used by an existing object\r"
                       "ｴﾗｰｿｰｽ:Malvorn Local Server",
                       "status SHOHIN 失敗", "idle"}));
    EXPECT_EQ(rows(*scott_, "SELECT CODE FROM SHOHIN"), (Strings{"KEPT"}));
    EXPECT_TRUE(std::filesystem::exists(sql_ + "/SHOHIN.sql"));  // stored before the server
}

TEST_F(TableCommands, TableListChecksThePathAndRebuildsLazily) {
    const std::string dbPath = std::to_string(static_cast<int>(Field::kDbPath));
    TableList list;
    Services s = services();
    EXPECT_EQ(refreshTableList("", list, s), TableListChange::kNone);  // nothing to read yet
    EXPECT_TRUE(recorder_.events.empty());

    ASSERT_EQ(refreshTableList(db_, list, s), TableListChange::kRebuilt);
    const Strings kTables{"msysKept", "SHOHIN"};
    EXPECT_EQ(list.tables, kTables);
    EXPECT_EQ(refreshTableList(db_, list, s), TableListChange::kNone);
    EXPECT_EQ(jetOpens_, 1);

    const struct {
        std::string path;
        std::string message;
    } refused[] = {
        {"", "ﾃﾞｰﾀﾍﾞｰｽﾌｧｲﾙが指定されていません"},
        {dir_.path() + "/shop.MDB", "拡張子に誤りがあります。 再入力してください。"},
        {dir_.path() + "/missing.sdb", "該当するファイルは存在しません。 再入力してください。"},
        {sql_ + "/a.mdb", "該当するファイルは存在しません。 再入力してください。"},
    };
    std::filesystem::create_directory(sql_ + "/a.mdb");  // a folder is no file
    for (const auto& r : refused) {
        recorder_ = Recorder();
        EXPECT_EQ(refreshTableList(r.path, list, s), TableListChange::kNone) << r.path;
        EXPECT_EQ(recorder_.events, (Strings{"box " + r.message, "focus " + dbPath}));
        EXPECT_EQ(recorder_.shown.at(0).title, TitleForm::kBracketedError);
        EXPECT_EQ(std::tie(list.sourcePath, list.tables), std::tuple(db_, kTables));
    }

    // A file that passes the checks but is no Jet file: the reader's message,
    // an empty list, and the next focus tries again.
    const std::string junk = dir_.path() + "/junk.xmdb";
    base::writeFileAtomically(junk, std::string(4096, 'x'));
    recorder_ = Recorder();
    EXPECT_EQ(refreshTableList(junk, list, s), TableListChange::kCleared);
    EXPECT_EQ(std::tie(list.sourcePath, list.tables), std::tuple(db_, Strings{}));
    ASSERT_EQ(recorder_.events.size(), 2u);
    EXPECT_THAT(recorder_.events[0], ::testing::HasSubstr(junk));
    EXPECT_EQ(recorder_.events[1], "focus " + dbPath);
}

TEST_F(TableCommands, BatchChecksTheFolderThenWritesItOrReportsWhy) {
    const std::string folderFocus = "focus " + std::to_string(static_cast<int>(Field::kSqlFolder));
    BatchFields f{sql_, "SHOHIN", {"app", "pw", "ORCL"}};
    const struct {
        std::string folder;
        std::string message;
    } refused[] = {
        {" ", "格納先ディレクトリを入力してください"},
        {sql_ + "/nope", "格納先ディレクトリが存在しません"},
        {sql_, "格納先ディレクトリにSQLファイルが存在しません"},
    };
    Services s = services();
    for (const auto& r : refused) {
        recorder_ = Recorder();
        f.sqlFolder = r.folder;
        EXPECT_EQ(createBatch(f, s), Outcome::kRefused) << r.folder;
        EXPECT_EQ(recorder_.events, (Strings{"box " + r.message, folderFocus}));
        EXPECT_EQ(recorder_.shown.at(0).title, TitleForm::kPlain);
    }
    EXPECT_FALSE(std::filesystem::exists(sql_ + "/CreateTables.sql"));

    f.sqlFolder = sql_;
    base::writeFileAtomically(sql_ + "/B.sql", "b");
    recorder_ = Recorder();
    ASSERT_EQ(createBatch(f, s), Outcome::kDone);
    EXPECT_EQ(recorder_.events, (Strings{"hourglass", "status SHOHINＳＱＬバッチ作成 開始", "save",
                                         "beep", "status ＳＱＬバッチ作成 完了", "idle"}));
    EXPECT_NE(stored("CreateTables.sql").find("@@B.sql\r\nEXIT\r\n"), std::string::npos);

    // The batch file cannot take the place of a folder of that name: the
    // failure is reported and nothing is half written.
    std::filesystem::remove(sql_ + "/CreateTables.sql");
    std::filesystem::create_directory(sql_ + "/CreateTables.sql");
    recorder_ = Recorder();
    EXPECT_EQ(createBatch(f, s), Outcome::kFailed);
    ASSERT_EQ(recorder_.events.size(), 6u);
    EXPECT_THAT(
        recorder_.events[3],
        ::testing::StartsWith("box SQLﾊﾞｯﾁ作成ｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：cmdCreateBatch_Click\rｴﾗｰNo:3200\r"));
    EXPECT_EQ(recorder_.events[4], "status ＳＱＬバッチ作成 失敗");
    EXPECT_TRUE(std::filesystem::is_directory(sql_ + "/CreateTables.sql"));
}

}  // namespace
}  // namespace malvorn::core
