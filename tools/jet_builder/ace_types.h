#pragma once

// What the ACE format (Access 2007 and later) adds to the builder: its
// header, and the column types only it stores. Kept apart from the Jet 3/4
// layout so that either can change on its own.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet_builder/jet_builder.h"

namespace malvorn::testing::ace {

// Field type codes the builder takes for the ACE-only columns, the same the
// program reads them as; the file stores 0x12, 0x13 and 0x14.
inline constexpr int kComplex = 18;       // multi-value or attachment: the link number
inline constexpr int kLargeNumber = 19;   // 64-bit integer
inline constexpr int kExtendedDate = 26;  // Date/Time Extended, stored as 42 ASCII bytes

// The header's engine name and version byte for `version`.
const char* engineName(JetVersion version);
std::uint8_t versionByte(JetVersion version);

// The stored column type and fixed size of an ACE-only field type; nullopt
// for every other type.
struct StoredColumn {
    int fileType;
    int fixedSize;
};
std::optional<StoredColumn> storedColumn(int type);

// The stored bytes of a value of an ACE-only field type: Large Number and
// the complex link from an integer; Date/Time Extended from a text, either
// "yyyy-mm-dd hh:mm:ss.fffffff" or the raw stored form when it holds ':'
// where a date never does (the damage tests write such values).
std::vector<std::uint8_t> valueBytes(int type, const JetBuildValue& value, const std::string& at);

// A calculated field's stored value around the result's bytes: 16 zero
// bytes, the result's length (32-bit), the result, 3 zero bytes; and the
// column length such a field declares (a fixed-size result's is always 39).
inline constexpr int kCalculatedOverhead = 23;
std::vector<std::uint8_t> calculatedValue(const std::vector<std::uint8_t>& result);
int calculatedLength(const JetBuildField& field);

}  // namespace malvorn::testing::ace
