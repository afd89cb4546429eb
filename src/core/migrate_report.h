#pragma once

// The migration's report as text: the summary table a terminal shows and
// the JSON document for automation.
#include <string>

#include "core/migrate.h"

namespace malvorn::core {

// One line per table under a heading: table, columns, rows read, rows on
// the server, rows verified and how (when `verified`), and the result cut to
// `resultWidth` columns; then the notes, then a line of totals ending in the
// server's release.
std::string migrateSummary(const MigrateReport& report, bool verified,
                           std::size_t resultWidth = 60);

// {"database": ..., "seconds": ..., "interrupted": bool, "tables": [{"table": ..., "columns": n,
// "rowsRead": n, "rowsOnServer": n or null, "rowsVerified": n, once read back
// "verifiedBy": "key order" or "checksum", and after
// an Oracle-safe run's schema steps "indexes": n, "foreignKeys": n,
// "schema": "ok" or what went wrong,
// "result": "ok" or the message, "notes": [...], "seconds": x}], and for a
// front-end file "links": linksJson}
std::string migrateReportJson(const MigrateReport& report);

// How a table was read back, as the summary and the page write it: キー順
// (key order), チェックサム (checksum), "-" when it was not.
std::string verifiedByLabel(const TableOutcome& table);

// The server the run went to, for the line of totals: "、サーバー Oracle
// 19.0.0.0.0 (AL32UTF8)"; empty when the run read none.
std::string serverLabel(const MigrateReport& report);

// `text` as a JSON string, quotes included.
std::string jsonText(const std::string& text);

// The columns a text takes on a terminal: two for wide (East Asian)
// characters, one for the others.
std::size_t displayWidth(const std::string& text);

}  // namespace malvorn::core
