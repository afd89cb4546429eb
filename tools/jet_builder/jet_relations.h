#pragma once

// Relationships as the engine keeps them: the system table MSysRelationships,
// one row per column pair, in the column order of the relationship.
#include <cstdint>
#include <string>
#include <vector>

#include "jet_builder/jet_builder.h"

namespace malvorn::testing {

struct JetBuildRelationship {
    std::string name{};                  // szRelationship, e.g. "CustomersOrders"
    std::string table{};                 // the referencing table (szObject)
    std::vector<std::string> columns{};  // its columns, in order
    std::string referencedTable{};       // szReferencedObject
    std::vector<std::string> referencedColumns{};
    // grbit, DAO's bits: 1 unique, 2 not enforced, 256 cascade updates,
    // 4096 cascade deletes.
    std::uint32_t attributes = 0;
};

// `tables` followed by MSysRelationships (system-flagged) holding
// `relationships`, ready for writeJetFile. Throws std::runtime_error when a
// relationship's column lists are empty or of different lengths.
std::vector<JetBuildTable> withRelationships(
    std::vector<JetBuildTable> tables, const std::vector<JetBuildRelationship>& relationships);

}  // namespace malvorn::testing
