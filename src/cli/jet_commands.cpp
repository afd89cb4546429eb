// Commands that read a Jet database: its tables, the table script of one
// table, and the row statements of the data copy.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/jet_warnings.h"
#include "convert/script_files.h"
#include "convert/table_script.h"
#include "jet/jet_error.h"
#include "jet/jet_reader_client.h"
#include "shell/files.h"
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
    writeAll(out);
    return 0;
}

int runScript(const Arguments& args) {
    requirePositional(args, 2, "データベースファイルとテーブル名を指定してください");
    convert::TableScriptOptions options;
    options.tableTablespace = optionOr(args, "tablespace", "users");
    options.indexTablespace = optionOr(args, "index-tablespace", optionOr(args, "index", "indx"));
    options.suppressNotNull = args.has("no-not-null");
    const convert::ScriptDate date =
        args.has("date") ? parseDate(args.option("date")) : convert::localToday();

    const auto source = jet::openJetSource(args.positional[0]);
    const model::JetTableDef table = source->readTable(args.positional[1]);
    const std::string bytes = convert::fMakeTableSQL(table, options, date).fileForm();
    if (args.has("out"))
        shell::writeFileAtomically(args.option("out"), bytes);
    else
        writeAll(bytes);
    return 0;
}

int runInserts(const Arguments& args) {
    // "-z" ends each statement with a NUL byte: values may hold line breaks.
    Arguments rest = args;
    bool nulEnded = false;
    std::erase_if(rest.positional, [&nulEnded](const std::string& word) {
        return word == "-z" ? (nulEnded = true) : false;
    });
    requirePositional(rest, 2, "データベースファイルとテーブル名を指定してください");
    const std::string& tableName = rest.positional[1];

    const auto source = warningJetSource(jet::openJetSource(rest.positional[0]));
    const auto rows = source->openRows(tableName);
    const std::string head = transfer::statementHead(tableName, rows->columns());
    jet::JetRow row;
    std::string statement;
    std::int64_t number = 0;
    while (rows->next(row)) {
        ++number;
        statement = transfer::rowStatement(
            head,
            transfer::rowLiterals(rows->columns(), row, {rest.positional[0], tableName, number}));
        statement += nulEnded ? '\0' : '\n';
        writeAll(statement);
    }
    if (std::fflush(stdout) != 0)
        throw std::runtime_error("標準出力に書けません");
    if (jet::rowCountDiffers(*rows)) {
        std::fprintf(stderr, "malvorn-cli: %s\n",
                     jet::rowCountWarning(rest.positional[0], tableName, rows->deliveredRowCount(),
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
     {"no-not-null"}});
const CommandRegistration inserts({"inserts",
                                   "inserts <データベース> <テーブル> [-z]\n"
                                   "    データセットの INSERT 文を1行に1つ UTF-8 で出力します\n"
                                   "    (-z: 改行の代わりに NUL で区切ります)",
                                   runInserts});

}  // namespace
}  // namespace malvorn::cli
