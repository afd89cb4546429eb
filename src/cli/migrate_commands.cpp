// The whole-database migration from the command line.
#include <cstdio>
#include <map>
#include <optional>

#include "base/files.h"
#include "cli/bulk_option.h"
#include "cli/command.h"
#include "cli/console.h"
#include "cli/migrate_text.h"
#include "cli/options.h"
#include "cli/passwords.h"
#include "cli/progress.h"
#include "cli/progress_board.h"
#include "cli/stop_signals.h"
#include "core/migrate.h"
#include "core/migrate_report.h"
#include "core/migrate_report_html.h"
#include "core/migrate_scripts.h"
#include "jet/jet_reader_client.h"

namespace malvorn::cli {
namespace {

constexpr std::size_t kMaxJobs = 16;

// The line a finished table leaves.
std::string finishedText(const std::string& label, const core::TableOutcome& outcome) {
    if (outcome.ok)
        return label + ": ok";
    if (outcome.interrupted)
        return label + ": 中断 (読んだ行 " + std::to_string(outcome.rowsRead) + ")";
    return label + ": 失敗 (読んだ行 " + std::to_string(outcome.rowsRead) + "): " + outcome.result;
}

// Each table's rows as the copy shows them (a bar on a terminal, a line now
// and then elsewhere), then one line per finished table.
class TableProgress : public core::MigrateProgress {
  public:
    void tableStarted(const std::string& table, std::size_t number, std::size_t total) override {
        label_ = "[" + std::to_string(number) + "/" + std::to_string(total) + "] " + table;
        line_.emplace();
    }
    void rowsCopied(std::int64_t done, std::int64_t total) override {
        line_->update(label_, done, total);
    }
    void tableFinished(const core::TableOutcome& outcome) override {
        line_->finish();
        std::fprintf(stderr, "%s\n", finishedText(label_, outcome).c_str());
    }

  private:
    std::string label_;
    std::optional<ProgressLine> line_;
};

// With --jobs: a line for each table being copied.
class JobsProgress : public core::MigrateProgress {
  public:
    void tableStarted(const std::string& table, std::size_t number, std::size_t total) override {
        labels_[table] = "[" + std::to_string(number) + "/" + std::to_string(total) + "] " + table;
        board_.started(labels_[table]);
    }
    void tableRowsCopied(const std::string& table, std::int64_t done, std::int64_t total) override {
        board_.update(labels_[table], done, total);
    }
    void tableFinished(const core::TableOutcome& outcome) override {
        board_.finished(labels_[outcome.table], finishedText(labels_[outcome.table], outcome));
    }

  private:
    std::map<std::string, std::string> labels_;
    ProgressBoard board_;
};

std::size_t jobsFrom(const Arguments& args) {
    if (!args.has("jobs"))
        return 1;
    const std::string text = args.option("jobs");
    std::size_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || n > kMaxJobs) {
            n = 0;
            break;
        }
        n = n * 10 + static_cast<std::size_t>(c - '0');
    }
    if (n < 1 || n > kMaxJobs)
        throw UsageError("--jobs には 1 から " + std::to_string(kMaxJobs) +
                         " までの数を指定してください: " + text);
    return n;
}

core::MigrateFields fieldsFrom(const Arguments& args) {
    if (args.positional.empty())
        throw UsageError("データベースファイルを指定してください");
    core::MigrateFields fields;
    fields.dbPath = args.positional[0];
    fields.tables.assign(args.positional.begin() + 1, args.positional.end());
    fields.sqlFolder = args.option("sql-folder");
    if (args.has("tablespace"))
        fields.tableTablespace = args.option("tablespace");
    if (args.has("index-tablespace"))
        fields.indexTablespace = args.option("index-tablespace");
    fields.suppressNotNull = args.has("no-not-null");
    fields.replace = args.has("replace");
    fields.clear = args.has("clear");
    fields.oracleSafe = args.has("oracle-safe");
    fields.verify = args.has("verify");
    fields.allowInvalid = args.has("allow-invalid");
    fields.scriptsOnly = args.has("scripts-only");
    fields.bulkBatch = bulkBatch(args);
    fields.acceptShortTables = args.has("accept-short-tables");
    fields.journalPath = args.option("journal");
    fields.resume = args.has("resume");
    fields.views = !args.has("no-views");
    fields.jobs = jobsFrom(args);
    fields.followLinks = args.has("follow-links");
    if (fields.resume && fields.journalPath.empty())
        throw UsageError("--resume には --journal FILE を指定してください");
    if (args.has("report"))
        checkReportPath(args.option("report"));
    // Scripts alone reach no server: no password is asked for.
    if (!fields.scriptsOnly)
        fields.connection = connectionFrom(args);
    return fields;
}

int writeScripts(const core::MigrateFields& fields) {
    ConsoleMessages messages;
    ConsoleFront front;
    core::Services services = consoleServices(messages, front);
    services.openJet = [](const std::string& path) { return jet::openJetSource(path); };
    core::MigrationScripts scripts;
    const core::Outcome outcome = core::writeMigrationScripts(fields, services, scripts);
    if (!scripts.files.empty())
        std::fputs(core::scriptsSummary(scripts).c_str(), stdout);
    return exitStatus(outcome);
}

