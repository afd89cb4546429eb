#pragma once

// The read-back's view of a value: the text the server should show for a Jet
// value, a sort key that orders values as the server's ORDER BY does, and a
// checksum of rows that does not depend on their order.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/jet_value.h"

namespace malvorn::core {

enum class ValueKind { kText, kNumber, kDate, kTimestamp, kBytes };

ValueKind valueKindOf(std::int16_t typeCode);

// The Jet value as the server should show it; nullopt for Null (the server
// keeps no empty text; the window's rules write a Null number as 0).
std::optional<std::string> expectedText(std::int16_t typeCode, const jet::JetValue& value,
                                        bool oracleSafe);

// A number's text as a plain decimal without sign noise, leading or trailing
// zeros, an exponent written out ("1.5E-3" -> "0.0015"); nullopt when the
// text is not a number.
std::optional<std::string> exactDecimal(std::string_view text);

// Appends to `key` a part that orders as the server orders the value:
// numbers by value, dates and texts by their bytes (a binary sort), bytes
// unsigned, Null after every value. Parts appended in turn order as a
// multi-column ORDER BY. `text` is expectedText's form (raw bytes for kBytes).
void appendKeyPart(std::string& key, ValueKind kind, const std::optional<std::string>& text);

// The form the checksum takes of a value: numbers exact, bytes as upper-case
// hexadecimal, anything else as it is. `fromServer`: bytes arrive as
// hexadecimal text when the driver gives them so.
std::optional<std::string> checksumForm(ValueKind kind, const std::optional<std::string>& text,
                                        bool fromServer);

// The rows of a table as a multiset: their count and the sum of a 128-bit
// hash of each, so the order does not count and a row twice counts twice.
class RowChecksum {
  public:
    void add(const std::vector<std::optional<std::string>>& columns);
    std::int64_t rows() const { return rows_; }
    bool operator==(const RowChecksum&) const = default;

  private:
    std::int64_t rows_ = 0;
    std::array<std::uint64_t, 2> sum_ = {0, 0};
};

}  // namespace malvorn::core
