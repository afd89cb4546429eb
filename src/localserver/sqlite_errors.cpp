// The server's errors for what SQLite refuses, for every statement and for
// the transaction controls alike.
#include "localserver/sqlite_errors.h"

#include "localserver/errors.h"
#include "localserver/parser.h"
#include "localserver/schema_catalog.h"

namespace malvorn::localserver {
namespace {

std::string keyName(const TableInfo& table, const SqliteError& e) {
    if (auto index = uniqueIndexNamed(table, e))
        return *index;
    for (const auto& key : table.keys) {
        if (e.kind() == SqliteError::Kind::kPrimaryKey && key.primary)
            return key.name;
        std::vector<std::string> columns;
        for (const int c : key.columns)
            columns.push_back("c" + std::to_string(c));
        if (e.kind() == SqliteError::Kind::kUniqueKey && !key.primary && columns == e.keyColumns())
            return key.name;
    }
    return "SYS_C0000000";
}

}  // namespace

void throwServerError(const SqliteError& e, const TableInfo* table) {
    switch (e.kind()) {
        case SqliteError::Kind::kPrimaryKey:
        case SqliteError::Kind::kUniqueKey:
            if (table)
                oraThrow(1, "unique constraint (" + table->owner + "." + keyName(*table, e) +
                                ") violated");
            break;
        case SqliteError::Kind::kBusy:
            oraThrow(54, "resource busy and acquire with NOWAIT specified or timeout expired");
        case SqliteError::Kind::kNoSuchTable:
            tableDoesNotExist();
        case SqliteError::Kind::kTooComplex:
            tooComplex();
        case SqliteError::Kind::kNotNull:
            break;
        case SqliteError::Kind::kOther:
            // A constraint's trigger raises the server's error itself.
            if (std::string_view(e.what()).starts_with("ORA-"))
                oraThrowText(e.what());
            break;
    }
    oraThrow(600, "internal error code, arguments: [" + std::string(e.what()) + "]");
}

}  // namespace malvorn::localserver