int runMigrate(const Arguments& args) {
    core::MigrateFields fields = fieldsFrom(args);
    if (fields.scriptsOnly)
        return writeScripts(fields);
    const StopOnSignals signals;
    fields.stopRequested = signals.token();
    ConsoleMessages messages;
    ConsoleFront front;
    core::Services services = consoleServices(messages, front);
    // Under the Oracle-safe rules every column is carried (a complex one as a
    // child table) or its table fails, and the summary holds the notes: the
    // reader's warnings on stderr would only repeat or contradict them.
    if (fields.oracleSafe)
        services.openJet = [](const std::string& path) { return jet::openJetSource(path); };
    TableProgress oneTable;
    JobsProgress tables;
    core::MigrateProgress& progress =
        fields.jobs > 1 ? static_cast<core::MigrateProgress&>(tables) : oneTable;
    core::MigrateReport report;
    const core::Outcome outcome = core::migrateDatabase(fields, services, progress, report);
    // A refusal or a failure before the first table has shown its message;
    // a summary of no tables would say nothing.
    if (report.tables.empty())
        return exitStatus(outcome);
    std::fputs(core::migrateSummary(report, fields.verify).c_str(), stdout);
    std::fputs(failedTablesText(report).c_str(), stdout);
    if (!fields.oracleSafe)
        std::fputs(oracleSafeHint(report).c_str(), stdout);
    if (args.has("report"))
        base::writeFileAtomically(
            args.option("report"),
            core::migrateReportFor(args.option("report"), report, fields.verify));
    return exitStatus(outcome);
}

const CommandRegistration migrate(
    {"migrate",
     "migrate <データベース> [<テーブル>...] --user U [--service S]\n"
     "        [--sql-folder DIR] [--replace] [--clear] [--oracle-safe [--allow-invalid]]\n"
     "        [--verify]\n"
     "        [--tablespace T] [--index-tablespace I] [--no-not-null] [--report FILE]\n"
     "        [--bulk [--batch N]] [--accept-short-tables] [--journal FILE [--resume]]\n"
     "        [--no-views] [--scripts-only] [--jobs N]\n"
     "        [--follow-links]\n"
     "    データベース全体 (テーブル名がなければ一覧に出るすべての表) を Oracle に移します:\n"
     "    表ごとにスクリプトを作り (--sql-folder に格納)、表を作成し (既存の表は --replace\n"
     "    のときだけ作り直し、--clear のときは行を入れ替え)、全行をコピーしてサーバーの\n"
     "    行数を確かめます。最後に表ごとの結果を表示し、失敗した表はその全文を続けます。\n"
     "    --journal FILE: 表ごとの進み具合を FILE に書き続けます。--resume: 中断した移行を\n"
     "    FILE から再開します (済んだ表は飛ばし、途中の表は続きの行から)。\n"
     "    Ctrl-C (SIGINT, SIGTERM, SIGHUP) は次の行の境目で止め、終了コード 130。\n"
     "    --oracle-safe で全表を移すときは、保存された選択・ユニオンクエリを表のあとに\n"
     "    ビューにします (--no-views: 作りません)。\n"
     "    --oracle-safe --scripts-only --sql-folder DIR: サーバーに接続せず、スキーマ全体を\n"
     "    実行順の SQL*Plus スクリプト (UTF-8) と、それを順に呼ぶ CreateSchema.sql に書きます。\n"
     "    リンクテーブルは結果に名前を挙げます。--follow-links: リンク先のファイル (記録された\n"
     "    場所か、同じ名前でこのファイルと同じフォルダー) から、リンクの名前で移します。\n"
     "    すべての表とビューが ok のときだけ終了コード 0",
     runMigrate,
     connectionOptions() + bulkOptions() +
         Options{
             {"sql-folder", "DIR", "スクリプトの格納先フォルダ"},
             {"replace", "", "既存の表を削除して作り直します"},
             {"clear", "", "既存の表の行を入れ替えます"},
             {"oracle-safe", "",
              "どの Access ファイルでも通る規則 (引用符付きの名前、全型の対応、"
              "主キーの索引など)"},
             {"verify", "", "全行を読み戻して値を比べます"},
             {"allow-invalid", "",
              "--oracle-safe: 既存の行が破る制約を ENABLE NOVALIDATE で作ります "
              "(新しい行だけを検査)"},
             {"tablespace", "T", "表領域 (既定 users)"},
             {"index-tablespace", "I", "索引表領域 (既定 indx)"},
             {"no-not-null", "", "NOT NULL を付けません"},
             {"report", "FILE",
              "結果を JSON で書きます。.html なら読むためのページ "
              "(フォルダは始める前に確かめます)"},
             {"accept-short-tables", "",
              "定義の行数より読めた行が少なくても失敗にしません (差は結果に残ります)"},
             {"journal", "FILE", "表ごと・まとめごとの進み具合を JSON で記録します"},
             {"resume", "", "--journal の記録から中断したところを続けます"},
             {"no-views", "", "保存されたクエリをビューにしません"},
             {"scripts-only", "",
              "--oracle-safe: サーバーに接続せず、スキーマ全体をスクリプトに書きます "
              "(--sql-folder に)"},
             {"jobs", "N",
              "同時に移す表の数 (既定 1、1 から 16)。表ごとにセッションと読み取りを別に持ちます"},
             {"follow-links", "", "リンクテーブルをリンク先のファイルから移します"},
         }});

}  // namespace
}  // namespace malvorn::cli
