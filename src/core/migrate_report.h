#pragma once

// The migration's report as text: the summary table a terminal shows and
// the JSON document for automation.
#include <string>

#include "core/migrate.h"

namespace malvorn::core {

// One line per table under a heading: table, columns, rows read, rows on
// the server, rows verified (when `verified`), and the result cut to
// `resultWidth` columns; then the notes, then a line of totals.
std::string migrateSummary(const MigrateReport& report, bool verified,
                           std::size_t resultWidth = 60);

// {"database": ..., "seconds": ..., "interrupted": bool, "tables": [{"table": ..., "columns": n,
// "rowsRead": n, "rowsOnServer": n or null, "rowsVerified": n, and after
// an Oracle-safe run's schema steps "indexes": n, "foreignKeys": n,
// "schema": "ok" or what went wrong,
// "result": "ok" or the message, "notes": [...], "seconds": x}]}
std::string migrateReportJson(const MigrateReport& report);

// `text` as a JSON string, quotes included.
std::string jsonText(const std::string& text);

// The columns a text takes on a terminal: two for wide (East Asian)
// characters, one for the others.
std::size_t displayWidth(const std::string& text);

}  // namespace malvorn::core
