#pragma once

// Names under the Oracle-safe rules: a Jet name Oracle cannot take unquoted
// is written as a quoted identifier with its exact text; any other stays
// unquoted, narrowed as the window's scripts narrow it.
#include <set>
#include <string>
#include <string_view>

namespace malvorn::convert {

// True when Oracle takes `name` unquoted: it starts with a letter, holds only
// letters, digits, "_", "$" and "#" (characters beyond ASCII count as letters,
// except the ideographic space), is no reserved word, and is at most 128 bytes.
bool isPlainOracleName(std::string_view name);

// The name as a statement writes it: narrowed, then quoted when not plain.
std::string oracleName(std::string_view jetName);

// The name as the server's dictionary keeps it: a plain name in capitals,
// a quoted one exactly.
std::string dictionaryName(std::string_view jetName);

// The primary key constraint names given out within one schema. A Jet index
// name that is "PrimaryKey" or "pkkey" (any case), not plain, or already
// given out becomes "pk" + the table name, made plain, cut and numbered as
// needed.
class ConstraintNames {
  public:
    // Names the schema holds already (as the dictionary keeps them).
    void reserve(const std::string& dictionaryForm) { used_.insert(dictionaryForm); }
    std::string take(const std::string& indexName, const std::string& tableName);
    // A name of the schema's own made from `wanted` (table and column names
    // joined): every character a plain name cannot hold becomes "_", a
    // leading non-letter gets "x" before it, then cut to 128 bytes and
    // numbered until no name given out or reserved is the same.
    std::string takeMade(const std::string& wanted);

  private:
    bool free(const std::string& name) const;
    std::set<std::string> used_;
};

}  // namespace malvorn::convert
