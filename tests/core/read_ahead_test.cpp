// The chunks a copy reads ahead: taken in the order filled, none filled
// again while the caller holds it nor more than one ahead of it, none after
// the last, and the reading given up early without waiting for more.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "core/read_ahead.h"

namespace malvorn::core {
namespace {

struct Numbered {
    int number = 0;  // the fill that made it, from 1
    bool last = false;
};

// What the filling thread saw; checked on the test's thread.
struct FillLog {
    std::atomic<int> started{0};
    std::atomic<int> takesBegun{0};
    std::atomic<const Numbered*> held{nullptr};
    std::atomic<int> mostAhead{0};     // fills started beyond the takes begun
    std::atomic<int> refilledHeld{0};  // fills of the chunk the caller held
};

void takeChunks(int lastAt, int taken, FillLog& log, std::vector<int>& numbers) {
    ReadAhead<Numbered> ahead([&](Numbered& chunk) {
        const int number = ++log.started;
        const int beyond = number - std::max(log.takesBegun.load(), 1);
        log.mostAhead = std::max(log.mostAhead.load(), beyond);
        if (&chunk == log.held.load())
            ++log.refilledHeld;
        chunk.number = number;
        chunk.last = number == lastAt;
    });
    for (int i = 0; i < taken; ++i) {
        log.held = nullptr;
        ++log.takesBegun;
        const Numbered& chunk = ahead.take();
        log.held = &chunk;
        numbers.push_back(chunk.number);
        if (chunk.last)
            break;
    }
}

TEST(ReadAhead, ChunksComeInOrderOneAheadAndNoneAfterTheLast) {
    struct Case {
        const char* name;
        int lastAt;  // the fill that says it is the last (0: none)
        int taken;   // chunks the caller takes before it gives up
    };
    const Case cases[] = {
        {.name = "to the end", .lastAt = 50, .taken = 1000},
        {.name = "the first is the last", .lastAt = 1, .taken = 1000},
        {.name = "the second is the last", .lastAt = 2, .taken = 1000},
        {.name = "left after three", .lastAt = 0, .taken = 3},
        {.name = "left after one", .lastAt = 0, .taken = 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FillLog log;
        std::vector<int> numbers;
        takeChunks(c.lastAt, c.taken, log, numbers);
        const int expected = c.lastAt > 0 ? c.lastAt : c.taken;
        ASSERT_EQ(numbers.size(), static_cast<std::size_t>(expected));
        for (int i = 0; i < expected; ++i)
            EXPECT_EQ(numbers[static_cast<std::size_t>(i)], i + 1);
        EXPECT_EQ(log.refilledHeld.load(), 0);
        // Two chunks: the one held and one filled ahead of it.
        EXPECT_LE(log.mostAhead.load(), 1);
        if (c.lastAt > 0) {
            EXPECT_EQ(log.started.load(), c.lastAt);
        } else {
            // Given up early: at most one chunk was read past those taken,
            // and the destructor did not wait for more.
            EXPECT_LE(log.started.load(), c.taken + 1);
        }
    }
}

}  // namespace
}  // namespace malvorn::core
