#pragma once

#include "localserver/catalog.h"
#include "localserver/sqlite_db.h"

namespace malvorn::localserver {

// The server's error for what SQLite refused; `table` is the table a
// row-changing statement writes to, null for others.
[[noreturn]] void throwServerError(const SqliteError& e, const TableInfo* table);

}  // namespace malvorn::localserver
