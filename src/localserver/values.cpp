#include "localserver/values.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "base/calendar.h"
#include "encoding/utf8.h"
#include "localserver/binary_float.h"
#include "localserver/errors.h"
#include "localserver/number_fit.h"
#include "localserver/timestamps.h"

namespace malvorn::localserver {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string trimBlanks(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

void validate(const DateTime& d) {
    if (d.year < 1 || d.year > 9999)
        oraThrow(1841, "(full) year must be between -4713 and +9999, and not be 0");
    if (d.month < 1 || d.month > 12)
        oraThrow(1843, "not a valid month");
    if (d.day < 1 || d.day > 31)
        oraThrow(1847, "day of month must be between 1 and last day of month");
    if (d.day > base::daysInMonth(d.year, d.month))
        oraThrow(1839, "date not valid for month specified");
    if (d.hour < 0 || d.hour > 23)
        oraThrow(1850, "hour must be between 0 and 23");
    if (d.minute < 0 || d.minute > 59)
        oraThrow(1851, "minutes must be between 0 and 59");
    if (d.second < 0 || d.second > 59)
        oraThrow(1852, "seconds must be between 0 and 59");
}

[[noreturn]] void literalMismatch() {
    oraThrow(1861, "literal does not match format string");
}

int twoDigitYear(int yy, bool rr) {
    const int now = currentDateTime().year;
    if (!rr)
        return now / 100 * 100 + yy;
    // RR: 00-49 belong to this century, 50-99 to the last (while in 00-49).
    const int century = now / 100 * 100;
    if (now % 100 < 50)
        return yy < 50 ? century + yy : century - 100 + yy;
    return yy < 50 ? century + 100 + yy : century + yy;
}

const char* const kMonths[] = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                               "MAY",       "JUNE",     "JULY",     "AUGUST",
                               "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};

// The format elements TO_DATE and TO_CHAR know, longest first. Views with
// their lengths: a copy's every date literal runs through these, and
// measuring C strings at each position of its format showed in profiles.
constexpr std::string_view kElements[] = {"YYYY", "RRRR", "HH24", "HH12", "MONTH", "MON",
                                          "A.M.", "P.M.", "YY",   "RR",   "MM",    "DD",
                                          "HH",   "MI",   "SS",   "AM",   "PM"};
// A TIMESTAMP's fraction of a second: FFn, or FF for the type's digits.
constexpr std::string_view kFractionElements[] = {"FF1", "FF2", "FF3", "FF4", "FF5",
                                                  "FF6", "FF7", "FF8", "FF9", "FF"};

std::string_view matchElement(const std::string& format, std::size_t at) {
    // Every element starts with a letter; punctuation is most of a format.
    if (!isAlpha(format[at]))
        return {};
    const char first = upper(format[at]);
    const auto matches = [&](std::string_view e) {
        if (e[0] != first || at + e.size() > format.size())
            return false;
        bool same = true;
        for (std::size_t i = 0; i < e.size() && same; ++i)
            same = upper(format[at + i]) == e[i];
        return same;
    };
    for (const std::string_view element : kFractionElements) {
        if (matches(element))
            return element;
    }
    for (const std::string_view element : kElements) {
        if (matches(element))
            return element;
    }
    return {};
}

[[noreturn]] void formatNotRecognized() {
    oraThrow(1821, "date format not recognized");
}

}  // namespace

std::optional<SqlValue> parseNumber(const std::string& text) {
    const std::string t = trimBlanks(text);
    auto number = Number::parse(t);
    if (!number)
        return std::nullopt;
    return SqlValue(*number);
}

std::optional<Number> numberOf(const SqlValue& value) {
    if (const auto* n = std::get_if<Number>(&value))
        return *n;
    if (const auto* i = std::get_if<std::int64_t>(&value))
        return Number::fromInt(*i);
    if (const auto* s = std::get_if<std::string>(&value)) {
        if (auto parsed = Number::parse(trimBlanks(*s)))
            return parsed;
        oraThrow(1722, "invalid number");
    }
    return std::nullopt;
}

std::string formatNumber(const SqlValue& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value))
        return std::to_string(*i);
    if (const auto* n = std::get_if<Number>(&value))
        return n->text();
    if (const auto* s = std::get_if<std::string>(&value))
        return *s;
    return {};
}

