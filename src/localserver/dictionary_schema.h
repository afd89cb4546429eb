#pragma once
// The dictionary views of schema objects (indexes, constraints, identity
// columns, comments), added to those of dictionary.cpp.

#include <string>
#include <utility>
#include <vector>

namespace malvorn::localserver {

struct SchemaView {
    const char* name;
    std::vector<std::pair<const char*, const char*>> columns;  // name, type
    // The SQL over the catalog for the user whose quoted name is given.
    std::string (*sql)(const std::string& owner);
};
const std::vector<SchemaView>& schemaViews();
// USER_OBJECTS and USER_SEQUENCES (dictionary_objects.cpp).
const std::vector<SchemaView>& objectViews();

}  // namespace malvorn::localserver
