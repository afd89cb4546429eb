#pragma once

// The data copy with bound values: one INSERT with placeholders per table,
// each row's values bound to it. The values are what the literals write.
#include <string>
#include <vector>

#include "jet/jet_value.h"
#include "oracle/session.h"
#include "transfer/row_statements.h"

namespace malvorn::transfer {

// The value sqlLiteral writes for a field of Jet type `typeCode`, as a bound
// value: numbers as their exact text (Null 0), Yes/No as -1 or 0, texts and
// GUIDs as text (Null ''), dates as the day and time of day (Null NULL),
// bytes as bytes. With `safe`, the Oracle-safe rules: Null is NULL for every
// type but Yes/No, and empty bytes are NULL. LiteralError as sqlLiteral.
oracle::BoundValue boundValue(std::int16_t typeCode, const jet::JetValue& value, bool safe);
// Whether an exact number (integer, currency, Yes/No) is bound with its text,
// or with its units only, for a driver that reads nothing else
// (oracle::RowPreparer::readsUnitsOnly).
enum class ExactText : bool { kWritten, kLeftOut };

// The same into `out`, reusing the memory it holds.
void assignBoundValue(oracle::BoundValue& out, std::int16_t typeCode, const jet::JetValue& value,
                      bool safe, ExactText exactText = ExactText::kWritten);

// The head (statementHead or safeStatementHead) and one "?" per column:
// "<head> (?, ?, ?)".
std::string placeholderStatement(const std::string& head, std::size_t columns);

// The bound values of one row; a value without one is a LiteralError whose
// message names the place (when given) and the column, as rowLiterals says it.
oracle::BoundRow rowValues(const std::vector<jet::JetColumn>& columns, const jet::JetRow& row,
                           bool safe, const RowPlace* place);
// The same into `out`, reusing the memory of the values it holds.
void rowValuesInto(const std::vector<jet::JetColumn>& columns, const jet::JetRow& row, bool safe,
                   const RowPlace* place, oracle::BoundRow& out,
                   ExactText exactText = ExactText::kWritten);

}  // namespace malvorn::transfer
