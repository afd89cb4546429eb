// The dictionary views of a schema's objects as a whole (USER_OBJECTS) and of
// its sequences.
#include "localserver/dictionary_schema.h"

namespace malvorn::localserver {
namespace {

// A key's index bears the key's name, as on the server.
std::string userObjects(const std::string& owner) {
    return "SELECT name, 'TABLE', 'VALID' FROM main.mv_table WHERE owner = " + owner +
           " UNION ALL SELECT name, 'VIEW', 'VALID' FROM main.mv_view WHERE owner = " + owner +
           " UNION ALL SELECT name, 'INDEX', 'VALID' FROM main.mv_index WHERE owner = " + owner +
           " UNION ALL SELECT name, 'INDEX', 'VALID' FROM main.mv_constraint WHERE kind IN ('P', "
           "'U') AND owner = " +
           owner +
           " UNION ALL SELECT name, 'SEQUENCE', 'VALID' FROM main.mv_sequence WHERE owner = " +
           owner;
}

// LAST_NUMBER is the end of the block of CACHE values last taken.
std::string userSequences(const std::string& owner) {
    return "SELECT name, min_value, max_value, increment_by, cycle_flag, cache_size, high_value "
           "FROM main.mv_sequence WHERE owner = " +
           owner;
}

}  // namespace

const std::vector<SchemaView>& objectViews() {
    static const std::vector<SchemaView> views = {
        {"USER_OBJECTS",
         {{"OBJECT_NAME", "VARCHAR2"}, {"OBJECT_TYPE", "VARCHAR2"}, {"STATUS", "VARCHAR2"}},
         userObjects},
        {"USER_SEQUENCES",
         {{"SEQUENCE_NAME", "VARCHAR2"},
          {"MIN_VALUE", "NUMBER"},
          {"MAX_VALUE", "NUMBER"},
          {"INCREMENT_BY", "NUMBER"},
          {"CYCLE_FLAG", "VARCHAR2"},
          {"CACHE_SIZE", "NUMBER"},
          {"LAST_NUMBER", "NUMBER"}},
         userSequences},
    };
    return views;
}

}  // namespace malvorn::localserver
