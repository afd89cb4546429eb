// What the Oracle-safe schema steps add to a migration into a fresh local
// server: nwind.mdb (when the engine-written files are there) with --verify,
// and a generated file of a 1,000-row parent and a child of N rows (an
// AutoNumber key, two secondary indexes, one unique, and an enforced
// relationship to the parent) with --bulk. The migration runs in this process
// over a session that times every statement; the schema steps are the
// identity restarts, NOT NULL and CHECK constraints, indexes, foreign keys
// and comments, and with --verify the dictionary read back. Each run's figures
// are printed; the best and the median of the rounds are compared. Figures
// only; nothing here passes or fails.
//
//   malvorn-bench-schema [rows] [rounds]   (1,000,000 and 1; nwind 3 rounds)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/migrate.h"
#include "jet_builder/jet_relations.h"
#include "support/local_migration.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"

namespace {

using namespace malvorn;
using Clock = std::chrono::steady_clock;

// The step a statement belongs to, from its text; empty for the rest (the
// tables, the rows, the counts, the rows read back).
std::string stepOf(const std::string& text) {
    const auto has = [&](const char* part) { return text.find(part) != std::string::npos; };
    const auto starts = [&](const char* part) { return text.rfind(part, 0) == 0; };
    if (starts("COMMENT ON"))
        return "comments";
    if (starts("CREATE INDEX") || starts("CREATE UNIQUE INDEX"))
        return "indexes";
    if (starts("ALTER TABLE") && has(" FOREIGN KEY "))
        return "foreign keys";
    if (starts("ALTER TABLE") && has("AS IDENTITY"))
        return "identity";
    if (starts("ALTER TABLE") && (has(" CHECK ") || has("NOT NULL")))
        return "not null, check";
    if (starts("SELECT") &&
        (has("USER_IND") || has("USER_CONS") || has("IDENTITY_COLS") || has("_COMMENTS")))
        return "read back";
    return "";
}

struct Timings {
    std::map<std::string, double> seconds;  // by step
    std::map<std::string, int> statements;
    Clock::time_point firstStep{}, lastStep{};
    bool anyStep = false;
};

// A real session whose statements are timed by step.
class TimedSession : public oracle::Session {
  public:
    TimedSession(std::unique_ptr<oracle::Session> real, Timings& timings)
        : real_(std::move(real)), t_(timings) {}
    void execute(const std::string& s) override {
        timed(s, [&] { real_->execute(s); });
    }
    oracle::Value queryValue(const std::string& q) override {
        oracle::Value v;
        timed(q, [&] { v = real_->queryValue(q); });
        return v;
    }
    std::unique_ptr<oracle::ResultSet> query(const std::string& q) override {
        // A dictionary query's rows are read after it returns: the step is
        // timed to its first row, the rest counts in the span.
        std::unique_ptr<oracle::ResultSet> rows;
        timed(q, [&] { rows = real_->query(q); });
        return rows;
    }
    void insertRows(const std::string& insert, const std::vector<oracle::BoundRow>& rows) override {
        real_->insertRows(insert, rows);
    }
    std::unique_ptr<oracle::RowPreparer> rowPreparer(const std::string& insert) override {
        return real_->rowPreparer(insert);
    }
    void insertPreparedRows(const std::string& insert, const std::vector<oracle::BoundRow>& rows,
                            const oracle::PreparedRows* prepared) override {
        real_->insertPreparedRows(insert, rows, prepared);
    }
    void setAutoCommit(bool on) override { real_->setAutoCommit(on); }
    void commit() override { real_->commit(); }
    void rollback() override { real_->rollback(); }

  private:
    template <typename Call>
    void timed(const std::string& text, Call call) {
        std::string step = stepOf(text);
        // The dictionary read before any table is made: the names in use,
        // which the schema's names must not take. Not in the steps' span.
        const bool reserving = step == "read back" && !t_.anyStep;
        if (reserving)
            step = "names reserved";
        const auto start = Clock::now();
        call();
        if (step.empty())
            return;
        const auto end = Clock::now();
        t_.seconds[step] += std::chrono::duration<double>(end - start).count();
        ++t_.statements[step];
        if (reserving)
            return;
        if (!t_.anyStep)
            t_.firstStep = start;
        t_.anyStep = true;
        t_.lastStep = end;
    }

