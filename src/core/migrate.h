#pragma once

// The whole-database migration: for each table of a Jet file, the script,
// the table on the server, its rows, the server's count and, when asked,
// every value read back. A failing table does not stop the others.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/command.h"
#include "core/interruption.h"
#include "core/linked_source.h"
#include "core/migrate_verify.h"
#include "core/migrate_views.h"
#include "core/name_map.h"
#include "model/connection.h"

namespace malvorn::core {

struct MigrateFields {
    std::string dbPath;
    std::vector<std::string> tables;  // empty: every table the table box lists
    std::string sqlFolder;            // empty: no scripts are stored
    std::string tableTablespace = "users";
    std::string indexTablespace = "indx";
    bool suppressNotNull = false;
    bool replace = false;     // drop an existing table and create it anew
    bool clear = false;       // copy into an existing table after emptying it
    bool oracleSafe = false;  // the rules that work for any Jet file
    bool verify = false;      // read every row back and compare
    // Oracle-safe rules: a constraint old rows break is made ENABLE
    // NOVALIDATE (new rows checked, old ones kept) instead of failing.
    bool allowInvalid = false;
    model::ConnectionFields connection;
    std::size_t bulkBatch = 0;  // rows per batch of bound values; 0: one INSERT per row
    // A table that gives fewer rows than its definition records fails unless
    // this is set; either way the notes keep both counts.
    bool acceptShortTables = false;
    // Looked at between rows, batches and tables; when true the run ends
    // there, the table being copied reported as interrupted.
    StopRequested stopRequested = {};
    std::string journalPath;  // empty: no journal is kept
    bool resume = false;      // take up the run the journal records
    // Under the Oracle-safe rules a run over every table also makes the saved
    // SELECT and UNION queries views; false (--no-views) leaves them out.
    bool views = true;
    // Under the Oracle-safe rules: only write the whole schema as SQL*Plus
    // scripts into sqlFolder (migrate_scripts.h); no server is reached.
    bool scriptsOnly = false;
    // The read-back's sort of Jet rows by the key: its memory and spill folder.
    VerifyLimits verifyLimits = {};
    // Tables migrated at once, each over a session and a Jet reader of its
    // own; the report, the summary and the journal are as for one.
    std::size_t jobs = 1;
    // Links to tables of other Jet files are migrated from those files.
    bool followLinks = false;
};

// What happened to one table.
struct TableOutcome {
    std::string table;
    std::size_t columns = 0;
    std::int64_t rowsRead = 0;
    std::optional<std::int64_t> rowsOnServer;  // nullopt: never counted
    std::int64_t rowsVerified = 0;
    bool ok = false;
    std::string result;              // "ok", or the server's or the reader's message
    std::vector<std::string> notes;  // what the rules left out
    double seconds = 0;
    bool interrupted = false;  // stopped on request; rowsRead were committed
    // Oracle-safe rules: the secondary indexes and foreign keys made after
    // the rows, and "ok" or what went wrong with the table's schema (empty
    // when no schema step ran for it).
    std::size_t indexes = 0;
    std::size_t foreignKeys = 0;
    std::string schema = {};
    // How the rows were read back: "key order" or "checksum" (a table
    // without a key); empty when they were not.
    std::string verifiedBy = {};
    // Oracle-safe rules: each Access name of the table beside the Oracle
    // name it became.
    std::vector<NameMapping> names = {};
};

struct MigrateReport {
    std::string database;
    std::vector<TableOutcome> tables;
    double seconds = 0;
    bool interrupted = false;             // the run stopped on request before its end
    std::vector<ViewOutcome> views = {};  // in the order they were created
    std::vector<LinkOutcome> links = {};  // the file's links, named in the summary
    // The target server as read before any work; empty when it did not say.
    std::string serverRelease = {};
    std::string serverCharacterSet = {};
    std::vector<std::string> notes = {};  // of the run as a whole: the server
    bool allOk() const;
};

// What a front shows while the migration runs. Everything defaults to nothing.
class MigrateProgress {
  public:
    virtual ~MigrateProgress() = default;
    // Table `number` (from 1) of `total` begins.
    virtual void tableStarted(const std::string& /*table*/, std::size_t /*number*/,
                              std::size_t /*total*/) {}
    // `done` rows of the `total` the file records have been sent.
    virtual void rowsCopied(std::int64_t /*done*/, std::int64_t /*total*/) {}
    // The same for the table named: with jobs, several tables copy at once.
    // The calls never overlap, whichever job makes them.
    virtual void tableRowsCopied(const std::string& /*table*/, std::int64_t done,
                                 std::int64_t total) {
        rowsCopied(done, total);
    }
    virtual void tableFinished(const TableOutcome&) {}
};

// Checks the fields (file, storage folder, not SYSTEM, the journal to
// resume), then migrates each table into `report`. kDone when every table is
// ok, kFailed when any is not, or the file cannot be read at all (shown as
// the error report), kRefused when a check failed, kInterrupted when a stop
// was asked for.
Outcome migrateDatabase(const MigrateFields& fields, Services& services, MigrateProgress& progress,
                        MigrateReport& report);

}  // namespace malvorn::core
