#pragma once

// The column checks of a batch's rows: each value checked as the literal
// that writes it would be, and made into the parameter SQLite binds, from the
// row's own memory where the value is stored as it came.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "localserver/number_fit.h"
#include "localserver/sqlite_db.h"
#include "localserver/values.h"
#include "oracle/session.h"

namespace malvorn::localserver {

// A bound value as the translation binds the literal that writes it.
SqlValue sqlValueOf(const oracle::BoundValue& value);
// One row's value for a column, checked as the literal's would be.
SqlValue checkedValue(const oracle::BoundValue& value, ColumnKind kind, const ColumnTarget& target);

// The columns of a batch's INSERT that each take one marker and nothing else:
// the target, the marker and the kind of each.
struct DirectColumns {
    std::vector<const ColumnTarget*> targets;
    std::vector<std::size_t> markers;
    std::vector<ColumnKind> kinds;
};

// How a column's values are checked when they come as its type expects:
// decided once for the batch.
enum class CellRule : std::uint8_t {
    kText,    // VARCHAR2 and NVARCHAR2: the length counted in place
    kClob,    // any length
    kNumber,  // NUMBER and FLOAT: rounded to the scale, the precision checked
    kDate,    // DATE and TIMESTAMP from a bound date
    kOther,   // the general conversion (CHAR's padding, BINARY_*, RAW, ...)
};

// The direct columns copied, so that the thread checking rows for them needs
// nothing of the session. Shared, as the targets point into `columns`.
struct DirectShape {
    std::string sql;
    std::size_t count = 0;
    std::vector<ColumnDef> columns;
    std::vector<ColumnTarget> targets;
    std::vector<std::size_t> markers;
    std::vector<ColumnKind> kinds;
    std::vector<CellRule> rules;
    std::vector<NumberFit> fits;  // of the kNumber columns
};

std::shared_ptr<const DirectShape> shapeOf(const std::string& sql, std::size_t count,
                                           const DirectColumns& direct);
// Whether rows checked for `shape` fit the plan a batch runs now: the table
// or its columns may have changed since.
bool fits(const DirectShape& shape, const std::string& sql, std::size_t count,
          const DirectColumns& direct);

// A batch's rows checked: row r's parameters from params[r * columns], in the
// direct columns' order, pointing into the rows' own texts or into `made`
// (keys, dates, texts the checks wrote). A row not `ready` goes the session's
// planned way, which gives the statement's own error.
struct CheckedRows : oracle::PreparedRows {
    std::shared_ptr<const DirectShape> shape;
    const oracle::BoundRow* rows = nullptr;  // the rows checked (their first)
    std::size_t rowCount = 0;
    std::vector<KeptParam> params;
    std::vector<std::string> made;
    std::vector<char> ready;
    Number number;  // each number checked in turn, in the memory it keeps
};

// Checks `rows` for `shape` into `into`, reusing the memory it holds. The
// parameters stay valid while `rows` and `into` are left unchanged.
void checkRows(const std::shared_ptr<const DirectShape>& shape,
               const std::vector<oracle::BoundRow>& rows, CheckedRows& into);

}  // namespace malvorn::localserver
