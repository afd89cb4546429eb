#pragma once

// migrate --verify over the schema an Oracle-safe run made: the server's
// dictionary (USER_CONSTRAINTS, USER_CONS_COLUMNS, USER_INDEXES,
// USER_IND_COLUMNS, USER_TAB_IDENTITY_COLS, USER_TAB_COMMENTS,
// USER_COL_COMMENTS) read back and held against the Jet file's facts, so
// that what someone changed behind the run, or what the server made of a
// statement otherwise than meant, is named.
#include <string>
#include <vector>

#include "convert/schema_ddl.h"
#include "core/migrate.h"
#include "oracle/session.h"

namespace malvorn::core {

// For each table whose schema steps all went through: its primary key (the
// key's columns in order), and for each statement of `plan`: the identity
// column, the NOT NULL or CHECK constraint, the index (uniqueness, columns
// in order, DESC), the foreign key (columns, the table it refers to, ON
// DELETE CASCADE or not), the comment's text. The table's differences
// become its `schema` and fail it.
void verifySchema(oracle::Session& session, const std::vector<convert::SchemaTable>& tables,
                  const convert::SchemaPlan& plan, std::vector<TableOutcome>& outcomes);

// One line per table the schema steps ran for: its indexes, foreign keys
// and "ok" or the difference. Empty when none ran.
std::string schemaSummary(const std::vector<TableOutcome>& tables);

}  // namespace malvorn::core
