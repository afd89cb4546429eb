#pragma once

// The parts of reading a table's schema that need no file: which stored
// index entries are the user's indexes, and how the relationship catalog's
// rows (one per column pair) make relationships.
#include <cstdint>
#include <string>
#include <vector>

#include "jet/jet_decode.h"
#include "model/jet_schema.h"

namespace malvorn::jet {

// The indexes the user sees: hidden entries (names beginning with ".") and
// relationship entries are left out. Logical indexes that share one stored
// index take its key columns and flags from the entry that holds them. An
// index whose key columns cannot be named, or that holds a complex column
// (the engine's own index of its links), is left out too. Throws nothing.
std::vector<model::JetIndexSchema> userIndexesOf(const std::vector<StoredIndex>& indexes,
                                                 const std::vector<model::JetFieldDef>& fields);

// One row of the engine's relationship catalog (MSysRelationships).
struct RelationshipRow {
    std::string name = {};              // szRelationship
    std::string table = {};             // szObject, the foreign side
    std::string column = {};            // szColumn
    std::string referencedTable = {};   // szReferencedObject
    std::string referencedColumn = {};  // szReferencedColumn
    std::int64_t position = 0;          // icolumn, from 0
    std::int64_t columnCount = 0;       // ccolumn
    std::uint32_t attributes = 0;       // grbit
};

// The relationships the rows make, sorted by name; the column pairs follow
// their stored positions. A relationship whose rows are missing a position
// or disagree on their tables is damage: empty `damage` says none was found,
// else it names the relationship.
struct Relationships {
    std::vector<model::JetRelationship> relationships = {};
    std::string damage = {};
};
Relationships relationshipsOf(std::vector<RelationshipRow> rows);

// The relationships among `all` that `table` takes part in (either side,
// names compared without regard to case).
std::vector<model::JetRelationship> relationshipsOfTable(
    const std::vector<model::JetRelationship>& all, const std::string& table);

}  // namespace malvorn::jet
