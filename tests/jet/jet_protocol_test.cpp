// Whole frames and every value kind cross the reader process in the built-file
// tests; here, what a live reader does not send, and the row protocol's quick
// paths: values decoded into the slots of the rows before (keeping their
// memory), and long frames sent after their head.
#include "jet/jet_protocol.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <limits>
#include <thread>

#include "jet/query_catalog.h"
#include "jet/schema_protocol.h"

namespace malvorn::jet::protocol {
namespace {

TEST(Frames, LengthsOutOfBoundsAreRefusedAndHalfFramesWait) {
    for (std::string buffer : {std::string("\0\0\0\0", 4), std::string("\xff\xff\xff\xff", 4),
                               std::string("\x01\x00\x00\x40", 4)})
        EXPECT_THROW(takeFrame(buffer), ProtocolError);
    std::string partial = encodeFrame({MessageType::kOk, "abc"});
    partial.pop_back();
    EXPECT_FALSE(takeFrame(partial).has_value());
}

std::string encoded(const std::vector<JetValue>& values) {
    PayloadWriter out;
    for (const auto& value : values)
        writeValue(out, value);
    return out.take();
}

// Integers beyond 2^53 and the extreme doubles: no Jet column holds them.
TEST(Payload, ValuesBeyondWhatJetFilesHoldRoundTrip) {
    const std::vector<JetValue> values = {std::int64_t{-9007199254740993}, -0.0,
                                          std::numeric_limits<double>::max(),
                                          std::numeric_limits<double>::denorm_min()};
    const std::string bytes = encoded(values);
    PayloadReader in(bytes);
    for (const auto& value : values) {
        const JetValue back = readValue(in);
        EXPECT_EQ(back, value);
        if (const double* number = std::get_if<double>(&value)) {
            EXPECT_EQ(std::signbit(std::get<double>(back)), std::signbit(*number));
        }
    }
    EXPECT_TRUE(in.atEnd());
}

TEST(Payload, ShortTrailingOrUnknownContentIsRefused) {
    const std::string def = encodeTableDef(
        {"受注", {{"ＣＯＤＥ１", model::kJetText, 50, true, "\"x\"", 0, 0}}, std::nullopt});
    const std::string error = encodeError(JetErrorKind::kNoSuchTable, "テーブルがありません");
    const std::string shortText = PayloadWriter().u32(10).take() + "abc", tag("\x63", 1);
    struct Case {
        const char* what;
        std::function<void()> read;
    };
    const Case cases[] = {
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
    EXPECT_EQ(decodeError(error).kind(), JetErrorKind::kNoSuchTable);
    for (const Case& c : cases)
        EXPECT_THROW(c.read(), ProtocolError) << c.what;
}

struct SocketPair {
    int fds[2];
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    ~SocketPair() { closeEnd(0), closeEnd(1); }
    void closeEnd(int i) {
        if (fds[i] >= 0)
            ::close(fds[i]);
        fds[i] = -1;
    }
};

// Silence is the reader-process tests' (a hanging reader).
TEST(Channel, HalfFramesAndAClosedPeerAreErrors) {
    SocketPair quiet, closed;
    FrameChannel receiver(quiet.fds[1]), sender(closed.fds[0]);
    const std::string half = encodeFrame(Frame{MessageType::kOk, "abcdef"}).substr(0, 6);
    ASSERT_EQ(::write(quiet.fds[0], half.data(), half.size()), static_cast<ssize_t>(half.size()));
    quiet.closeEnd(0);
    EXPECT_THROW(receiver.receive(), ProtocolError);
    closed.closeEnd(1);
    // An error, not a signal that ends the program.
    EXPECT_THROW(sender.send(Frame{MessageType::kOk, std::string(1 << 20, 'x')}), ProtocolError);
}

// Schemas and query catalogs cross whole in the built-file tests (every
// field set there); here, each re-encodes to its bytes, and a payload cut
// short or with bytes over is refused.
TEST(Payload, SchemasAndQueryCatalogsCutShortOrWithBytesOverAreRefused) {
    const model::JetTableSchema schema{
        .name = "Orders",
        .fields = {{.name = "ID", .autoIncrement = true, .required = true},
                   {.name = "Note",
                    .guidAuto = true,
                    .allowZeroLength = true,
                    .validationRule = "Len([Note])<9",
                    .validationText = "short",
                    .description = "a note"}},
        .indexes = {{"ByNote", {{"Note", true}, {"ID", false}}, true, true, true, true},
                    {"Plain", {{"ID", false}}}},
        .relationships = {{"R", "Orders", {"ID"}, "P", {"PID"}, model::kRelationCascadeDeletes}},
        .validationRule = "[A]<[B]",
        .validationText = "no",
        .description = "Bestellungen"};
    const std::string bytes = encodeTableSchema(schema);
    EXPECT_EQ(encodeTableSchema(decodeTableSchema(bytes)), bytes);
    for (const std::size_t cut : {std::size_t{0}, bytes.find("a note") + 2, bytes.size() - 1})
        EXPECT_THROW(decodeTableSchema(bytes.substr(0, cut)), ProtocolError);
    EXPECT_THROW(decodeTableSchema(bytes + "x"), ProtocolError);

    const std::string queries =
        encodeQueryCatalog({{"Q", 8, {{1, "", 1, "", ""}, {6, "a.b", std::nullopt, "x", "y"}}}});
    EXPECT_EQ(encodeQueryCatalog(decodeQueryCatalog(queries)), queries);
    EXPECT_THROW(decodeQueryCatalog(queries + "x"), ProtocolError);
    EXPECT_THROW(decodeQueryCatalog(queries.substr(0, queries.size() - 1)), ProtocolError);
}

const std::string kLong(100, 'x');  // longer than a string holds in place

// Every kind of value; the long ones also short, so that a slot goes from
// long to short.
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
            std::string(),
            std::string("ab"),
            JetBinary{std::string("\0", 1)},
            JetDecimal{"2"}};
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
