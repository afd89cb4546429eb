// Row batches asked for ahead of the rows in use: the rows come whole and in
// order whatever the depth, a stream left early leaves the reader ready for
// the next request, and a reader lost while batches are on their way ends
// the stream as a reader asked one batch at a time did.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <limits>

#include "built_files.h"
#include "support/scoped_environment.h"

namespace malvorn::jet {
namespace {

using ::testing::HasSubstr;

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
        const std::string path = dir_.path() + "/pipeline" + std::to_string(++files_) + ".mdb";
        testing::writeJetFile(path, tables);
        return path;
    }
    TempDir dir_;
    int files_ = 0;
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
        for (int pass = 0; pass < 2; ++pass) {
            for (const Table& t : tables) {
                SCOPED_TRACE(t.name);
                auto rows = client.openRows(t.name);
                EXPECT_EQ(readIds(*rows), range(t.first, static_cast<std::size_t>(t.rows)));
                EXPECT_FALSE(rowCountDiffers(*rows));
                // Asked again after the end: still the end, nothing more.
                JetRow row;
                EXPECT_FALSE(rows->next(row));
            }
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
        JetReaderOptions options;
        options.readerPath = FAKE_JET_READER;
        // Long enough for a new reader to start on a loaded machine; the
        // hanging one is given up after it.
        options.progressTimeout = std::chrono::milliseconds(2000);
        options.rowsPerBatch = 2;
        options.batchesAhead = 2;
        JetReaderClient client("/any/file.mdb", options);
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
    JetReaderOptions options;
    options.readerPath = FAKE_JET_READER;
    options.rowsPerBatch = 2;
    options.batchesAhead = 2;
    JetReaderClient client("/any/file.mdb", options);
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
