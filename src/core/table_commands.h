#pragma once

#include <string>
#include <vector>

#include "convert/script_lines.h"
#include "core/command.h"
#include "model/connection.h"

namespace malvorn::core {

// The fields of the "JET=>Oracle" tab a conversion run reads.
struct ConvertFields {
    std::string table;  // cboTable's text
    std::string dbPath;
    std::string tableTablespace;
    std::string indexTablespace;
    std::string sqlFolder;
    bool suppressNotNull = false;
    bool createTable = true;  // chkCreateHyou
    bool saveSql = true;      // chkSaveSQL
    model::ConnectionFields connection;
};

// The conversion run of one table (開始 of "JETからOracleの表作成"): checks,
// settings saved, the script generated into `script`, stored, and the table
// created on the server after the existing one was dropped with consent. A
// failure after the checks is shown as the error report; what was done before
// it stays done.
Outcome convertTable(const ConvertFields& fields, Services& services, convert::ScriptLines& script);

// The table box's list and the path it was built from.
struct TableList {
    std::string sourcePath;
    std::vector<std::string> tables;
};

enum class TableListChange {
    kNone,     // the path was built from already, or it was refused: the list stands
    kRebuilt,  // the list now holds the tables of the path
    kCleared,  // the path passed the checks but could not be read: the list is empty
};

// What the table box does when it gets the focus: rebuilds the list of user
// tables when the path differs from the one it was built from, after
// checking the path.
TableListChange refreshTableList(const std::string& dbPath, TableList& list, Services& services);

// The fields the batch script reads.
struct BatchFields {
    std::string sqlFolder;
    std::string table;                // cboTable's text, shown in the status line
    model::ConnectionFields account;  // the user tab's user and password, the net service name
};

// Writes "CreateTables.sql" into the storage folder (SQLバッチ作成).
Outcome createBatch(const BatchFields& fields, Services& services);

}  // namespace malvorn::core
