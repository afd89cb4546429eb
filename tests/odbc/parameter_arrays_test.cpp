#include "odbc/parameter_arrays.h"

#include <gtest/gtest.h>

namespace malvorn::odbc {
namespace {

// Each run ends where its buffers would pass the budget: a long value
// shortens the run it falls in, and no run is ever empty.
TEST(ParameterArrays, RunsKeepWithinTheBudget) {
    const auto rowOf = [](std::size_t bytes) {
        return oracle::BoundRow{std::string(bytes, 'x'), oracle::BoundNumber{"1"}};
    };
    constexpr std::size_t kSlot = sizeof(SQL_TIMESTAMP_STRUCT);  // counted for every value
    const struct {
        std::vector<std::size_t> sizes;
        std::size_t from, limit, budget;
        std::size_t end;
    } cases[] = {
        {{10, 10, 10, 10}, 0, 100, 1 << 20, 4},
        {{10, 10, 10, 10}, 1, 2, 1 << 20, 3},
        {{10, 10, 10, 10}, 0, 100, 2 * (10 + 1 + 2 * kSlot), 2},
        {{10, 1000, 10}, 0, 100, 2000, 1},  // the long one widens the first row too
        {{1000}, 0, 100, 10, 1},
        {{10}, 1, 100, 100, 1},
    };
    for (const auto& c : cases) {
        std::vector<oracle::BoundRow> rows;
        for (const std::size_t size : c.sizes)
            rows.push_back(rowOf(size));
        EXPECT_EQ(runEnd(rows, c.from, c.limit, c.budget), c.end) << c.budget;
    }
}

}  // namespace
}  // namespace malvorn::odbc
