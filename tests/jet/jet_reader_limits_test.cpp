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

#include "jet_built_bytes.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using testing::JetBuildTable;
using testing::JetVersion;

constexpr std::size_t kPage = testing::jetPageSize(JetVersion::kJet4);

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapCeiling = false;  // the reader has none under the address sanitizer
#else
constexpr bool kHeapCeiling = true;
#endif

const char* const kWorkLimit = "処理時間が上限を超えました";
const char* const kMemoryLimit = "メモリが上限を超えた";

// The first table's property list, long enough for a chain of long-value
// rows, with its last row pointing back to its second: the library appends
// without end.
std::string runawayPropertyChain() {
    JetBuildTable table{"Chain", {}, {}, {}};
    for (int i = 0; i < 40; ++i)
        table.fields.push_back({.name = "F" + std::to_string(i),
                                .allowZeroLength = true,
                                .defaultValue = "\"" + std::string(120, 'd') + "\""});
    std::string bytes = builtBytes({table});
    const std::size_t list = bytes.find(std::string("MR2\0", 4));
    const std::uint32_t second = u32At(bytes, list - 4);
    if (list == std::string::npos || second == 0)
        throw std::runtime_error("the builder wrote no chained property list");
    std::size_t last = list - 4;
    for (std::uint32_t next = second; next != 0; next = u32At(bytes, last))
        last = rowStart(bytes, next);
    putU32(bytes, last, second);
    return bytes;
}

// The first table's property list with a chunk of length 0 where the file
// holds chunk `chunk` (0 the first, 1 the second): the library walks the
// first without end and allocates without end on the second.
std::string endlessPropertyList(int chunk) {
    JetBuildTable table{"Props",
                        {{.name = "Name", .allowZeroLength = true, .defaultValue = "\"x\""}},
                        {},
                        {{std::string("a")}}};
    std::string bytes = builtBytes({table});
    std::size_t at = bytes.find(std::string("MR2\0", 4)) + 4;
    if (chunk == 1) {
        at += static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                          << 8;
    } else {
        bytes[at + 4] = 0;  // a value chunk before any name chunk
        bytes[at + 5] = 0;
    }
    bytes.replace(at, 4, std::string(4, '\0'));
    return bytes;
}

// A count in the first table's definition (page 3) far beyond what it holds.
std::string hugeCount(std::size_t offset, std::size_t size) {
    JetBuildTable table{"Counts",
                        {{.name = "A"}, {.name = "B"}},
                        {{"PrimaryKey", {"A"}, true}},
                        {{std::string("a"), std::string("b")}}};
    std::string bytes = builtBytes({table});
    for (std::size_t i = 0; i < size; ++i)
        bytes.at(3 * kPage + offset + i) = static_cast<char>(i + 1 == size ? 0x7F : 0xFF);
    return bytes;
}

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
