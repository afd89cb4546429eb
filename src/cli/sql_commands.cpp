// The command that sends statements or a script to a server and shows what
// queries return, for checking a migration from a terminal.
#include <iostream>

#include "admin/result_text.h"
#include "admin/script_folding.h"
#include "app/drivers.h"
#include "cli/command.h"
#include "convert/script_files.h"
#include "oracle/operation.h"
#include "shell/files.h"

namespace malvorn::cli {
namespace {

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

std::vector<std::string> statementsFrom(const Arguments& args) {
    if (args.has("script")) {
        if (!args.positional.empty())
            throw UsageError("--script と SQL 文は同時に指定できません");
        const std::string path = args.option("script");
        if (!shell::fileExists(path))
            throw convert::InputError("スクリプトが指定されていません");
        std::string statement = admin::foldScriptFile(path);
        // A script of comment lines, blanks and ";" only sends nothing.
        if (isBlank(statement))
            return {};
        return {std::move(statement)};
    }
    if (args.positional.empty())
        throw UsageError("ＳＱＬ文が指定されていません");
    for (const auto& statement : args.positional) {
        if (isBlank(statement))
            throw UsageError("ＳＱＬ文が指定されていません");
    }
    return args.positional;
}

int runSql(const Arguments& args) {
    const std::vector<std::string> statements = statementsFrom(args);
    if (statements.empty())
        return 0;
    const oracle::ConnectionFields fields{args.option("user"), args.option("password"),
                                          args.option("service")};
    oracle::CommandSession session(fields, app::defaultDrivers());
    // Statements given one by one form one transaction, so COMMIT, ROLLBACK
    // and SAVEPOINT among them work; a failure rolls back what is pending.
    const bool oneTransaction = !args.has("script");
    if (oneTransaction)
        session->setAutoCommit(false);
    bool first = true;
    try {
        for (const auto& statement : statements) {
            if (auto rows = session->run(statement)) {
                if (!first)
                    std::cout << '\n';
                admin::writeTabSeparated(*rows, std::cout);
                first = false;
            }
        }
    } catch (...) {
        std::cout.flush();
        try {
            if (oneTransaction)
                session->rollback();
        } catch (const oracle::OracleError&) {
            // The statement's own error is the one to report.
        }
        throw;
    }
    if (oneTransaction)
        session->commit();
    std::cout.flush();
    return 0;
}

const CommandRegistration sql(
    {"sql",
     "sql --user U --password P [--service S] SQL文...\n"
     "sql --user U --password P [--service S] --script ファイル\n"
     "    SQL 文を 1 つずつ実行し、問い合わせの結果をタブ区切りで表示します。\n"
     "    SQL 文は 1 つのトランザクションで実行され (COMMIT, ROLLBACK, SAVEPOINT が使えます)、\n"
     "    すべて成功すると最後にコミットします。失敗した文で止まり、未コミットの変更を\n"
     "    ロールバックして 0 以外で終了します\n"
     "    (--script はファイルを 1 つの文にまとめ、その文を実行してコミット)",
     runSql});

}  // namespace
}  // namespace malvorn::cli
