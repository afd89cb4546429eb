// The reader walks a table's rows itself, splitting each once, where the Jet
// library's fetch would split it twice: both walks must give the same rows,
// split the same way, passing over the same slots.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/mdb_database.h"
#include "jet/split_rows.h"
#include "jet_builder/jet_builder.h"
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

// Marks every third row of each data page of the first table deleted, as
// the engine does when a row is removed; returns how many were marked.
int deleteEveryThirdRow(std::string& bytes, JetVersion version) {
    const std::size_t page = testing::jetPageSize(version);
    const std::size_t rowCountAt = version == JetVersion::kJet3 ? 8 : 12;
    constexpr char kDataPage = 0x01;
    int marked = 0;
    for (std::size_t at = page; at + page <= bytes.size(); at += page) {
        const auto byteAt = [&](std::size_t offset) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + offset]));
        };
        const std::uint32_t owner =
            byteAt(4) | (byteAt(5) << 8) | (byteAt(6) << 16) | (byteAt(7) << 24);
        if (bytes[at] != kDataPage || owner != testing::jetCatalogId(0))
            continue;
        const std::uint32_t rows = byteAt(rowCountAt) | (byteAt(rowCountAt + 1) << 8);
        for (std::uint32_t row = 0; row < rows; row += 3) {
            char& flags = bytes[at + rowCountAt + 3 + 2 * std::size_t{row}];
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
