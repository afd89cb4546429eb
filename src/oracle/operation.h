#pragma once

#include <memory>
#include <string>

#include "base/messages.h"
#include "oracle/session.h"

namespace malvorn::oracle {

// The session of one command: opened when the command starts, closed when the
// scope ends, whether the command succeeds, fails or throws. No session lives
// from one command to the next.
class CommandSession {
  public:
    // Throws OracleError when the session cannot be opened; nothing is left
    // open then.
    CommandSession(const ConnectionFields& fields, const Drivers& drivers)
        : session_(openSession(fields, drivers)) {}

    Session& operator*() const { return *session_; }
    Session* operator->() const { return session_.get(); }
    bool isOpen() const { return session_ != nullptr; }
    // Closes before the scope ends; later use is a programming error.
    void close() { session_.reset(); }

  private:
    std::unique_ptr<Session> session_;
};

// The five lines of the error report, separated by single CRs.
std::string errorReportText(const std::string& heading, const std::string& procedure,
                            const OracleError& error);

// Shows the error report: exclamation icon, OK button, the plain error title.
void showErrorReport(base::MessageService& messages, const std::string& heading,
                     const std::string& procedure, const OracleError& error);

}  // namespace malvorn::oracle
