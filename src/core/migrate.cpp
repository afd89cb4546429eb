#include "core/migrate.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>

#include "base/files.h"
#include "base/paths.h"
#include "base/sql_text.h"
#include "convert/fixed_scripts.h"
#include "convert/safe_script.h"
#include "convert/script_files.h"
#include "convert/table_script.h"
#include "convert/typed_names.h"
#include "core/bulk_sender.h"
#include "core/complex_tables.h"
#include "core/linked_source.h"
#include "core/migrate_jobs.h"
#include "core/migrate_journal.h"
#include "core/migrate_schema.h"
#include "core/migrate_scripts.h"
#include "core/migrate_verify.h"
#include "core/row_sender.h"
#include "core/server_check.h"
#include "core/verify_schema.h"
#include "encoding/ascii.h"
#include "jet/jet_error.h"
#include "transfer/carried_types.h"
#include "transfer/row_statements.h"
#include "transfer/safe_literals.h"

namespace malvorn::core {
namespace {

using base::MessageIcon;
using Clock = std::chrono::steady_clock;

// The row-by-row copy commits each row; the journal follows every so many.
constexpr std::int64_t kJournalEvery = 1000;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string failureText(const std::exception_ptr& failure) {
    return reportedError(failure).description();
}

// What the tables of one run share, whichever job migrates them: the names
// given out, the schemas read (in the file's order), the journal and the
// front's progress, each touched under the lock.
struct SharedRun {
    SharedRun(JournalFile* file, MigrateProgress& shown) : journal(file), progress(shown) {}
    std::mutex lock;
    JournalFile* journal;
    MigrateProgress& progress;
    convert::ConstraintNames constraintNames = {};
    std::vector<convert::SchemaTable> schemas = {};  // Oracle-safe: each table read, in order
};

// One job of a migration run: a session, a reader of the Jet file and the
// rules, used by the tables it takes in turn.
class Migration {
  public:
    Migration(const MigrateFields& fields, Services& services, SharedRun& shared,
              oracle::Session& session, jet::JetSource& source)
        : f_(fields),
          services_(services),
          shared_(shared),
          session_(session),
          source_(source),
          date_(services.today()) {}

    void reserveConstraintNames(const std::vector<std::string>& tables);
    // The table's definition is read and its names taken within `turn`.
    void migrate(TableOutcome& outcome, TableTurn& turn);
    // The schema steps for the tables that arrived whole.
    void schemaSteps(std::vector<TableOutcome>& outcomes);

  private:
    std::string serverName(const std::string& table) const {
        return f_.oracleSafe ? convert::oracleName(table) : table;
    }
    bool exists(const std::string& table);
    std::int64_t serverCount(const std::string& table);
    convert::ScriptLines script(const model::JetTableDef& table, TableOutcome& outcome);
    // The rows already on the server to go on after (0 for a new or emptied
    // table); nullopt when the table was left as it is and no row is to be
    // copied. `past`: the journal's entry for the table when resuming.
    std::optional<std::int64_t> prepareTable(const model::JetTableDef& table, TableOutcome& outcome,
                                             const JournalTable* past);
    std::int64_t emptyTable(const model::JetTableDef& table);
    // The failure of a table that read short and is not accepted so.
    std::optional<std::string> copyRows(const model::JetTableDef& table, TableOutcome& outcome,
                                        std::int64_t from);
    bool finishedBefore(const JournalTable* past, TableOutcome& outcome);
    void countAndVerify(const model::JetTableDef& table, TableOutcome& outcome,
                        const std::optional<std::string>& shortfall);
    void record(const std::string& table, TablePhase phase, std::int64_t rows = 0) {
        reached_ = phase;
        const std::lock_guard lock(shared_.lock);
        if (shared_.journal)
            shared_.journal->record({table, phase, rows});
    }
    std::optional<JournalTable> journalEntry(const std::string& table) {
        const std::lock_guard lock(shared_.lock);
        const JournalTable* found =
            shared_.journal ? shared_.journal->journal().find(table) : nullptr;
        return found ? std::optional<JournalTable>(*found) : std::nullopt;
    }
    void showRows(const std::string& table, std::int64_t done, std::int64_t total) {
        const std::lock_guard lock(shared_.lock);
        shared_.progress.tableRowsCopied(table, done, total);
    }

