#pragma once

// Calculated fields (Access 2010) through the Jet library, which reads them
// as plain columns of their result's type: it neither marks them nor strips
// the head the engine stores before each result. Only the reader process's
// library (malvorn_jet_mdb) uses it.
#include <glib.h>  // mdbtools.h includes it inside extern "C"; it must come first

#include <mdbtools.h>

#include <string>
#include <vector>

#include "model/jet_schema.h"
#include "model/jet_table.h"

namespace malvorn::jet {

// Which of the table's columns, by their position in the library's list,
// are calculated. The library does not keep the flags byte that says so: the
// stored column entries are read again from the definition's pages. Throws
// JetError (kDamaged, naming `path`) when those pages cannot be read.
std::vector<bool> calculatedColumns(MdbHandle* mdb, MdbTableDef* table, const std::string& path);

// `field` as the calculated field at `column`: its expression, and for a
// text result the size without the stored head.
void markCalculated(MdbColumn* column, model::JetFieldDef& field);

// The description a calculated field's column is given: its own, followed by
// the expression, which the server does not evaluate.
void markCalculated(MdbColumn* column, model::JetFieldSchema& field);

}  // namespace malvorn::jet
