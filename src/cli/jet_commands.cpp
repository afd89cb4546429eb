// Commands that read a Jet database: its tables, the table script of one
// table, and the row statements of the data copy.
#include <cstdio>
#include <string>

#include "base/files.h"
#include "cli/command.h"
#include "cli/jet_warnings.h"
#include "cli/options.h"
#include "convert/script_files.h"
#include "convert/table_script.h"
#include "jet/jet_error.h"
#include "jet/jet_reader_client.h"
#include "jet/linked_tables.h"
#include "transfer/row_statements.h"

namespace malvorn::cli {
namespace {

void requirePositional(const Arguments& args, std::size_t count, const char* what) {
    if (args.positional.size() != count)
        throw UsageError(what);
}

void writeAll(const std::string& bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
        throw std::runtime_error("標準出力に書けません");
}

// "YYYY/MM/DD" as the scripts stamp it.
convert::ScriptDate parseDate(const std::string& text) {
    convert::ScriptDate date;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%4d/%2d/%2d%c", &date.year, &date.month, &date.day, &extra) !=
            3 ||
        date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31)
        throw UsageError("--date は YYYY/MM/DD の形で指定してください: " + text);
    return date;
}

std::string optionOr(const Arguments& args, const std::string& name, const std::string& fallback) {
    return args.has(name) ? args.option(name) : fallback;
}

int runTables(const Arguments& args) {
    requirePositional(args, 1, "データベースファイルを指定してください");
    const auto source = jet::openJetSource(args.positional[0]);
    std::string out;
    for (const auto& name : source->userTableNames())
        out += name + "\n";
    // Links to other files' tables follow, each with where it points.
    for (const auto& link : jet::readLinkedTables(*source))
        out += jet::describeLink(link) + "\n";
    writeAll(out);
    return 0;
}

int runScript(const Arguments& args) {
    requirePositional(args, 2, "データベースファイルとテーブル名を指定してください");
    convert::TableScriptOptions options;
    options.tableTablespace = optionOr(args, "tablespace", "users");
    options.indexTablespace = optionOr(args, "index-tablespace", "indx");
    options.suppressNotNull = args.has("no-not-null");
    const convert::ScriptDate date =
        args.has("date") ? parseDate(args.option("date")) : convert::localToday();

    const auto source = jet::openJetSource(args.positional[0]);
    const model::JetTableDef table = source->readTable(args.positional[1]);
    const std::string bytes = convert::fMakeTableSQL(table, options, date).fileForm();
    if (args.has("out"))
        base::writeFileAtomically(args.option("out"), bytes);
    else
        writeAll(bytes);
    return 0;
}

int runInserts(const Arguments& args) {
    // "-z" ends each statement with a NUL byte: values may hold line breaks.
    const bool nulEnded = args.has("nul");
    requirePositional(args, 2, "データベースファイルとテーブル名を指定してください");
    const std::string& tableName = args.positional[1];

    const auto source = warningJetSource(jet::openJetSource(args.positional[0]));
    const auto rows = source->openRows(tableName);
    const std::string head = transfer::statementHead(tableName, rows->columns());
    jet::JetRow row;
    std::string statement;
    std::int64_t number = 0;
    while (rows->next(row)) {
        ++number;
        statement = transfer::rowStatement(
            head,
            transfer::rowLiterals(rows->columns(), row, {args.positional[0], tableName, number}));
        statement += nulEnded ? '\0' : '\n';
        writeAll(statement);
    }
    if (std::fflush(stdout) != 0)
        throw std::runtime_error("標準出力に書けません");
    if (jet::rowsMissing(*rows) && !args.has("accept-short-tables")) {
        // Every row read was written: the statements are what the file holds.
        std::fprintf(stderr, "malvorn-cli: %s\n",
                     jet::shortTableMessage(args.positional[0], tableName,
                                            rows->deliveredRowCount(), rows->recordedRowCount())
                         .c_str());
        return 1;
    }
    if (jet::rowCountDiffers(*rows)) {
        std::fprintf(stderr, "malvorn-cli: %s\n",
                     jet::rowCountWarning(args.positional[0], tableName, rows->deliveredRowCount(),
                                          rows->recordedRowCount())
                         .c_str());
    }
    return 0;
}

const CommandRegistration tables(
    {"tables",
     "tables <データベース>\n"
     "    ユーザーテーブルの名前を1行に1つ出力します (MSys* と隠しシステムテーブルを除く)",
     runTables});
const CommandRegistration script(
    {"script",
     "script <データベース> <テーブル> [--tablespace T] [--index-tablespace I] [--no-not-null]\n"
     "       [--date YYYY/MM/DD] [--out ファイル]\n"
     "    テーブル作成SQLをファイルと同じバイト列 (CP932, CR LF) で出力します\n"
     "    (既定: users, indx, 今日の日付)",
     runScript,
     {{"tablespace", "T", "表領域 (既定 users)"},
      {"index-tablespace", "I", "索引表領域 (既定 indx)"},
      {"no-not-null", "", "NOT NULL を付けません"},
      {"date", "YYYY/MM/DD", "スクリプトに記す日付 (既定 今日)"},
      {"out", "FILE", "標準出力の代わりにファイルに書きます"}}});
const CommandRegistration inserts(
    {"inserts",
     "inserts <データベース> <テーブル> [-z] [--accept-short-tables]\n"
     "    データセットの INSERT 文を1行に1つ UTF-8 で出力します\n"
     "    (-z: 改行の代わりに NUL で区切ります)。定義の行数より少ない\n"
     "    行しか読めないときは終了コード 1 (--accept-short-tables: 0)",
     runInserts,
     {{"nul", "", "文を改行の代わりに NUL で区切ります", 'z'},
      {"accept-short-tables", "", "定義の行数より読めた行が少なくても失敗にしません"}}});

}  // namespace
}  // namespace malvorn::cli