    const MigrateFields& f_;
    Services& services_;
    SharedRun& shared_;
    oracle::Session& session_;
    jet::JetSource& source_;
    convert::ScriptDate date_;
    TableTurn* turn_ = nullptr;                          // the current table's
    std::optional<convert::SchemaTable> currentSchema_;  // Oracle-safe: the current table's
    std::int64_t committed_ = 0;  // rows of the current table known to be on the server
    TablePhase reached_ = TablePhase::kCreating;  // the current table's last phase
};

// Constraint names of tables this run leaves standing are taken already.
void Migration::reserveConstraintNames(const std::vector<std::string>& tables) {
    if (!f_.oracleSafe)
        return;
    std::set<std::string> replaced;
    for (const auto& table : tables)
        replaced.insert(convert::dictionaryName(table));
    const auto rows = session_.query("SELECT CONSTRAINT_NAME, TABLE_NAME FROM USER_CONSTRAINTS");
    while (rows->next()) {
        const auto name = rows->value(0);
        const auto table = rows->value(1);
        if (name && (!f_.replace || !table || replaced.count(*table) == 0))
            shared_.constraintNames.reserve(*name);
    }
    reserveSchemaNames(session_,
                       f_.replace ? std::vector<std::string>(replaced.begin(), replaced.end())
                                  : std::vector<std::string>{},
                       shared_.constraintNames);
}

void Migration::schemaSteps(std::vector<TableOutcome>& outcomes) {
    if (!f_.oracleSafe)
        return;
    std::vector<convert::SchemaTable> arrived;
    for (const auto& schema : shared_.schemas) {
        const auto outcome = std::find_if(outcomes.begin(), outcomes.end(), [&](const auto& o) {
            return o.table == schema.definition.name;
        });
        if (outcome != outcomes.end() && outcome->ok)
            arrived.push_back(schema);
    }
    const convert::SchemaPlan plan =
        convert::planSchema(arrived, f_.indexTablespace, shared_.constraintNames);
    runSchemaSteps(session_, plan, f_.allowInvalid, shared_.journal, outcomes);
    addSchemaNames(plan, outcomes);
    if (f_.verify)
        verifySchema(session_, arrived, plan, outcomes);
}

bool Migration::exists(const std::string& table) {
    // Both rules write a plain name unquoted: the dictionary keeps it in capitals.
    const auto count = session_.queryValue("SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = " +
                                           base::quoteSqlText(convert::dictionaryName(table)));
    return count && !count->empty() && *count != "0";
}

std::int64_t Migration::serverCount(const std::string& table) {
    const auto count = session_.queryValue("SELECT COUNT(*) FROM " + serverName(table));
    return count ? std::stoll(*count) : 0;
}

convert::ScriptLines Migration::script(const model::JetTableDef& table, TableOutcome& outcome) {
    if (!f_.oracleSafe) {
        const convert::TableScriptOptions options{f_.indexTablespace, f_.tableTablespace,
                                                  f_.suppressNotNull};
        outcome.notes = transfer::uncarriedWarnings(table);
        for (auto& note : transfer::leftOutNotes(table))
            outcome.notes.push_back(std::move(note));
        return convert::fMakeTableSQL(table, options, date_);
    }
    // The same script --scripts-only writes.
    convert::SafeScript safe = [&] {
        const std::lock_guard lock(shared_.lock);
        return safeTableScript(*currentSchema_, f_, date_, shared_.constraintNames);
    }();
    outcome.notes = std::move(safe.notes);
    const auto* complex = dynamic_cast<const ComplexTables*>(&source_);
    outcome.names =
        tableNameMappings(table, safe.keyName, complex ? complex->complexColumnOf(table.name) : "");
    return std::move(safe.script);
}

std::int64_t Migration::emptyTable(const model::JetTableDef& table) {
    record(table.name, TablePhase::kClearing);
    session_.execute(f_.oracleSafe ? transfer::safeClearStatement(table.name)
                                   : transfer::clearStatement(table.name));
    record(table.name, TablePhase::kCreated);
    return 0;
}

std::optional<std::int64_t> Migration::prepareTable(const model::JetTableDef& table,
                                                    TableOutcome& outcome,
                                                    const JournalTable* past) {
    const convert::ScriptLines lines = script(table, outcome);
    turn_->pass();  // the names are taken: the next table may take its own
    if (!f_.sqlFolder.empty()) {
        const std::string folder = base::withTrailingSlash(f_.sqlFolder);
        base::writeFileAtomically(folder + table.name + ".sql", lines.fileForm());
        convert::writeFixedScriptsIfMissing(folder, f_.connection, date_);
    }
    const bool there = exists(table.name);
    if (past && past->phase >= TablePhase::kCreated && there) {
        // Rows go in file order, each commit holding whole rows, into a table
        // this run made or emptied: the server's n rows are the file's first
        // n. The journal follows the commits, so n is at least its count
        // (more when the run ended between a commit and the journal's next
        // write). With the file unchanged, going on after row n gives every
        // row once; fewer rows than the journal says means someone else
        // changed the table, and it is copied anew.
        const std::int64_t held = serverCount(table.name);
        if (held >= past->rows) {
            record(table.name, TablePhase::kCopying, held);
            return held;
        }
        return emptyTable(table);
    }
    if (past && past->phase == TablePhase::kClearing && there)
        return emptyTable(table);
    // A table the journal saw being made is this run's own, whatever state
    // the statement left it in; otherwise the options decide.
    const bool ours = past && past->phase != TablePhase::kClearing;
    if (there) {
        if (f_.replace || ours) {
            record(table.name, TablePhase::kCreating);
            // Foreign keys of other tables may refer to it; they go with it.
            session_.execute("DROP TABLE " + serverName(table.name) +
                             (f_.oracleSafe ? " CASCADE CONSTRAINTS" : ""));
        } else if (f_.clear) {
            return emptyTable(table);
        } else {
            outcome.result = "表が既にあります (--replace で作り直し、--clear で行を入れ替え)";
            return std::nullopt;
        }
    }
    record(table.name, TablePhase::kCreating);
    session_.execute(lines.statementForm());
    record(table.name, TablePhase::kCreated);
    return 0;
}

std::optional<std::string> Migration::copyRows(const model::JetTableDef& table,
                                               TableOutcome& outcome, std::int64_t from) {
    const std::string head = f_.oracleSafe ? transfer::safeStatementHead(table.name, table.fields)
                                           : transfer::statementHead(table.name, table.fields);
    const auto rows = source_.openRows(table.name);
    const std::int64_t total = rows->recordedRowCount();
    committed_ = from;
    jet::JetRow row;
    // The rows the server holds already are read past.
    while (outcome.rowsRead < from && rows->next(row)) {
        if (++outcome.rowsRead % kJournalEvery == 0 && stopWanted(f_.stopRequested))
            throw Interrupted(0);
    }
    showRows(table.name, outcome.rowsRead, total);
    if (f_.bulkBatch > 0) {
        const BulkProgress shown{[&](std::int64_t sent) {
                                     committed_ = from + sent;
                                     record(table.name, TablePhase::kCopying, committed_);
                                     showRows(table.name, committed_, total);
                                 },
                                 [&](std::int64_t at) { outcome.rowsRead = from + at; },
                                 f_.stopRequested};
        outcome.rowsRead = from + sendInBatches(session_, head, *rows, f_.bulkBatch, f_.oracleSafe,
                                                nullptr, shown);
    } else {
        const auto statementFor = [&](const jet::JetRow& read, std::int64_t) {
            return transfer::rowStatement(
                head, f_.oracleSafe ? transfer::safeRowLiterals(rows->columns(), read)
                                    : transfer::rowLiterals(rows->columns(), read));
        };
        const RowProgress shown{[&](std::int64_t k) { outcome.rowsRead = from + k; },
                                [&](std::int64_t k) {
                                    committed_ = from + k;
                                    if (committed_ % kJournalEvery == 0)
                                        record(table.name, TablePhase::kCopying, committed_);
                                    showRows(table.name, committed_, total);
                                },
                                f_.stopRequested};
        sendRowByRow(session_, *rows, statementFor, shown);
    }
    record(table.name, TablePhase::kCopying, outcome.rowsRead);
    if (jet::rowCountDiffers(*rows))
        outcome.notes.push_back("定義の行数 " + std::to_string(total) + " と読めた行数 " +
                                std::to_string(rows->deliveredRowCount()) + " が異なります");
    if (jet::rowsMissing(*rows) && !f_.acceptShortTables)
        return jet::shortTableMessage(f_.dbPath, table.name, rows->deliveredRowCount(), total);
    return std::nullopt;
}

// A table the journal has as done, still holding its rows: left alone.
bool Migration::finishedBefore(const JournalTable* past, TableOutcome& outcome) {
    const bool done = past && (past->phase == TablePhase::kVerified ||
                               (past->phase == TablePhase::kCopied && !f_.verify));
    if (!done || !exists(past->table) || serverCount(past->table) != past->rows)
        return false;
    outcome.rowsRead = past->rows;
    outcome.rowsOnServer = past->rows;
    outcome.rowsVerified = past->phase == TablePhase::kVerified ? past->rows : 0;
    outcome.ok = true;
    outcome.result = "ok";
    outcome.notes.push_back("前回の移行で済んでいます (ジャーナル)");
    return true;
}

void Migration::countAndVerify(const model::JetTableDef& table, TableOutcome& outcome,
                               const std::optional<std::string>& shortfall) {
    outcome.rowsOnServer = serverCount(table.name);
    if (*outcome.rowsOnServer != outcome.rowsRead) {
        outcome.result = "サーバーの行数が読んだ行数と異なります";
        return;
    }
    // A table that read short is not done: a resumed run copies it again.
    if (shortfall) {
        outcome.result = *shortfall;
        return;
    }
    record(table.name, TablePhase::kCopied, outcome.rowsRead);
    if (!f_.verify)
        return;
    // The read-back is as long as the copy: a stop asked for is not kept
    // waiting for it.
    if (stopWanted(f_.stopRequested))
        throw Interrupted(0);
    const VerifyResult verified =
        verifyTable(session_, source_, table, f_.oracleSafe, f_.verifyLimits);
    outcome.rowsVerified = verified.rowsVerified;
    outcome.verifiedBy = verifyMethodName(verified.method);
    if (verified.difference)
        outcome.result = *verified.difference;
    else
        record(table.name, TablePhase::kVerified, outcome.rowsRead);
}

void Migration::migrate(TableOutcome& outcome, TableTurn& turn) {
    const auto start = Clock::now();
    turn_ = &turn;
    if (const auto problem = tableNameProblem(outcome.table, f_.oracleSafe)) {
        outcome.result = *problem;
        return;
    }
    committed_ = 0;
    reached_ = TablePhase::kCreating;
    try {
        const model::JetTableDef table = source_.readTable(outcome.table);
        outcome.columns = table.fields.size();
        // Under the Oracle-safe rules every value is carried or the table fails.
        currentSchema_.reset();
        if (f_.oracleSafe) {
            transfer::requireCarried(table);
            currentSchema_ = convert::SchemaTable{table, source_.readSchema(table.name)};
            const std::lock_guard lock(shared_.lock);
            shared_.schemas.push_back(*currentSchema_);
        }
        const std::optional<JournalTable> entry = journalEntry(table.name);
        const JournalTable* past = entry ? &*entry : nullptr;
        if (finishedBefore(past, outcome)) {
            outcome.seconds = secondsSince(start);
            return;
        }
        if (const auto from = prepareTable(table, outcome, past)) {
            const auto shortfall = copyRows(table, outcome, *from);
            countAndVerify(table, outcome, shortfall);
            outcome.ok = outcome.result.empty();
            if (outcome.ok)
                outcome.result = "ok";
        }
    } catch (const Interrupted&) {
        outcome.interrupted = true;
        outcome.rowsRead = committed_;
        outcome.result = "中断 (" + std::to_string(committed_) + " 行目まで)";
        if (reached_ < TablePhase::kCopied)
            record(outcome.table, TablePhase::kCopying, committed_);
    } catch (...) {
        outcome.ok = false;
        outcome.result = failureText(std::current_exception());
    }
    outcome.seconds = secondsSince(start);
}

bool checksPass(const MigrateFields& f, Services& services) {
    // The stored scripts carry the connection user and password.
    const auto tablespace = convert::nameProblem(f.tableTablespace, convert::NameKind::kTablespace);
    const auto index = convert::nameProblem(f.indexTablespace, convert::NameKind::kTablespace);
    const auto options = migrateOptionsProblem(f);
    const auto admin = f.sqlFolder.empty()
                           ? std::nullopt
                           : convert::adminScriptProblem(f.connection.user, f.connection.password);
    return passChecks(
        {
            {options.has_value(), options ? options->c_str() : "", MessageIcon::kExclamation,
             Field::kNone},
            {isBlank(f.dbPath), "ﾃﾞｰﾀﾍﾞｰｽﾌｧｲﾙが指定されていません", MessageIcon::kExclamation,
             Field::kDbPath, Rule::kDbPathBlank},
            {!services.files.FileExists(f.dbPath),
             "該当するファイルは存在しません。 再入力してください。", MessageIcon::kExclamation,
             Field::kDbPath, Rule::kDbPathMissing, f.dbPath},
            {encoding::equalsIgnoringAsciiCase(f.connection.user, "system"),
             "表の所有者がSYSTEMユーザになっています", MessageIcon::kCritical, Field::kUserId,
             Rule::kOwnerIsSystem, f.connection.user},
            {!f.sqlFolder.empty() && !services.files.FolderExists(f.sqlFolder),
             "格納先ディレクトリが存在しません", MessageIcon::kExclamation, Field::kSqlFolder,
             Rule::kSqlFolderMissing, f.sqlFolder},
            {tablespace.has_value(), tablespace ? tablespace->c_str() : "",
             MessageIcon::kExclamation, Field::kTablespace},
            {index.has_value(), index ? index->c_str() : "", MessageIcon::kExclamation,
             Field::kIndex},
            {admin.has_value(), admin ? admin->c_str() : "", MessageIcon::kExclamation,
             Field::kNone},
        },
        base::TitleForm::kError, services);
}

// The tables asked for, or every table of the user's: not the engine's
// hidden flat tables, which the table box still lists. Under the Oracle-safe
// rules each is followed by the child tables of its complex columns.
std::vector<std::string> tablesToMigrate(const MigrateFields& f, jet::JetSource& source,
                                         const ComplexTables* complex) {
    const auto tables = f.tables.empty() ? source.userTableNames() : f.tables;
    return complex ? complex->withChildTables(tables) : tables;
}

// One job's own session and reader of the Jet file, made when it takes its
// first table.
struct JobContext {
    std::unique_ptr<jet::JetSource> file;
    std::unique_ptr<LinkedSource> linked;
    std::unique_ptr<ComplexTables> complex;
    std::unique_ptr<oracle::Session> session;
    std::unique_ptr<Migration> migration;
};

void migrateOne(Migration& migration, SharedRun& shared, TableOutcome& outcome, std::size_t index,
                std::size_t total, TableTurns* turns) {
    {
        const std::lock_guard lock(shared.lock);
        shared.progress.tableStarted(outcome.table, index + 1, total);
    }
    {
        TableTurn turn(turns, index);
        migration.migrate(outcome, turn);
    }
    const std::lock_guard lock(shared.lock);
    shared.progress.tableFinished(outcome);
}

// The tables in the file's order on one job (the run's own session and
// reader), or side by side on up to `fields.jobs`, each job over a session
// and a reader of its own. The report lists the tables begun, in the file's
// order, whichever job finished first.
void migrateTables(const MigrateFields& fields, Services& services, SharedRun& shared,
                   Migration& first, const std::vector<std::string>& tables,
                   MigrateReport& report) {
    std::vector<TableOutcome> outcomes(tables.size());
    std::vector<char> begun(tables.size(), 0);
    std::vector<JobContext> jobs(std::max<std::size_t>(fields.jobs, 1));
    TableTurns turns;
    std::atomic<bool> interrupted = false;
    const auto more = [&] { return !interrupted && !stopWanted(fields.stopRequested); };
    runJobs(jobs.size(), tables.size(), more, [&](std::size_t job, std::size_t index) {
        TableOutcome& outcome = outcomes[index];
        outcome.table = tables[index];
        begun[index] = 1;
        Migration* migration = job == 0 ? &first : jobs[job].migration.get();
        if (!migration) {
            try {
                JobContext& context = jobs[job];
                context.file = services.openJet(fields.dbPath);
                context.linked = std::make_unique<LinkedSource>(
                    *context.file, fields.dbPath, services.openJet, fields.followLinks);
                if (fields.oracleSafe)
                    context.complex = std::make_unique<ComplexTables>(*context.linked);
                context.session = services.openSession(fields.connection);
                jet::JetSource& source = context.complex
                                             ? static_cast<jet::JetSource&>(*context.complex)
                                             : *context.linked;
                context.migration =
                    std::make_unique<Migration>(fields, services, shared, *context.session, source);
                migration = context.migration.get();
            } catch (...) {
                // The table fails with what stopped its job; its turn passes.
                TableTurn turn(&turns, index);
                outcome.result = failureText(std::current_exception());
                return;
            }
        }
        migrateOne(*migration, shared, outcome, index, tables.size(), &turns);
        if (outcome.interrupted)
            interrupted = true;
    });
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (begun[i]) {
            report.interrupted = report.interrupted || outcomes[i].interrupted;
            report.tables.push_back(std::move(outcomes[i]));
        }
    }
    if (stopWanted(fields.stopRequested) && report.tables.size() < tables.size())
        report.interrupted = true;
}

}  // namespace