std::string valueToText(const SqlValue& value) {
    std::string text = formatNumber(value);
    if (std::holds_alternative<std::string>(value))
        return text;
    // Oracle writes a number below one without the zero before the point:
    // .5 and -.01.
    if (text.rfind("0.", 0) == 0)
        text.erase(0, 1);
    else if (text.rfind("-0.", 0) == 0)
        text.erase(1, 1);
    return text;
}

double toDouble(const SqlValue& value) {
    const auto n = numberOf(value);
    return n ? n->toDouble() : 0;
}

std::string formatStoredDate(const DateTime& d) {
    std::string out;
    formatStoredDateInto(d, out);
    return out;
}

void formatStoredDateInto(const DateTime& d, std::string& out) {
    // Over the date before: this runs for every date a copy sends and every
    // SYSDATE.
    out.resize(19);
    if (base::writeDateTimeText(out.data(), d.year, d.month, d.day, d.hour, d.minute, d.second))
        return;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                  d.hour, d.minute, d.second);
    out.assign(buffer);
}

std::optional<DateTime> readStoredDate(const std::string& text) {
    DateTime d;
    if (text.size() != 19 || std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &d.year, &d.month,
                                         &d.day, &d.hour, &d.minute, &d.second) != 6) {
        return std::nullopt;
    }
    return d;
}

DateTime parseDateLiteral(const std::string& text) {
    const std::string t = trimBlanks(text);
    std::size_t i = 0;
    auto number = [&](std::size_t maxDigits, int& out) {
        std::size_t n = 0;
        int v = 0;
        while (i < t.size() && isDigit(t[i]) && n < maxDigits) {
            v = v * 10 + (t[i] - '0');
            ++i;
            ++n;
        }
        if (n == 0)
            literalMismatch();
        out = v;
        return n;
    };
    DateTime d;
    const std::size_t yearDigits = number(4, d.year);
    if (yearDigits <= 2)
        d.year = twoDigitYear(d.year, true);
    if (i >= t.size() || (t[i] != '-' && t[i] != '/'))
        literalMismatch();
    const char separator = t[i++];
    number(2, d.month);
    if (i >= t.size() || t[i] != separator)
        literalMismatch();
    ++i;
    number(2, d.day);
    if (i < t.size()) {
        if (t[i] != ' ')
            literalMismatch();
        while (i < t.size() && t[i] == ' ')
            ++i;
        number(2, d.hour);
        if (i >= t.size() || t[i] != ':')
            literalMismatch();
        ++i;
        number(2, d.minute);
        if (i < t.size() && t[i] == ':') {
            ++i;
            number(2, d.second);
        }
        if (i != t.size())
            literalMismatch();
    }
    validate(d);
    return d;
}

namespace {

// The text a format reads, and how far it has read.
struct DateInput {
    const std::string& text;
    std::size_t in = 0;

