#pragma once

// Which Oracle name each Access name became: tables, columns, the key,
// indexes, constraints, the child tables of complex columns. The report
// lists them so that an application can be changed to match.
#include <string>
#include <vector>

#include "convert/schema_ddl.h"
#include "model/jet_table.h"

namespace malvorn::core {

struct TableOutcome;

struct NameMapping {
    // "table", "childTable", "column", "primaryKey", "index", "notNull",
    // "check" or "foreignKey".
    std::string kind;
    std::string access;  // the Jet name (a child table: "<table>.<field>")
    std::string oracle;  // as a statement writes it, quoted when it must be
};

// The table (or, when `complexColumn` is not empty, the child table holding
// that column), its columns and its key constraint (`keyName`, none when
// empty).
std::vector<NameMapping> tableNameMappings(const model::JetTableDef& table,
                                           const std::string& keyName,
                                           const std::string& complexColumn);

// Each index and constraint of `plan` added to its table's names.
void addSchemaNames(const convert::SchemaPlan& plan, std::vector<TableOutcome>& outcomes);

// [{"kind": ..., "access": ..., "oracle": ...}, ...]
std::string nameMappingsJson(const std::vector<NameMapping>& names);

// The page's part: per table, a row per name with its kind. Empty when no
// table has names.
std::string nameMappingsHtml(const std::vector<TableOutcome>& tables);

}  // namespace malvorn::core