bool MigrateReport::allOk() const {
    for (const auto& table : tables) {
        if (!table.ok)
            return false;
    }
    return viewsOk(views);
}

Outcome migrateDatabase(const MigrateFields& fields, Services& services, MigrateProgress& progress,
                        MigrateReport& report) {
    if (!checksPass(fields, services))
        return Outcome::kRefused;
    std::unique_ptr<JournalFile> journal;
    try {
        if (!fields.journalPath.empty())
            journal = std::make_unique<JournalFile>(fields.journalPath, fields.dbPath,
                                                    fields.oracleSafe, fields.resume);
    } catch (const std::runtime_error& e) {
        services.messages.show(e.what(), MessageIcon::kExclamation, base::MessageButtons::kOk,
                               base::TitleForm::kError);
        return Outcome::kRefused;
    }
    const BusyScope busy(services.front, Busy::kHourglass);
    const auto start = Clock::now();
    report.database = fields.dbPath;
    report.tables.clear();
    report.links.clear();
    report.views.clear();
    report.interrupted = false;
    try {
        const auto file = services.openJet(fields.dbPath);
        LinkedSource linked(*file, fields.dbPath, services.openJet, fields.followLinks);
        report.links = linked.outcomes();
        const auto complex = fields.oracleSafe ? std::make_unique<ComplexTables>(linked) : nullptr;
        jet::JetSource& source = complex ? *complex : static_cast<jet::JetSource&>(linked);
        const std::vector<std::string> tables = tablesToMigrate(fields, source, complex.get());
        const auto session = services.openSession(fields.connection);
        if (!serverAccepted(*session, fields, services, report))
            return Outcome::kRefused;
        SharedRun shared(journal.get(), progress);
        Migration migration(fields, services, shared, *session, source);
        migration.reserveConstraintNames(tables);
        migrateTables(fields, services, shared, migration, tables, report);
        if (!report.interrupted && !stopWanted(fields.stopRequested))
            migration.schemaSteps(report.tables);
        if (report.interrupted) {
            if (journal)
                journal->markInterrupted();
            report.seconds = secondsSince(start);
            return Outcome::kInterrupted;
        }
        migrateViews({fields.oracleSafe && fields.views && fields.tables.empty(),
                      fields.replace || fields.resume, fields.verify},
                     *file, *session, report.views);
        if (!fields.sqlFolder.empty())
            convert::writeBatchScript(fields.sqlFolder, fields.connection, services.today());
    } catch (...) {
        showFailure(services, "移行エラー", "migrateDatabase", std::current_exception());
        report.seconds = secondsSince(start);
        return Outcome::kFailed;
    }
    report.seconds = secondsSince(start);
    if (!report.allOk())
        return Outcome::kFailed;
    services.messages.beep();
    return Outcome::kDone;
}

}  // namespace malvorn::core
