#include "odbc/odbc_session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "odbc/odbc_handle.h"
#include "sqlite_data_source.h"
#include "support/command.h"

namespace malvorn::odbc {
namespace {

using oracle::kServerErrorNumber;

TEST(OdbcConnectionString, ValuesThatNeedItAreBraced) {
    const struct {
        const char* dsn;
        const char* user;
        const char* password;
        const char* expected;
    } cases[] = {
        {"ORCL", "system", "tarnbol", "DSN=ORCL;UID=system;PWD=tarnbol;"},
        {"ORCL", " a", "p;w", "DSN=ORCL;UID={ a};PWD={p;w};"},
        {"A}B", "u ", "}x}", "DSN={A}}B};UID={u };PWD={}}x}}};"},
        {"ORCL", "u", "{p=q", "DSN=ORCL;UID=u;PWD={{p=q};"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(odbcConnectionString(c.dsn, c.user, c.password), c.expected);
}

// The state is the last record's; the server's text loses its vendor prefix,
// which becomes the source. A missing data source or driver is seen through
// the driver manager below; here, its other refusals and an empty report.
TEST(OdbcErrorMapping, ServerErrorsAndFailuresBeforeTheServer) {
    const std::string oracle = "[Oracle][ODBC][Ora]";
    const std::string manager = "[unixODBC][Driver Manager]";
    const struct {
        std::vector<Diagnostic> records;
        std::int32_t number;
        std::string source;
        std::string description;  // whole, or for the manager's refusals a telling part
    } cases[] = {
        {{{"42S02", 942, oracle + "ORA-00942: no table\n"}},
         kServerErrorNumber,
         oracle,
         "ORA-00942: no table\n"},
        {{{"01004", 0, "[x]truncated"}, {"28000", 1017, oracle + "ORA-01017: denied"}},
         kServerErrorNumber,
         oracle,
         "ORA-01017: denied"},
        {{{"IM010", 0, manager + "Data source name too long"}},
         kDriverManagerNumber,
         "ODBC",
         "「ORCL」への要求を受け付けません。(IM010) Data source name too long"},
        {{}, kServerErrorNumber, "ODBC", "エラーを報告しましたが、内容がありません。"},
    };
    for (const auto& c : cases) {
        const OdbcError e = errorFromDiagnostics(c.records, "ORCL");
        SCOPED_TRACE(e.description());
        EXPECT_EQ(e.number(), c.number);
        EXPECT_EQ(e.source(), c.source);
        EXPECT_EQ(e.sqlState(), c.records.empty() ? "" : c.records.back().sqlState);
        if (c.number == kServerErrorNumber && !c.records.empty()) {
            EXPECT_EQ(e.description(), c.description);
        } else {
            EXPECT_NE(e.description().find(c.description), std::string::npos);
        }
    }
}

class SqliteOdbc : public ::testing::Test {
  protected:
    void SetUp() override { SqliteDataSource::instance().reset(); }

    static std::unique_ptr<oracle::Session> open() {
        return openOdbcSession(SqliteDataSource::kDataSource, "scott", "tiger");
    }
};

// Each statement takes effect on its own: what one session sends is there
// for the next before the first has closed. A walk outlives its session.
TEST_F(SqliteOdbc, ExecuteReadValuesAndNullsAndWalk) {
    std::unique_ptr<oracle::ResultSet> rows;
    {
        auto session = open();
        session->execute("CREATE TABLE EMP (ID INTEGER, NAME TEXT, NOTE TEXT)");
        EXPECT_EQ(session->queryValue("SELECT NOTE FROM EMP"), std::nullopt);  // no row
        session->execute("INSERT INTO EMP VALUES (1, 'SMITH', NULL)");
        session->execute("INSERT INTO EMP VALUES (2, 'ALLEN', '')");
        session->execute("DELETE FROM EMP WHERE ID = 99");  // no row touched: no failure
        EXPECT_EQ(open()->queryValue("SELECT COUNT(*) FROM EMP"), "2");
        EXPECT_EQ(session->queryValue("SELECT NOTE FROM EMP WHERE ID = 1"), std::nullopt);
        EXPECT_EQ(session->queryValue("SELECT NOTE FROM EMP WHERE ID = 2"), std::string());
        rows = session->query("SELECT ID, NAME, NOTE FROM EMP ORDER BY ID");
    }
    EXPECT_EQ(rows->columnNames(), (std::vector<std::string>{"ID", "NAME", "NOTE"}));
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->value(std::size_t{0}), "1");
    EXPECT_EQ(rows->value("name"), "SMITH");
    EXPECT_EQ(rows->value("NOTE"), std::nullopt);
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->value(std::size_t{1}), "ALLEN");
    EXPECT_EQ(rows->value(std::size_t{2}), std::string());
    EXPECT_FALSE(rows->next());
    EXPECT_FALSE(rows->next());
    EXPECT_THROW(rows->value(std::size_t{0}), oracle::OracleError);
}

TEST_F(SqliteOdbc, JapaneseAndLongTextComeBackWhole) {
    auto session = open();
    session->execute("CREATE TABLE 社員 (氏名 TEXT)");
    std::string longText;
    for (int i = 0; i < 5000; ++i)
        longText += "髙①～";  // 9 bytes each: pieces of the read split characters
    for (const std::string& text : {std::string("髙橋①～∥"), longText, std::string(4095, 'x')}) {
        session->execute("DELETE FROM 社員");
        session->execute("INSERT INTO 社員 VALUES ('" + text + "')");
        EXPECT_EQ(session->queryValue("SELECT 氏名 FROM 社員"), text) << text.size();
        auto rows = session->query("SELECT 氏名 AS 名前 FROM 社員");
        EXPECT_EQ(rows->columnNames(), std::vector<std::string>{"名前"});
        ASSERT_TRUE(rows->next());
        EXPECT_EQ(rows->value("名前"), text);
    }
}

// Refusals of the server and failures before it, each with its number,
// source and text; a refusal leaves the session good.
TEST_F(SqliteOdbc, FailuresCarryTheirNumberSourceAndText) {
    auto session = open();
    const struct {
        const char* what;
        std::function<void()> fail;
        std::int32_t number;
        const char* source;
        const char* told;
    } cases[] = {
        {"statement", [&] { session->execute("SELECT * FROM NOPE"); }, kServerErrorNumber,
         "[SQLite]", "no such table: NOPE (1)"},
        {"value", [&] { session->queryValue("SELEC 1"); }, kServerErrorNumber, "[SQLite]",
         "syntax error"},
        {"walk", [&] { session->query("SELECT X FROM NOPE"); }, kServerErrorNumber, "[SQLite]",
         "no such table: NOPE"},
        {"wrong data source", [] { openOdbcSession("NO_SUCH_SOURCE", "scott", "tiger"); },
         kDataSourceMissingNumber, "ODBC", "データソース「NO_SUCH_SOURCE」が見つかりません"},
        {"unloadable driver",
         [] { openOdbcSession(SqliteDataSource::kBrokenDriver, "scott", "tiger"); },
         kDriverMissingNumber, "ODBC",
         "「MALVORN_BROKEN」のドライバーを読み込めません。odbcinst.ini"},
    };
    for (const auto& c : cases) {
        try {
            c.fail();
            ADD_FAILURE() << c.what << " did not fail";
        } catch (const OdbcError& e) {
            EXPECT_EQ(e.number(), c.number) << c.what;
            EXPECT_EQ(e.source(), c.source) << c.what;
            EXPECT_NE(e.description().find(c.told), std::string::npos) << e.description();
        }
    }
    EXPECT_EQ(session->queryValue("SELECT 1"), "1");
}

// Whatever the user and password hold, the data source is still found: the
// table made over a plain login is seen over every other.
TEST_F(SqliteOdbc, AnyLoginTextLeavesTheDataSourceIntact) {
    open()->execute("CREATE TABLE SEEN (A INTEGER)");
    for (const char* text : {"p;w", "}", "a}b;c={d}", " x ", "DSN=OTHER", ""}) {
        auto session = openOdbcSession(SqliteDataSource::kDataSource, text, text);
        EXPECT_EQ(session->queryValue("SELECT COUNT(*) FROM SEEN"), "0") << text;
    }
}

// The command line reaches the data source through the net service name.
TEST_F(SqliteOdbc, CommandLineRunsStatementsAndScripts) {
    const std::string connect =
        std::string("sql --user scott --password tiger --service ") + SqliteDataSource::kDataSource;
    const std::string script = SqliteDataSource::instance().folder() + "/insert.sql";
    std::ofstream(script) << "/* one row */\r\nINSERT INTO T\r\nVALUES (2, 'x;y');\r\n";
    const std::string onlyComments = SqliteDataSource::instance().folder() + "/empty.sql";
    std::ofstream(onlyComments) << "/* nothing */\r\n;\r\n";

    const struct {
        std::string arguments;
        int status;
        std::string output;
    } cases[] = {
        {connect + " 'CREATE TABLE T (A INTEGER, B TEXT)' \"INSERT INTO T VALUES (1, '日本')\"", 0,
         ""},
        {connect + " --script " + script, 0, ""},
        {connect + " --script " + onlyComments, 0, ""},
        {connect + " 'SELECT A, B FROM T ORDER BY A' 'SELECT NULL AS N'", 0,
         "A\tB\n1\t日本\n2\tx;y\n\nN\n\n"},
        {connect + " 'SELECT * FROM NOPE'", 1,
         "SQL実行ｴﾗｰ\nﾌﾟﾛｼｼﾞｬ：sql\nｴﾗｰNo:-2147467259\n説 明:no such table: NOPE (1)\n"
         "ｴﾗｰｿｰｽ:[SQLite]\n"},  // one a line
        {connect + " --script " + SqliteDataSource::instance().folder() + "/missing.sql", 2,
         "malvorn-cli: スクリプトが指定されていません\n"},
    };
    for (const auto& c : cases) {
        const CommandRun run = runCommand(std::string(MALVORN_CLI) + " " + c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
        EXPECT_EQ(run.out + run.err, c.output) << c.arguments;
    }
}

}  // namespace
}  // namespace malvorn::odbc
