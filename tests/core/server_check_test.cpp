// The target server read before any work: a release before 12.2 refuses
// the Oracle-safe rules before a table is made; the character set and what
// the server does not say go to the report's notes.
#include <gtest/gtest.h>

#include "core/migrate.h"
#include "core/migrate_report.h"
#include "core/server_check.h"
#include "jet_builder/jet_builder.h"
#include "localserver/server_fixture.h"
#include "support/local_migration.h"
#include "support/scripted_messages.h"
#include "support/tapped_session.h"

namespace malvorn::core {
namespace {

const char* const kRelease =
    "SELECT VALUE FROM NLS_DATABASE_PARAMETERS WHERE PARAMETER = 'NLS_RDBMS_VERSION'";
const char* const kCharacterSet =
    "SELECT VALUE FROM NLS_DATABASE_PARAMETERS WHERE PARAMETER = 'NLS_CHARACTERSET'";

TEST(TargetServer, ReleasesBefore12Point2RefuseTheSafeRules) {
    struct Case {
        const char* release;
        bool oracleSafe;
        bool refused;
    };
    const Case cases[] = {
        {.release = "11.2.0.4.0", .oracleSafe = true, .refused = true},
        {.release = "12.1.0.2.0", .oracleSafe = true, .refused = true},
        {.release = "9.2.0.1.0", .oracleSafe = true, .refused = true},
        {.release = "12.2.0.1.0", .oracleSafe = true, .refused = false},
        {.release = "19.0.0.0.0", .oracleSafe = true, .refused = false},
        {.release = "23.4.0.24.05", .oracleSafe = true, .refused = false},
        {.release = "11.2.0.4.0", .oracleSafe = false, .refused = false},
        {.release = "", .oracleSafe = true, .refused = false},
        {.release = "unknown", .oracleSafe = true, .refused = false},
    };
    for (const Case& c : cases) {
        const auto problem = releaseProblem({c.release, "AL32UTF8"}, c.oracleSafe);
        EXPECT_EQ(problem.has_value(), c.refused) << c.release << " " << c.oracleSafe;
        if (problem) {
            EXPECT_NE(problem->find(c.release), std::string::npos) << *problem;
        }
    }
}

TEST(TargetServer, NotesNameWhatTheServerDidNotSayOrCannotHold) {
    struct Case {
        TargetServer server;
        std::vector<std::string> words;  // one per note
    };
    const Case cases[] = {
        {.server = {"19.0.0.0.0", "AL32UTF8"}, .words = {}},
        {.server = {"19.0.0.0.0", "UTF8"}, .words = {}},
        {.server = {"19.0.0.0.0", "JA16SJIS"}, .words = {"JA16SJIS"}},
        {.server = {"", ""}, .words = {"版", "文字セット"}},
    };
    for (const Case& c : cases) {
        const auto notes = serverNotes(c.server);
        ASSERT_EQ(notes.size(), c.words.size()) << c.server.characterSet;
        for (std::size_t i = 0; i < notes.size(); ++i)
            EXPECT_NE(notes[i].find(c.words[i]), std::string::npos) << notes[i];
    }
}

class TargetServerTest : public localserver::ServerTest {
  protected:
    void SetUp() override { scott_ = appUser(); }

    Outcome migrate(bool oracleSafe) {
        const std::string path = dir_.path() + "/t.mdb";
        testing::writeJetFile(path, {{"KUNDEN",
                                      {{.name = "ID", .type = 4}, {.name = "NAME", .type = 10}},
                                      {},
                                      {{std::int64_t{1}, "Ada"}}}});
        MigrateFields fields;
        fields.dbPath = path;
        fields.oracleSafe = oracleSafe;
        fields.replace = true;
        fields.connection = {"scott", "tiger", folder()};
        Services services = localMigrationServices(messages_, front_);
        const SessionOpener real = services.openSession;
        services.openSession = [real, this](const model::ConnectionFields& c) {
            return std::make_unique<TappedSession>(real(c), tap_);
        };
        MigrateProgress quiet;
        report_ = {};
        return migrateDatabase(fields, services, quiet, report_);
    }

    std::unique_ptr<oracle::Session> scott_;
    ScriptedMessages messages_;
    Front front_;
    Tap tap_;
    MigrateReport report_;
};

TEST_F(TargetServerTest, AnOlderServerIsRefusedBeforeATableIsMade) {
    tap_.canned[kRelease] = "11.2.0.4.0";
    EXPECT_EQ(migrate(true), Outcome::kRefused);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_NE(messages_.shown[0].text.find("11.2.0.4.0"), std::string::npos);
    EXPECT_TRUE(report_.tables.empty());
    EXPECT_EQ(rows(*scott_, "SELECT COUNT(*) FROM USER_TABLES"), std::vector<std::string>{"0"});
    // The window's rules write no identity and no long names.
    EXPECT_EQ(migrate(false), Outcome::kDone);
}

TEST_F(TargetServerTest, TheReportSaysWhatTheServerIs) {
    EXPECT_EQ(migrate(true), Outcome::kDone);
    EXPECT_EQ(std::tie(report_.serverRelease, report_.serverCharacterSet),
              std::tie("19.0.0.0.0", "AL32UTF8"));
    EXPECT_TRUE(report_.notes.empty());
    tap_.canned[kCharacterSet] = "WE8ISO8859P1";
    tap_.failures.emplace(kRelease, oracle::OracleError(942, "ORA-00942", "test"));
    EXPECT_EQ(migrate(true), Outcome::kDone);
    const std::string json = migrateReportJson(report_);
    EXPECT_NE(json.find("\"server\": {\"release\": \"\", \"characterSet\": \"WE8ISO8859P1\"}"),
              std::string::npos)
        << json;
    EXPECT_EQ(report_.notes.size(), 2u);
    EXPECT_NE(migrateSummary(report_, false).find("WE8ISO8859P1"), std::string::npos);
}

}  // namespace
}  // namespace malvorn::core
