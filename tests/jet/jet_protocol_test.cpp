// Whole frames and every value kind cross the reader process in the built-file
// tests; here, what a live reader does not send.
#include "jet/jet_protocol.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <limits>

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

// Integers beyond 2^53 and the extreme doubles: no Jet column holds them.
TEST(Payload, ValuesBeyondWhatJetFilesHoldRoundTrip) {
    const JetValue values[] = {std::int64_t{-9007199254740993}, -0.0,
                               std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::denorm_min()};
    PayloadWriter out;
    for (const auto& value : values)
        writeValue(out, value);
    const std::string bytes = out.take();
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
    EXPECT_EQ(decodeError(error).kind(), JetErrorKind::kNoSuchTable);
    for (const auto& [what, read] : cases)
        EXPECT_THROW(read(), ProtocolError) << what;
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

}  // namespace
}  // namespace malvorn::jet::protocol
