#pragma once

// The framed protocol between the program and its Jet reader process.
//
// A frame is a 4-byte little-endian length N, then N bytes: one type byte and
// the payload. Every request gets one reply, in order. Rows come in batches
// the program asks for; it asks for a few ahead of the one it uses (see
// JetReaderOptions::batchesAhead), so memory holds only those few. Payload
// values: integers little-endian, texts as a 4-byte length and UTF-8 bytes.
#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "jet/jet_error.h"
#include "jet/jet_value.h"
#include "model/jet_table.h"

namespace malvorn::jet::protocol {

enum class MessageType : std::uint8_t {
    // Requests.
    kOpen = 1,            // text: path
    kListTables = 2,      // nothing
    kReadTable = 3,       // text: table name
    kOpenRows = 4,        // text: table name
    kNextRows = 5,        // u32: most rows wanted; past the stream's end, an empty last batch
    kListUserTables = 6,  // nothing; replied with kTableNames
    kReadSchema = 10,     // text: table name; replied with kTableSchema
    kOpenFlatRows = 20,   // text: an engine flat table; as kOpenRows, attachments unpacked
    kListQueries = 30,    // nothing; replied with kQueryCatalog
    // Replies.
    kOk = 64,
    kError = 65,          // u8: JetErrorKind, text: message
    kTableNames = 66,     // u32 count, texts
    kTableDef = 67,       // see encodeTableDef
    kRowsOpened = 68,     // i64 recorded row count, u32 count, columns
    kRowBatch = 69,       // u32 count, rows, u8: 1 when the table has ended
    kTableSchema = 80,    // see encodeTableSchema (schema_protocol.h)
    kQueryCatalog = 100,  // see encodeQueryCatalog (query_catalog.h)
};

// Exit codes by which the reader says why it stopped on its own.
inline constexpr int kExitWorkLimit = 5;    // a request used up its CPU time
inline constexpr int kExitMemoryLimit = 6;  // the heap reached its ceiling

// A frame longer than this is refused: it can only come from a broken peer.
inline constexpr std::uint32_t kMaxFrameBytes = 512u * 1024u * 1024u;

// The peer broke the protocol (bad length, unknown type, short payload).
class ProtocolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Frame {
    MessageType type{};
    std::string payload;
};

// The bytes of a frame, ready to be written.
std::string encodeFrame(const Frame& frame);

// Cuts whole frames off the front of `buffer`; nullopt while the buffer holds
// less than one frame. Throws ProtocolError for a length out of bounds.
std::optional<Frame> takeFrame(std::string& buffer);

class PayloadWriter {
  public:
    PayloadWriter& u8(std::uint8_t value);
    PayloadWriter& u32(std::uint32_t value);
    PayloadWriter& i64(std::int64_t value);
    PayloadWriter& f64(double value);
    PayloadWriter& f32(float value);
    PayloadWriter& text(std::string_view value);
    // Bytes written so far, and a u32 written again at `at` (a count known
    // only once what it counts is written).
    std::size_t size() const { return bytes_.size(); }
    void rewriteU32(std::size_t at, std::uint32_t value);
    std::string take() { return std::move(bytes_); }

  private:
    std::string bytes_;
};

// Reads a payload; every read past its end throws ProtocolError.
class PayloadReader {
  public:
    explicit PayloadReader(const std::string& bytes) : bytes_(bytes) {}
    std::uint8_t u8();
    std::uint32_t u32();
    std::int64_t i64();
    double f64();
    float f32();
    std::string text();
    // The text's bytes inside the payload, valid as long as it is.
    std::string_view textView();
    bool atEnd() const { return position_ == bytes_.size(); }

  private:
    // Inline: every value of every row comes through here.
    const char* take(std::size_t count) {
        if (bytes_.size() - position_ < count)
            throwTooShort();
        const char* at = bytes_.data() + position_;
        position_ += count;
        return at;
    }
    [[noreturn]] static void throwTooShort();
    const std::string& bytes_;
    std::size_t position_ = 0;
};

void writeValue(PayloadWriter& out, const JetValue& value);
JetValue readValue(PayloadReader& in);
// The same into `value`, whose text keeps its memory when the new value is
// a text of the same kind (the row cursors decode every batch into the
// rows of the last).
void readValue(PayloadReader& in, JetValue& value);

std::string encodeTableDef(const model::JetTableDef& table);
model::JetTableDef decodeTableDef(const std::string& payload);

std::string encodeError(JetErrorKind kind, const std::string& message);
JetError decodeError(const std::string& payload);

// Blocking I/O of whole frames on a file descriptor.
class FrameChannel {
  public:
    explicit FrameChannel(int fd) : fd_(fd) {}

    // Throws ProtocolError when the peer has gone.
    void send(const Frame& frame);

    // The next frame; nullopt when the peer closed the channel. Waits at most
    // `idle` between two pieces of data (forever when idle is zero) and then
    // throws TimeoutError.
    std::optional<Frame> receive(std::chrono::milliseconds idle = std::chrono::milliseconds(0));

  private:
    int fd_;
    std::string buffer_;
};

class TimeoutError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace malvorn::jet::protocol
