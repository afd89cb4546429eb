#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace malvorn::base {

// Whether a text reads as a number. Accepted: blanks around, an optional
// sign, decimal digits with at most one ".", at least one digit, and an
// optional exponent ("1E3", "2.5e-2"). Not accepted: thousands separators,
// currency signs, hexadecimal, expressions such as "=0" or "Date()".
bool gfIsNumericText(std::string_view text);

// The numeric value rule of the data copy: Null and texts that do not read
// as a number give "0"; a number is passed on as it stands.
std::string gfNullToValue(const std::optional<std::string>& valueText);
// The same as a view of `valueText` or of "0", for callers that keep the text.
std::string_view gfNullToValueView(std::optional<std::string_view> valueText);

}  // namespace malvorn::base
