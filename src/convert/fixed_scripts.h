#pragma once

#include <optional>
#include <string>
#include <vector>

#include "convert/script_text.h"

namespace malvorn::convert {

inline constexpr std::string_view kLfidnoScriptName = "LFIDNO.sql";
inline constexpr std::string_view kAdminScriptName = "CreateAdmin.sql";
inline constexpr std::string_view kBatchScriptName = "CreateTables.sql";

// The built-in definition of the numbering table LFIDNO: the CREATE TABLE
// statement without its ";", one element a line. The IDNO tab starts with it
// and "LFIDNO.sql" carries it.
const std::vector<std::string>& lfidnoDefinitionLines();
// The same lines as one text, each line ended by CR LF (the last one too).
std::string lfidnoDefinitionText();

// The lines of "LFIDNO.sql" (twelve) for a creation date.
std::vector<std::string> lfidnoScriptLines(const ScriptDate& date);

// The lines of "CreateAdmin.sql" (eleven): creates `user` identified by
// `password`, meant to be run by SYSTEM in SQL*Plus. Texts are used as given,
// but for a password Oracle takes only quoted (convert::passwordText). Throws
// InputError for a user name that is not one plain name or a password that
// cannot be written.
std::vector<std::string> adminScriptLines(const std::string& user, const std::string& password);
// Why "CreateAdmin.sql" cannot be written for this user and password, as the
// message that refuses it; nullopt when it can.
std::optional<std::string> adminScriptProblem(const std::string& user, const std::string& password);

// The lines of "CreateTables.sql": the header with the SQL*Plus command line
// for user/password@service, one "@@" line per script file of the folder, EXIT.
// `scriptFiles` are bare file names in listing order. The batch itself and
// "CreateAdmin.sql" are left out: the first would make SQL*Plus run the batch
// inside itself without end, the second ends with EXIT and belongs to SYSTEM.
// Throws InputError when a text holds "*/" or a line break: it would end or
// split the comment line.
std::vector<std::string> batchScriptLines(const std::string& user, const std::string& password,
                                          const std::string& service, const ScriptDate& date,
                                          const std::vector<std::string>& scriptFiles);

}  // namespace malvorn::convert
