#pragma once
// Shared by the ALTER TABLE column statements (alter_columns*.cpp).

#include <cstdint>
#include <string>

#include "localserver/sqlite_db.h"
#include "localserver/values.h"

namespace malvorn::localserver {

// The SQLite affinity of a column's c<i>: NUMERIC for numbers, else TEXT.
std::string columnAffinity(const ColumnDef& column);

}  // namespace malvorn::localserver
