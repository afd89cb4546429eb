#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace malvorn::odbc {

// One diagnostic record as SQLGetDiagRec gives it.
struct Diagnostic {
    std::string sqlState;
    std::int32_t nativeError = 0;
    std::string message;
};

// The driver manager refused to allocate a handle. The diagnostics are the
// parent handle's, where the refusal is recorded (none for an environment).
class HandleRefused : public std::runtime_error {
  public:
    HandleRefused(SQLSMALLINT type, std::vector<Diagnostic> parentDiagnostics)
        : std::runtime_error("the ODBC driver manager refused a handle"),
          type_(type),
          diagnostics_(std::move(parentDiagnostics)) {}
    SQLSMALLINT type() const { return type_; }
    const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }

  private:
    SQLSMALLINT type_;
    std::vector<Diagnostic> diagnostics_;
};

// Owns one ODBC handle (environment, connection or statement) and frees it.
// The only place in the program that holds a raw ODBC handle; a child handle
// must be destroyed before its parent, which the owners ensure by member order.
class OdbcHandle {
  public:
    // Allocates a handle of `type` under `parent` (nullptr for an
    // environment); throws HandleRefused when the driver manager refuses.
    OdbcHandle(SQLSMALLINT type, const OdbcHandle* parent);
    ~OdbcHandle();
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }

    // Every diagnostic record the last call on this handle left behind.
    std::vector<Diagnostic> diagnostics() const;

  private:
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

}  // namespace malvorn::odbc
