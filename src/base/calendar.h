#pragma once

#include <cstdint>

namespace malvorn::base {

// The proleptic Gregorian calendar, counted in days from 1970-01-01 (day 0;
// earlier days are negative). Dates are whole and unchecked: callers keep to
// the years their format allows.
struct CivilDate {
    std::int64_t year = 1970;
    int month = 1;
    int day = 1;
};

std::int64_t daysFromCivil(const CivilDate& date);
CivilDate civilFromDays(std::int64_t days);

bool isLeapYear(std::int64_t year);
int daysInMonth(std::int64_t year, int month);

}  // namespace malvorn::base
