// The data copy of a generated table into a fresh local server, through the
// same command as the window, against its floor: (a) reading and formatting
// only, (b) SQLite itself committing one prepared INSERT per row in a WAL
// database on the same disk, (c) the local server's single-statement rate
// through the session, (d) the whole copy; the ratios c/b and d/b, peak
// memory, and what the per-row status line costs. (b), (c) and (d) run in
// turn for several rounds and the best of each counts, so that a busy machine
// disturbs the ratios less; (b) and (c) also show the CPU time they took.
// Then the copy one INSERT per row against the copy in batches of bound
// values (1,000 rows), on the local server and on a SQLite ODBC data source,
// with the ratios. Figures only; nothing here passes or fails.
//
//   malvorn-bench-copy [rows] [rounds]   (default 200,000 and 3)
//   malvorn-bench-copy rows --bulk       the batches alone, for their peak memory
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/drivers.h"
#include "core/copy_command.h"
#include "jet/jet_reader_client.h"
#include "jet_builder/jet_builder.h"
#include "localserver/local_server.h"
#include "localserver/sqlite_db.h"
#include "shell/file_system.h"
#include "support/temp_dir.h"
#include "transfer/row_statements.h"

namespace {

using namespace malvorn;
using Clock = std::chrono::steady_clock;

long peakKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    }
    return -1;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// User and system time of this process so far.
double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The best of several runs of one phase, in elapsed and in CPU seconds.
struct Best {
    double seconds = 1e300;
    double cpu = 1e300;
    template <typename Run>
    void measure(Run run) {
        const double cpuBefore = cpuSeconds();
        seconds = std::min(seconds, run());
        cpu = std::min(cpu, cpuSeconds() - cpuBefore);
    }
};

// What a window's label does with a text short of painting: keeps it, and
// turns it into the UTF-16 a widget toolkit holds.
class WorkingFront : public core::Front {
  public:
    void setStatus(const std::string& text, bool repaintNow) override {
        label_ = text;
        wide_.assign(label_.begin(), label_.end());
        painted_ += repaintNow ? wide_.size() : 0;
    }
    std::size_t painted() const { return painted_; }

  private:
    std::string label_;
    std::u16string wide_;
    std::size_t painted_ = 0;
};

// Boxes go to stderr; the copy asks no questions.
class StderrMessages : public shell::MessageService {
  public:
    shell::MessageAnswer show(const std::string& text, shell::MessageIcon, shell::MessageButtons,
                              shell::TitleForm) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        return shell::MessageAnswer::kOk;
    }
};

// The jet reader benchmark's shape, but for the date field's name: WHEN is a
// word of the SQL language, and the copy sends names unquoted.
// Bench, and in a file of its own (one file holds only so many pages) Days:
// the same rows with whole-day dates, which SQLite can take as literals too.
void writeGenerated(const std::string& path, const std::string& daysPath, std::int64_t rows) {
    testing::JetBuildTable table;
    table.name = "Bench";
    table.fields = {{"ID", 4, 50, false, ""},     {"Name", 10, 40, false, ""},
                    {"Amount", 5, 50, false, ""}, {"Upd", 8, 50, false, ""},
                    {"Ratio", 7, 50, false, ""},  {"Note", 12, 50, false, ""}};
    for (std::int64_t i = 0; i < rows; ++i) {
        table.rows.push_back({i, "得意先" + std::to_string(i), i * 10000 + 1234,
                              36925.0 + static_cast<double>(i % 5000) + 0.5, i / 7.0,
                              std::string("備考 ") + std::to_string(i)});
    }
    testing::JetBuildTable days = table;
    days.name = "Days";
    for (auto& row : days.rows)
        row[3] = static_cast<double>(static_cast<std::int64_t>(std::get<double>(row[3])));
    testing::writeJetFile(daysPath, {days});
    testing::writeJetFile(path, {table});
}

std::unique_ptr<jet::JetSource> openThroughReader(const std::string& path) {
    jet::JetReaderOptions options;
    options.readerPath = JET_READER;
    return jet::openJetSource(path, options);
}

