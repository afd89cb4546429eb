#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "model/jet_table.h"

namespace malvorn::jet {

// Currency as stored: the amount times 10,000, so no digit is ever lost.
struct JetCurrency {
    std::int64_t scaled = 0;
    bool operator==(const JetCurrency&) const = default;
};

// Date/Time as stored: days since 1899-12-30, the fraction is the time of
// day (for negative serials the fraction still counts forward from midnight).
struct JetDate {
    double serial = 0;
    bool operator==(const JetDate&) const = default;
};

// Binary, OLE object and any type the program does not interpret: the bytes.
struct JetBinary {
    std::string bytes;
    bool operator==(const JetBinary&) const = default;
};

// A replication ID (GUID) in its usual text form "{XXXXXXXX-XXXX-...}".
struct JetGuid {
    std::string text;
    bool operator==(const JetGuid&) const = default;
};

// A Decimal value as exact decimal text ("-12.3400" keeps its scale).
struct JetDecimal {
    std::string text;
    bool operator==(const JetDecimal&) const = default;
};

// A Date/Time Extended value, exact: "yyyy-mm-dd hh:mm:ss.fffffff".
struct JetTimestamp {
    std::string text;
    bool operator==(const JetTimestamp&) const = default;
};

// One cell of a row. monostate is Null. Byte, Integer and Long come as
// int64, Single as float, Double as double, Yes/No as bool, Text and Memo as
// UTF-8 std::string.
using JetValue = std::variant<std::monostate, bool, std::int64_t, float, double, JetCurrency,
                              JetDate, std::string, JetBinary, JetGuid, JetDecimal, JetTimestamp>;

using JetRow = std::vector<JetValue>;

inline bool isNull(const JetValue& value) {
    return std::holds_alternative<std::monostate>(value);
}

// The model's codes of the types the window's table script does not map,
// under the names the reader's code uses.
inline constexpr std::int16_t kJetBinaryType = model::kJetBinary;
inline constexpr std::int16_t kJetOleType = model::kJetOle;
inline constexpr std::int16_t kJetGuidType = model::kJetGuid;
inline constexpr std::int16_t kJetDecimalType = model::kJetDecimal;

// A column of a row stream: the field name and its Jet type code.
struct JetColumn {
    std::string name;
    std::int16_t typeCode = 0;
    bool operator==(const JetColumn&) const = default;
};

}  // namespace malvorn::jet
