#pragma once

// The target server as migrate reads it before any work: its release and
// the character set it keeps text in. The Oracle-safe rules write identity
// columns and names of up to 128 bytes, which Oracle takes from 12.2 on.
#include <optional>
#include <string>
#include <vector>

#include "core/command.h"
#include "core/migrate.h"
#include "oracle/session.h"

namespace malvorn::core {

struct TargetServer {
    std::string release;       // "19.0.0.0.0"; empty when the server does not say
    std::string characterSet;  // "AL32UTF8"; empty when the server does not say
};

// From NLS_DATABASE_PARAMETERS, which every user may read.
TargetServer readTargetServer(oracle::Session& session);

// Why `rules` cannot go to this server (a release before 12.2 under the
// Oracle-safe rules); nullopt when they can or the release is not known.
std::optional<std::string> releaseProblem(const TargetServer& server, bool oracleSafe);

// What the report says of the server: the release or character set it did
// not give, a character set that cannot hold every character.
std::vector<std::string> serverNotes(const TargetServer& server);

// Reads the server into `report` (its release, character set and notes);
// false, with the message shown, when the rules cannot go to it.
bool serverAccepted(oracle::Session& session, const MigrateFields& fields, Services& services,
                    MigrateReport& report);

}  // namespace malvorn::core
