#pragma once

// Walking a table's rows through the Jet library, each row split once. Only
// the reader process's library (malvorn_jet_mdb) uses it.
#include <glib.h>  // mdbtools.h includes it inside extern "C"; it must come first

#include <mdbtools.h>

#include <vector>

namespace malvorn::jet {

// What nextSplitRow found. Jet 4 and ACE rows are split here, as the
// library's mdb_crack_row splits them; Jet 3 rows by mdb_crack_row.
enum class SplitRow { kRow, kEnd, kUnsplittable };

// The next row of `table` split into `fields` (one per column); kEnd at the
// table's end. The same rows as the library's mdb_fetch_row, which splits
// each row once for itself and would leave the caller to split it again:
// deleted rows and rows the library cannot split are passed over as it
// passes them. A table the library scans another way (a temporary table, an
// index scan, a filter) is walked with mdb_fetch_row, and a row it gave but
// that does not split again is kUnsplittable.
SplitRow nextSplitRow(MdbTableDef* table, std::vector<MdbField>& fields);

// The library's own walk: mdb_fetch_row, then the row split again.
SplitRow nextSplitRowByFetch(MdbTableDef* table, std::vector<MdbField>& fields);

}  // namespace malvorn::jet
