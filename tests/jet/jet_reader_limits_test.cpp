// The reader's bounds: a damaged file that makes the Jet library loop or
// grow ends in a message saying which bound it reached, the reader ends with
// the program that started it, and once its file is open it can reach
// nothing else.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "jet_damage.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapCeiling = false;  // the reader has none under the address sanitizer
#else
constexpr bool kHeapCeiling = true;
#endif

const char* const kWorkLimit = "処理時間が上限を超えました";
const char* const kMemoryLimit = "メモリが上限を超えた";

// Each ends in an error naming the file and what stopped it, with the
// reader's own bounds (no test setting).
TEST(ReaderBounds, ADamagedFileThatTrapsTheLibraryEndsInAClearError) {
    const struct {
        const char* name;
        std::function<std::string()> bytes;
        const char* message;
    } cases[] = {
        {"walks a property list without end", [] { return endlessPropertyList(0); }, kWorkLimit},
        {"grows a property list without end", [] { return endlessPropertyList(1); },
         kHeapCeiling ? kMemoryLimit : kWorkLimit},
        // With a heap ceiling the loop ends there and the pages read tell it;
        // without one the work limit ends it.
        {"runaway page chain", runawayPropertyChain,
         kHeapCeiling ? "ページの連鎖が循環" : kWorkLimit},
        {"huge column count", [] { return hugeCount(45, 2); }, "壊れている"},
        {"huge index count", [] { return hugeCount(47, 4); }, "壊れている"},
        {"huge real index count", [] { return hugeCount(51, 4); }, "壊れている"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.path() + "/trap.mdb";
        writeWholeFile(path, c.bytes());
        const auto error = readEverything(path);
        ASSERT_TRUE(error.has_value());
        const std::string message = error->what();
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

// The program is killed (SIGKILL) while its reader walks a property list
// without end: the reader ends too. The reader holds the write end of a
// pipe, so the test sees it end as the end of that pipe; it becomes the
// real reader only once the program's request is waiting for it.
TEST(ReaderLifetime, AReaderEndsWhenItsProgramIsKilledInTheMiddleOfARequest) {
    TempDir dir;
    const std::string path = dir.path() + "/endless.mdb";
    writeWholeFile(path, endlessPropertyList(0));
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t program = ::fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        ::dup2(ends[1], 3);
        ::setenv("MALVORN_FAKE_READER_MODE", "real-after-request", 1);
        ::setenv("MALVORN_FAKE_READER_TARGET", JET_READER, 1);
        JetReaderOptions options;
        options.readerPath = FAKE_JET_READER;
        options.cpuLimit = std::chrono::milliseconds(0);  // only the program's end stops it
        options.progressTimeout = std::chrono::hours(1);
        try {
            JetReaderClient client(path, options);
        } catch (...) {
        }
        ::_exit(0);
    }
    ::close(ends[1]);
    std::string line;
    for (char c = 0; c != '\n' && ::read(ends[0], &c, 1) == 1;)
        line += c;
    const pid_t reader = std::atoi(line.c_str());
    ASSERT_GT(reader, 0) << line;
    ASSERT_EQ(::kill(program, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(program, &status, 0), program);
    // A reader still running after a minute has been left behind: a failure.
    pollfd end{ends[0], POLLIN, 0};
    char c = 0;
    const bool ended = ::poll(&end, 1, 60000) == 1 && ::read(ends[0], &c, 1) == 0;
    if (!ended)
        ::kill(reader, SIGKILL);
    EXPECT_TRUE(ended);
    ::close(ends[0]);
}

// Once its file is open the reader runs under a system call filter; the
// real files are still read whole through it (see jet_reader_real_test).
TEST(ReaderLifetime, TheOpenReaderRunsFiltered) {
    TempDir dir;
    const std::string path = dir.path() + "/plain.mdb";
    writeWholeFile(path,
                   builtBytes({JetBuildTable{"T", {{.name = "A"}}, {}, {{std::string("a")}}}}));
    JetReaderOptions options;
    options.readerPath = JET_READER;
    JetReaderClient client(path, options);
    const std::string text =
        readWholeFile("/proc/" + std::to_string(client.readerProcessId()) + "/status");
    EXPECT_NE(text.find("NoNewPrivs:\t1"), std::string::npos) << text;
    EXPECT_NE(text.find("Seccomp:\t2"), std::string::npos) << text;
    EXPECT_EQ(allRows(client, "T").size(), 1u);
}

}  // namespace
}  // namespace malvorn::jet
