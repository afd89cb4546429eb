#pragma once

// The migration's report as a page a person reads and forwards: one HTML
// file with its style inside, no scripts, fonts or pictures from elsewhere.
#include <string>

#include "core/migrate.h"

namespace malvorn::core {

// The page: the database, the totals, then a row per table (rows read, on
// the server, verified when `verified`, seconds, result, and a bar of the
// table's share of the time), then the notes. Every text is escaped. The
// page is also well-formed XML, so that any XML reader can take it apart.
std::string migrateReportHtml(const MigrateReport& report, bool verified);

// The report for the file `path`: the page when the name ends in ".html" or
// ".htm" (any case), the JSON document otherwise.
std::string migrateReportFor(const std::string& path, const MigrateReport& report, bool verified);

// `text` with &, <, >, " and ' written as entities.
std::string htmlText(const std::string& text);

}  // namespace malvorn::core
