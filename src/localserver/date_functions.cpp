// Calendar functions of the server: ADD_MONTHS, MONTHS_BETWEEN, LAST_DAY,
// TRUNC and ROUND of a date to a format, EXTRACT.
#include <string>

#include "base/calendar.h"
#include "localserver/errors.h"
#include "localserver/function_registry.h"

namespace malvorn::localserver {
namespace {

using Args = FunctionArgs;

constexpr std::int64_t kSecondsADay = 86400;

int lastDayOf(int year, int month) {
    return base::daysInMonth(year, month);
}

std::int64_t dayNumber(const DateTime& d) {
    return base::daysFromCivil({d.year, d.month, d.day});
}

DateTime fromDayNumber(std::int64_t days) {
    const base::CivilDate c = base::civilFromDays(days);
    DateTime d;
    d.year = static_cast<int>(c.year);
    d.month = c.month;
    d.day = c.day;
    return d;
}

std::int64_t secondsOfDay(const DateTime& d) {
    return d.hour * 3600 + d.minute * 60 + d.second;
}

SqlValue checked(const DateTime& d) {
    if (d.year < 1 || d.year > 9999)
        oraThrow(1841, "(full) year must be between -4713 and +9999, and not be 0");
    return formatStoredDate(d);
}

// The date `months` months on; a last day of a month, or a day the target
// month lacks, becomes that month's last day.
DateTime monthsOn(const DateTime& d, std::int64_t months) {
    const std::int64_t total = d.year * std::int64_t{12} + (d.month - 1) + months;
    if (total < 12 || total >= 12 * 10000)
        oraThrow(1841, "(full) year must be between -4713 and +9999, and not be 0");
    DateTime out = d;
    out.year = static_cast<int>(total / 12);
    out.month = static_cast<int>(total % 12) + 1;
    const int last = lastDayOf(out.year, out.month);
    if (d.day == lastDayOf(d.year, d.month) || d.day > last)
        out.day = last;
    return out;
}

SqlValue addMonths(const TableById&, const Args& a) {
    const auto months = numberArg(a[1]);
    if (isNull(a[0]) || !months)
        return SqlValue();
    const auto whole = months->truncated(0).toInt();
    if (!whole || *whole > 120000 || *whole < -120000)
        oraThrow(1841, "(full) year must be between -4713 and +9999, and not be 0");
    return checked(monthsOn(storedDate(a[0]), *whole));
}

// Whole months when both days are the same or both are last days; otherwise
// the rest counts in 31-day months, time of day included.
SqlValue monthsBetween(const TableById&, const Args& a) {
    if (isNull(a[0]) || isNull(a[1]))
        return SqlValue();
    const DateTime l = storedDate(a[0]);
    const DateTime r = storedDate(a[1]);
    const std::int64_t months = (l.year - r.year) * std::int64_t{12} + (l.month - r.month);
    const bool lastDays =
        l.day == lastDayOf(l.year, l.month) && r.day == lastDayOf(r.year, r.month);
    if (l.day == r.day || lastDays)
        return Number::fromInt(months);
    const std::int64_t seconds = (l.day - r.day) * kSecondsADay + secondsOfDay(l) - secondsOfDay(r);
    return Number::fromInt(months) + Number::fromInt(seconds) / Number::fromInt(31 * kSecondsADay);
}

SqlValue lastDay(const TableById&, const Args& a) {
    if (isNull(a[0]))
        return SqlValue();
    DateTime d = storedDate(a[0]);
    d.day = lastDayOf(d.year, d.month);
    return formatStoredDate(d);
}

enum class Unit {
    kCentury,
    kYear,
    kQuarter,
    kMonth,
    kWeekOfYear,
    kIsoWeek,
    kWeekOfMonth,
    kDay,
    kWeekDay,
    kHour,
    kMinute
};

Unit unitOf(const SqlValue& format) {
    std::string f = valueToText(format);
    for (char& c : f)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    static const std::pair<const char*, Unit> units[] = {
        {"CC", Unit::kCentury}, {"SCC", Unit::kCentury},   {"SYYYY", Unit::kYear},
        {"YYYY", Unit::kYear},  {"YEAR", Unit::kYear},     {"SYEAR", Unit::kYear},
        {"YYY", Unit::kYear},   {"YY", Unit::kYear},       {"Y", Unit::kYear},
        {"Q", Unit::kQuarter},  {"MONTH", Unit::kMonth},   {"MON", Unit::kMonth},
        {"MM", Unit::kMonth},   {"RM", Unit::kMonth},      {"WW", Unit::kWeekOfYear},
        {"IW", Unit::kIsoWeek}, {"W", Unit::kWeekOfMonth}, {"DDD", Unit::kDay},
        {"DD", Unit::kDay},     {"J", Unit::kDay},         {"DAY", Unit::kWeekDay},
        {"DY", Unit::kWeekDay}, {"D", Unit::kWeekDay},     {"HH", Unit::kHour},
        {"HH12", Unit::kHour},  {"HH24", Unit::kHour},     {"MI", Unit::kMinute},
    };
    for (const auto& [name, unit] : units) {
        if (f == name)
            return unit;
    }
    oraThrow(1821, "date format not recognized");
}

// The start of the week holding `day` when weeks start on the weekday of
// `anchor`.
std::int64_t weekStart(std::int64_t day, std::int64_t anchor) {
    const std::int64_t offset = ((day - anchor) % 7 + 7) % 7;
    return day - offset;
}

DateTime truncated(const DateTime& d, Unit unit) {
    DateTime out = d;
    out.hour = out.minute = out.second = 0;
    const std::int64_t day = dayNumber(d);
    switch (unit) {
        case Unit::kCentury:
            out = fromDayNumber(dayNumber({(d.year - 1) / 100 * 100 + 1, 1, 1}));
            break;
        case Unit::kYear:
            out.month = out.day = 1;
            break;
        case Unit::kQuarter:
            out.month = (d.month - 1) / 3 * 3 + 1;
            out.day = 1;
            break;
        case Unit::kMonth:
            out.day = 1;
            break;
        case Unit::kWeekOfYear:
            out = fromDayNumber(weekStart(day, dayNumber({d.year, 1, 1})));
            break;
        case Unit::kIsoWeek:  // Mondays; day 0 (1970-01-01) was a Thursday
            out = fromDayNumber(weekStart(day, 4));
            break;
        case Unit::kWeekOfMonth:
            out = fromDayNumber(weekStart(day, dayNumber({d.year, d.month, 1})));
            break;
        case Unit::kDay:
            break;
        case Unit::kWeekDay:  // Sundays
            out = fromDayNumber(weekStart(day, 3));
            break;
        case Unit::kHour:
            out.hour = d.hour;
            break;
        case Unit::kMinute:
            out.hour = d.hour;
            out.minute = d.minute;
            break;
    }
    return out;
}

SqlValue truncTo(const TableById&, const Args& a) {
    if (isNull(a[0]) || isNullOrEmpty(a[1]))
        return SqlValue();
    return checked(truncated(storedDate(a[0]), unitOf(a[1])));
}

DateTime secondsLater(const DateTime& d, std::int64_t seconds) {
    const std::int64_t total = dayNumber(d) * kSecondsADay + secondsOfDay(d) + seconds;
    DateTime out = fromDayNumber(total / kSecondsADay);
    const std::int64_t rest = total % kSecondsADay;
    out.hour = static_cast<int>(rest / 3600);
    out.minute = static_cast<int>(rest % 3600 / 60);
    out.second = static_cast<int>(rest % 60);
    return out;
}

// ROUND(date, format): up from the middle of the unit (July, the 16th,
// noon, half an hour, half a minute, half a week).
DateTime roundedDate(const DateTime& d, Unit unit) {
    const DateTime down = truncated(d, unit);
    switch (unit) {
        case Unit::kCentury:
            return d.year - down.year >= 50 ? truncated({down.year + 100, 1, 1}, unit) : down;
        case Unit::kYear:
            return d.month >= 7 ? DateTime{d.year + 1, 1, 1} : down;
        case Unit::kQuarter: {
            const int inQuarter = (d.month - 1) % 3;
            const bool up = inQuarter == 2 || (inQuarter == 1 && d.day >= 16);
            return up ? monthsOn(down, 3) : down;
        }
        case Unit::kMonth:
            return d.day >= 16 ? monthsOn(down, 1) : down;
        case Unit::kDay:
            return truncated(secondsLater(d, kSecondsADay / 2), unit);
        case Unit::kHour:
            return truncated(secondsLater(d, 1800), unit);
        case Unit::kMinute:
            return truncated(secondsLater(d, 30), unit);
        default:
            return truncated(secondsLater(d, 7 * kSecondsADay / 2), unit);
    }
}

SqlValue roundDate(const TableById&, const Args& a) {
    if (isNull(a[0]) || isNullOrEmpty(a[1]))
        return SqlValue();
    return checked(roundedDate(storedDate(a[0]), unitOf(a[1])));
}

SqlValue extract(const TableById&, const Args& a) {
    if (isNull(a[0]))
        return SqlValue();
    const DateTime d = storedDate(a[0]);
    const std::string field = valueToText(a[1]);
    const int value = field == "YEAR"     ? d.year
                      : field == "MONTH"  ? d.month
                      : field == "DAY"    ? d.day
                      : field == "HOUR"   ? d.hour
                      : field == "MINUTE" ? d.minute
                                          : d.second;
    return Number::fromInt(value);
}

const FunctionEntry kEntries[] = {
    {ServerFunction::kAddMonths, "mv_add_months", 2, addMonths},
    {ServerFunction::kMonthsBetween, "mv_months_between", 2, monthsBetween},
    {ServerFunction::kLastDay, "mv_last_day", 1, lastDay},
    {ServerFunction::kDateTruncTo, "mv_date_trunc_to", 2, truncTo},
    {ServerFunction::kDateRound, "mv_date_round", 2, roundDate},
    {ServerFunction::kExtract, "mv_extract", 2, extract},
};

}  // namespace

std::span<const FunctionEntry> dateFunctionEntries() {
    return kEntries;
}

}  // namespace malvorn::localserver
