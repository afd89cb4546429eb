#include "base/calendar.h"

namespace malvorn::base {

// Both conversions count in 400-year eras of 146097 days that start on
// March 1st, so the leap day falls at the end of the counted year.

std::int64_t daysFromCivil(const CivilDate& date) {
    const std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear =
        (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    date.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

bool isLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(std::int64_t year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year))
        return 29;
    return days[month - 1];
}

namespace {

// `value` as `width` digits at `out`; false when it does not fit.
bool putDigits(char* out, int value, int width) {
    if (value < 0)
        return false;
    for (int i = width - 1; i >= 0; --i, value /= 10)
        out[i] = static_cast<char>('0' + value % 10);
    return value == 0;
}

}  // namespace

bool writeDateTimeText(char* out, int year, int month, int day, int hour, int minute, int second) {
    out[4] = out[7] = '-';
    out[10] = ' ';
    out[13] = out[16] = ':';
    return putDigits(out, year, 4) && putDigits(out + 5, month, 2) && putDigits(out + 8, day, 2) &&
           putDigits(out + 11, hour, 2) && putDigits(out + 14, minute, 2) &&
           putDigits(out + 17, second, 2);
}

}  // namespace malvorn::base