    void skipSpaces() {
        while (in < text.size() && text[in] == ' ')
            ++in;
    }
    // Up to `maxDigits` digits after any spaces: the value and the count.
    std::pair<int, std::size_t> number(std::size_t maxDigits) {
        skipSpaces();
        if (in >= text.size())
            oraThrow(1840, "input value not long enough for date format");
        std::size_t n = 0;
        int v = 0;
        while (in < text.size() && isDigit(text[in]) && n < maxDigits) {
            v = v * 10 + (text[in] - '0');
            ++in;
            ++n;
        }
        if (n == 0)
            oraThrow(1858, "a non-numeric character was found where a numeric was expected");
        return {v, n};
    }
    // Letters (and dots when `dots`), in capitals.
    std::string word(bool dots) {
        std::string out;
        while (in < text.size() && (isAlpha(text[in]) || (dots && text[in] == '.')))
            out += upper(text[in++]);
        return out;
    }
};

// What the elements read so far leave for the end: the 12-hour clock's half.
struct ClockHalf {
    bool twelveHour = false;
    bool pm = false;
};

// The digits FF or FFn stands for: n, or `otherwise`.
int fractionDigits(std::string_view element, int otherwise) {
    return element.size() == 3 ? element[2] - '0' : otherwise;
}

void readElement(std::string_view element, DateInput& input, DateTime& d, ClockHalf& half) {
    if (element.rfind("FF", 0) == 0) {
        const auto [v, n] = input.number(static_cast<std::size_t>(fractionDigits(element, 9)));
        d.nanosecond = v;
        for (std::size_t i = n; i < 9; ++i)
            d.nanosecond *= 10;
    } else if (element == "YYYY" || element == "RRRR") {
        const auto [v, n] = input.number(4);
        d.year = (element == "RRRR" && n <= 2) ? twoDigitYear(v, true) : v;
    } else if (element == "YY" || element == "RR") {
        const auto [v, n] = input.number(element == "RR" ? 4 : 2);
        d.year = n <= 2 ? twoDigitYear(v, element == "RR") : v;
    } else if (element == "MM") {
        d.month = input.number(2).first;
    } else if (element == "MON" || element == "MONTH") {
        const std::string word = input.word(false);
        int found = 0;
        for (int m = 0; m < 12 && !found; ++m) {
            const std::string full = kMonths[m];
            if (word == full || word == full.substr(0, 3))
                found = m + 1;
        }
        if (!found)
            oraThrow(1843, "not a valid month");
        d.month = found;
    } else if (element == "DD") {
        d.day = input.number(2).first;
    } else if (element == "HH24") {
        d.hour = input.number(2).first;
    } else if (element == "HH" || element == "HH12") {
        d.hour = input.number(2).first;
        half.twelveHour = true;
        if (d.hour < 1 || d.hour > 12)
            oraThrow(1849, "hour must be between 1 and 12");
    } else if (element == "MI") {
        d.minute = input.number(2).first;
    } else if (element == "SS") {
        d.second = input.number(2).first;
    } else {  // AM, PM, A.M., P.M.
        const std::string word = input.word(true);
        if (word == "PM" || word == "P.M.")
            half.pm = true;
        else if (word != "AM" && word != "A.M.")
            oraThrow(1855, "AM/A.M. or PM/P.M. required");
    }
}

}  // namespace

DateTime parseDateWithFormat(const std::string& text, const std::string& format, bool fractions) {
    const DateTime now = currentDateTime();
    DateTime d;
    d.year = now.year;
    d.month = now.month;
    d.day = 1;
    ClockHalf half;
    DateInput input{text};
    std::size_t at = 0;
    while (at < format.size()) {
        const char f = format[at];
        if (f == '"') {
            const std::size_t close = format.find('"', at + 1);
            if (close == std::string::npos)
                formatNotRecognized();
            const std::string literal = format.substr(at + 1, close - at - 1);
            if (text.compare(input.in, literal.size(), literal) != 0)
                literalMismatch();
            input.in += literal.size();
            at = close + 1;
            continue;
        }
        const std::string_view element = matchElement(format, at);
        if (element.empty()) {
            if (isAlpha(f) || isDigit(f))
                formatNotRecognized();
            // Punctuation in the format matches any punctuation in the text.
            if (input.in < text.size() && !isDigit(text[input.in]) && !isAlpha(text[input.in]))
                ++input.in;
            ++at;
            continue;
        }
        if (!fractions && element.rfind("FF", 0) == 0)
            formatNotRecognized();
        at += element.size();
        readElement(element, input, d, half);
    }
    input.skipSpaces();
    if (input.in != text.size())
        oraThrow(1830, "date format picture ends before converting entire input string");
    if (half.twelveHour)
        d.hour = (d.hour % 12) + (half.pm ? 12 : 0);
    validate(d);
    return d;
}

