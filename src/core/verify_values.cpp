#include "core/verify_values.h"

#include <sodium.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

#include "encoding/ascii.h"
#include "transfer/row_statements.h"
#include "transfer/safe_literals.h"

namespace malvorn::core {
namespace {

// Key part prefixes: a value sorts before Null, as the server puts NULLs
// last going up.
constexpr char kValuePart = '\x01';
constexpr char kNullPart = '\x02';

// Bytes escaped so that a part ends before anything that follows it: 00 is
// written 00 FF and the part ends 00 01.
void appendBytesPart(std::string& key, std::string_view bytes) {
    for (const char c : bytes) {
        key += c;
        if (c == '\0')
            key += '\xFF';
    }
    key += '\0';
    key += '\x01';
}

// A plain decimal (exactDecimal's form) as bytes that order by value: a sign
// byte, then for the magnitude the position of the point as a biased 32-bit
// exponent and the significant digits; a negative magnitude's bytes are
// inverted so that the larger comes first.
void appendNumberPart(std::string& key, const std::string& decimal) {
    const bool negative = decimal[0] == '-';
    const std::string_view digits = std::string_view(decimal).substr(negative ? 1 : 0);
    if (digits == "0") {
        key += '\x02';
        return;
    }
    const std::size_t point = std::min(digits.find('.'), digits.size());
    std::string all(digits.substr(0, point));
    if (point < digits.size())
        all += digits.substr(point + 1);
    const std::size_t first = all.find_first_not_of('0');
    const auto exponent = static_cast<std::int64_t>(point) - static_cast<std::int64_t>(first);
    std::string significant = all.substr(first);
    significant.erase(significant.find_last_not_of('0') + 1);
    const auto biased = static_cast<std::uint32_t>(exponent + 0x80000000LL);
    std::string magnitude = {static_cast<char>(biased >> 24), static_cast<char>(biased >> 16),
                             static_cast<char>(biased >> 8), static_cast<char>(biased)};
    magnitude += significant;
    magnitude += '\0';
    if (negative) {
        for (char& c : magnitude)
            c = static_cast<char>(~static_cast<unsigned char>(c));
    }
    key += negative ? '\x01' : '\x03';
    key += magnitude;
}

bool isHexText(const std::string& text) {
    return text.size() % 2 == 0 &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(c) != 0; });
}

void hashPiece(crypto_generichash_state& state, const std::optional<std::string>& value) {
    const unsigned char present = value ? 1 : 0;
    crypto_generichash_update(&state, &present, 1);
    if (!value)
        return;
    const std::uint64_t length = value->size();
    unsigned char lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = static_cast<unsigned char>(length >> (8 * (7 - i)));
    crypto_generichash_update(&state, lengthBytes, sizeof lengthBytes);
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(value->data()),
                              value->size());
}

}  // namespace

ValueKind valueKindOf(std::int16_t typeCode) {
    if (typeCode == model::kJetBoolean || model::isNumberType(typeCode))
        return ValueKind::kNumber;
    switch (typeCode) {
        case model::kJetText:
        case model::kJetMemo:
        case jet::kJetGuidType:
            return ValueKind::kText;
        case model::kJetDate:
            return ValueKind::kDate;
        case model::kJetDateTimeExtended:
            return ValueKind::kTimestamp;
        default:
            return ValueKind::kBytes;
    }
}

std::optional<std::string> expectedText(std::int16_t typeCode, const jet::JetValue& value,
                                        bool oracleSafe) {
    switch (valueKindOf(typeCode)) {
        case ValueKind::kText: {
            if (const auto* guid = std::get_if<jet::JetGuid>(&value))
                return guid->text;
            const auto* text = std::get_if<std::string>(&value);
            if (text == nullptr || text->empty())
                return std::nullopt;  // the server keeps no empty text
            return *text;
        }
        case ValueKind::kNumber:
            if (jet::isNull(value) && oracleSafe && typeCode != model::kJetBoolean)
                return std::nullopt;
            return transfer::sqlLiteral(typeCode, value);
        case ValueKind::kDate:
            if (const auto* date = std::get_if<jet::JetDate>(&value))
                return transfer::dateText(date->serial);
            return std::nullopt;
        case ValueKind::kTimestamp:
            if (const auto* stamp = std::get_if<jet::JetTimestamp>(&value))
                return stamp->text;
            return std::nullopt;
        case ValueKind::kBytes:
            break;
    }
    const auto* binary = std::get_if<jet::JetBinary>(&value);
    if (binary == nullptr || binary->bytes.empty())
        return std::nullopt;
    return binary->bytes;
}

std::optional<std::string> exactDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    long long exponent = 0;
    if (const std::size_t e = text.find_first_of("eE"); e != std::string_view::npos) {
        const std::string power(text.substr(e + 1));
        char* end = nullptr;
        exponent = std::strtoll(power.c_str(), &end, 10);
        if (power.empty() || *end != '\0' || exponent > 1000 || exponent < -1000)
            return std::nullopt;
        text = text.substr(0, e);
    }
    const std::size_t point = std::min(text.find('.'), text.size());
    std::string digits(text.substr(0, point));
    if (point < text.size())
        digits += text.substr(point + 1);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    // The point moved by the exponent, zeros added where it falls outside.
    long long at = static_cast<long long>(point) + exponent;
    if (at < 0) {
        digits.insert(0, static_cast<std::size_t>(-at), '0');
        at = 0;
    }
    if (at > static_cast<long long>(digits.size()))
        digits.append(static_cast<std::size_t>(at) - digits.size(), '0');
    std::string whole = digits.substr(0, static_cast<std::size_t>(at));
    std::string fraction = digits.substr(static_cast<std::size_t>(at));
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    std::string plain = (whole.empty() ? "0" : whole) + (fraction.empty() ? "" : "." + fraction);
    return negative && plain != "0" ? "-" + plain : plain;
}

void appendKeyPart(std::string& key, ValueKind kind, const std::optional<std::string>& text) {
    if (!text) {
        key += kNullPart;
        return;
    }
    key += kValuePart;
    if (kind == ValueKind::kNumber) {
        if (const auto decimal = exactDecimal(*text)) {
            appendNumberPart(key, *decimal);
            return;
        }
        key += '\x04';  // not a number: after every number, by its bytes
    }
    appendBytesPart(key, *text);
}

std::optional<std::string> checksumForm(ValueKind kind, const std::optional<std::string>& text,
                                        bool fromServer) {
    if (!text)
        return std::nullopt;
    if (kind == ValueKind::kNumber) {
        if (auto decimal = exactDecimal(*text))
            return decimal;
        return text;
    }
    if (kind != ValueKind::kBytes)
        return text;
    if (fromServer && isHexText(*text)) {
        std::string upper = *text;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](char c) { return static_cast<char>(std::toupper(c)); });
        return upper;
    }
    return encoding::hexText(*text);
}

void RowChecksum::add(const std::vector<std::optional<std::string>>& columns) {
    crypto_generichash_state state;
    unsigned char digest[16];
    if (crypto_generichash_init(&state, nullptr, 0, sizeof digest) != 0)
        throw std::runtime_error("crypto_generichash_init failed");
    for (const auto& column : columns)
        hashPiece(state, column);
    crypto_generichash_final(&state, digest, sizeof digest);
    for (std::size_t lane = 0; lane < sum_.size(); ++lane) {
        std::uint64_t part = 0;
        std::memcpy(&part, digest + 8 * lane, sizeof part);
        sum_[lane] += part;  // wraps: a sum, so the order of the rows does not count
    }
    ++rows_;
}

}  // namespace malvorn::core
