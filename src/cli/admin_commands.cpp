// The user and IDNO tabs from the command line. The SQL tab's own work is the
// sql command's, which also shows what queries return.
#include <iostream>

#include "app/drivers.h"
#include "base/files.h"
#include "cli/command.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/passwords.h"
#include "cli/result_text.h"
#include "convert/fixed_scripts.h"
#include "core/admin_commands.h"
#include "encoding/cp932.h"
#include "encoding/utf8.h"
#include "oracle/operation.h"

namespace malvorn::cli {
namespace {

int runUser(const Arguments& args) {
    const auto& p = args.positional;
    const bool create = !p.empty() && p[0] == "create" && (p.size() == 2 || p.size() == 3);
    const bool drop = !p.empty() && (p[0] == "delete" || p[0] == "drop") && p.size() == 2;
    if (!create && !drop)
        throw UsageError("user create <ユーザー名> [<パスワード>] または user delete <ユーザー名>");
    if (drop && args.has(kNewUserPassword.fileOption))
        throw UsageError("--new-password-file は user create と一緒に指定してください");
    const std::string password =
        create ? passwordFrom(args, kNewUserPassword,
                              p.size() == 3 ? std::optional(p[2]) : std::nullopt)
               : std::string();
    const core::UserFields fields{p[1], password, connectionFrom(args)};
    ConsoleMessages messages;
    ConsoleFront front;
    core::Services services = consoleServices(messages, front);
    return exitStatus(create ? core::createUser(fields, services)
                             : core::deleteUser(fields, services));
}

// A definition file in the program's own code page, or UTF-8.
std::string definitionFrom(const Arguments& args) {
    if (!args.has("definition"))
        return convert::lfidnoDefinitionText();
    const std::string bytes = base::readFileBytes(args.option("definition"));
    return encoding::isValidUtf8(bytes) ? bytes : encoding::Cp932::toUtf8(bytes);
}

void printLfidno(const model::ConnectionFields& connection) {
    oracle::CommandSession session(connection, app::defaultDrivers());
    const auto rows = session->query("SELECT 表名, IDNO FROM LFIDNO ORDER BY 表名");
    cli::writeTabSeparated(*rows, std::cout);
}

int runLfidno(const Arguments& args) {
    const auto& p = args.positional;
    const bool create = p.size() == 1 && p[0] == "create";
    const bool fill = p.size() == 2 && p[0] == "fill";
    if (!create && !fill)
        throw UsageError("lfidno create または lfidno fill <所有者>");
    if (args.has("replace") && !create)
        throw UsageError("--replace は lfidno create と一緒に指定してください");
    if (args.has("definition") && !create)
        throw UsageError("--definition は lfidno create と一緒に指定してください");
    if (args.has("definition") && !base::fileExists(args.option("definition")))
        throw UsageError("--definition のファイルがありません: " + args.option("definition"));
    const model::ConnectionFields connection = connectionFrom(args);
    ConsoleMessages messages(args.has("replace"));
    ConsoleFront front;
    core::Services services = consoleServices(messages, front);
    if (create)
        return exitStatus(core::createLfidno({definitionFrom(args), connection}, services));
    const core::Outcome outcome = core::setLfidno({p[1], connection}, services);
    if (outcome == core::Outcome::kDone)
        printLfidno(connection);
    return exitStatus(outcome);
}

const CommandRegistration user(
    {"user",
     "user create <ユーザー名> [<パスワード>] --user SYSTEM [--service S]\n"
     "  user delete <ユーザー名> --user SYSTEM [--service S]\n"
     "    画面の「ユーザー作成」タブと同じく、ユーザーを作成 (DBA, RESOURCE, CONNECT を付与)\n"
     "    または所有オブジェクトごと削除します (drop は delete と同じ)。新しいユーザーの\n"
     "    パスワードは <パスワード>、--new-password-file、MALVORN_NEW_PASSWORD、端末での入力の順",
     runUser,
     connectionOptions() +
         Options{{"new-password-file", "FILE",
                  "user create: 新しいユーザーのパスワードをファイルの1行目から読みます"}}});

const CommandRegistration lfidno(
    {"lfidno",
     "lfidno create [--definition ファイル] [--replace] --user U [--service S]\n"
     "  lfidno fill <所有者> --user U [--service S]\n"
     "    画面の「IDNOテーブル」タブと同じく、LFIDNO を作成 (既定は組み込みの定義、既存の表は\n"
     "    --replace のときだけ削除) または所有者の各表のレコード番号の最大値で埋め直し、\n"
     "    表名と IDNO を表示します",
     runLfidno,
     connectionOptions() +
         Options{{"definition", "FILE", "create: LFIDNO の定義 (CP932 か UTF-8 の SQL 文)"},
                 {"replace", "", "create: 既存の LFIDNO を削除して作り直します"}}});

}  // namespace
}  // namespace malvorn::cli
