#include "core/admin_commands.h"

#include <gtest/gtest.h>

#include <fstream>

#include "convert/fixed_scripts.h"
#include "localserver/local_server.h"
#include "localserver/server_fixture.h"
#include "name_rules.h"
#include "support/recorder.h"
#include "support/tapped_session.h"

namespace malvorn::core {
namespace {

using base::MessageAnswer;
using base::MessageIcon;
using Strings = std::vector<std::string>;
using Login = model::ConnectionFields;
using localserver::createUserText;
using localserver::grantRolesText;
const auto lookupOf = localserver::userLookupText;

constexpr std::int32_t kGeneral = oracle::kServerErrorNumber;
std::string focusOf(Field field) {
    return "focus " + std::to_string(static_cast<int>(field));
}
// The report of a server error, as the message box shows it.
std::string report(const std::string& heading, const std::string& procedure,
                   const std::string& description) {
    return "box " + heading + "\rﾌﾟﾛｼｼﾞｬ：" + procedure + "\rｴﾗｰNo:" + std::to_string(kGeneral) +
           "\r説 明:" + description + "\rｴﾗｰｿｰｽ:Malvorn Local Server";
}

class AdminCommandsTest : public localserver::ServerTest {
  protected:
    Login as(const std::string& user, const std::string& password = "tarnbol") {
        return {user, password, folder()};
    }
    Services services() {
        return {recorder, recorder, opener, nullptr, files, [] { return convert::ScriptDate{}; }};
    }
    void restart() {
        recorder = Recorder();
        tap.sent.clear();
    }

