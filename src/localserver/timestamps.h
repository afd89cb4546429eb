#pragma once

#include <string>
#include <vector>

#include "localserver/sqlite_db.h"
#include "localserver/values.h"

namespace malvorn::localserver {

// A TIMESTAMP is kept as text: a DATE's stored form, then, when the fraction
// is not zero, a point and its digits without the trailing zeros
// ("2024-02-29 10:00:00.05"). A value has one text whatever precision it came
// with, so TIMESTAMPs of any precision and DATEs compare and sort as text,
// and keys see equal values as equal.
std::string formatStoredTimestamp(const DateTime& d);

// A stored TIMESTAMP or DATE, or the literal forms 'YYYY-MM-DD[ HH24:MI[:SS
// [.FF]]]' (also with '/'): up to nine digits of fraction (ORA-01830 past
// them), the server's date errors (ORA-01843, ORA-01847, ORA-01850 ...) for
// fields out of range, ORA-01861 for text of another shape.
DateTime parseTimestampText(const std::string& text);

// `d` rounded to `precision` digits of fraction (0..9), carried into the
// seconds and on; ORA-01841 past the year 9999.
DateTime roundedToPrecision(const DateTime& d, int precision);

// Text stored into a TIMESTAMP(precision) column: read, then rounded.
std::string storedTimestamp(const std::string& text, int precision);

// The text a TIMESTAMP(precision) shows: exactly `precision` digits of
// fraction, none and no point for 0.
std::string shownTimestamp(const DateTime& d, int precision);

// The function name the parser gives a literal TIMESTAMP 'text', which no
// call written by a user can have.
inline constexpr const char* kTimestampLiteral = "TIMESTAMP '";

// The SQL functions of TIMESTAMPs, called through timestampCall.
enum class TimestampFunction {
    kToTimestamp,  // (text, format or NULL): TO_TIMESTAMP and the TIMESTAMP literal
    kToChar,       // (timestamp, format or NULL, precision)
    kToPrecision,  // (date or timestamp, precision): CAST AS TIMESTAMP(p)
    kToDate,       // (date or timestamp): CAST AS DATE, the fraction dropped
    kNow,          // (): SYSTIMESTAMP, to the microsecond
};
std::string timestampCall(TimestampFunction function, const std::vector<std::string>& args);
void defineTimestampFunctions(SqliteDb& db);

}  // namespace malvorn::localserver
