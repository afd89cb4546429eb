// Hostile typed text against every command that takes some: what the server
// is sent, what it holds afterwards. The window and the command line both
// call these functions, so this covers both.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/file_system.h"
#include "core/admin_commands.h"
#include "core/copy_command.h"
#include "core/migrate.h"
#include "core/table_commands.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "localserver/local_server.h"
#include "localserver/server_fixture.h"
#include "support/recorder.h"
#include "support/tapped_session.h"

namespace malvorn::core {
namespace {

using Strings = std::vector<std::string>;
using localserver::createUserText;
using localserver::grantRolesText;

// Every statement goes through the tap, so what the server was sent is all
// it can hold of a case.
struct HostileCase {
    std::string what;
    std::function<Outcome(Services&)> run;
    Outcome outcome;
    Strings sent;               // every text the server was sent, in order
    std::string box;            // how the first box shown begins, "" for none
    std::string annPassword{};  // the case made the user ANN: the password ANN logs in with
};

class TypedTextTest : public localserver::ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        scott_->execute(
            "CREATE TABLE LFIDNO (表名 VARCHAR2(100), 列名 VARCHAR2(100), IDNO "
            "NUMBER(10))");
        testing::writeJetFile(
            jetPath(),
            {{"T1", {{"CODE", 4, 4}, {"NAME", 10, 20, true}}, {}, {{std::int64_t{9}, "x"}}}});
        std::filesystem::create_directory(sqlFolder());
    }

    std::string jetPath() const { return dir_.path() + "/typed.mdb"; }
    std::string sqlFolder() const { return dir_.path() + "/sql"; }
    model::ConnectionFields as(const std::string& user, const std::string& password) const {
        return {user, password, folder()};
    }
    Services services() {
        return {recorder_,
                recorder_,
                [this](const model::ConnectionFields& c) {
                    oracle::Drivers drivers{localserver::openLocalServer, nullptr};
                    return std::make_unique<TappedSession>(sessionOpener(drivers)(c), tap_);
                },
                jet::openJetFileHere,
                base::gFso(),
                [] {
                    return convert::ScriptDate{2024, 5, 6};
                }};
    }
    std::string firstBox() const {
        for (const auto& event : recorder_.events)
            if (event.starts_with("box "))
                return event.substr(4);
        return "";
    }
    void check(const HostileCase& c) {
        SCOPED_TRACE(c.what);
        recorder_ = Recorder();
        tap_ = Tap();
        auto s = services();
        EXPECT_EQ(c.run(s), c.outcome);
        // What migrate reads of the server first carries no typed text.
        std::erase_if(tap_.sent, [](const std::string& sent) {
            return sent.starts_with("SELECT VALUE FROM NLS_DATABASE_PARAMETERS");
        });
        EXPECT_EQ(tap_.sent, c.sent);
        EXPECT_TRUE(firstBox().starts_with(c.box)) << firstBox();
        EXPECT_EQ(c.box.empty(), firstBox().empty()) << firstBox();
        // Scripts are stored before the server is reached.
        EXPECT_TRUE(std::filesystem::is_empty(sqlFolder()));
        if (!c.annPassword.empty()) {
            EXPECT_NO_THROW(open("ann", c.annPassword));
            system().execute("DROP USER ann CASCADE");
        }
    }

    std::unique_ptr<oracle::Session> scott_;
    Recorder recorder_;
    Tap tap_;
};

// Refused by the command's own check: nothing sent, a box beginning `box`.
HostileCase refusal(std::string what, std::function<Outcome(Services&)> run, std::string box) {
    return {std::move(what), std::move(run), Outcome::kRefused, {}, std::move(box)};
}

TEST_F(TypedTextTest, HostileUserNamesAndPasswords) {
    const auto sys = as("system", "tarnbol");
    const std::string badUser = "ユーザー名「";
    const auto creating = [&](std::string id, std::string password) {
        return [=](Services& s) { return createUser({id, password, sys}, s); };
    };
    const auto dropping = [&](std::string id) {
        return [=](Services& s) { return deleteUser({id, "", sys}, s); };
    };
    const std::string doubleQuote = "パスワードに二重引用符";
    const HostileCase cases[] = {
        refusal("a quote", creating("X' OR 'A'='A", "pw"), badUser + "X' OR 'A'='A」"),
        // Which names the rule takes: SafeNames (convert); here, that each
        // command asks it and sends nothing when it refuses.
        refusal("a control character", creating("ann\tx", "pw"), badUser + "ann?x」"),
        refusal("a drop that says more", dropping("scott CASCADE --"), badUser),
        refusal("a double quote in the password", creating("ann", "a\"b"), doubleQuote),
        refusal("a line break in the password", creating("ann", "a\nb"), doubleQuote),
        // `sent` is the password as the statement carries it; ANN logs in with the typed one.
        {"a password with a quote and a semicolon is quoted",
         creating("ann", "x';DROP"),
         Outcome::kDone,
         {createUserText("ann", "\"x';DROP\""), grantRolesText("ann")},
         "",
         "x';DROP"},
        {"an empty name is the server's to refuse",
         creating("", "pw"),
         Outcome::kFailed,
         {createUserText("", "pw"), localserver::userLookupText("")},
         ""},
    };
    for (const auto& c : cases)
        check(c);
}

