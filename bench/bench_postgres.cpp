// Rows per second of `malvorn-cli copy` into PostgreSQL through its ODBC
// driver over loopback, one statement per row against `--bulk`, the server
// started as the PostgreSQL tests start it (a temporary folder, a free port,
// fsync off). Each copy is checked: the server's row count and the sum of its
// keys must be the file's. Figures only; a server that cannot start or a copy
// that does not arrive whole ends the run with exit 1.
//
//   malvorn-bench-postgres [rows per row-by-row copy] [rows per --bulk copy] [rounds]
//                          (2000 50000 3)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "child_run.h"
#include "jet_builder/jet_builder.h"
#include "odbc/postgres_server.h"

namespace {

using namespace malvorn;

// The table copied into (after the Oracle stand-ins the tests use).
const char* const kTable =
    "CREATE TABLE BENCH (ID INTEGER PRIMARY KEY, NAME VARCHAR(40), AMOUNT NUMERIC(19,4), "
    "UPD TIMESTAMP, NOTE TEXT)";

void writeTable(const std::string& path, std::int64_t rows) {
    testing::JetBuildTable table;
    table.name = "BENCH";
    table.fields = {{"ID", 4, 50, false, ""},
                    {"NAME", 10, 40, false, ""},
                    {"AMOUNT", 5, 50, false, ""},
                    {"UPD", 8, 50, false, ""},
                    {"NOTE", 12, 50, false, ""}};
    table.indexes = {{"PrimaryKey", {"ID"}, true}};
    for (std::int64_t i = 0; i < rows; ++i)
        table.rows.push_back({i, "得意先" + std::to_string(i), i * 10000 + 1234,
                              36925.0 + static_cast<double>(i % 5000) + 0.5,
                              std::string("備考 ") + std::to_string(i)});
    testing::writeJetFile(path, {table});
}

std::vector<std::string> login(std::vector<std::string> words) {
    for (const char* word : {"--user", PostgresServer::kUser, "--password",
                             PostgresServer::kPassword, "--service", PostgresServer::kDataSource})
        words.emplace_back(word);
    return words;
}

// The server's "count|sum of keys" of BENCH, as `sql` prints it.
std::string held(const std::string& cli) {
    const CommandRun run = runProgram(
        cli, login({"sql", "SELECT COUNT(*) || '|' || COALESCE(SUM(ID), 0) FROM BENCH"}));
    const std::size_t line = run.out.find('\n');
    return run.status != 0 || line == std::string::npos
               ? "(sql failed: " + run.err + ")"
               : run.out.substr(line + 1, run.out.find('\n', line + 1) - line - 1);
}

struct Figures {
    std::vector<double> seconds;
    double cpu = 0;
};

// One copy of `file` into an emptied BENCH; false when it did not arrive
// whole.
bool copyOnce(const std::string& cli, const std::string& file, std::int64_t rows, bool bulk,
              Figures& figures) {
    std::vector<std::string> words = login({cli, "copy", file, "BENCH", "--clear"});
    if (bulk)
        words.emplace_back("--bulk");
    rusage before{};
    ::getrusage(RUSAGE_CHILDREN, &before);
    const Run r = run(words, true);
    rusage after{};
    ::getrusage(RUSAGE_CHILDREN, &after);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    figures.seconds.push_back(r.seconds);
    figures.cpu += seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
                   seconds(before.ru_stime);
    const std::string expected = std::to_string(rows) + "|" + std::to_string(rows * (rows - 1) / 2);
    const std::string got = held(cli);
    if (r.status == 0 && got == expected)
        return true;
    std::fprintf(stderr, "copy%s: exit %d, the server holds %s, expected %s\n",
                 bulk ? " --bulk" : "", r.status, got.c_str(), expected.c_str());
    return false;
}

void print(const char* what, std::int64_t rows, Figures figures) {
    std::sort(figures.seconds.begin(), figures.seconds.end());
    const double best = figures.seconds.front();
    const double median = figures.seconds[figures.seconds.size() / 2];
    std::printf(
        "%-22s %7lld rows  best %7.2f s (%8.0f rows/s)  median %7.2f s (%8.0f rows/s)  "
        "CPU of malvorn-cli %.2f s a copy\n",
        what, static_cast<long long>(rows), best, static_cast<double>(rows) / best, median,
        static_cast<double>(rows) / median,
        figures.cpu / static_cast<double>(figures.seconds.size()));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t perRowRows = argc > 1 ? std::atoll(argv[1]) : 2000;
    const std::int64_t bulkRows = argc > 2 ? std::atoll(argv[2]) : 50000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (perRowRows < 1 || bulkRows < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: malvorn-bench-postgres [rows] [bulk rows] [rounds]\n");
        return 2;
    }
    PostgresServer& server = PostgresServer::instance();
    if (!server.whyNot().empty()) {
        std::fprintf(stderr, "no PostgreSQL server: %s\n", server.whyNot().c_str());
        return 1;
    }
    const std::string cli = MALVORN_CLI;
    std::vector<const char*> setUp(std::begin(kOracleStandIns), std::end(kOracleStandIns));
    setUp.push_back(kTable);
    for (const char* statement : setUp) {
        if (const CommandRun r = runProgram(cli, login({"sql", statement})); r.status != 0) {
            std::fprintf(stderr, "%s: %s%s\n", statement, r.out.c_str(), r.err.c_str());
            return 1;
        }
    }
    TempDir dir;
    const std::string perRowFile = dir.path() + "/per-row.mdb";
    const std::string bulkFile = dir.path() + "/bulk.mdb";
    writeTable(perRowFile, perRowRows);
    writeTable(bulkFile, bulkRows);
    Figures perRow;
    Figures bulk;
    for (int round = 0; round < rounds; ++round) {
        if (!copyOnce(cli, perRowFile, perRowRows, false, perRow) ||
            !copyOnce(cli, bulkFile, bulkRows, true, bulk))
            return 1;
    }
    print("copy, a row a statement", perRowRows, perRow);
    print("copy --bulk", bulkRows, bulk);
    return 0;
}
