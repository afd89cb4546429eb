// malvorn-cli migrate stopped in every way a run can end early, at points
// spread over a 200,000-row migration of three tables, row by row and in
// batches, then taken up again with --resume: each must end with exactly the
// file's rows, read back clean. A point is reached by the rows the journal
// says are committed, seen as the journal is renamed into place (inotify),
// never by waiting a while. MALVORN_KILL_POINTS sets how many points (10).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poll.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/file_descriptor.h"
#include "base/files.h"
#include "core/migrate_journal.h"
#include "jet_builder/jet_builder.h"
#include "localserver/local_server.h"
#include "support/spawned.h"
#include "support/temp_dir.h"

namespace malvorn::core {
namespace {

using testing::JetBuildTable;

struct SourceTable {
    const char* name;
    std::int64_t rows;
};
constexpr SourceTable kSource[] = {{"ORDERS", 90000}, {"ITEMS", 70000}, {"NOTES", 40000}};
constexpr std::int64_t kAllRows = 200000;

// A run of malvorn-cli in a process group of its own, as a shell's job.
class CliRun {
  public:
    CliRun(const std::vector<std::string>& words, const std::string& log) {
        std::vector<std::string> all{MALVORN_CLI};
        all.insert(all.end(), words.begin(), words.end());
        pid_ = spawnProgram(all, {.output = log, .bothOutputs = true, .ownGroup = true});
    }
    ~CliRun() {
        if (!reaped_) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    CliRun(const CliRun&) = delete;
    CliRun& operator=(const CliRun&) = delete;

    pid_t pid() const { return pid_; }
    // The raw wait status.
    int wait() {
        while (!reaped_ && ::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        return status_;
    }
    // Readable once the process has ended (a pidfd).
    int endedDescriptor() const { return static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)); }

  private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
};

// The reader process the program started, found by its parent.
pid_t readerOf(pid_t parent) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state;
        pid_t ppid = 0;
        if (stat >> pid >> name >> state >> ppid && ppid == parent &&
            name.find("malvorn-jet-rea") != std::string::npos)
            return std::stoi(pid);
    }
    return -1;
}

// The rows the journal at `path` has as committed, over all its tables.
std::int64_t committedRows(const std::string& path) {
    std::int64_t rows = 0;
    for (const auto& table : parseJournal(base::readFileBytes(path), path).tables)
        rows += table.rows;
    return rows;
}

// Waits until the journal counts at least `rows` committed rows, or the run
// has ended; true in the first case.
bool awaitRows(const CliRun& run, const std::string& folder, const std::string& journal,
               std::int64_t rows) {
    const base::FileDescriptor watch(::inotify_init1(IN_CLOEXEC));
    const base::FileDescriptor ended(run.endedDescriptor());
    if (!watch.isOpen() || !ended.isOpen())
        throw std::runtime_error(std::string("descriptor: ") + std::strerror(errno));
    ::inotify_add_watch(watch.get(), folder.c_str(), IN_MOVED_TO);
    for (;;) {
        if (base::fileExists(journal) && committedRows(journal) >= rows)
            return true;
        pollfd waits[] = {{watch.get(), POLLIN, 0}, {ended.get(), POLLIN, 0}};
        // The bound only keeps a broken run from hanging the suite.
        if (::poll(waits, 2, 120000) <= 0 || (waits[1].revents & POLLIN) != 0)
            return false;
        char events[4096];
        (void)!::read(watch.get(), events, sizeof events);
    }
}

enum class Blow { kCtrlC, kCtrlCTwice, kTerm, kKillCli, kKillReader };
constexpr const char* kBlowNames[] = {"Ctrl-C", "Ctrl-C twice", "SIGTERM", "kill -9 malvorn-cli",
                                      "kill -9 reader"};

class KillResume : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        std::vector<JetBuildTable> tables;
        for (const auto& [name, rows] : kSource) {
            JetBuildTable& t = tables.emplace_back();
            t.name = name;
            t.fields = {{.name = "ID", .type = 4},
                        {.name = "NAME", .type = 10, .size = 20},
                        {.name = "AMOUNT", .type = 5}};
            t.indexes = {{.name = "pkkey", .columns = {"ID"}, .primary = true}};
            for (std::int64_t i = 1; i <= rows; ++i)
                t.rows.push_back({i, "r" + std::to_string(i), i * 10000 + 25});
        }
        testing::writeJetFile(database(), tables);
    }
    static void TearDownTestSuite() { delete dir_; }
    static std::string database() { return dir_->path() + "/source.mdb"; }

    static TempDir* dir_;
};
TempDir* KillResume::dir_ = nullptr;

int pointCount() {
    const char* text = std::getenv("MALVORN_KILL_POINTS");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 10;
}

std::string statusText(int status) {
    return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                             : "signal " + std::to_string(WTERMSIG(status));
}

