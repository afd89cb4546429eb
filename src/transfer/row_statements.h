#pragma once

// The statements of the data copy: the literal of each field value, the
// statement head built once per table, and the row statement.
#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "jet/jet_value.h"
#include "model/jet_table.h"

namespace malvorn::transfer {

// A value that has no literal Oracle can read back (a date outside the years
// 1 to 9999, an infinite or NaN number). The copy stops rather than write
// something else; `what()` is the message for the user.
class LiteralError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The SQL literal of one field value of Jet type `typeCode`:
// - Text, Memo: quoted, single quotes doubled; Null is ''.
// - Byte, Integer, Long, Currency, Single, Double, Decimal: the number,
//   unquoted, written so that it reads back as the same number; Null is 0.
// - Date/Time: 'yyyy-mm-dd' for a whole day, TO_DATE('yyyy-mm-dd hh24:mi:ss',
//   'YYYY-MM-DD HH24:MI:SS') when it has a time of day; Null is NULL.
// - Date/Time Extended: TO_TIMESTAMP('yyyy-mm-dd hh24:mi:ss.fffffff',
//   'YYYY-MM-DD HH24:MI:SS.FF7'), exact to the 100 ns; Null is NULL.
// - Large Number: the integer, exact, like the other numbers.
// - Yes/No: -1 for Yes, 0 for No (the engine's own numbers).
// - GUID: its text form quoted; Null is ''.
// - Binary, OLE object and other types: HEXTORAW('...') of the bytes; Null is
//   NULL.
std::string sqlLiteral(std::int16_t typeCode, const jet::JetValue& value);

// Number texts, each the shortest that reads back as the same value.
std::string doubleText(double value);
std::string singleText(float value);
// Exact: the scaled value with up to four decimals, no trailing zeros.
std::string currencyText(std::int64_t scaled);
// The date literal (see sqlLiteral), the time rounded to the nearest second.
std::string dateLiteral(double serial);

// A Jet date's calendar day and time of day, rounded to the second as the
// literal rounds it; LiteralError outside the years 1 to 9999.
struct DateParts {
    int year, month, day, hour, minute, second;
};
DateParts splitDate(double serial);

// A number value's shortest exact text (see sqlLiteral); nullopt for Null
// and for values that are no number.
std::optional<std::string> numberText(const jet::JetValue& value);
// The same without allocating: a view of `buffer` or of the value's own text.
using NumberBuffer = std::array<char, 64>;
std::optional<std::string_view> numberText(const jet::JetValue& value, NumberBuffer& buffer);

// "DELETE FROM " and the table name as given.
std::string clearStatement(const std::string& tableName);

// "INSERT INTO <table> (<columns>) VALUES": the column names are the field
// names narrowed as the table script narrows them, joined by ", ".
std::string statementHead(const std::string& tableName,
                          const std::vector<model::JetFieldDef>& fields);
// The same from the columns a row cursor delivers: the copy needs no more of
// the definition than its names.
std::string statementHead(const std::string& tableName, const std::vector<jet::JetColumn>& columns);

// The head, " (", the literals joined by ", ", ")".
std::string rowStatement(const std::string& head, const std::vector<std::string>& literals);

// The literals of one row, by the type codes of its columns.
std::vector<std::string> rowLiterals(const std::vector<jet::JetColumn>& columns,
                                     const jet::JetRow& row);

// Where a row comes from: the Jet file, the table, the row counted from 1.
struct RowPlace {
    std::string path;
    std::string table;
    std::int64_t row = 0;
};

// `e` with the place of the value and its column added to the message.
LiteralError placedError(const LiteralError& e, const RowPlace& place, const std::string& column);

// The same; a value without a literal is a LiteralError whose message
// names the file, the table, the row and the column.
std::vector<std::string> rowLiterals(const std::vector<jet::JetColumn>& columns,
                                     const jet::JetRow& row, const RowPlace& place);

// How one value becomes a literal: sqlLiteral, or the Oracle-safe rule.
using LiteralRule = std::string (*)(std::int16_t typeCode, const jet::JetValue& value);

// The literals of one row by `literal`; with a place, a value without a
// literal is named as above.
std::vector<std::string> rowLiteralsBy(LiteralRule literal,
                                       const std::vector<jet::JetColumn>& columns,
                                       const jet::JetRow& row, const RowPlace* place = nullptr);

}  // namespace malvorn::transfer
