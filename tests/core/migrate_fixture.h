// A whole migration over the local server as the core tests run one: a built
// Jet file, scott's session, the run's report and boxes, and hooks for how the
// file is read and what the server is sent through.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/migrate.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "localserver/server_fixture.h"
#include "support/local_migration.h"
#include "support/scripted_messages.h"

namespace malvorn::core {

using Strings = std::vector<std::string>;
using SessionWrap =
    std::function<std::unique_ptr<oracle::Session>(std::unique_ptr<oracle::Session>)>;

// The fields the tests vary, named in one line: Ask{.replace = true, .verify = true}.
struct Ask {
    std::vector<std::string> tables{};
    std::string sqlFolder{};
    bool replace = false;
    bool clear = false;
    bool oracleSafe = false;
    bool verify = false;
    bool allowInvalid = false;
    std::size_t bulkBatch = 0;
    std::string journalPath{};
    bool views = true;
    bool scriptsOnly = false;
    VerifyLimits verifyLimits{};

    MigrateFields fields() const {
        MigrateFields f;
        f.tables = tables, f.sqlFolder = sqlFolder, f.replace = replace, f.clear = clear;
        f.oracleSafe = oracleSafe, f.verify = verify, f.allowInvalid = allowInvalid;
        f.bulkBatch = bulkBatch, f.journalPath = journalPath, f.views = views;
        f.scriptsOnly = scriptsOnly, f.verifyLimits = verifyLimits;
        return f;
    }
};

class MigrateFixture : public localserver::ServerTest {
  protected:
    void SetUp() override { scott_ = appUser(); }

    // Writes `tables` (and saved queries) as the Jet file `name` in the test's folder.
    std::string write(const std::vector<testing::JetBuildTable>& tables,
                      const std::string& name = "db.mdb",
                      const std::vector<testing::JetBuildQuery>& queries = {}) {
        const std::string path = dir_.path() + "/" + name;
        if (queries.empty())
            testing::writeJetFile(path, tables);
        else
            testing::writeJetFile(path, tables, queries);
        return path;
    }

    // Migrates the file at `path` as scott into report_, quietly unless
    // `progress` is given; openJet_ and wrap_ change how it is read and sent.
    Outcome migrate(const std::string& path, MigrateFields fields,
                    MigrateProgress* progress = nullptr) {
        fields.dbPath = path;
        fields.connection = {"scott", "tiger", folder()};
        Services services = localMigrationServices(messages_, front_);
        if (openJet_)
            services.openJet = openJet_;
        if (wrap_) {
            services.openSession = [real = services.openSession, this](
                                       const model::ConnectionFields& c) { return wrap_(real(c)); };
        }
        MigrateProgress quiet;
        report_ = {};
        return migrateDatabase(fields, services, progress ? *progress : quiet, report_);
    }
    Outcome migrate(const std::string& path, const Ask& ask) { return migrate(path, ask.fields()); }

    const TableOutcome& table(const std::string& name) const {
        for (const auto& t : report_.tables) {
            if (t.table == name)
                return t;
        }
        throw std::runtime_error("no table " + name);
    }
    // A table's notes, one a line.
    std::string notes(const std::string& name) const {
        std::string text;
        for (const auto& note : table(name).notes)
            text += note + "\n";
        return text;
    }
    // "table: result" for each table, in the report's order.
    Strings results() const {
        Strings out;
        for (const auto& t : report_.tables)
            out.push_back(t.table + ": " + t.result);
        return out;
    }

    std::unique_ptr<oracle::Session> scott_;
    ScriptedMessages messages_;
    Front front_;
    MigrateReport report_;
    JetOpener openJet_;
    SessionWrap wrap_;
};

}  // namespace malvorn::core
