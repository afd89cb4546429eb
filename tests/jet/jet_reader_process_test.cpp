// The program's side of the reader process: whatever the reader does, the
// caller gets rows or a JetError, never a crash or a wait without end. Row
// batches asked for ahead of the rows in use come whole and in order whatever
// the depth, a stream left early leaves the reader ready for the next
// request, and a reader lost while batches are on their way ends the stream
// as a reader asked one batch at a time did.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <limits>
#include <optional>

#include "built_files.h"
#include "support/command.h"
#include "support/scoped_environment.h"

namespace malvorn::jet {
namespace {

using ::testing::HasSubstr;

// The stand-in reader, two rows a batch; the first batch must come within
// `timeout`.
JetReaderOptions fakeReader(std::chrono::milliseconds timeout = std::chrono::milliseconds(300)) {
    JetReaderOptions options;
    options.readerPath = FAKE_JET_READER;
    options.progressTimeout = timeout;
    options.rowsPerBatch = 2;
    return options;
}

// The kind and message of the error opening `path` gives.
std::pair<std::optional<JetErrorKind>, std::string> openFailure(const std::string& path,
                                                                const JetReaderOptions& options) {
    try {
        JetReaderClient client(path, options);
    } catch (const JetError& e) {
        return {e.kind(), e.what()};
    }
    return {std::nullopt, "opened"};
}

TEST(ReaderProcess, AReaderThatFailsAtOnceIsAReaderFailure) {
    for (const char* mode : {"crash-at-open", "hang-at-open", "exit-at-open", "garbage-at-open",
                             "wrong-reply-at-open"}) {
        ScopedEnvironment environment("MALVORN_FAKE_READER_MODE", mode);
        const auto [kind, message] = openFailure("/any/file.mdb", fakeReader());
        EXPECT_EQ(kind, JetErrorKind::kReaderFailed) << mode;
        EXPECT_THAT(message, HasSubstr("/any/file.mdb"));
        if (std::string(mode) == "crash-at-open") {
            EXPECT_THAT(message, HasSubstr("異常終了"));
        }
    }
}

// One killed in the middle of a table: the pipeline tests below.
TEST(ReaderProcess, AReaderHangingInTheMiddleOfTheRowsEndsTheStreamWithAnError) {
    ScopedEnvironment environment("MALVORN_FAKE_READER_MODE", "hang-in-rows");
    JetReaderClient client("/any/file.mdb", fakeReader());
    auto rows = client.openRows("T");
    EXPECT_EQ(rows->recordedRowCount(), 1000);
    JetRow row;
    ASSERT_TRUE(rows->next(row));
    EXPECT_EQ(row, JetRow{std::int64_t{1}});
    ASSERT_TRUE(rows->next(row));
    EXPECT_THAT([&] { rows->next(row); }, ::testing::Throws<JetError>(::testing::Property(
                                              &JetError::kind, JetErrorKind::kReaderFailed)));
    // The client stays failed instead of talking to a dead reader.
    EXPECT_THROW(client.tableNames(), JetError);
}

TEST(ReaderProcess, TheReaderIsFoundByOptionThenEnvironment) {
    EXPECT_EQ(locateJetReader("/opt/x/reader"), "/opt/x/reader");
    ScopedEnvironment environment("MALVORN_JET_READER", "/opt/y/reader");
    EXPECT_EQ(locateJetReader(""), "/opt/y/reader");
}

// What is at the path decides the error and its message, which names the
// path, read either way; the command line says it in one line and exits
// non-zero.
TEST(RealReader, FilesThatAreNoJetDatabaseGiveTypedErrors) {
    TempDir dir;
    std::string header(4096, '\0');
    header.replace(4, 15, "Standard Jet DB");
    header[0x14] = 1;
    ASSERT_EQ(::mkfifo((dir.path() + "/fifo.mdb").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("loop2.mdb", (dir.path() + "/loop1.mdb").c_str()), 0);
    ASSERT_EQ(::symlink("loop1.mdb", (dir.path() + "/loop2.mdb").c_str()), 0);
    const std::string at = dir.path() + "/";
    const char* const notJet = "Jetデータベースファイルではありません";
    struct Case {
        std::string path;
        std::optional<std::string> bytes;  // nullopt: made above or not there
        JetErrorKind kind;
        const char* text;
        std::vector<std::string> command;  // also run so, when not empty
    };
    const Case cases[] = {
        {at + "missing.mdb",
         std::nullopt,
         JetErrorKind::kNoFile,
         "見つかりません",
         {"tables", "inserts"}},
        {at + "short.mdb", header.substr(0, 100), JetErrorKind::kNotJet, notJet, {}},
        {at + "text.mdb",
         std::string(10000, 'a'),
         JetErrorKind::kNotJet,
         notJet,
         {"tables", "script"}},
        {at + "header.mdb", header, JetErrorKind::kDamaged, "途中で切れています", {}},
        {dir.path(), std::nullopt, JetErrorKind::kNoFile, "フォルダーです", {}},
        {at + "fifo.mdb", std::nullopt, JetErrorKind::kNoFile, "名前付きパイプです", {}},
        {at + "loop1.mdb", std::nullopt, JetErrorKind::kNoFile, "循環しています", {}},
        {"/dev/zero", std::nullopt, JetErrorKind::kNoFile, "デバイスです", {}},
    };
    for (const Case& c : cases) {
        if (c.bytes)
            writeWholeFile(c.path, *c.bytes);
        const auto failure = openFailure(c.path, {.readerPath = JET_READER});
        EXPECT_EQ(failure.first, c.kind) << c.path;
        EXPECT_THAT(failure.second, ::testing::AllOf(HasSubstr(c.path), HasSubstr(c.text)));
        // In this process the same: the check comes before the library.
        expectJetError([&] { openJetFileHere(c.path); }, c.kind, {c.path, c.text});
        for (const std::string& command : c.command) {
            const CommandRun run = runProgram(
                MALVORN_CLI, command == "tables" ? std::vector{command, c.path}
                                                 : std::vector<std::string>{command, c.path, "T"});
            EXPECT_NE(run.status, 0) << command;
            EXPECT_EQ(run.out, "") << command;
            EXPECT_THAT(run.err, HasSubstr(c.text));
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
    }
    EXPECT_EQ(openFailure(at + "text.mdb", {.readerPath = at + "malvorn-jet-reader"}).first,
              JetErrorKind::kReaderFailed);  // no reader program there
}

constexpr std::uint32_t kRowsPerBatch = 16;

// IDs first .. first + rows - 1, each with a label.
JetBuildTable numbered(const std::string& name, int rows, Int first = 0) {
    JetBuildTable table{name, {{.name = "ID", .type = 4}, {.name = "Label", .size = 20}}, {}, {}};
    for (int i = 0; i < rows; ++i)
        table.rows.push_back({first + i, "row " + std::to_string(first + i)});
    return table;
}

std::vector<Int> range(Int first, std::size_t count) {
    std::vector<Int> ids(count);
    for (std::size_t i = 0; i < count; ++i)
        ids[i] = first + static_cast<Int>(i);
    return ids;
}

JetReaderOptions pipelined(std::uint32_t ahead) {
    JetReaderOptions options;
    options.readerPath = JET_READER;
    options.rowsPerBatch = kRowsPerBatch;
    options.batchesAhead = ahead;
    return options;
}

// Appends the IDs of at most `most` rows to `ids` (kept when a row fails),
// checking each label against its ID.
void appendIds(JetRowCursor& rows, std::vector<Int>& ids,
               std::size_t most = std::numeric_limits<std::size_t>::max()) {
    JetRow row;
    while (ids.size() < most && rows.next(row)) {
        const Int id = std::get<Int>(row.at(0));
        EXPECT_EQ(std::get<std::string>(row.at(1)), "row " + std::to_string(id));
        ids.push_back(id);
    }
}

std::vector<Int> readIds(JetRowCursor& rows,
                         std::size_t most = std::numeric_limits<std::size_t>::max()) {
    std::vector<Int> ids;
    appendIds(rows, ids, most);
    return ids;
}

class ReaderPipeline : public ::testing::Test {
  protected:
    std::string write(const std::vector<JetBuildTable>& tables) {
        const std::string path = dir_.path() + "/pipeline.mdb";
        testing::writeJetFile(path, tables);
        return path;
    }
    TempDir dir_;
};

// Left after some rows, with batches still owed: the next table is read
// whole by the same reader process.
TEST_F(ReaderPipeline, AStreamLeftEarlyLeavesTheSameReaderReadyForTheNextTable) {
    struct Case {
        const char* name;
        std::uint32_t ahead;
        std::size_t leaveAfter;  // rows read before the stream is dropped
    };
    const Case cases[] = {
        {.name = "asked when needed, mid-batch", .ahead = 0, .leaveAfter = 5},
        {.name = "two ahead, before the first row", .ahead = 2, .leaveAfter = 0},
        {.name = "two ahead, after the first row", .ahead = 2, .leaveAfter = 1},
        {.name = "two ahead, at a batch's end", .ahead = 2, .leaveAfter = kRowsPerBatch},
        {.name = "six ahead, mid-table", .ahead = 6, .leaveAfter = 40},
    };
    const std::string path = write({numbered("A", 200), numbered("B", 50, 1000)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JetReaderClient client(path, pipelined(c.ahead));
        const int reader = client.readerProcessId();
        {
            auto rows = client.openRows("A");
            EXPECT_EQ(readIds(*rows, c.leaveAfter), range(0, c.leaveAfter));
        }
        EXPECT_EQ(client.readTable("B").fields.size(), 2u);
        auto rows = client.openRows("B");
        EXPECT_EQ(readIds(*rows), range(1000, 50));
        EXPECT_EQ(rows->deliveredRowCount(), 50);
        EXPECT_EQ(client.readerProcessId(), reader);
    }
}

// Tables read one after another, empty ones, one of exactly a batch and one
// of many, each whole, at every depth; the batches asked for past a
// table's end cost the reader nothing (it is still the same process).
TEST_F(ReaderPipeline, ManyTablesInOneReaderComeWholeAndInOrder) {
    struct Table {
        const char* name;
        int rows;
        Int first;
    };
    const Table tables[] = {
        {.name = "Empty", .rows = 0, .first = 0},
        {.name = "One", .rows = 1, .first = 10},
        {.name = "Batch", .rows = kRowsPerBatch, .first = 100},
        {.name = "BatchAndOne", .rows = kRowsPerBatch + 1, .first = 200},
        {.name = "Many", .rows = 700, .first = 5000},
    };
    std::vector<JetBuildTable> built;
    for (const Table& t : tables)
        built.push_back(numbered(t.name, t.rows, t.first));
    const std::string path = write(built);
    for (const std::uint32_t ahead : {0u, 1u, 2u, 8u}) {
        SCOPED_TRACE(ahead);
        JetReaderClient client(path, pipelined(ahead));
        const int reader = client.readerProcessId();
        for (const Table& t : tables) {
            SCOPED_TRACE(t.name);
            auto rows = client.openRows(t.name);
            EXPECT_EQ(readIds(*rows), range(t.first, static_cast<std::size_t>(t.rows)));
            EXPECT_FALSE(rowCountDiffers(*rows));
            // Asked again after the end: still the end, nothing more.
            JetRow row;
            EXPECT_FALSE(rows->next(row));
        }
        EXPECT_EQ(client.userTableNames().size(), std::size(tables));
        EXPECT_EQ(client.readerProcessId(), reader);
    }
}

// Killed with batches owed: the rows already received come out, whole
// batches from the start, then the error of a killed reader; the client
// stays failed (nothing is read from a reader started anew mid-stream).
TEST_F(ReaderPipeline, AReaderKilledWithBatchesOwedEndsTheStreamAsBefore) {
    const std::string path = write({numbered("A", 3000)});
    for (const std::uint32_t ahead : {0u, 2u}) {
        SCOPED_TRACE(ahead);
        JetReaderClient client(path, pipelined(ahead));
        auto rows = client.openRows("A");
        std::vector<Int> ids = readIds(*rows, 1);
        ASSERT_EQ(::kill(client.readerProcessId(), SIGKILL), 0);
        std::string message;
        try {
            appendIds(*rows, ids);
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), JetErrorKind::kReaderFailed);
            message = e.what();
        }
        EXPECT_THAT(message, HasSubstr("シグナル 9"));
        EXPECT_EQ(ids, range(0, ids.size()));
        EXPECT_EQ(ids.size() % kRowsPerBatch, 0u);
        EXPECT_LE(ids.size(), (ahead + 1) * kRowsPerBatch);
        expectJetError([&] { client.tableNames(); }, JetErrorKind::kReaderFailed, {"シグナル 9"});
    }
}

// The stand-in reader crashes or hangs on its second batch, which the
// program asked for ahead and then did not want: the next request gets a
// new reader instead of the error of rows nobody read.
TEST_F(ReaderPipeline, AReaderLostOnRowsNobodyWantedIsReplaced) {
    for (const char* mode : {"crash-in-rows", "hang-in-rows"}) {
        SCOPED_TRACE(mode);
        ScopedEnvironment environment("MALVORN_FAKE_READER_MODE", mode);
        // Long enough for a new reader to start on a loaded machine; the
        // hanging one is given up after it.
        JetReaderClient client("/any/file.mdb", fakeReader(std::chrono::milliseconds(2000)));
        const int first = client.readerProcessId();
        JetRow row;
        {
            auto rows = client.openRows("T");
            ASSERT_TRUE(rows->next(row));
            EXPECT_EQ(row, JetRow{Int{1}});
        }
        auto rows = client.openRows("T");
        ASSERT_TRUE(rows->next(row));
        EXPECT_EQ(row, JetRow{Int{1}});
        ASSERT_TRUE(rows->next(row));
        EXPECT_EQ(row, JetRow{Int{2}});
        EXPECT_NE(client.readerProcessId(), first);
    }
}

// A reader's error in the middle of a table ends the stream for good: asking
// again must not find an ended table (the reader answers the batches asked
// for ahead with empty last ones), or a caller would take a short table for
// a whole one.
TEST_F(ReaderPipeline, AnErrorInTheRowsStaysTheStreamsLastWord) {
    ScopedEnvironment environment("MALVORN_FAKE_READER_MODE", "error-in-rows");
    JetReaderClient client("/any/file.mdb", fakeReader(std::chrono::milliseconds(10000)));
    auto rows = client.openRows("T");
    JetRow row;
    ASSERT_TRUE(rows->next(row));
    ASSERT_TRUE(rows->next(row));
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        expectJetError([&] { rows->next(row); }, JetErrorKind::kDamaged, {"damaged page"});
    }
    EXPECT_EQ(rows->deliveredRowCount(), 2);
}

}  // namespace
}  // namespace malvorn::jet
