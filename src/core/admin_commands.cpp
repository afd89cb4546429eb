#include "core/admin_commands.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/script_folding.h"
#include "base/sql_text.h"
#include "convert/script_text.h"
#include "convert/typed_names.h"
#include "encoding/ascii.h"
#include "encoding/letter_case.h"
#include "oracle/existing_table.h"

namespace malvorn::core {
namespace {

using base::MessageIcon;

// ---- users -----------------------------------------------------------------

// What one user operation sends and how it explains a refusal.
struct UserOperation {
    std::vector<std::string> statements;
    const char* heading;
    const char* procedure;
    bool messageWhenFound;  // the lookup's row is what the message is about
    std::string message;    // shown when the lookup agrees with messageWhenFound
    bool setsPassword = false;
};

std::string userLookup(const std::string& upperId) {
    return std::string("SELECT USERNAME ") + "  FROM dba_users " +
           " WHERE USERNAME = " + base::quoteSqlText(upperId);
}

// Explains a refusal carrying the general failure number by looking the user
// up. A failure of the lookup itself leaves the original failure to report.
void explainRefusal(oracle::Session& session, const UserFields& fields, const UserOperation& op,
                    Services& services, const std::exception_ptr& failure) {
    bool found = false;
    try {
        found = session.query(userLookup(encoding::upperCaseName(fields.userId)))->next();
    } catch (...) {
        showFailure(services, op.heading, op.procedure, failure);
        return;
    }
    if (found == op.messageWhenFound) {
        services.messages.show(op.message, MessageIcon::kExclamation, base::MessageButtons::kOk,
                               base::TitleForm::kError);
    }
}

// fCreateUser / fDeleteUser: kDone when every statement went through, kFailed
// after the failure has been shown (or explained away). The session closes
// either way.
Outcome runUserOperation(const UserFields& fields, const UserOperation& op, Services& services) {
    std::unique_ptr<oracle::Session> session;
    try {
        session = services.openSession(fields.connection);
        for (const auto& statement : op.statements)
            session->execute(statement);
        return Outcome::kDone;
    } catch (...) {
        const auto failure = std::current_exception();
        if (session && reportedError(failure).number() == oracle::kServerErrorNumber)
            explainRefusal(*session, fields, op, services, failure);
        else
            showFailure(services, op.heading, op.procedure, failure);
        return Outcome::kFailed;
    }
}

// The typed name and password become words of the statements, not literals:
// what would change a statement is refused before anything is sent.
bool typedTextPasses(const UserFields& fields, bool setsPassword, Services& services) {
    const auto name =
        convert::nameProblem(convert::trimSpaces(fields.userId), convert::NameKind::kUser);
    const auto password = setsPassword ? convert::passwordProblem(fields.password) : std::nullopt;
    return passChecks(
        {{name.has_value(), name ? name->c_str() : "", MessageIcon::kExclamation, Field::kUserId},
         {password.has_value(), password ? password->c_str() : "", MessageIcon::kExclamation,
          Field::kPassword}},
        base::TitleForm::kError, services);
}

Outcome userCommand(const UserFields& fields, const UserOperation& op, const char* doneStatus,
                    Services& services) {
    if (!passChecks({{!encoding::equalsIgnoringAsciiCase(fields.connection.user, "system"),
                      "接続文字列にはSYSTEMユーザを入力してください", MessageIcon::kCritical,
                      Field::kNone, Rule::kConnectionNotSystem, fields.connection.user}},
                    base::TitleForm::kPlain, services))
        return Outcome::kRefused;
    if (!typedTextPasses(fields, op.setsPassword, services))
        return Outcome::kRefused;
    const BusyScope busy(services.front, Busy::kHourglassBlocked);
    const Outcome result = runUserOperation(fields, op, services);
    if (result == Outcome::kDone) {
        services.messages.beep();
        services.front.setStatus(doneStatus);
    }
    services.front.saveSettings();
    return result;
}

// ---- LFIDNO ----------------------------------------------------------------

constexpr const char* kLfidno = "LFIDNO";

std::string tableListQuery(const std::string& owner) {
    return std::string("SELECT ") + " DISTINCT TABLE_NAME" + "   FROM ALL_TAB_COLUMNS" +
           "  WHERE OWNER = " + base::quoteSqlText(owner) + "    AND TABLE_NAME <> 'LFIDNO'" +
           "    AND COLUMN_NAME = 'レコード番号'" + "  ORDER BY TABLE_NAME";
}

// The highest number as the insert writes it: a whole number without a
// fraction part, whatever form the driver hands it in ("12", "12.0", "1.2E1").
std::string decimalText(const std::string& value) {
    char* end = nullptr;
    const double n = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0' || !std::isfinite(n) || n != std::floor(n) ||
        std::fabs(n) >= 1e15)
        return value;
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", n);
    return text;
}

std::string lfidnoInsert(const std::string& table, const oracle::Value& highest) {
    std::string insert = std::string("INSERT INTO LFIDNO") + "(表名" + ",列名" + ",IDNO" +
                         ") VALUES " + "(" + base::quoteSqlText(table) + ",'レコード番号'";
    insert += highest ? "," + decimalText(*highest) : std::string(",0");
    return insert + ")";
}

void fillLfidno(oracle::Session& session, const std::string& owner, Front& front) {
    session.execute(std::string("DELETE FROM ") + kLfidno);
    // The whole list is read before the first insert, as a client-side cursor
    // holds it.
    std::vector<std::string> tables;
    const auto list = session.query(tableListQuery(encoding::upperCaseName(owner)));
    while (list->next())
        tables.push_back(list->value("TABLE_NAME").value_or(""));
    for (const auto& table : tables) {
        front.setStatus(table);
        // The name comes from the dictionary: quoted unless Oracle keeps it
        // as an unquoted name would be.
        const auto highest = session.query(std::string("SELECT ") + " MAX(レコード番号)" +
                                           "   FROM " + convert::dictionaryNameText(table));
        const oracle::Value value = highest->next() ? highest->value(std::size_t{0}) : std::nullopt;
        session.execute(lfidnoInsert(table, value));
    }
}

// The frame both LFIDNO buttons share: hourglass, progress and end status,
// and the beep whatever the result.
Outcome lfidnoCommand(const char* caption, const char* heading, const char* procedure,
                      const model::ConnectionFields& connection, Services& services,
                      const std::function<void(oracle::Session&)>& work) {
    bool done = false;
    {
        const BusyScope busy(services.front, Busy::kHourglass);
        services.front.setStatus(std::string(caption) + "中．．．");
        try {
            work(*services.openSession(connection));
            done = true;
        } catch (...) {
            showFailure(services, heading, procedure, std::current_exception());
        }
        services.front.setStatus(std::string(caption) + (done ? "　完了" : "　失敗"));
    }
    services.messages.beep();
    return done ? Outcome::kDone : Outcome::kFailed;
}

// ---- script and statement ----------------------------------------------------

// Sends one statement with the hourglass shown; the status line says how it
// went, and the beep sounds only when it went through.
Outcome sendOne(const std::string& statement, const model::ConnectionFields& connection,
                const char* caption, const char* heading, const char* procedure,
                Services& services) {
    services.front.setStatus(std::string(caption) + "　開始");
    {
        const BusyScope busy(services.front, Busy::kHourglass);
        try {
            services.openSession(connection)->execute(statement);
        } catch (...) {
            showFailure(services, heading, procedure, std::current_exception());
            services.front.setStatus(std::string(caption) + "　失敗");
            return Outcome::kFailed;
        }
    }
    services.messages.beep();
    services.front.setStatus(std::string(caption) + "　完了");
    return Outcome::kDone;
}

}  // namespace

