// The whole-database migration from the command line.
#include <cstdio>
#include <optional>

#include "base/files.h"
#include "cli/bulk_option.h"
#include "cli/command.h"
#include "cli/console.h"
#include "cli/migrate_text.h"
#include "cli/options.h"
#include "cli/passwords.h"
#include "cli/progress.h"
#include "cli/stop_signals.h"
#include "core/migrate.h"
#include "core/migrate_report.h"
#include "core/migrate_report_html.h"
#include "jet/jet_reader_client.h"

namespace malvorn::cli {
namespace {

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
        if (outcome.ok)
            std::fprintf(stderr, "%s: ok\n", label_.c_str());
        else if (outcome.interrupted)
            std::fprintf(stderr, "%s: 中断 (読んだ行 %lld)\n", label_.c_str(),
                         static_cast<long long>(outcome.rowsRead));
        else
            std::fprintf(stderr, "%s: 失敗 (読んだ行 %lld): %s\n", label_.c_str(),
                         static_cast<long long>(outcome.rowsRead), outcome.result.c_str());
    }

  private:
    std::string label_;
    std::optional<ProgressLine> line_;
};

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
    if (fields.allowInvalid && !fields.oracleSafe)
        throw UsageError("--allow-invalid は --oracle-safe と一緒に指定してください");
    fields.bulkBatch = bulkBatch(args);
    fields.acceptShortTables = args.has("accept-short-tables");
    fields.journalPath = args.option("journal");
    fields.resume = args.has("resume");
    fields.views = !args.has("no-views");
    fields.followLinks = args.has("follow-links");
    if (fields.resume && fields.journalPath.empty())
        throw UsageError("--resume には --journal FILE を指定してください");
    if (args.has("report"))
        checkReportPath(args.option("report"));
    fields.connection = connectionFrom(args);
    return fields;
}

int runMigrate(const Arguments& args) {
    core::MigrateFields fields = fieldsFrom(args);
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
    TableProgress progress;
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
     "        [--no-views] [--follow-links]\n"
     "    データベース全体 (テーブル名がなければ一覧に出るすべての表) を Oracle に移します:\n"
     "    表ごとにスクリプトを作り (--sql-folder に格納)、表を作成し (既存の表は --replace\n"
     "    のときだけ作り直し、--clear のときは行を入れ替え)、全行をコピーしてサーバーの\n"
     "    行数を確かめます。最後に表ごとの結果を表示し、失敗した表はその全文を続けます。\n"
     "    --journal FILE: 表ごとの進み具合を FILE に書き続けます。--resume: 中断した移行を\n"
     "    FILE から再開します (済んだ表は飛ばし、途中の表は続きの行から)。\n"
     "    Ctrl-C (SIGINT, SIGTERM, SIGHUP) は次の行の境目で止め、終了コード 130。\n"
     "    --oracle-safe で全表を移すときは、保存された選択・ユニオンクエリを表のあとに\n"
     "    ビューにします (--no-views: 作りません)。\n"
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
             {"follow-links", "", "リンクテーブルをリンク先のファイルから移します"},
         }});

}  // namespace
}  // namespace malvorn::cli