TEST_F(TypedTextTest, HostileOwnersAndCopiedTables) {
    const auto scott = as("scott", "tiger");
    const auto filling = [&](std::string owner) {
        return [=](Services& s) { return setLfidno({owner, scott}, s); };
    };
    const auto copying = [&](std::string table) {
        return [=, this](Services& s) { return copyTable({table, jetPath(), true, scott, 0}, s); };
    };
    const HostileCase cases[] = {
        refusal("an owner with a quote", filling("X' OR 'A'='A"), "所有者名「X' OR"),
        refusal("a copy's table with a condition", copying("T1 WHERE CODE = 1"),
                "テーブル名「T1 WHERE CODE = 1」"),
        // It empties LFIDNO, as it always has.
        {"an empty owner lists nothing",
         filling(""),
         Outcome::kDone,
         {"DELETE FROM LFIDNO",
          "SELECT  DISTINCT TABLE_NAME   FROM ALL_TAB_COLUMNS  WHERE OWNER = ''    AND "
          "TABLE_NAME <> 'LFIDNO'    AND COLUMN_NAME = 'レコード番号'  ORDER BY TABLE_NAME"},
         ""},
    };
    for (const auto& c : cases)
        check(c);
}

TEST_F(TypedTextTest, HostileConvertedTables) {
    const auto scott = as("scott", "tiger");
    const auto converting = [&](std::string table, model::ConnectionFields login,
                                std::string tablespace = "users", std::string index = "indx") {
        return [=, this](Services& s) {
            convert::ScriptLines script;
            return convertTable(
                {table, jetPath(), tablespace, index, sqlFolder(), false, true, true, login}, s,
                script);
        };
    };
    const HostileCase cases[] = {
        refusal("a conversion's table with a comment", converting("T1 (X NUMBER)--", scott),
                "テーブル名「"),
        refusal("a conversion's scripts for a hostile login",
                converting("T1", as("scott\nDROP USER system", "tiger")),
                "接続ユーザー名「scott?DROP USER system」"),
        refusal("a conversion's scripts for a password SQL*Plus cannot take",
                converting("T1", as("scott", "ti\"ger")), "パスワードに二重引用符"),
        refusal("a tablespace with a clause", converting("T1", scott, "users PCTFREE 0"),
                "表領域名「users PCTFREE 0」"),
        refusal("an index tablespace with a statement",
                converting("T1", scott, "users", "indx;DROP TABLE T1"),
                "表領域名「indx;DROP TABLE T1」"),
    };
    for (const auto& c : cases)
        check(c);
}

TEST_F(TypedTextTest, HostileMigratedTables) {
    // The table's result must begin with `result` ("" for a refused run).
    const auto migrating = [&](std::string table, bool oracleSafe, std::string result,
                               std::string tablespace = "") {
        return [=, this](Services& s) {
            MigrateFields f;
            f.dbPath = jetPath();
            f.tables = {table};
            f.clear = true;
            f.oracleSafe = oracleSafe;
            f.tableTablespace = tablespace;
            f.connection = as("scott", "tiger");
            MigrateProgress quiet;
            MigrateReport report;
            const Outcome outcome = migrateDatabase(f, s, quiet, report);
            if (!result.empty()) {
                EXPECT_TRUE(report.tables.at(0).result.starts_with(result))
                    << report.tables.at(0).result;
            }
            return outcome;
        };
    };
    const HostileCase cases[] = {
        refusal("a migration's tablespace", migrating("T1", false, "", "users) --"),
                "表領域名「users) --」"),
        {"a migrated table under the window's rules",
         migrating("T1 WHERE CODE = 1", false, "テーブル名「T1 WHERE"),
         Outcome::kFailed,
         {},
         ""},
        {"a migrated table with a double quote, Oracle-safe",
         migrating("T\"1", true, "テーブル名「T\"1」の二重引用符"),
         Outcome::kFailed,
         {"SELECT CONSTRAINT_NAME, TABLE_NAME FROM USER_CONSTRAINTS",
          "SELECT TABLE_NAME, TABLE_NAME FROM USER_TABLES",
          "SELECT INDEX_NAME, TABLE_NAME FROM USER_INDEXES"},
         ""},
    };
    for (const auto& c : cases)
        check(c);
}

}  // namespace
}  // namespace malvorn::core
