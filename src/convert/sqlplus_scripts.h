#pragma once

// Scripts for people who run the schema by hand under SQL*Plus: UTF-8 with
// LF line ends (the CP932 rule is the window's, for its own scripts), each
// opening with a comment that says so and the settings that keep SQL*Plus
// from reading a statement's text as commands of its own.
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "convert/script_lines.h"

namespace malvorn::convert {

// The file that runs every other one in order.
inline constexpr const char* kSchemaMasterScriptName = "CreateSchema.sql";

// File names that the shell and SQL*Plus take as they are: letters of any
// script, digits, "_" and "-" are kept, every other character becomes "_"
// (a blank, a quote, "&", "@", "/", "?"...), a leading "-" too. Names are
// unique regardless of case (as Windows and macOS compare them).
class ScriptFileNames {
  public:
    // A name given out elsewhere (a fixed script's).
    void reserve(const std::string& fileName);
    // "<safe stem>.sql", numbered "_2", "_3"... until it is free.
    std::string take(const std::string& stem);

  private:
    bool free(const std::string& fileName) const;
    std::set<std::string> taken_;  // upper-cased
};

// The opening lines of every script: the encoding comment naming `what`
// the file holds, then SET DEFINE OFF (an "&" in a text is data),
// SQLBLANKLINES ON (a blank line inside a text does not end it) and
// BLOCKTERMINATOR OFF (nor does a line holding only ".").
std::string sqlPlusHeader(const std::string& what);

// Why SQL*Plus would not read `sql` as one statement: a line inside it that
// is "/" alone (it runs the buffer), starts with "#" (a command of its own
// while a statement is typed), or ends in ";" (it ends the statement).
// nullopt when it reads it whole.
std::optional<std::string> sqlPlusTrap(const std::string& sql);

// The statement as a script line: its text, ";", a line end.
std::string sqlPlusStatement(const std::string& sql);

// A table script as the window writes it (lines trimmed), in UTF-8 under
// the header.
std::string utf8TableScript(const ScriptLines& lines, const std::string& what);

// The master script: the header, WHENEVER SQLERROR EXIT FAILURE (the later
// steps need the earlier ones), one "@@name" line per file in run order,
// then EXIT.
std::string schemaMasterScript(const std::string& database, const std::vector<std::string>& files);

}  // namespace malvorn::convert
