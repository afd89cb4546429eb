// migrate --jobs 1, 2 and 4 over a generated file of four tables into a
// fresh local server, with --bulk and then with --bulk --verify: the time of
// each run and its peak memory (malvorn-cli and the readers it waited for).
// Figures only; nothing here passes or fails.
//
//   malvorn-bench-jobs [rows per table]   (250000)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "child_run.h"
#include "jet_builder/jet_builder.h"
#include "support/temp_dir.h"

namespace {

using namespace malvorn;

constexpr int kTables = 4;

void writeTables(const std::string& path, std::int64_t rows) {
    std::vector<testing::JetBuildTable> tables;
    for (int t = 1; t <= kTables; ++t) {
        testing::JetBuildTable table;
        table.name = "Bench" + std::to_string(t);
        table.fields = {{"ID", 4, 50, false, ""},
                        {"Name", 10, 40, false, ""},
                        {"Amount", 5, 50, false, ""},
                        {"Upd", 8, 50, false, ""},
                        {"Note", 12, 50, false, ""}};
        table.indexes = {{"PrimaryKey", {"ID"}, true}};
        for (std::int64_t i = 0; i < rows; ++i) {
            table.rows.push_back({i, "得意先" + std::to_string(i), i * 10000 + 1234,
                                  36925.0 + static_cast<double>(i % 5000) + 0.5,
                                  std::string("備考 ") + std::to_string(i)});
        }
        tables.push_back(std::move(table));
    }
    testing::writeJetFile(path, tables);
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t rows = argc > 1 ? std::atoll(argv[1]) : 250000;
    const std::string cli = MALVORN_CLI;
    TempDir dir;
    const std::string file = dir.path() + "/bench.mdb";
    // In a child: the rows built here would count in every later run's peak.
    if (const pid_t writer = ::fork(); writer == 0) {
        writeTables(file, rows);
        ::_exit(0);
    } else {
        ::waitpid(writer, nullptr, 0);
    }
    std::printf("%d tables of %lld rows, local server\n", kTables, static_cast<long long>(rows));
    for (const bool verify : {false, true}) {
        for (const char* jobs : {"1", "2", "4"}) {
            const std::string server = dir.path() + "/server" + jobs + (verify ? "v" : "");
            ::setenv("MALVORN_LOCAL_SERVER", server.c_str(), 1);
            ::setenv("MALVORN_LOCAL_SERVER_PASSWORD_COST", "minimum", 1);
            run({cli, "user", "create", "bench", "pw", "--user", "system", "--password",
                 "tarnbol"});
            std::vector<std::string> words = {cli,      "migrate",    file, "--user",
                                              "bench",  "--password", "pw", "--oracle-safe",
                                              "--bulk", "--jobs",     jobs};
            if (verify)
                words.push_back("--verify");
            const Run r = run(words, true);
            std::printf(
                "migrate --bulk%s --jobs %s  %7.1f s  %8.0f rows/s  peak %6.1f MB  exit %d\n",
                verify ? " --verify" : "         ", jobs, r.seconds,
                static_cast<double>(rows * kTables) / r.seconds, r.peakKilobytes / 1024.0,
                r.status);
            std::fflush(stdout);
        }
    }
    return 0;
}