Outcome createUser(const UserFields& fields, Services& services) {
    const std::string id = std::string(convert::trimSpaces(fields.userId));
    const auto password = convert::trimSpaces(fields.password);
    // A password Oracle cannot take is refused before this is sent.
    const UserOperation op{
        {"CREATE USER " + id + " IDENTIFIED BY " +
             (convert::passwordProblem(password) ? std::string()
                                                 : convert::passwordText(password)) +
             " DEFAULT TABLESPACE users TEMPORARY TABLESPACE temp",
         "GRANT DBA, RESOURCE, CONNECT TO " + id},
        "ﾕｰｻﾞｰ作成ｴﾗｰ",
        "fCreateUser",
        true,
        "ﾕｰｻﾞｰ " + encoding::upperCaseName(fields.userId) + " は登録済みです",
        true};
    return userCommand(fields, op, "ﾕｰｻﾞｰが作成されました", services);
}

Outcome deleteUser(const UserFields& fields, Services& services) {
    const UserOperation op{
        {"DROP USER " + std::string(convert::trimSpaces(fields.userId)) + " CASCADE"},
        "ﾕｰｻﾞｰ削除ｴﾗｰ",
        "fDeleteUser",
        false,
        "ﾕｰｻﾞｰ " + encoding::upperCaseName(fields.userId) + " は未登録です"};
    return userCommand(fields, op, "ﾕｰｻﾞｰが削除されました", services);
}