    Recorder recorder;
    Tap tap;
    base::LocalFileSystem files;
    SessionOpener opener = [this](const model::ConnectionFields& c) {
        oracle::Drivers drivers{localserver::openLocalServer, nullptr};
        return std::make_unique<TappedSession>(sessionOpener(drivers)(c), tap);
    };
};

// Only SYSTEM may manage users, names trimmed; a failure shows the lookup's message or the report.
TEST_F(AdminCommandsTest, UserCommandsAndTheirFailures) {
    appUser("scott", "tiger");
    const Strings denied{
        "blocked",
        report("ﾕｰｻﾞｰ削除ｴﾗｰ", "fDeleteUser", "ORA-01017: invalid username/password; logon denied"),
        "save", "idle"};
    const Strings created{"blocked", "beep", "status ﾕｰｻﾞｰが作成されました", "save", "idle"};
    const Strings dropped{"blocked", "beep", "status ﾕｰｻﾞｰが削除されました", "save", "idle"};
    const Strings refused{"box 接続文字列にはSYSTEMユーザを入力してください"};
    const Strings known{"blocked", "box ﾕｰｻﾞｰ SCOTT は登録済みです", "save", "idle"};
    const Strings nobody{"blocked", "box ﾕｰｻﾞｰ  NOBODY は未登録です", "save", "idle"};
    // Typed text that would change a statement: nothing is sent.
    const auto badName = [](const std::string& shown) {
        return Strings{"box ユーザー名「" + shown + kNameRule, focusOf(Field::kUserId)};
    };
    const Strings badPassword{"box " + kPasswordRule, focusOf(Field::kPassword)};
    const auto sys = as("system");
    const Strings ann{createUserText("ann", "pw"), grantRolesText("ann")};
    const Strings dropAnn{"DROP USER ann CASCADE"};
    const auto done = Outcome::kDone, no = Outcome::kRefused, bad = Outcome::kFailed;
    struct Case {
        bool create;  // else delete
        std::string userId;
        Login admin;
        Outcome outcome;
        Strings sent;
        Strings events;
        std::string password = " pw ";
    };
    const Case cases[] = {
        {true, "  ann ", as("SYSTEM"), done, ann, created},
        {false, "ann ", as("System"), done, dropAnn, dropped},
        {true, "u1", as("system "), no, {}, refused},  // not trimmed
        {true, "scott", sys, bad, {createUserText("scott", "pw"), lookupOf("SCOTT")}, known},
        {false, " nobody", sys, bad, {"DROP USER nobody CASCADE", lookupOf(" NOBODY")}, nobody},
        {false, "scott", as("system", "wrong"), bad, {}, denied},
        {true, "X' OR 'A'='A", sys, no, {}, badName("X' OR 'A'='A")},
        {true, "ann\tx", sys, no, {}, badName("ann?x")},
        {false, "scott CASCADE --", sys, no, {}, badName("scott CASCADE --")},
        {true, "ann", sys, no, {}, badPassword, "a\"b"},
        {true, "ann", sys, no, {}, badPassword, "a\nb"},
        // A password that is no plain name goes in quoted.
        {true,
         "ann",
         sys,
         done,
         {createUserText("ann", "\"x';DROP\""), grantRolesText("ann")},
         created,
         "x';DROP"},
        {false, "ann", sys, done, dropAnn, dropped},
        // An empty name is the server's to refuse.
        {true, "", sys, bad, {createUserText("", "pw"), lookupOf("")}, {"blocked", "save", "idle"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.userId + "/" + c.admin.user);
        restart();
        auto s = services();
        const UserFields fields{c.userId, c.password, c.admin};
        EXPECT_EQ(c.create ? createUser(fields, s) : deleteUser(fields, s), c.outcome);
        EXPECT_EQ(tap.sent, c.sent);
        EXPECT_EQ(recorder.events, c.events);
        for (const auto& box : recorder.shown)
            EXPECT_EQ(std::pair(box.icon, box.title),
                      c.events == refused
                          ? std::pair(MessageIcon::kCritical, base::TitleForm::kPlain)
                          : std::pair(MessageIcon::kExclamation, base::TitleForm::kError));
        EXPECT_EQ(tap.live, 0);
    }
}

const std::string kCountLfidno = "SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = 'LFIDNO'";
const std::string kQuestion = "box すでに同名のテーブルが存在します。\r削除しますか？";

// An existing table is dropped on Yes, kept with its row on No.
TEST_F(AdminCommandsTest, CreatesLfidnoFromTheTypedDefinition) {
    auto scott = appUser("scott", "tiger");
    const std::string edited = "CREATE TABLE LFIDNO\r\n(表名 VARCHAR2(30)\r\n,IDNO NUMBER(10))";
    const std::string fixed = convert::lfidnoDefinitionText();
    const std::string inUse = report("LFIDNO作成ｴﾗｰ", "fCreateLFIDNO",
                                     "ORA-00955: name is already used by an existing object");
    const auto yes = MessageAnswer::kYes, no = MessageAnswer::kNo;
    struct Case {
        bool exists;  // LFIDNO is there, with a row
        MessageAnswer answer;
        std::string definition;
        Strings sent;
        Strings boxes;
        const char* status;
    };
    const Case cases[] = {
        {false, yes, fixed, {kCountLfidno, fixed}, {}, "完了"},
        {true, yes, edited, {kCountLfidno, "DROP TABLE LFIDNO", edited}, {kQuestion}, "完了"},
        {true, no, edited, {kCountLfidno, edited}, {kQuestion, inUse}, "失敗"},
    };
    for (const auto& [exists, answer, definition, sent, boxes, status] : cases) {
        if (exists) {
            scott->execute(convert::lfidnoDefinitionText());
            scott->execute("INSERT INTO LFIDNO VALUES ('A','レコード番号',1)");
        }
        restart();
        recorder.answers = {answer};
        auto s = services();
        createLfidno({definition, as("scott", "tiger")}, s);
        EXPECT_EQ(tap.sent, sent);
        Strings events{"hourglass", "status LFIDNO作成中．．．"};
        events.insert(events.end(), boxes.begin(), boxes.end());
        events.insert(events.end(), {std::string("status LFIDNO作成　") + status, "idle", "beep"});
        EXPECT_EQ(recorder.events, events);
        EXPECT_EQ(rows(*scott, "SELECT COUNT(*) FROM LFIDNO"), Strings{answer == yes ? "0" : "1"});
        scott->execute("DROP TABLE LFIDNO");  // every case leaves one
    }
}

std::string maxQuery(const std::string& table) {
    return "SELECT  MAX(レコード番号)   FROM " + table;
}
std::string insertOf(const std::string& t, const std::string& idno) {
    return "INSERT INTO LFIDNO(表名,列名,IDNO) VALUES ('" + t + "','レコード番号'," + idno + ")";
}

TEST_F(AdminCommandsTest, FillsLfidnoWithTheHighestRecordNumberOfEachTable) {
    auto scott = appUser("scott", "tiger");
    for (const char* statement :
         {"CREATE TABLE B_T (レコード番号 NUMBER(10), X NUMBER)", "INSERT INTO B_T VALUES (3, 1)",
          "INSERT INTO B_T VALUES (7, 1)", "CREATE TABLE A_T (X NUMBER, レコード番号 NUMBER(10))",
          "INSERT INTO A_T VALUES (1, NULL)", "CREATE TABLE C_T (レコード番号 NUMBER(10))",
          "CREATE TABLE D_T (番号 NUMBER(10))", "CREATE TABLE E_T (レコード番号 NUMBER(10))",
          // Dictionary names go in quoted where they must, and as literals.
          "CREATE TABLE \"O'K\" (レコード番号 NUMBER(10))",
          "CREATE TABLE \"low t\" (レコード番号 NUMBER(10))", "INSERT INTO \"low t\" VALUES (4)"})
        scott->execute(statement);
    scott->execute(convert::lfidnoDefinitionText());
    tap.canned[maxQuery("E_T")] = "12.0";  // a driver's number with a fraction part
    auto s = services();
    ASSERT_EQ(setLfidno({"scott", as("scott", "tiger")}, s), Outcome::kDone);
    EXPECT_EQ(tap.sent,
              (Strings{"DELETE FROM LFIDNO",
                       "SELECT  DISTINCT TABLE_NAME   FROM ALL_TAB_COLUMNS  WHERE OWNER = "
                       "'SCOTT'    AND TABLE_NAME <> 'LFIDNO'    AND COLUMN_NAME = "
                       "'レコード番号'  ORDER BY TABLE_NAME",
                       maxQuery("A_T"), insertOf("A_T", "0"), maxQuery("B_T"), insertOf("B_T", "7"),
                       maxQuery("C_T"), insertOf("C_T", "0"), maxQuery("E_T"),
                       insertOf("E_T", "12"), maxQuery("\"O'K\""), insertOf("O''K", "0"),
                       maxQuery("\"low t\""), insertOf("low t", "4")}));
    EXPECT_EQ(recorder.events,
              (Strings{"hourglass", "status LFIDNOデータセット中．．．", "status A_T", "status B_T",
                       "status C_T", "status E_T", "status O'K", "status low t",
                       "status LFIDNOデータセット　完了", "idle", "beep"}));
    EXPECT_EQ(rows(*scott, "SELECT 表名, IDNO FROM LFIDNO WHERE IDNO > 0 ORDER BY 1"),
              (Strings{"B_T|7", "E_T|12", "low t|4"}));

    // An owner that would change the query is refused before LFIDNO is
    // emptied; an empty one lists nothing, and empties it as it always has.
    restart();
    EXPECT_EQ(setLfidno({"X' OR 'A'='A", as("scott", "tiger")}, s), Outcome::kRefused);
    EXPECT_EQ(tap.sent, Strings{});
    EXPECT_EQ(recorder.events,
              (Strings{"box 所有者名「X' OR 'A'='A" + kNameRule, focusOf(Field::kUserId)}));
    restart();
    EXPECT_EQ(setLfidno({"", as("scott", "tiger")}, s), Outcome::kDone);
    EXPECT_EQ(
        tap.sent,
        (Strings{"DELETE FROM LFIDNO",
                 "SELECT  DISTINCT TABLE_NAME   FROM ALL_TAB_COLUMNS  WHERE OWNER = ''    AND "
                 "TABLE_NAME <> 'LFIDNO'    AND COLUMN_NAME = 'レコード番号'  ORDER BY "
                 "TABLE_NAME"}));
    EXPECT_EQ(rows(*scott, "SELECT COUNT(*) FROM LFIDNO"), Strings{"0"});

    restart();
    scott->execute("DROP TABLE LFIDNO");
    EXPECT_EQ(setLfidno({"scott", as("scott", "tiger")}, s), Outcome::kFailed);
    EXPECT_EQ(recorder.events, (Strings{"hourglass", "status LFIDNOデータセット中．．．",
                                        report("LFIDNOﾃﾞｰﾀｾｯﾄｴﾗｰ", "fSetLFIDNO",
                                               "ORA-00942: table or view does not exist"),
                                        "status LFIDNOデータセット　失敗", "idle", "beep"}));
}

TEST_F(AdminCommandsTest, RunsAScriptOrATypedStatement) {
    appUser("scott", "tiger");
    const Strings scriptRan{"status スクリプト実行　開始", "hourglass", "idle", "beep",
                            "status スクリプト実行　完了"};
    const Strings sqlRan{"status ＳＱＬ実行　開始", "hourglass", "idle", "beep",
                         "status ＳＱＬ実行　完了"};
    const Strings scriptFailed{
        "status スクリプト実行　開始", "hourglass",
        report("SQLｽｸﾘﾌﾟﾄ実行ｴﾗｰ", "cmdDoScript_Click", "ORA-00922: missing or invalid option"),
        "status スクリプト実行　失敗", "idle"};
    const Strings sqlFailed{"status ＳＱＬ実行　開始", "hourglass",
                            report("SQL実行ｴﾗｰ", "cmdDoSQL_Click", "ORA-00911: invalid character"),
                            "status ＳＱＬ実行　失敗", "idle"};
    const char* const create =
        "/* header\r\nCREATE TABLE T\r\n(A VARCHAR2(10))\r\nTABLESPACE users;";
    const char* const two = "CREATE TABLE U (A NUMBER);\nCREATE TABLE V (A NUMBER);";
    struct Case {
        const char* contents;   // a script file's; nullptr: the folder is given; "": none
        std::string statement;  // typed, when there is no script
        Strings sent;
        Strings events;
    };
    const Case cases[] = {
        {create, "", {" CREATE TABLE T (A VARCHAR2(10)) TABLESPACE users"}, scriptRan},
        {nullptr, "", {}, {"box スクリプトが指定されていません"}},
        {two, "", {" CREATE TABLE U (A NUMBER) CREATE TABLE V (A NUMBER)"}, scriptFailed},
        {"", "SELECT A FROM T", {"SELECT A FROM T"}, sqlRan},
        {"", "DROP TABLE T;", {"DROP TABLE T;"}, sqlFailed},
        {"", "  ", {}, {"box ＳＱＬ文が指定されていません"}},
    };
    for (const auto& [contents, statement, sent, events] : cases) {
        restart();
        auto s = services();
        const std::string path = dir_.path() + (contents ? "/script.sql" : "");
        if (contents && statement.empty())
            std::ofstream(path, std::ios::binary) << contents;
        statement.empty() ? runScript({path, as("scott", "tiger")}, s)
                          : runStatement({statement, as("scott", "tiger")}, s);
        EXPECT_EQ(tap.sent, sent);
        EXPECT_EQ(recorder.events, events);
        for (const auto& box : recorder.shown)
            EXPECT_EQ(box.icon, box.text.starts_with("SQL") ? MessageIcon::kExclamation
                                                            : MessageIcon::kCritical);
    }
}

}  // namespace
}  // namespace malvorn::core
