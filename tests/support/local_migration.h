#pragma once

// The services of a migration as the core tests run one: the local server,
// the Jet file read in this process, a fixed script date.
#include "base/file_system.h"
#include "core/command.h"
#include "jet/mdb_database.h"
#include "localserver/local_server.h"

inline malvorn::core::Services localMigrationServices(malvorn::base::MessageService& messages,
                                                      malvorn::core::Front& front) {
    using namespace malvorn;
    return {messages,
            front,
            core::sessionOpener({localserver::openLocalServer, {}}),
            jet::openJetFileHere,
            base::gFso(),
            [] {
                return convert::ScriptDate{2024, 5, 6};
            }};
}
