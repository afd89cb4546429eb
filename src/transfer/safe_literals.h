#pragma once

// The data copy under the Oracle-safe rules: names as the safe script writes
// them, Nulls as NULL whatever the type, and values over the server's
// literal limit sent as concatenated pieces.
#include <string>
#include <vector>

#include "jet/jet_value.h"
#include "model/jet_table.h"

namespace malvorn::transfer {

// The most bytes one piece of a long value carries: a text literal's bytes,
// or a hexadecimal literal's bytes before they double.
inline constexpr std::size_t kTextPieceBytes = 4000;
inline constexpr std::size_t kBinaryPieceBytes = 2000;

// As sqlLiteral, except: Null is NULL for every type; a text over
// kTextPieceBytes is TO_CLOB('...') || TO_CLOB('...') cut between
// characters; bytes are HEXTORAW('...'), and beyond kBinaryPieceBytes
// TO_BLOB(HEXTORAW('...')) || ...; an empty byte value is NULL.
std::string safeLiteral(std::int16_t typeCode, const jet::JetValue& value);

// "INSERT INTO <table> (<columns>) VALUES" with the safe names.
std::string safeStatementHead(const std::string& tableName,
                              const std::vector<model::JetFieldDef>& fields);

// "DELETE FROM <table>" with the safe name.
std::string safeClearStatement(const std::string& tableName);

std::vector<std::string> safeRowLiterals(const std::vector<jet::JetColumn>& columns,
                                         const jet::JetRow& row);

// "yyyy-mm-dd hh24:mi:ss" of a Jet date, the time rounded to the second as
// the date literals round it. Throws LiteralError as they do.
std::string dateText(double serial);

}  // namespace malvorn::transfer