    std::unique_ptr<oracle::Session> real_;
    Timings& t_;
};

struct Result {
    double total = 0;
    double span = 0;  // from the first schema statement to the end of the last
    Timings timings;
    bool ok = false;
};

Result migrateOnce(const std::string& file, const std::string& folder, bool verify, bool bulk) {
    ScriptedMessages messages;
    core::Front front;
    {
        auto system = localserver::openLocalServer(folder, "system", "tarnbol");
        system->execute(
            "CREATE USER bench IDENTIFIED BY pw DEFAULT TABLESPACE users TEMPORARY TABLESPACE "
            "temp");
        system->execute("GRANT DBA, RESOURCE, CONNECT TO bench");
    }
    Result result;
    core::Services services = localMigrationServices(messages, front);
    const core::SessionOpener real = services.openSession;
    services.openSession = [&](const model::ConnectionFields& c) {
        return std::make_unique<TimedSession>(real(c), result.timings);
    };
    core::MigrateFields fields;
    fields.dbPath = file;
    fields.oracleSafe = true;
    fields.verify = verify;
    fields.views = false;  // the saved queries are not the schema
    fields.bulkBatch = bulk ? 1000 : 0;
    fields.connection = {"bench", "pw", folder};
    core::MigrateProgress quiet;
    core::MigrateReport report;
    const auto start = Clock::now();
    result.ok = core::migrateDatabase(fields, services, quiet, report) == core::Outcome::kDone;
    result.total = std::chrono::duration<double>(Clock::now() - start).count();
    if (result.timings.anyStep)
        result.span =
            std::chrono::duration<double>(result.timings.lastStep - result.timings.firstStep)
                .count();
    if (!result.ok)
        for (const auto& t : report.tables)
            std::printf("  %s: %s\n", t.table.c_str(), t.result.c_str());
    return result;
}

void print(const char* label, const Result& r) {
    std::printf("%s  total %7.2f s  schema steps %6.2f s (%4.1f%%)%s\n", label, r.total, r.span,
                r.total > 0 ? 100.0 * r.span / r.total : 0.0, r.ok ? "" : "  NOT OK");
    for (const auto& [step, seconds] : r.timings.seconds)
        std::printf("    %-16s %4d statements %7.3f s\n", step.c_str(),
                    r.timings.statements.at(step), seconds);
    std::fflush(stdout);
}

// Best and median of the rounds, by the schema steps' span and the total.
void summarise(const char* label, std::vector<Result> runs) {
    if (runs.size() < 2)
        return;
    std::vector<double> spans, totals;
    for (const auto& r : runs) {
        spans.push_back(r.span);
        totals.push_back(r.total);
    }
    std::sort(spans.begin(), spans.end());
    std::sort(totals.begin(), totals.end());
    std::printf("%s  schema steps best %.2f s, median %.2f s; total best %.2f s, median %.2f s\n",
                label, spans.front(), spans[spans.size() / 2], totals.front(),
                totals[totals.size() / 2]);
}

void writeGenerated(const std::string& path, std::int64_t rows) {
    using testing::JetBuildTable;
    JetBuildTable parent{"Kunden",
                         {{.name = "ID", .type = 4, .autoNumber = true},
                          {.name = "Name", .type = 10, .size = 40, .required = true}},
                         {{.name = "PrimaryKey", .columns = {"ID"}, .primary = true}},
                         {}};
    for (std::int64_t i = 1; i <= 1000; ++i)
        parent.rows.push_back({i, "Kunde " + std::to_string(i)});
    JetBuildTable child{"Umsatz",
                        {{.name = "Nr", .type = 4, .autoNumber = true},
                         {.name = "KundeID", .type = 4},
                         {.name = "Beleg", .type = 10, .size = 20},
                         {.name = "Betrag", .type = 5},
                         {.name = "Datum", .type = 8}},
                        {{.name = "PrimaryKey", .columns = {"Nr"}, .primary = true},
                         {.name = "Beleg", .columns = {"Beleg"}, .unique = true},
                         {.name = "KundeDatum", .columns = {"KundeID", "Datum"}}},
                        {}};
    child.rows.reserve(static_cast<std::size_t>(rows));
    for (std::int64_t i = 1; i <= rows; ++i)
        child.rows.push_back({i, i % 1000 + 1, "B" + std::to_string(i), i * 100 + 5,
                              36925.0 + static_cast<double>(i % 5000)});
    testing::writeJetFile(
        path, testing::withRelationships({parent, child}, {{.name = "KundenUmsatz",
                                                            .table = "Umsatz",
                                                            .columns = {"KundeID"},
                                                            .referencedTable = "Kunden",
                                                            .referencedColumns = {"ID"}}}));
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    ::setenv("MALVORN_LOCAL_SERVER_PASSWORD_COST", "minimum", 1);
    TempDir dir;
    int server = 0;
    bool allOk = true;
    const auto freshServer = [&] { return dir.path() + "/server" + std::to_string(++server); };

    const std::string nwind = (std::filesystem::path(MALVORN_REAL_FIXTURES) / "nwind.mdb").string();
    if (std::filesystem::exists(nwind)) {
        std::vector<Result> runs;
        for (int round = 0; round < 3; ++round) {
            runs.push_back(migrateOnce(nwind, freshServer(), true, false));
            print("nwind.mdb --oracle-safe --verify", runs.back());
        }
        summarise("nwind.mdb", runs);
        for (const auto& r : runs)
            allOk = allOk && r.ok;
    } else {
        std::printf("nwind.mdb: no engine-written Jet files at %s\n", MALVORN_REAL_FIXTURES);
    }

    const std::string file = dir.path() + "/generated.mdb";
    // In a child: the rows built here would stay in this process's memory.
    if (const pid_t writer = ::fork(); writer == 0) {
        writeGenerated(file, rows);
        ::_exit(0);
    } else {
        int status = 0;
        ::waitpid(writer, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "the generated file could not be written\n");
            return 1;
        }
    }
    std::printf("generated: Kunden 1,000 rows, Umsatz %lld rows (2 secondary indexes, 1 FK)\n",
                static_cast<long long>(rows));
    std::vector<Result> runs;
    for (int round = 0; round < rounds; ++round) {
        runs.push_back(migrateOnce(file, freshServer(), false, true));
        print("generated --oracle-safe --bulk", runs.back());
    }
    summarise("generated", runs);
    for (const auto& r : runs)
        allOk = allOk && r.ok;
    // A run that did not end ok timed something else: say so in the status.
    return allOk ? 0 : 1;
}
