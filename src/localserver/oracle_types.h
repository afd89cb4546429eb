#pragma once

#include <string>
#include <vector>

#include "localserver/ast.h"
#include "localserver/catalog.h"
#include "localserver/values.h"

namespace malvorn::localserver {

// The server's rules for what CREATE TABLE declares.

// ORA-00959 for a tablespace the server does not have.
void checkTablespace(const std::string& name);
// As checkTablespace, and ORA-02195 for the temporary one.
void checkPermanentTablespace(const std::string& name);

// The column a clause declares, as the dictionary shows it, after the
// server's checks of the type and its length, precision and scale; ORA-00957
// when `earlier` has the name already. The DEFAULT is kept, not checked.
ColumnDef declareColumn(const ast::ColumnClause& clause, const std::vector<ColumnDef>& earlier);

// The table's keys after the server's checks against the columns; primary
// key columns become NOT NULL, and an index without a tablespace of its own
// goes to the table's.
std::vector<KeyDef> declareKeys(const std::vector<ast::ConstraintClause>& clauses,
                                std::vector<ColumnDef>& columns, const std::string& tablespace);

// The SQLite table that holds the rows: columns c0, c1 ... and the keys.
std::string rowTableSql(const std::string& sqlName, const std::vector<ColumnDef>& columns,
                        const std::vector<KeyDef>& keys);

}  // namespace malvorn::localserver
