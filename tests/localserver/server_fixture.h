#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "localserver/local_server.h"
#include "support/shohin.h"
#include "support/temp_dir.h"

namespace malvorn::localserver {

// The statements the user tab sends, built as it builds them.
inline std::string createUserText(const std::string& id, const std::string& password) {
    return "CREATE USER " + id + " IDENTIFIED BY " + password +
           " DEFAULT TABLESPACE users TEMPORARY TABLESPACE temp";
}
inline std::string grantRolesText(const std::string& id) {
    return "GRANT DBA, RESOURCE, CONNECT TO " + id;
}
inline std::string userLookupText(const std::string& upperId) {
    return "SELECT USERNAME   FROM dba_users  WHERE USERNAME = '" + upperId + "'";
}

// A fresh server folder per test; SYSTEM's password is "tarnbol".
class ServerTest : public ::testing::Test {
  protected:
    std::string folder() const { return dir_.path() + "/server"; }

    std::unique_ptr<oracle::Session> open(const std::string& user = "system",
                                          const std::string& password = "tarnbol") {
        return openLocalServer(folder(), user, password);
    }

    oracle::Session& system() {
        if (!system_)
            system_ = open();
        return *system_;
    }

    // Creates a user with every role the program grants.
    std::unique_ptr<oracle::Session> appUser(const std::string& name = "scott",
                                             const std::string& password = "tiger") {
        system().execute(createUserText(name, password));
        system().execute(grantRolesText(name));
        return open(name, password);
    }

    // Every row of a query, values joined by "|", NULL shown as <null>.
    static std::vector<std::string> rows(oracle::Session& session, const std::string& query) {
        std::vector<std::string> out;
        auto result = session.query(query);
        while (result->next()) {
            std::string line;
            for (std::size_t i = 0; i < result->columnNames().size(); ++i) {
                const auto v = result->value(i);
                line += (i ? "|" : "") + (v ? *v : std::string("<null>"));
            }
            out.push_back(line);
        }
        return out;
    }

  public:
    // The "ORA-nnnnn" a call fails with, or "" when it succeeds. Also checks
    // that the error carries the general failure number and the server's name.
    static std::string oraCode(const std::function<void()>& call) {
        try {
            call();
        } catch (const oracle::OracleError& e) {
            EXPECT_EQ(e.number(), oracle::kServerErrorNumber);
            EXPECT_EQ(e.source(), "Malvorn Local Server");
            return e.description().substr(0, 9);
        }
        return "";
    }

    static std::string errorText(const std::function<void()>& call) {
        try {
            call();
        } catch (const oracle::OracleError& e) {
            return e.description();
        }
        return "";
    }

  protected:
    TempDir dir_;
    std::unique_ptr<oracle::Session> system_;
};

using Rows = std::vector<std::string>;

struct ValueCase {
    const char* expression;  // selected FROM DUAL
    const char* expected;    // the value's text, "<null>", or the error's code
};

// SCOTT, with every role, connected as s().
class ScottTest : public ServerTest {
  protected:
    void SetUp() override { scott_ = appUser(); }
    oracle::Session& s() { return *scott_; }

    // A query's rows, {} for another statement that runs, or the error's text
    // (its code alone when `codeOnly`).
    static Rows answerOn(oracle::Session& session, const std::string& statement,
                         bool codeOnly = false) {
        try {
            if (statement.starts_with("SELECT") || statement.starts_with("WITH"))
                return rows(session, statement);
            session.execute(statement);
            return {};
        } catch (const oracle::OracleError& e) {
            return {codeOnly ? e.description().substr(0, 9) : e.description()};
        }
    }
    Rows answer(const std::string& statement, bool codeOnly = false) {
        return answerOn(s(), statement, codeOnly);
    }

    // Statements that must all run: a test's tables and rows.
    void executeAll(std::initializer_list<const char*> statements) {
        for (const char* statement : statements)
            s().execute(statement);
    }

    // One expression's value selected FROM DUAL: its text, "<null>", or the
    // error's code.
    std::string valueOf(const std::string& expression) {
        try {
            const auto v = s().queryValue("SELECT " + expression + " FROM DUAL");
            return v ? *v : "<null>";
        } catch (const oracle::OracleError& e) {
            return e.description().substr(0, 9);
        }
    }

    void checkValues(const std::vector<ValueCase>& cases) {
        for (const auto& c : cases)
            EXPECT_EQ(valueOf(c.expression), c.expected) << c.expression;
    }
    template <std::size_t N>
    void checkValues(const ValueCase (&cases)[N]) {
        checkValues(std::vector<ValueCase>(cases, cases + N));
    }

  private:
    std::unique_ptr<oracle::Session> scott_;
};

}  // namespace malvorn::localserver