// Reading and statement building alone: the floor on the Jet side.
double readAndFormat(const std::string& path) {
    const auto start = Clock::now();
    const auto source = openThroughReader(path);
    const std::string head = transfer::statementHead("Bench", source->readTable("Bench").fields);
    const auto rows = source->openRows("Bench");
    jet::JetRow row;
    std::size_t bytes = 0;
    while (rows->next(row))
        bytes += transfer::rowStatement(head, transfer::rowLiterals(rows->columns(), row)).size();
    const double seconds = secondsSince(start);
    std::printf("  statement bytes: %zu\n", bytes);
    return seconds;
}

// The values of generated row i, in the kinds SQLite stores natively.
std::vector<localserver::SqlValue> generatedRow(std::int64_t i) {
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.17g", static_cast<double>(i) / 7.0);
    return {i,
            "得意先" + std::to_string(i),
            i * 10000 + 1234,
            (36925 + i % 5000 - 25569) * 86400 + 43200,
            std::string(ratio),
            std::string("備考 ") + std::to_string(i)};
}

// (b) The floor: SQLite commits one row per transaction, as the server must,
// with the durability the server's schema files have (WAL, synchronous=NORMAL:
// a commit survives the program's crash), which the first line shows.
double sqliteFloor(const std::string& dbPath, std::int64_t rows) {
    localserver::SqliteDb db(dbPath);
    static bool shown = false;
    if (!shown) {
        auto mode = db.prepare("SELECT * FROM pragma_journal_mode, pragma_synchronous");
        mode->step();
        std::printf("  floor database: journal_mode=%s, synchronous=%s (1 = NORMAL)\n",
                    mode->columnText(0).c_str(), mode->columnText(1).c_str());
        shown = true;
    }
    db.exec(
        "CREATE TABLE Bench (ID INTEGER, Name TEXT, Amount REAL, Upd REAL, Ratio REAL, Note TEXT)");
    auto insert = db.prepare("INSERT INTO Bench VALUES (?, ?, ?, ?, ?, ?)");
    const auto start = Clock::now();
    for (std::int64_t i = 0; i < rows; ++i) {
        insert->reset();
        insert->bindAll(generatedRow(i));
        insert->step();
    }
    return secondsSince(start);
}

// (c) The local server's rate for the copy's own statements, built beforehand.
double serverStatements(const std::string& folder, std::int64_t rows) {
    auto session = localserver::openLocalServer(folder, "bench", "bench");
    session->execute("DROP TABLE Bench");
    session->execute(
        "CREATE TABLE Bench (ID NUMBER(10), Name VARCHAR2(40), Amount NUMBER(19,4), Upd DATE, "
        "Ratio FLOAT, Note CLOB)");
    char statement[512];
    const auto start = Clock::now();
    for (std::int64_t i = 0; i < rows; ++i) {
        std::snprintf(statement, sizeof statement,
                      "INSERT INTO Bench (ID,Name,Amount,Upd,Ratio,Note) VALUES (%lld,'得意先%lld',"
                      "%lld.1234,TO_DATE('2001-02-03 12:00:00','YYYY-MM-DD HH24:MI:SS'),%.17g,"
                      "'備考 %lld')",
                      static_cast<long long>(i), static_cast<long long>(i),
                      static_cast<long long>(i), static_cast<double>(i) / 7.0,
                      static_cast<long long>(i));
        session->execute(statement);
    }
    return secondsSince(start);
}

