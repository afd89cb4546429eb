// The program's side of the reader process: whatever the reader does, the
// caller gets rows or a JetError, never a crash or a wait without end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
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
    return JetReaderOptions{.readerPath = JET_READER};
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

// What is at the path decides the error and its message, which names the path.
TEST(RealReader, FilesThatAreNoJetDatabaseGiveTypedErrors) {
    TempDir dir;
    std::mt19937 random(7);
    std::string noise(65536, '\0');
    for (auto& c : noise)
        c = static_cast<char>(random());
    std::string header(4096, '\0');
    header.replace(4, 15, "Standard Jet DB");
    header[0x14] = 1;
    ASSERT_EQ(::mkfifo((dir.path() + "/fifo.mdb").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("loop2.mdb", (dir.path() + "/loop1.mdb").c_str()), 0);
    ASSERT_EQ(::symlink("loop1.mdb", (dir.path() + "/loop2.mdb").c_str()), 0);
    const struct {
        std::string path;
        std::optional<std::string> bytes;
        JetErrorKind kind;
        const char* message;
    } cases[] = {
        {dir.path() + "/missing.mdb", std::nullopt, JetErrorKind::kNoFile, "見つかりません"},
        {dir.path() + "/empty.mdb", "", JetErrorKind::kNotJet, "ではありません"},
        {dir.path() + "/text.mdb", std::string(10000, 'a'), JetErrorKind::kNotJet,
         "ではありません"},
        {dir.path() + "/noise.mdb", noise, JetErrorKind::kNotJet, "ではありません"},
        {dir.path() + "/header.mdb", header, JetErrorKind::kDamaged, "途中で切れています"},
        {dir.path(), std::nullopt, JetErrorKind::kNoFile, "フォルダーです"},
        {dir.path() + "/fifo.mdb", std::nullopt, JetErrorKind::kNoFile, "名前付きパイプです"},
        {dir.path() + "/loop1.mdb", std::nullopt, JetErrorKind::kNoFile, "循環しています"},
        {"/dev/zero", std::nullopt, JetErrorKind::kNoFile, "デバイスです"},
    };
    for (const auto& c : cases) {
        if (c.bytes)
            writeWholeFile(c.path, *c.bytes);
        try {
            JetReaderClient client(c.path, realReader());
            ADD_FAILURE() << "opened " << c.path;
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.path;
            const std::string message = e.what();
            EXPECT_NE(message.find(c.path), std::string::npos) << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
        }
    }
    try {
        JetReaderClient client(dir.path() + "/text.mdb",
                               JetReaderOptions{.readerPath = dir.path() + "/malvorn-jet-reader"});
        ADD_FAILURE() << "opened without a reader program";
    } catch (const JetError& e) {
        EXPECT_EQ(e.kind(), JetErrorKind::kReaderFailed);
    }
}

}  // namespace
}  // namespace malvorn::jet
