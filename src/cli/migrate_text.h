#pragma once

// What `migrate` prints besides the core's summary: the failed tables'
// whole messages, a pointer to --oracle-safe, the --report path's check.
#include <string>

#include "core/migrate.h"

namespace malvorn::cli {

// One line per failed table with its whole result (the summary cuts it);
// empty when every table is ok.
std::string failedTablesText(const core::MigrateReport& report);

// A last line when tables failed under the window's rules in ways the
// --oracle-safe rules are written for: server refusals of a type, a name, a
// constraint name, a Null in a NOT NULL column, a long literal. Empty
// otherwise.
std::string oracleSafeHint(const core::MigrateReport& report);

// Refuses (UsageError naming it) a --report path whose folder is missing or
// not writable, or which is a folder itself; checked before any work.
void checkReportPath(const std::string& path);

}  // namespace malvorn::cli
