#pragma once

// Reading a table's schema facts through the Jet library: the properties of
// a table and its fields, and the relationship catalog. Only the reader
// process's library (malvorn_jet_mdb) uses it.
#include <glib.h>  // mdbtools.h includes it inside extern "C"; it must come first

#include <mdbtools.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "jet/jet_schema_rules.h"
#include "model/jet_schema.h"

namespace malvorn::jet {

// The tables whose catalog row holds a property blob the library could not
// read (it then leaves such a table without properties, which looks like
// "none set"); nullopt when the catalog itself cannot be read again.
std::optional<std::set<std::string>> tablesWithUnreadableProperties(MdbHandle* mdb);

// The field at `column` with its AutoNumber flags and properties.
model::JetFieldSchema fieldSchemaOf(MdbColumn* column);

// The table's own validation rule, its text and description.
void readTableProperties(MdbTableDef* table, model::JetTableSchema& schema);

// The table's index list as the library read it.
std::vector<StoredIndex> storedIndexes(MdbTableDef* table);

// Every row of the relationship catalog; nullopt when the file has no
// catalog of relationships. Throws JetError (kDamaged, naming `path`) when
// the catalog is there but its columns are not.
std::optional<std::vector<RelationshipRow>> readRelationshipRows(MdbHandle* mdb,
                                                                 const std::string& path);

}  // namespace malvorn::jet
