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

// Each record held costs its bytes, an 8-byte head and a 4-byte offset: a
// run holds as many as fit the budget, a record larger than it is a run of
// its own, and the records still come out in order.
TEST(ExternalSort, ARunHoldsWhatTheBudgetAllows) {
    struct Case {
        const char* name;
        std::size_t budget;
        std::vector<std::size_t> payloadSizes;  // keys are 2 bytes, descending
        std::size_t runs;
    };
    const std::vector<std::size_t> hundred(100, 90);  // 100 bytes held + 4
    std::vector<std::size_t> bigInMiddle(11, 90);
    bigInMiddle[5] = 5000;
    const Case cases[] = {
        {"ten records fit exactly", 1040, hundred, 10},
        {"a byte less: nine", 1039, hundred, 12},
        {"a record larger than the budget", 1040, bigInMiddle, 3},
        {"empty payloads", 14 * 3, std::vector<std::size_t>(9, 0), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir parent;
        std::vector<SortRecord> input;
        for (std::size_t i = 0; i < c.payloadSizes.size(); ++i) {
            const auto rank = static_cast<int>(c.payloadSizes.size() - i);
            input.push_back({{static_cast<char>(rank >> 8), static_cast<char>(rank)},
                             std::string(c.payloadSizes[i], static_cast<char>('a' + i % 26))});
        }
        ExternalSort sort(c.budget, parent.path());
        for (const auto& record : input)
            sort.add(record);
        std::vector<SortRecord> output;
        for (SortRecord record; sort.next(record);)
            output.push_back(record);
        EXPECT_EQ(sort.spilledRuns(), c.runs);
        ASSERT_EQ(output.size(), input.size());
        for (std::size_t i = 0; i < output.size(); ++i) {
            EXPECT_EQ(output[i].key, input[input.size() - 1 - i].key) << i;
            EXPECT_EQ(output[i].payload, input[input.size() - 1 - i].payload) << i;
        }
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
