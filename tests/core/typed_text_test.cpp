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

// What a case leaves on the server beyond what the fixture made.
struct ServerState {
    std::string newUser;  // a user the case created, "" for none
    int t1Rows = 3;
    int lfidnoRows = 1;
};

struct HostileCase {
    std::string what;
    std::function<Outcome(Services&)> run;
    Outcome outcome;
    Strings sent;     // every text the server was sent, in order
    std::string box;  // how the first box shown begins, "" for none
    ServerState after{};
    std::string newUserPassword{};  // the password newUser logs in with
};

class TypedTextTest : public localserver::ServerTest {
  protected:
    void SetUp() override {
        scott_ = appUser();
        scott_->execute("CREATE TABLE T1 (CODE NUMBER(10), NAME VARCHAR2(20))");
        for (const char* code : {"1", "2", "3"})
            scott_->execute(std::string("INSERT INTO T1 VALUES (") + code + ", 'n')");
        scott_->execute(
            "CREATE TABLE LFIDNO (表名 VARCHAR2(100), 列名 VARCHAR2(100), IDNO "
            "NUMBER(10))");
        scott_->execute("INSERT INTO LFIDNO VALUES ('A', 'レコード番号', 5)");
        testing::writeJetFile(
            jetPath(),
            {{"T1", {{"CODE", 4, 4}, {"NAME", 10, 20, true}}, {}, {{std::int64_t{9}, "x"}}}});
        std::filesystem::create_directory(sqlFolder());
        users_ = usersNow();
    }

    std::string jetPath() const { return dir_.path() + "/typed.mdb"; }
    std::string sqlFolder() const { return dir_.path() + "/sql"; }
    model::ConnectionFields as(const std::string& user, const std::string& password) const {
        return {user, password, folder()};
    }
    Strings usersNow() { return rows(system(), "SELECT USERNAME FROM dba_users ORDER BY 1"); }
    int count(const std::string& table) {
        return std::stoi(rows(*scott_, "SELECT COUNT(*) FROM " + table).at(0));
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
        Strings users = users_;
        if (!c.after.newUser.empty()) {
            users.push_back(c.after.newUser);
            std::sort(users.begin(), users.end());
        }
        EXPECT_EQ(usersNow(), users);
        EXPECT_EQ(count("T1"), c.after.t1Rows);
        EXPECT_EQ(count("LFIDNO"), c.after.lfidnoRows);
        EXPECT_TRUE(std::filesystem::is_empty(sqlFolder()));
        if (!c.after.newUser.empty()) {
            EXPECT_NO_THROW(open(c.after.newUser, c.newUserPassword));
            system().execute("DROP USER " + c.after.newUser + " CASCADE");
        }
    }

    std::unique_ptr<oracle::Session> scott_;
    Strings users_;
    Recorder recorder_;
    Tap tap_;
};

Outcome create(Services& s, const std::string& id, const std::string& password,
               const model::ConnectionFields& admin) {
    return createUser({id, password, admin}, s);
}

TEST_F(TypedTextTest, HostileUserNamesAndPasswords) {
    const auto sys = as("system", "tarnbol");
    const auto done = Outcome::kDone, refused = Outcome::kRefused, failed = Outcome::kFailed;
    const std::string badUser = "ユーザー名「";
    const auto creating = [&](std::string id, std::string password) {
        return [=](Services& s) { return create(s, id, password, sys); };
    };
    const auto dropping = [&](std::string id) {
        return [=](Services& s) { return deleteUser({id, "", sys}, s); };
    };
    // ANN made: `sent` is the password as the statement carries it, `login` as ANN gives it.
    const auto created = [&](const char* what, std::string id, std::string password,
                             const std::string& sent, const char* login) {
        return HostileCase{what, creating(id, password),
                           done, {createUserText("ann", sent), grantRolesText("ann")},
                           "",   {"ANN"},
                           login};
    };
    const HostileCase cases[] = {
        {"a quote", creating("X' OR 'A'='A", "pw"), refused, {}, badUser + "X' OR 'A'='A」"},
        // Which names the rule takes: SafeNames (convert); here, that each
        // command asks it and sends nothing when it refuses.
        {"a control character", creating("ann\tx", "pw"), refused, {}, badUser + "ann?x」"},
        {"a drop that says more", dropping("scott CASCADE --"), refused, {}, badUser},
        {"a double quote in the password",
         creating("ann", "a\"b"),
         refused,
         {},
         "パスワードに二重引用符"},
        {"a line break in the password",
         creating("ann", "a\nb"),
         refused,
         {},
         "パスワードに二重引用符"},
        created("a plain password keeps its bytes", " ann ", " tiger ", "tiger", "tiger"),
        created("a password with a quote and a semicolon is quoted", "ann", "x';DROP",
                "\"x';DROP\"", "x';DROP"),
        {"an empty name is the server's to refuse",
         creating("", "pw"),
         failed,
         {createUserText("", "pw"), localserver::userLookupText("")},
         ""},
    };
    for (const auto& c : cases)
        check(c);
}

