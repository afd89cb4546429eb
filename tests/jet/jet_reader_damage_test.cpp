// The reader on damaged Jet files made by the test builder: each kind of
// damage ends in an error naming the file, never in rows quietly lost or a
// definition no engine writes; a file that makes the Jet library loop or grow
// ends at the reader's bounds, named; the reader ends with its program and,
// its file open, reaches nothing else; files damaged at random (a fixed seed)
// never crash the program nor outlast those bounds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>

#include "built_files.h"
#include "jet_damage.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using testing::JetBuildTable;
using testing::JetVersion;
using testing::writeJetFile;

using DamagedFiles = BuiltFiles;

INSTANTIATE_TEST_SUITE_P(Ways, DamagedFiles, bothWays(), wayName);

// Reads every row of `table`; the error's message must name the file.
std::optional<std::string> readAll(const Way& way, const std::string& path,
                                   const std::string& table, std::vector<JetRow>& rows) {
    try {
        rows = allRows(*way.open(path), table);
        return std::nullopt;
    } catch (const JetError& e) {
        EXPECT_EQ(e.kind(), JetErrorKind::kDamaged) << e.what();
        EXPECT_THAT(e.what(), HasSubstr(path));
        return std::string(e.what());
    }
}

// The table's data pages moved past the end of the file, as in an engine's
// file cut short (its catalog and maps come first): the start page of the
// usage map of the first table (its definition on page 3) is pushed on.
std::string dataPastTheEnd(std::string bytes, JetVersion version) {
    const std::size_t tdef = 3 * testing::jetPageSize(version);
    EXPECT_EQ(bytes.at(tdef), 0x02);
    const std::size_t record =
        rowStart(bytes, u32At(bytes, tdef + (version != JetVersion::kJet3 ? 55 : 35)), version);
    putU32(bytes, record + 1, u32At(bytes, record + 1) + 10000);
    return bytes;
}

// Cut at every page and inside one, or with the rows' pages past the end:
// the whole table or an error, never fewer rows with success.
TEST_P(DamagedFiles, AFileCutShortGivesEveryRowOrAnErrorNamingIt) {
    JetBuildTable table{"Cut", {{.name = "ID", .type = 4}, {.name = "Body", .type = 12}}, {}, {}};
    for (std::int64_t i = 0; i < 512; ++i)
        table.rows.push_back({i, std::string(i % 100 == 0 ? 6000 : 30, 'm')});
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3, JetVersion::kAce12}) {
        const std::size_t page = testing::jetPageSize(version);
        const std::string whole = dir_.path() + "/whole.mdb";
        writeJetFile(whole, {table}, version);
        const std::string bytes = readWholeFile(whole);
        std::vector<JetRow> expected;
        ASSERT_FALSE(readAll(GetParam(), whole, "Cut", expected));
        ASSERT_EQ(expected.size(), 512u);
        std::vector<std::string> damaged{dataPastTheEnd(bytes, version)};
        for (std::size_t keep = 3 * page; keep < bytes.size(); keep += page) {
            damaged.push_back(bytes.substr(0, keep));
            damaged.push_back(bytes.substr(0, keep + page / 2));
        }
        const std::string path = dir_.path() + "/cut.mdb";
        for (std::size_t i = 0; i < damaged.size(); ++i) {
            SCOPED_TRACE(i);
            writeWholeFile(path, damaged[i]);
            std::vector<JetRow> rows;
            const auto error = readAll(GetParam(), path, "Cut", rows);
            if (!error) {
                EXPECT_EQ(rows.size(), expected.size());
                EXPECT_TRUE(rows == expected);
            }
            if (i == 0) {
                ASSERT_TRUE(error.has_value());
                EXPECT_THAT(*error, HasSubstr("がファイルの終わりより後にあります"));
            }
        }
    }
}

// Names and keys no engine writes: the table cannot be read, the others can,
// and the message names the table and the column or index (each shape and
// its message: jet_decode_test). Through the reader, as the program reads
// such files: the Jet library leaks while it reads some of them.
TEST(DamagedDefinitions, ABadNameOrARepeatedKeyIsAnError) {
    JetBuildTable badName{"BadName", {{.name = "ID"}, {.name = "Na\nme"}}, {}, {}};
    JetBuildTable badKey{
        "BadKey", {{.name = "ID"}, {.name = "Name"}}, {{"PrimaryKey", {"ID", "ID"}, true}}, {}};
    badName.allowBadNames = badKey.allowBadNames = true;
    const TempDir dir;
    const std::string path = dir.path() + "/names.mdb";
    writeJetFile(
        path, {{"Sound", {{.name = "ID", .type = 4}}, {}, {{std::int64_t{1}}}}, badName, badKey});
    const auto source = throughReader(path);
    EXPECT_EQ(source->readTable("Sound").fields.size(), 1u);
    expectJetError([&] { source->readTable("BadName"); }, JetErrorKind::kDamaged,
                   {path, "テーブル BadName の定義: 列 2 の名前に制御文字"});
    expectJetError([&] { source->readTable("BadKey"); }, JetErrorKind::kDamaged,
                   {path, "テーブル BadKey の定義: インデックス PrimaryKey が同じ列を二度"});
    // The rows need the column names too; the key only the definition.
    EXPECT_THROW(source->openRows("BadName"), JetError);
    EXPECT_NO_THROW(source->openRows("BadKey"));
}

