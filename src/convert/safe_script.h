#pragma once

// The table script under the Oracle-safe rules: every Jet type gets an Oracle
// type, names Oracle cannot take unquoted are quoted, the key is the index
// Jet marks as primary, and defaults are translated or left out with a note.
// The header, frame and tablespaces are those of fMakeTableSQL.
#include <string>
#include <vector>

#include "convert/safe_names.h"
#include "convert/script_lines.h"
#include "convert/script_text.h"
#include "convert/table_script.h"
#include "model/jet_table.h"

namespace malvorn::convert {

struct SafeScript {
    ScriptLines script;
    std::vector<std::string> notes;  // what the script leaves out, in words for the user
};

// The Oracle type of a field: Text VARCHAR2(n CHAR), Memo CLOB, Yes/No
// NUMBER(1), Decimal NUMBER(p,s), GUID VARCHAR2(38), Binary RAW(n), OLE and
// unknown types BLOB; the others as the window maps them.
std::string safeOracleType(const model::JetFieldDef& field);

// The DEFAULT clause's expression for a field's stored default: Date()/Now()
// become SYSDATE, Yes/No defaults 0 or -1, "=0"-style numbers lose their "=".
// Empty when there is no default or it cannot be carried over.
std::string safeDefault(const model::JetFieldDef& field);

// No column is NOT NULL: Oracle stores an empty text as Null, so a required
// Jet field could not take its own empty values. `options.suppressNotNull`
// is therefore moot. The constraint name comes from `names`.
SafeScript makeSafeTableSQL(const model::JetTableDef& table, const TableScriptOptions& options,
                            const ScriptDate& date, ConstraintNames& names);

}  // namespace malvorn::convert
