#pragma once

// What a Jet table holds beyond its columns and rows: its indexes, the
// relationships it takes part in, and the properties of it and its fields
// that a server can enforce (AutoNumber, Required, validation rules) or keep
// (descriptions). Texts are UTF-8.
#include <cstdint>
#include <string>
#include <vector>

namespace malvorn::model {

struct JetIndexColumn {
    std::string field = {};
    bool descending = false;
};

// One index as the engine lists it (hidden entries and the entries that
// only back a relationship are not among them).
struct JetIndexSchema {
    std::string name = {};
    std::vector<JetIndexColumn> columns = {};
    bool primary = false;
    bool unique = false;
    bool ignoreNulls = false;  // rows whose key is all Null are left out of the index
    bool required = false;     // the key may not be Null
};

// DAO's attribute bits of a relationship.
inline constexpr std::uint32_t kRelationUnique = 0x1;
inline constexpr std::uint32_t kRelationNotEnforced = 0x2;
inline constexpr std::uint32_t kRelationCascadeUpdates = 0x100;
inline constexpr std::uint32_t kRelationCascadeDeletes = 0x1000;

// A relationship: `table` (the foreign side) refers to `referencedTable`;
// the column lists pair up in their stored order.
struct JetRelationship {
    std::string name = {};
    std::string table = {};
    std::vector<std::string> columns = {};
    std::string referencedTable = {};
    std::vector<std::string> referencedColumns = {};
    std::uint32_t attributes = 0;

    bool enforced() const { return (attributes & kRelationNotEnforced) == 0; }
    bool cascadeDeletes() const { return (attributes & kRelationCascadeDeletes) != 0; }
    bool cascadeUpdates() const { return (attributes & kRelationCascadeUpdates) != 0; }
};

struct JetFieldSchema {
    std::string name = {};
    bool autoIncrement = false;  // a Long Integer AutoNumber
    bool guidAuto = false;       // a Replication ID AutoNumber
    bool required = false;
    bool allowZeroLength = false;
    std::string validationRule = {};
    std::string validationText = {};
    std::string description = {};
};

struct JetTableSchema {
    std::string name = {};
    std::vector<JetFieldSchema> fields = {};  // in the order of the table's columns
    std::vector<JetIndexSchema> indexes = {};
    // Every relationship whose either side is this table.
    std::vector<JetRelationship> relationships = {};
    std::string validationRule = {};
    std::string validationText = {};
    std::string description = {};
};

}  // namespace malvorn::model