// A property blob the library cannot read is not "no properties": that
// would make every text column required. Each blob in turn loses its mark;
// the table then reads as built or fails naming its properties, and its rows
// still come.
TEST_P(DamagedFiles, AnUnreadablePropertyBlobIsAnErrorNotMissingProperties) {
    const JetBuildTable table{"Props",
                              {{.name = "Code", .type = 10, .size = 8, .allowZeroLength = true},
                               {.name = "Qty", .type = 4, .defaultValue = "1"}},
                              {},
                              {{std::string("a"), std::int64_t{2}}}};
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3}) {
        const std::string path = dir_.path() + "/props.mdb";
        writeJetFile(path, {table}, version);
        const std::string bytes = readWholeFile(path);
        const model::JetTableDef whole = GetParam().open(path)->readTable("Props");
        ASSERT_TRUE(whole.fields.at(0).allowZeroLength);
        const std::string magic(version == JetVersion::kJet4 ? "MR2" : "KKD", 4);
        int refused = 0;
        for (std::size_t at = bytes.find(magic); at != std::string::npos;
             at = bytes.find(magic, at + 1)) {
            SCOPED_TRACE(at);
            std::string damaged = bytes;
            damaged[at] = 'X';
            writeWholeFile(path, damaged);
            const auto source = GetParam().open(path);
            try {
                const model::JetTableDef read = source->readTable("Props");
                EXPECT_TRUE(read.fields.at(0).allowZeroLength);
                EXPECT_EQ(read.fields.at(1).defaultValue, "1");
            } catch (const JetError& e) {
                ++refused;
                EXPECT_THAT(e.what(), HasSubstr("テーブル Props のプロパティ"));
            }
            EXPECT_EQ(allRows(*source, "Props").size(), 1u);
        }
        EXPECT_EQ(refused, 1);
    }
}

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
        EXPECT_THAT(message, HasSubstr(path));
        EXPECT_THAT(message, HasSubstr(c.message));
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
    EXPECT_THAT(text, HasSubstr("NoNewPrivs:\t1"));
    EXPECT_THAT(text, HasSubstr("Seccomp:\t2"));
    EXPECT_EQ(allRows(client, "T").size(), 1u);
}

// The rules a definition must keep to be given to the program.
void expectSane(const model::JetTableDef& table) {
    std::set<std::string> seen;
    for (const auto& field : table.fields) {
        EXPECT_FALSE(field.name.empty());
        EXPECT_TRUE(std::none_of(field.name.begin(), field.name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20;
        })) << field.name;
        std::string folded = field.name;
        std::transform(folded.begin(), folded.end(), folded.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_TRUE(seen.insert(folded).second) << "repeated " << field.name;
    }
    if (table.firstIndex) {
        const auto& keys = table.firstIndex->fieldNames;
        EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size());
    }
}

// Reads every table; returns how many readings ended in an error.
int readThrough(const std::string& path) {
    int errors = 0;
    auto check = [&](const JetError& e) {
        ++errors;
        const std::string message = e.what();
        EXPECT_THAT(message, HasSubstr(path));
        EXPECT_THAT(message, Not(HasSubstr("応答しないため")));
    };
    try {
        JetReaderClient client(path, JetReaderOptions{.readerPath = JET_READER});
        for (const auto& name : client.tableNames()) {
            try {
                expectSane(client.readTable(name));
                allRows(client, name);
            } catch (const JetError& e) {
                check(e);
                if (e.kind() == JetErrorKind::kReaderFailed)
                    break;
            }
        }
    } catch (const JetError& e) {
        check(e);
    }
    return errors;
}

// 150 damaged files of each version; MALVORN_READER_FUZZ_FILES sets another
// count (scripts/test.sh runs fewer under the sanitizers).
int filesPerVersion() {
    const char* text = std::getenv("MALVORN_READER_FUZZ_FILES");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 150;
}

TEST(ReaderFuzz, RandomlyDamagedFilesEndInRowsOrAClearError) {
    TempDir dir;
    std::mt19937 random(20240611);
    int errors = 0;
    int files = 0;
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3, JetVersion::kAce12}) {
        const std::string original = fuzzSourceFile(version);
        const std::size_t page = testing::jetPageSize(version);
        for (int i = 0; i < filesPerVersion(); ++i, ++files) {
            const std::string path = dir.path() + "/fuzz" + std::to_string(files) + ".mdb";
            writeWholeFile(path, randomDamage(original, page, random));
            errors += readThrough(path);
            std::remove(path.c_str());
            if (HasFailure()) {
                ADD_FAILURE() << "file " << files << " (seed 20240611)";
                return;
            }
        }
    }
    // The damage is real: a good part of the files cannot be read.
    EXPECT_GT(errors, files / 4);
}

}  // namespace
}  // namespace malvorn::jet
