#pragma once

#include <string>

#include "convert/script_lines.h"
#include "convert/script_text.h"
#include "model/jet_table.h"

namespace malvorn::convert {

// What the "JET=>Oracle" tab adds to a table definition.
struct TableScriptOptions {
    std::string indexTablespace;  // after USING INDEX TABLESPACE
    std::string tableTablespace;  // the closing TABLESPACE line
    bool suppressNotNull = false;
};

// The header's title: the table name left-aligned in a field of 20
// characters. A longer name is kept whole; the 70-byte box cuts what does not
// fit.
std::string titleText(const std::string& tableName);

// The boxed header of a table script up to "CREATE TABLE <createName>"; its
// fourth line, the row length, is left empty for closeTableScript.
ScriptLines openTableScript(const std::string& tableName, const std::string& createName,
                            const ScriptDate& date);

// The closing ")" and TABLESPACE lines, and the header's row-length line.
void closeTableScript(ScriptLines& script, const std::string& tableTablespace,
                      std::int64_t dataBytes, std::int64_t overheadBytes);

// The Oracle CREATE TABLE script for one Jet table: a boxed header with the
// row-length estimate, one line per field, a primary key from the first
// index, the tablespaces. The table name is used exactly as given.
ScriptLines fMakeTableSQL(const model::JetTableDef& table, const TableScriptOptions& options,
                          const ScriptDate& date);

}  // namespace malvorn::convert