double copyOnce(const std::string& path, const std::string& folder, core::Front& front) {
    {
        auto owner = localserver::openLocalServer(folder, "bench", "bench");
        owner->execute("DROP TABLE Bench");
        owner->execute(
            "CREATE TABLE Bench (ID NUMBER(10), Name VARCHAR2(40), Amount NUMBER(19,4), "
            "Upd DATE, Ratio FLOAT, Note CLOB)");
    }
    StderrMessages messages;
    core::Services services{
        messages,          front,         core::sessionOpener({localserver::openLocalServer, {}}),
        openThroughReader, shell::gFso(), {}};
    const auto start = Clock::now();
    const core::Outcome outcome =
        core::copyTable({"Bench", path, false, {"bench", "bench", folder}}, services);
    const double seconds = secondsSince(start);
    if (outcome != core::Outcome::kDone)
        std::exit(1);
    const auto held = localserver::openLocalServer(folder, "bench", "bench")
                          ->queryValue("SELECT COUNT(*) FROM Bench");
    std::printf("  the table holds %s rows\n", held ? held->c_str() : "?");
    return seconds;
}

// A SQLite ODBC data source of this process, in `folder`, written to disk
// as the local server writes (WAL, synchronous NORMAL).
std::string odbcDataSource(const std::string& folder) {
    std::ofstream(folder + "/odbcinst.ini")
        << "[BenchSQLite]\nDriver=" << MALVORN_SQLITE_ODBC_DRIVER << "\n";
    std::ofstream(folder + "/odbc.ini") << "[BENCH]\nDriver=BenchSQLite\nDatabase=" << folder
                                        << "/odbc.db\nJournalMode=WAL\nSyncPragma=NORMAL\n";
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINI", (folder + "/odbc.ini").c_str(), 1);
    return "BENCH";
}

// One copy of table Days into a new table, one row per INSERT (batch 0) or
// in batches; the seconds it took.
double copyDays(const std::string& path, const std::string& service, const char* create,
                std::size_t batch, std::int64_t rows) {
    const model::ConnectionFields connection{"bench", "bench", service};
    const auto open = core::sessionOpener(app::defaultDrivers());
    {
        const auto owner = open(connection);
        try {
            owner->execute("DROP TABLE Days");
        } catch (const oracle::OracleError&) {
            // not there yet
        }
        owner->execute(create);
    }
    StderrMessages messages;
    core::Front idle;
    core::Services services{messages, idle, open, openThroughReader, shell::gFso(), {}};
    const auto start = Clock::now();
    const core::Outcome outcome =
        core::copyTable({"Days", path, false, connection, batch}, services);
    const double seconds = secondsSince(start);
    const auto held = open(connection)->queryValue("SELECT COUNT(*) FROM Days");
    if (outcome != core::Outcome::kDone || !held || std::stoll(*held) != rows)
        std::exit(1);
    return seconds;
}

