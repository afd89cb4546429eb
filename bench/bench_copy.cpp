// The data copy of a generated table into a fresh local server, through the
// same command as the window, against the limits of its stages measured in
// the same run: (r) the Jet reader alone, (p) SQLite itself inserting with one
// prepared INSERT in transactions of 1,000 rows, (b) SQLite committing one
// prepared INSERT per row (the autocommit floor), both into a table of the
// server's shape in a file with the server's journal and sync modes. Then
// (c) the local server's single-statement rate through the session, (d) the
// copy one INSERT per row and (e) the copy with --bulk (batches of 1,000);
// each copy's ratio is to the slower of the two stages it runs: d to
// min(r, b), e to min(r, p). Every phase runs once per round and the best
// round counts, so that a busy machine disturbs the ratios less. Peak memory
// is getrusage's maxrss. Each phase's CPU is also given by thread (the copy's
// inserting and reading threads, and the reader process): the copy's elapsed
// time tends to its busiest thread's CPU when each has a core, and these CPU
// times change little with the load of the machine, unlike elapsed times.
// Figures only; nothing here passes or fails.
//
//   malvorn-bench-copy [rows] [rounds] [--bulk] [--odbc] [--ahead N]   (200,000 and 3)
//     --bulk   only (r), (p) and (e): the batch path and its peak memory
//     --ahead  the reader's batches asked for ahead (0: only when rows run out)
//     --odbc   then the copy per row against --bulk on a SQLite ODBC data source
//   malvorn-bench-copy --write FILE [rows]   only writes the generated file
//     (table Bench), for a profiler run of malvorn-cli copy over it
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/drivers.h"
#include "base/file_system.h"
#include "core/copy_command.h"
#include "jet/jet_reader_client.h"
#include "jet_builder/jet_builder.h"
#include "localserver/local_server.h"
#include "localserver/sqlite_db.h"
#include "support/temp_dir.h"
#include "transfer/row_statements.h"

namespace {

using namespace malvorn;
using Clock = std::chrono::steady_clock;

// The peak resident memory of this process so far (getrusage's maxrss).
long peakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// User and system time so far of this process, of its children that ended
// (the reader processes) or of this thread; or the system time alone.
double cpuSeconds(int who = RUSAGE_SELF, bool systemOnly = false) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return (systemOnly ? 0 : seconds(usage.ru_utime)) + seconds(usage.ru_stime);
}

// One timed span: elapsed time, and over the same span the CPU of this
// process, of the thread that opened it, and of the reader processes that
// ended within it. A phase's function opens one where its clock starts;
// Best takes the figures of the last one ended.
struct SpanFigures {
    double seconds = 0, cpu = 0, thread = 0, threadSystem = 0, children = 0;
};
SpanFigures gLastSpan;

class Span {
  public:
    Span()
        : cpu_(cpuSeconds()),
          thread_(cpuSeconds(RUSAGE_THREAD)),
          threadSystem_(cpuSeconds(RUSAGE_THREAD, true)),
          children_(cpuSeconds(RUSAGE_CHILDREN)),
          start_(Clock::now()) {}
    // Ends the span; its elapsed seconds.
    double end() {
        gLastSpan.seconds = secondsSince(start_);
        gLastSpan.cpu = cpuSeconds() - cpu_;
        gLastSpan.thread = cpuSeconds(RUSAGE_THREAD) - thread_;
        gLastSpan.threadSystem = cpuSeconds(RUSAGE_THREAD, true) - threadSystem_;
        gLastSpan.children = cpuSeconds(RUSAGE_CHILDREN) - children_;
        return gLastSpan.seconds;
    }

  private:
    double cpu_, thread_, threadSystem_, children_;
    Clock::time_point start_;
};

