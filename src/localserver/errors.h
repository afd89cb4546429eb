#pragma once

#include <string>

#include "oracle/session.h"

namespace malvorn::localserver {

// The source every error of the local server carries in the error report.
inline constexpr const char* kServerSource = "Malvorn Local Server";

// "ORA-nnnnn: text".
std::string oraMessage(int code, const std::string& text);

// Throws the server error with Oracle's number and wording, carrying the
// general failure number as every server error does.
[[noreturn]] void oraThrow(int code, const std::string& text);

// A server error as it must be rethrown from inside a SQLite callback: the
// message text alone, turned back into an OracleError by the caller.
[[noreturn]] void oraThrowText(const std::string& message);

// Common errors, worded as the server words them.
[[noreturn]] void invalidStatement();                          // ORA-00900
[[noreturn]] void tableDoesNotExist();                         // ORA-00942
[[noreturn]] void invalidIdentifier(const std::string& name);  // ORA-00904
[[noreturn]] void insufficientPrivileges();                    // ORA-01031
[[noreturn]] void wrongArguments();                            // ORA-00909

}  // namespace malvorn::localserver
