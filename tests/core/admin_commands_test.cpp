#include "core/admin_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "convert/fixed_scripts.h"
#include "localserver/local_server.h"
#include "localserver/server_fixture.h"
#include "support/recorder.h"
#include "support/tapped_session.h"

namespace malvorn::core {
namespace {

using shell::MessageAnswer;
using shell::MessageIcon;
using Strings = std::vector<std::string>;
using Failures = std::map<std::string, oracle::OracleError>;
using Login = model::ConnectionFields;
using localserver::createUserText;
using localserver::grantRolesText;
const auto lookupOf = localserver::userLookupText;

constexpr std::int32_t kGeneral = oracle::kServerErrorNumber;
constexpr const char* kServer = "Malvorn Local Server";

std::string report(const std::string& heading, const std::string& procedure, std::int32_t number,
                   const std::string& description, const std::string& source = kServer) {
    return "box " + heading + "\rﾌﾟﾛｼｼﾞｬ：" + procedure + "\rｴﾗｰNo:" + std::to_string(number) +
           "\r説 明:" + description + "\rｴﾗｰｿｰｽ:" + source;
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
    shell::LocalFileSystem files;
    SessionOpener opener = [this](const model::ConnectionFields& c) {
        oracle::Drivers drivers{localserver::openLocalServer, nullptr};
        return std::make_unique<TappedSession>(sessionOpener(drivers)(c), tap);
    };
};

const std::string kLookupScott = lookupOf("SCOTT");
const std::string kCreateScott = createUserText("scott", "pw");

// Only SYSTEM may manage users, names trimmed; a failure shows the lookup's message or the report.
TEST_F(AdminCommandsTest, UserCommandsAndTheirFailures) {
    appUser("scott", "tiger");
    const auto failed = [](Strings boxes) {
        boxes.insert(boxes.begin(), "blocked");
        boxes.insert(boxes.end(), {"save", "idle"});
        return boxes;
    };
    const Failures other{{kCreateScott, {-2147217900, "ORA-01920: other number", "fake"}}};
    const Failures noLookup{{kLookupScott, {kGeneral, "ORA-00942: lookup", "fake"}}};
    const Failures noGrant{{grantRolesText("bob"), {kGeneral, "ORA-01917: grant", "fake"}}};
    const Strings otherReport = failed(
        {report("ﾕｰｻﾞｰ作成ｴﾗｰ", "fCreateUser", -2147217900, "ORA-01920: other number", "fake")});
    const Strings conflict =
        failed({report("ﾕｰｻﾞｰ作成ｴﾗｰ", "fCreateUser", kGeneral,
                       "ORA-01920: user name 'SCOTT' conflicts with another user or role name")});
    const Strings denied = failed({report("ﾕｰｻﾞｰ削除ｴﾗｰ", "fDeleteUser", kGeneral,
                                          "ORA-01017: invalid username/password; logon denied")});
    const Strings created{"blocked", "beep", "status ﾕｰｻﾞｰが作成されました", "save", "idle"};
    const Strings dropped{"blocked", "beep", "status ﾕｰｻﾞｰが削除されました", "save", "idle"};
    const Strings refused{"box 接続文字列にはSYSTEMユーザを入力してください"};
    const Strings known = failed({"box ﾕｰｻﾞｰ SCOTT は登録済みです"});
    const Strings nobody = failed({"box ﾕｰｻﾞｰ  NOBODY は未登録です"});
    const auto sys = as("system");
    const Strings none = failed({});
    const std::string createAnn = createUserText("ann", "pw");
    const auto done = Outcome::kDone, no = Outcome::kRefused, bad = Outcome::kFailed;
    const std::tuple<bool, std::string, Login, Failures, Outcome, Strings, Strings> cases[] = {
        {true, "  ann ", as("SYSTEM"), {}, done, {createAnn, grantRolesText("ann")}, created},
        {false, "ann ", as("System"), {}, done, {"DROP USER ann CASCADE"}, dropped},
        {true, "u1", as("system "), {}, no, {}, refused},  // not trimmed
        {true, "u1", as("scott"), {}, no, {}, refused},
        {true, "u1", as(""), {}, no, {}, refused},
        {true, "scott", sys, {}, bad, {kCreateScott, kLookupScott}, known},
        {true, "", sys, {}, bad, {createUserText("", "pw"), lookupOf("")}, none},
        {true, "scott", sys, other, bad, {kCreateScott}, otherReport},
        // A grant refused after the create: the user is there (without roles).
        {true,
         "bob",
         sys,
         noGrant,
         bad,
         {createUserText("bob", "pw"), grantRolesText("bob"), lookupOf("BOB")},
         failed({"box ﾕｰｻﾞｰ BOB は登録済みです"})},
        // The lookup failing too: the refusal it was to explain is reported.
        {true, "scott", sys, noLookup, bad, {kCreateScott, kLookupScott}, conflict},
        {false, " nobody", sys, {}, bad, {"DROP USER nobody CASCADE", lookupOf(" NOBODY")}, nobody},
        {false, "system", sys, {}, bad, {"DROP USER system CASCADE", lookupOf("SYSTEM")}, none},
        {false, "scott", as("system", "wrong"), {}, bad, {}, denied},
    };
    for (const auto& [create, userId, admin, failures, outcome, sent, events] : cases) {
        SCOPED_TRACE(userId + "/" + admin.user);
        restart();
        tap.failures = failures;
        auto s = services();
        const UserFields fields{userId, " pw ", admin};
        EXPECT_EQ(create ? createUser(fields, s) : deleteUser(fields, s), outcome);
        EXPECT_EQ(tap.sent, sent);
        EXPECT_EQ(recorder.events, events);
        for (const auto& box : recorder.shown)
            EXPECT_EQ(std::pair(box.icon, box.title),
                      outcome == no
                          ? std::pair(MessageIcon::kCritical, shell::TitleForm::kPlain)
                          : std::pair(MessageIcon::kExclamation, shell::TitleForm::kError));
        EXPECT_EQ(tap.live, 0);
    }
}

const std::string kCountLfidno = "SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = 'LFIDNO'";
const std::string kQuestion = "box すでに同名のテーブルが存在します。\r削除しますか？";

TEST_F(AdminCommandsTest, CreatesLfidnoFromTheTypedDefinition) {
    auto scott = appUser("scott", "tiger");
    const std::string edited = "CREATE TABLE LFIDNO\r\n(表名 VARCHAR2(30)\r\n,IDNO NUMBER(10))";
    const std::string fixed = convert::lfidnoDefinitionText();
    const std::string inUse = report("LFIDNO作成ｴﾗｰ", "fCreateLFIDNO", kGeneral,
                                     "ORA-00955: name is already used by an existing object");
    const auto yes = MessageAnswer::kYes, no = MessageAnswer::kNo;
    const std::tuple<bool, MessageAnswer, std::string, Strings, Strings, const char*> cases[] = {
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
        // Kept with its row on No.
        EXPECT_EQ(rows(*scott, "SELECT COUNT(*) FROM LFIDNO"), Strings{answer == yes ? "0" : "1"});
        scott->execute("DROP TABLE LFIDNO");  // every case leaves one
    }
}

std::string maxQuery(const std::string& table) {
    return "SELECT  MAX(レコード番号)   FROM " + table;
}
std::string insertOf(const std::string& table, const std::string& idno) {
    return "INSERT INTO LFIDNO(表名,列名,IDNO) VALUES ('" + table + "','レコード番号'," + idno +
           ")";
}

TEST_F(AdminCommandsTest, FillsLfidnoWithTheHighestRecordNumberOfEachTable) {
    auto scott = appUser("scott", "tiger");
    for (const char* statement :
         {"CREATE TABLE B_T (レコード番号 NUMBER(10), X NUMBER)", "INSERT INTO B_T VALUES (3, 1)",
          "INSERT INTO B_T VALUES (7, 1)", "CREATE TABLE A_T (X NUMBER, レコード番号 NUMBER(10))",
          "INSERT INTO A_T VALUES (1, NULL)", "CREATE TABLE C_T (レコード番号 NUMBER(10))",
          "CREATE TABLE D_T (番号 NUMBER(10))", "CREATE TABLE E_T (レコード番号 NUMBER(10))"})
        scott->execute(statement);
    scott->execute(convert::lfidnoDefinitionText());
    scott->execute("INSERT INTO LFIDNO VALUES ('OLD','レコード番号',9)");
    system().execute("CREATE TABLE OTHER_T (レコード番号 NUMBER(10))");  // not scott's
    // A driver that hands numbers back with a fraction part.
    tap.canned[maxQuery("E_T")] = "12.0";
    auto s = services();
    ASSERT_EQ(setLfidno({"scott", as("scott", "tiger")}, s), Outcome::kDone);
    EXPECT_EQ(
        tap.sent,
        (Strings{"DELETE FROM LFIDNO",
                 "SELECT  DISTINCT TABLE_NAME   FROM ALL_TAB_COLUMNS  WHERE OWNER = "
                 "'SCOTT'    AND TABLE_NAME <> 'LFIDNO'    AND COLUMN_NAME = "
                 "'レコード番号'  ORDER BY TABLE_NAME",
                 maxQuery("A_T"), insertOf("A_T", "0"), maxQuery("B_T"), insertOf("B_T", "7"),
                 maxQuery("C_T"), insertOf("C_T", "0"), maxQuery("E_T"), insertOf("E_T", "12")}));
    EXPECT_EQ(recorder.events, (Strings{"hourglass", "status LFIDNOデータセット中．．．",
                                        "status A_T", "status B_T", "status C_T", "status E_T",
                                        "status LFIDNOデータセット　完了", "idle", "beep"}));

    // An empty owner lists nothing: the table is emptied and that is done.
    restart();
    EXPECT_EQ(setLfidno({"", as("scott", "tiger")}, s), Outcome::kDone);
    EXPECT_EQ(rows(*scott, "SELECT COUNT(*) FROM LFIDNO"), Strings{"0"});
    EXPECT_EQ(recorder.events.at(2), "status LFIDNOデータセット　完了");

    restart();
    scott->execute("DROP TABLE LFIDNO");
    EXPECT_EQ(setLfidno({"scott", as("scott", "tiger")}, s), Outcome::kFailed);
    EXPECT_EQ(recorder.events, (Strings{"hourglass", "status LFIDNOデータセット中．．．",
                                        report("LFIDNOﾃﾞｰﾀｾｯﾄｴﾗｰ", "fSetLFIDNO", kGeneral,
                                               "ORA-00942: table or view does not exist"),
                                        "status LFIDNOデータセット　失敗", "idle", "beep"}));
}

TEST_F(AdminCommandsTest, RunsAScriptOrATypedStatement) {
    appUser("scott", "tiger");
    const std::string dir = dir_.path();
    const std::string byScript = "スクリプト実行", bySql = "ＳＱＬ実行";
    const auto ran = [](const std::string& what) {
        return Strings{"status " + what + "　開始", "hourglass", "idle", "beep",
                       "status " + what + "　完了"};
    };
    const auto failed = [](const std::string& what, const std::string& box) {
        return Strings{"status " + what + "　開始", "hourglass", box, "status " + what + "　失敗",
                       "idle"};
    };
    const std::string create =
        "/* header\r\nCREATE TABLE T\r\n(A VARCHAR2(10))\r\nTABLESPACE users;";
    const std::string twoStatements = "CREATE TABLE U (A NUMBER);\nCREATE TABLE V (A NUMBER);";
    // script: a file's contents, or nullptr for the folder itself; sql: when not a script
    const std::tuple<const char*, std::string, Strings, Strings> cases[] = {
        {create.c_str(), "", {" CREATE TABLE T (A VARCHAR2(10)) TABLESPACE users"}, ran(byScript)},
        {"/* only\r\n;\r\n\r\n", "", {}, {}},
        {nullptr, "", {}, {"box スクリプトが指定されていません"}},
        {twoStatements.c_str(),
         "",
         {" CREATE TABLE U (A NUMBER) CREATE TABLE V (A NUMBER)"},
         failed(byScript, report("SQLｽｸﾘﾌﾟﾄ実行ｴﾗｰ", "cmdDoScript_Click", kGeneral,
                                 "ORA-00922: missing or invalid option"))},
        {"", "SELECT A FROM T", {"SELECT A FROM T"}, ran(bySql)},
        {"",
         "DROP TABLE T;",
         {"DROP TABLE T;"},
         failed(bySql,
                report("SQL実行ｴﾗｰ", "cmdDoSQL_Click", kGeneral, "ORA-00911: invalid character"))},
        {"", "  ", {}, {"box ＳＱＬ文が指定されていません"}},
    };
    for (const auto& [script, sql, sent, events] : cases) {
        restart();
        auto s = services();
        if (sql.empty()) {
            const std::string path = script ? dir + "/script.sql" : dir;
            if (script)
                std::ofstream(path, std::ios::binary) << script;
            runScript({path, as("scott", "tiger")}, s);
        } else {
            runStatement({sql, as("scott", "tiger")}, s);
        }
        EXPECT_EQ(tap.sent, sent);
        EXPECT_EQ(recorder.events, events);
        for (const auto& box : recorder.shown)
            EXPECT_EQ(std::pair(box.icon, box.title),
                      std::pair(box.text.starts_with("SQL") ? MessageIcon::kExclamation
                                                            : MessageIcon::kCritical,
                                shell::TitleForm::kError));
    }
}

}  // namespace
}  // namespace malvorn::core
