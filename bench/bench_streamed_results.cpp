// Peak memory of malvorn-cli over a generated table in a fresh local server:
// `migrate --verify` against `migrate` alone (also over a file whose rows are
// stored out of the key's order, sorted by the read-back), and a SELECT of every row through
// `sql`, at each row count given. Each run is its own process; its peak is
// the maxrss wait4 reports for it (the largest of it and the processes it
// waited for, the Jet reader among them). Figures only; nothing here passes
// or fails.
//
//   malvorn-bench-streamed-results [rows...]   (200000 1000000)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "child_run.h"
#include "jet_builder/jet_builder.h"
#include "support/temp_dir.h"

namespace {

using namespace malvorn;

// `scattered`: rows stored out of the key's order (a step coprime to the
// count), so that --verify sorts the file's rows by the key.
void writeTable(const std::string& path, std::int64_t rows, bool scattered) {
    testing::JetBuildTable table;
    table.name = "Bench";
    table.fields = {{"ID", 4, 50, false, ""},
                    {"Name", 10, 40, false, ""},
                    {"Amount", 5, 50, false, ""},
                    {"Upd", 8, 50, false, ""},
                    {"Note", 12, 50, false, ""}};
    table.indexes = {{"PrimaryKey", {"ID"}, true}};
    for (std::int64_t n = 0; n < rows; ++n) {
        const std::int64_t i = scattered ? (n * 7919) % rows : n;
        table.rows.push_back({i, "得意先" + std::to_string(i), i * 10000 + 1234,
                              36925.0 + static_cast<double>(i % 5000) + 0.5,
                              std::string("備考 ") + std::to_string(i)});
    }
    testing::writeJetFile(path, {table});
}

void print(const char* what, std::int64_t rows, const Run& r) {
    std::printf("%-34s %9lld rows  %7.1f s  peak %6.1f MB  exit %d\n", what,
                static_cast<long long>(rows), r.seconds, r.peakKilobytes / 1024.0, r.status);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::int64_t> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::atoll(argv[i]));
    if (counts.empty())
        counts = {200000, 1000000};
    const std::string cli = MALVORN_CLI;
    for (const std::int64_t rows : counts) {
        TempDir dir;
        ::setenv("MALVORN_LOCAL_SERVER", (dir.path() + "/server").c_str(), 1);
        ::setenv("MALVORN_LOCAL_SERVER_PASSWORD_COST", "minimum", 1);
        const std::string file = dir.path() + "/bench.mdb";
        const std::string scattered = dir.path() + "/scattered.mdb";
        // In a child: a child's peak starts at its parent's size, and the
        // rows built here would be counted in every run after.
        if (const pid_t writer = ::fork(); writer == 0) {
            writeTable(file, rows, false);
            writeTable(scattered, rows, true);
            ::_exit(0);
        } else {
            ::waitpid(writer, nullptr, 0);
        }
        run({cli, "user", "create", "bench", "pw", "--user", "system", "--password", "tarnbol"});
        const std::vector<std::string> migrate = {
            cli,  "migrate",       file,     "Bench",    "--user", "bench", "--password",
            "pw", "--oracle-safe", "--bulk", "--replace"};
        const Run copy = run(migrate);
        print("migrate --bulk", rows, copy);
        std::vector<std::string> verify = migrate;
        verify.push_back("--verify");
        const Run verified = run(verify);
        print("migrate --bulk --verify", rows, verified);
        std::vector<std::string> copyScattered = migrate;
        copyScattered[2] = scattered;
        const Run scatteredCopy = run(copyScattered);
        print("migrate --bulk, out of key order", rows, scatteredCopy);
        verify[2] = scattered;
        const Run scatteredVerified = run(verify);
        print("the same with --verify", rows, scatteredVerified);
        std::printf(
            "--verify's peak / the copy's: %.3f in key order, %.3f out of it\n",
            static_cast<double>(verified.peakKilobytes) / copy.peakKilobytes,
            static_cast<double>(scatteredVerified.peakKilobytes) / scatteredCopy.peakKilobytes);
        print("sql SELECT * (every row)", rows,
              run({cli, "sql", "--user", "bench", "--password", "pw", "SELECT * FROM BENCH"}));
        print("sql SELECT * ORDER BY NAME", rows,
              run({cli, "sql", "--user", "bench", "--password", "pw",
                   "SELECT * FROM BENCH ORDER BY NAME"}));
    }
    return 0;
}
