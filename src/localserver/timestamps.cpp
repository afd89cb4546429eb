#include "localserver/timestamps.h"

#include <chrono>
#include <ctime>
#include <stdexcept>

#include "base/calendar.h"
#include "localserver/errors.h"
#include "localserver/function_registry.h"

namespace malvorn::localserver {
namespace {

using Args = std::vector<SqlValue>;

constexpr int kNanosPerSecond = 1'000'000'000;

// A datetime argument; a number is no datetime.
DateTime timestampArg(const SqlValue& v) {
    const auto* text = std::get_if<std::string>(&v);
    if (!text)
        oraThrow(932, "inconsistent datatypes: expected TIMESTAMP got NUMBER");
    return parseTimestampText(*text);
}

int precisionArg(const SqlValue& v) {
    const auto* n = std::get_if<std::int64_t>(&v);
    if (!n || *n < 0 || *n > 9)
        throw std::logic_error("a timestamp precision outside 0..9");
    return static_cast<int>(*n);
}

[[noreturn]] void yearOutOfRange() {
    oraThrow(1841, "(full) year must be between -4713 and +9999, and not be 0");
}

// The next second after `d`'s whole second.
DateTime nextSecond(DateTime d) {
    if (++d.second < 60)
        return d;
    d.second = 0;
    if (++d.minute < 60)
        return d;
    d.minute = 0;
    if (++d.hour < 24)
        return d;
    d.hour = 0;
    const base::CivilDate next =
        base::civilFromDays(base::daysFromCivil({d.year, d.month, d.day}) + 1);
    if (next.year > 9999)
        yearOutOfRange();
    d.year = static_cast<int>(next.year);
    d.month = next.month;
    d.day = next.day;
    return d;
}

SqlValue toTimestamp(const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    const std::string text = valueToText(a[0]);
    if (std::holds_alternative<std::monostate>(a[1]))
        return formatStoredTimestamp(parseTimestampText(text));
    return formatStoredTimestamp(parseDateWithFormat(text, valueToText(a[1]), true));
}

SqlValue toChar(const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    const DateTime d = timestampArg(a[0]);
    const int precision = precisionArg(a[2]);
    if (std::holds_alternative<std::monostate>(a[1]))
        return shownTimestamp(d, precision);
    return formatDateWithFormat(d, valueToText(a[1]), precision);
}

SqlValue toPrecision(const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    return formatStoredTimestamp(roundedToPrecision(timestampArg(a[0]), precisionArg(a[1])));
}

SqlValue toDate(const Args& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    DateTime d = timestampArg(a[0]);
    d.nanosecond = 0;
    return formatStoredDate(d);
}

SqlValue now(const Args&) {
    const auto clock = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(clock);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                            clock.time_since_epoch() - std::chrono::seconds(seconds))
                            .count();
    std::tm local{};
    localtime_r(&seconds, &local);
    DateTime d{local.tm_year + 1900,
               local.tm_mon + 1,
               local.tm_mday,
               local.tm_hour,
               local.tm_min,
               std::min(local.tm_sec, 59),
               static_cast<int>(micros) * 1000};
    return formatStoredTimestamp(d);
}

struct Entry {
    TimestampFunction function;
    const char* name;
    int argCount;
    SqlValue (*run)(const Args&);
};

const Entry kFunctions[] = {
    {TimestampFunction::kToTimestamp, "mv_to_timestamp", 2, toTimestamp},
    {TimestampFunction::kToChar, "mv_timestamp_to_char", 3, toChar},
    {TimestampFunction::kToPrecision, "mv_timestamp_precision", 2, toPrecision},
    {TimestampFunction::kToDate, "mv_timestamp_to_date", 1, toDate},
    {TimestampFunction::kNow, "mv_systimestamp", 0, now},
};

}  // namespace

std::string formatStoredTimestamp(const DateTime& d) {
    std::string out = formatStoredDate(d);
    if (d.nanosecond == 0)
        return out;
    std::string fraction = std::to_string(d.nanosecond);
    fraction.insert(0, 9 - fraction.size(), '0');
    fraction.erase(fraction.find_last_not_of('0') + 1);
    return out + "." + fraction;
}

std::string shownTimestamp(const DateTime& d, int precision) {
    DateTime whole = d;
    whole.nanosecond = 0;
    if (precision == 0)
        return formatStoredDate(whole);
    return formatDateWithFormat(d, "YYYY-MM-DD HH24:MI:SS.FF", precision);
}

DateTime parseTimestampText(const std::string& text) {
    // The fraction follows the seconds: a point after the last colon.
    const std::size_t colon = text.rfind(':');
    const std::size_t point = colon == std::string::npos ? colon : text.find('.', colon);
    if (point == std::string::npos)
        return parseDateLiteral(text);
    std::size_t end = text.find_last_not_of(" \t\r\n");
    const std::string digits = text.substr(point + 1, end - point);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        oraThrow(1861, "literal does not match format string");
    if (digits.size() > 9)
        oraThrow(1830, "date format picture ends before converting entire input string");
    DateTime d = parseDateLiteral(text.substr(0, point));
    d.nanosecond = std::stoi(digits);
    for (std::size_t i = digits.size(); i < 9; ++i)
        d.nanosecond *= 10;
    return d;
}

DateTime roundedToPrecision(const DateTime& d, int precision) {
    int unit = 1;
    for (int i = precision; i < 9; ++i)
        unit *= 10;
    DateTime out = d;
    // Half a unit and more rounds up, as a column of that precision stores it.
    out.nanosecond = (d.nanosecond + unit / 2) / unit * unit;
    if (out.nanosecond >= kNanosPerSecond) {
        out = nextSecond(out);
        out.nanosecond = 0;
    }
    return out;
}

std::string storedTimestamp(const std::string& text, int precision) {
    return formatStoredTimestamp(roundedToPrecision(parseTimestampText(text), precision));
}

std::string timestampCall(TimestampFunction function, const std::vector<std::string>& args) {
    for (const Entry& e : kFunctions) {
        if (e.function != function)
            continue;
        if (static_cast<int>(args.size()) != e.argCount)
            throw std::logic_error(std::string("wrong argument count for ") + e.name);
        std::string sql = std::string(e.name) + "(";
        for (std::size_t i = 0; i < args.size(); ++i)
            sql += (i ? ", " : "") + args[i];
        return sql + ")";
    }
    throw std::logic_error("timestamp function missing from its table");
}

void defineTimestampFunctions(SqliteDb& db) {
    for (const Entry& e : kFunctions)
        db.defineFunction(e.name, e.argCount, [run = e.run](const Args& a) { return run(a); });
}

}  // namespace malvorn::localserver
