// The program's side of the reader process: whatever the reader does, the
// caller gets rows or a JetError, never a crash or a wait without end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "jet/jet_reader_client.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

// Sets an environment variable for one test; the reader inherits it.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() { ::unsetenv(name_); }

  private:
    const char* name_;
};

JetReaderOptions fakeReader() {
    JetReaderOptions options;
    options.readerPath = FAKE_JET_READER;
    options.progressTimeout = std::chrono::milliseconds(300);
    options.rowsPerBatch = 2;
    return options;
}

JetReaderOptions realReader() {
    JetReaderOptions options;
    options.readerPath = JET_READER;
    return options;
}

JetErrorKind kindOfOpen(const std::string& path, const JetReaderOptions& options) {
    try {
        JetReaderClient client(path, options);
    } catch (const JetError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "opened " << path;
    return JetErrorKind::kNoFile;
}

TEST(ReaderProcess, AReaderThatFailsAtOnceIsAReaderFailure) {
    for (const char* mode : {"crash-at-open", "hang-at-open", "exit-at-open", "garbage-at-open",
                             "wrong-reply-at-open"}) {
        ScopedEnvironment environment("MALVORN_FAKE_READER_MODE", mode);
        try {
            JetReaderClient client("/any/file.mdb", fakeReader());
            ADD_FAILURE() << mode << " opened";
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), JetErrorKind::kReaderFailed) << mode;
            EXPECT_NE(std::string(e.what()).find("/any/file.mdb"), std::string::npos) << mode;
            if (std::string(mode) == "crash-at-open") {
                EXPECT_NE(std::string(e.what()).find("異常終了"), std::string::npos) << e.what();
            }
        }
    }
}

TEST(ReaderProcess, FailureInTheMiddleOfTheRowsEndsTheStreamWithAnError) {
    for (const char* mode : {"crash-in-rows", "hang-in-rows"}) {
        ScopedEnvironment environment("MALVORN_FAKE_READER_MODE", mode);
        JetReaderClient client("/any/file.mdb", fakeReader());
        auto rows = client.openRows("T");
        EXPECT_EQ(rows->recordedRowCount(), 1000);
        JetRow row;
        ASSERT_TRUE(rows->next(row)) << mode;
        EXPECT_EQ(row, JetRow{std::int64_t{1}});
        ASSERT_TRUE(rows->next(row)) << mode;
        try {
            rows->next(row);
            ADD_FAILURE() << mode << " gave a third row";
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), JetErrorKind::kReaderFailed) << mode;
        }
        // The client stays failed instead of talking to a dead reader.
        EXPECT_THROW(client.tableNames(), JetError) << mode;
    }
}

TEST(ReaderProcess, RowsArriveInBatchesUntilTheEnd) {
    ScopedEnvironment environment("MALVORN_FAKE_READER_MODE", "normal");
    JetReaderClient client("/any/file.mdb", fakeReader());
    auto rows = client.openRows("T");
    ASSERT_EQ(rows->columns().size(), 1u);
    EXPECT_EQ(rows->columns()[0], (JetColumn{"ID", 4}));
    std::vector<std::int64_t> seen;
    JetRow row;
    while (rows->next(row))
        seen.push_back(std::get<std::int64_t>(row.at(0)));
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(rows->next(row));
    // A typed error of the reader passes through and leaves the client usable.
    try {
        client.readTable("missing");
        FAIL() << "read a missing table";
    } catch (const JetError& e) {
        EXPECT_EQ(e.kind(), JetErrorKind::kNoSuchTable);
    }
    EXPECT_NO_THROW(client.openRows("T"));
}

TEST(ReaderProcess, TheReaderIsFoundByOptionThenEnvironment) {
    EXPECT_EQ(locateJetReader("/opt/x/reader"), "/opt/x/reader");
    ScopedEnvironment environment("MALVORN_JET_READER", "/opt/y/reader");
    EXPECT_EQ(locateJetReader(""), "/opt/y/reader");
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(RealReader, FilesThatAreNoJetDatabaseGiveTypedErrors) {
    TempDir dir;
    const std::string empty = dir.path() + "/empty.mdb";
    writeFile(empty, "");
    const std::string text = dir.path() + "/text.mdb";
    writeFile(text, std::string(10000, 'a'));
    std::mt19937 random(7);
    std::string noise(65536, '\0');
    for (auto& c : noise)
        c = static_cast<char>(random());
    const std::string noisy = dir.path() + "/noise.mdb";
    writeFile(noisy, noise);
    std::string header(4096, '\0');
    header.replace(4, 15, "Standard Jet DB");
    header[0x14] = 1;
    const std::string headerOnly = dir.path() + "/header.mdb";
    writeFile(headerOnly, header);

    struct Case {
        std::string path;
        JetErrorKind kind;
    };
    const Case cases[] = {
        {dir.path() + "/missing.mdb", JetErrorKind::kNoFile},
        {dir.path(), JetErrorKind::kNoFile},
        {empty, JetErrorKind::kNotJet},
        {text, JetErrorKind::kNotJet},
        {noisy, JetErrorKind::kNotJet},
        {headerOnly, JetErrorKind::kDamaged},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kindOfOpen(c.path, realReader()), c.kind) << c.path;
    JetReaderOptions missingProgram;
    missingProgram.readerPath = dir.path() + "/malvorn-jet-reader";
    EXPECT_EQ(kindOfOpen(text, missingProgram), JetErrorKind::kReaderFailed);
}

TEST(RealReader, AForgedHeaderOverEmptyPagesIsAnErrorNotACrash) {
    TempDir dir;
    for (const int version : {0, 1}) {
        std::string file(16 * 4096, '\0');
        file.replace(4, 15, "Standard Jet DB");
        file[0x14] = static_cast<char>(version);
        const std::string path = dir.path() + "/forged" + std::to_string(version) + ".mdb";
        writeFile(path, file);
        try {
            JetReaderClient client(path, realReader());
            for (const auto& name : client.tableNames())
                client.readTable(name);
        } catch (const JetError& e) {
            EXPECT_NE(e.kind(), JetErrorKind::kNoFile) << e.what();
        }
    }
}

}  // namespace
}  // namespace malvorn::jet
