#pragma once

// The schema steps of an Oracle-safe migration, run once every table holds
// its rows: identity restarts, NOT NULL and CHECK constraints, indexes,
// foreign keys, comments (see convert/schema_ddl.h). A constraint that old
// rows break fails with their count, or with --allow-invalid is made
// ENABLE NOVALIDATE; either way the table's result says so.
#include <string>
#include <vector>

#include "convert/schema_ddl.h"
#include "core/migrate.h"
#include "core/migrate_journal.h"
#include "oracle/session.h"

namespace malvorn::core {

// The journal's key of a statement: step, table and the Jet name it carries.
std::string schemaKey(const convert::SchemaStatement& statement);

// Reserves in `names` the index and table names of the schema that this
// run does not drop (`replaced`: the dictionary names of the tables it
// drops). A server without USER_INDEXES reserves its table names only.
void reserveSchemaNames(oracle::Session& session, const std::vector<std::string>& replaced,
                        convert::ConstraintNames& names);

// Runs `plan` on `session`, recording each statement done in `journal` (if
// any) and skipping those it records already. Each table's outcome gets its
// counts, its "schema" word, the plan's notes, and fails when one of its
// statements does.
void runSchemaSteps(oracle::Session& session, const convert::SchemaPlan& plan, bool allowInvalid,
                    JournalFile* journal, std::vector<TableOutcome>& outcomes);

}  // namespace malvorn::core
