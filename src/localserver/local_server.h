#pragma once

#include <memory>
#include <string>

#include "oracle/session.h"

namespace malvorn::localserver {

// Opens a session on the local server kept in `folder` (created, mode 0700,
// on first use). The first SYSTEM login to a new server creates SYSTEM with
// the password given then; every later login checks the stored hash.
// Failures are OracleError with the server's "ORA-nnnnn: " text.
// Usable as oracle::DriverOpen.
std::unique_ptr<oracle::Session> openLocalServer(const std::string& folder, const std::string& user,
                                                 const std::string& password);

}  // namespace malvorn::localserver
