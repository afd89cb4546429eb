// Text and number functions of the server that SQLite has no match for.
#include <algorithm>

#include "encoding/display_width.h"
#include "encoding/utf8.h"
#include "localserver/errors.h"
#include "localserver/function_registry.h"
#include "localserver/number_format.h"

namespace malvorn::localserver {
namespace {

using Args = FunctionArgs;
using encoding::decodeUtf8;
using encoding::encodeUtf8;

SqlValue textOrNull(std::string text) {
    return text.empty() ? SqlValue() : SqlValue(std::move(text));
}

std::int64_t wholeArg(const Number& n) {
    const auto limit = std::int64_t{1} << 40;
    return std::clamp<std::int64_t>(n.truncated(0).toInt().value_or(n.negative() ? -limit : limit),
                                    -limit, limit);
}

// INSTR: the character position of the occurrence-th match, searching
// forward from position, or backward from the position counted from the end.
SqlValue instr(const TableById&, const Args& a) {
    if (isNullOrEmpty(a[0]) || isNullOrEmpty(a[1]) || isNull(a[2]) || isNull(a[3]))
        return SqlValue();
    const std::u32string text = decodeUtf8(valueToText(a[0]));
    const std::u32string sought = decodeUtf8(valueToText(a[1]));
    const std::int64_t position = wholeArg(*numberArg(a[2]));
    const std::int64_t occurrence = wholeArg(*numberArg(a[3]));
    if (occurrence < 1)
        oraThrow(1428, "argument '" + std::to_string(occurrence) + "' is out of range");
    const auto size = static_cast<std::int64_t>(text.size());
    const auto length = static_cast<std::int64_t>(sought.size());
    if (position == 0 || length > size)
        return Number::fromInt(0);
    std::int64_t found = 0;
    if (position > 0) {
        for (std::int64_t at = position - 1; at + length <= size; ++at) {
            if (text.compare(static_cast<std::size_t>(at), sought.size(), sought) == 0 &&
                ++found == occurrence)
                return Number::fromInt(at + 1);
        }
    } else {
        for (std::int64_t at = std::min(size + position, size - length); at >= 0; --at) {
            if (text.compare(static_cast<std::size_t>(at), sought.size(), sought) == 0 &&
                ++found == occurrence)
                return Number::fromInt(at + 1);
        }
    }
    return Number::fromInt(0);
}

// Characters of `from` from its start, over again when `repeat`, filling at
// most `columns` of display width; where a wide character would overrun the
// last column, a blank fills it.
std::u32string inColumns(const std::u32string& from, std::size_t columns, bool repeat) {
    std::u32string out;
    std::size_t used = 0;
    for (std::size_t i = 0; used < columns && i < from.size();) {
        const auto width = static_cast<std::size_t>(encoding::displayWidth(from[i]));
        if (used + width > columns) {
            out += U' ';
            break;
        }
        out += from[i];
        used += width;
        if (++i == from.size() && repeat)
            i = 0;
    }
    return out;
}

// LPAD and RPAD: the length is the display width, as the server counts it in
// a multibyte character set (a full-width character is two); a longer text
// is cut to it.
SqlValue pad(const TableById&, const Args& a) {
    if (isNullOrEmpty(a[0]) || isNull(a[1]))
        return SqlValue();
    const std::int64_t length = wholeArg(*numberArg(a[1]));
    if (length < 1 || (!isNull(a[2]) && isNullOrEmpty(a[2])))
        return SqlValue();
    if (length > 32767)
        oraThrow(1489, "result of string concatenation is too long");
    const std::u32string text = decodeUtf8(valueToText(a[0]));
    const std::u32string padding = isNull(a[2]) ? U" " : decodeUtf8(valueToText(a[2]));
    const auto wanted = static_cast<std::size_t>(length);
    const std::size_t width = encoding::displayWidth(text);
    if (width >= wanted)
        return textOrNull(encodeUtf8(inColumns(text, wanted, false)));
    const std::u32string fill = inColumns(padding, wanted - width, true);
    const bool left = std::get<std::int64_t>(a[3]) != 0;
    return encodeUtf8(left ? fill + text : text + fill);
}

bool isAsciiAlnum(char32_t c) {
    return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

// INITCAP: words are runs of letters and digits; other characters part them.
SqlValue initCap(const TableById&, const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    std::u32string text = decodeUtf8(valueToText(a[0]));
    bool inWord = false;
    for (char32_t& c : text) {
        const bool letter = (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
        if (letter)
            c = inWord ? (c | 0x20) : (c & ~char32_t{0x20});
        inWord = isAsciiAlnum(c) || c > 0x7F;
    }
    return encodeUtf8(text);
}

// TRIM(LEADING | TRAILING | BOTH c FROM text); the character must be one.
SqlValue trimSide(const TableById&, const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    std::u32string set = U" ";
    if (!isNull(a[1])) {
        if (isNullOrEmpty(a[1]))
            return SqlValue();
        set = decodeUtf8(valueToText(a[1]));
        if (set.size() != 1)
            oraThrow(30001, "trim set should have only one character");
    }
    const std::u32string text = decodeUtf8(valueToText(a[0]));
    const std::string side = valueToText(a[2]);
    std::size_t begin = 0;
    std::size_t end = text.size();
    if (side != "TRAILING") {
        while (begin < end && text[begin] == set[0])
            ++begin;
    }
    if (side != "LEADING") {
        while (end > begin && text[end - 1] == set[0])
            --end;
    }
    return textOrNull(encodeUtf8(text.substr(begin, end - begin)));
}

SqlValue toNumberFormat(const TableById&, const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    if (isNullOrEmpty(a[1]))
        return SqlValue();
    return parseNumberWithMask(valueToText(a[0]), valueToText(a[1]));
}

SqlValue toCharNumber(const TableById&, const Args& a) {
    const auto n = numberArg(a[0]);
    if (!n || isNullOrEmpty(a[1]))
        return SqlValue();
    return formatNumberWithMask(*n, valueToText(a[1]));
}

// CAST to a character type: cut to the length (the standard's rule, which
// the server follows), CHAR padded with blanks.
SqlValue castText(const TableById&, const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    std::u32string text = decodeUtf8(valueToText(a[0]));
    const auto length = static_cast<std::size_t>(std::get<std::int64_t>(a[1]));
    text.resize(std::get<std::int64_t>(a[2]) != 0 ? length : std::min(length, text.size()), U' ');
    return encodeUtf8(text);
}

// CAST to NUMBER(p, s): rounded to the scale, ORA-01438 past the precision.
SqlValue castNumber(const TableById&, const Args& a) {
    auto n = numberArg(a[0]);
    if (!n)
        return SqlValue();
    if (isNull(a[1]) && isNull(a[2]))
        return n->requireFinite();
    const auto precision = isNull(a[1]) ? 38 : std::get<std::int64_t>(a[1]);
    const auto scale = isNull(a[2]) ? 0 : std::get<std::int64_t>(a[2]);
    Number rounded = n->requireFinite().rounded(static_cast<int>(scale));
    if (!rounded.isZero() && rounded.magnitude() > precision - scale)
        oraThrow(1438, "value larger than specified precision allowed for this column");
    return rounded;
}

// RAW and BLOB values are kept as hexadecimal text, two digits a byte.
SqlValue rawLength(const TableById&, const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    return Number::fromInt(static_cast<std::int64_t>(valueToText(a[0]).size() / 2));
}

// DBMS_LOB.SUBSTR(lob, amount, offset): characters of a CLOB, bytes of a BLOB.
SqlValue lobSubstr(const TableById&, const Args& a) {
    const auto amount = numberArg(a[1]);
    const auto offset = numberArg(a[2]);
    if (isNullOrEmpty(a[0]) || !amount || !offset)
        return SqlValue();
    const std::int64_t count = wholeArg(*amount);
    const std::int64_t from = wholeArg(*offset);
    if (count < 1 || from < 1)
        return SqlValue();
    const std::size_t unit = std::get<std::int64_t>(a[3]) != 0 ? 2 : 1;
    const std::u32string value = decodeUtf8(valueToText(a[0]));
    const auto begin = static_cast<std::size_t>(from - 1) * unit;
    if (begin >= value.size())
        return SqlValue();
    return encodeUtf8(value.substr(begin, static_cast<std::size_t>(count) * unit));
}

const FunctionEntry kEntries[] = {
    {ServerFunction::kInstr, "mv_instr", 4, instr},
    {ServerFunction::kPad, "mv_pad", 4, pad},
    {ServerFunction::kInitCap, "mv_initcap", 1, initCap},
    {ServerFunction::kTrimSide, "mv_trim_side", 3, trimSide},
    {ServerFunction::kToNumberFmt, "mv_to_number_fmt", 2, toNumberFormat},
    {ServerFunction::kToCharNum, "mv_to_char_num", 2, toCharNumber},
    {ServerFunction::kCastText, "mv_cast_text", 3, castText},
    {ServerFunction::kCastNumber, "mv_cast_number", 3, castNumber},
    {ServerFunction::kRawLength, "mv_raw_length", 1, rawLength},
    {ServerFunction::kLobSubstr, "mv_lob_substr", 4, lobSubstr},
};

}  // namespace

std::span<const FunctionEntry> scalarFunctionEntries() {
    return kEntries;
}

}  // namespace malvorn::localserver
