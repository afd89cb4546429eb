#pragma once

// The read-back of a migrated table. A table with a key is read ORDER BY the
// key and compared, row by row and value by value, with the Jet rows in the
// same order; when the file's order is not the key's, the Jet rows are sorted
// by the key first, in bounded memory. A table without a key is compared as a
// count and an order-independent checksum of every column.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/jet_source.h"
#include "model/jet_table.h"
#include "oracle/session.h"

namespace malvorn::core {

enum class VerifyMethod { kKeyOrder, kChecksum };

// "key order" or "checksum", as the reports write it.
const char* verifyMethodName(VerifyMethod method);

struct VerifyLimits {
    // Jet rows held in memory while sorting by the key; beyond it they are
    // spilled to files under `tempFolder` (empty: the system's). Small, so
    // that a sorted read-back fits in what the copy before it freed.
    std::size_t sortBudget = std::size_t{1} << 20;
    std::string tempFolder = {};
};

struct VerifyResult {
    std::int64_t rowsVerified = 0;
    // The first row and column that differ, in words; nullopt when none.
    std::optional<std::string> difference;
    VerifyMethod method = VerifyMethod::kKeyOrder;
    bool sorted = false;          // the file's order was not the key's
    std::size_t spilledRuns = 0;  // runs the sort wrote to files
};

// Whether `server` (as the server shows it) holds the Jet value `value` of
// type `typeCode`: text exact (an empty text is Null), numbers equal as
// numbers, dates to the second, bytes as hexadecimal; a Null as the rules
// write it (the window's rules write Null numbers as 0).
bool sameValue(std::int16_t typeCode, const jet::JetValue& value, const oracle::Value& server,
               bool oracleSafe);

// The key the rules made the table's primary key (the Oracle-safe rules: the
// index the engine marks primary; the window's: the first index), as column
// positions; nullopt for a table without one.
std::optional<std::vector<std::size_t>> verifyKeyColumns(const model::JetTableDef& table,
                                                         bool oracleSafe);

// Reads the table back and compares it with the Jet rows. Throws what the
// session, the reader or the sort's files throw.
VerifyResult verifyTable(oracle::Session& session, jet::JetSource& source,
                         const model::JetTableDef& table, bool oracleSafe,
                         const VerifyLimits& limits = {});

}  // namespace malvorn::core
