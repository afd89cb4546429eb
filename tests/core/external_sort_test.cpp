// The bounded sort: records come out in key order with equal keys in the
// order added, whether held in memory, spilled or merged in passes; its
// spill folder is gone once the sort is, however far it was read.
#include "core/external_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/temp_dir.h"

namespace malvorn::core {
namespace {

// Keys with many repeats, bytes above 0x7F and NULs, in a scattered order;
// the payload records the order added.
std::vector<SortRecord> scattered(int count) {
    std::vector<SortRecord> records;
    for (int i = 0; i < count; ++i) {
        const int k = (i * 7919) % 257;
        std::string key = {static_cast<char>(k), static_cast<char>(k % 3 == 0 ? 0 : 0xF0)};
        if (k % 5 == 0)
            key.pop_back();
        records.push_back({key, "added " + std::to_string(i)});
    }
    return records;
}

TEST(ExternalSort, RecordsComeOutInKeyOrderEqualKeysAsAdded) {
    struct Case {
        const char* name;
        int records;
        std::size_t budget;
        std::size_t minRuns;
        std::size_t maxRuns;
    };
    const Case cases[] = {
        {"nothing", 0, 1024, 0, 0},
        {"held in memory", 3000, std::size_t{1} << 30, 0, 0},
        {"a few runs", 3000, 64 * 1024, 2, 32},
        {"more runs than merged at once", 3000, 2 * 1024, 33, 3000},
        {"a run a record", 100, 1, 100, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir parent;
        const std::vector<SortRecord> input = scattered(c.records);
        std::vector<SortRecord> expected = input;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const SortRecord& a, const SortRecord& b) { return a.key < b.key; });
        std::vector<SortRecord> output;
        {
            ExternalSort sort(c.budget, parent.path());
            for (const auto& record : input)
                sort.add(record);
            for (SortRecord record; sort.next(record);)
                output.push_back(record);
            SortRecord after;
            EXPECT_FALSE(sort.next(after));
            EXPECT_GE(sort.spilledRuns(), c.minRuns);
            EXPECT_LE(sort.spilledRuns(), c.maxRuns);
        }
        ASSERT_EQ(output.size(), expected.size());
        for (std::size_t i = 0; i < output.size(); ++i) {
            EXPECT_EQ(output[i].key, expected[i].key) << i;
            EXPECT_EQ(output[i].payload, expected[i].payload) << i;
        }
        EXPECT_TRUE(std::filesystem::is_empty(parent.path()));
    }
}

TEST(ExternalSort, SpillFilesGoWhenTheSortIsLeftEarly) {
    struct Case {
        const char* name;
        int read;  // records read before the sort is destroyed; -1: next() never called
    };
    for (const Case& c :
         {Case{"while adding", -1}, Case{"before the first record", 0}, Case{"half read", 500}}) {
        SCOPED_TRACE(c.name);
        TempDir parent;
        {
            ExternalSort sort(4096, parent.path());
            for (const auto& record : scattered(1000))
                sort.add(record);
            ASSERT_GT(sort.spilledRuns(), 0u);
            ASSERT_TRUE(std::filesystem::is_directory(sort.spillFolder()));
            SortRecord record;
            for (int i = 0; i < c.read; ++i)
                ASSERT_TRUE(sort.next(record));
        }
        EXPECT_TRUE(std::filesystem::is_empty(parent.path()));
    }
}

TEST(ExternalSort, AFolderThatCannotBeMadeIsAnError) {
    TempDir parent;
    ExternalSort sort(1, parent.path() + "/missing/deeper");
    EXPECT_THROW(sort.add({"k", "v"}), std::runtime_error);
}

}  // namespace
}  // namespace malvorn::core
