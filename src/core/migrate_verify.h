#pragma once

// The read-back of a migrated table: every server row against the Jet row
// in the same place, value by value, under the literal rules.
#include <cstdint>
#include <optional>
#include <string>

#include "jet/jet_source.h"
#include "model/jet_table.h"
#include "oracle/session.h"

namespace malvorn::core {

struct VerifyResult {
    std::int64_t rowsVerified = 0;
    // The first row and column that differ, in words; nullopt when none.
    std::optional<std::string> difference;
};

// Whether `server` (as the server shows it) holds the Jet value `value` of
// type `typeCode`: text exact (an empty text is Null), numbers equal as
// numbers, dates to the second, bytes as hexadecimal; a Null as the rules
// write it (the window's rules write Null numbers as 0).
bool sameValue(std::int16_t typeCode, const jet::JetValue& value, const oracle::Value& server,
               bool oracleSafe);

// Reads the table back in the server's stored order and compares it with
// the Jet rows in file order. Throws what the session or the reader throw.
VerifyResult verifyTable(oracle::Session& session, jet::JetSource& source,
                         const model::JetTableDef& table, bool oracleSafe);

}  // namespace malvorn::core
