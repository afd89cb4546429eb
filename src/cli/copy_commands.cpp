// The data copy of the "JET=>Oracle" tab from the command line.
#include <chrono>
#include <cstdio>

#include "cli/bulk_option.h"
#include "cli/command.h"
#include "cli/console.h"
#include "cli/interruption.h"
#include "cli/progress.h"
#include "core/copy_command.h"

namespace malvorn::cli {
namespace {

// The copy's "k / N" as a progress line; the row reached is kept for the
// message when the copy stops.
class CopyProgress : public core::Front {
  public:
    explicit CopyProgress(std::string table) : table_(std::move(table)) {}
    void setStatus(const std::string& text, bool) override {
        if (std::sscanf(text.c_str(), "%lld / %lld", &row_, &total_) != 2)
            return;
        started_ = true;
        line_.update(table_, row_, total_);
    }
    void finish() { line_.finish(); }
    long long row() const { return row_; }
    long long total() const { return total_; }
    bool started() const { return started_; }

  private:
    std::string table_;
    ProgressLine line_;
    bool started_ = false;
    long long row_ = 0;
    long long total_ = 0;
};

int runCopy(const Arguments& args) {
    if (args.positional.size() != 2)
        throw UsageError("データベースファイルとテーブル名を指定してください");
    core::CopyFields fields;
    fields.dbPath = args.positional[0];
    fields.table = args.positional[1];
    fields.clear = args.has("clear");
    fields.connection = {args.option("user"), args.option("password"), args.option("service")};
    fields.bulkBatch = bulkBatch(args);

    const StopOnSignals signals;
    fields.stopRequested = signals.token();
    ConsoleMessages messages;
    ConsoleFront unused;
    CopyProgress progress(fields.table);
    const core::Services console = consoleServices(messages, unused);
    core::Services services{messages,        progress,      console.openSession,
                            console.openJet, console.files, console.today};
    const auto start = std::chrono::steady_clock::now();
    const core::Outcome outcome = core::copyTable(fields, services);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    progress.finish();
    if (outcome == core::Outcome::kInterrupted) {
        std::fprintf(stderr, "%s: 中断しました。%lld / %lld 行がサーバーにあります\n",
                     fields.table.c_str(), progress.row(), progress.total());
        return exitStatus(outcome);
    }
    if (outcome != core::Outcome::kDone) {
        // Where it stopped; the rows sent before stay on the server.
        if (progress.started())
            std::fprintf(stderr, "%lld / %lld で停止しました\n", progress.row(), progress.total());
        return exitStatus(outcome);
    }
    std::printf("%s: %lld 行をコピーしました (%.2f 秒, %.0f 行/秒)\n", fields.table.c_str(),
                progress.row(), seconds,
                seconds > 0 ? static_cast<double>(progress.row()) / seconds : 0.0);
    return 0;
}

const CommandRegistration copy(
    {"copy",
     "copy <データベース> <テーブル> --user U --password P [--service S] [--clear]\n"
     "        [--bulk [--batch N]]\n"
     "    画面の「JETからOracleへデータセット」と同じく、テーブルの全行を Oracle の同名の表に\n"
     "    1行ずつ INSERT します (--clear: 先に DELETE FROM <テーブル>)。--bulk: 値を結び付けた\n"
     "    1つの INSERT で N 行 (既定 1000) ずつ送り、まとめごとにコミットします。\n"
     "    Ctrl-C (SIGINT, SIGTERM, SIGHUP) は次の行の境目で止め、終了コード 130",
     runCopy,
     {"clear", "bulk"}});

}  // namespace
}  // namespace malvorn::cli
