// Users, roles and logins.
#include <filesystem>

#include "encoding/letter_case.h"
#include "localserver/errors.h"
#include "localserver/lexer.h"
#include "localserver/local_session.h"
#include "localserver/oracle_types.h"
#include "localserver/password.h"

namespace malvorn::localserver {
namespace {

const char* const kRoles[] = {"CONNECT", "RESOURCE", "DBA"};

bool isRole(const std::string& name) {
    for (const char* role : kRoles) {
        if (name == role)
            return true;
    }
    return false;
}

// The cost the server was created with; servers older than the setting
// hash at the interactive cost.
PasswordCost serverPasswordCost(SqliteDb& db) {
    auto stmt = db.cached("SELECT v FROM mv_state WHERE k = 'password_cost'");
    const bool least = stmt.step() && stmt.columnInt(0) == 1;
    stmt.reset();
    return least ? PasswordCost::Minimum : PasswordCost::Interactive;
}

// An unknown user's login checks the password against this, at the
// server's cost. Made at the first unknown name, not at every login.
const std::string& unknownUserHash(PasswordCost cost) {
    if (cost == PasswordCost::Minimum) {
        static const std::string least = hashPassword(randomHex(16), PasswordCost::Minimum);
        return least;
    }
    static const std::string interactive = hashPassword(randomHex(16), PasswordCost::Interactive);
    return interactive;
}

}  // namespace

std::optional<UserInfo> LocalSession::findUser(const std::string& name) {
    auto stmt = db_.cached("SELECT id, default_ts FROM mv_user WHERE name = ?1");
    stmt.bind(1, name);
    if (!stmt.step())
        return std::nullopt;
    UserInfo u;
    u.id = stmt.columnInt(0);
    u.name = name;
    u.defaultTablespace = stmt.columnText(1);
    stmt.reset();
    auto roles = db_.cached("SELECT role FROM mv_role WHERE user_id = ?1");
    roles.bind(1, u.id);
    while (roles.step())
        u.roles.insert(roles.columnText(0));
    roles.reset();
    return u;
}

void LocalSession::login(const std::string& userText, const std::string& password) {
    std::string user = userText;
    if (user.size() >= 2 && user.front() == '"' && user.back() == '"')
        user = user.substr(1, user.size() - 2);
    else
        user = encoding::upperCaseName(user);
    if (password.empty())
        oraThrow(1005, "null password given; logon denied");
    if (user.empty())
        oraThrow(1017, "invalid username/password; logon denied");
    createServerOnFirstLogin(user, password);
    auto find = db_.cached("SELECT hash FROM mv_user WHERE name = ?1");
    find.bind(1, user);
    const bool found = find.step();
    const std::string hash = found ? find.columnText(0) : std::string();
    find.reset();
    bool passwordMatches = false;
    if (found) {
        passwordMatches = verifyPassword(hash, password);
    } else {
        // An unknown user costs the same hash check as a known one, so the time
        // a refusal takes does not tell which user names exist.
        verifyPassword(unknownUserHash(serverPasswordCost(db_)), password);
    }
    if (!found || !passwordMatches)
        oraThrow(1017, "invalid username/password; logon denied");
    me_ = *findUser(user);
    if (!me_.roles.count("CONNECT") && !me_.isDba())
        oraThrow(1045, "user " + user + " lacks CREATE SESSION privilege; logon denied");
}

// The first SYSTEM login makes the server: SYSTEM gets the password given
// now.
void LocalSession::createServerOnFirstLogin(const std::string& user, const std::string& password) {
    CatalogTransaction tx(db_);
    auto count = db_.cached("SELECT count(*) FROM mv_user");
    count.step();
    const bool fresh = count.columnInt(0) == 0;
    count.reset();
    if (!fresh || user != "SYSTEM")
        return;
    const PasswordCost cost = passwordCostForNewServer();
    db_.exec(cost == PasswordCost::Minimum
                 ? "INSERT OR REPLACE INTO mv_state VALUES('password_cost', 1)"
                 : "INSERT OR REPLACE INTO mv_state VALUES('password_cost', 0)");
    auto add = db_.cached(
        "INSERT INTO mv_user(name, hash, default_ts, temp_ts, created) VALUES('SYSTEM', "
        "?1, 'SYSTEM', 'TEMP', ?2)");
    add.bind(1, hashPassword(password, cost));
    add.bind(2, formatStoredDate(currentDateTime()));
    add.step();
    db_.exec(
        "INSERT INTO mv_role SELECT id, 'CONNECT' FROM mv_user WHERE name = 'SYSTEM';"
        "INSERT INTO mv_role SELECT id, 'RESOURCE' FROM mv_user WHERE name = 'SYSTEM';"
        "INSERT INTO mv_role SELECT id, 'DBA' FROM mv_user WHERE name = 'SYSTEM';");
    tx.commit();
}

void LocalSession::requireDba() const {
    if (!me_.isDba())
        insufficientPrivileges();
}

void LocalSession::createUser(const ast::CreateUser& cu) {
    requireDba();
    if (isRole(cu.name) || findUser(cu.name))
        oraThrow(1920, "user name '" + cu.name + "' conflicts with another user or role name");
    const std::string defaultTs = cu.defaultTablespace.empty() ? "USERS" : cu.defaultTablespace;
    const std::string tempTs = cu.temporaryTablespace.empty() ? "TEMP" : cu.temporaryTablespace;
    checkTablespace(defaultTs);
    checkTablespace(tempTs);
    if (defaultTs == "TEMP")
        oraThrow(12910, "cannot specify temporary tablespace as default tablespace");
    if (tempTs != "TEMP")
        oraThrow(12911, "permanent tablespace cannot be temporary tablespace");
    const std::string hash = hashPassword(cu.password, serverPasswordCost(db_));
    CatalogTransaction tx(db_);
    auto add = db_.cached(
        "INSERT INTO mv_user(name, hash, default_ts, temp_ts, created) VALUES(?1, ?2, ?3, ?4, ?5)");
    add.bindAll({cu.name, hash, defaultTs, tempTs, formatStoredDate(currentDateTime())});
    try {
        add.step();
    } catch (const SqliteError& e) {
        if (e.kind() != SqliteError::Kind::kUniqueKey)
            throw;
        // Another session took the name since the check above.
        oraThrow(1920, "user name '" + cu.name + "' conflicts with another user or role name");
    }
    tx.commit();
}

void LocalSession::alterUser(const ast::AlterUser& au) {
    if (au.name != me_.name)
        requireDba();
    if (!findUser(au.name))
        oraThrow(1918, "user '" + au.name + "' does not exist");
    auto set = db_.cached("UPDATE mv_user SET hash = ?1 WHERE name = ?2");
    set.bindAll({hashPassword(au.password, serverPasswordCost(db_)), au.name});
    set.step();
}

void LocalSession::grant(const ast::Grant& g) {
    requireDba();
    for (const auto& role : g.roles) {
        if (!isRole(role))
            oraThrow(1919, "role '" + role + "' does not exist");
    }
    std::vector<UserInfo> users;
    for (const auto& name : g.grantees) {
        auto user = findUser(name);
        if (!user)
            oraThrow(1917, "user or role '" + name + "' does not exist");
        users.push_back(*user);
    }
    CatalogTransaction tx(db_);
    auto add = db_.cached("INSERT OR IGNORE INTO mv_role VALUES(?1, ?2)");
    for (const auto& user : users) {
        for (const auto& role : g.roles) {
            add.reset();
            add.bindAll({user.id, role});
            add.step();
        }
    }
    tx.commit();
}

void LocalSession::revoke(const ast::Revoke& r) {
    requireDba();
    for (const auto& role : r.roles) {
        if (!isRole(role))
            oraThrow(1919, "role '" + role + "' does not exist");
    }
    CatalogTransaction tx(db_);
    for (const auto& name : r.grantees) {
        auto user = findUser(name);
        if (!user)
            oraThrow(1917, "user or role '" + name + "' does not exist");
        for (const auto& role : r.roles) {
            if (!user->roles.count(role))
                oraThrow(1951, "ROLE '" + role + "' not granted to '" + name + "'");
            auto del = db_.cached("DELETE FROM mv_role WHERE user_id = ?1 AND role = ?2");
            del.bindAll({user->id, role});
            del.step();
        }
    }
    tx.commit();
}

void LocalSession::dropUser(const ast::DropUser& du) {
    requireDba();
    const auto user = findUser(du.name);
    if (!user)
        oraThrow(1918, "user '" + du.name + "' does not exist");
    if (user->id == me_.id)
        oraThrow(1940, "cannot drop a user that is currently connected");
    if (du.name == "SYSTEM")
        oraThrow(28014, "cannot drop administrative user or role");
    {
        const ChangeSignal::Change change(signal_);
        CatalogTransaction tx(db_);
        if (ownsTables(db_, du.name) && !du.cascade)
            oraThrow(1922, "CASCADE must be specified to drop '" + du.name + "'");
        removeTablesOf(db_, du.name);
        const SqlValue id = user->id;
        for (const char* sql :
             {"DELETE FROM mv_role WHERE user_id = ?1", "DELETE FROM mv_user WHERE id = ?1"}) {
            auto stmt = db_.cached(sql);
            stmt.bind(1, id);
            stmt.step();
        }
        bumpGeneration(db_);
        tx.commit();
    }
    // The schema's rows go with it: the user's catalog entries are gone, so
    // nothing can reach the file any more.
    db_.clearCache();
    if (attached_.count(user->id)) {
        db_.exec("DETACH DATABASE " + attached_[user->id]);
        attached_.erase(user->id);
    }
    std::error_code ignored;
    const std::string path = schemaPath(user->id);
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(path + suffix, ignored);
}

}  // namespace malvorn::localserver
