// The program's side of the reader process: whatever the reader does, the
// caller gets rows or a JetError, never a crash or a wait without end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <random>

#include "jet/jet_reader_client.h"
#include "support/command.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

JetReaderOptions fakeReader() {
    JetReaderOptions options;
    options.readerPath = FAKE_JET_READER;
    options.progressTimeout = std::chrono::milliseconds(300);
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

using ::testing::HasSubstr;

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
        EXPECT_THAT([&] { rows->next(row); }, ::testing::Throws<JetError>(::testing::Property(
                                                  &JetError::kind, JetErrorKind::kReaderFailed)));
        // The client stays failed instead of talking to a dead reader.
        EXPECT_THROW(client.tableNames(), JetError) << mode;
    }
}

TEST(ReaderProcess, TheReaderIsFoundByOptionThenEnvironment) {
    EXPECT_EQ(locateJetReader("/opt/x/reader"), "/opt/x/reader");
    ScopedEnvironment environment("MALVORN_JET_READER", "/opt/y/reader");
    EXPECT_EQ(locateJetReader(""), "/opt/y/reader");
}

// What is at the path decides the error and its message, which names the
// path; the command line says it in one line and exits non-zero.
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
        {at + "empty.mdb", "", JetErrorKind::kNotJet, notJet, {}},
        {at + "short.mdb", header.substr(0, 100), JetErrorKind::kNotJet, notJet, {}},
        {at + "text.mdb",
         std::string(10000, 'a'),
         JetErrorKind::kNotJet,
         notJet,
         {"tables", "script"}},
        {at + "noise.mdb", noise, JetErrorKind::kNotJet, notJet, {}},
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

}  // namespace
}  // namespace malvorn::jet
