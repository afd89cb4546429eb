#pragma once

// A session that answers every call with nothing and changes nothing, for
// the fakes that care about a few calls only.
#include <memory>
#include <optional>
#include <string>

#include "oracle/session.h"

namespace malvorn::testing {

class QuietSession : public oracle::Session {
  public:
    void execute(const std::string&) override {}
    oracle::Value queryValue(const std::string&) override { return std::nullopt; }
    std::unique_ptr<oracle::ResultSet> query(const std::string&) override { return nullptr; }
    void setAutoCommit(bool) override {}
    void commit() override {}
    void rollback() override {}
};

}  // namespace malvorn::testing
