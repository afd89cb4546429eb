#pragma once

// The saved queries of a Jet database as the `queries` command prints them.
#include <optional>
#include <string>
#include <vector>

#include "jet/jet_source.h"
#include "model/stored_query.h"

namespace malvorn::core {

// The saved queries of `source`, decoded, sorted by name.
std::vector<model::StoredQuery> storedQueries(jet::JetSource& source);

struct QueryListing {
    std::string text;                   // what goes to standard output
    std::vector<std::string> problems;  // what could not be shown, one line each
    bool found = true;                  // false: no query has the name asked for
};

// All queries (each under a comment line with its name and kind), or only
// the one named (its text alone; the exact name first, else one that
// differs only in case). A query whose text is not rebuilt, and catalog rows
// of unknown meaning, are named in `problems`.
QueryListing listStoredQueries(jet::JetSource& source, const std::optional<std::string>& name);

}  // namespace malvorn::core
