#pragma once

// Which columns the data copy carries, and the words for those it does not:
// a copy never drops a column's values without saying so.
#include <cstdint>
#include <string>
#include <vector>

#include "jet/jet_value.h"
#include "model/jet_table.h"

namespace malvorn::transfer {

// Whether the copy writes the values of a column of Jet type `typeCode` as
// they are. Multi-value and attachment columns (their rows hold only a link
// into the engine's hidden tables) and types the program does not know are
// not carried.
bool carriesValues(std::int16_t typeCode);

// The warning for each column of `columns` whose values are not carried,
// naming the table, the column and its type; empty when all are carried.
std::vector<std::string> uncarriedWarnings(const std::string& table,
                                           const std::vector<jet::JetColumn>& columns);
std::vector<std::string> uncarriedWarnings(const model::JetTableDef& table);

// The note for each column the reader left out of `table`, and for each
// calculated field, whose values are carried but not its expression.
std::vector<std::string> leftOutNotes(const model::JetTableDef& table);

// Under the Oracle-safe rules a column that cannot be carried fails its
// table: LiteralError naming the table, the column and the type.
void requireCarried(const model::JetTableDef& table);

}  // namespace malvorn::transfer
