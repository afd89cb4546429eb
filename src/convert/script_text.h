#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace malvorn::convert {

// A calendar date as the scripts print it; the caller supplies it, so the
// generators never read the clock.
struct ScriptDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// "yyyy/mm/dd".
std::string formatScriptDate(const ScriptDate& date);

// The text padded with spaces, or cut, to exactly `width` bytes of its CP932
// form. A cut that would split a double-byte character leaves its first byte
// out and pads with a space instead, so the result is always `width` bytes
// and never carries a dangling lead byte. Characters without a CP932 form
// count (and come back) as "?".
std::string PadBytes(std::string_view text, std::size_t width);

// Full-width Latin letters, digits and the full-width low line become ASCII;
// every other character is left alone. The character count never changes.
std::string fNarrowName(std::string_view name);

// "/*", 71 hyphens, "*/": the 75-byte frame line of every script header.
extern const std::string_view kBorderLine;

// PadBytes(text, 70) followed by "   */": a 75-byte header line.
std::string boxedCommentLine(std::string_view text);

// Thousands grouped with "," and at least one digit ("97", "1,596").
std::string formatGrouped(std::int64_t value);

// Lines joined with CR LF after each, in CP932: the form every script file
// of the program is written in.
std::string toScriptFileBytes(const std::vector<std::string>& lines);

}  // namespace malvorn::convert

namespace malvorn::convert {

// Spaces (U+0020 only) removed from both ends.
std::string_view trimSpaces(std::string_view text);

}  // namespace malvorn::convert
