#pragma once
// The SQLite triggers that enforce foreign keys and CHECK constraints. They
// live in the schema file beside the rows, so every write path (a statement,
// a kept INSERT plan, a batch, a cascade) meets them.

#include <string>
#include <vector>

#include "localserver/sqlite_db.h"

namespace malvorn::localserver {

// A translated condition with its parameters written in as literals, as a
// trigger keeps it.
std::string inlineParams(const std::string& sql, const std::vector<SqlValue>& params);

struct ForeignKeySql {
    std::string schema;  // s<id>: child and parent are in it
    std::string prefix;  // the triggers' names start with it
    std::string child;   // physical table names
    std::string parent;
    std::vector<int> childColumns;
    std::vector<int> parentColumns;
    std::string deleteRule;     // NO ACTION, CASCADE, SET NULL
    std::string qualifiedName;  // OWNER.NAME for the messages
};
// CREATE TRIGGER statements enforcing the key.
std::vector<std::string> foreignKeyTriggers(const ForeignKeySql& fk);
// A query giving a row when a child row has no parent.
std::string orphanQuery(const ForeignKeySql& fk);

// CREATE TRIGGER statements refusing a row for which `condition` (on NEW) is false.
std::vector<std::string> checkTriggers(const std::string& schema, const std::string& prefix,
                                       const std::string& table, const std::string& condition,
                                       const std::string& qualifiedName);

// The names of the triggers made under a prefix, for DROP TRIGGER.
std::vector<std::string> triggerNames(const std::string& prefix);

}  // namespace malvorn::localserver
