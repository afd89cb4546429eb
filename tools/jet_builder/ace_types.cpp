#include "jet_builder/ace_types.h"

#include <cstdio>
#include <stdexcept>

namespace malvorn::testing::ace {
namespace {

[[noreturn]] void fail(const std::string& message) {
    throw std::runtime_error("jet builder: " + message);
}

// Days from 0001-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t daysFromYearOne(int year, int month, int day) {
    const int y = month <= 2 ? year - 1 : year;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int mp = (month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    // 0000-03-01 is day 0 of the count above; 0001-01-01 lies 306 days later.
    return std::int64_t{era} * 146097 + doe - 306;
}

std::string extendedDateText(const std::string& text, const std::string& at) {
    if (text.size() == 42 && text[19] == ':')
        return text;  // already the stored form
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char fraction[8] = {};
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%7[0-9]", &year, &month, &day, &hour,
                    &minute, &second, fraction) != 7 ||
        std::string(fraction).size() != 7)
        fail(at + ": expected yyyy-mm-dd hh:mm:ss.fffffff, got " + text);
    const std::int64_t ticks =
        ((std::int64_t{hour} * 60 + minute) * 60 + second) * 10000000 + std::stoll(fraction);
    char stored[64];
    std::snprintf(stored, sizeof stored, "%019lld:%019lld:7 ",
                  static_cast<long long>(daysFromYearOne(year, month, day)),
                  static_cast<long long>(ticks));
    return stored;
}

}  // namespace

const char* engineName(JetVersion version) {
    return version == JetVersion::kAce12 ? "Standard ACE DB" : "Standard Jet DB";
}

std::uint8_t versionByte(JetVersion version) {
    switch (version) {
        case JetVersion::kJet3:
            return 0x00;
        case JetVersion::kJet4:
            return 0x01;
        case JetVersion::kAce12:
            return 0x02;
    }
    return 0x01;
}

std::optional<StoredColumn> storedColumn(int type) {
    switch (type) {
        case kComplex:
            return StoredColumn{0x12, 4};
        case kLargeNumber:
            return StoredColumn{0x13, 8};
        case kExtendedDate:
            return StoredColumn{0x14, 42};
        default:
            return std::nullopt;
    }
}

std::vector<std::uint8_t> valueBytes(int type, const JetBuildValue& value, const std::string& at) {
    std::vector<std::uint8_t> bytes;
    if (type == kExtendedDate) {
        const auto* text = std::get_if<std::string>(&value);
        if (text == nullptr)
            fail(at + ": expected a text");
        const std::string stored = extendedDateText(*text, at);
        return {stored.begin(), stored.end()};
    }
    const auto* number = std::get_if<std::int64_t>(&value);
    if (number == nullptr)
        fail(at + ": expected an integer");
    const int size = type == kComplex ? 4 : 8;
    const auto bits = static_cast<std::uint64_t>(*number);
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    return bytes;
}

std::vector<std::uint8_t> calculatedValue(const std::vector<std::uint8_t>& result) {
    std::vector<std::uint8_t> bytes(16, 0);
    const auto length = static_cast<std::uint32_t>(result.size());
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    bytes.insert(bytes.end(), result.begin(), result.end());
    bytes.insert(bytes.end(), 3, 0);
    return bytes;
}

int calculatedLength(const JetBuildField& field) {
    switch (field.type) {
        case 10:  // text: two bytes a character, as Jet 4 declares it
            return 2 * field.size + kCalculatedOverhead;
        case 1:
        case 11:
        case 12:
        case 20:
            fail("calculated field " + field.name + ": the builder writes no result of type " +
                 std::to_string(field.type));
        default:
            return 39;
    }
}

}  // namespace malvorn::testing::ace