Outcome createLfidno(const LfidnoCreateFields& fields, Services& services) {
    return lfidnoCommand("LFIDNO作成", "LFIDNO作成ｴﾗｰ", "fCreateLFIDNO", fields.connection,
                         services, [&](oracle::Session& session) {
                             oracle::fDropIfExists(session, kLfidno, services.messages);
                             // A No to the drop leaves the table: the server then
                             // refuses the definition, and that is the failure.
                             session.execute(fields.definition);
                         });
}

Outcome setLfidno(const LfidnoFillFields& fields, Services& services) {
    // The owner goes into a literal; a name no user can have is refused all
    // the same, before LFIDNO is emptied for an owner that lists nothing.
    const auto owner = convert::nameProblem(fields.owner, convert::NameKind::kOwner);
    if (!passChecks({{owner.has_value(), owner ? owner->c_str() : "", MessageIcon::kExclamation,
                      Field::kUserId}},
                    base::TitleForm::kError, services))
        return Outcome::kRefused;
    return lfidnoCommand(
        "LFIDNOデータセット", "LFIDNOﾃﾞｰﾀｾｯﾄｴﾗｰ", "fSetLFIDNO", fields.connection, services,
        [&](oracle::Session& session) { fillLfidno(session, fields.owner, services.front); });
}

Outcome runScript(const ScriptFields& fields, Services& services) {
    if (!passChecks(
            {{!services.files.FileExists(fields.scriptPath), "スクリプトが指定されていません",
              MessageIcon::kCritical, Field::kNone, Rule::kScriptMissing, fields.scriptPath}},
            base::TitleForm::kError, services))
        return Outcome::kRefused;
    std::string statement;
    try {
        // One folding rule for every script the program sends; it keeps a ";"
        // inside a quoted literal, which is data.
        statement = base::foldScriptFile(fields.scriptPath);
    } catch (...) {
        showFailure(services, "SQLｽｸﾘﾌﾟﾄ実行ｴﾗｰ", "cmdDoScript_Click", std::current_exception());
        services.front.setStatus("スクリプト実行　失敗");
        return Outcome::kFailed;
    }
    if (isBlank(statement))
        return Outcome::kRefused;
    return sendOne(statement, fields.connection, "スクリプト実行", "SQLｽｸﾘﾌﾟﾄ実行ｴﾗｰ",
                   "cmdDoScript_Click", services);
}

Outcome runStatement(const StatementFields& fields, Services& services) {
    if (!passChecks({{isBlank(fields.sql), "ＳＱＬ文が指定されていません", MessageIcon::kCritical,
                      Field::kNone, Rule::kSqlBlank}},
                    base::TitleForm::kError, services))
        return Outcome::kRefused;
    return sendOne(fields.sql, fields.connection, "ＳＱＬ実行", "SQL実行ｴﾗｰ", "cmdDoSQL_Click",
                   services);
}

}  // namespace malvorn::core
