// The conversion run of the "JET=>Oracle" tab from the command line.
#include "cli/command.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/passwords.h"
#include "core/table_commands.h"

namespace malvorn::cli {
namespace {

std::string optionOr(const Arguments& args, const std::string& name, const std::string& fallback) {
    return args.has(name) ? args.option(name) : fallback;
}

int runConvert(const Arguments& args) {
    if (args.positional.size() != 2)
        throw UsageError("データベースファイルとテーブル名を指定してください");
    if (args.has("replace") && !args.has("create"))
        throw UsageError("--replace は --create と一緒に指定してください");
    core::ConvertFields fields;
    fields.dbPath = args.positional[0];
    fields.table = args.positional[1];
    fields.tableTablespace = optionOr(args, "tablespace", "users");
    fields.indexTablespace = optionOr(args, "index-tablespace", "indx");
    fields.suppressNotNull = args.has("no-not-null");
    fields.saveSql = args.has("sql-folder");
    fields.sqlFolder = args.option("sql-folder");
    fields.createTable = args.has("create");
    // The password goes to the server and into the stored fixed scripts; a
    // run that does neither asks for none.
    fields.connection = {args.option("user"),
                         fields.saveSql || fields.createTable ? connectionPassword(args) : "",
                         args.option("service")};

    ConsoleMessages messages(args.has("replace"));
    ConsoleFront front;
    core::Services services = consoleServices(messages, front);
    convert::ScriptLines script;
    return exitStatus(core::convertTable(fields, services, script));
}

const CommandRegistration convert(
    {"convert",
     "convert <データベース> <テーブル> [--sql-folder DIR]\n"
     "        [--create --user U [--service S] [--replace]]\n"
     "        [--tablespace T] [--index-tablespace I] [--no-not-null]\n"
     "    画面の「JETからOracleの表作成」と同じ変換を行います: --sql-folder があれば\n"
     "    <テーブル>.sql, LFIDNO.sql, CreateAdmin.sql を格納し、--create があれば Oracle に\n"
     "    表を作成します (既存の表は --replace のときだけ削除)",
     runConvert,
     connectionOptions() + Options{{"sql-folder", "DIR", "スクリプトの格納先フォルダ"},
                                   {"create", "", "Oracle に表を作成します"},
                                   {"replace", "", "--create: 既存の表を削除して作り直します"},
                                   {"tablespace", "T", "表領域 (既定 users)"},
                                   {"index-tablespace", "I", "索引表領域 (既定 indx)"},
                                   {"no-not-null", "", "NOT NULL を付けません"}}});

}  // namespace
}  // namespace malvorn::cli
