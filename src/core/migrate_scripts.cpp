#include "core/migrate_scripts.h"

#include <algorithm>

#include "base/files.h"
#include "base/paths.h"
#include "convert/fixed_scripts.h"
#include "convert/sqlplus_scripts.h"
#include "convert/typed_names.h"
#include "core/complex_tables.h"
#include "core/linked_source.h"
#include "core/migrate_report.h"
#include "core/stored_queries.h"
#include "jet/jet_error.h"
#include "transfer/carried_types.h"

namespace malvorn::core {
namespace {

using convert::SchemaStep;

// The options that only mean something with a server at the other end.
const char* serverOption(const MigrateFields& f) {
    if (f.verify)
        return "--verify";
    if (f.replace)
        return "--replace";
    if (f.clear)
        return "--clear";
    if (f.allowInvalid)
        return "--allow-invalid";
    if (f.bulkBatch > 0)
        return "--bulk";
    if (!f.journalPath.empty())
        return "--journal";
    if (f.acceptShortTables)
        return "--accept-short-tables";
    if (f.jobs > 1)
        return "--jobs";
    return nullptr;
}

// The step file a statement goes to.
const char* stepFile(SchemaStep step) {
    switch (step) {
        case SchemaStep::kIdentity:
            return kIdentityScriptName;
        case SchemaStep::kNotNull:
        case SchemaStep::kCheck:
            return kConstraintsScriptName;
        case SchemaStep::kIndex:
            return kIndexesScriptName;
        case SchemaStep::kForeignKey:
            return kForeignKeysScriptName;
        case SchemaStep::kComment:
            return kCommentsScriptName;
    }
    return kCommentsScriptName;
}

const char* stepWords(const std::string& file) {
    if (file == kIdentityScriptName)
        return "オートナンバーの採番を読み込んだ行の後から再開 (行を読み込んだ後に実行)";
    if (file == kConstraintsScriptName)
        return "NOT NULL と CHECK 制約";
    if (file == kIndexesScriptName)
        return "索引";
    if (file == kForeignKeysScriptName)
        return "外部キー";
    if (file == kCommentsScriptName)
        return "表と列の説明";
    return "ビュー (保存されたクエリ)";
}

TableOutcome* outcomeOf(std::vector<TableOutcome>& outcomes, const std::string& table) {
    const auto found = std::find_if(outcomes.begin(), outcomes.end(),
                                    [&](const TableOutcome& o) { return o.table == table; });
    return found == outcomes.end() ? nullptr : &*found;
}

void failTable(TableOutcome& outcome, const std::string& text) {
    outcome.ok = false;
    outcome.result = outcome.result == "ok" ? text : outcome.result + "; " + text;
    outcome.schema = outcome.result;
}

// The schema steps' files, each holding its statements in plan order. A
// statement SQL*Plus would not read whole fails its table instead.
void addStepFiles(const convert::SchemaPlan& plan, const std::string& database,
                  MigrationScripts& scripts) {
    const char* const order[] = {kIdentityScriptName, kConstraintsScriptName, kIndexesScriptName,
                                 kForeignKeysScriptName, kCommentsScriptName};
    for (const char* file : order) {
        std::string text =
            convert::sqlPlusHeader(std::string(stepWords(file)) + " (" + database + ")");
        for (const auto& statement : plan.statements) {
            TableOutcome* outcome = outcomeOf(scripts.tables, statement.table);
            if (outcome == nullptr || std::string(stepFile(statement.step)) != file)
                continue;
            if (const auto trap = convert::sqlPlusTrap(statement.sql)) {
                failTable(*outcome, std::string(convert::schemaStepName(statement.step)) + " " +
                                        statement.jetName + ": " + *trap);
                continue;
            }
            text += convert::sqlPlusStatement(statement.sql);
            if (statement.step == SchemaStep::kIndex)
                ++outcome->indexes;
            else if (statement.step == SchemaStep::kForeignKey)
                ++outcome->foreignKeys;
        }
        scripts.files.push_back({file, stepWords(file), text});
    }
}

void addViewsFile(jet::JetSource& file, const std::string& database, MigrationScripts& scripts) {
    try {
        scripts.views = planViews(storedQueries(file), false);
    } catch (const jet::JetError& e) {
        ViewOutcome failed;
        failed.query = "(保存されたクエリ)";
        failed.status = ViewStatus::kRefused;
        failed.reason = std::string("クエリの定義を読めません: ") + e.what();
        scripts.views = {failed};
        return;
    }
    for (auto& view : scripts.views) {
        if (view.status != ViewStatus::kPlanned)
            continue;
        if (const auto trap = convert::sqlPlusTrap(view.sql)) {
            view.status = ViewStatus::kRefused;
            view.reason = *trap;
        }
    }
    // A view built on one that cannot be written is left out with it.
    for (auto& view : scripts.views) {
        for (const auto& source : view.dependsOn) {
            const auto it = std::find_if(scripts.views.begin(), scripts.views.end(),
                                         [&](const ViewOutcome& v) { return v.query == source; });
            if (view.status == ViewStatus::kPlanned && it != scripts.views.end() &&
                it->status != ViewStatus::kPlanned) {
                view.status = ViewStatus::kLeftOut;
                view.reason = "元にするビュー " + source + " がスクリプトに書けません";
            }
        }
        if (view.status != ViewStatus::kPlanned)
            view.sql.clear();
    }
    scripts.files.push_back(
        {kViewsScriptName, stepWords(kViewsScriptName),
         convert::sqlPlusHeader(std::string(stepWords(kViewsScriptName)) + " (" + database + ")") +
             viewsScript(scripts.views)});
}

// One table's script, and its definition and schema for the steps after.
void addTableFile(const std::string& name, ComplexTables& source, const MigrateFields& fields,
                  const convert::ScriptDate& date, convert::ScriptFileNames& fileNames,
                  convert::ConstraintNames& constraintNames, MigrationScripts& scripts,
                  std::vector<convert::SchemaTable>& made) {
    TableOutcome& outcome = scripts.tables.emplace_back();
    outcome.table = name;
    if (const auto problem = tableNameProblem(name, true)) {
        outcome.result = *problem;
        return;
    }
    try {
        convert::SchemaTable table{source.readTable(name), source.readSchema(name)};
        transfer::requireCarried(table.definition);
        outcome.columns = table.definition.fields.size();
        convert::SafeScript safe = safeTableScript(table, fields, date, constraintNames);
        outcome.notes = std::move(safe.notes);
        outcome.names =
            tableNameMappings(table.definition, safe.keyName, source.complexColumnOf(name));
        const std::string file = fileNames.take(name);
        scripts.files.push_back(
            {file, name,
             convert::utf8TableScript(safe.script, "表 " + name + " (" + scripts.database + ")")});
        made.push_back(std::move(table));
        outcome.ok = true;
        outcome.result = "ok";
        outcome.schema = "ok";
    } catch (...) {
        outcome.result = reportedError(std::current_exception()).description();
    }
}

}  // namespace

std::optional<std::string> migrateOptionsProblem(const MigrateFields& f) {
    if (f.allowInvalid && !f.oracleSafe)
        return "--allow-invalid は --oracle-safe と一緒に指定してください";
    if (!f.scriptsOnly)
        return std::nullopt;
    if (!f.oracleSafe)
        return "--scripts-only は --oracle-safe と一緒に指定してください";
    if (f.sqlFolder.empty())
        return "--scripts-only には --sql-folder DIR を指定してください";
    if (const char* option = serverOption(f))
        return std::string("--scripts-only はサーバーに接続しません: ") + option +
               " は一緒に指定できません";
    return std::nullopt;
}

std::optional<std::string> tableNameProblem(const std::string& table, bool oracleSafe) {
    if (!oracleSafe)
        return convert::nameProblem(table, convert::NameKind::kTable);
    if (table.find('"') != std::string::npos || table.find('\0') != std::string::npos)
        return "テーブル名「" + table + "」の二重引用符は Oracle の名前に書けません";
    return std::nullopt;
}

convert::SafeScript safeTableScript(const convert::SchemaTable& table, const MigrateFields& fields,
                                    const convert::ScriptDate& date,
                                    convert::ConstraintNames& names) {
    convert::TableScriptOptions options{fields.indexTablespace, fields.tableTablespace,
                                        fields.suppressNotNull};
    options.identityColumns = convert::identityColumns(table);
    convert::SafeScript safe = convert::makeSafeTableSQL(table.definition, options, date, names);
    for (auto& note : transfer::leftOutNotes(table.definition))
        safe.notes.push_back(std::move(note));
    return safe;
}

bool MigrationScripts::allOk() const {
    return viewsOk(views) &&
           std::all_of(tables.begin(), tables.end(), [](const TableOutcome& t) { return t.ok; });
}

void planMigrationScripts(const MigrateFields& fields, jet::JetSource& file, const JetOpener& open,
                          const convert::ScriptDate& date, MigrationScripts& scripts) {
    scripts = {};
    // The tables as the live run reads them: followed links from their back ends.
    LinkedSource linked(file, fields.dbPath, open, fields.followLinks);
    scripts.links = linked.outcomes();
    ComplexTables source(linked);
    const auto tables =
        source.withChildTables(fields.tables.empty() ? source.userTableNames() : fields.tables);
    convert::ScriptFileNames fileNames;
    for (const std::string_view fixed :
         {std::string_view(convert::kSchemaMasterScriptName), std::string_view(kIdentityScriptName),
          std::string_view(kConstraintsScriptName), std::string_view(kIndexesScriptName),
          std::string_view(kForeignKeysScriptName), std::string_view(kCommentsScriptName),
          std::string_view(kViewsScriptName), convert::kBatchScriptName, convert::kAdminScriptName,
          convert::kLfidnoScriptName})
        fileNames.reserve(std::string(fixed));
    convert::ConstraintNames constraintNames;
    std::vector<convert::SchemaTable> made;
    const std::string database = base::gfFilePart(fields.dbPath);
    scripts.database = database;
    for (const auto& name : tables)
        addTableFile(name, source, fields, date, fileNames, constraintNames, scripts, made);
    const convert::SchemaPlan plan =
        convert::planSchema(made, fields.indexTablespace, constraintNames);
    for (const auto& note : plan.notes) {
        if (TableOutcome* outcome = outcomeOf(scripts.tables, note.table))
            outcome->notes.push_back(note.text);
    }
    addSchemaNames(plan, scripts.tables);
    addStepFiles(plan, database, scripts);
    if (fields.views && fields.tables.empty())
        addViewsFile(file, database, scripts);
    std::vector<std::string> names;
    for (const auto& script : scripts.files)
        names.push_back(script.name);
    scripts.files.push_back(
        {convert::kSchemaMasterScriptName, "", convert::schemaMasterScript(database, names)});
}

Outcome writeMigrationScripts(const MigrateFields& fields, Services& services,
                              MigrationScripts& scripts) {
    const auto options = migrateOptionsProblem(fields);
    const auto tablespace =
        convert::nameProblem(fields.tableTablespace, convert::NameKind::kTablespace);
    const auto index = convert::nameProblem(fields.indexTablespace, convert::NameKind::kTablespace);
    if (!passChecks(
            {
                {options.has_value(), options ? options->c_str() : "",
                 base::MessageIcon::kExclamation, Field::kNone},
                {isBlank(fields.dbPath), "ﾃﾞｰﾀﾍﾞｰｽﾌｧｲﾙが指定されていません",
                 base::MessageIcon::kExclamation, Field::kDbPath, Rule::kDbPathBlank},
                {!services.files.FileExists(fields.dbPath),
                 "該当するファイルは存在しません。 再入力してください。",
                 base::MessageIcon::kExclamation, Field::kDbPath, Rule::kDbPathMissing,
                 fields.dbPath},
                {!services.files.FolderExists(fields.sqlFolder), "格納先ディレクトリが存在しません",
                 base::MessageIcon::kExclamation, Field::kSqlFolder, Rule::kSqlFolderMissing,
                 fields.sqlFolder},
                {tablespace.has_value(), tablespace ? tablespace->c_str() : "",
                 base::MessageIcon::kExclamation, Field::kTablespace},
                {index.has_value(), index ? index->c_str() : "", base::MessageIcon::kExclamation,
                 Field::kIndex},
            },
            base::TitleForm::kError, services))
        return Outcome::kRefused;
    const BusyScope busy(services.front, Busy::kHourglass);
    try {
        const auto file = services.openJet(fields.dbPath);
        planMigrationScripts(fields, *file, services.openJet, services.today(), scripts);
        const std::string folder = base::withTrailingSlash(fields.sqlFolder);
        for (const auto& script : scripts.files)
            base::writeFileAtomically(folder + script.name, script.text);
    } catch (...) {
        showFailure(services, "移行エラー", "writeMigrationScripts", std::current_exception());
        return Outcome::kFailed;
    }
    return scripts.allOk() ? Outcome::kDone : Outcome::kFailed;
}

std::string scriptsSummary(const MigrationScripts& scripts) {
    std::string text = "スクリプト (UTF-8、実行順):\n";
    for (const auto& file : scripts.files)
        text += "  " + file.name + (file.holds.empty() ? "" : "  " + file.holds) + "\n";
    for (const auto& table : scripts.tables) {
        if (!table.ok)
            text += table.table + ": " + table.result + "\n";
    }
    for (const auto& table : scripts.tables) {
        for (const auto& note : table.notes)
            text += table.table + ": " + note + "\n";
    }
    return text + linksSummary(scripts.links) + viewsSummary(scripts.views);
}

}  // namespace malvorn::core