std::string formatDateWithFormat(const DateTime& d, const std::string& format, int precision) {
    std::string out;
    std::size_t at = 0;
    char buffer[16];
    auto two = [&](int v) {
        std::snprintf(buffer, sizeof buffer, "%02d", v);
        out += buffer;
    };
    while (at < format.size()) {
        const char f = format[at];
        if (f == '"') {
            const std::size_t close = format.find('"', at + 1);
            if (close == std::string::npos)
                formatNotRecognized();
            out += format.substr(at + 1, close - at - 1);
            at = close + 1;
            continue;
        }
        const std::string_view element = matchElement(format, at);
        if (element.empty()) {
            if (isAlpha(f) || isDigit(f))
                formatNotRecognized();
            out += f;
            ++at;
            continue;
        }
        at += element.size();
        if (element.rfind("FF", 0) == 0) {
            if (precision < 0)
                formatNotRecognized();
            // The leading digits of the nine: FFn cuts, it does not round.
            std::snprintf(buffer, sizeof buffer, "%09d", d.nanosecond);
            out.append(buffer, static_cast<std::size_t>(fractionDigits(element, precision)));
        } else if (element == "YYYY" || element == "RRRR") {
            std::snprintf(buffer, sizeof buffer, "%04d", d.year);
            out += buffer;
        } else if (element == "YY" || element == "RR") {
            two(d.year % 100);
        } else if (element == "MM") {
            two(d.month);
        } else if (element == "MON") {
            out += std::string(kMonths[d.month - 1]).substr(0, 3);
        } else if (element == "MONTH") {
            out += kMonths[d.month - 1];
        } else if (element == "DD") {
            two(d.day);
        } else if (element == "HH24") {
            two(d.hour);
        } else if (element == "HH" || element == "HH12") {
            two(d.hour % 12 == 0 ? 12 : d.hour % 12);
        } else if (element == "MI") {
            two(d.minute);
        } else if (element == "SS") {
            two(d.second);
        } else {
            const bool dotted = element.find('.') != std::string_view::npos;
            out += d.hour < 12 ? (dotted ? "A.M." : "AM") : (dotted ? "P.M." : "PM");
        }
    }
    return out;
}

DateTime currentDateTime() {
    // Every statement asks (SYSDATE) and so does every TO_DATE; within one
    // second the answer is the last one, without the local-time conversion.
    thread_local std::time_t last = -1;
    thread_local DateTime d;
    const std::time_t now = std::time(nullptr);
    if (now == last)
        return d;
    std::tm local{};
    localtime_r(&now, &local);
    d.year = local.tm_year + 1900;
    d.month = local.tm_mon + 1;
    d.day = local.tm_mday;
    d.hour = local.tm_hour;
    d.minute = local.tm_min;
    d.second = std::min(local.tm_sec, 59);
    last = now;
    return d;
}

namespace {

std::string qualified(const ColumnTarget& t) {
    return "\"" + t.owner + "\".\"" + t.table + "\".\"" + t.column->name + "\"";
}

[[noreturn]] void tooLarge(const ColumnTarget& t, std::size_t actual, int maximum) {
    oraThrow(12899, "value too large for column " + qualified(t) + " (actual: " +
                        std::to_string(actual) + ", maximum: " + std::to_string(maximum) + ")");
}

bool isCharacterType(const std::string& type) {
    return type == "VARCHAR2" || type == "NVARCHAR2" || type == "CHAR" || type == "NCHAR" ||
           type == "CLOB";
}

}  // namespace

ColumnKind columnKind(const ColumnDef& column) {
    const std::string& type = column.dataType;
    if (isCharacterType(type))
        return ColumnKind::kCharacter;
    if (type == "NUMBER" || type == "FLOAT" || binaryKindOf(type) != BinaryKind::kNone)
        return ColumnKind::kNumber;
    if (type == "DATE" || type.rfind("TIMESTAMP", 0) == 0)
        return ColumnKind::kDate;
    return ColumnKind::kBytes;
}

