// Rows per second read through the Jet reader process, and the peak memory of
// the program and of the reader. Figures only; nothing here passes or fails.
//
//   malvorn-jet-bench [file.mdb table]
//
// Without arguments it reads the largest table of the engine-written files
// beside the project (when they are there) and, when the test Jet builder is
// part of the build, a generated table of 200,000 rows.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "jet/jet_reader_client.h"
#include "support/temp_dir.h"

#ifdef MALVORN_HAVE_JET_BUILDER
#include "jet_builder/jet_builder.h"
#endif

namespace {

using namespace malvorn;

// The high-water mark of a process's resident memory, from /proc.
long peakKilobytes(const std::string& process) {
    std::ifstream status("/proc/" + process + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    }
    return -1;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reads every row of `table` `passes` times through one reader process.
void measure(const std::string& path, const std::string& table, int passes) {
    jet::JetReaderOptions options;
    options.readerPath = JET_READER;

    const int starts = 20;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < starts; ++i)
        jet::openJetSource(path, options)->tableNames();
    std::printf("%s: start, open and close of the reader %.1f ms\n",
                std::filesystem::path(path).filename().c_str(),
                secondsSince(start) * 1000 / starts);

    std::int64_t rows = 0;
    long readerPeak = -1;
    start = std::chrono::steady_clock::now();
    {
        jet::JetReaderClient source(path, options);
        for (int pass = 0; pass < passes; ++pass) {
            auto cursor = source.openRows(table);
            jet::JetRow row;
            while (cursor->next(row))
                ++rows;
        }
        readerPeak = peakKilobytes(std::to_string(source.readerProcessId()));
    }
    const double seconds = secondsSince(start);
    std::printf("%s / %s: %lld rows in %.3f s = %.0f rows/s\n",
                std::filesystem::path(path).filename().c_str(), table.c_str(),
                static_cast<long long>(rows), seconds, static_cast<double>(rows) / seconds);
    std::printf("  peak memory: program %ld KB, reader process %ld KB\n", peakKilobytes("self"),
                readerPeak);
}

#ifdef MALVORN_HAVE_JET_BUILDER
void writeGenerated(const std::string& path) {
    malvorn::testing::JetBuildTable table;
    table.name = "Bench";
    table.fields = {{"ID", 4, 50, false, ""},     {"Name", 10, 40, false, ""},
                    {"Amount", 5, 50, false, ""}, {"When", 8, 50, false, ""},
                    {"Ratio", 7, 50, false, ""},  {"Note", 12, 50, false, ""}};
    for (std::int64_t i = 0; i < 200000; ++i) {
        table.rows.push_back({i, "得意先" + std::to_string(i), i * 10000 + 1234,
                              36925.0 + static_cast<double>(i % 5000) + 0.5, i / 7.0,
                              std::string("備考 ") + std::to_string(i)});
    }
    malvorn::testing::writeJetFile(path, {table});
}

void measureGenerated() {
    TempDir dir;
    const std::string path = dir.path() + "/bench.mdb";
    // The rows are made in a child process, so that the program's peak
    // memory below is that of reading alone.
    const pid_t maker = ::fork();
    if (maker == 0) {
        writeGenerated(path);
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(maker, &status, 0);
    measure(path, "Bench", 1);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3) {
        measure(argv[1], argv[2], 1);
        return 0;
    }
    const std::string real = std::string(MALVORN_REAL_FIXTURES) + "/nwind.mdb";
    if (std::filesystem::exists(real))
        measure(real, "Order Details", 200);  // its largest table, 2,155 rows
    else
        std::printf("no engine-written Jet files at %s; skipped\n", MALVORN_REAL_FIXTURES);
#ifdef MALVORN_HAVE_JET_BUILDER
    measureGenerated();
#else
    std::printf("the test Jet builder is not in this build; the 200,000-row table is skipped\n");
#endif
    return 0;
}
