#include "convert/script_text.h"

#include <cstdio>

#include "encoding/cp932.h"
#include "encoding/utf8.h"

namespace malvorn::convert {

using encoding::Cp932;

const std::string_view kBorderLine =
    "/*-----------------------------------------------------------------------*/";

std::string formatScriptDate(const ScriptDate& date) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", date.year, date.month, date.day);
    return buffer;
}

std::string PadBytes(std::string_view text, std::size_t width) {
    std::string bytes = Cp932::fromUtf8(text);
    const std::size_t keep = Cp932::safeCut(bytes, width);
    bytes.resize(keep);
    bytes.append(width - keep, ' ');
    return Cp932::toUtf8(bytes);
}

std::string fNarrowName(std::string_view name) {
    std::u32string chars = encoding::decodeUtf8(name);
    for (char32_t& c : chars) {
        const bool fullWidthUpper = c >= U'Ａ' && c <= U'Ｚ';
        const bool fullWidthLower = c >= U'ａ' && c <= U'ｚ';
        const bool fullWidthDigit = c >= U'０' && c <= U'９';
        if (fullWidthUpper || fullWidthLower || fullWidthDigit || c == U'＿') {
            c -= 0xFF00 - 0x20;  // the full-width block mirrors ASCII 0x21..0x7E
        }
    }
    return encoding::encodeUtf8(chars);
}

std::string boxedCommentLine(std::string_view text) {
    return PadBytes(text, 70) + "   */";
}

std::string formatGrouped(std::int64_t value) {
    const bool negative = value < 0;
    std::string digits = std::to_string(negative ? -value : value);
    std::string out;
    const std::size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    out.append(digits, 0, lead);
    for (std::size_t i = lead; i < digits.size(); i += 3) {
        out.push_back(',');
        out.append(digits, i, 3);
    }
    return negative ? "-" + out : out;
}

std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::string toScriptFileBytes(const std::vector<std::string>& lines) {
    std::string utf8;
    for (const auto& line : lines) {
        utf8 += line;
        utf8 += "\r\n";
    }
    return Cp932::fromUtf8(utf8);
}

}  // namespace malvorn::convert
