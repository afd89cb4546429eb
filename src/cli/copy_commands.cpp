// The data copy of the "JET=>Oracle" tab from the command line.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "cli/bulk_option.h"
#include "cli/command.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/passwords.h"
#include "cli/progress.h"
#include "cli/stop_signals.h"
#include "core/copy_command.h"
#include "jet/jet_error.h"

namespace malvorn::cli {
namespace {

// The copy's "k / N" as a progress line; the row reached is kept for the
// message when the copy stops.
class CopyProgress : public ConsoleFront {
  public:
    explicit CopyProgress(std::string table) : table_(std::move(table)) {}
    void setStatus(const std::string& text, bool) override {
        // Read without sscanf: the copy one row per statement says every row.
        const char* end = text.data() + text.size();
        long long row = 0;
        long long total = 0;
        const auto first = std::from_chars(text.data(), end, row);
        if (first.ec != std::errc() || !std::string_view(first.ptr, end).starts_with(" / ") ||
            std::from_chars(first.ptr + 3, end, total).ec != std::errc())
            return;
        row_ = row;
        total_ = total;
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
    fields.bulkBatch = bulkBatch(args);
    fields.connection = connectionFrom(args);
    fields.acceptShortTables = args.has("accept-short-tables");

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
            std::fprintf(stderr, "%s: %lld / %lld で停止しました\n", fields.table.c_str(),
                         progress.row(), progress.total());
        return exitStatus(outcome);
    }
    // A short table accepted, or a stale count: said, not hidden.
    if (progress.row() != progress.total())
        std::fprintf(
            stderr, "malvorn-cli: %s\n",
            jet::rowCountWarning(fields.dbPath, fields.table, progress.row(), progress.total())
                .c_str());
    std::printf("%s: %lld 行をコピーしました (%.2f 秒, %.0f 行/秒)\n", fields.table.c_str(),
                progress.row(), seconds,
                seconds > 0 ? static_cast<double>(progress.row()) / seconds : 0.0);
    return 0;
}

const CommandRegistration copy(
    {"copy",
     "copy <データベース> <テーブル> --user U [--service S] [--clear] [--bulk [--batch N]]\n"
     "        [--accept-short-tables]\n"
     "    画面の「JETからOracleへデータセット」と同じく、テーブルの全行を Oracle の同名の表に\n"
     "    1行ずつ INSERT します (--clear: 先に DELETE FROM <テーブル>)。--bulk: 値を結び付けた\n"
     "    1つの INSERT で N 行 (既定 1000) ずつ送り、まとめごとにコミットします。\n"
     "    定義の行数より少ない行しか読めないときは送った後で失敗します\n"
     "    (--accept-short-tables: 承知で続けます)。\n"
     "    Ctrl-C (SIGINT, SIGTERM, SIGHUP) は次の行の境目で止め、終了コード 130",
     runCopy,
     connectionOptions() + bulkOptions() +
         Options{{"clear", "", "先に表の行をすべて削除します"},
                 {"accept-short-tables", "", "定義の行数より読めた行が少なくても失敗にしません"}}});

}  // namespace
}  // namespace malvorn::cli
