#pragma once

// migrate --oracle-safe --scripts-only: the whole schema written as SQL*Plus
// scripts in run order, without a server. The statements are those the live
// migration sends (the same generators), so a DBA who runs the scripts gets
// the schema the migration would have made.
#include <optional>
#include <string>
#include <vector>

#include "convert/safe_script.h"
#include "convert/schema_ddl.h"
#include "core/migrate.h"

namespace malvorn::core {

// Why these migrate fields cannot go together (--allow-invalid without the
// Oracle-safe rules, --scripts-only without them, without a folder, or with
// an option that needs a server); nullopt when they can.
std::optional<std::string> migrateOptionsProblem(const MigrateFields& fields);

// Why this table's name cannot go into its statements under these rules:
// the window's write it unquoted, the Oracle-safe ones quote it, and a
// quoted name cannot hold a double quote.
std::optional<std::string> tableNameProblem(const std::string& table, bool oracleSafe);

// The Oracle-safe table script of `table` with its identity columns, and
// the notes of what it leaves out. Constraint names come from `names`.
convert::SafeScript safeTableScript(const convert::SchemaTable& table, const MigrateFields& fields,
                                    const convert::ScriptDate& date,
                                    convert::ConstraintNames& names);

// The step files after the table scripts, in run order.
inline constexpr const char* kIdentityScriptName = "Identity.sql";
inline constexpr const char* kConstraintsScriptName = "Constraints.sql";
inline constexpr const char* kIndexesScriptName = "Indexes.sql";
inline constexpr const char* kForeignKeysScriptName = "ForeignKeys.sql";
inline constexpr const char* kCommentsScriptName = "Comments.sql";
inline constexpr const char* kViewsScriptName = "Views.sql";

struct ScriptFile {
    std::string name;   // in the folder
    std::string holds;  // the Jet table, or the step's word
    std::string text;   // UTF-8
};

struct MigrationScripts {
    std::string database;
    // Per table: "ok" when its script was written, else why not; the notes
    // of what is left out; its secondary indexes and foreign keys written.
    std::vector<TableOutcome> tables;
    std::vector<ViewOutcome> views;  // planned (written) or left out
    std::vector<ScriptFile> files;   // in run order, the master script last
    std::vector<LinkOutcome> links;  // as the live run would treat them
    bool allOk() const;
};

// The scripts of `fields.tables` (every user table when empty, the links
// the live run follows among them; with every saved query's view when so)
// into `scripts`, nothing written. `open` reads a link's back end. Throws
// what the reader throws for a file it cannot read at all.
void planMigrationScripts(const MigrateFields& fields, jet::JetSource& file, const JetOpener& open,
                          const convert::ScriptDate& date, MigrationScripts& scripts);

// Checks the fields (the options, the file, the storage folder, the
// tablespaces), then writes each script of planMigrationScripts into
// `fields.sqlFolder`. kDone when every table and view could be written,
// kFailed when one could not (the others are written) or the file cannot
// be read, kRefused when a check failed.
Outcome writeMigrationScripts(const MigrateFields& fields, Services& services,
                              MigrationScripts& scripts);

// One line per file written, then each table that has none and why, the
// notes, the links, and the views left out.
std::string scriptsSummary(const MigrationScripts& scripts);

}  // namespace malvorn::core
