#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "localserver/sqlite_db.h"

namespace malvorn::localserver {

// One column as the dictionary describes it.
struct ColumnDef {
    std::string name;
    std::string
        dataType;  // VARCHAR2, NVARCHAR2, CHAR, NUMBER, FLOAT, DATE, TIMESTAMP(6), CLOB, BLOB, RAW
    int dataLength = 0;  // bytes, as ALL_TAB_COLUMNS shows it
    std::optional<int> precision;
    std::optional<int> scale;
    int charLength = 0;          // declared length of character columns
    bool charSemantics = false;  // VARCHAR2(n CHAR), NVARCHAR2: length counts characters
    bool nullable = true;
    std::string defaultText;  // the DEFAULT expression as written; empty for none
    bool operator==(const ColumnDef&) const = default;
};

// ---- numbers ----

// Reads a number as the server reads text converted to NUMBER: blanks around,
// optional sign, digits with one optional point, optional exponent.
std::optional<SqlValue> parseNumber(const std::string& text);
// The plain decimal text of a number (no exponent for ordinary magnitudes).
std::string formatNumber(const SqlValue& value);
// Text as Oracle converts a value to VARCHAR2.
std::string valueToText(const SqlValue& value);
double toDouble(const SqlValue& value);
// A value as NUMBER: text is converted (ORA-01722 when it is not a number);
// nullopt for NULL.
std::optional<Number> numberOf(const SqlValue& value);

// ---- dates ----

struct DateTime {
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int nanosecond = 0;  // a TIMESTAMP's fraction of a second; 0 for a DATE
};

// Dates are stored as "YYYY-MM-DD HH:MM:SS", which sorts and compares as text.
std::string formatStoredDate(const DateTime& date);
// The same into `out`, in the memory it holds.
void formatStoredDateInto(const DateTime& date, std::string& out);
std::optional<DateTime> readStoredDate(const std::string& text);
// The literal forms accepted where a DATE is expected: 'YYYY-MM-DD' (the
// Japanese default), 'YYYY/MM/DD', either followed by ' HH24:MI[:SS]'.
// Throws the server's date errors for malformed text.
DateTime parseDateLiteral(const std::string& text);
// TO_DATE(text, format); with `fractions` (TO_TIMESTAMP) the format may
// hold FF[1-9], else FF is ORA-01821.
DateTime parseDateWithFormat(const std::string& text, const std::string& format,
                             bool fractions = false);
// TO_CHAR(date, format). `precision` is a TIMESTAMP's, which a bare FF
// prints; -1 for a DATE, whose format may not hold FF (ORA-01821).
std::string formatDateWithFormat(const DateTime& date, const std::string& format,
                                 int precision = -1);
DateTime currentDateTime();

// ---- column checks ----

// What is being stored, for the server's messages: "OWNER"."TABLE"."COLUMN".
struct ColumnTarget {
    std::string owner;
    std::string table;
    const ColumnDef* column = nullptr;
    bool update = false;  // UPDATE words its NOT NULL error differently
};

// Converts a value to what the column stores and makes the server's checks:
// '' is NULL; NOT NULL (ORA-01400/ORA-01407), character length in bytes of
// AL32UTF8 or in characters (ORA-12899), NUMBER precision and rounding to the
// scale (ORA-01438), text into NUMBER (ORA-01722), text into DATE.
SqlValue coerceForColumn(const ColumnTarget& target, const SqlValue& value);

// What coerceForColumn does by the column's type, which a batch of rows
// decides once for each column.
enum class ColumnKind { kCharacter, kNumber, kDate, kBytes };
ColumnKind columnKind(const ColumnDef& column);
// coerceForColumn for a column of `kind`, taking the value over.
SqlValue coerceForKind(ColumnKind kind, const ColumnTarget& target, SqlValue value);
// A date stored into a column of `kind` as its literal would be, checked as
// the literal is, into `out`; false (storedDateFor: nullopt) where the
// literal's text must decide (not a DATE column, or a field beyond what the
// stored form writes).
bool storedDateInto(ColumnKind kind, const DateTime& date, std::string& out);
inline std::optional<SqlValue> storedDateFor(ColumnKind kind, const DateTime& date) {
    std::string stored;
    return storedDateInto(kind, date, stored) ? std::optional<SqlValue>(stored) : std::nullopt;
}
// A text's length as the character column counts it (bytes, or characters
// with character semantics), ORA-12899 past its maximum; 0 for a CLOB,
// which takes any length. The text is not NULL ('').
std::size_t checkCharacterLength(const ColumnTarget& target, std::string_view text);
// A number stored into a NUMBER or FLOAT column (not BINARY_FLOAT or
// BINARY_DOUBLE): rounded to the column's scale, ORA-01438 past its precision.
void fitNumberToColumn(Number& number, const ColumnDef& column);

}  // namespace malvorn::localserver