SqlValue coerceForColumn(const ColumnTarget& target, const SqlValue& input) {
    return coerceForKind(columnKind(*target.column), target, input);
}

bool storedDateInto(ColumnKind kind, const DateTime& d, std::string& out) {
    // Where formatStoredDate writes every field in full, reading its text as
    // a literal gives back `d`: the literal's checks are the date's own.
    const auto inRange = [](int v, int max) { return v >= 0 && v <= max; };
    if (kind != ColumnKind::kDate || !inRange(d.year, 9999) || !inRange(d.month, 99) ||
        !inRange(d.day, 99) || !inRange(d.hour, 99) || !inRange(d.minute, 99) ||
        !inRange(d.second, 99))
        return false;
    validate(d);
    formatStoredDateInto(d, out);
    return true;
}

std::size_t checkCharacterLength(const ColumnTarget& target, std::string_view text) {
    const ColumnDef& column = *target.column;
    if (column.dataType == "CLOB")
        return 0;
    const std::size_t actual = column.charSemantics ? encoding::utf8Length(text) : text.size();
    if (actual > static_cast<std::size_t>(column.charLength))
        tooLarge(target, actual, column.charLength);
    return actual;
}

void fitNumberToColumn(Number& number, const ColumnDef& column) {
    fitNumber(number, NumberFit::of(column));
}

SqlValue coerceForKind(ColumnKind kind, const ColumnTarget& target, SqlValue input) {
    const ColumnDef& column = *target.column;
    const bool isNull =
        std::holds_alternative<std::monostate>(input) ||
        (std::holds_alternative<std::string>(input) && std::get<std::string>(input).empty());
    if (isNull) {
        if (!column.nullable) {
            if (target.update)
                oraThrow(1407, "cannot update (" + qualified(target) + ") to NULL");
            oraThrow(1400, "cannot insert NULL into (" + qualified(target) + ")");
        }
        return std::monostate{};
    }
    const std::string& type = column.dataType;
    if (kind == ColumnKind::kCharacter) {
        std::string text = std::holds_alternative<std::string>(input)
                               ? std::move(std::get<std::string>(input))
                               : valueToText(input);
        const std::size_t actual = checkCharacterLength(target, text);
        // CHAR is fixed width: the server pads with blanks.
        if (type == "CHAR" || type == "NCHAR")
            text.append(static_cast<std::size_t>(column.charLength) - actual, ' ');
        return text;
    }
    if (kind == ColumnKind::kNumber) {
        const BinaryKind binary = binaryKindOf(type);
        if (binary != BinaryKind::kNone && std::holds_alternative<std::string>(input))
            return binaryFromString(std::get<std::string>(input), binary);  // 'NaN', 'INF' too
        Number number = std::holds_alternative<Number>(input) ? std::move(std::get<Number>(input))
                                                              : *numberOf(input);
        if (binary != BinaryKind::kNone)
            return toBinary(number, binary);
        fitNumberToColumn(number, column);
        return number;
    }
    if (kind == ColumnKind::kDate) {
        if (!std::holds_alternative<std::string>(input))
            oraThrow(932, "inconsistent datatypes: expected DATE got NUMBER");
        if (type != "DATE")  // TIMESTAMP(p) keeps p digits of fraction, its scale
            return storedTimestamp(std::get<std::string>(input), column.scale.value_or(6));
        return formatStoredDate(parseDateLiteral(std::get<std::string>(input)));
    }
    // RAW and BLOB hold bytes, written as hexadecimal text.
    std::string hex = valueToText(input);
    if (hex.size() % 2 != 0 || !std::all_of(hex.begin(), hex.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
        })) {
        oraThrow(1465, "invalid hex number");
    }
    std::transform(hex.begin(), hex.end(), hex.begin(), upper);
    if (type == "RAW" && hex.size() / 2 > static_cast<std::size_t>(column.dataLength))
        tooLarge(target, hex.size() / 2, column.dataLength);
    return hex;
}

}  // namespace malvorn::localserver
