#pragma once

// The saved queries of a Jet database: read from the engine's query catalog
// (MSysQueries, with the names and flags of their MSysObjects entries),
// carried between the reader process and the program, and decoded.
#include <string>
#include <vector>

#include "jet/jet_source.h"
#include "model/stored_query.h"

namespace malvorn::jet {

// Every saved query (catalog type 5) with its catalog rows, sorted by name
// without regard to case. A file without a query catalog has none. Reads
// through `source`'s rows of MSysObjects and MSysQueries; throws JetError.
std::vector<model::StoredQueryRows> readQueryCatalog(JetSource& source);

// What the rows say. Rows of unknown attributes are named in
// unknownAttributes, never dropped silently.
model::StoredQuery decodeStoredQuery(const model::StoredQueryRows& rows);

namespace protocol {
std::string encodeQueryCatalog(const std::vector<model::StoredQueryRows>& queries);
std::vector<model::StoredQueryRows> decodeQueryCatalog(const std::string& payload);
}  // namespace protocol

}  // namespace malvorn::jet
