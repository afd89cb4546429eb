#include "core/table_commands.h"

#include "base/files.h"
#include "base/paths.h"
#include "convert/fixed_scripts.h"
#include "convert/script_files.h"
#include "convert/table_script.h"
#include "convert/typed_names.h"
#include "encoding/ascii.h"
#include "oracle/existing_table.h"
#include "oracle/operation.h"

namespace malvorn::core {
namespace {

using base::MessageIcon;

bool convertChecksPass(const ConvertFields& f, Services& services) {
    // The window's rules write the typed table name unquoted into every
    // statement and script; the stored scripts carry the connection user.
    const auto table = convert::nameProblem(f.table, convert::NameKind::kTable);
    const auto tablespace = convert::nameProblem(f.tableTablespace, convert::NameKind::kTablespace);
    const auto index = convert::nameProblem(f.indexTablespace, convert::NameKind::kTablespace);
    const auto admin = f.saveSql
                           ? convert::adminScriptProblem(f.connection.user, f.connection.password)
                           : std::nullopt;
    return passChecks(
        {
            {isBlank(f.table), "テーブル名が指定されていません", MessageIcon::kCritical,
             Field::kNone, Rule::kTableBlank},
            {table.has_value(), table ? table->c_str() : "", MessageIcon::kExclamation,
             Field::kTable},
            {admin.has_value(), admin ? admin->c_str() : "", MessageIcon::kExclamation,
             Field::kNone},
            {f.createTable && encoding::equalsIgnoringAsciiCase(f.connection.user, "system"),
             "表の所有者がSYSTEMユーザになっています", MessageIcon::kCritical, Field::kNone,
             Rule::kOwnerIsSystem, f.connection.user},
            {isBlank(f.tableTablespace), "表領域名を入力してください", MessageIcon::kExclamation,
             Field::kTablespace, Rule::kTablespaceBlank},
            {isBlank(f.indexTablespace), "索引表領域名を入力してください",
             MessageIcon::kExclamation, Field::kIndex, Rule::kIndexTablespaceBlank},
            {tablespace.has_value(), tablespace ? tablespace->c_str() : "",
             MessageIcon::kExclamation, Field::kTablespace},
            {index.has_value(), index ? index->c_str() : "", MessageIcon::kExclamation,
             Field::kIndex},
            {f.saveSql && isBlank(f.sqlFolder), "格納先ディレクトリを入力してください",
             MessageIcon::kExclamation, Field::kSqlFolder, Rule::kSqlFolderBlank},
            {f.saveSql && !services.files.FolderExists(f.sqlFolder),
             "格納先ディレクトリが存在しません", MessageIcon::kExclamation, Field::kSqlFolder,
             Rule::kSqlFolderMissing, f.sqlFolder},
        },
        base::TitleForm::kError, services);
}

void storeScripts(const ConvertFields& f, const convert::ScriptLines& script,
                  const convert::ScriptDate& date) {
    const std::string folder = base::withTrailingSlash(f.sqlFolder);
    base::writeFileAtomically(folder + f.table + ".sql", script.fileForm());
    convert::writeFixedScriptsIfMissing(folder, f.connection, date);
}

void createOnServer(const ConvertFields& f, const convert::ScriptLines& script,
                    Services& services) {
    const auto session = services.openSession(f.connection);
    oracle::fDropIfExists(*session, f.table, services.messages);
    // A No to the drop leaves the old table: the server then refuses the
    // CREATE, and that is reported like any other refusal.
    session->execute(script.statementForm());
}

// An unreadable folder holds no script the batch could name.
bool holdsScripts(const std::string& folder) {
    try {
        return !base::listFiles(folder, ".sql").empty();
    } catch (const base::FileError&) {
        return false;
    }
}

}  // namespace

Outcome convertTable(const ConvertFields& fields, Services& services,
                     convert::ScriptLines& script) {
    if (!convertChecksPass(fields, services))
        return Outcome::kRefused;
    const BusyScope busy(services.front, Busy::kHourglass);
    try {
        services.front.saveSettings();
        script.clear();
        const convert::ScriptDate date = services.today();
        const model::JetTableDef table = services.openJet(fields.dbPath)->readTable(fields.table);
        script = convert::fMakeTableSQL(
            table, {fields.indexTablespace, fields.tableTablespace, fields.suppressNotNull}, date);
        if (fields.saveSql)
            storeScripts(fields, script, date);
        if (fields.createTable)
            createOnServer(fields, script, services);
    } catch (...) {
        showFailure(services, "ﾃｰﾌﾞﾙ作成ｴﾗｰ", "cmdConvert_Click", std::current_exception());
        // Not the last run's "完了" left standing over this one's failure.
        services.front.setStatus(fields.table + " 失敗");
        return Outcome::kFailed;
    }
    services.messages.beep();
    services.front.setStatus(fields.table + " 完了");
    return Outcome::kDone;
}

TableListChange refreshTableList(const std::string& dbPath, TableList& list, Services& services) {
    if (list.sourcePath == dbPath)
        return TableListChange::kNone;
    const std::string ending = dbPath.size() >= 3 ? dbPath.substr(dbPath.size() - 3) : dbPath;
    const bool passed = passChecks(
        {
            {dbPath.empty(), "ﾃﾞｰﾀﾍﾞｰｽﾌｧｲﾙが指定されていません", MessageIcon::kExclamation,
             Field::kDbPath, Rule::kDbPathBlank},
            {ending != "mdb" && ending != "sdb", "拡張子に誤りがあります。 再入力してください。",
             MessageIcon::kExclamation, Field::kDbPath, Rule::kDbPathExtension, dbPath},
            {!services.files.FileExists(dbPath),
             "該当するファイルは存在しません。 再入力してください。", MessageIcon::kExclamation,
             Field::kDbPath, Rule::kDbPathMissing, dbPath},
        },
        base::TitleForm::kBracketedError, services);
    if (!passed)
        return TableListChange::kNone;

    list.tables.clear();
    try {
        for (auto& name : services.openJet(dbPath)->tableNames()) {
            if (!name.starts_with("MSys"))
                list.tables.push_back(std::move(name));
        }
    } catch (const std::exception& error) {
        // The list stays empty and the path is not taken as the list's
        // source, so the next focus reads the file again.
        list.tables.clear();
        services.messages.show(error.what(), MessageIcon::kExclamation, base::MessageButtons::kOk,
                               base::TitleForm::kBracketedError);
        services.front.focus(Field::kDbPath);
        return TableListChange::kCleared;
    }
    list.sourcePath = dbPath;
    return TableListChange::kRebuilt;
}

Outcome createBatch(const BatchFields& fields, Services& services) {
    const bool passed = passChecks(
        {
            {isBlank(fields.sqlFolder), "格納先ディレクトリを入力してください",
             MessageIcon::kExclamation, Field::kSqlFolder, Rule::kSqlFolderBlank},
            {!services.files.FolderExists(fields.sqlFolder), "格納先ディレクトリが存在しません",
             MessageIcon::kExclamation, Field::kSqlFolder, Rule::kSqlFolderMissing,
             fields.sqlFolder},
            {services.files.FolderExists(fields.sqlFolder) && !holdsScripts(fields.sqlFolder),
             "格納先ディレクトリにSQLファイルが存在しません", MessageIcon::kExclamation,
             Field::kSqlFolder, Rule::kSqlFolderWithoutScripts, fields.sqlFolder},
        },
        base::TitleForm::kPlain, services);
    if (!passed)
        return Outcome::kRefused;
    const BusyScope busy(services.front, Busy::kHourglass);
    services.front.setStatus(fields.table + "ＳＱＬバッチ作成 開始", true);
    try {
        services.front.saveSettings();
        convert::writeBatchScript(fields.sqlFolder, fields.account, services.today());
    } catch (...) {
        showFailure(services, "SQLﾊﾞｯﾁ作成ｴﾗｰ", "cmdCreateBatch_Click", std::current_exception());
        services.front.setStatus("ＳＱＬバッチ作成 失敗");
        return Outcome::kFailed;
    }
    services.messages.beep();
    services.front.setStatus("ＳＱＬバッチ作成 完了");
    return Outcome::kDone;
}

}  // namespace malvorn::core
