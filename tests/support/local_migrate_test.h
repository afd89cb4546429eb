#pragma once

// A migration over the local server as the core tests run one: scott's
// session, the boxes shown, the last run's report.
#include <memory>
#include <string>

#include "core/migrate.h"
#include "localserver/server_fixture.h"
#include "support/local_migration.h"
#include "support/scripted_messages.h"

class LocalMigrateTest : public malvorn::localserver::ServerTest {
  protected:
    void SetUp() override { scott_ = appUser(); }

    // Migrates the Jet file at `path` as scott into report_, quietly unless
    // `progress` is given.
    malvorn::core::Outcome migrateFile(const std::string& path, malvorn::core::MigrateFields fields,
                                       malvorn::core::MigrateProgress* progress = nullptr) {
        fields.dbPath = path;
        fields.connection = {"scott", "tiger", folder()};
        malvorn::core::Services services = localMigrationServices(messages_, front_);
        malvorn::core::MigrateProgress quiet;
        report_ = {};
        return malvorn::core::migrateDatabase(fields, services, progress ? *progress : quiet,
                                              report_);
    }

    std::unique_ptr<malvorn::oracle::Session> scott_;
    ScriptedMessages messages_;
    malvorn::core::Front front_;
    malvorn::core::MigrateReport report_;
};