// The best of several runs of one phase, in elapsed and in CPU seconds
// (this process's, and with the reader's), and the median elapsed time;
// and the least CPU of the main thread (the copy's inserting thread), of
// the process's other threads (the copy's reading and checking thread) and
// of the reader process, each over the rounds: a busy machine adds to CPU
// times too (shared caches, a virtual machine's stolen time), least where
// least disturbed; with the main thread's system time in its least round.
struct Best {
    double seconds = 1e300, cpu = 1e300, cpuWithReader = 1e300;
    double mainThread = 1e300, otherThreads = 1e300, reader = 1e300, mainSystem = 0;
    std::vector<double> runs;
    template <typename Run>
    void measure(Run run) {
        run();
        const SpanFigures f = gLastSpan;
        runs.push_back(f.seconds);
        seconds = std::min(seconds, f.seconds);
        cpu = std::min(cpu, f.cpu);
        cpuWithReader = std::min(cpuWithReader, f.cpu + f.children);
        mainSystem = f.thread < mainThread ? f.threadSystem : mainSystem;
        mainThread = std::min(mainThread, f.thread);
        otherThreads = std::min(otherThreads, std::max(0.0, f.cpu - f.thread));
        reader = std::min(reader, f.children);
    }
    // What the phase's elapsed time tends to with a core for each of its
    // threads and processes: the busiest one's CPU.
    double busiest() const { return std::max({mainThread, otherThreads, reader}); }
    double median() const {
        std::vector<double> sorted = runs;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
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
class StderrMessages : public base::MessageService {
  public:
    base::MessageAnswer show(const std::string& text, base::MessageIcon, base::MessageButtons,
                             base::TitleForm) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        return base::MessageAnswer::kOk;
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

std::uint32_t gBatchesAhead = jet::JetReaderOptions().batchesAhead;
std::unique_ptr<jet::JetSource> openThroughReader(const std::string& path) {
    jet::JetReaderOptions options;
    options.readerPath = JET_READER;
    options.batchesAhead = gBatchesAhead;
    return jet::openJetSource(path, options);
}

// (r) The reader alone: every row of the table decoded, nothing done with
// it, until its process has ended (as in the copy).
double readOnly(const std::string& path) {
    Span span;
    std::int64_t count = 0;
    {
        const auto source = openThroughReader(path);
        const auto rows = source->openRows("Bench");
        jet::JetRow row;
        while (rows->next(row))
            ++count;
    }
    const double seconds = span.end();
    if (count == 0)
        std::exit(1);
    return seconds;
}

// Reading and statement building alone: the row-by-row copy's Jet side.
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

// Rows of the values the server stores for the copy's table (numbers as
// their keys, dates as text), made before the clock starts; they repeat.
std::vector<std::vector<localserver::SqlValue>> storedRows() {
    std::vector<std::vector<localserver::SqlValue>> made;
    for (std::int64_t i = 0; i < 1000; ++i) {
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.15g", static_cast<double>(i) / 7.0);
        made.push_back({*localserver::Number::parse(std::to_string(i)),
                        "得意先" + std::to_string(i),
                        *localserver::Number::parse(std::to_string(i) + ".1234"),
                        std::string("2001-02-03 12:00:00"), *localserver::Number::parse(ratio),
                        std::string("備考 ") + std::to_string(i)});
    }
    return made;
}

// SQLite alone inserting `rows` rows into a table of the server's shape, in
// transactions of `perCommit` rows, with the durability the server's schema
// files have (WAL, synchronous=NORMAL), which the first line shows. The
// clock stops once the file is closed, as a copy's ends with its session
// closed (the last connection to close writes the log into the file).
double sqliteInserts(const std::string& dbPath, std::int64_t rows, std::int64_t perCommit) {
    auto owned = std::make_unique<localserver::SqliteDb>(dbPath);
    localserver::SqliteDb& db = *owned;
    db.exec("PRAGMA synchronous=NORMAL");
    static bool shown = false;
    if (!shown) {
        auto mode = db.prepare("SELECT * FROM pragma_journal_mode, pragma_synchronous");
        mode->step();
        std::printf("  SQLite alone: journal_mode=%s, synchronous=%s (1 = NORMAL)\n",
                    mode->columnText(0).c_str(), mode->columnText(1).c_str());
        shown = true;
    }
    db.exec("CREATE TABLE Bench(c0 NUMERIC, c1 TEXT, c2 NUMERIC, c3 TEXT, c4 NUMERIC, c5 TEXT)");
    const auto values = storedRows();
    auto insert = db.prepare(
        "INSERT INTO Bench(c0, c1, c2, c3, c4, c5) VALUES(?1, ?2, ?3, ?4, "
        "?5, ?6)");
    Span span;
    for (std::int64_t i = 0; i < rows; i += perCommit) {
        const bool batch = perCommit > 1;
        if (batch)
            db.exec("BEGIN");
        for (std::int64_t j = i; j < std::min(rows, i + perCommit); ++j) {
            insert->reset();
            insert->bindAllKept(values[static_cast<std::size_t>(j) % values.size()]);
            insert->step();
        }
        if (batch)
            db.exec("COMMIT");
    }
    insert.reset();
    owned.reset();
    const double seconds = span.end();
    for (const char* end : {"", "-wal", "-shm"})
        std::filesystem::remove(dbPath + end);
    return seconds;
}

// (c) The local server's rate for the copy's own statements, built beforehand.
double serverStatements(const std::string& folder, std::int64_t rows) {
    auto session = localserver::openLocalServer(folder, "bench", "bench");
    session->execute("DROP TABLE Bench");
    session->execute(
        "CREATE TABLE Bench (ID NUMBER(10), Name VARCHAR2(40), Amount NUMBER(19,4), Upd DATE, "
        "Ratio FLOAT, Note CLOB)");
    char statement[512];
    Span span;
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
    session.reset();
    return span.end();
}

// The copy of table Bench into a new table, one INSERT per row (batch 0) or in
// batches; the seconds it took.
double copyOnce(const std::string& path, const std::string& folder, std::int64_t rows,
                core::Front& front, std::size_t batch = 0) {
    {
        auto owner = localserver::openLocalServer(folder, "bench", "bench");
        owner->execute("DROP TABLE Bench");
        owner->execute(
            "CREATE TABLE Bench (ID NUMBER(10), Name VARCHAR2(40), Amount NUMBER(19,4), "
            "Upd DATE, Ratio FLOAT, Note CLOB)");
    }
    StderrMessages messages;
    core::Services services{
        messages,          front,        core::sessionOpener({localserver::openLocalServer, {}}),
        openThroughReader, base::gFso(), {}};
    Span span;
    const core::Outcome outcome =
        core::copyTable({"Bench", path, false, {"bench", "bench", folder}, batch}, services);
    const double seconds = span.end();
    if (outcome != core::Outcome::kDone)
        std::exit(1);
    const auto held = localserver::openLocalServer(folder, "bench", "bench")
                          ->queryValue("SELECT COUNT(*) FROM Bench");
    if (!held || std::stoll(*held) != rows)
        std::exit(1);
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
    core::Services services{messages, idle, open, openThroughReader, base::gFso(), {}};
    const auto start = Clock::now();
    const core::Outcome outcome =
        core::copyTable({"Days", path, false, connection, batch}, services);
    const double seconds = secondsSince(start);
    const auto held = open(connection)->queryValue("SELECT COUNT(*) FROM Days");
    if (outcome != core::Outcome::kDone || !held || std::stoll(*held) != rows)
        std::exit(1);
    return seconds;
}

// The copy one row per INSERT against batches of 1,000, on both drivers, once.
void literalAgainstBulk(const std::string& path, const std::string& folder,
                        const std::string& odbcFolder, std::int64_t rows) {
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
        const double literal = copyDays(path, t.service, t.create, 0, rows);
        std::printf("%-13s literal:  %.2f s = %.0f rows/s; bulk/literal = %.1f\n", t.name, literal,
                    perSecond(literal), literal / bulk);
    }
}

// The best of each phase over the rounds, and what they give.
struct Phases {
    Best read, batched, floor, session, literal, bulk;
};

void runRounds(Phases& best, const std::string& path, const std::string& folder,
               const std::string& scratch, std::int64_t rows, int rounds, bool bulkOnly) {
    core::Front idle;
    for (int round = 0; round < rounds; ++round) {
        const std::string dbPath = scratch + "/alone" + std::to_string(round) + ".db";
        best.read.measure([&] { return readOnly(path); });
        best.batched.measure([&] { return sqliteInserts(dbPath, rows, 1000); });
        best.bulk.measure([&] { return copyOnce(path, folder, rows, idle, 1000); });
        if (bulkOnly)
            continue;
        best.floor.measure([&] { return sqliteInserts(dbPath, rows, 1); });
        best.session.measure([&] { return serverStatements(folder, rows); });
        best.literal.measure([&] { return copyOnce(path, folder, rows, idle); });
    }
}

// The copy's ratio to the slower of its stages by the CPU of the busiest
// thread or process of each: what the elapsed ratio tends to on a quiet
// machine with a core for each (and with two cores for the copy's three,
// its CPU in all over two when that is more). Unlike elapsed time, these
// CPU times hardly change with the load of the machine.
void printByThread(const char* name, const Best& copy, const Best& a, const Best& b) {
    const double stage = std::max(a.busiest(), b.busiest());
    const double twoCores = std::max(copy.busiest(), copy.cpuWithReader / 2);
    std::printf(
        "%s by the busiest thread's CPU = %.2f (the slower stage's %.3f s, the copy's %.3f s); "
        "on two cores %.2f\n",
        name, stage / copy.busiest(), stage, copy.busiest(), stage / twoCores);
}

void printPhases(const Phases& best, std::int64_t rows, int rounds, bool bulkOnly) {
    const auto rate = [rows](const Best& b) { return static_cast<double>(rows) / b.seconds; };
    const auto line = [&](const char* name, const Best& b) {
        std::printf("%-36s %6.2f s = %8.0f rows/s (CPU %.2f s, %.2f s with the reader)\n", name,
                    b.seconds, rate(b), b.cpu, b.cpuWithReader);
        std::printf(
            "%-36s   by thread: main %.3f s (system %.3f s), other threads %.3f s, "
            "reader process %.3f s\n",
            "", b.mainThread, b.mainSystem, b.otherThreads, b.reader);
    };
    std::printf(
        "best of %d rounds (elapsed; CPU: this process's, then with the reader process;\n"
        "by thread, the least of each over the rounds: the main thread, which in a copy inserts;\n"
        "the other threads, which in a copy read and check the rows; the reader process):\n",
        rounds);
    line("(r) reader alone", best.read);
    line("(p) SQLite, 1,000-row transactions", best.batched);
    if (!bulkOnly) {
        line("(b) SQLite, one row per commit", best.floor);
        line("(c) local server, literal INSERTs", best.session);
        line("(d) copy, one INSERT per row", best.literal);
    }
    line("(e) copy --bulk (1,000 a batch)", best.bulk);
    // A ratio of rates is the inverse ratio of times.
    const auto ratio = [](const Best& copy, const Best& a, const Best& b, bool median) {
        return median ? std::max(a.median(), b.median()) / copy.median()
                      : std::max(a.seconds, b.seconds) / copy.seconds;
    };
    // With no core to spare, every thread and process of a phase waits its
    // turn on one share of the machine: the elapsed ratios tend to these.
    const auto byCpu = [](const Best& copy, const Best& a, const Best& b) {
        return std::max(a.cpuWithReader, b.cpuWithReader) / copy.cpuWithReader;
    };
    std::printf("e / min(r, p) = %.2f best, %.2f median; by CPU %.2f\n",
                ratio(best.bulk, best.read, best.batched, false),
                ratio(best.bulk, best.read, best.batched, true),
                byCpu(best.bulk, best.read, best.batched));
    printByThread("e / min(r, p)", best.bulk, best.read, best.batched);
    if (bulkOnly)
        return;
    std::printf(
        "d / min(r, b) = %.2f best, %.2f median; by CPU %.2f; c / b = %.2f, by CPU %.2f; "
        "e / d = %.1f\n",
        ratio(best.literal, best.read, best.floor, false),
        ratio(best.literal, best.read, best.floor, true),
        byCpu(best.literal, best.read, best.floor), best.floor.seconds / best.session.seconds,
        best.floor.cpuWithReader / best.session.cpuWithReader,
        best.literal.seconds / best.bulk.seconds);
    printByThread("d / min(r, b)", best.literal, best.read, best.floor);
}

// The statements' own cost, the status line's, and with --odbc the ODBC
// driver's copies, over the file of `rows` rows.
int afterTheRounds(const std::string& path, const std::string& daysPath, const std::string& folder,
                   const std::string& scratch, std::int64_t rows, double literalSeconds,
                   bool odbc) {
    const auto perSecond = [rows](double seconds) { return static_cast<double>(rows) / seconds; };
    const double formatting = readAndFormat(path);
    std::printf("read and format the statements only: %.2f s = %.0f rows/s\n", formatting,
                perSecond(formatting));
    WorkingFront working;
    const double labelled = copyOnce(path, folder, rows, working);
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
        statusSeconds * 1e9 / static_cast<double>(rows + 1),
        100.0 * statusSeconds / literalSeconds);
    if (odbc) {
        const std::string odbcFolder = scratch + "/odbc";
        std::filesystem::create_directory(odbcFolder);
        literalAgainstBulk(daysPath, folder, odbcFolder, rows);
    }
    return working.painted() + alone.painted() > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> numbers;
    bool bulkOnly = false, odbc = false;
    std::string writeOnly;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--write" && i + 1 < argc)
            writeOnly = argv[++i];
        else if (arg == "--bulk")
            bulkOnly = true;
        else if (arg == "--odbc")
            odbc = true;
        else if (arg == "--ahead" && i + 1 < argc)
            gBatchesAhead = static_cast<std::uint32_t>(std::atoi(argv[++i]));
        else
            numbers.push_back(arg);
    }
    // "200000,1000000": each size in turn, in the same run.
    std::vector<std::int64_t> sizes;
    for (std::size_t at = 0; numbers.size() > 0 && at != std::string::npos;) {
        const std::size_t comma = numbers[0].find(',', at);
        sizes.push_back(std::atoll(numbers[0].substr(at, comma - at).c_str()));
        at = comma == std::string::npos ? comma : comma + 1;
    }
    if (sizes.empty())
        sizes.push_back(200000);
    const int rounds = std::max(1, numbers.size() > 1 ? std::atoi(numbers[1].c_str()) : 3);
    TempDir dir;
    if (!writeOnly.empty()) {
        writeGenerated(writeOnly, dir.path() + "/days.mdb", sizes.front());
        return 0;
    }
    // The server made here hashes its passwords at the least cost: a login
    // is part of every copy, and its cost (malvorn-bench-localserver) is
    // not the copy's.
    ::setenv("MALVORN_LOCAL_SERVER_PASSWORD_COST", "minimum", 1);
    const std::string path = dir.path() + "/bench.mdb";
    const std::string daysPath = dir.path() + "/days.mdb";
    const std::string folder = dir.path() + "/server";
    {
        auto system = localserver::openLocalServer(folder, "system", "tarnbol");
        system->execute(
            "CREATE USER bench IDENTIFIED BY bench DEFAULT TABLESPACE users TEMPORARY "
            "TABLESPACE temp");
        system->execute("GRANT DBA, RESOURCE, CONNECT TO bench");
    }
    localserver::openLocalServer(folder, "bench", "bench")
        ->execute("CREATE TABLE Bench (ID NUMBER(10))");
    Phases best;
    for (const std::int64_t size : sizes) {
        // The rows are made in a child process, so that the peak memory
        // below is that of the copy.
        const pid_t maker = ::fork();
        if (maker == 0) {
            writeGenerated(path, daysPath, size);
            std::_Exit(0);
        }
        int status = 0;
        ::waitpid(maker, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return 1;
        std::printf("%lld rows, 6 columns\n", static_cast<long long>(size));
        Phases phases;
        runRounds(phases, path, folder, dir.path(), size, rounds, bulkOnly);
        printPhases(phases, size, rounds, bulkOnly);
        std::printf("peak memory of this process so far: %ld KB\n", peakKilobytes());
        best = phases;
    }
    if (bulkOnly)
        return 0;
    // The rest over the last size's file.
    return afterTheRounds(path, daysPath, folder, dir.path(), sizes.back(), best.literal.seconds,
                          odbc);
}