// A clean stop is in the report and the journal; one that lands while a
// table is copied names the rows kept, one that lands between two tables (a
// copy in batches can end a table between the poll and the signal) has no
// table to name.
void expectStopRecorded(const std::string& work) {
    EXPECT_NE(readWholeFile(work + "/report.json").find("\"interrupted\": true"),
              std::string::npos);
    const auto journal = parseJournal(readWholeFile(work + "/journal/j.json"), "j");
    EXPECT_TRUE(journal.interrupted);
    const bool inATable =
        std::any_of(journal.tables.begin(), journal.tables.end(),
                    [](const auto& table) { return table.phase < TablePhase::kCopied; });
    if (inATable) {
        EXPECT_NE(readWholeFile(work + "/first.log").find(" 行目まで)"), std::string::npos);
    }
}

// What a blow must end in: a clean stop (130, the report saying so), the
// program killed, or a failed table (the reader gone).
// `work`: the point's folder, with the run's report, output and journal.
void expectEnd(Blow blow, int status, const std::string& work) {
    switch (blow) {
        case Blow::kKillCli:
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << statusText(status);
            return;
        case Blow::kKillReader:
            EXPECT_EQ(statusText(status), "exit 1");
            return;
        case Blow::kCtrlC:
        case Blow::kTerm:
            expectStopRecorded(work);
            [[fallthrough]];
        case Blow::kCtrlCTwice:
            EXPECT_EQ(statusText(status), "exit 130");
    }
}

void strike(Blow blow, pid_t cli) {
    switch (blow) {
        case Blow::kCtrlC:  // a terminal's Ctrl-C goes to the whole job
            ::kill(-cli, SIGINT);
            break;
        case Blow::kCtrlCTwice:
            ::kill(-cli, SIGINT);
            ::kill(-cli, SIGINT);
            break;
        case Blow::kTerm:
            ::kill(cli, SIGTERM);
            break;
        case Blow::kKillCli:
            ::kill(cli, SIGKILL);
            break;
        case Blow::kKillReader:
            // Never a pid of -1 or 0: that would reach every process.
            if (const pid_t reader = readerOf(cli); reader > 0)
                ::kill(reader, SIGKILL);
            else
                ADD_FAILURE() << "no reader process under " << cli;
            break;
    }
}

// Every blow meets both ways of copying over ten points.
Blow blowAt(int k) {
    return static_cast<Blow>(k % 5);
}
bool bulkAt(int k) {
    return k % 2 == 1;
}

// One point a test, so that each stays short and they can run side by side.
class KillResumePoint : public KillResume, public ::testing::WithParamInterface<int> {};

TEST_P(KillResumePoint, ThenResumeEndsWithExactlyTheFilesRows) {
    const int points = pointCount();
    const int k = GetParam();
    const Blow blow = blowAt(k);
    const bool bulk = bulkAt(k);
    // Spread over the first nine tenths: a blow near the very end can
    // come after the last row, when nothing is left to stop.
    const std::int64_t at = (2 * k + 1) * kAllRows * 9 / (20 * points);
    SCOPED_TRACE(std::string(kBlowNames[k % 5]) + (bulk ? ", in batches" : ", row by row") +
                 ", at row " + std::to_string(at));
    const std::string work = dir_->path() + "/point" + std::to_string(k);
    std::filesystem::create_directories(work + "/journal");
    const std::string server = work + "/server";
    {
        const auto system = localserver::openLocalServer(server, "system", "tarnbol");
        system->execute("CREATE USER mover IDENTIFIED BY pw DEFAULT TABLESPACE users");
        system->execute("GRANT DBA, RESOURCE, CONNECT TO mover");
    }
    const std::string journal = work + "/journal/j.json";
    std::vector<std::string> words{"migrate",
                                   database(),
                                   "--user",
                                   "mover",
                                   "--password",
                                   "pw",
                                   "--service",
                                   server,
                                   "--oracle-safe",
                                   "--journal",
                                   journal,
                                   "--report",
                                   work + "/report.json"};
    if (bulk)
        words.push_back("--bulk");
    if (k % 3 == 2)
        words.push_back("--verify");  // some tables are read back before the stop
    {
        CliRun run(words, work + "/first.log");
        ASSERT_TRUE(awaitRows(run, work + "/journal", journal, at))
            << statusText(run.wait()) << "\n"
            << readWholeFile(work + "/first.log");
        strike(blow, run.pid());
        expectEnd(blow, run.wait(), work);
    }
    words.push_back("--resume");
    if (k % 3 != 2)
        words.push_back("--verify");
    CliRun resumed(words, work + "/resume.log");
    ASSERT_EQ(statusText(resumed.wait()), "exit 0") << readWholeFile(work + "/resume.log");
    const auto mover = localserver::openLocalServer(server, "mover", "pw");
    for (const auto& [name, rows] : kSource) {
        EXPECT_EQ(mover->queryValue(std::string("SELECT COUNT(*) || ' ' || COUNT(DISTINCT ID) "
                                                "|| ' ' || SUM(ID) FROM ") +
                                    name),
                  std::to_string(rows) + " " + std::to_string(rows) + " " +
                      std::to_string(rows * (rows + 1) / 2))
            << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Points, KillResumePoint, ::testing::Range(0, pointCount()),
                         [](const ::testing::TestParamInfo<int>& point) {
                             std::string name = std::to_string(point.param) + "_";
                             for (const char c : std::string(kBlowNames[point.param % 5]))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name + (bulkAt(point.param) ? "_bulk" : "_rows");
                         });

}  // namespace
}  // namespace malvorn::core
