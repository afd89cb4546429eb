#include "core/migrate.h"

#include <chrono>
#include <set>

#include "convert/fixed_scripts.h"
#include "convert/safe_script.h"
#include "convert/script_files.h"
#include "convert/table_script.h"
#include "convert/typed_names.h"
#include "core/bulk_sender.h"
#include "core/migrate_verify.h"
#include "encoding/ascii.h"
#include "jet/jet_error.h"
#include "shell/files.h"
#include "shell/paths.h"
#include "shell/sql_text.h"
#include "transfer/carried_types.h"
#include "transfer/row_statements.h"
#include "transfer/safe_literals.h"

namespace malvorn::core {
namespace {

using shell::MessageIcon;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string failureText(const std::exception_ptr& failure) {
    return reportedError(failure).description();
}

// One migration run: the session, the Jet file and the rules, shared by the
// tables in turn.
class Migration {
  public:
    Migration(const MigrateFields& fields, Services& services, MigrateProgress& progress,
              oracle::Session& session, jet::JetSource& source)
        : f_(fields),
          services_(services),
          progress_(progress),
          session_(session),
          source_(source),
          date_(services.today()) {}

    void reserveConstraintNames(const std::vector<std::string>& tables);
    void migrate(TableOutcome& outcome);

  private:
    std::string serverName(const std::string& table) const {
        return f_.oracleSafe ? convert::oracleName(table) : table;
    }
    bool exists(const std::string& table);
    convert::ScriptLines script(const model::JetTableDef& table, TableOutcome& outcome);
    // False when the table was left as it is and no row is to be copied.
    bool prepareTable(const model::JetTableDef& table, TableOutcome& outcome);
    // The failure of a table that read short and is not accepted so.
    std::optional<std::string> copyRows(const model::JetTableDef& table, TableOutcome& outcome);