// The copy one row per INSERT against batches of 1,000, on both drivers.
void literalAgainstBulk(const std::string& path, const std::string& folder,
                        const std::string& odbcFolder, std::int64_t rows, bool bulkOnly) {
    const struct {
        const char* name;
        std::string service;
        const char* create;
    } targets[] = {
        {"local server", folder,
         "CREATE TABLE Days (ID NUMBER(10), Name VARCHAR2(40), Amount NUMBER(19,4), Upd DATE, "
         "Ratio FLOAT, Note CLOB)"},
        {"SQLite ODBC", odbcDataSource(odbcFolder),
         "CREATE TABLE Days (ID INTEGER, Name VARCHAR(40), Amount NUMERIC, Upd TIMESTAMP, "
         "Ratio REAL, Note TEXT)"},
    };
    const auto perSecond = [rows](double seconds) { return static_cast<double>(rows) / seconds; };
    for (const auto& t : targets) {
        const double bulk = copyDays(path, t.service, t.create, 1000, rows);
        std::printf("%-13s --bulk:   %.2f s = %.0f rows/s\n", t.name, bulk, perSecond(bulk));
        if (bulkOnly)
            continue;
        const double literal = copyDays(path, t.service, t.create, 0, rows);
        std::printf("%-13s literal:  %.2f s = %.0f rows/s; bulk/literal = %.1f\n", t.name, literal,
                    perSecond(literal), literal / bulk);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t rows = argc > 1 ? std::atoll(argv[1]) : 200000;
    const bool bulkOnly = argc > 2 && std::string(argv[2]) == "--bulk";
    const int rounds = std::max(1, argc > 2 && !bulkOnly ? std::atoi(argv[2]) : 3);
    TempDir dir;
    const std::string path = dir.path() + "/bench.mdb";
    const std::string daysPath = dir.path() + "/days.mdb";
    const std::string folder = dir.path() + "/server";
    // The rows are made in a child process, so that the peak memory below is
    // that of the copy.
    const pid_t maker = ::fork();
    if (maker == 0) {
        writeGenerated(path, daysPath, rows);
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(maker, &status, 0);
    {
        auto system = localserver::openLocalServer(folder, "system", "tarnbol");
        system->execute(
            "CREATE USER bench IDENTIFIED BY bench DEFAULT TABLESPACE users TEMPORARY "
            "TABLESPACE temp");
        system->execute("GRANT DBA, RESOURCE, CONNECT TO bench");
    }
    localserver::openLocalServer(folder, "bench", "bench")
        ->execute("CREATE TABLE Bench (ID NUMBER(10))");
    const auto perSecond = [rows](double seconds) { return static_cast<double>(rows) / seconds; };
    const std::string odbcFolder = dir.path() + "/odbc";
    std::filesystem::create_directory(odbcFolder);
    if (bulkOnly) {
        std::printf("%lld rows, 6 columns, batches of 1,000\n", static_cast<long long>(rows));
        literalAgainstBulk(daysPath, folder, odbcFolder, rows, true);
        std::printf("peak memory of this process: %ld KB\n", peakKilobytes());
        return 0;
    }

    std::printf("%lld rows, 6 columns\n", static_cast<long long>(rows));
    const double formatting = readAndFormat(path);
    std::printf("(a) read and format only:  %.2f s = %.0f rows/s\n", formatting,
                perSecond(formatting));

    Best floorBest;
    Best serverBest;
    Best plainBest;
    core::Front idle;
    for (int round = 0; round < rounds; ++round) {
        const std::string floorPath = dir.path() + "/floor" + std::to_string(round) + ".db";
        floorBest.measure([&] { return sqliteFloor(floorPath, rows); });
        serverBest.measure([&] { return serverStatements(folder, rows); });
        plainBest.measure([&] { return copyOnce(path, folder, idle); });
    }
    const double floor = floorBest.seconds;
    const double server = serverBest.seconds;
    const double plain = plainBest.seconds;
    std::printf("best of %d rounds:\n", rounds);
    std::printf("(b) SQLite floor:          %.2f s = %.0f rows/s (CPU %.2f s)\n", floor,
                perSecond(floor), floorBest.cpu);
    std::printf("(c) local server session:  %.2f s = %.0f rows/s (CPU %.2f s)\n", server,
                perSecond(server), serverBest.cpu);
    std::printf("(d) copy, do-nothing status: %.2f s = %.0f rows/s\n", plain, perSecond(plain));
    std::printf("c/b = %.2f, d/b = %.2f; in CPU time c/b = %.2f\n", floor / server, floor / plain,
                floorBest.cpu / serverBest.cpu);
    WorkingFront working;
    const double labelled = copyOnce(path, folder, working);
    std::printf("copy, working status:      %.2f s = %.0f rows/s\n", labelled, perSecond(labelled));

    // The status texts alone, as the copy makes and sends them.
    WorkingFront alone;
    const auto start = Clock::now();
    const std::string ofTotal = " / " + std::to_string(rows);
    for (std::int64_t k = 0; k <= rows; ++k)
        static_cast<core::Front&>(alone).setStatus(std::to_string(k) + ofTotal, true);
    const double statusSeconds = secondsSince(start);
    std::printf(
        "status texts alone:        %.4f s for %lld texts = %.0f ns each, %.2f%% of the copy\n",
        statusSeconds, static_cast<long long>(rows + 1),
        statusSeconds * 1e9 / static_cast<double>(rows + 1), 100.0 * statusSeconds / plain);
    literalAgainstBulk(daysPath, folder, odbcFolder, rows, false);
    std::printf("peak memory of this process: %ld KB\n", peakKilobytes());
    return working.painted() + alone.painted() > 0 ? 0 : 1;
}
