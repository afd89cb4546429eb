// The row protocol's quick paths: values decoded into the slots of the rows
// before (keeping their memory), and long frames sent after their head.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "jet/jet_protocol.h"

namespace malvorn::jet::protocol {
namespace {

const std::string kLong(100, 'x');  // longer than a string holds in place

// Every kind of value, long texts among them.
std::vector<JetValue> everyKind() {
    return {JetValue(),
            true,
            std::int64_t{-7},
            1.5f,
            -2.25,
            JetCurrency{123456},
            JetDate{36925.5},
            "得意先" + kLong,
            JetBinary{std::string("\0\xFF", 2) + kLong},
            JetGuid{"{A-B}"},
            JetDecimal{"-12.3400"},
            JetTimestamp{"2026-12-07 18:00:00.1234567"},
            std::string()};
}

std::string encoded(const std::vector<JetValue>& values) {
    PayloadWriter out;
    for (const auto& value : values)
        writeValue(out, value);
    return out.take();
}

TEST(RowProtocol, ASlotTakesEachNewValueWhateverItHeldBefore) {
    const auto kinds = everyKind();
    // Each slot goes from every kind to every other (and to itself): the
    // value read into it must be the one read fresh.
    for (std::size_t shift = 0; shift < kinds.size(); ++shift) {
        std::vector<JetValue> next(kinds.size());
        for (std::size_t i = 0; i < kinds.size(); ++i)
            next[i] = kinds[(i + shift) % kinds.size()];
        std::vector<JetValue> slots = kinds;
        const std::string bytes = encoded(next);
        PayloadReader in(bytes);
        for (auto& slot : slots)
            readValue(in, slot);
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(slots, next) << "shift " << shift;
    }
}

TEST(RowProtocol, AShorterTextInALongOneLeavesNothingBehind) {
    struct Case {
        const char* name;
        JetValue before;
        JetValue after;
    };
    const Case cases[] = {
        {"text", JetValue(kLong), JetValue(std::string("ab"))},
        {"binary", JetBinary{kLong}, JetBinary{std::string("\0", 1)}},
        {"empty text", JetValue(kLong), JetValue(std::string())},
        {"decimal", JetDecimal{"1" + kLong}, JetDecimal{"2"}},
    };
    for (const auto& c : cases) {
        JetValue slot = c.before;
        const std::string bytes = encoded({c.after});
        PayloadReader in(bytes);
        readValue(in, slot);
        EXPECT_EQ(slot, c.after) << c.name;
    }
}

// Frames around the size where the head goes out on its own, through a
// socket and a pipe (which send() refuses), read back whole and in order.
TEST(RowProtocol, FramesOfEverySizeCrossSocketsAndPipes) {
    const std::size_t sizes[] = {0, 1, 64 * 1024 - 2, 64 * 1024 - 1, 64 * 1024, 1 << 20};
    for (const bool socket : {true, false}) {
        int ends[2];
        ASSERT_EQ(socket ? ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) : ::pipe(ends), 0);
        const int readEnd = socket ? ends[1] : ends[0];
        const int writeEnd = socket ? ends[0] : ends[1];
        std::thread sender([&] {
            FrameChannel out(writeEnd);
            for (const std::size_t size : sizes)
                out.send(Frame{MessageType::kRowBatch, std::string(size, static_cast<char>(size))});
            ::close(writeEnd);
        });
        FrameChannel in(readEnd);
        for (const std::size_t size : sizes) {
            const auto frame = in.receive();
            ASSERT_TRUE(frame.has_value()) << size;
            EXPECT_EQ(frame->type, MessageType::kRowBatch);
            EXPECT_TRUE(frame->payload == std::string(size, static_cast<char>(size))) << size;
        }
        EXPECT_FALSE(in.receive().has_value());
        sender.join();
        ::close(readEnd);
    }
}

}  // namespace
}  // namespace malvorn::jet::protocol