    const MigrateFields& f_;
    Services& services_;
    MigrateProgress& progress_;
    oracle::Session& session_;
    jet::JetSource& source_;
    convert::ScriptDate date_;
    convert::ConstraintNames constraintNames_;
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
            constraintNames_.reserve(*name);
    }
}

bool Migration::exists(const std::string& table) {
    // Both rules write a plain name unquoted: the dictionary keeps it in capitals.
    const auto count = session_.queryValue("SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = " +
                                           shell::quoteSqlText(convert::dictionaryName(table)));
    return count && !count->empty() && *count != "0";
}

convert::ScriptLines Migration::script(const model::JetTableDef& table, TableOutcome& outcome) {
    const convert::TableScriptOptions options{f_.indexTablespace, f_.tableTablespace,
                                              f_.suppressNotNull};
    if (!f_.oracleSafe) {
        outcome.notes = transfer::uncarriedWarnings(table);
        for (auto& note : transfer::leftOutNotes(table))
            outcome.notes.push_back(std::move(note));
        return convert::fMakeTableSQL(table, options, date_);
    }
    convert::SafeScript safe = convert::makeSafeTableSQL(table, options, date_, constraintNames_);
    outcome.notes = std::move(safe.notes);
    for (auto& note : transfer::leftOutNotes(table))
        outcome.notes.push_back(std::move(note));
    return std::move(safe.script);
}

bool Migration::prepareTable(const model::JetTableDef& table, TableOutcome& outcome) {
    const convert::ScriptLines lines = script(table, outcome);
    if (!f_.sqlFolder.empty()) {
        const std::string folder = shell::withTrailingSlash(f_.sqlFolder);
        shell::writeFileAtomically(folder + table.name + ".sql", lines.fileForm());
        convert::writeFixedScriptsIfMissing(folder, f_.connection, date_);
    }
    if (exists(table.name)) {
        if (f_.replace) {
            session_.execute("DROP TABLE " + serverName(table.name));
        } else if (f_.clear) {
            session_.execute(f_.oracleSafe ? transfer::safeClearStatement(table.name)
                                           : transfer::clearStatement(table.name));
            return true;
        } else {
            outcome.result = "表が既にあります (--replace で作り直し、--clear で行を入れ替え)";
            return false;
        }
    }
    session_.execute(lines.statementForm());
    return true;
}

std::optional<std::string> Migration::copyRows(const model::JetTableDef& table,
                                               TableOutcome& outcome) {
    const std::string head = f_.oracleSafe ? transfer::safeStatementHead(table.name, table.fields)
                                           : transfer::statementHead(table.name, table.fields);
    const auto rows = source_.openRows(table.name);
    const std::int64_t total = rows->recordedRowCount();
    progress_.rowsCopied(0, total);
    if (f_.bulkBatch > 0) {
        const BulkProgress shown{[&](std::int64_t sent) { progress_.rowsCopied(sent, total); },
                                 [&](std::int64_t row) { outcome.rowsRead = row; }};
        outcome.rowsRead =
            sendInBatches(session_, head, *rows, f_.bulkBatch, f_.oracleSafe, nullptr, shown);
    } else {
        jet::JetRow row;
        while (rows->next(row)) {
            ++outcome.rowsRead;
            const auto literals = f_.oracleSafe ? transfer::safeRowLiterals(rows->columns(), row)
                                                : transfer::rowLiterals(rows->columns(), row);
            session_.execute(transfer::rowStatement(head, literals));
            progress_.rowsCopied(outcome.rowsRead, total);
        }
    }
    if (jet::rowCountDiffers(*rows))
        outcome.notes.push_back("定義の行数 " + std::to_string(total) + " と読めた行数 " +
                                std::to_string(rows->deliveredRowCount()) + " が異なります");
    if (jet::rowsMissing(*rows) && !f_.acceptShortTables)
        return jet::shortTableMessage(f_.dbPath, table.name, rows->deliveredRowCount(), total);
    return std::nullopt;
}

// Why this table's name cannot go into its statements under these rules:
// the window's write it unquoted, the Oracle-safe ones quote it, and a
// quoted name cannot hold a double quote.
std::optional<std::string> tableNameProblem(const std::string& table, bool oracleSafe) {
    if (!oracleSafe)
        return convert::nameProblem(table, convert::NameKind::kTable);
    if (table.find('"') != std::string::npos || table.find('\0') != std::string::npos)
        return "テーブル名「" + table + "」の二重引用符は Oracle の名前に書けません";
    return std::nullopt;
}

void Migration::migrate(TableOutcome& outcome) {
    const auto start = Clock::now();
    if (const auto problem = tableNameProblem(outcome.table, f_.oracleSafe)) {
        outcome.result = *problem;
        return;
    }
    try {
        const model::JetTableDef table = source_.readTable(outcome.table);
        outcome.columns = table.fields.size();
        // Under the Oracle-safe rules every value is carried or the table fails.
        if (f_.oracleSafe)
            transfer::requireCarried(table);
        if (prepareTable(table, outcome)) {
            const auto missing = copyRows(table, outcome);
            const auto count =
                session_.queryValue("SELECT COUNT(*) FROM " + serverName(table.name));
            outcome.rowsOnServer = count ? std::stoll(*count) : 0;
            if (*outcome.rowsOnServer != outcome.rowsRead) {
                outcome.result = "サーバーの行数が読んだ行数と異なります";
            } else if (missing) {
                outcome.result = *missing;
            } else if (f_.verify) {
                const VerifyResult verified = verifyTable(session_, source_, table, f_.oracleSafe);
                outcome.rowsVerified = verified.rowsVerified;
                if (verified.difference)
                    outcome.result = *verified.difference;
            }
            outcome.ok = outcome.result.empty();
            if (outcome.ok)
                outcome.result = "ok";
        }
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
    const auto admin = f.sqlFolder.empty()
                           ? std::nullopt
                           : convert::adminScriptProblem(f.connection.user, f.connection.password);
    return passChecks(
        {
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
        shell::TitleForm::kError, services);
}

// The tables asked for, or every table of the user's: not the engine's
// hidden flat tables, which the table box still lists.
std::vector<std::string> tablesToMigrate(const MigrateFields& f, jet::JetSource& source) {
    if (!f.tables.empty())
        return f.tables;
    return source.userTableNames();
}

}  // namespace

bool MigrateReport::allOk() const {
    for (const auto& table : tables) {
        if (!table.ok)
            return false;
    }
    return true;
}

Outcome migrateDatabase(const MigrateFields& fields, Services& services, MigrateProgress& progress,
                        MigrateReport& report) {
    if (!checksPass(fields, services))
        return Outcome::kRefused;
    const BusyScope busy(services.front, Busy::kHourglass);
    const auto start = Clock::now();
    report.database = fields.dbPath;
    report.tables.clear();
    try {
        const auto source = services.openJet(fields.dbPath);
        const std::vector<std::string> tables = tablesToMigrate(fields, *source);
        const auto session = services.openSession(fields.connection);
        Migration migration(fields, services, progress, *session, *source);
        migration.reserveConstraintNames(tables);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            TableOutcome& outcome = report.tables.emplace_back();
            outcome.table = tables[i];
            progress.tableStarted(outcome.table, i + 1, tables.size());
            migration.migrate(outcome);
            progress.tableFinished(outcome);
        }
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
