// The reader walks a table's rows itself, splitting each once, where the Jet
// library's fetch would split it twice: both walks must give the same rows,
// split the same way, passing over the same slots.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "jet/mdb_database.h"
#include "jet/split_rows.h"
#include "jet_built_bytes.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using testing::JetBuildTable;
using testing::JetBuildValue;
using testing::JetVersion;

// Every table of the file (the engine's own included), walked both ways.
void expectSameWalks(const std::string& path) {
    for (const std::string& table : openJetFileHere(path)->tableNames()) {
        SCOPED_TRACE(path + " " + table);
        EXPECT_EQ(splitRowsOf(path, table, false), splitRowsOf(path, table, true));
    }
}

JetBuildTable manyPagesTable() {
    JetBuildTable table{"Walk",
                        {{.name = "ID", .type = 4},
                         {.name = "Name", .type = 10, .size = 40},
                         {.name = "Note", .type = 10, .size = 100},
                         {.name = "Amount", .type = 4}},
                        {},
                        {}};
    for (std::int64_t i = 0; i < 1500; ++i) {
        JetBuildValue name =
            i % 7 == 0 ? JetBuildValue() : JetBuildValue("名前" + std::to_string(i));
        table.rows.push_back({i, name, std::string(static_cast<std::size_t>(i % 90), 'n'), i * 3});
    }
    return table;
}

// Where each data page of the first table starts in the file.
std::vector<std::size_t> dataPagesOf(const std::string& bytes, JetVersion version) {
    const std::size_t page = testing::jetPageSize(version);
    constexpr char kDataPage = 0x01;
    std::vector<std::size_t> pages;
    for (std::size_t at = page; at + page <= bytes.size(); at += page) {
        if (bytes[at] == kDataPage && u32At(bytes, at + 4) == testing::jetCatalogId(0))
            pages.push_back(at);
    }
    return pages;
}

// Marks every third row of each data page of the first table deleted, as
// the engine does when a row is removed; returns how many were marked.
int deleteEveryThirdRow(std::string& bytes, JetVersion version) {
    int marked = 0;
    for (const std::size_t at : dataPagesOf(bytes, version)) {
        const std::size_t countAt = at + (version == JetVersion::kJet3 ? 8 : 12);
        const std::uint32_t rows = u32At(bytes, countAt) & 0xFFFF;
        for (std::uint32_t row = 0; row < rows; row += 3) {
            char& flags = bytes[countAt + 3 + 2 * std::size_t{row}];
            flags = static_cast<char>(flags | 0x40);
            ++marked;
        }
    }
    return marked;
}

TEST(SplitRows, BuiltFilesOfEveryVersionWalkTheSame) {
    const TempDir dir;
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3, JetVersion::kAce12}) {
        const std::string path = dir.path() + "/walk" + std::to_string(static_cast<int>(version));
        testing::writeJetFile(path, {manyPagesTable()}, version);
        ASSERT_EQ(splitRowsOf(path, "Walk", false).size(), 1500u);
        expectSameWalks(path);

        std::string bytes = readWholeFile(path);
        const int deleted = deleteEveryThirdRow(bytes, version);
        ASSERT_GT(deleted, 0);
        const std::string withDeleted = path + "-deleted";
        writeWholeFile(withDeleted, bytes);
        const auto walked = splitRowsOf(withDeleted, "Walk", false);
        EXPECT_EQ(walked, splitRowsOf(withDeleted, "Walk", true));
        EXPECT_EQ(walked.size(), 1500u - static_cast<std::size_t>(deleted));
    }
}

// Rows whose bytes are damaged at random (their column counts, null masks
// and offsets of variable columns among them) split as the library splits
// them, or are passed over as it passes them. The pages' own heads stay
// whole: they lead the walk, which is the library's either way.
TEST(SplitRows, DamagedRowsSplitAsTheLibrarySplitsThem) {
    const TempDir dir;
    std::mt19937 random(29);
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kAce12, JetVersion::kJet3}) {
        const std::string path = dir.path() + "/damaged" + std::to_string(int(version));
        testing::writeJetFile(path, {manyPagesTable()}, version);
        const std::string whole = readWholeFile(path);
        const std::vector<std::size_t> pages = dataPagesOf(whole, version);
        ASSERT_FALSE(pages.empty());
        const std::size_t pageSize = testing::jetPageSize(version);
        int rowsPassedOver = 0;
        for (int round = 0; round < 60; ++round) {
            std::string bytes = whole;
            for (int hit = 0; hit < 40; ++hit) {
                const std::size_t page = pages[random() % pages.size()];
                // Past the head and the row offsets: rows fill the page from its end.
                const std::size_t at = page + pageSize / 2 + random() % (pageSize / 2);
                bytes[at] = static_cast<char>(random());
            }
            writeWholeFile(path, bytes);
            const auto walked = splitRowsOf(path, "Walk", false);
            ASSERT_EQ(walked, splitRowsOf(path, "Walk", true)) << "round " << round;
            rowsPassedOver += 1500 - static_cast<int>(walked.size());
        }
        // The damage reached the splits' own checks, not only the values.
        EXPECT_GT(rowsPassedOver, 0) << static_cast<int>(version);
    }
}

TEST(SplitRows, EngineWrittenFilesWalkTheSame) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    for (const auto& entry : std::filesystem::directory_iterator(MALVORN_REAL_FIXTURES)) {
        const auto extension = entry.path().extension();
        if (extension == ".mdb" || extension == ".accdb")
            expectSameWalks(entry.path().string());
    }
}

}  // namespace
}  // namespace malvorn::jet
