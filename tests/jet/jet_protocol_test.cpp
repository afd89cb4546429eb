#include "jet/jet_protocol.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <limits>

namespace malvorn::jet::protocol {
namespace {

TEST(Frames, EncodedFramesComeBackWholeAndInOrder) {
    const Frame frames[] = {{MessageType::kOk, ""},
                            {MessageType::kOpen, "/data/顧客.mdb"},
                            {MessageType::kRowBatch, std::string(100000, 'x')},
                            {MessageType::kError, std::string("\0\1\2", 3)}};
    std::string stream;
    for (const auto& frame : frames)
        stream += encodeFrame(frame);

    // Fed a byte at a time, a frame appears exactly when its last byte is in.
    std::string buffer;
    std::vector<Frame> received;
    for (const char byte : stream) {
        buffer += byte;
        while (auto frame = takeFrame(buffer))
            received.push_back(*frame);
    }
    const auto flat = [](const auto& list) {
        std::vector<std::pair<MessageType, std::string>> out;
        for (const Frame& f : list)
            out.emplace_back(f.type, f.payload);
        return out;
    };
    EXPECT_EQ(flat(received), flat(frames));
    EXPECT_TRUE(buffer.empty());
}

TEST(Frames, LengthsOutOfBoundsAreRefused) {
    const std::string bad[] = {std::string("\0\0\0\0", 4), std::string("\xff\xff\xff\xff", 4),
                               std::string("\x01\x00\x00\x40", 4)};
    for (std::string buffer : bad)
        EXPECT_THROW(takeFrame(buffer), ProtocolError);
    std::string partial("\x05\x00\x00", 3);
    EXPECT_FALSE(takeFrame(partial).has_value());
}

// Every kind crosses the reader process in the built-file tests; here, the
// values no Jet column holds: integers beyond 2^53 and the extreme doubles.
TEST(Payload, ValuesBeyondWhatJetFilesHoldRoundTrip) {
    const JetValue values[] = {JetValue(), std::int64_t{-9007199254740993}, -0.0,
                               std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::denorm_min()};
    PayloadWriter out;
    for (const auto& value : values)
        writeValue(out, value);
    const std::string bytes = out.take();
    PayloadReader in(bytes);
    for (const auto& value : values) {
        const JetValue back = readValue(in);
        EXPECT_EQ(back.index(), value.index());
        EXPECT_EQ(back, value);
        if (const double* number = std::get_if<double>(&value)) {
            EXPECT_EQ(std::signbit(std::get<double>(back)), std::signbit(*number));
        }
    }
    EXPECT_TRUE(in.atEnd());
}

// What is cut short, runs on past its end or carries an unknown tag is refused.
TEST(Payload, ShortTrailingOrUnknownContentIsRefused) {
    model::JetTableDef table{"受注",
                             {{"ＣＯＤＥ１", model::kJetText, 50, true, "\"x\"", 0, 0}},
                             model::JetIndexDef{"PrimaryKey", {"ＣＯＤＥ１"}}};
    const std::string def = encodeTableDef(table);
    ASSERT_EQ(decodeTableDef(def).firstIndex->fieldNames, table.firstIndex->fieldNames);
    const std::string error = encodeError(JetErrorKind::kNoSuchTable, "テーブルがありません");
    ASSERT_EQ(decodeError(error).kind(), JetErrorKind::kNoSuchTable);
    const std::string shortText = PayloadWriter().u32(10).take() + "abc", tag("\x63", 1);
    const std::tuple<const char*, std::function<void()>> cases[] = {
        {"definition with a trailing byte", [&] { decodeTableDef(def + "x"); }},
        {"definition cut short", [&] { decodeTableDef(def.substr(0, def.size() - 3)); }},
        {"error of unknown kind", [&] { decodeError(std::string(error).replace(0, 1, "\x09")); }},
        {"error cut short", [&] { decodeError(error.substr(0, error.size() - 1)); }},
        {"text longer than the payload", [&] { PayloadReader(shortText).text(); }},
        {"unknown value tag",
         [&] {
             PayloadReader in(tag);
             readValue(in);
         }},
        {"nothing left", [] { PayloadReader(std::string()).u8(); }},
    };
    for (const auto& [what, read] : cases)
        EXPECT_THROW(read(), ProtocolError) << what;
}

class SocketPair {
  public:
    SocketPair() {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) != 0)
            throw std::runtime_error("socketpair");
    }
    ~SocketPair() {
        closeEnd(0);
        closeEnd(1);
    }
    int end(int i) const { return fds_[i]; }
    void closeEnd(int i) {
        if (fds_[i] >= 0)
            ::close(fds_[i]);
        fds_[i] = -1;
    }

  private:
    int fds_[2];
};

// Frames crossing whole are seen in every test through the reader process;
// here, what a live reader does not do.
TEST(Channel, SilenceHalfFramesAndAClosedPeerAreErrors) {
    SocketPair quiet;
    FrameChannel receiver(quiet.end(1));
    EXPECT_THROW(receiver.receive(std::chrono::milliseconds(50)), TimeoutError);
    const std::string half = encodeFrame(Frame{MessageType::kOk, "abcdef"}).substr(0, 6);
    ASSERT_EQ(::write(quiet.end(0), half.data(), half.size()), static_cast<ssize_t>(half.size()));
    quiet.closeEnd(0);
    EXPECT_THROW(receiver.receive(), ProtocolError);

    SocketPair closed;
    FrameChannel sender(closed.end(0));
    closed.closeEnd(1);
    // An error, not a signal that ends the program.
    EXPECT_THROW(sender.send(Frame{MessageType::kOk, std::string(1 << 20, 'x')}), ProtocolError);
}

}  // namespace
}  // namespace malvorn::jet::protocol
