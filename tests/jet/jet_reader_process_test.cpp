// The program's side of the reader process: whatever the reader does, the
// caller gets rows or a JetError, never a crash or a wait without end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
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

TEST(ReaderProcess, TheReaderIsFoundByOptionThenEnvironment) {
    EXPECT_EQ(locateJetReader("/opt/x/reader"), "/opt/x/reader");
    ScopedEnvironment environment("MALVORN_JET_READER", "/opt/y/reader");
    EXPECT_EQ(locateJetReader(""), "/opt/y/reader");
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Files are written from `bytes`; a case without bytes names no file, and
// the last names a folder.
TEST(RealReader, FilesThatAreNoJetDatabaseGiveTypedErrors) {
    TempDir dir;
    std::mt19937 random(7);
    std::string noise(65536, '\0');
    for (auto& c : noise)
        c = static_cast<char>(random());
    std::string header(4096, '\0');
    header.replace(4, 15, "Standard Jet DB");
    header[0x14] = 1;
    const struct {
        const char* name;
        std::optional<std::string> bytes;
        JetErrorKind kind;
    } cases[] = {
        {"missing.mdb", std::nullopt, JetErrorKind::kNoFile},
        {"empty.mdb", "", JetErrorKind::kNotJet},
        {"text.mdb", std::string(10000, 'a'), JetErrorKind::kNotJet},
        {"noise.mdb", noise, JetErrorKind::kNotJet},
        {"header.mdb", header, JetErrorKind::kDamaged},
        {"", std::nullopt, JetErrorKind::kNoFile},
    };
    for (const auto& c : cases) {
        const std::string path = dir.path() + "/" + c.name;
        if (c.bytes)
            writeFile(path, *c.bytes);
        EXPECT_EQ(kindOfOpen(path, realReader()), c.kind) << c.name;
    }
    JetReaderOptions missingProgram;
    missingProgram.readerPath = dir.path() + "/malvorn-jet-reader";
    EXPECT_EQ(kindOfOpen(dir.path() + "/text.mdb", missingProgram), JetErrorKind::kReaderFailed);
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
