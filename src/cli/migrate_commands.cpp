// The whole-database migration from the command line.
#include <unistd.h>

#include <cstdio>

#include "cli/command.h"
#include "cli/console.h"
#include "core/migrate.h"
#include "core/migrate_report.h"
#include "shell/files.h"

namespace malvorn::cli {
namespace {

// On a terminal, one line redrawn in place: tables done / total, the current
// table and its rows as a bar. Elsewhere, one line per finished table.
class TerminalProgress : public core::MigrateProgress {
  public:
    TerminalProgress() : terminal_(::isatty(STDERR_FILENO) != 0) {}

    void tableStarted(const std::string& table, std::size_t number, std::size_t total) override {
        table_ = table;
        number_ = number;
        total_ = total;
        shownPercent_ = -1;
        draw(0, 0);
    }
    void rowsCopied(std::int64_t done, std::int64_t total) override { draw(done, total); }
    void tableFinished(const core::TableOutcome& outcome) override {
        if (terminal_)
            std::fputs("\r\033[K", stderr);
        std::fprintf(stderr, "[%zu/%zu] %s: %s\n", number_, total_, table_.c_str(),
                     outcome.ok ? "ok" : "失敗");
    }

  private:
    void draw(std::int64_t done, std::int64_t total) {
        if (!terminal_)
            return;
        constexpr int kBar = 30;
        const int percent =
            total > 0 ? static_cast<int>(std::min<std::int64_t>(done * 100 / total, 100)) : 0;
        if (percent == shownPercent_ && done != 0 && done != total)
            return;
        shownPercent_ = percent;
        const int filled = percent * kBar / 100;
        std::fprintf(stderr, "\r\033[K[%zu/%zu] %s [%s%s] %lld / %lld", number_, total_,
                     table_.c_str(), std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(kBar - filled), '.').c_str(),
                     static_cast<long long>(done), static_cast<long long>(total));
        std::fflush(stderr);
    }

    bool terminal_;
    std::string table_;
    std::size_t number_ = 0;
    std::size_t total_ = 0;
    int shownPercent_ = -1;
};

int runMigrate(const Arguments& args) {
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
    fields.connection = {args.option("user"), args.option("password"), args.option("service")};

    ConsoleMessages messages;
    ConsoleFront front;
    core::Services services = consoleServices(messages, front);
    TerminalProgress progress;
    core::MigrateReport report;
    const core::Outcome outcome = core::migrateDatabase(fields, services, progress, report);
    if (outcome == core::Outcome::kRefused)
        return exitStatus(outcome);
    std::fputs(core::migrateSummary(report, fields.verify).c_str(), stdout);
    if (args.has("report"))
        shell::writeFileAtomically(args.option("report"), core::migrateReportJson(report));
    return exitStatus(outcome);
}

const CommandRegistration migrate(
    {"migrate",
     "migrate <データベース> [<テーブル>...] --user U --password P [--service S]\n"
     "        [--sql-folder DIR] [--replace] [--clear] [--oracle-safe] [--verify]\n"
     "        [--tablespace T] [--index-tablespace I] [--no-not-null] [--report FILE]\n"
     "    データベース全体 (テーブル名がなければ一覧に出るすべての表) を Oracle に移します:\n"
     "    表ごとにスクリプトを作り (--sql-folder に格納)、表を作成し (既存の表は --replace\n"
     "    のときだけ作り直し、--clear のときは行を入れ替え)、全行をコピーしてサーバーの\n"
     "    行数を確かめます。--verify: 全行を読み戻して値を比べます。--oracle-safe: どの\n"
     "    Access ファイルでも通る規則 (引用符付きの名前、全型の対応、主キーの索引など)。\n"
     "    最後に表ごとの結果を表示し、--report FILE には同じ内容を JSON で書きます。\n"
     "    すべての表が ok のときだけ終了コード 0",
     runMigrate,
     {"replace", "clear", "oracle-safe", "verify", "no-not-null"}});

}  // namespace
}  // namespace malvorn::cli