TEST_F(TypedTextTest, HostileOwnersAndCopiedTables) {
    const auto scott = as("scott", "tiger");
    const auto refused = Outcome::kRefused;
    const std::string badTable = "テーブル名「";
    const auto filling = [&](std::string owner) {
        return [=](Services& s) { return setLfidno({owner, scott}, s); };
    };
    const auto copying = [&](std::string table) {
        return [=, this](Services& s) { return copyTable({table, jetPath(), true, scott, 0}, s); };
    };
    const HostileCase cases[] = {
        {"an owner with a quote", filling("X' OR 'A'='A"), refused, {}, "所有者名「X' OR"},
        {"a copy's table with a condition",
         copying("T1 WHERE CODE = 1"),
         refused,
         {},
         badTable + "T1 WHERE CODE = 1」"},
        // Last: it empties LFIDNO, as it always has.
        {"an empty owner lists nothing",
         filling(""),
         Outcome::kDone,
         {"DELETE FROM LFIDNO",
          "SELECT  DISTINCT TABLE_NAME   FROM ALL_TAB_COLUMNS  WHERE OWNER = ''    AND "
          "TABLE_NAME <> 'LFIDNO'    AND COLUMN_NAME = 'レコード番号'  ORDER BY TABLE_NAME"},
         "",
         {"", 3, 0}},
    };
    for (const auto& c : cases)
        check(c);
}

TEST_F(TypedTextTest, HostileConvertedTables) {
    const auto scott = as("scott", "tiger");
    const auto refused = Outcome::kRefused;
    const std::string badTable = "テーブル名「";
    const auto converting = [&](std::string table, model::ConnectionFields login,
                                std::string tablespace = "users", std::string index = "indx") {
        return [=, this](Services& s) {
            convert::ScriptLines script;
            return convertTable(
                {table, jetPath(), tablespace, index, sqlFolder(), false, true, true, login}, s,
                script);
        };
    };
    const auto spaced = [&](std::string tablespace, std::string index) {
        return converting("T1", scott, tablespace, index);
    };
    const HostileCase cases[] = {
        {"a conversion's table with a comment",
         converting("T1 (X NUMBER)--", scott),
         refused,
         {},
         badTable},
        {"a conversion's scripts for a hostile login",
         converting("T1", as("scott\nDROP USER system", "tiger")),
         refused,
         {},
         "接続ユーザー名「scott?DROP USER system」"},
        {"a conversion's scripts for a password SQL*Plus cannot take",
         converting("T1", as("scott", "ti\"ger")),
         refused,
         {},
         "パスワードに二重引用符"},
        {"a tablespace with a clause",
         spaced("users PCTFREE 0", "indx"),
         refused,
         {},
         "表領域名「users PCTFREE 0」"},
        {"an index tablespace with a statement",
         spaced("users", "indx;DROP TABLE T1"),
         refused,
         {},
         "表領域名「indx;DROP TABLE T1」"},
    };
    for (const auto& c : cases)
        check(c);
}

TEST_F(TypedTextTest, HostileMigratedTables) {
    const auto scott = as("scott", "tiger");
    const auto refused = Outcome::kRefused;
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
            f.connection = scott;
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
    const std::string constraints = "SELECT CONSTRAINT_NAME, TABLE_NAME FROM USER_CONSTRAINTS";
    const HostileCase cases[] = {
        {"a migration's tablespace",
         migrating("T1", false, "", "users) --"),
         refused,
         {},
         "表領域名「users) --」"},
        {"a migrated table under the window's rules",
         migrating("T1 WHERE CODE = 1", false, "テーブル名「T1 WHERE"),
         Outcome::kFailed,
         {},
         ""},
        {"a migrated table with a double quote, Oracle-safe",
         migrating("T\"1", true, "テーブル名「T\"1」の二重引用符"),
         Outcome::kFailed,
         {constraints, "SELECT TABLE_NAME, TABLE_NAME FROM USER_TABLES",
          "SELECT INDEX_NAME, TABLE_NAME FROM USER_INDEXES"},
         ""},
    };
    for (const auto& c : cases)
        check(c);
}

}  // namespace
}  // namespace malvorn::core
