#pragma once

// A view of the reader's row walk for comparing it with the library's own.
#include <string>
#include <vector>

namespace malvorn::jet {

// Every row of table `name` in the Jet file at `path` as its split gives it,
// one text a row ("start:size:null" a field, or "unsplittable"), walked the
// reader's way or, with `byFetch`, through the library's mdb_fetch_row.
// Throws std::runtime_error when the file or table does not open.
std::vector<std::string> splitRowsOf(const std::string& path, const std::string& name,
                                     bool byFetch);

}  // namespace malvorn::jet
