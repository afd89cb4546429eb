#include "jet/jet_protocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <type_traits>

namespace malvorn::jet::protocol {
namespace {

// Built in a small buffer and appended at once: one append a byte shows in
// the profile of a table's rows.
void appendLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    char buffer[8];
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(buffer, &value, sizeof buffer);
    } else {
        for (int i = 0; i < bytes; ++i)
            buffer[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    out.append(buffer, static_cast<std::size_t>(bytes));
}

std::uint64_t readLittleEndian(const char* bytes, int count) {
    std::uint64_t value = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, bytes, static_cast<std::size_t>(count));
    } else {
        for (int i = count - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

// Tags of the value kinds, in the order of the JetValue alternatives.
enum ValueTag : std::uint8_t {
    kNull,
    kBool,
    kInteger,
    kSingle,
    kDouble,
    kCurrency,
    kDate,
    kText,
    kBinary,
    kGuid,
    kDecimal,
    kTimestamp,
    kTagCount
};
static_assert(std::variant_size_v<JetValue> == kTagCount);

}  // namespace

std::string encodeFrame(const Frame& frame) {
    const std::size_t length = frame.payload.size() + 1;
    if (length > kMaxFrameBytes)
        throw ProtocolError("frame too long");
    std::string bytes;
    bytes.reserve(4 + length);
    appendLittleEndian(bytes, length, 4);
    bytes += static_cast<char>(frame.type);
    bytes += frame.payload;
    return bytes;
}

std::optional<Frame> takeFrame(std::string& buffer) {
    if (buffer.size() < 4)
        return std::nullopt;
    const std::uint64_t length = readLittleEndian(buffer.data(), 4);
    if (length == 0 || length > kMaxFrameBytes)
        throw ProtocolError("bad frame length " + std::to_string(length));
    if (buffer.size() < 4 + length)
        return std::nullopt;
    Frame frame;
    frame.type = static_cast<MessageType>(static_cast<unsigned char>(buffer[4]));
    frame.payload.assign(buffer, 5, static_cast<std::size_t>(length - 1));
    buffer.erase(0, static_cast<std::size_t>(4 + length));
    return frame;
}

PayloadWriter& PayloadWriter::u8(std::uint8_t value) {
    bytes_ += static_cast<char>(value);
    return *this;
}
PayloadWriter& PayloadWriter::u32(std::uint32_t value) {
    appendLittleEndian(bytes_, value, 4);
    return *this;
}
PayloadWriter& PayloadWriter::i64(std::int64_t value) {
    appendLittleEndian(bytes_, static_cast<std::uint64_t>(value), 8);
    return *this;
}
PayloadWriter& PayloadWriter::f64(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendLittleEndian(bytes_, bits, 8);
    return *this;
}
PayloadWriter& PayloadWriter::f32(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendLittleEndian(bytes_, bits, 4);
    return *this;
}
PayloadWriter& PayloadWriter::text(std::string_view value) {
    u32(static_cast<std::uint32_t>(value.size()));
    bytes_ += value;
    return *this;
}
void PayloadWriter::rewriteU32(std::size_t at, std::uint32_t value) {
    if (at > bytes_.size() || bytes_.size() - at < 4)
        throw std::out_of_range("rewriting past the payload's end");
    for (int i = 0; i < 4; ++i)
        bytes_[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PayloadReader::throwTooShort() {
    throw ProtocolError("payload too short");
}
std::uint8_t PayloadReader::u8() {
    return static_cast<std::uint8_t>(*take(1));
}
std::uint32_t PayloadReader::u32() {
    return static_cast<std::uint32_t>(readLittleEndian(take(4), 4));
}
std::int64_t PayloadReader::i64() {
    return static_cast<std::int64_t>(readLittleEndian(take(8), 8));
}
double PayloadReader::f64() {
    const std::uint64_t bits = readLittleEndian(take(8), 8);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
float PayloadReader::f32() {
    const auto bits = static_cast<std::uint32_t>(readLittleEndian(take(4), 4));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
std::string PayloadReader::text() {
    return std::string(textView());
}
std::string_view PayloadReader::textView() {
    const std::uint32_t length = u32();
    return std::string_view(take(length), length);
}

// A switch on the tag rather than std::visit: its table of calls costs more
// than writing the value, for every value of every row.
void writeValue(PayloadWriter& out, const JetValue& value) {
    const auto tag = static_cast<ValueTag>(value.index());
    out.u8(tag);
    switch (tag) {
        case kNull:
            return;
        case kBool:
            out.u8(*std::get_if<kBool>(&value) ? 1 : 0);
            return;
        case kInteger:
            out.i64(*std::get_if<kInteger>(&value));
            return;
        case kSingle:
            out.f32(*std::get_if<kSingle>(&value));
            return;
        case kDouble:
            out.f64(*std::get_if<kDouble>(&value));
            return;
        case kCurrency:
            out.i64(std::get_if<kCurrency>(&value)->scaled);
            return;
        case kDate:
            out.f64(std::get_if<kDate>(&value)->serial);
            return;
        case kText:
            out.text(*std::get_if<kText>(&value));
            return;
        case kBinary:
            out.text(std::get_if<kBinary>(&value)->bytes);
            return;
        case kGuid:
            out.text(std::get_if<kGuid>(&value)->text);
            return;
        case kDecimal:
            out.text(std::get_if<kDecimal>(&value)->text);
            return;
        case kTimestamp:
            out.text(std::get_if<kTimestamp>(&value)->text);
            return;
        case kTagCount:
            break;
    }
    throw ProtocolError("unknown value kind");
}

namespace {

// The text of a value of kind T (a struct holding its bytes as `text` or
// `bytes`, or std::string itself) into `value`, reusing its memory when it
// holds a T already.
template <typename T, std::string T::*member = nullptr>
void readTextInto(PayloadReader& in, JetValue& value) {
    const std::string_view text = in.textView();
    if constexpr (member == nullptr) {
        if (auto* held = std::get_if<T>(&value))
            held->assign(text);
        else
            value.emplace<T>(text);
    } else {
        if (auto* held = std::get_if<T>(&value))
            (held->*member).assign(text);
        else
            value.emplace<T>(T{std::string(text)});
    }
}

}  // namespace

void readValue(PayloadReader& in, JetValue& value) {
    switch (in.u8()) {
        case kText:
            return readTextInto<std::string>(in, value);
        case kBinary:
            return readTextInto<JetBinary, &JetBinary::bytes>(in, value);
        case kGuid:
            return readTextInto<JetGuid, &JetGuid::text>(in, value);
        case kDecimal:
            return readTextInto<JetDecimal, &JetDecimal::text>(in, value);
        case kTimestamp:
            return readTextInto<JetTimestamp, &JetTimestamp::text>(in, value);
        case kNull:
            value.emplace<std::monostate>();
            return;
        case kBool:
            value = in.u8() != 0;
            return;
        case kInteger:
            value = in.i64();
            return;
        case kSingle:
            value = in.f32();
            return;
        case kDouble:
            value = in.f64();
            return;
        case kCurrency:
            value = JetCurrency{in.i64()};
            return;
        case kDate:
            value = JetDate{in.f64()};
            return;
        default:
            throw ProtocolError("unknown value tag");
    }
}

JetValue readValue(PayloadReader& in) {
    JetValue value;
    readValue(in, value);
    return value;
}

namespace {

// An index: a flag, then its name and key columns when there is one.
void encodeIndex(PayloadWriter& out, const std::optional<model::JetIndexDef>& index) {
    out.u8(index ? 1 : 0);
    if (!index)
        return;
    out.text(index->name).u32(static_cast<std::uint32_t>(index->fieldNames.size()));
    for (const auto& name : index->fieldNames)
        out.text(name);
}

std::optional<model::JetIndexDef> decodeIndex(PayloadReader& in) {
    if (in.u8() == 0)
        return std::nullopt;
    model::JetIndexDef index;
    index.name = in.text();
    const std::uint32_t keyCount = in.u32();
    for (std::uint32_t i = 0; i < keyCount; ++i)
        index.fieldNames.push_back(in.text());
    return index;
}

}  // namespace

std::string encodeTableDef(const model::JetTableDef& table) {
    PayloadWriter out;
    out.text(table.name).u32(static_cast<std::uint32_t>(table.fields.size()));
    for (const auto& field : table.fields) {
        out.text(field.name)
            .u32(static_cast<std::uint16_t>(field.typeCode))
            .u32(static_cast<std::uint32_t>(field.size))
            .u8(field.allowZeroLength ? 1 : 0)
            .text(field.defaultValue);
    }
    encodeIndex(out, table.firstIndex);
    // Appended after the first index so that older readers' part stays as it was.
    for (const auto& field : table.fields)
        out.u32(static_cast<std::uint32_t>(field.precision))
            .u32(static_cast<std::uint32_t>(field.scale));
    encodeIndex(out, table.primaryIndex);
    out.u32(static_cast<std::uint32_t>(table.leftOut.size()));
    for (const auto& name : table.leftOut)
        out.text(name);
    for (const auto& field : table.fields)
        out.u8(field.expression ? 1 : 0).text(field.expression.value_or(""));
    return out.take();
}

model::JetTableDef decodeTableDef(const std::string& payload) {
    PayloadReader in(payload);
    model::JetTableDef table;
    table.name = in.text();
    const std::uint32_t fieldCount = in.u32();
    for (std::uint32_t i = 0; i < fieldCount; ++i) {
        model::JetFieldDef field;
        field.name = in.text();
        field.typeCode = static_cast<std::int16_t>(static_cast<std::uint16_t>(in.u32()));
        field.size = static_cast<std::int32_t>(in.u32());
        field.allowZeroLength = in.u8() != 0;
        field.defaultValue = in.text();
        table.fields.push_back(std::move(field));
    }
    table.firstIndex = decodeIndex(in);
    for (auto& field : table.fields) {
        field.precision = static_cast<std::int32_t>(in.u32());
        field.scale = static_cast<std::int32_t>(in.u32());
    }
    table.primaryIndex = decodeIndex(in);
    const std::uint32_t leftOut = in.u32();
    for (std::uint32_t i = 0; i < leftOut && !in.atEnd(); ++i)
        table.leftOut.push_back(in.text());
    for (auto& field : table.fields) {
        const bool calculated = in.u8() != 0;
        std::string expression = in.text();
        if (calculated)
            field.expression = std::move(expression);
    }
    if (table.leftOut.size() != leftOut || !in.atEnd())
        throw ProtocolError("trailing bytes after a table definition");
    return table;
}

std::string encodeError(JetErrorKind kind, const std::string& message) {
    return PayloadWriter().u8(static_cast<std::uint8_t>(kind)).text(message).take();
}

JetError decodeError(const std::string& payload) {
    PayloadReader in(payload);
    const std::uint8_t kind = in.u8();
    if (kind > static_cast<std::uint8_t>(JetErrorKind::kEncrypted))
        throw ProtocolError("unknown error kind");
    return JetError(static_cast<JetErrorKind>(kind), in.text());
}

namespace {

void sendAll(int fd, std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        // MSG_NOSIGNAL: a peer that has died must become an error here, not a
        // SIGPIPE that ends the whole program.
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw ProtocolError(std::string("send failed: ") + std::strerror(errno));
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

void FrameChannel::send(const Frame& frame) {
    // A long payload (a batch of rows) goes out after its head rather than
    // being copied behind it first; a short one in the same write.
    constexpr std::size_t kLongPayload = 64 * 1024;
    if (frame.payload.size() < kLongPayload) {
        sendAll(fd_, encodeFrame(frame));
        return;
    }
    const std::size_t length = frame.payload.size() + 1;
    if (length > kMaxFrameBytes)
        throw ProtocolError("frame too long");
    std::string head;
    appendLittleEndian(head, length, 4);
    head += static_cast<char>(frame.type);
    sendAll(fd_, head);
    sendAll(fd_, frame.payload);
}

std::optional<Frame> FrameChannel::receive(std::chrono::milliseconds idle) {
    char chunk[65536];
    for (;;) {
        if (auto frame = takeFrame(buffer_))
            return frame;
        if (idle.count() > 0) {
            pollfd waiting{fd_, POLLIN, 0};
            int ready;
            do {
                ready = ::poll(&waiting, 1, static_cast<int>(idle.count()));
            } while (ready < 0 && errno == EINTR);
            if (ready == 0)
                throw TimeoutError("no data within the time limit");
        }
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ProtocolError(std::string("read failed: ") + std::strerror(errno));
        if (n == 0) {
            if (!buffer_.empty())
                throw ProtocolError("channel closed inside a frame");
            return std::nullopt;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace malvorn::jet::protocol
