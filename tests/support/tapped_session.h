#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "oracle/session.h"

// What the tests do to the sessions the commands open: failures put in
// place of a text, canned one-value answers; every text sent and how many
// sessions are open still.
struct Tap {
    std::vector<std::string> sent;
    std::map<std::string, malvorn::oracle::OracleError> failures;
    std::map<std::string, std::string> canned;
    int live = 0;
};

// A real session seen through the tap.
class TappedSession : public malvorn::oracle::Session {
  public:
    TappedSession(std::unique_ptr<malvorn::oracle::Session> real, Tap& tap)
        : real_(std::move(real)), tap_(tap) {
        ++tap_.live;
    }
    ~TappedSession() override { --tap_.live; }
    void execute(const std::string& s) override { pass(s), real_->execute(s); }
    malvorn::oracle::Value queryValue(const std::string& q) override {
        return pass(q), real_->queryValue(q);
    }
    std::unique_ptr<malvorn::oracle::ResultSet> query(const std::string& q) override {
        pass(q);
        const auto it = tap_.canned.find(q);
        return it == tap_.canned.end() ? real_->query(q) : std::make_unique<OneValue>(it->second);
    }

    void insertRows(const std::string& insert,
                    const std::vector<malvorn::oracle::BoundRow>& rows) override {
        pass(insert), real_->insertRows(insert, rows);
    }
    void setAutoCommit(bool on) override { real_->setAutoCommit(on); }
    void commit() override { real_->commit(); }
    void rollback() override { real_->rollback(); }

  private:
    struct OneValue : malvorn::oracle::ResultSet {
        explicit OneValue(std::string v) : text(std::move(v)) {}
        const std::vector<std::string>& columnNames() const override { return names; }
        bool next() override { return !std::exchange(read, true); }
        malvorn::oracle::Value value(std::size_t) const override { return text; }
        std::vector<std::string> names{"V"};
        std::string text;
        bool read = false;
    };
    void pass(const std::string& text) {
        tap_.sent.push_back(text);
        if (const auto it = tap_.failures.find(text); it != tap_.failures.end())
            throw it->second;
    }
    std::unique_ptr<malvorn::oracle::Session> real_;
    Tap& tap_;
};
