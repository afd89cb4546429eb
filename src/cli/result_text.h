#pragma once

#include <ostream>

#include "oracle/session.h"

namespace malvorn::cli {

// Writes a result as tab-separated UTF-8 text: a header line of the column
// names, then one line per row. NULL is written as nothing; a tab, line break
// or backslash inside a value is written as \t, \n, \r or \\ so that every row
// stays one line.
void writeTabSeparated(oracle::ResultSet& rows, std::ostream& out);

}  // namespace malvorn::cli
