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

// "YYYY-MM-DD HH:MM:SS" written at `out` (19 characters, no terminator), by
// hand: the copy writes one for every date it sends. False, with `out` left
// part-written, when a field is negative or wider than its digits.
bool writeDateTimeText(char* out, int year, int month, int day, int hour, int minute, int second);

}  // namespace malvorn::base
