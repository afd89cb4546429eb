#include "jet/jet_decode.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <set>

namespace malvorn::jet {
namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(const std::string& text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return lowerAscii(c); });
    return lowered;
}

constexpr int kJapaneseLanguageId = 0x411;

}  // namespace

std::string jet3Charset(int codePage, int languageId) {
    if (codePage == 932 || languageId == kJapaneseLanguageId)
        return "CP932";
    // The Windows code pages a Jet 3 file can carry; anything else (0 in many
    // files) is the engine's default, Western European.
    static const int known[] = {874,  936,  949,  950,  1250, 1251, 1252,
                                1253, 1254, 1255, 1256, 1257, 1258};
    if (std::find(std::begin(known), std::end(known), codePage) != std::end(known))
        return "CP" + std::to_string(codePage);
    return "CP1252";
}

std::int16_t programTypeCode(int libraryType) {
    if (libraryType == model::kJetDecimalStoredType)
        return model::kJetDecimal;
    if (libraryType == kStoredDateTimeExtended)
        return model::kJetDateTimeExtended;
    return static_cast<std::int16_t>(libraryType);
}

namespace {

// Digits only, all `count` of them.
std::optional<std::int64_t> digitsAt(const unsigned char* bytes, int count) {
    std::int64_t value = 0;
    for (int i = 0; i < count; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9')
            return std::nullopt;
        value = value * 10 + (bytes[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<std::string_view> calculatedResult(const unsigned char* bytes, std::size_t size) {
    if (size < kCalculatedResultAt)
        return std::nullopt;
    const auto length = static_cast<std::uint32_t>(readInt32(bytes + kCalculatedResultAt - 4));
    if (length > size - kCalculatedResultAt)
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(bytes) + kCalculatedResultAt, length);
}

std::optional<std::string> extendedDateText(const unsigned char* bytes, std::size_t size) {
    constexpr std::int64_t kTicksPerDay = 864000000000;
    constexpr std::int64_t kLastDay = 3652058;  // 9999-12-31
    if (size != kExtendedDateBytes || bytes[19] != ':' || bytes[39] != ':' || bytes[40] != '7')
        return std::nullopt;
    const auto days = digitsAt(bytes, 19);
    const auto ticks = digitsAt(bytes + 20, 19);
    if (!days || !ticks || *days > kLastDay || *ticks >= kTicksPerDay)
        return std::nullopt;
    // Civil date from a day count, shifted so that years start in March.
    const std::int64_t z = *days + 306;
    const std::int64_t era = z / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    const std::int64_t seconds = *ticks / 10000000;
    char text[160];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%07lld",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60),
                  static_cast<long long>(*ticks % 10000000));
    return std::string(text);
}

bool aceEncrypted(const unsigned char* header, std::size_t size) {
    constexpr std::size_t kMaskedFrom = 0x18, kKeyAt = 0x3E, kKeyBytes = 4;
    constexpr int kFirstAceVersion = 2;
    if (size < kHeaderBytesForKey || header[0x14] < kFirstAceVersion)
        return false;
    // The mask is the RC4 stream of a fixed key; only its first bytes are needed.
    const unsigned char key[] = {0xC7, 0xDA, 0x39, 0x6B};
    unsigned char state[256];
    for (int i = 0; i < 256; ++i)
        state[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + key[i % 4]) & 0xFF;
        std::swap(state[i], state[j]);
    }
    bool keySet = false;
    for (std::size_t k = 0, x = 0, y = 0; k < kKeyAt + kKeyBytes - kMaskedFrom; ++k) {
        x = (x + 1) & 0xFF;
        y = (y + state[x]) & 0xFF;
        std::swap(state[x], state[y]);
        const unsigned char mask = state[(state[x] + state[y]) & 0xFF];
        if (k >= kKeyAt - kMaskedFrom && (header[kMaskedFrom + k] ^ mask) != 0)
            keySet = true;
    }
    return keySet;
}

bool hasControlCharacter(const std::string& name) {
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool isVersionHistoryLink(const std::string& name, int libraryType) {
    return libraryType == kStoredComplex && name.starts_with("VersionHistory_");
}

std::int32_t programFieldSize(std::int16_t typeCode, int storedSize, bool jet4) {
    switch (typeCode) {
        case model::kJetText:
            return jet4 ? storedSize / 2 : storedSize;
        case model::kJetBoolean:
            return 1;
        case model::kJetMemo:
            return 0;
        default:
            return storedSize;
    }
}

void sortNamesIgnoringCase(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = lowerAscii(a);
        const std::string lb = lowerAscii(b);
        return la != lb ? la < lb : a < b;
    });
}

bool isUserTable(const std::string& name, std::uint32_t catalogFlags) {
    return !name.starts_with("MSys") && (catalogFlags & kSystemObjectFlags) == 0;
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

std::string definitionDamage(const std::vector<std::string>& columnNames,
                             const std::vector<StoredIndex>& indexes) {
    std::set<std::string> seen;
    for (std::size_t i = 0; i < columnNames.size(); ++i) {
        const std::string& name = columnNames[i];
        const std::string column = "列 " + std::to_string(i + 1) + " ";
        if (name.empty())
            return column + "の名前が空です";
        if (hasControlCharacter(name))
            return column + "の名前に制御文字があります";
        if (!seen.insert(lowerAscii(name)).second)
            return column + "の名前 " + name + " が他の列と重なっています";
    }
    for (const StoredIndex& index : indexes) {
        std::set<int> keys;
        for (const int key : index.keyColumns) {
            if (!keys.insert(key).second)
                return "インデックス " + index.name + " が同じ列を二度挙げています";
        }
    }
    return std::string();
}

std::optional<model::JetIndexDef> firstIndexOf(const std::vector<StoredIndex>& indexes,
                                               const std::vector<model::JetFieldDef>& fields) {
    const auto first = std::find_if(indexes.begin(), indexes.end(), [](const StoredIndex& index) {
        return !index.name.starts_with(".");
    });
    if (first == indexes.end())
        return std::nullopt;

    const StoredIndex* keySource = &*first;
    if (first->kind == kRelationshipIndex) {
        keySource = nullptr;
        for (const auto& candidate : indexes) {
            if (candidate.kind != kRelationshipIndex && candidate.number == first->number) {
                keySource = &candidate;
                break;
            }
        }
    }
    if (keySource == nullptr || keySource->keyColumns.empty())
        return std::nullopt;

    model::JetIndexDef index;
    index.name = first->name;
    for (const int column : keySource->keyColumns) {
        if (column < 0 || static_cast<std::size_t>(column) >= fields.size())
            return std::nullopt;  // a key column outside the table: damaged
        index.fieldNames.push_back(fields[static_cast<std::size_t>(column)].name);
    }
    return index;
}

std::optional<model::JetIndexDef> primaryIndexOf(const std::vector<StoredIndex>& indexes,
                                                 const std::vector<model::JetFieldDef>& fields) {
    const auto counts = [](const StoredIndex& index) {
        return !index.name.starts_with(".") && index.kind != kRelationshipIndex &&
               !index.keyColumns.empty();
    };
    constexpr int kPrimaryIndex = 1;
    const StoredIndex* chosen = nullptr;
    for (const auto& index : indexes) {
        if (counts(index) && index.kind == kPrimaryIndex) {
            chosen = &index;
            break;
        }
    }
    for (const auto& index : indexes) {
        if (chosen == nullptr && counts(index) && index.unique)
            chosen = &index;
    }
    if (chosen == nullptr)
        return std::nullopt;
    model::JetIndexDef key;
    key.name = chosen->name;
    for (const int column : chosen->keyColumns) {
        if (column < 0 || static_cast<std::size_t>(column) >= fields.size())
            return std::nullopt;
        key.fieldNames.push_back(fields[static_cast<std::size_t>(column)].name);
    }
    return key;
}

namespace {

// A little-endian unsigned integer: copied as it is where the machine's
// order is the file's (a loop a byte is a visible share of reading a row).
template <typename T>
T readLittleEndian(const unsigned char* bytes) {
    T value = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, bytes, sizeof value);
    } else {
        for (int i = sizeof(T) - 1; i >= 0; --i)
            value = static_cast<T>((value << 8) | bytes[i]);
    }
    return value;
}

}  // namespace

