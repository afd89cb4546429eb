// The read-back's forms of a value: exact decimals, sort keys that order as
// the server's ORDER BY does, and the row checksum as a multiset. The bounded
// sort the read-back orders the file's rows with: records come out in key
// order with equal keys in the order added, whether held in memory, spilled
// or merged in passes; its spill folder is gone once the sort is, however far
// it was read.
#include "core/verify_values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/external_sort.h"
#include "support/temp_dir.h"

namespace malvorn::core {
namespace {

using Text = std::optional<std::string>;

TEST(VerifyValues, ExactDecimalWritesTheExponentOut) {
    struct Case {
        const char* text;
        Text exact;
    };
    const Case cases[] = {{"0", "0"},
                          {"-0.000", "0"},
                          {"+12.50", "12.5"},
                          {"007", "7"},
                          {".25", "0.25"},
                          {"-.5", "-0.5"},
                          {"1.5E-3", "0.0015"},
                          {"-1e-07", "-0.0000001"},
                          {"12e2", "1200"},
                          {"1.2345e2", "123.45"},
                          {"9.99E+20", "999000000000000000000"},
                          {"1e", std::nullopt},
                          {"abc", std::nullopt},
                          {"1.2.3", std::nullopt},
                          {"", std::nullopt},
                          {"1e99999", std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(exactDecimal(c.text), c.exact) << c.text;
}

std::string key(ValueKind kind, const std::vector<Text>& parts) {
    std::string bytes;
    for (const auto& part : parts)
        appendKeyPart(bytes, kind, part);
    return bytes;
}

TEST(VerifyValues, KeysOrderAsTheServerSorts) {
    struct Case {
        const char* name;
        ValueKind kind;
        // Ascending as the server sorts them; neighbours in one inner list are
        // equal.
        std::vector<std::vector<std::vector<Text>>> ascending;
    };
    const Case cases[] = {
        {"numbers by value",
         ValueKind::kNumber,
         {{{"-1000"}},
          {{"-999.99"}},
          {{"-2"}, {"-2.000"}, {"-20E-1"}},
          {{"-1.5"}},
          {{"-1.25"}},
          {{"-0.0015"}, {"-1.5e-3"}},
          {{"0"}, {"-0"}, {"0.00"}},
          {{"0.001"}},
          {{"0.01"}},
          {{"0.1"}},
          {{"1"}, {"1.0"}},
          {{"1.05"}},
          {{"1.5"}},
          {{"2"}},
          {{"10"}},
          {{"99"}},
          {{"100"}, {"1e2"}},
          {{"123456789012345678901234567890"}},
          {{std::nullopt}}}},
        {"texts by their bytes, Null last",
         ValueKind::kText,
         {{{"A"}},
          {{"B"}},
          {{"a"}},
          {{std::string("a\0", 2)}},
          {{std::string("a\0b", 3)}},
          {{"ab"}},
          {{"b"}},
          {{"\xC3\xA9"}},
          {{"\xE6\x97\xA5"}},
          {{std::nullopt}}}},
        {"dates as their text",
         ValueKind::kDate,
         {{{"1899-12-30 00:00:00"}}, {{"1999-12-31 23:59:59"}}, {{"2000-01-01 00:00:00"}}}},
        {"two columns: the first decides, then the second",
         ValueKind::kNumber,
         {{{"1", "10"}},
          {{"1", "100"}},
          {{"1", std::nullopt}},
          {{"2", "-5"}},
          {{"10", "0"}},
          {{std::nullopt, "0"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t i = 0; i < c.ascending.size(); ++i) {
            const std::string first = key(c.kind, c.ascending[i][0]);
            for (const auto& same : c.ascending[i])
                EXPECT_EQ(key(c.kind, same), first) << i;
            for (std::size_t j = i + 1; j < c.ascending.size(); ++j)
                EXPECT_LT(first, key(c.kind, c.ascending[j][0])) << i << " before " << j;
        }
    }
}

TEST(VerifyValues, ChecksumFormsMeetFromEitherSide) {
    struct Case {
        const char* name;
        ValueKind kind;
        Text jet;
        Text server;
    };
    const Case cases[] = {
        {"number in exponent form", ValueKind::kNumber, "-1e-07", "-.0000001"},
        {"number with trailing zeros", ValueKind::kNumber, "12.5", "12.50"},
        {"bytes the driver gives as hexadecimal", ValueKind::kBytes, std::string("\x0A\xFF", 2),
         "0aff"},
        {"bytes the driver gives as bytes", ValueKind::kBytes, std::string("\x01\x02", 2),
         std::string("\x01\x02", 2)},
        {"Null", ValueKind::kText, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checksumForm(c.kind, c.jet, false), checksumForm(c.kind, c.server, true))
            << c.name;
    EXPECT_NE(checksumForm(ValueKind::kNumber, "1.5", false),
              checksumForm(ValueKind::kNumber, "1.50000000000000000000001", true));
}

RowChecksum sumOf(const std::vector<std::vector<Text>>& rows) {
    RowChecksum sum;
    for (const auto& row : rows)
        sum.add(row);
    return sum;
}

TEST(VerifyValues, ChecksumIsAMultisetOfWholeRows) {
    const std::vector<Text> a = {"1", "a"};
    const std::vector<Text> b = {"2", "b"};
    struct Case {
        const char* name;
        std::vector<std::vector<Text>> left;
        std::vector<std::vector<Text>> right;
        bool same;
    };
    const Case cases[] = {
        {"order does not count", {a, b, a}, {a, a, b}, true},
        {"a duplicate counts twice", {a, a, b}, {a, b, b}, false},
        {"a row twice is not the row once", {a, a}, {a}, false},
        {"two duplicates do not cancel", {a, a}, {}, false},
        {"values do not move between columns", {{"ab", "c"}}, {{"a", "bc"}}, false},
        {"Null is not an empty text", {{std::nullopt, "x"}}, {{"", "x"}}, false},
        {"Null is not the text NULL", {{std::nullopt}}, {{"NULL"}}, false},
        {"the same rows", {a, b}, {a, b}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sumOf(c.left) == sumOf(c.right), c.same) << c.name;
}

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
        int read;  // records read before the sort is destroyed; -1: next() never
                   // called
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
