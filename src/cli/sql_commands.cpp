// The command that sends statements to a server and shows what queries
// return, for checking a migration from a terminal; a script goes through
// the window's script command.
#include <iostream>

#include "app/drivers.h"
#include "cli/command.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/passwords.h"
#include "cli/result_text.h"
#include "core/admin_commands.h"
#include "oracle/operation.h"

namespace malvorn::cli {
namespace {

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

const std::vector<std::string>& statementsFrom(const Arguments& args) {
    if (args.positional.empty())
        throw UsageError("SQL 文を指定してください (または --script FILE)");
    for (std::size_t i = 0; i < args.positional.size(); ++i) {
        if (isBlank(args.positional[i]))
            throw UsageError(std::to_string(i + 1) + " 番目の SQL 文が空です");
    }
    return args.positional;
}

// スクリプト実行 of the SQL tab: the file folded into one statement.
int runScriptFile(const Arguments& args) {
    if (!args.positional.empty())
        throw UsageError("--script と SQL 文は同時に指定できません");
    const core::ScriptFields fields{args.option("script"), connectionFrom(args)};
    ConsoleMessages messages;
    ConsoleFront front;
    core::Services services = consoleServices(messages, front);
    const core::Outcome outcome = core::runScript(fields, services);
    if (outcome == core::Outcome::kRefused && !messages.shownAny()) {
        // Comment lines, blanks and ";" only: there was nothing to send.
        std::fprintf(stderr, "スクリプトに送る文がありません: %s\n", fields.scriptPath.c_str());
        return 0;
    }
    return exitStatus(outcome);
}

int runStatements(const Arguments& args) {
    const std::vector<std::string>& statements = statementsFrom(args);
    const oracle::ConnectionFields fields = connectionFrom(args);
    try {
        oracle::CommandSession session(fields, app::defaultDrivers());
        // The statements given form one transaction, so COMMIT, ROLLBACK and
        // SAVEPOINT among them work; a failure rolls back what is pending.
        session->setAutoCommit(false);
        bool first = true;
        try {
            for (const auto& statement : statements) {
                if (auto rows = session->run(statement)) {
                    if (!first)
                        std::cout << '\n';
                    cli::writeTabSeparated(*rows, std::cout);
                    first = false;
                }
            }
        } catch (...) {
            std::cout.flush();
            try {
                session->rollback();
            } catch (const oracle::OracleError&) {
                // The statement's own error is the one to report.
            }
            throw;
        }
        session->commit();
        std::cout.flush();
    } catch (const oracle::OracleError& error) {
        // Reported as the window's SQL tab reports it.
        std::cout.flush();
        std::fputs(consoleLines(oracle::errorReportText("SQL実行ｴﾗｰ", "sql", error)).c_str(),
                   stderr);
        return 1;
    }
    return 0;
}

int runSql(const Arguments& args) {
    return args.has("script") ? runScriptFile(args) : runStatements(args);
}

const CommandRegistration sql(
    {"sql",
     "sql --user U [--service S] SQL文...\n"
     "  sql --user U [--service S] --script ファイル\n"
     "    SQL 文を 1 つずつ実行し、問い合わせの結果をタブ区切りで表示します。\n"
     "    SQL 文は 1 つのトランザクションで実行され (COMMIT, ROLLBACK, SAVEPOINT が使えます)、\n"
     "    すべて成功すると最後にコミットします。失敗した文で止まり、未コミットの変更を\n"
     "    ロールバックして 0 以外で終了します。--script は画面の「スクリプト実行」と同じく、\n"
     "    ファイルを 1 つの文にまとめて実行します",
     runSql,
     connectionOptions() + Options{{"script", "FILE", "ファイルを 1 つの文にまとめて実行します"}}});

}  // namespace
}  // namespace malvorn::cli