std::int64_t readInt64(const unsigned char* bytes) {
    return static_cast<std::int64_t>(readLittleEndian<std::uint64_t>(bytes));
}

std::int32_t readInt32(const unsigned char* bytes) {
    return static_cast<std::int32_t>(readLittleEndian<std::uint32_t>(bytes));
}

std::int16_t readInt16(const unsigned char* bytes) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
}

double readDouble(const unsigned char* bytes) {
    const std::uint64_t bits = static_cast<std::uint64_t>(readInt64(bytes));
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float readSingle(const unsigned char* bytes) {
    const std::uint32_t bits = static_cast<std::uint32_t>(readInt32(bytes));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string guidText(const unsigned char* bytes) {
    static const char hex[] = "0123456789ABCDEF";
    // Byte order of the text: the first three groups reversed.
    static const int order[] = {3,  2, 1, 0,  -1, 5,  4,  -1, 7,  6,
                                -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
    std::string text = "{";
    for (const int i : order) {
        if (i < 0) {
            text += '-';
            continue;
        }
        text += hex[bytes[i] >> 4];
        text += hex[bytes[i] & 0x0F];
    }
    text += '}';
    return text;
}

std::string decimalText(const unsigned char* bytes17, int scale) {
    unsigned __int128 magnitude = 0;
    for (int group = 0; group < 4; ++group) {
        const auto part = static_cast<std::uint32_t>(readInt32(bytes17 + 1 + 4 * group));
        magnitude = (magnitude << 32) | part;
    }
    std::string digits;
    do {
        digits += static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    scale = std::clamp(scale, 0, 38);
    while (digits.size() <= static_cast<std::size_t>(scale))
        digits += '0';
    std::reverse(digits.begin(), digits.end());
    if (scale > 0)
        digits.insert(digits.size() - static_cast<std::size_t>(scale), ".");
    const bool negative = (bytes17[0] & 0x80) != 0;
    const bool zero = digits.find_first_not_of("0.") == std::string::npos;
    return (negative && !zero) ? "-" + digits : digits;
}

}  // namespace malvorn::jet
