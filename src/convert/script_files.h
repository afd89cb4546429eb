#pragma once

#include <stdexcept>
#include <string>

#include "convert/script_text.h"
#include "model/connection.h"

namespace malvorn::convert {

// A check of the user's input failed; `what()` is the message to show as it
// stands (the commands show it in a box and move the focus back).
class InputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Today's local date, for the commands that stamp scripts.
ScriptDate localToday();

// Writes "LFIDNO.sql" and "CreateAdmin.sql" into `folder`, each only when no
// file of that name is there yet (a hand-edited file is kept). The admin
// script takes the connection user and password. Returns how many it wrote.
int writeFixedScriptsIfMissing(const std::string& folder, const model::ConnectionFields& connection,
                               const ScriptDate& date);

// Checks the storage folder and writes "CreateTables.sql" there with one
// "@@" line per script of the folder. Throws InputError for an empty folder
// text, a missing folder, or a folder without scripts (nothing is written),
// base::FileError when the file cannot be written. Returns the file's path.
std::string writeBatchScript(const std::string& folder, const model::ConnectionFields& connection,
                             const ScriptDate& date);

}  // namespace malvorn::convert
