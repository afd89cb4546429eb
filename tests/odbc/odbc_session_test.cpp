#include "odbc/odbc_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "odbc/odbc_handle.h"
#include "odbc/parameter_arrays.h"
#include "sqlite_data_source.h"
#include "support/command.h"

namespace malvorn::odbc {
namespace {

using ::testing::HasSubstr;

using oracle::kServerErrorNumber;

TEST(OdbcConnectionString, ValuesThatNeedItAreBraced) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"ORCL", "system", "tarnbol", "DSN=ORCL;UID=system;PWD=tarnbol;"},
        {"A}B", "u ", "}x}", "DSN={A}}B};UID={u };PWD={}}x}}};"},
        {"ORCL", "u", "{p=q", "DSN=ORCL;UID=u;PWD={{p=q};"},
    };
    for (const auto& [dsn, user, password, expected] : cases)
        EXPECT_EQ(odbcConnectionString(dsn, user, password), expected);
}

// The state is the last record's; the server's text loses its vendor prefix,
// which becomes the source. The driver manager's refusals are seen below.
TEST(OdbcErrorMapping, ServerErrorsAndAnEmptyReport) {
    const std::string o = "[Oracle][ODBC][Ora]";
    const std::vector<Diagnostic> two{{"01004", 0, "[x]truncated"},
                                      {"28000", 1017, o + "ORA-01017: denied"}};
    // Always the server's number; the description begins with the text given.
    const std::tuple<std::vector<Diagnostic>, std::string, std::string> cases[] = {
        {{{"42S02", 942, o + "ORA-00942: no table\n"}}, o, "ORA-00942: no table\n"},
        {two, o, "ORA-01017: denied"},
        {{}, "ODBC", "ODBC ドライバーがエラーを報告しましたが、内容がありません。"},
    };
    for (const auto& [records, source, description] : cases) {
        const OdbcError e = errorFromDiagnostics(records, "ORCL");
        EXPECT_EQ(std::tuple(e.number(), e.source(), e.sqlState(),
                             e.description().substr(0, description.size())),
                  std::tuple(kServerErrorNumber, source,
                             records.empty() ? "" : records.back().sqlState, description))
            << e.description();
    }
}

// A handle the driver manager refuses is an error that carries the parent's
// diagnostics: a statement under a connection that is not open.
TEST(OdbcHandleRefusal, CarriesTheParentsDiagnostics) {
    const OdbcHandle env(SQL_HANDLE_ENV, nullptr);
    SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    const OdbcHandle dbc(SQL_HANDLE_DBC, &env);
    try {
        const OdbcHandle stmt(SQL_HANDLE_STMT, &dbc);
        ADD_FAILURE() << "a statement handle without a connection was allocated";
    } catch (const HandleRefused& refused) {
        EXPECT_EQ(refused.type(), SQL_HANDLE_STMT);
        ASSERT_FALSE(refused.diagnostics().empty());
        EXPECT_EQ(refused.diagnostics().front().sqlState, "08003");  // connection not open
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
        session->execute("INSERT INTO EMP VALUES (1, 'SMITH', NULL)");
        session->execute("INSERT INTO EMP VALUES (2, 'ALLEN', '')");
        EXPECT_EQ(open()->queryValue("SELECT COUNT(*) FROM EMP"), "2");
        EXPECT_EQ(session->queryValue("SELECT NOTE FROM EMP WHERE ID = 1"), std::nullopt);
        rows = session->query("SELECT ID, NAME, NOTE FROM EMP ORDER BY ID");
    }
    EXPECT_EQ(rows->columnNames(), (std::vector<std::string>{"ID", "NAME", "NOTE"}));
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->value(std::size_t{0}), "1");
    EXPECT_EQ(rows->value("name"), "SMITH");
    EXPECT_EQ(rows->value("NOTE"), std::nullopt);
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->value(std::size_t{2}), std::string());
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

