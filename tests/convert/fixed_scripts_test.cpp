#include "convert/fixed_scripts.h"
#include "convert/script_files.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "base/files.h"
#include "encoding/cp932.h"
#include "support/temp_dir.h"

namespace malvorn::convert {
namespace {

using encoding::Cp932;

const model::ConnectionFields kConnection{"admin", "pw", "ORCL"};
const ScriptDate kDate{2001, 2, 3};

const std::string kRule =
    "/*-----------------------------------------------------------------------*/";

std::string crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return Cp932::fromUtf8(text);
}

TEST(FixedScripts, LfidnoIsByteExact) {
    const std::string expected = crlf({
        kRule,
        "/* ﾃｰﾌﾞﾙ作成SQL　LFIDNO                                                  */",
        "/* Create Date : 2001/02/03" + std::string(46, ' ') + "*/",
        "/* Row Length + Over Head = 1560 + 36 = 1,596 Bytes                      */",
        kRule,
        "CREATE TABLE LFIDNO",
        "(表名" + std::string(27, ' ') + "VARCHAR2(100)",
        ",列名" + std::string(27, ' ') + "VARCHAR2(100)",
        ",IDNO" + std::string(27, ' ') + "NUMBER(10)",
        ",CONSTRAINT pkLFIDNO PRIMARY KEY(表名,列名) USING INDEX TABLESPACE indx",
        ")",
        "TABLESPACE users;",
    });
    EXPECT_EQ(toScriptFileBytes(lfidnoScriptLines(kDate)), expected);
}

// The window shows the script's statement without its ";".
TEST(FixedScripts, LfidnoDefinitionIsTheScriptBodyWithoutTerminator) {
    const auto script = lfidnoScriptLines({2026, 1, 1});
    std::vector<std::string> body(script.begin() + 5, script.end());
    body.back().pop_back();
    EXPECT_EQ(lfidnoDefinitionLines(), body);
    const std::string text = lfidnoDefinitionText();
    EXPECT_EQ(Cp932::byteWidth(text), 253u);
    EXPECT_TRUE(text.ends_with("TABLESPACE users\r\n"));
}

TEST(FixedScripts, AdminIsByteExact) {
    const std::string expected = crlf({
        kRule,
        "/* ﾕｰｻﾞｰの作成  systemで実行                                             */",
        "/* 権限の付与を忘れずに！                                                */",
        "/* DOSプロンプト> SQLPLUS system/pelvak@NetServiceName @CreateAdmin.sql  */",
        kRule,
        "CREATE USER tarnbol",
        " IDENTIFIED BY ﾊﾟｽword",
        " DEFAULT TABLESPACE users",
        " TEMPORARY TABLESPACE temp;",
        "GRANT DBA, RESOURCE, CONNECT TO vembuser;",
        "EXIT",
    });
    EXPECT_EQ(toScriptFileBytes(adminScriptLines("tarnbol", "ﾊﾟｽword")), expected);
}

// SQL*Plus runs the file as SYSTEM: what would end the statement or start
// another is quoted (a password) or refused (a user name).
TEST(FixedScripts, AdminQuotesOrRefusesWhatWouldChangeItsStatement) {
    struct Case {
        std::string user;
        std::string password;
        std::string createLine;    // line 6, "" when refused
        std::string passwordLine;  // line 7
    };
    const Case cases[] = {
        {" tarnbol", "pw ", "CREATE USER  tarnbol", " IDENTIFIED BY pw "},
        {"", "", "CREATE USER ", " IDENTIFIED BY "},
        {"tarnbol", "ﾊﾟｽ;word", "CREATE USER tarnbol", " IDENTIFIED BY \"ﾊﾟｽ;word\""},
        {"tarnbol", " p w ", "CREATE USER tarnbol", " IDENTIFIED BY \"p w\""},
        {"tarnbol", "select", "CREATE USER tarnbol", " IDENTIFIED BY \"select\""},
        {"tarnbol", "9lives", "CREATE USER tarnbol", " IDENTIFIED BY \"9lives\""},
        {"tarnbol", "say\"hi", "", ""},
        {"tarnbol", "two\r\nlines", "", ""},
        {"a;DROP USER system", "pw", "", ""},
        {"a b", "pw", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user + "/" + c.password);
        EXPECT_EQ(adminScriptProblem(c.user, c.password).has_value(), c.createLine.empty());
        if (c.createLine.empty()) {
            EXPECT_THROW(adminScriptLines(c.user, c.password), InputError);
            continue;
        }
        const auto lines = adminScriptLines(c.user, c.password);
        EXPECT_EQ(lines.at(5), c.createLine);
        EXPECT_EQ(lines.at(6), c.passwordLine);
    }
}

TEST(FixedScripts, BatchRefusesTextsThatWouldEndItsCommentLine) {
    for (const auto& [user, password, service] : {std::tuple{"admin*/", "pw", "ORCL"},
                                                  {"admin", "p\r\nDROP USER x;", "ORCL"},
                                                  {"admin", "pw", "ORCL */ DROP USER x;"}}) {
        SCOPED_TRACE(std::string(user) + password + service);
        EXPECT_THROW(batchScriptLines(user, password, service, kDate, {"a.sql"}), InputError);
    }
}

TEST(FixedScripts, BatchIsByteExact) {
    const std::string expected = crlf({
        kRule,
        "/* ﾃｰﾌﾞﾙ 一括作成SQL　ADMINで実行" + std::string(40, ' ') + "*/",
        "/* DOSﾌﾟﾛﾝﾌﾟﾄ> SQLPLUS admin/pw@ORCL @CreateTables.sql" + std::string(19, ' ') + "*/",
        "/* Create Date : 2001/02/03" + std::string(46, ' ') + "*/",
        kRule,
        "@@a.sql",
        "@@LFIDNO.sql",
        "@@b.sql",
        "EXIT",
    });
    // The batch leaves out itself and the administrator's script, in any case.
    const auto lines =
        batchScriptLines("admin", "pw", "ORCL", kDate,
                         {"a.sql", "CREATEADMIN.SQL", "createtables.sql", "LFIDNO.sql", "b.sql"});
    EXPECT_EQ(toScriptFileBytes(lines), expected);
}

TEST(FixedScripts, BatchCommandLineIsCutAt70Bytes) {
    const auto lines =
        batchScriptLines("長いユーザー名", std::string(30, 'p'), "ｻｰﾋﾞｽ名", kDate, {});
    EXPECT_EQ(Cp932::byteWidth(lines[2]), 75u);
    EXPECT_TRUE(lines[2].starts_with("/* DOSﾌﾟﾛﾝﾌﾟﾄ> SQLPLUS 長いユーザー名/ppp"));
    EXPECT_TRUE(lines[2].ends_with("   */"));
    EXPECT_EQ(lines.size(), 6u);
}

TEST(ScriptFiles, FixedScriptsAreWrittenOnlyWhenMissing) {
    TempDir dir;
    EXPECT_EQ(writeFixedScriptsIfMissing(dir.path(), kConnection, kDate), 2);
    EXPECT_EQ(base::readFileBytes(dir.path() + "/LFIDNO.sql"),
              toScriptFileBytes(lfidnoScriptLines(kDate)));
    EXPECT_EQ(base::readFileBytes(dir.path() + "/CreateAdmin.sql"),
              toScriptFileBytes(adminScriptLines("admin", "pw")));

    // a hand-edited file survives a later run with other connection texts
    std::ofstream(dir.path() + "/CreateAdmin.sql") << "edited";
    EXPECT_EQ(writeFixedScriptsIfMissing(dir.path() + "/", {"other", "x", ""}, kDate), 0);
    EXPECT_EQ(base::readFileBytes(dir.path() + "/CreateAdmin.sql"), "edited");

    std::filesystem::remove(dir.path() + "/CreateAdmin.sql");
    EXPECT_EQ(writeFixedScriptsIfMissing(dir.path(), {"other", "x", ""}, kDate), 1);
    EXPECT_EQ(base::readFileBytes(dir.path() + "/CreateAdmin.sql"),
              toScriptFileBytes(adminScriptLines("other", "x")));
}

TEST(ScriptFiles, BatchListsTheFolderWithOrWithoutTrailingSeparator) {
    TempDir dir;
    for (const char* name : {"b.sql", "a.sql", ".hidden.sql", "notes.txt"}) {
        std::ofstream(dir.path() + "/" + name) << "x";
    }
    writeFixedScriptsIfMissing(dir.path(), kConnection, kDate);
    const std::string first = base::readFileBytes(writeBatchScript(dir.path(), kConnection, kDate));
    const std::string second =
        base::readFileBytes(writeBatchScript(dir.path() + "/", kConnection, kDate));
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, toScriptFileBytes(batchScriptLines("admin", "pw", "ORCL", kDate,
                                                        {"LFIDNO.sql", "a.sql", "b.sql"})));
}

}  // namespace
}  // namespace malvorn::convert
