#include "localserver/errors.h"

#include <cstdio>

namespace malvorn::localserver {

std::string oraMessage(int code, const std::string& text) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
    return prefix + text;
}

void oraThrow(int code, const std::string& text) {
    oraThrowText(oraMessage(code, text));
}

void oraThrowText(const std::string& message) {
    throw oracle::OracleError(oracle::kServerErrorNumber, message, kServerSource);
}

void invalidStatement() {
    oraThrow(900, "invalid SQL statement");
}
void tableDoesNotExist() {
    oraThrow(942, "table or view does not exist");
}
void invalidIdentifier(const std::string& name) {
    oraThrow(904, "\"" + name + "\": invalid identifier");
}
void wrongArguments() {
    oraThrow(909, "invalid number of arguments");
}
void insufficientPrivileges() {
    oraThrow(1031, "insufficient privileges");
}

}  // namespace malvorn::localserver
