#pragma once

#include <string>

#include "core/command.h"
#include "model/connection.h"

namespace malvorn::core {

// The fields the user tab's buttons read.
struct UserFields {
    std::string userId;    // txtUserID, as typed
    std::string password;  // txtPassword, as typed
    model::ConnectionFields connection;
};

// 作成 of the user tab: creates the user and grants it DBA, RESOURCE and
// CONNECT, connected as SYSTEM. Refused (nothing done) when the connection
// user is not SYSTEM. Otherwise the window is disabled while it runs and the
// settings are saved whether it succeeds or fails; a failure has shown its
// own message (or, for a refusal the user lookup explains, none).
Outcome createUser(const UserFields& fields, Services& services);

// 削除 of the user tab: drops the user with everything it owns. Same frame.
Outcome deleteUser(const UserFields& fields, Services& services);

// The fields LFIDNO作成 reads.
struct LfidnoCreateFields {
    std::string definition;  // txtLFIDNO, sent as one statement exactly as typed
    model::ConnectionFields connection;
};

// LFIDNO作成: drops an existing LFIDNO when the user agrees, then runs the
// definition. Never refused; the status line says 完了 or 失敗.
Outcome createLfidno(const LfidnoCreateFields& fields, Services& services);

// The fields LFIDNOデータセット reads.
struct LfidnoFillFields {
    std::string owner;  // txtUserID, as typed: whose tables are scanned
    model::ConnectionFields connection;
};

// LFIDNOデータセット: empties LFIDNO and inserts, for each table of the owner
// with a レコード番号 column, its highest record number (0 when none).
// Never refused; rows inserted before a failure stay.
Outcome setLfidno(const LfidnoFillFields& fields, Services& services);

// The fields スクリプト実行 reads.
struct ScriptFields {
    std::string scriptPath;  // txtScriptPath, as typed
    model::ConnectionFields connection;
};

// スクリプト実行: folds the script file into one statement and sends it.
// Refused with a message when no file is under the path, and refused
// silently when the folded text is blank (nothing is sent, the status line
// is not touched).
Outcome runScript(const ScriptFields& fields, Services& services);

// The fields SQL実行 reads.
struct StatementFields {
    std::string sql;  // txtSQL, sent exactly as typed
    model::ConnectionFields connection;
};

// SQL実行: sends the typed text as one statement; rows it yields are not
// shown. Refused when the text is blank.
Outcome runStatement(const StatementFields& fields, Services& services);

}  // namespace malvorn::core