// Each failure with its number, source and text; a refusal leaves the session good.
TEST_F(SqliteOdbc, FailuresCarryTheirNumberSourceAndText) {
    auto session = open();
    const std::tuple<const char*, std::function<void()>, std::int32_t, const char*, const char*>
        cases[] = {
            {"statement", [&] { session->execute("SELECT * FROM NOPE"); }, kServerErrorNumber,
             "[SQLite]", "no such table: NOPE (1)"},
            {"wrong data source", [] { openOdbcSession("NO_SUCH_SOURCE", "scott", "tiger"); },
             kDataSourceMissingNumber, "ODBC", "データソース「NO_SUCH_SOURCE」が見つかりません"},
            {"unloadable driver",
             [] { openOdbcSession(SqliteDataSource::kBrokenDriver, "scott", "tiger"); },
             kDriverMissingNumber, "ODBC",
             "「MALVORN_BROKEN」のドライバーを読み込めません。odbcinst.ini"},
        };
    for (const auto& [what, fail, number, source, told] : cases) {
        try {
            fail();
            ADD_FAILURE() << what << " did not fail";
        } catch (const OdbcError& e) {
            EXPECT_EQ(std::pair(e.number(), std::string(e.source())),
                      std::pair(number, std::string(source)))
                << what;
            EXPECT_THAT(e.description(), HasSubstr(told));
        }
    }
    EXPECT_EQ(session->queryValue("SELECT 1"), "1");
}

// The command line reaches the data source through the net service name.
TEST_F(SqliteOdbc, CommandLineRunsStatementsAndScripts) {
    const std::string connect =
        std::string("sql --user scott --password tiger --service ") + SqliteDataSource::kDataSource;
    const std::string script = SqliteDataSource::instance().folder() + "/insert.sql";
    std::ofstream(script) << "/* one row */\r\nINSERT INTO T\r\nVALUES (2, 'x;y');\r\n";
    const std::tuple<std::string, int, std::string> cases[] = {
        {connect + " 'CREATE TABLE T (A INTEGER, B TEXT)' \"INSERT INTO T VALUES (1, '日本')\"", 0,
         ""},
        {connect + " --script " + script, 0, "スクリプト実行　開始\nスクリプト実行　完了\n"},
        {connect + " 'SELECT A, B FROM T ORDER BY A' 'SELECT NULL AS N'", 0,
         "A\tB\n1\t日本\n2\tx;y\n\nN\n\n"},
        {connect + " 'SELECT * FROM NOPE'", 1,
         "SQL実行ｴﾗｰ\nﾌﾟﾛｼｼﾞｬ：sql\nｴﾗｰNo:-2147467259\n説 明:no such table: NOPE (1)\n"
         "ｴﾗｰｿｰｽ:[SQLite]\n"},  // one a line
        {connect + " --script " + SqliteDataSource::instance().folder() + "/missing.sql", 2,
         "スクリプトファイルがありません: " + SqliteDataSource::instance().folder() +
             "/missing.sql\n"},
    };
    for (const auto& [arguments, status, output] : cases) {
        const CommandRun run = runCommand(std::string(MALVORN_CLI) + " " + arguments);
        EXPECT_EQ(run.status, status) << arguments << "\n" << run.err;
        EXPECT_EQ(run.out + run.err, output) << arguments;
    }
}

// Each run ends where its buffers would pass the budget: a long value
// shortens the run it falls in, and no run is ever empty.
TEST(ParameterArrays, RunsKeepWithinTheBudget) {
    const auto rowOf = [](std::size_t bytes) {
        return oracle::BoundRow{std::string(bytes, 'x'), oracle::BoundNumber{"1"}};
    };
    constexpr std::size_t kSlot = sizeof(SQL_TIMESTAMP_STRUCT);  // counted for every value
    const struct {
        std::vector<std::size_t> sizes;
        std::size_t from, limit, budget;
        std::size_t end;
    } cases[] = {
        {{10, 10, 10, 10}, 0, 100, 1 << 20, 4},
        {{10, 10, 10, 10}, 1, 2, 1 << 20, 3},
        {{10, 10, 10, 10}, 0, 100, 2 * (10 + 1 + 2 * kSlot), 2},
        {{10, 1000, 10}, 0, 100, 2000, 1},  // the long one widens the first row too
        {{1000}, 0, 100, 10, 1},
        {{10}, 1, 100, 100, 1},
    };
    for (const auto& c : cases) {
        std::vector<oracle::BoundRow> rows;
        for (const std::size_t size : c.sizes)
            rows.push_back(rowOf(size));
        EXPECT_EQ(runEnd(rows, c.from, c.limit, c.budget), c.end) << c.budget;
    }
}

}  // namespace
}  // namespace malvorn::odbc
