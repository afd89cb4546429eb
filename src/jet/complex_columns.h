#pragma once

// The complex columns of an ACE file (multi-value fields and attachments):
// the parent row holds a link number, the values sit in a hidden flat table
// of the engine whose rows carry that number. The engine's complex-column
// catalog (MSysComplexColumns) ties each column to its flat table through
// the catalog ids of MSysObjects.
#include <string>
#include <vector>

#include "jet/jet_source.h"

namespace malvorn::jet {

struct ComplexColumn {
    std::string table;      // the parent table, as the catalog names it
    std::string field;      // its complex column
    std::string flatTable;  // the engine's flat table holding the values
};

// Every complex column of the file, in the order of the catalog. Empty for a
// file without a complex-column catalog (the Jet 4 format and older). Throws
// JetError when the catalog names a table id that MSysObjects does not hold.
std::vector<ComplexColumn> readComplexColumns(JetSource& source);

// The link number a parent row holds in a complex column: the 4-byte
// little-endian value the reader gives as binary. Null stays null; any
// other value throws JetError (kDamaged, naming `table`).
JetValue complexLink(const JetValue& stored, const std::string& table);

}  // namespace malvorn::jet
