#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/jet_error.h"
#include "jet/jet_value.h"
#include "model/jet_schema.h"
#include "model/jet_table.h"
#include "model/stored_query.h"

namespace malvorn::jet {

// The rows of one table, pulled one at a time so that memory stays flat
// however long the table is. Values come in the order of columns().
class JetRowCursor {
  public:
    virtual ~JetRowCursor() = default;
    virtual const std::vector<JetColumn>& columns() const = 0;
    // The row count the table definition records (the progress total); the
    // rows actually delivered may differ in a damaged file.
    virtual std::int64_t recordedRowCount() const = 0;
    // The rows next() has delivered so far. Once next() returned false, a
    // count other than recordedRowCount() means rows were lost or the count
    // is stale: callers warn (rowCountWarning). Fewer rows (rowsMissing)
    // fail a command-line copy unless the user accepts short tables.
    virtual std::int64_t deliveredRowCount() const = 0;
    // Fills `row` with the next row; false at the end. Throws JetError.
    virtual bool next(JetRow& row) = 0;
};

// One opened Jet database, read only. Every operation throws JetError.
// A cursor must be finished or destroyed before the next call on its source.
inline bool rowCountDiffers(const JetRowCursor& rows) {
    return rows.deliveredRowCount() != rows.recordedRowCount();
}
// Fewer rows came out than the definition records: rows were lost. More is
// a stale count, which files written by the real engines show.
inline bool rowsMissing(const JetRowCursor& rows) {
    return rows.deliveredRowCount() < rows.recordedRowCount();
}

class JetSource {
  public:
    virtual ~JetSource() = default;

    // Every table of the database, system tables included, sorted by name
    // without regard to case.
    virtual std::vector<std::string> tableNames() = 0;

    // The user's tables only, sorted as tableNames(): what the command line
    // lists and migrates (see isUserTable).
    virtual std::vector<std::string> userTableNames() = 0;

    // The definition of the table `name`; the result carries `name` as given.
    // A first index without key columns is left out (there is nothing to
    // build a key from).
    virtual model::JetTableDef readTable(const std::string& name) = 0;

    virtual std::unique_ptr<JetRowCursor> openRows(const std::string& name) = 0;

    // The rows of one of the engine's flat tables behind a complex column, as
    // openRows gives them but with a FileData column (an attachment's) holding
    // the attached file's bytes. A source that cannot unpack them refuses.
    virtual std::unique_ptr<JetRowCursor> openFlatRows(const std::string& name) {
        throw JetError(JetErrorKind::kReaderFailed,
                       "this source does not read the engine's flat tables: " + name);
    }

    // The table's indexes, the relationships it takes part in and the
    // properties of it and its fields. A source that cannot read them says
    // so rather than give an empty schema.
    virtual model::JetTableSchema readSchema(const std::string& name) {
        throw makeJetError(JetErrorKind::kReaderFailed, name,
                           "この読み取り元はインデックスとリレーションシップを読めません");
    }
    // The saved queries with their catalog rows (see query_catalog.h). By
    // default read through openRows; the reader client asks its process.
    virtual std::vector<model::StoredQueryRows> queryCatalog();
};

}  // namespace malvorn::jet
