#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "oracle/session.h"

// A session that keeps count of how many of its kind are open and fails on
// demand: `failOn` is the statement or query text that the fake server
// refuses.
class FakeSession : public malvorn::oracle::Session {
  public:
    struct Log {
        int live = 0;    // sessions open now
        int opened = 0;  // sessions opened so far
        std::vector<std::string> sent;
        std::string failOn;
    };

    explicit FakeSession(Log& log) : log_(log) {
        ++log_.live;
        ++log_.opened;
    }
    ~FakeSession() override { --log_.live; }

    void execute(const std::string& statement) override { send(statement); }

    malvorn::oracle::Value queryValue(const std::string& query) override {
        send(query);
        return "0";
    }

    std::unique_ptr<malvorn::oracle::ResultSet> query(const std::string& query) override {
        send(query);
        return std::make_unique<Rows>();
    }

    // A driver over `log`: refuses the login when `refuseLogin` is set.
    static malvorn::oracle::DriverOpen driver(Log& log, bool refuseLogin = false) {
        return [&log, refuseLogin](const std::string&, const std::string&,
                                   const std::string&) -> std::unique_ptr<Session> {
            if (refuseLogin) {
                throw malvorn::oracle::OracleError(
                    malvorn::oracle::kServerErrorNumber,
                    "ORA-01017: invalid username/password; logon denied", "fake");
            }
            return std::make_unique<FakeSession>(log);
        };
    }

  private:
    struct Rows : malvorn::oracle::ResultSet {
        const std::vector<std::string>& columnNames() const override { return names; }
        bool next() override { return false; }
        malvorn::oracle::Value value(std::size_t) const override { return std::nullopt; }
        std::vector<std::string> names{"A"};
    };

    void send(const std::string& text) {
        log_.sent.push_back(text);
        if (text == log_.failOn) {
            throw malvorn::oracle::OracleError(malvorn::oracle::kServerErrorNumber,
                                               "ORA-00942: table or view does not exist", "fake");
        }
    }

    Log& log_;
};
